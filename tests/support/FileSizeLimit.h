// A disk that fills up: while a FileSizeLimit lives, no file of this
// process grows past `bytes`; a write beyond fails with "File too large"
// (the signal the system would send is ignored meanwhile).  Header only.
#pragma once

#include <sys/resource.h>

#include <csignal>

namespace morvane::test {

class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        m_ok = ::getrlimit(RLIMIT_FSIZE, &m_old) == 0;
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = m_old;
        small.rlim_cur = bytes;
        m_ok = m_ok && ::setrlimit(RLIMIT_FSIZE, &small) == 0;
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_handler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    // Whether the limit is in force.
    bool ok() const { return m_ok; }

private:
    struct rlimit m_old {};
    void (*m_handler)(int) = nullptr;
    bool m_ok = false;
};

}  // namespace morvane::test
