// Writing TGA images: the 18-byte header of a run-length encoded true-colour
// image (24 bits, origin at the bottom left, so the first row stored is the
// bottom row) and the run-length packets of one row.
//
// Rows are coded with run packets only: a count byte 0x80 | (n - 1) and one
// 3-byte pixel standing for n equal pixels, n = 1..128.  No packet crosses a
// row, and every row ends with a packet of one pixel holding its last pixel
// (even when that pixel equals the one before), which the frame readers of
// the movie writers rely on.  The pixel bytes are copied as given (blue,
// green, red in every file this program writes).
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "engine/SafeFile.h"

namespace morvane {

constexpr size_t kTgaHeaderSize = 18;

// The largest file of a width x height image: a packet for every pixel.
constexpr uint64_t LargestTgaFileSize(int width, int height)
{
    return kTgaHeaderSize + 4 * static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
}

// The header of a width x height image.
std::array<uint8_t, kTgaHeaderSize> TgaHeader(int width, int height);

// Appends the packets of one row of 3-byte pixels (row.size() / 3 of them)
// to `out`.
void AppendTgaRleLine(std::span<const uint8_t> row, std::vector<uint8_t>& out);

// The same straight into a file being written; false after a write error.
bool WriteTgaHeader(ReplacingFile& file, int width, int height);
bool WriteTgaRleLine(ReplacingFile& file, std::span<const uint8_t> row);

}  // namespace morvane
