#include "media/MovieWriters.h"

#include "media/Export.h"
#include "media/ExportFiles.h"

namespace morvane {

std::filesystem::path MovieFrames::Frame(int i) const { return folder / FrameFileName(i, ".tga"); }

// The AVI and FLI writers are not part of the program yet.
bool MovieWriterAvailable(ExportFormat) { return false; }

std::string WriteMovieFromFrames(ExportFormat format, const std::filesystem::path& path, const MovieFrames&,
                                 const AviSettings&, ExportHost&)
{
    return "Unable to save \"" + path.string() + "\".\nThe " + (format == ExportFormat::Avi ? "AVI" : "FLI") +
           " movie format is not available yet.";
}

}  // namespace morvane
