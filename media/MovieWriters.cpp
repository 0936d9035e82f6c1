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
    const FileBytes bytes = ReadFileBytes(file);
    if (!bytes.ok()) {
        error = unable + "Its frame \"" + file.filename().string() + "\" cannot be read: " + bytes.error + ".";
        return false;
    }
    PictureRead read = ReadTgaPicture(bytes.bytes);
    if (!read.ok() || read.picture.width != frames.width || read.picture.height != frames.height) {
        error = unable + "Its frame \"" + file.filename().string() + "\" is not a picture of " +
                std::to_string(frames.width) + " x " + std::to_string(frames.height) + " pixels.";
        return false;
    }
    frame = std::move(read.picture);
    return true;
}

bool MovieWriterAvailable(ExportFormat format) { return format == ExportFormat::Avi || format == ExportFormat::Fli; }

std::string WriteMovieFromFrames(ExportFormat format, const std::filesystem::path& path, const MovieFrames& frames,
                                 const AviSettings& avi, ExportHost& host)
{
    if (!MovieWriterAvailable(format)) return "Unable to save \"" + path.string() + "\".";
    if (frames.count <= 0) {
        return "Unable to save \"" + path.string() + "\".\nThe animation is shorter than one frame (0.04 s).";
    }
    const PaletteResult palette = BuildMoviePalette(frames, path, host);
    if (!palette.ok()) return palette.error;
    return format == ExportFormat::Fli ? WriteFliMovie(path, frames, palette.palette, host)
                                       : WriteAviMovie(path, frames, palette.palette, avi, host);
}

}  // namespace morvane
