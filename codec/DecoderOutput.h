// Frame output of the MPEG decoder: 4:2:0 planes to RGB.
//
// The chrominance is upsampled to full resolution with fixed 6-tap filters
// (vertically per field for interlaced frames, horizontally co-sited for
// MPEG-2 and interstitial for MPEG-1), then converted with the inverse
// colour matrix of matrix_coefficients in 16-bit fixed point.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "codec/DecoderCore.h"

namespace morvane {

enum class PixelLayout {
    Rgbx,  // red, green, blue, a spare byte (not written)
    Bgr,   // blue, green, red (TGA)
};

// Converts the width x height picture of `frame` into `out`, top row first,
// rows `outStride` bytes apart.
void ConvertFrameToRgb(const DecodedPlanes& frame, uint8_t* out, int outStride, PixelLayout layout);
// The same in plain C++ without vector instructions; identical output.
void ConvertFrameToRgbPlain(const DecodedPlanes& frame, uint8_t* out, int outStride, PixelLayout layout);

// The frame as a new buffer of width x height pixels of 4 bytes (red,
// green, blue, spare = 0), rows packed.
std::vector<uint8_t> FrameToRgbx(const DecodedPlanes& frame);

// Writes the frame as an uncompressed 24-bit TGA, top row first, through
// the shared writer (nothing appears at `path` unless it is complete).  False (after the message "Couldn't
// create <name>") when the file cannot be written.
bool WriteFrameTga(const DecodedPlanes& frame, const std::filesystem::path& path);

// The fixed-point colour conversion of one sample (exposed for the tests).
void YCbCrToRgb(int y, int cb, int cr, int matrixCoefficients, uint8_t rgb[3]);

}  // namespace morvane
