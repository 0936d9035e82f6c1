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

// Reads frame i of the export, bottom row first.  False, with the whole
// message naming the movie at `moviePath`, when the frame file is missing,
// cannot be read or is not frames.width x frames.height pixels.
bool ReadMovieFrame(const MovieFrames& frames, int i, const std::filesystem::path& moviePath, Picture& frame,
                    std::string& error);

// Whether this program can write `format` (ExportFormat::Avi or ::Fli).
bool MovieWriterAvailable(ExportFormat format);

// Writes the movie; an empty string on success, else the message to show.
std::string WriteMovieFromFrames(ExportFormat format, const std::filesystem::path& path,
                                 const MovieFrames& frames, const AviSettings& avi, ExportHost& host);

}  // namespace morvane
