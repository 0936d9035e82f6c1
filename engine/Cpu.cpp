#include "engine/Cpu.h"

#include <strings.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
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

namespace {

constexpr uint32_t kKernelFlags = kCpuSse2 | kCpuAvx | kCpuAvx2;
constexpr uint32_t kAllFlags = kKernelFlags | kCpuMmx;

constexpr CpuLevel kLevels[] = {
    {"plain", kCpuMmx},
    {"SSE2", kCpuMmx | kCpuSse2},
    {"AVX", kCpuMmx | kCpuSse2 | kCpuAvx},
    {"AVX2", kCpuMmx | kCpuSse2 | kCpuAvx | kCpuAvx2},
};

#if defined(__x86_64__) || defined(__i386__)
// The register state the system saves on a task switch (XCR0).
uint64_t SavedRegisterState()
{
    uint32_t eax = 0, edx = 0;
    __asm__ volatile("xgetbv" : "=a"(eax), "=d"(edx) : "c"(0));
    return (uint64_t{edx} << 32) | eax;
}
#endif

uint32_t QueryProcessor()
{
    uint32_t flags = MmxFromFeatures(GetCpuFeatures()) ? kCpuMmx : 0u;
#if defined(__x86_64__) || defined(__i386__)
    if (!HasCpuid()) return flags;
    unsigned a = 0, b = 0, c = 0, d = 0;
    __cpuid(0, a, b, c, d);
    const unsigned maxLeaf = a;
    __cpuid(1, a, b, c, d);
    if (!(d & (1u << 26))) return flags;  // no SSE2
    flags |= kCpuSse2;
    // AVX needs the processor's bit and a system that saves the XMM and
    // YMM registers (OSXSAVE, then XCR0 bits 1 and 2).
    const bool osxsave = (c & (1u << 27)) != 0, avx = (c & (1u << 28)) != 0;
    if (!osxsave || !avx || (SavedRegisterState() & 6) != 6) return flags;
    flags |= kCpuAvx;
    if (maxLeaf >= 7) {
        __cpuid_count(7, 0, a, b, c, d);
        if (b & (1u << 5)) flags |= kCpuAvx2;
    }
#endif
    return flags;
}

std::atomic<uint32_t>& Mask()
{
    static std::atomic<uint32_t> mask{ParseCpuMask(std::getenv("MORVANE_CPU_MASK"))};
    return mask;
}

}  // namespace

std::span<const CpuLevel> CpuLevels() { return kLevels; }

uint32_t ProcessorCpuFlags()
{
    static const uint32_t flags = QueryProcessor();
    return flags;
}

std::vector<CpuLevel> ProcessorCpuLevels()
{
    std::vector<CpuLevel> levels;
    for (const CpuLevel& level : kLevels) {
        const uint32_t kernels = level.flags & kKernelFlags;
        if ((kernels & ProcessorCpuFlags()) == kernels) levels.push_back(level);
    }
    return levels;
}

uint32_t CpuFlags()
{
    uint32_t flags = ProcessorCpuFlags() & Mask().load(std::memory_order_relaxed);
    // A kernel level needs every level below it.
    if (!(flags & kCpuSse2)) flags &= ~(kCpuAvx | kCpuAvx2);
    if (!(flags & kCpuAvx)) flags &= ~kCpuAvx2;
    return flags;
}

int MmxPresent() { return (CpuFlags() & kCpuMmx) ? 1 : 0; }

void SetCpuMask(uint32_t mask) { Mask().store(mask, std::memory_order_relaxed); }

uint32_t CpuMask() { return Mask().load(std::memory_order_relaxed); }

uint32_t ParseCpuMask(const char* text)
{
    if (!text || !*text) return kAllFlags;
    for (const CpuLevel& level : kLevels) {
        if (::strcasecmp(text, level.name) == 0) return level.flags;
    }
    char* end = nullptr;
    errno = 0;
    const unsigned long value = std::strtoul(text, &end, 0);
    if (errno != 0 || end == text || *end != '\0') return kAllFlags;
    return static_cast<uint32_t>(value);
}

}  // namespace morvane
