// AVI movies come from the disk: any bytes must open as a movie or give a
// reason, and every frame asked for stays inside the picture.
#include <cstdint>
#include <span>

#include "media/AviReader.h"

using namespace morvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Result<std::unique_ptr<AviReader>> opened =
        AviReader::Open(MemorySource(std::span<const uint8_t>(data, size)), uint64_t(1) << 22);
    if (!opened.ok()) return 0;
    AviReader& reader = **opened.value;
    const size_t pictureSize = static_cast<size_t>(reader.Width()) * reader.Height() * 4;
    // In order, then back and past the end (frame numbers wrap).
    for (int n : {0, 1, 2, 1, reader.FrameCount() - 1, reader.FrameCount() + 1, -3}) {
        Picture p;
        if (reader.ReadFrame(n, p) && p.pixels.size() != pictureSize) __builtin_trap();
    }
    return 0;
}
