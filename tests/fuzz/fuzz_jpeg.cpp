// JPEG layer pictures come from the disk: any bytes must give a picture or
// a reason, never a read or write outside the buffers, and never more
// memory or scans than the limits allow.
#include <cstdint>
#include <span>

#include "media/JpegGlue.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The program's own picture limit: what a layer picture may be is what
    // is tried.
    const morvane::Result<morvane::JpegImage> r = morvane::DecodeJpegImage(std::span<const uint8_t>(data, size));
    if (r.ok() && r.value->pixels.size() != static_cast<size_t>(r.value->width) * r.value->height * 4) __builtin_trap();
    return 0;
}
