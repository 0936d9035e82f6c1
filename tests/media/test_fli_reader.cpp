// FLI movies as layer pictures: files of the movie-file script decoded as
// ffmpeg decodes them, the movie's timing, and hand-made files for chunk
// corners and damaged input.
#include <gtest/gtest.h>

#include "media/FliReader.h"
#include "media/LayerPicture.h"
#include "tests/media/MovieTestSupport.h"

using namespace morvane;
using namespace morvane::test;

namespace {

using Bytes = std::vector<uint8_t>;

void Put16(Bytes& b, int v)
{
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(Bytes& b, uint32_t v)
{
    Put16(b, static_cast<int>(v & 0xFFFF));
    Put16(b, static_cast<int>(v >> 16));
}

Bytes Chunk(int type, const Bytes& data)
{
    Bytes c;
    Put32(c, static_cast<uint32_t>(6 + data.size()));
    Put16(c, type);
    c.insert(c.end(), data.begin(), data.end());
    return c;
}

Bytes Frame(const std::vector<Bytes>& chunks)
{
    Bytes body;
    for (const Bytes& c : chunks) body.insert(body.end(), c.begin(), c.end());
    Bytes f;
    Put32(f, static_cast<uint32_t>(16 + body.size()));
    Put16(f, 0xF1FA);
    Put16(f, static_cast<int>(chunks.size()));
    f.resize(16, 0);
    f.insert(f.end(), body.begin(), body.end());
    return f;
}

Bytes Fli(int w, int h, const std::vector<Bytes>& frames)
{
    Bytes f;
    Put32(f, 0);
    Put16(f, 0xAF11);
    Put16(f, static_cast<int>(frames.size()));
    Put16(f, w);
    Put16(f, h);
    f.resize(128, 0);
    for (const Bytes& fr : frames) f.insert(f.end(), fr.begin(), fr.end());
    return f;
}

// A colour chunk setting entries first.. to the given colours.
Bytes Colours(int first, const std::vector<std::array<uint8_t, 3>>& colours, int type = 4)
{
    Bytes d;
    Put16(d, 1);
    d.push_back(static_cast<uint8_t>(first));
    d.push_back(static_cast<uint8_t>(colours.size()));
    for (const auto& c : colours) d.insert(d.end(), c.begin(), c.end());
    return Chunk(type, d);
}

// Red, green, blue of FLI pixel (x, line y) of a decoded picture.
std::vector<int> Pixel(const Picture& p, int x, int y)
{
    const uint8_t* px = &p.pixels[(static_cast<size_t>(p.height - 1 - y) * p.width + x) * 4];
    return {px[0], px[1], px[2]};
}

FliDecoder DecoderOf(const Bytes& file)
{
    Result<std::shared_ptr<const FliMovie>> opened = OpenFliMovie(file);
    EXPECT_TRUE(opened.ok()) << opened.error;
    return FliDecoder(opened.value.value_or(nullptr));
}

}  // namespace

TEST(FliReader, ScriptMoviesDecodeAsFfmpegDecodesThem)
{
    REQUIRE_FFMPEG();
    TempDir dir;
    const fs::path file = dir.path / "moving.fli";
    ASSERT_TRUE(ScriptMovie("fli", file, 100, 37, 10));
    const auto frames = FfmpegFrames(file, 100, 37);
    ASSERT_EQ(frames.size(), 10u);

    Result<std::shared_ptr<const FliMovie>> opened = OpenFliMovie(FileBytesOf(file));
    ASSERT_TRUE(opened.ok()) << opened.error;
    EXPECT_EQ((*opened.value)->frameCount, 10);
    FliDecoder decoder(*opened.value);
    // In order, then backwards (each a fresh decode from frame 0).
    for (int k = 0; k < 10; ++k) EXPECT_EQ(DifferingBytes(TopFirstRgb(decoder.DecodeTo(k)), frames[k]), 0u) << k;
    for (int k = 9; k >= 0; --k) EXPECT_EQ(DifferingBytes(TopFirstRgb(decoder.DecodeTo(k)), frames[k]), 0u) << k;

    // As a layer source: duration 0.4 s, frame n shows frame n mod 10, and
    // the texture renders the frame.
    Layer layer = LayerWithPicture(file.string());
    ASSERT_TRUE(LoadLayerPicture(layer, 1, MovieOpener::Application, nullptr));
    EXPECT_FLOAT_EQ(Value(layer.rec.duration), 0.4f);
    EXPECT_EQ(Value(layer.rec.animated), 0) << "the application's loader leaves the animation alone";
    EXPECT_EQ(DifferingBytes(TopFirstRgb(layer), frames[0]), 0u);
    for (int n : {1, 5, 9, 10, 11, 3, 25, -1}) {
        ASSERT_TRUE(ShowMovieFrame(layer, n));
        EXPECT_EQ(DifferingBytes(TopFirstRgb(layer), frames[((n % 10) + 10) % 10]), 0u) << n;
    }
    ExpectRendersAs(layer, frames[9]);
    CloseMovieSources();
}

TEST(FliReader, FrameNumbersFollowTheDuration)
{
    EXPECT_EQ(FliFrameFor(10, 0.4f), 0);
    EXPECT_EQ(FliFrameFor(11, 0.4f), 1);
    EXPECT_EQ(FliFrameFor(-1, 0.4f), 9);
    EXPECT_EQ(FliFrameFor(70000, 0.4f), 0) << "frame numbers are not cut to 16 bits";
    EXPECT_EQ(FliFrameFor(7, 0.04f), 0) << "a one-frame movie always shows frame 0";
    EXPECT_EQ(FliFrameFor(7, 0.0f), 0);
    EXPECT_EQ(FliFrameFor(7, 0.01f), 0);
    EXPECT_EQ(FliFrameFor(7, std::numeric_limits<float>::quiet_NaN()), 0);
}

TEST(FliReader, ChunksAppliedInOrderUnknownOnesSkippedBySize)
{
    const std::array<uint8_t, 3> red{200, 0, 0}, green{0, 200, 0};
    // Frame 0: colours, then a byte run of 2 lines of 3 pixels.
    const Bytes byteRun = {1, 3, 1, 2, 0xFD, 0, 1, 0};  // line 0: three of 1; line 1: literal 0 1 0
    // Frame 1: black, an unknown chunk whose data looks like a copy, then a
    // line delta over the black picture: line 1, skip 2, one literal 1.
    const Bytes unknown = Chunk(99, Bytes(6, 1));
    const Bytes delta = {1, 0, 1, 0, 1, 2, 1, 1};
    // Frame 2: no chunks at all.  Frame 3: 64-level colours (x 4).
    const Bytes file = Fli(3, 2,
                           {Frame({Colours(0, {red, green}), Chunk(15, byteRun)}),
                            Frame({Chunk(13, {}), unknown, Chunk(12, delta)}), Frame({}),
                            Frame({Colours(1, {{{10, 20, 63}}}, 11), Chunk(16, {1, 1, 1, 1, 1, 1})})});
    FliDecoder d = DecoderOf(file);
    const Picture& p0 = d.DecodeTo(0);
    EXPECT_EQ(Pixel(p0, 2, 0), (std::vector<int>{0, 200, 0}));
    EXPECT_EQ(Pixel(p0, 0, 1), (std::vector<int>{200, 0, 0}));
    EXPECT_EQ(Pixel(p0, 1, 1), (std::vector<int>{0, 200, 0}));
    const Picture& p1 = d.DecodeTo(1);
    EXPECT_EQ(Pixel(p1, 0, 0), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(Pixel(p1, 2, 1), (std::vector<int>{0, 200, 0}));
    EXPECT_EQ(Pixel(p1, 1, 1), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(TopFirstRgb(d.DecodeTo(2)), TopFirstRgb(d.DecodeTo(1))) << "a frame without chunks repeats the one before";
    EXPECT_EQ(Pixel(d.DecodeTo(3), 1, 0), (std::vector<int>{40, 80, 252}));
    // Past the end of the data the last picture stays.
    EXPECT_EQ(Pixel(d.DecodeTo(40), 1, 0), (std::vector<int>{40, 80, 252}));
}

TEST(FliReader, HostileChunksStayInsideThePictureAndTheData)
{
    // Colours past entry 255, a delta whose lines and columns run outside
    // the picture, a byte run longer than its lines, a copy cut short, and
    // a chunk and a frame claiming more bytes than there are.
    Bytes colours;
    Put16(colours, 2);
    colours.insert(colours.end(), {250, 10});
    for (int i = 0; i < 10; ++i) colours.insert(colours.end(), {7, 7, 7});
    colours.insert(colours.end(), {0, 1, 9, 9, 9});  // one more packet: skip 0, one colour
    Bytes delta;
    Put16(delta, 0xFFFF);  // first line -1
    Put16(delta, 40);      // 40 lines
    delta.insert(delta.end(), {2, 250, 0x7F, 1, 0x80});  // skip far right, then a run of 128... cut off
    const Bytes run = {3, 0x7F, 1, 0x81, 0x7F, 2};
    Bytes huge = Chunk(12, delta);
    huge[0] = 0xFF, huge[1] = 0xFF, huge[2] = 0xFF, huge[3] = 0x7F;
    const Bytes file = Fli(4, 3, {Frame({Chunk(4, colours), Chunk(15, run)}), Frame({Chunk(16, {1, 1})}), Frame({huge})});
    FliDecoder d = DecoderOf(file);
    for (int k = 0; k < 4; ++k) EXPECT_EQ(d.DecodeTo(k).pixels.size(), 4u * 3u * 4u);

    // A truncated file still opens and keeps its last whole picture.
    Bytes cut = file;
    cut.resize(150);
    FliDecoder c = DecoderOf(cut);
    EXPECT_EQ(c.DecodeTo(5).pixels.size(), 48u);

    // Headers that cannot be used.
    EXPECT_FALSE(OpenFliMovie(Bytes(127, 0)).ok());
    EXPECT_FALSE(OpenFliMovie(Fli(0, 10, {})).ok());
    EXPECT_FALSE(OpenFliMovie(Fli(40000, 10, {})).ok());
}
