// Writing AVI movies: our own RIFF writer, one video stream of 8-bit
// frames with the movie's palette.
//
// File: RIFF 'AVI ' holding the header list 'hdrl' (main header 'avih'; a
// stream list 'strl' with the stream header 'strh' of a 'vids' stream at
// scale 1 and rate 25, its frame format 'strf' of 1064 bytes (a 40-byte
// bitmap header and 256 palette entries) and its name 'strn' "AVI File
// Dunmere 3D"), the frames in 'movi', bottom row first, each at its real
// size, and the index 'idx1', in which every frame is a key frame.  The
// frame count of the headers is the number of frames written.
//
// Frames are run-length coded (BI_RLE8, "Microsoft RLE") or stored whole
// (BI_RGB, "Full Frames (Uncompressed)", rows padded to 4 bytes).
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "engine/Result.h"
#include "media/MoviePalette.h"
#include "media/MovieWriters.h"

namespace morvane {

// The largest AVI movie written.
constexpr uint64_t kMaxAviFileSize = uint64_t(1) << 30;

// The smallest AVI file of these frames: exactly its size for full frames;
// for run-length frames, every row coded in runs of 255 pixels.
uint64_t SmallestAviFileSize(const MovieFrames& frames, const AviSettings& settings);

// One frame as BI_RLE8 data: every row coded (bottom row first) with runs,
// literal (absolute) packets of 3 or more indices and an end-of-line code,
// the last row ended by the end-of-picture code.  Below quality 100 a run
// also takes pixels whose palette colour is near enough to its own (the
// lower the quality, the farther), which shortens the frame.
std::vector<uint8_t> EncodeRle8Frame(std::span<const uint8_t> indices, int width, int height,
                                     const MoviePalette& palette, int quality);

// Writes the frames of a movie export as an AVI movie at `path` (through a
// temporary file).  Refused with the whole message.
Result<> WriteAviMovie(const std::filesystem::path& path, const MovieFrames& frames, const MoviePalette& palette,
                       const AviSettings& settings, ExportHost& host);

}  // namespace morvane
