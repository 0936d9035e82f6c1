// Writes "sphere.par": the normals of one quarter of a sphere seen from the
// front, on a disc of radius 75.
//
//   spheregen <output file>
//
// Row r = 0..75 lies d = 75 - r above the centre.  Its int16 head is the
// first column c whose point (75 - c to the left of the centre, d above it)
// is on the disc; one 53-byte record follows for each column c..75, holding
// the unit normal as three little-endian floats z (towards the viewer),
// y (to the left) and x (upwards), then 41 zero bytes.  The file is padded
// with zeros to the full table size the program reads.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int kRadius = 75;
constexpr size_t kRecordBytes = 53;
constexpr size_t kTableBytes = 244376;

void PutLe16(std::vector<uint8_t>& out, int16_t v)
{
    const uint16_t u = static_cast<uint16_t>(v);
    out.push_back(static_cast<uint8_t>(u & 0xFF));
    out.push_back(static_cast<uint8_t>(u >> 8));
}

void PutLeFloat(std::vector<uint8_t>& out, float f)
{
    uint32_t u;
    std::memcpy(&u, &f, 4);
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(u >> (8 * i)));
}

std::vector<uint8_t> BuildTable()
{
    std::vector<uint8_t> out;
    out.reserve(kTableBytes);
    for (int r = 0; r <= kRadius; ++r) {
        const int d = kRadius - r;
        int first = 0;
        while ((kRadius - first) * (kRadius - first) + d * d > kRadius * kRadius) ++first;
        PutLe16(out, static_cast<int16_t>(first));
        for (int j = first; j <= kRadius; ++j) {
            const double left = static_cast<double>(kRadius - j) / kRadius;
            const double up = static_cast<double>(d) / kRadius;
            const double depth = std::sqrt(std::max(0.0, 1.0 - left * left - up * up));
            PutLeFloat(out, static_cast<float>(depth));
            PutLeFloat(out, static_cast<float>(left));
            PutLeFloat(out, static_cast<float>(up));
            out.insert(out.end(), kRecordBytes - 12, uint8_t{0});
        }
    }
    if (out.size() > kTableBytes) {
        std::fprintf(stderr, "spheregen: table of %zu bytes exceeds %zu\n", out.size(), kTableBytes);
        return {};
    }
    out.resize(kTableBytes, 0);
    return out;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: spheregen <output file>\n");
        return 2;
    }
    const std::vector<uint8_t> table = BuildTable();
    if (table.empty()) return 1;

    namespace fs = std::filesystem;
    const fs::path target(argv[1]);
    fs::path temp = target;
    temp += ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(table.data()), static_cast<std::streamsize>(table.size()));
        out.close();
        if (!out) {
            std::fprintf(stderr, "spheregen: cannot write %s\n", temp.string().c_str());
            std::error_code ec;
            fs::remove(temp, ec);
            return 1;
        }
    }
    std::error_code ec;
    fs::rename(temp, target, ec);
    if (ec) {
        std::fprintf(stderr, "spheregen: cannot create %s: %s\n", target.string().c_str(), ec.message().c_str());
        fs::remove(temp, ec);
        return 1;
    }
    return 0;
}
