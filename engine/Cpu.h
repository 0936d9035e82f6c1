// The processor's features.
//
// Two questions are asked of the processor.  The noise takes its
// dot-product path from the MMX bit of the feature flags (HasCpuid,
// GetCpuFeatures; this chooses what the noise looks like, not how fast it
// is computed).  And every module with SIMD kernels (the noise, the
// encoder's motion search and forward DCT, the decoder's chrominance
// filters and colour conversion) fills its table of kernel pointers from
// CpuFlags() in one place: plain C++, SSE2, AVX or AVX2.  Every level gives
// exactly the plain kernels' results (the kernel checker, tests/kernels,
// proves it at every level the machine has).
//
// A mask can lower the flags: MORVANE_CPU_MASK in the environment, read
// once (a number such as 0x3, or the name of the highest level to use:
// "plain", "sse2", "avx", "avx2"), or SetCpuMask.  A module takes the
// flags when it fills its table: the noise in NoiseInit, the encoder and
// the decoder when one is made.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace morvane {

// 1 when the processor supports the CPUID instruction, else 0.
int16_t HasCpuid();

// The EDX feature flags of CPUID leaf 1, or 0 without CPUID.
uint32_t GetCpuFeatures();

// (GetCpuFeatures() >> 23) & 1.
inline int MmxFromFeatures(uint32_t features) { return static_cast<int>((features >> 23) & 1u); }

// Instruction-set levels of the SIMD kernels.  AVX counts only where the
// system saves the wide registers; each flag implies the ones below it.
enum CpuFlag : uint32_t {
    kCpuSse2 = 1u << 0,
    kCpuAvx = 1u << 1,
    kCpuAvx2 = 1u << 2,
};

struct CpuLevel {
    const char* name;  // "plain", "SSE2", "AVX", "AVX2"
    uint32_t flags;    // the flags a kernel of this level needs
};

// Every level, lowest first; the processor may lack the upper ones.
std::span<const CpuLevel> CpuLevels();

// What the processor and the system offer, without the mask.
uint32_t ProcessorCpuFlags();
// The levels of CpuLevels() that ProcessorCpuFlags() offers, lowest first
// ("plain" always): what the kernel checker and the tests go through.
std::vector<CpuLevel> ProcessorCpuLevels();

// ProcessorCpuFlags() lowered by the mask: the flags the kernel tables are
// filled from.
uint32_t CpuFlags();

// Replaces the mask (every flag by default, or MORVANE_CPU_MASK).  For the
// tests and the kernel checker; tables filled afterwards follow it.
void SetCpuMask(uint32_t mask);
uint32_t CpuMask();

// The mask that MORVANE_CPU_MASK's text gives, or every flag for an empty
// or unreadable text.
uint32_t ParseCpuMask(const char* text);

}  // namespace morvane
