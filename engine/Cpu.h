// Processor feature test: the noise picks its dot-product path from the
// MMX bit of the processor's feature flags.
#pragma once

#include <cstdint>

namespace morvane {

// 1 when the processor supports the CPUID instruction, else 0.
int16_t HasCpuid();

// The EDX feature flags of CPUID leaf 1, or 0 without CPUID.
uint32_t GetCpuFeatures();

// (GetCpuFeatures() >> 23) & 1.
inline int MmxFromFeatures(uint32_t features) { return static_cast<int>((features >> 23) & 1u); }

}  // namespace morvane
