#include "media/MovieWriters.h"

#include "engine/SafeFile.h"
#include "media/AviWriter.h"
#include "media/Export.h"
#include "media/ExportFiles.h"
#include "media/FliWriter.h"
#include "media/MoviePalette.h"
#include "media/TgaReader.h"

namespace morvane {

std::filesystem::path MovieFrames::Frame(int i) const { return folder / FrameFileName(i, ".tga"); }

bool ReadMovieFrame(const MovieFrames& frames, int i, const std::filesystem::path& moviePath, Picture& frame,
                    std::string& error)
{
    const std::filesystem::path file = frames.Frame(i);
    const std::string unable = "Unable to save \"" + moviePath.string() + "\".\n";
    const Result<std::vector<uint8_t>> bytes = ReadFileBytes(file);
    if (!bytes.ok()) {
        error = unable + "Its frame \"" + file.filename().string() + "\" cannot be read: " + bytes.error + ".";
        return false;
    }
    PictureRead read = ReadTgaPicture(*bytes.value);
    if (!read.ok() || read.picture.width != frames.width || read.picture.height != frames.height) {
        error = unable + "Its frame \"" + file.filename().string() + "\" is not a picture of " +
                std::to_string(frames.width) + " x " + std::to_string(frames.height) + " pixels.";
        return false;
    }
    frame = std::move(read.picture);
    return true;
}

bool MovieWriterAvailable(ExportFormat format) { return format == ExportFormat::Avi || format == ExportFormat::Fli; }

uint64_t SmallestMovieSize(ExportFormat format, const MovieFrames& frames, const AviSettings& avi)
{
    return format == ExportFormat::Fli ? SmallestFliFileSize(frames) : SmallestAviFileSize(frames, avi);
}

std::string MovieLimitProblem(ExportFormat format, const MovieFrames& frames, const AviSettings& avi)
{
    const bool fli = format == ExportFormat::Fli;
    const std::string movie = fli ? "An FLI movie" : "An AVI movie";
    if (frames.count <= 0) return kShorterThanOneFrame;
    // Every frame is read back as a picture.
    if (!PictureSizeProblem(frames.width, frames.height).empty()) {
        return movie + " has frames of at most " + std::to_string(kMaxPictureSide) + " pixels on a side and " +
               std::to_string(kMaxPictureBytes / 4) + " pixels in all; these would be " + std::to_string(frames.width) +
               " x " + std::to_string(frames.height) + ".";
    }
    if (fli && frames.count > kMaxFliFrames) return "An FLI movie holds at most 65535 frames.";
    if (fli && frames.width > kMaxFliWidth) return "An FLI movie is at most 32385 pixels wide.";
    if (fli && SmallestFliFileSize(frames) > kMaxFliFileSize) return "The FLI movie would be larger than 2 GB.";
    if (!fli && SmallestAviFileSize(frames, avi) > kMaxAviFileSize) return "The AVI movie would be larger than 1 GB.";
    return {};
}

std::string WriteMovieFromFrames(ExportFormat format, const std::filesystem::path& path, const MovieFrames& frames,
                                 const AviSettings& avi, ExportHost& host)
{
    const std::string unable = "Unable to save \"" + path.string() + "\".";
    if (!MovieWriterAvailable(format)) return unable;
    if (std::string problem = MovieLimitProblem(format, frames, avi); !problem.empty()) return unable + "\n" + problem;
    const PaletteResult palette = BuildMoviePalette(frames, path, host);
    if (!palette.ok()) return palette.error;
    return format == ExportFormat::Fli ? WriteFliMovie(path, frames, palette.palette, host)
                                       : WriteAviMovie(path, frames, palette.palette, avi, host);
}

}  // namespace morvane
