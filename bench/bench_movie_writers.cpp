// The movie palette and the FLI and AVI writers on 100 frames of 320 x 240:
// rendered frames of a moving three-layer texture, written as the export
// writes them, then counted into a palette and written as movies.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>

#include "engine/Noise.h"
#include "engine/Presets.h"
#include "engine/Render.h"
#include "engine/SafeFile.h"
#include "media/AviWriter.h"
#include "media/Export.h"
#include "media/FliWriter.h"
#include "media/MoviePalette.h"
#include "media/TgaWriter.h"

using namespace morvane;
namespace fs = std::filesystem;

namespace {

class QuietHost : public ExportHost {
public:
    std::optional<int> AskVideoFormat(int) override { return std::nullopt; }
    std::optional<AviSettings> ChooseCompressor() override { return AviSettings{}; }
};

template <class F>
double Seconds(F&& f)
{
    const auto t0 = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

MovieFrames WriteFrames(const fs::path& folder, int count, int w, int h)
{
    NoiseInit();
    Texture t = PresetTexture(MaterialPresetTable(), 1);
    t.layers.push_back(PresetTexture(MaterialPresetTable(), 7).layers[0]);
    t.layers[1].blendCoef = 0.5f;
    t.layers[1].blendMode = 0;
    MovieFrames frames{folder, count, w, h};
    for (int i = 0; i < count; ++i) {
        t.layers[0].layer.rec.offsetX = 0.01f * static_cast<float>(i);
        t.layers[1].layer.rec.offsetZ = 0.02f * static_cast<float>(i);
        PrepareForRender(t);
        const std::vector<uint8_t> image = RenderImage(t, w, h, 0, 0, false);
        ReplacingFile file(frames.Frame(i));
        WriteTgaHeader(file, w, h);
        std::vector<uint8_t> row(static_cast<size_t>(w) * 3);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) std::copy_n(&image[(static_cast<size_t>(y) * w + x) * 4], 3, &row[x * 3]);
            WriteTgaRleLine(file, row);
        }
        file.Commit();
    }
    return frames;
}

}  // namespace

int main()
{
    const int count = 100, w = 320, h = 240;
    const fs::path folder = fs::temp_directory_path() / ("morvane-bench-movies-" + std::to_string(getpid()));
    fs::create_directories(folder);
    const MovieFrames frames = WriteFrames(folder, count, w, h);
    QuietHost host;

    Result<MoviePalette> palette;
    const double paletteTime = Seconds([&] { palette = BuildMoviePalette(frames, folder / "m", host); });
    if (!palette.ok()) {
        std::printf("palette: %s\n", palette.error.c_str());
        return 1;
    }
    std::printf("%d frames of %d x %d\n", count, w, h);
    std::printf("palette:            %7.1f ms (%.2f ms a frame)\n", paletteTime * 1e3, paletteTime * 1e3 / count);

    auto report = [&](const char* name, const fs::path& path, auto&& write) {
        Result<> written;
        const double s = Seconds([&] { written = write(path); });
        if (!written.ok()) std::printf("%s: %s\n", name, written.error.c_str());
        std::printf("%-19s %7.1f ms (%.2f ms a frame), %ju bytes\n", name, s * 1e3, s * 1e3 / count,
                    static_cast<uintmax_t>(fs::exists(path) ? fs::file_size(path) : 0));
    };
    report("FLI:", folder / "m.fli", [&](const fs::path& p) { return WriteFliMovie(p, frames, *palette.value, host); });
    AviSettings rle, full;
    full.rle = false;
    report("AVI Microsoft RLE:", folder / "rle.avi", [&](const fs::path& p) { return WriteAviMovie(p, frames, *palette.value, rle, host); });
    report("AVI full frames:", folder / "full.avi", [&](const fs::path& p) { return WriteAviMovie(p, frames, *palette.value, full, host); });
    fs::remove_all(folder);
    return 0;
}
