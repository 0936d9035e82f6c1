// Frame output of the MPEG decoder: 4:2:0 planes to RGB.
//
// The chrominance is upsampled to full resolution with fixed 6-tap filters
// (vertically per field for interlaced frames, horizontally co-sited for
// MPEG-2 and interstitial for MPEG-1), then converted with the inverse
// colour matrix of matrix_coefficients in 16-bit fixed point.
//
// The filters and the conversion are kernels of the processor's level
// (plain C++ or SSE2), filled in one place (DecoderOutputKernelsFor) from
// the flags a decoder takes when it is made (MpegVideoDecoder::
// OutputKernels); every level gives the same bytes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "codec/DecoderMessages.h"

namespace morvane {

struct DecodedPlanes;

enum class PixelLayout {
    Rgbx,  // red, green, blue, a spare byte (not written)
    Bgr,   // blue, green, red (TGA)
};

// The six input rows and weights of one row of vertically upsampled
// chrominance.
struct ChromaTaps {
    int row[6];
    int weight[6];
};
// The taps of output row y of 2n rows: progressive, or each field of an
// interlaced frame on its own.
ChromaTaps ChromaTapsOf(int y, int n, bool progressive);

// Samples repeated at either end of a vertically filtered row, for the
// horizontal filter's outer taps.
constexpr int kChromaPad = 3;

struct DecoderOutputKernels {
    // The vertical filter of one chrominance plane into m samples at
    // row + kChromaPad, with kChromaPad copies of the edge samples on
    // either side.
    void (*verticalRow)(const uint8_t* plane, int stride, int m, const ChromaTaps& taps, uint8_t* row);
    // The horizontal filter of a padded row (as verticalRow leaves it) into
    // `count` full-resolution samples.
    void (*horizontalRow)(const uint8_t* padded, int count, bool mpeg2, uint8_t* out);
    // `width` pixels of red, green, blue, 0 from a luminance row and two
    // full-resolution chrominance rows; matrix is crv, cbu, cgu, cgv.
    void (*convertRow)(const uint8_t* luma, const uint8_t* cb, const uint8_t* cr, int width, const int matrix[4],
                       uint8_t* rgbx);
};

// The kernels for a set of CpuFlag values (the highest level they allow).
DecoderOutputKernels DecoderOutputKernelsFor(uint32_t cpuFlags);

// Converts the width x height picture of `frame` into `out`, top row first,
// rows `outStride` bytes apart.
void ConvertFrameToRgb(const DecodedPlanes& frame, uint8_t* out, int outStride, PixelLayout layout,
                       const DecoderOutputKernels& kernels);

// The frame as a new buffer of width x height pixels of 4 bytes (red,
// green, blue, spare = 0), rows packed.
std::vector<uint8_t> FrameToRgbx(const DecodedPlanes& frame, const DecoderOutputKernels& kernels);

// Writes the frame as an uncompressed 24-bit TGA, top row first, through
// the shared writer (nothing appears at `path` unless it is complete).
// False (after the diagnostic "Couldn't create <name>" to `sink`) when the
// file cannot be written.
bool WriteFrameTga(const DecodedPlanes& frame, const std::filesystem::path& path, const DecoderOutputKernels& kernels,
                   const DecoderMessageSink& sink);

}  // namespace morvane
