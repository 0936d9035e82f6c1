#include "media/MoviePalette.h"

#include <utility>

#include "media/Export.h"

namespace morvane {

void CountColourClasses(const Picture& picture, std::vector<uint64_t>& counts)
{
    counts.resize(kColourClasses, 0);
    const uint8_t* p = picture.pixels.data();
    for (size_t i = 0; i + 3 < picture.pixels.size(); i += 4) ++counts[ColourClass(p[i], p[i + 1], p[i + 2])];
}

MoviePalette PaletteOfHistogram(std::span<const uint64_t> counts)
{
    std::vector<uint64_t> count(kColourClasses, 0);
    std::vector<int> index(kColourClasses);
    int distinct = 0;
    for (int c = 0; c < kColourClasses; ++c) {
        if (c < static_cast<int>(counts.size())) count[c] = counts[c];
        index[c] = c;
        if (count[c] != 0) ++distinct;
    }

    // Shell sort, largest count first; bins of equal count are never
    // exchanged with each other, and their final order comes from the gaps.
    for (int gap = kColourClasses / 2; gap >= 1; gap /= 2) {
        for (int i = gap; i < kColourClasses; ++i) {
            for (int j = i - gap; j >= 0 && count[j + gap] > count[j]; j -= gap) {
                std::swap(count[j], count[j + gap]);
                std::swap(index[j], index[j + gap]);
            }
        }
    }

    auto colourOf = [](int c) {
        return std::array<uint8_t, 3>{static_cast<uint8_t>((c % 32) * 8), static_cast<uint8_t>((c / 32 % 32) * 8),
                                      static_cast<uint8_t>((c / 1024) * 8)};
    };
    MoviePalette palette;
    if (distinct >= 256) {
        for (int i = 1; i <= 254; ++i) palette.colours[i] = colourOf(index[i - 1]);
        palette.colours[255] = {255, 255, 255};
    } else {
        for (int i = 0; i < distinct; ++i) palette.colours[i] = colourOf(index[i]);
    }
    return palette;
}

Result<MoviePalette> BuildMoviePalette(const MovieFrames& frames, const std::filesystem::path& moviePath,
                                       ExportHost& host)
{
    std::vector<uint64_t> counts(kColourClasses, 0);
    for (int i = 0; i < frames.count; ++i) {
        host.ShowStatus(frames.Frame(i).filename().string());
        const Result<Picture> frame = ReadMovieFrame(frames, i, moviePath);
        if (!frame.ok()) return Failure(frame.error);
        CountColourClasses(*frame.value, counts);
    }
    return PaletteOfHistogram(counts);
}

PaletteIndexer::PaletteIndexer(const MoviePalette& palette)
    : palette_(palette), index_(size_t(1) << 24), known_(size_t(1) << 19, 0)
{
}

uint8_t PaletteIndexer::Search(int red, int green, int blue) const
{
    int best = 0;
    int bestDistance = 3 * 256 * 256;
    for (int i = 0; i < 256; ++i) {
        const auto& c = palette_.colours[i];
        const int dr = red - c[0], dg = green - c[1], db = blue - c[2];
        const int d = dr * dr + dg * dg + db * db;
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return static_cast<uint8_t>(best);
}

std::vector<uint8_t> PaletteIndexer::Indices(const Picture& picture)
{
    std::vector<uint8_t> out(picture.pixels.size() / 4);
    const uint8_t* p = picture.pixels.data();
    for (size_t i = 0; i < out.size(); ++i, p += 4) out[i] = Nearest(p[0], p[1], p[2]);
    return out;
}

}  // namespace morvane
