// The one palette of 256 colours shared by every frame of an AVI or FLI
// movie, and the nearest palette entry of a colour.
//
// The colours of all frames are counted in 32768 classes of 5 bits per
// channel (class = blue / 8 x 1024 + green / 8 x 32 + red / 8); the classes
// are sorted by count, largest first, with a Shell sort whose order among
// equal counts decides the palette (a stable or another sort gives another
// one).  Fewer than 256 classes: every class, most frequent first, then
// black.  Otherwise black, the 254 most frequent classes, and white.  A
// class's colour is its lower corner (each channel a multiple of 8).
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "engine/Result.h"
#include "media/MovieWriters.h"
#include "media/Picture.h"

namespace morvane {

constexpr int kColourClasses = 32768;

struct MoviePalette {
    std::array<std::array<uint8_t, 3>, 256> colours{};  // red, green, blue
};

inline int ColourClass(uint8_t red, uint8_t green, uint8_t blue)
{
    return (blue / 8) * 1024 + (green / 8) * 32 + red / 8;
}

// Adds the pixels of a picture (four bytes each: red, green, blue, spare)
// to a histogram of kColourClasses counts.
void CountColourClasses(const Picture& picture, std::vector<uint64_t>& counts);

// The palette of a histogram of kColourClasses counts.
MoviePalette PaletteOfHistogram(std::span<const uint64_t> counts);

// Counts the colours of every frame of a movie export (read only from the
// export's frame folder) and makes its palette; refused with the whole
// message to show.  `moviePath` names the movie in messages; the host shows
// each frame file's name.
Result<MoviePalette> BuildMoviePalette(const MovieFrames& frames, const std::filesystem::path& moviePath,
                                       ExportHost& host);

// The entry of a palette nearest to a colour: the smallest sum of squared
// differences of red, green and blue, the lowest index among equals.
// Answers are remembered per colour, so a movie's many equal pixels cost
// one search.
class PaletteIndexer {
public:
    explicit PaletteIndexer(const MoviePalette& palette);

    uint8_t Nearest(uint8_t red, uint8_t green, uint8_t blue)
    {
        const uint32_t colour = (uint32_t(red) << 16) | (uint32_t(green) << 8) | blue;
        uint32_t& known = known_[colour >> 5];
        const uint32_t bit = 1u << (colour & 31);
        if (!(known & bit)) {
            index_[colour] = Search(red, green, blue);
            known |= bit;
        }
        return index_[colour];
    }

    // Every pixel of a picture (bottom row first), in the picture's order.
    std::vector<uint8_t> Indices(const Picture& picture);

private:
    uint8_t Search(int red, int green, int blue) const;

    MoviePalette palette_;
    std::vector<uint8_t> index_;   // one per 24-bit colour
    std::vector<uint32_t> known_;  // one bit per 24-bit colour
};

}  // namespace morvane
