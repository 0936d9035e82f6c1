#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "engine/Sphere.h"
#include "support/TimeLimit.h"

using namespace morvane;

namespace {

std::filesystem::path GeneratedTable()
{
    return std::filesystem::path(MORVANE_BUILD_DIR) / "data" / "sphere.par";
}

LayerRecord Light(float lx, float ly, float lz)
{
    LayerRecord r{};
    r.lightDirX = lx;
    r.lightDirY = ly;
    r.lightDirZ = lz;
    r.lightR = r.lightG = r.lightB = 1.0f;
    r.reflectR = r.reflectG = r.reflectB = 1.0f;
    r.brillianceR = r.brillianceG = r.brillianceB = 200.0f;
    return r;
}

struct WalkStats {
    int records = 0;
    int rowEnds = 0;
    int lastD = 99;
};

WalkStats WalkAll(const SphereTable& t)
{
    WalkStats s;
    t.Walk([&](const SphereTable::Point& p) {
               ++s.records;
               EXPECT_GE(p.column, 0);
               EXPECT_LE(p.column, kSphereLastColumn);
           },
           [&](int d) {
               ++s.rowEnds;
               s.lastD = d;
           });
    return s;
}

// The brightness (sum of the three bytes) of a line position.
int Brightness(const uint8_t* line, int position)
{
    return line[position * 4] + line[position * 4 + 1] + line[position * 4 + 2];
}

}  // namespace

TEST(SphereTable, GeneratedTableHoldsUnitNormalsOfAQuarterDisc)
{
    SphereTable t;
    ASSERT_TRUE(t.LoadFile(GeneratedTable()));
    EXPECT_EQ(std::filesystem::file_size(GeneratedTable()), kSphereTableBytes);

    int records = 0, rows = 0, lastFirst = 76, lastD = 76;
    int firstOfRow = -1;
    t.Walk(
        [&](const SphereTable::Point& p) {
            if (firstOfRow < 0) firstOfRow = p.column;
            ++records;
            const float z = p.stored[0], y = p.stored[1], x = p.stored[2];
            EXPECT_NEAR(z * z + y * y + x * x, 1.0f, 1e-5f);
            EXPECT_GE(z, 0.0f);
            // y points left from the centre column 75, x up by the row's d.
            EXPECT_NEAR(y, (75 - p.column) / 75.0f, 1e-6f);
            EXPECT_NEAR(x, p.d / 75.0f, 1e-6f);
            EXPECT_LE((75 - p.column) * (75 - p.column) + p.d * p.d, 75 * 75);
        },
        [&](int d) {
            EXPECT_EQ(d, lastD - 1);
            lastD = d;
            // Rows widen towards the centre; the first column is the edge.
            EXPECT_LE(firstOfRow, lastFirst);
            if (firstOfRow > 0) {
                const int outside = 75 - (firstOfRow - 1);
                EXPECT_GT(outside * outside + d * d, 75 * 75);
            }
            lastFirst = firstOfRow;
            firstOfRow = -1;
            ++rows;
        });
    EXPECT_EQ(rows, kSphereRows);
    EXPECT_GT(records, 4400);

    // The data file search finds the generated table.
    SphereTable found;
    EXPECT_TRUE(found.Load());
    EXPECT_TRUE(std::equal(found.Bytes().begin(), found.Bytes().end(), t.Bytes().begin()));
}

TEST(SphereTable, MissingShortLongAndHostileTables)
{
    SphereTable t;
    EXPECT_FALSE(t.LoadFile("/nonexistent/sphere.par"));
    // A named pipe in its place would hold start-up for ever.
    const std::filesystem::path pipe =
        std::filesystem::temp_directory_path() / ("morvane-sphere-" + std::to_string(::getpid()) + ".par");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    test::WithinSeconds(10, [&] { EXPECT_FALSE(t.LoadFile(pipe)); });
    std::filesystem::remove(pipe);
    // All zero: every head announces 76 records, more than the table holds;
    // the walk ends at the end of the table.
    WalkStats s = WalkAll(t);
    EXPECT_EQ(s.records, static_cast<int>((kSphereTableBytes / (2 + 76 * kSphereRecordBytes)) * 76 +
                                          (kSphereTableBytes % (2 + 76 * kSphereRecordBytes) - 2) /
                                              kSphereRecordBytes));
    EXPECT_LT(s.rowEnds, kSphereRows);

    // Short: the rest is zero.  Long: only the table's size is read.
    std::vector<uint8_t> bytes(1000, 0xFF);
    t.LoadBytes(bytes);
    EXPECT_EQ(t.Bytes().size(), kSphereTableBytes);
    EXPECT_EQ(t.Bytes()[999], 0xFF);
    EXPECT_EQ(t.Bytes()[1000], 0);
    bytes.assign(kSphereTableBytes + 5000, 0);
    bytes[kSphereTableBytes] = 0xAB;
    t.LoadBytes(bytes);
    EXPECT_EQ(t.Bytes().size(), kSphereTableBytes);

    // Row heads past 75 have no records; negative heads announce records
    // of negative columns, which are passed over.
    std::vector<uint8_t> heads(kSphereTableBytes, 0);
    const int16_t skip = 76, negative = -32768;
    std::memcpy(heads.data(), &skip, 2);
    std::memcpy(heads.data() + 2, &negative, 2);
    t.LoadBytes(heads);
    s = WalkAll(t);
    EXPECT_EQ(s.rowEnds, 1);  // the second row runs past the end of the table
    EXPECT_EQ(s.records, 0);

    // Shading any of these stays inside the line buffers.
    for (const auto& contents : {std::vector<uint8_t>{}, heads, std::vector<uint8_t>(kSphereTableBytes, 0xFF),
                                 std::vector<uint8_t>(kSphereTableBytes, 0x7F)}) {
        t.LoadBytes(contents);
        SphereShader shader;
        int drawn = 0;
        shader.ShadeRows(t, Light(0.3f, -0.2f, 0.9f), [&](int d) {
            EXPECT_EQ(d % 2, 0);
            ++drawn;
        });
        EXPECT_LE(drawn, 38);
    }
}

