// gallery: renders every material with its preset and every relief on the
// Marble preset, 80 x 60 pixels each, as PPM files in a folder.
//
//   gallery <folder>
//
// The test suite compares the files with tests/data/gallery.sha256.  After a
// deliberate change of the look of a pattern, render the gallery, look at it
// (for instance: montage <folder>/*.ppm -tile 10x -geometry +2+2 sheet.png),
// and write the new list:
//   (cd <folder> && sha256sum *.ppm) > tests/data/gallery.sha256
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "engine/Eval.h"
#include "engine/Noise.h"
#include "engine/PatternNames.h"
#include "engine/Presets.h"
#include "engine/Render.h"
#include "engine/SafeFile.h"

using namespace morvane;

namespace {

constexpr int kWidth = 80;
constexpr int kHeight = 60;

// A picture for the picture materials: colour ramps across, a checker of
// blue squares and a bright diagonal band, so that displacement shows.
void SetGalleryPicture(Layer& layer)
{
    constexpr int w = 64, h = 48;
    layer.rec.width = w;
    layer.rec.height = h;
    std::vector<uint8_t> pixels(static_cast<size_t>(w) * h * 4, 0);
    for (int r = 0; r < h; ++r) {
        for (int c = 0; c < w; ++c) {
            uint8_t* p = &pixels[(static_cast<size_t>(r) * w + c) * 4];
            const bool band = std::abs(c - r) < 4;
            p[0] = static_cast<uint8_t>(band ? 255 : c * 4);
            p[1] = static_cast<uint8_t>(band ? 255 : r * 5);
            p[2] = static_cast<uint8_t>(band ? 128 : (((c / 8) + (r / 8)) % 2) * 200 + 40);
        }
    }
    layer.SetPicture(w, h, std::move(pixels));
}

std::string FileName(char kind, int number, const char* name)
{
    std::string s(1, kind);
    if (number < 10) s += '0';
    s += std::to_string(number) + '-';
    for (const char* q = name; *q; ++q) {
        const unsigned char ch = static_cast<unsigned char>(*q);
        s += std::isalnum(ch) ? static_cast<char>(std::tolower(ch)) : '-';
    }
    return s + ".ppm";
}

bool WritePpm(const std::filesystem::path& path, const Texture& texture)
{
    Texture t = texture;
    PrepareForRender(t);
    const std::vector<uint8_t> bgr = RenderImage(t, kWidth, kHeight, kDisplayAllLayers, 0, true);
    const std::string head = "P6\n" + std::to_string(kWidth) + " " + std::to_string(kHeight) + "\n255\n";
    std::vector<uint8_t> out(head.begin(), head.end());
    for (size_t i = 0; i + 3 < bgr.size(); i += 4) {
        out.push_back(bgr[i + 2]);
        out.push_back(bgr[i + 1]);
        out.push_back(bgr[i]);
    }
    const Result<> written = WriteFileReplacing(path, out);
    if (!written.ok()) {
        std::fprintf(stderr, "gallery: cannot write %s: %s\n", path.string().c_str(), written.error.c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: gallery <folder>\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) {
        std::fprintf(stderr, "gallery: cannot create %s: %s\n", folder.string().c_str(), ec.message().c_str());
        return 1;
    }
    NoiseInit();
    const MaterialPresets& presets = MaterialPresetTable();

    bool ok = true;
    for (int m = 0; m < kMaterialCount; ++m) {
        Texture t = PresetTexture(presets, m);
        if (IsPictureMaterial(m)) SetGalleryPicture(t.layers[0].layer);
        ok = WritePpm(folder / FileName('m', m, MaterialName(m)), t) && ok;
    }
    for (int r = 0; r < kReliefCount; ++r) {
        Texture t = NewTexture(presets);
        LayerRecord& rec = t.layers[0].layer.rec;
        rec.relief = static_cast<int8_t>(r);
        ResetReliefParameters(rec);
        ok = WritePpm(folder / FileName('r', r, ReliefName(r)), t) && ok;
    }
    return ok ? 0 : 1;
}
