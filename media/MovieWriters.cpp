#include "media/MovieWriters.h"

#include <sys/stat.h>

#include "engine/SafeFile.h"
#include "media/AviWriter.h"
#include "media/Export.h"
#include "media/ExportFiles.h"
#include "media/FliWriter.h"
#include "media/MoviePalette.h"
#include "media/TgaReader.h"

namespace morvane {

std::filesystem::path MovieFrames::Frame(int i) const { return folder / FrameFileName(i, ".tga"); }

Result<Picture> ReadMovieFrame(const MovieFrames& frames, int i, const std::filesystem::path& moviePath)
{
    const std::filesystem::path file = frames.Frame(i);
    const std::string unable = "Unable to save \"" + moviePath.string() + "\".\n";
    const Result<std::vector<uint8_t>> bytes = ReadFileBytes(file);
    if (!bytes.ok())
        return Failure(unable + "Its frame \"" + file.filename().string() + "\" cannot be read: " + bytes.error + ".");
    Result<Picture> read = ReadTgaPicture(*bytes.value);
    if (!read.ok() || read.value->width != frames.width || read.value->height != frames.height) {
        return Failure(unable + "Its frame \"" + file.filename().string() + "\" is not a picture of " +
                       std::to_string(frames.width) + " x " + std::to_string(frames.height) + " pixels.");
    }
    return read;
}

Result<> CheckMovieDestination(ExportFormat format, const std::filesystem::path& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return {};
    // A folder is refused by the writer itself, before any frame too.
    if (S_ISREG(st.st_mode) || S_ISDIR(st.st_mode)) return {};
    const char* what = S_ISFIFO(st.st_mode) ? "a named pipe" : S_ISSOCK(st.st_mode) ? "a socket" : "a device";
    return Failure(std::string("It is ") + what + "; " + (format == ExportFormat::Fli ? "an FLI" : "an AVI") +
                   " movie can only be saved as a file.");
}

uint64_t SmallestMovieSize(ExportFormat format, const MovieFrames& frames, const AviSettings& avi)
{
    return format == ExportFormat::Fli ? SmallestFliFileSize(frames) : SmallestAviFileSize(frames, avi);
}

Result<> CheckMovieLimits(ExportFormat format, const MovieFrames& frames, const AviSettings& avi)
{
    const bool fli = format == ExportFormat::Fli;
    const std::string movie = fli ? "An FLI movie" : "An AVI movie";
    if (frames.count <= 0) return Failure(kShorterThanOneFrame);
    // Every frame is read back as a picture.
    if (!CheckPictureSize(frames.width, frames.height).ok()) {
        return Failure(movie + " has frames of at most " + std::to_string(kMaxPictureSide) + " pixels on a side and " +
                       std::to_string(kMaxPictureBytes / 4) + " pixels in all; these would be " +
                       std::to_string(frames.width) + " x " + std::to_string(frames.height) + ".");
    }
    if (fli && frames.count > kMaxFliFrames) return Failure("An FLI movie holds at most 65535 frames.");
    if (fli && frames.width > kMaxFliWidth) return Failure("An FLI movie is at most 32385 pixels wide.");
    if (SmallestMovieSize(format, frames, avi) > (fli ? kMaxFliFileSize : kMaxAviFileSize))
        return Failure(fli ? "The FLI movie would be larger than 2 GB." : "The AVI movie would be larger than 1 GB.");
    return {};
}

Result<> WriteMovieFromFrames(ExportFormat format, const std::filesystem::path& path, const MovieFrames& frames,
                              const AviSettings& avi, ExportHost& host)
{
    const std::string unable = "Unable to save \"" + path.string() + "\".";
    if (Result<> limits = CheckMovieLimits(format, frames, avi); !limits.ok())
        return Failure(unable + "\n" + limits.error);
    const Result<MoviePalette> palette = BuildMoviePalette(frames, path, host);
    if (!palette.ok()) return Failure(palette.error);
    return format == ExportFormat::Fli ? WriteFliMovie(path, frames, *palette.value, host)
                                       : WriteAviMovie(path, frames, *palette.value, avi, host);
}

}  // namespace morvane
