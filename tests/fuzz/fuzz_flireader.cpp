// FLI movies come from the disk: any bytes must open as a movie or give a
// reason, and decoding any frame stays inside the picture and the data.
#include <cstdint>
#include <vector>

#include "media/FliReader.h"

using namespace morvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Result<std::shared_ptr<const FliMovie>> opened = OpenFliMovie(std::vector<uint8_t>(data, data + size), uint64_t(1) << 22);
    if (!opened.ok()) return 0;
    const std::shared_ptr<const FliMovie>& movie = *opened.value;
    FliDecoder decoder(movie);
    const size_t pictureSize = static_cast<size_t>(movie->width) * movie->height * 4;
    for (int f : {0, 3, 1, 12}) {
        if (decoder.DecodeTo(f).pixels.size() != pictureSize) __builtin_trap();
    }
    return 0;
}
