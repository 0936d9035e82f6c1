// Memory that runs out: while an AddressSpaceLimit lives, this process may
// map only `extra` bytes more than it has mapped now, so that a larger
// allocation fails (std::bad_alloc) while small ones still succeed.  Not
// for a build with AddressSanitizer, which maps far more than it uses.
// Header only.
#pragma once

#include <sys/resource.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>

namespace morvane::test {

class AddressSpaceLimit {
public:
    explicit AddressSpaceLimit(uint64_t extra)
    {
        uint64_t pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        m_ok = pages > 0 && ::getrlimit(RLIMIT_AS, &m_old) == 0;
        struct rlimit small = m_old;
        small.rlim_cur = pages * static_cast<uint64_t>(::sysconf(_SC_PAGESIZE)) + extra;
        m_ok = m_ok && small.rlim_cur < m_old.rlim_max && ::setrlimit(RLIMIT_AS, &small) == 0;
    }
    ~AddressSpaceLimit()
    {
        if (m_ok) ::setrlimit(RLIMIT_AS, &m_old);
    }
    AddressSpaceLimit(const AddressSpaceLimit&) = delete;
    AddressSpaceLimit& operator=(const AddressSpaceLimit&) = delete;

    // Whether the limit is in force.
    bool ok() const { return m_ok; }

private:
    struct rlimit m_old {};
    bool m_ok = false;
};

}  // namespace morvane::test
