// Frame input: PPM headers (comments), colour conversion, border
// replication, chroma decimation, planar files, and the messages for
// missing, short or mismatched frames.
#include <gtest/gtest.h>

#include <string>

#include "TempDir.h"
#include "codec/EncoderCore.h"
#include "engine/Cpu.h"

using namespace morvane;
using namespace morvane::mpeg;

namespace {

struct Reader {
    EncoderParameters p;
    FrameReader reader;
    Picture pic;
    int W, H;
    MessageSink sink;
    Reader(int format, int w, int h, int inputType = 2)
    {
        FillEncoderParameters(p, format, w, h, 1);
        p.inputType = inputType;
        sink.SetEcho(false);
        EXPECT_TRUE(CheckEncoderParameters(p, sink));
        W = (w + 15) / 16 * 16;
        H = p.progressiveSequence ? (h + 15) / 16 * 16 : (h + 31) / 32 * 32;
        reader.Configure(p, W, H, EncoderKernelsFor(CpuFlags()));
        pic.plane[0].assign(static_cast<size_t>(W) * H, 0);
        pic.plane[1].assign(static_cast<size_t>(W) * H / 4, 0);
        pic.plane[2].assign(static_cast<size_t>(W) * H / 4, 0);
    }
    bool Read(const std::string& base) { return reader.Read(base, pic, sink); }
    int Y(int x, int y) { return pic.plane[0][static_cast<size_t>(y) * W + x]; }
    int Cb(int x, int y) { return pic.plane[1][static_cast<size_t>(y) * (W / 2) + x]; }
    int Cr(int x, int y) { return pic.plane[2][static_cast<size_t>(y) * (W / 2) + x]; }
};

std::string Ppm(int w, int h, const std::string& header, auto pixel)
{
    std::string s = header;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const auto [r, g, b] = pixel(x, y);
            s += static_cast<char>(r);
            s += static_cast<char>(g);
            s += static_cast<char>(b);
        }
    return s;
}

}  // namespace

TEST(FrameInput, CommentsAndColourConversion)
{
    TempDir dir;
    WriteBytes(dir / "white.ppm", Ppm(32, 32, "P6\n# made by a test\n32 #width\n32\n255\n", [](int, int) {
                   return std::tuple{255, 255, 255};
               }));
    WriteBytes(dir / "black.ppm", Ppm(32, 32, "P6 32 32 255\n", [](int, int) { return std::tuple{0, 0, 0}; }));
    Reader r(kVideoMpeg1, 32, 32);
    ASSERT_TRUE(r.Read(dir / "white"));
    EXPECT_EQ(r.Y(0, 0), 234);  // int(16.5 + 255 x 219 / 256)
    EXPECT_EQ(r.Y(31, 31), 234);
    EXPECT_EQ(r.Cb(3, 3), 128);
    EXPECT_EQ(r.Cr(15, 15), 128);
    ASSERT_TRUE(r.Read(dir / "black"));
    EXPECT_EQ(r.Y(5, 5), 16);
    EXPECT_EQ(r.Cb(0, 0), 128);
    EXPECT_EQ(r.Cr(0, 0), 128);
    EXPECT_TRUE(r.sink.Messages().empty());

    // Pure red with matrix 5: Y = 0.299 x 255 = 76.245; luminance
    // int(16.5 + 76.245 x 219 / 256) = 81; Cr = int(128.5 + 178.755 x 0.4375 / 0.701) = 240.
    WriteBytes(dir / "red.ppm", Ppm(32, 32, "P6\n32 32\n255\n", [](int, int) { return std::tuple{255, 0, 0}; }));
    ASSERT_TRUE(r.Read(dir / "red"));
    EXPECT_EQ(r.Y(1, 1), 81);
    EXPECT_EQ(r.Cr(1, 1), 240);
    // Matrix 4 (NTSC): Y = 0.30 x 255 = 76.5 -> int(16.5 + 65.44) = 81.
    Reader n(kVideoNtsc, 32, 32);
    ASSERT_TRUE(n.Read(dir / "red"));
    EXPECT_EQ(n.Y(1, 1), 81);
}

TEST(FrameInput, BorderReplication)
{
    TempDir dir;
    WriteBytes(dir / "f.ppm", Ppm(150, 100, "P6\n150 100\n255\n", [](int x, int y) {
                   const int v = (x * 7 + y * 3) & 255;
                   return std::tuple{v, v, v};
               }));
    Reader r(kVideoMpeg1, 150, 100);
    ASSERT_EQ(r.W, 160);
    ASSERT_EQ(r.H, 112);
    ASSERT_TRUE(r.Read(dir / "f"));
    for (int y = 0; y < 112; ++y)
        for (int x = 150; x < 160; ++x) ASSERT_EQ(r.Y(x, y), r.Y(149, y)) << x << "," << y;
    for (int y = 100; y < 112; ++y)
        for (int x = 0; x < 160; ++x) ASSERT_EQ(r.Y(x, y), r.Y(x, 99)) << x << "," << y;
    EXPECT_NE(r.Y(10, 10), r.Y(11, 10));
}

