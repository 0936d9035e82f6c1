#include "engine/Cpu.h"

#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace morvane {

int16_t HasCpuid()
{
#if defined(__x86_64__)
    // Flip the ID flag (bit 21) of the flags register; the processor has
    // CPUID when the flip sticks.
    uint64_t before = 0, after = 0;
    __asm__ volatile(
        "sub $128, %%rsp\n\t"  // step over the red zone
        "pushfq\n\t"
        "pop %0\n\t"
        "mov %0, %1\n\t"
        "xor $0x200000, %1\n\t"
        "push %1\n\t"
        "popfq\n\t"
        "pushfq\n\t"
        "pop %1\n\t"
        "push %0\n\t"
        "popfq\n\t"
        "add $128, %%rsp\n\t"
        : "=&r"(before), "=&r"(after)
        :
        : "cc", "memory");
    return ((before ^ after) & 0x200000u) ? 1 : 0;
#elif defined(__i386__)
    return __get_cpuid_max(0, nullptr) != 0 ? 1 : 0;
#else
    return 0;
#endif
}

uint32_t GetCpuFeatures()
{
#if defined(__x86_64__) || defined(__i386__)
    if (!HasCpuid()) return 0;
    unsigned a = 0, b = 0, c = 0, d = 0;
    __cpuid(0, a, b, c, d);
    char vendor[13];
    std::memcpy(vendor, &b, 4);
    std::memcpy(vendor + 4, &d, 4);
    std::memcpy(vendor + 8, &c, 4);
    vendor[12] = '\0';
    // The vendor is read as the processor reports it, but the features are
    // taken whoever made the processor.
    (void)std::strcmp(vendor, "GenuineIntel");
    __cpuid(1, a, b, c, d);
    return d;
#else
    return 0;
#endif
}

}  // namespace morvane
