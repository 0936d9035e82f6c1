#include "media/TgaWriter.h"

#include <cstring>

namespace morvane {

std::array<uint8_t, kTgaHeaderSize> TgaHeader(int width, int height)
{
    std::array<uint8_t, kTgaHeaderSize> h{};
    h[2] = 10;  // run-length encoded true colour
    h[12] = static_cast<uint8_t>(width & 0xFF);
    h[13] = static_cast<uint8_t>((width >> 8) & 0xFF);
    h[14] = static_cast<uint8_t>(height & 0xFF);
    h[15] = static_cast<uint8_t>((height >> 8) & 0xFF);
    h[16] = 24;
    h[17] = 8;  // origin bits clear: bottom row first
    return h;
}

void AppendTgaRleLine(std::span<const uint8_t> row, std::vector<uint8_t>& out)
{
    const size_t m = row.size() / 3 * 3;
    if (m == 0) return;
    auto packet = [&](size_t pixel, int run) {
        out.push_back(static_cast<uint8_t>(0x80 | (run - 1)));
        out.insert(out.end(), row.begin() + static_cast<std::ptrdiff_t>(pixel),
                   row.begin() + static_cast<std::ptrdiff_t>(pixel + 3));
    };
    // A run grows while the next pixel is equal, shorter than 128 and not
    // the row's last pixel, which always gets a packet of its own.
    int run = 1;
    size_t p = 0;
    for (; p + 3 < m; p += 3) {
        const bool lastNext = p + 3 >= m - 3;
        if (std::memcmp(&row[p], &row[p + 3], 3) == 0 && run < 128 && !lastNext) {
            ++run;
        } else {
            packet(p, run);
            run = 1;
        }
    }
    packet(p, 1);
}

bool WriteTgaHeader(ReplacingFile& file, int width, int height)
{
    const auto h = TgaHeader(width, height);
    return file.Write(h.data(), h.size());
}

bool WriteTgaRleLine(ReplacingFile& file, std::span<const uint8_t> row)
{
    std::vector<uint8_t> packets;
    packets.reserve(row.size() / 3 * 4);
    AppendTgaRleLine(row, packets);
    return file.Write(packets);
}

}  // namespace morvane