TEST(FrameInput, ChromaFilters)
{
    TempDir dir;
    // A vertical edge in blue: the MPEG-1 filter centres between samples,
    // the MPEG-2 one on the even samples; both are symmetric.
    WriteBytes(dir / "edge.ppm", Ppm(64, 64, "P6\n64 64\n255\n", [](int x, int) {
                   return x < 32 ? std::tuple{0, 0, 0} : std::tuple{0, 0, 255};
               }));
    Reader m1(kVideoMpeg1, 64, 64);
    ASSERT_TRUE(m1.Read(dir / "edge"));
    EXPECT_EQ(m1.Cb(0, 5), 128);
    EXPECT_GT(m1.Cb(31, 5), 200);
    // Outputs 15 and 16 sit one sample either side of the edge (at 31.5).
    EXPECT_NEAR(m1.Cb(15, 5) - 128, m1.Cb(31, 5) - m1.Cb(16, 5), 1);
    EXPECT_NE(m1.Cb(15, 5), 128);
    // Rows are identical (no vertical detail).
    for (int y = 1; y < 32; ++y) EXPECT_EQ(m1.Cb(16, y), m1.Cb(16, 0));
    Reader pal(kVideoPal, 64, 64);
    ASSERT_TRUE(pal.Read(dir / "edge"));
    // The MPEG-2 horizontal taps add up to 514/512: flat 128 becomes 129.
    EXPECT_EQ(pal.Cb(0, 0), 129);
    EXPECT_EQ(pal.Cb(0, 31), 129);
    for (int y = 1; y < 32; ++y) EXPECT_EQ(pal.Cb(20, y), pal.Cb(20, 0));
}

TEST(FrameInput, PlanarFiles)
{
    TempDir dir;
    std::string y(40 * 20, '\0'), u(20 * 10, '\0'), v(20 * 10, '\0');
    for (size_t i = 0; i < y.size(); ++i) y[i] = static_cast<char>(i % 200);
    for (size_t i = 0; i < u.size(); ++i) u[i] = static_cast<char>(50 + i % 100), v[i] = static_cast<char>(100 + i % 50);
    WriteBytes(dir / "a.Y", y);
    WriteBytes(dir / "a.U", u);
    WriteBytes(dir / "a.V", v);
    WriteBytes(dir / "b.yuv", y + u + v);
    for (int type : {0, 1}) {
        Reader r(kVideoMpeg1, 40, 20, type);
        ASSERT_TRUE(r.Read(dir / (type == 0 ? "a" : "b")));
        EXPECT_EQ(r.Y(39, 19), static_cast<uint8_t>(y[19 * 40 + 39]));
        EXPECT_EQ(r.Y(47, 31), r.Y(39, 19));  // border
        EXPECT_EQ(r.Cb(19, 9), static_cast<uint8_t>(u[9 * 20 + 19]));
        EXPECT_EQ(r.Cr(3, 2), static_cast<uint8_t>(v[2 * 20 + 3]));
        EXPECT_EQ(r.Cr(23, 15), r.Cr(19, 9));
    }
    Reader shortOne(kVideoMpeg1, 40, 20, 1);
    WriteBytes(dir / "c.yuv", y + u);
    EXPECT_FALSE(shortOne.Read(dir / "c"));
    EXPECT_EQ(shortOne.sink.Text(), (dir / "c.yuv") + " is too short");
}

TEST(FrameInput, BadFramesStopWithAMessage)
{
    TempDir dir;
    Reader r(kVideoMpeg1, 32, 32);
    EXPECT_FALSE(r.Read(dir / "missing"));
    EXPECT_EQ(r.sink.Text(), "Couldn't open " + (dir / "missing.ppm"));

    std::string full = Ppm(32, 32, "P6\n32 32\n255\n", [](int, int) { return std::tuple{1, 2, 3}; });
    WriteBytes(dir / "short.ppm", full.substr(0, full.size() - 1));
    r.sink.Clear();
    EXPECT_FALSE(r.Read(dir / "short"));
    EXPECT_EQ(r.sink.Text(), (dir / "short.ppm") + " is too short");

    WriteBytes(dir / "size.ppm", Ppm(32, 16, "P6\n32 16\n255\n", [](int, int) { return std::tuple{1, 2, 3}; }));
    WriteBytes(dir / "depth.ppm", "P6\n32 32\n65535\n" + std::string(32 * 32 * 6, 'x'));
    WriteBytes(dir / "ascii.ppm", "P3\n32 32\n255\n");
    for (const char* name : {"size", "depth", "ascii"}) {
        r.sink.Clear();
        EXPECT_FALSE(r.Read(dir / name));
        EXPECT_EQ(r.sink.Text(), (dir / name) + ".ppm is not a 32x32 PPM picture with 8-bit samples");
    }
}
