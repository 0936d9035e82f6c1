// Little-endian fields of the movie files: appended to a buffer, put at an
// offset inside one, or as the four bytes of a 32-bit value.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace morvane {

inline std::array<uint8_t, 4> Le32(uint32_t v)
{
    return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
            static_cast<uint8_t>(v >> 24)};
}

inline void AppendLe16(std::vector<uint8_t>& b, int v)
{
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}

inline void AppendLe32(std::vector<uint8_t>& b, uint32_t v)
{
    const std::array<uint8_t, 4> bytes = Le32(v);
    b.insert(b.end(), bytes.begin(), bytes.end());
}

inline void PutLe16(std::vector<uint8_t>& b, size_t at, int v)
{
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}

inline void PutLe32(std::vector<uint8_t>& b, size_t at, uint32_t v)
{
    const std::array<uint8_t, 4> bytes = Le32(v);
    for (size_t i = 0; i < 4; ++i) b[at + i] = bytes[i];
}

}  // namespace morvane
