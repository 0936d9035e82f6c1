// The small file layouts of the export: the parameter file of Tarnvale 3D
// (".tpr"), the head of the bitmap dump (".bmp"), the header of a PPM frame
// and the names of the numbered frame files.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/Records.h"

namespace morvane {

// The parameter file: 1031 bytes of raw record images of one layer: its
// material (layer byte 0), layer bytes 2..63 as they stand, the 8-byte head
// of its gradient and the 24 entries.  The relief (layer byte 1) is not in
// it.  Pointer values are written as in the layer file.
constexpr size_t kTprFileSize = 1031;
std::vector<uint8_t> EncodeTprFile(const Layer& layer);

// The bitmap dump: a 10-byte head (int16 0, width, height, bytes per row,
// then the bytes 1 and 24), a 40-byte bitmap info header (24 bits, no
// compression), 1024 zero bytes of colour table, then the rows, bottom row
// first, of blue, green, red, each padded to an even length by one zero.
constexpr size_t kBitmapDumpHeadSize = 10 + 40 + 1024;
int BitmapDumpRowBytes(int width);
std::vector<uint8_t> BitmapDumpHead(int width, int height);

// "P6\n<width> <height>\n255\n".
std::string PpmHeader(int width, int height);

// "mpeg" + the frame number with at least four digits + the extension
// (".ppm" or ".tga").
std::string FrameFileName(int frame, const char* extension);

}  // namespace morvane
