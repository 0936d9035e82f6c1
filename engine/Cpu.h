// The processor's features, and the kernels chosen from them.
//
// CpuFlags() is the one answer every module takes: what the processor and
// the system offer, lowered by a mask.  Two kinds of flag are in it.
//
// kCpuMmx, the packed-integer instructions (bit 23 of the feature flags of
// CPUID leaf 1, HasCpuid, GetCpuFeatures), chooses the noise's dot-product
// path: what the noise looks like, not how fast it is computed
// (MmxPresent()).
//
// kCpuSse2, kCpuAvx and kCpuAvx2 are the levels of the SIMD kernels.  Every
// module with SIMD kernels (the noise, the encoder's motion search and
// forward DCT, the decoder's chrominance filters and colour conversion)
// fills its table of kernel pointers from CpuFlags() in one place: plain
// C++, SSE2, AVX or AVX2.  Every level gives exactly the plain kernels'
// results (the kernel checker, tests/kernels, proves it at every level the
// machine has).
//
// The mask lowers the flags: MORVANE_CPU_MASK in the environment, read once
// (a number, the flags to keep, such as 0xB; or the name of the highest
// kernel level to use, "plain", "sse2", "avx" or "avx2", which keeps
// kCpuMmx), or SetCpuMask.  A module takes the flags when it fills its
// table: the noise in NoiseInit, the encoder and the decoder when one is
// made.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace morvane {

// 1 when the processor supports the CPUID instruction, else 0.
int16_t HasCpuid();

// The EDX feature flags of CPUID leaf 1, or 0 without CPUID.
uint32_t GetCpuFeatures();

// (GetCpuFeatures() >> 23) & 1: whether the processor has MMX.
inline int MmxFromFeatures(uint32_t features) { return static_cast<int>((features >> 23) & 1u); }

// The flags.  The first three are the instruction-set levels of the SIMD
// kernels: AVX counts only where the system saves the wide registers, and
// each of them implies the ones below it.
enum CpuFlag : uint32_t {
    kCpuSse2 = 1u << 0,
    kCpuAvx = 1u << 1,
    kCpuAvx2 = 1u << 2,
    kCpuMmx = 1u << 3,  // the noise's four-term dot product
};

struct CpuLevel {
    const char* name;  // "plain", "SSE2", "AVX", "AVX2"
    uint32_t flags;    // the mask of this level: its kernels' flags and kCpuMmx
};

// Every kernel level, lowest first; the processor may lack the upper ones.
// Masking the flags down to a level changes the kernels, never what the
// noise looks like.
std::span<const CpuLevel> CpuLevels();

// What the processor and the system offer, without the mask.
uint32_t ProcessorCpuFlags();
// The levels of CpuLevels() that ProcessorCpuFlags() offers, lowest first
// ("plain" always): what the kernel checker and the tests go through.
std::vector<CpuLevel> ProcessorCpuLevels();

// ProcessorCpuFlags() lowered by the mask: the flags the kernel tables and
// the noise's path are chosen from.
uint32_t CpuFlags();

// 1 when CpuFlags() holds kCpuMmx (the processor has MMX and the mask
// leaves it), else 0: the noise takes its four-term dot product.
int MmxPresent();

// Replaces the mask (every flag by default, or MORVANE_CPU_MASK).  For the
// tests, the benches and the kernel checker; tables filled afterwards
// follow it.
void SetCpuMask(uint32_t mask);
uint32_t CpuMask();

// The mask that MORVANE_CPU_MASK's text gives, or every flag for an empty
// or unreadable text.
uint32_t ParseCpuMask(const char* text);

}  // namespace morvane
