// The encoder's kernels: the distortion measures of the motion search, the
// forward DCT and the colour conversion of source frames, at each processor
// level (plain C++, SSE2, AVX, AVX2).
//
// An encoder fills its table once, when it is made, from CpuFlags()
// (engine/Cpu.h) through EncoderKernelsFor, the one place that knows which
// level has which kernel.  Every level gives exactly the plain kernels'
// results, so the stream never depends on the machine; the kernel checker
// (tests/kernels) proves it at every level the machine has.
#pragma once

#include <cstdint>

namespace morvane::mpeg {

struct SearchResult {
    int best = 65536, i = 0, j = 0;
};

struct EncoderKernels {
    // Sum of |a - b| over 16 x h, both with line step lx.
    int (*sadFull)(const uint8_t* a, const uint8_t* b, int lx, int h);
    // The same with the reference a at half-pel flags (hx, hy).
    int (*sadHalf)(const uint8_t* a, const uint8_t* b, int lx, int hx, int hy, int h);
    // Full-pel search: every position (i, j) of the window, rows from the
    // top, each from the left, SAD of org + j lx + i against cur; the result
    // is replaced only by a strictly smaller SAD.
    void (*fullSearch)(const uint8_t* org, const uint8_t* cur, int lx, int h, int ilow, int ihigh, int jlow, int jhigh,
                       SearchResult& r);
    // Sum of squared differences with half-pel flags; bidirectional sums
    // of absolute and squared differences ((forward + backward + 1) >> 1).
    int (*sseHalf)(const uint8_t* a, const uint8_t* b, int lx, int hx, int hy, int h);
    int (*sadBidir)(const uint8_t* pf, const uint8_t* pb, const uint8_t* c, int lx, int hxf, int hyf, int hxb, int hyb, int h);
    int (*sseBidir)(const uint8_t* pf, const uint8_t* pb, const uint8_t* c, int lx, int hxf, int hyf, int hxb, int hyb, int h);
    // sadHalf that may stop once the sum reaches `limit` (then returning a
    // value >= limit): for comparisons against a best so far.
    int (*sadHalfLimit)(const uint8_t* a, const uint8_t* b, int lx, int hx, int hy, int h, int limit);
    // Forward DCT of one block in place, to the reference precision
    // (ForwardDctReference's result).
    void (*forwardDct)(int16_t* block);
    // One row of `width` RGB pixels (3 bytes each) of a source frame to
    // Y', Cb and Cr samples at full resolution, with the luma weights kr,
    // kg, kb of the colour matrix.
    void (*rgbRowToYcc)(const uint8_t* rgb, int width, const double weights[3], uint8_t* y, uint8_t* cb, uint8_t* cr);
};

// The kernels for a set of CpuFlag values (the highest level they allow).
EncoderKernels EncoderKernelsFor(uint32_t cpuFlags);

// The kernels of each level, defined beside each other in Distortion.cpp,
// Transform.cpp and FrameInput.cpp; only EncoderKernelsFor puts them in a
// table.
namespace kernels {

int SadFullPlain(const uint8_t* a, const uint8_t* b, int lx, int h);
int SadHalfLimitPlain(const uint8_t* p, const uint8_t* c, int lx, int hx, int hy, int h, int limit);
void FullSearchPlain(const uint8_t* org, const uint8_t* cur, int lx, int h, int ilow, int ihigh, int jlow, int jhigh,
                     SearchResult& r);
void ForwardDctPlain(int16_t* block);
void RgbRowToYccPlain(const uint8_t* rgb, int width, const double weights[3], uint8_t* y, uint8_t* cb, uint8_t* cr);

int SadFullSse2(const uint8_t* a, const uint8_t* b, int lx, int h);
int SadHalfSse2(const uint8_t* p, const uint8_t* c, int lx, int hx, int hy, int h);
int SadHalfLimitSse2(const uint8_t* p, const uint8_t* c, int lx, int hx, int hy, int h, int limit);
void FullSearchSse2(const uint8_t* org, const uint8_t* cur, int lx, int h, int ilow, int ihigh, int jlow, int jhigh,
                    SearchResult& r);
int SseHalfSse2(const uint8_t* p, const uint8_t* c, int lx, int hx, int hy, int h);
int SadBidirSse2(const uint8_t* pf, const uint8_t* pb, const uint8_t* c, int lx, int hxf, int hyf, int hxb, int hyb, int h);
int SseBidirSse2(const uint8_t* pf, const uint8_t* pb, const uint8_t* c, int lx, int hxf, int hyf, int hxb, int hyb, int h);
void ForwardDctSse2(int16_t* block);
void RgbRowToYccSse2(const uint8_t* rgb, int width, const double weights[3], uint8_t* y, uint8_t* cb, uint8_t* cr);

void ForwardDctAvx(int16_t* block);

void FullSearchAvx2(const uint8_t* org, const uint8_t* cur, int lx, int h, int ilow, int ihigh, int jlow, int jhigh,
                    SearchResult& r);

}  // namespace kernels

}  // namespace morvane::mpeg
