// Writing FLI movies (Autodesk Animator): 8 bits per pixel with the
// movie's palette, the first frame stored whole by byte runs, every later
// frame as a line-by-line delta against the frame before.
//
// File: a 128-byte header (file size, magic 0xAF11, frames, width, height,
// depth 8, flags 3, speed 3 (in 1/70 s), at byte 84 the offset of the
// second frame), then the frames, each a 16-byte header (size, 0xF1FA,
// chunk count) and its chunks (size, type, data): the first frame holds a
// 256-level colour chunk (4) and a byte-run chunk (15); every later frame a
// line-delta chunk (12) over every line.  FLI line 0 is the top line.
//
// A line whose packets would not fit the one-byte packet count (more than
// 255) is written with literal packets only; a movie too wide even for that
// (more than 255 x 127 pixels) is refused.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "engine/Result.h"
#include "media/MoviePalette.h"
#include "media/MovieWriters.h"

namespace morvane {

// Widest movie whose lines fit 255 literal packets of 127 pixels.
constexpr int kMaxFliWidth = 255 * 127;
constexpr int kMaxFliFrames = 0xFFFF;
constexpr uint64_t kMaxFliFileSize = 0x7FFFFFFF;

// The smallest FLI file of these frames: the first frame a packet per 127
// pixels of each line, every later frame one packet a line.
uint64_t SmallestFliFileSize(const MovieFrames& frames);

// Appends one line of the byte-run chunk: its packet count, then packets
// of a signed count c and data (c > 0: one index repeated c times; c < 0:
// -c literal indices).
void AppendByteRunLine(std::span<const uint8_t> line, std::vector<uint8_t>& out);

// Appends one line of the line-delta chunk against the same line of the
// frame before: its packet count, then packets of a skip count (pixels left
// as they were), a signed count c and data (c > 0: c literal indices;
// c < 0: one index repeated -c times; c = 0: nothing).
void AppendLineDeltaLine(std::span<const uint8_t> line, std::span<const uint8_t> before, std::vector<uint8_t>& out);

// Writes the frames of a movie export as an FLI movie at `path` (through a
// temporary file).  Refused with the whole message.
Result<> WriteFliMovie(const std::filesystem::path& path, const MovieFrames& frames, const MoviePalette& palette,
                       ExportHost& host);

}  // namespace morvane
