// The TGA writer's packets and header, byte for byte, and a file of it as
// ImageMagick reads it.
#include <gtest/gtest.h>

#include "MediaTestSupport.h"
#include "media/TgaWriter.h"

using namespace morvane;
using namespace morvane::test;

namespace {

std::vector<uint8_t> Row(std::initializer_list<uint8_t> pixelIds)
{
    // Pixel id k stands for the bytes k, k + 1, k + 2.
    std::vector<uint8_t> row;
    for (uint8_t k : pixelIds) row.insert(row.end(), {k, uint8_t(k + 1), uint8_t(k + 2)});
    return row;
}

std::vector<uint8_t> Packets(const std::vector<uint8_t>& row)
{
    std::vector<uint8_t> out;
    AppendTgaRleLine(row, out);
    return out;
}

// The count bytes of the packets (every packet is 4 bytes).
std::vector<int> Counts(const std::vector<uint8_t>& packets)
{
    std::vector<int> counts;
    for (size_t i = 0; i < packets.size(); i += 4) counts.push_back(packets[i]);
    return counts;
}

}  // namespace

TEST(TgaWriter, RowsBecomeRunPacketsEndingWithTheLastPixelAlone)
{
    EXPECT_EQ(Packets(Row({10})), (std::vector<uint8_t>{0x80, 10, 11, 12}));
    EXPECT_EQ(Packets(Row({10, 10})), (std::vector<uint8_t>{0x80, 10, 11, 12, 0x80, 10, 11, 12}));
    EXPECT_EQ(Packets(Row({10, 10, 20})), (std::vector<uint8_t>{0x81, 10, 11, 12, 0x80, 20, 21, 22}));
    EXPECT_EQ(Packets(Row({10, 10, 10})), (std::vector<uint8_t>{0x81, 10, 11, 12, 0x80, 10, 11, 12}));
    EXPECT_EQ(Counts(Packets(Row({1, 5, 1, 5, 1}))), (std::vector<int>{0x80, 0x80, 0x80, 0x80, 0x80}));

    // 300 equal pixels: runs of 128, 128 and 43, then the last pixel.
    const std::vector<uint8_t> flat = Packets(std::vector<uint8_t>(900, 7));
    EXPECT_EQ(Counts(flat), (std::vector<int>{0xFF, 0xFF, 0xAA, 0x80}));
    EXPECT_EQ(flat.size(), 16u);

    // A run is cut at the row's second-last pixel and in 128s.
    EXPECT_EQ(Counts(Packets(Row({3, 3, 3, 3, 9, 9}))), (std::vector<int>{0x83, 0x80, 0x80}));
}

TEST(TgaWriter, HeaderIsRunLengthTrueColourFromTheBottomLeft)
{
    const auto h = TgaHeader(300, 2);
    const std::array<uint8_t, 18> expected{0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x2C, 0x01, 2, 0, 24, 8};
    EXPECT_EQ(h, expected);
}

TEST(TgaWriter, ImageMagickReadsTheFileUpright)
{
    REQUIRE_IMAGEMAGICK();
    TempDir dir;
    const std::string path = dir / "two.tga";
    {
        ReplacingFile file(path);
        ASSERT_TRUE(WriteTgaHeader(file, 3, 2));
        // Stored first: the bottom row, blue; then the top row, red then green.
        ASSERT_TRUE(WriteTgaRleLine(file, std::vector<uint8_t>{255, 0, 0, 255, 0, 0, 255, 0, 0}));
        ASSERT_TRUE(WriteTgaRleLine(file, std::vector<uint8_t>{0, 0, 255, 0, 0, 255, 0, 255, 0}));
        ASSERT_EQ(file.Commit().error, "");
    }
    // (The descriptor declares 8 attribute bits, so ImageMagick adds an
    // alpha channel, which it fills opaque.)
    EXPECT_EQ(Output("convert " + path + " -auto-orient -alpha off -depth 8 txt:- | tail -n +2 | awk '{print $1, $3}'"),
              "0,0: #FF0000\n1,0: #FF0000\n2,0: #00FF00\n0,1: #0000FF\n1,1: #0000FF\n2,1: #0000FF\n");
}
