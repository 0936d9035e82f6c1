#include "codec/EncoderKernels.h"

#include "codec/EncoderCore.h"
#include "engine/Cpu.h"

namespace morvane::mpeg {

EncoderKernels EncoderKernelsFor(uint32_t cpuFlags)
{
    EncoderKernels k{kernels::SadFullPlain, SadHalfPel,
                     kernels::FullSearchPlain, SseHalfPel,
                     SadBidir, SseBidir,
                     kernels::SadHalfLimitPlain, kernels::ForwardDctPlain,
                     kernels::RgbRowToYccPlain};
#if defined(__SSE2__)
    if (cpuFlags & kCpuSse2) {
        k.sadFull = kernels::SadFullSse2;
        k.sadHalf = kernels::SadHalfSse2;
        k.fullSearch = kernels::FullSearchSse2;
        k.sseHalf = kernels::SseHalfSse2;
        k.sadBidir = kernels::SadBidirSse2;
        k.sseBidir = kernels::SseBidirSse2;
        k.sadHalfLimit = kernels::SadHalfLimitSse2;
        k.forwardDct = kernels::ForwardDctSse2;
        k.rgbRowToYcc = kernels::RgbRowToYccSse2;
    }
#endif
#if defined(__x86_64__) || defined(__i386__)
    if (cpuFlags & kCpuAvx) k.forwardDct = kernels::ForwardDctAvx;
    if (cpuFlags & kCpuAvx2) k.fullSearch = kernels::FullSearchAvx2;
#endif
    return k;
}

}  // namespace morvane::mpeg
