// TGA layer pictures come from the disk: any bytes must give a picture or
// a reason, never a read or write outside the buffers.
#include <cstdint>
#include <span>

#include "media/TgaReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // A smaller picture limit than the program's keeps each run quick.
    const morvane::Result<morvane::Picture> r =
        morvane::ReadTgaPicture(std::span<const uint8_t>(data, size), uint64_t(1) << 22);
    if (r.ok() && r.value->pixels.size() != static_cast<size_t>(r.value->width) * r.value->height * 4) __builtin_trap();
    return 0;
}
