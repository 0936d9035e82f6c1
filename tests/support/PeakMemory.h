// The memory a piece of work takes at its peak: the work runs in a child
// process, and what that child held at most beyond what this process
// holds now is measured.  Header only.
#pragma once

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>

namespace morvane::test {

// Bytes resident in this process now.
inline uint64_t ResidentBytes()
{
    uint64_t pages = 0, resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    return resident * static_cast<uint64_t>(::sysconf(_SC_PAGESIZE));
}

// Peak bytes the child running `work` held above this process's resident
// bytes at the fork; the child's own test failures do not reach the test,
// so `work` should only do what is measured.
template <class F>
uint64_t PeakExtraBytes(F work)
{
    const uint64_t before = ResidentBytes();
    const pid_t child = ::fork();
    if (child == 0) {
        work();
        ::_exit(0);
    }
    struct rusage usage {};
    int status = 0;
    if (child < 0 || ::wait4(child, &status, 0, &usage) != child) return UINT64_MAX;
    const uint64_t peak = static_cast<uint64_t>(usage.ru_maxrss) * 1024;
    return peak > before ? peak - before : 0;
}

}  // namespace morvane::test