TEST(SphereShading, PointEdgeCases)
{
    SphereShader s;
    // A zero normal: E = (0, 0, -10), m = (10 Lz / |L| + 1) / 2; no
    // specular for a point without a normal.
    LayerRecord L = Light(0, 0, 2);
    L.brillianceR = 0.0f;
    L.reflectR = 0.5f;
    s.ShadeSpherePoint(L);
    EXPECT_EQ(s.eye[2], -10.0f);
    // m = 5.5, h = 1 for b = 0: D = 0.75 x 5.5, colour = D + (1 - D) x 0.5.
    EXPECT_FLOAT_EQ(s.colour[0], 4.125f + (1 - 4.125f) * 0.5f);
    for (float c : s.colour) EXPECT_TRUE(std::isfinite(c));

    // L = (0, 0, 1), S = (0, 0, 1): E = (0, 0, -9), m = 5, h = 1 / (16 b^2 + 1),
    // D = 3.75 x light.  The half vector is 0, so no specular.
    LayerRecord M = Light(0, 0, 1);
    M.lightR = 0.5f;
    M.reflectR = 0.25f;
    M.brillianceR = 2.0f;
    s.normal[0] = 0;
    s.normal[1] = 0;
    s.normal[2] = 1;
    s.ShadeSpherePoint(M);
    EXPECT_EQ(s.eye[2], -9.0f);
    const float h = 1.0f / (16.0f * 4.0f + 1.0f);
    const float D = 3.75f * 0.5f;
    EXPECT_FLOAT_EQ(s.colour[0], D + (1 - D) * (h * 0.5f * 0.25f));

    // A zero light direction and a light from behind give finite colours.
    for (const LayerRecord& bad : {Light(0, 0, 0), Light(0, 0, -1)}) {
        s.normal[0] = 0.3f;
        s.normal[1] = 0.4f;
        s.normal[2] = 0.2f;
        s.ShadeSpherePoint(bad);
        for (float c : s.colour) EXPECT_TRUE(std::isfinite(c));
    }
    EXPECT_EQ(SphereShader::ChannelByte(std::nanf("")), 0);
    EXPECT_EQ(SphereShader::ChannelByte(-0.5f), 0);
    EXPECT_EQ(SphereShader::ChannelByte(7.0f), 255);
    EXPECT_EQ(SphereShader::ChannelByte(0.5f), 127);
}

// The picker's mirror images light the side of the sphere that its marker
// (at +x right, +y down on the screen) points to.
TEST(SphereShading, MirroringLightsTheMarkerSide)
{
    SphereTable table;
    ASSERT_TRUE(table.LoadFile(GeneratedTable()));
    struct Case {
        float lx, ly;
        bool rightBrighter, lowerBrighter;
    };
    for (const Case c : {Case{1.0f, 0.0f, true, false}, Case{-1.0f, 0.0f, false, false}, Case{0.0f, 1.0f, false, true},
                         Case{0.0f, -1.0f, false, false}}) {
        // A dim light without reflection, so that no channel saturates and
        // only the diffuse light differs between the sides.
        LayerRecord light = Light(c.lx, c.ly, 0.3f);
        light.lightR = light.lightG = light.lightB = 0.3f;
        light.reflectR = light.reflectG = light.reflectB = 0.0f;
        SphereShader shader;
        long left = 0, right = 0, upper = 0, lower = 0;
        int rows = 0;
        shader.ShadeRows(table, light, [&](int d) {
            ++rows;
            if (d < 10 || d > 50) return;  // compare well inside the disc
            for (int f = 5; f <= 30; ++f) {
                left += Brightness(shader.lineA, f) + Brightness(shader.lineB, f);
                right += Brightness(shader.lineA, 75 - f) + Brightness(shader.lineB, 75 - f);
                upper += Brightness(shader.lineA, f) + Brightness(shader.lineA, 75 - f);
                lower += Brightness(shader.lineB, f) + Brightness(shader.lineB, 75 - f);
            }
        });
        EXPECT_EQ(rows, 38);
        if (c.lx != 0) {
            EXPECT_EQ(right > left, c.rightBrighter) << c.lx << " " << left << " " << right;
        }
        if (c.ly != 0) {
            EXPECT_EQ(lower > upper, c.lowerBrighter) << c.ly << " " << upper << " " << lower;
        }
    }
}
