// Stored paths come from files: any bytes must map without harm.
#include <cstdint>
#include <string>

#include "engine/Paths.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string s(reinterpret_cast<const char*>(data), size);
    (void)morvane::MapStoredPath(s);
    return 0;
}
