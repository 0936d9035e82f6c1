// The writers that turn the TGA frame files of a movie export into an AVI
// or FLI movie.
//
// The export renders frame i into frames.folder / FrameFileName(i, ".tga")
// (media/ExportFiles.h): an 18-byte TGA header (run-length true colour, 24
// bits, width x height, descriptor 8) and the rows BOTTOM ROW FIRST, each a
// sequence of run packets of blue, green, red pixels (media/TgaWriter.h),
// so the frame shows the texture upright as the view does.  The writer
// reads frames 0 .. count - 1 from that folder only and writes the movie
// at `path` (through a temporary file: nothing is left there on failure).
// The export removes the frame files afterwards.
#pragma once

#include <filesystem>
#include <string>

#include "engine/Result.h"
#include "media/Picture.h"

namespace morvane {

class ExportHost;
enum class ExportFormat;

// The frames of one movie export.
struct MovieFrames {
    std::filesystem::path folder;
    int count = 0;
    int width = 0;
    int height = 0;

    // The path of frame i's TGA file.
    std::filesystem::path Frame(int i) const;
};

// The AVI compressor chosen before the frames are rendered.
struct AviSettings {
    bool rle = true;    // "Microsoft RLE"; else "Full Frames (Uncompressed)"
    int quality = 100;  // 0..100: below 100 the run-length coder merges near colours
};

// Reads frame i of the export, bottom row first.  Refused, with the whole
// message naming the movie at `moviePath`, when the frame file is missing,
// cannot be read or is not frames.width x frames.height pixels.
Result<Picture> ReadMovieFrame(const MovieFrames& frames, int i, const std::filesystem::path& moviePath);

// What every movie export and writer says of an animation without a frame.
constexpr char kShorterThanOneFrame[] = "The animation is shorter than one frame (0.04 s).";

// Refuses a movie of `format` (::Avi or ::Fli) of these frames for what is
// known before any frame is rendered: no frame at all, frames larger than
// the writers read back, too many frames or too wide for an FLI, or a file
// larger than the format allows even at its smallest (the size of a
// full-frames AVI is known exactly; how large run-length frames and FLI
// deltas are is known only as they are written, and is checked then).
Result<> CheckMovieLimits(ExportFormat format, const MovieFrames& frames, const AviSettings& avi);

// Refuses a place an AVI or FLI movie cannot be written into: a named pipe,
// a device or a socket (also through a symbolic link, or as one of this
// process's descriptors).  Both writers go back to the file's start to
// fill in its sizes once the last frame is written.
Result<> CheckMovieDestination(ExportFormat format, const std::filesystem::path& path);

// The least number of bytes the movie file of these frames takes.
uint64_t SmallestMovieSize(ExportFormat format, const MovieFrames& frames, const AviSettings& avi);

// Writes the movie of `format` (::Avi or ::Fli); refused with the message
// to show.
Result<> WriteMovieFromFrames(ExportFormat format, const std::filesystem::path& path, const MovieFrames& frames,
                              const AviSettings& avi, ExportHost& host);

}  // namespace morvane
