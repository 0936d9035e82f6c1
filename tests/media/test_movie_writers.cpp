// The movie palette and the FLI and AVI writers: the bytes the formats
// lay down, and ffmpeg reading every frame of our movies as our own palette
// mapping of the frame files.
#include <gtest/gtest.h>

#include <cstring>

#include "media/AviWriter.h"
#include "media/Export.h"
#include "media/FliReader.h"
#include "media/FliWriter.h"
#include "media/LayerPicture.h"
#include "media/MoviePalette.h"
#include "media/TgaWriter.h"
#include "tests/media/MovieTestSupport.h"

using namespace morvane;
using namespace morvane::test;

namespace {

using Bytes = std::vector<uint8_t>;

uint32_t U32At(const Bytes& b, size_t at)
{
    uint32_t v;
    std::memcpy(&v, &b[at], 4);
    return v;
}
int U16At(const Bytes& b, size_t at) { return b[at] | (b[at + 1] << 8); }
std::string TagAt(const Bytes& b, size_t at) { return std::string(b.begin() + at, b.begin() + at + 4); }

class RecordingHost : public ExportHost {
public:
    std::vector<std::string> statuses;
    std::optional<int> AskVideoFormat(int) override { return std::nullopt; }
    std::optional<AviSettings> ChooseCompressor() override { return AviSettings{}; }
    void ShowStatus(const std::string& text) override { statuses.push_back(text); }
};

// A picture whose pixels (red, green, blue) come from `colour`(x, y), y = 0
// the bottom row.
template <class Colour>
Picture MakePicture(int w, int h, Colour colour)
{
    Picture p = BlankPicture(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const std::array<uint8_t, 3> c = colour(x, y);
            std::memcpy(p.Row(y) + x * 4, c.data(), 3);
        }
    }
    return p;
}

// Frame k of a moving, colourful movie; `noise` adds a pseudo-random
// speckle that changes every pixel from frame to frame.
Picture MovingFrame(int w, int h, int k, bool noise = false)
{
    return MakePicture(w, h, [&](int x, int y) {
        uint32_t s = static_cast<uint32_t>(x * 7919 + y * 104729 + k * 1299709);
        s ^= s >> 13;
        s *= 0x5bd1e995u;
        s ^= s >> 15;
        const int speckle = noise ? static_cast<int>(s % 64) : 0;
        return std::array<uint8_t, 3>{static_cast<uint8_t>((x * 4 + k * 9 + speckle) % 256),
                                      static_cast<uint8_t>((y * 5 + speckle) % 256),
                                      static_cast<uint8_t>(((x + y) * 3 + k * 17) % 256)};
    });
}

// Frame k of noise in pairs: the pixels of a row equal two by two, each
// pair another of 200 colours than the pair before, all pairs changing from
// frame to frame (the worst case of the packet counts).
Picture NoisyPairsFrame(int w, int h, int k)
{
    std::vector<int> previous(static_cast<size_t>(h), -1);
    std::vector<int> pair(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y) {
        int last = -1;
        for (int x = 0; x < w; x += 2) {
            uint32_t s = static_cast<uint32_t>(x * 7919 + y * 104729 + k * 1299709);
            s ^= s >> 13;
            s *= 0x5bd1e995u;
            s ^= s >> 15;
            const int v = last < 0 ? static_cast<int>(s % 200) : (last + 1 + static_cast<int>(s % 199)) % 200;
            pair[static_cast<size_t>(y) * w + x] = v;
            last = v;
        }
    }
    return MakePicture(w, h, [&](int x, int y) {
        const int v = pair[static_cast<size_t>(y) * w + x / 2 * 2];
        return std::array<uint8_t, 3>{static_cast<uint8_t>(v % 32 * 8), static_cast<uint8_t>(v / 32 * 32), 64};
    });
}

// The frames written as the export writes them (run-length TGA, bottom row
// first, blue, green, red) into `folder`.
MovieFrames WriteFrames(const fs::path& folder, const std::vector<Picture>& pictures)
{
    MovieFrames frames{folder, static_cast<int>(pictures.size()), pictures.empty() ? 0 : pictures[0].width,
                       pictures.empty() ? 0 : pictures[0].height};
    for (size_t i = 0; i < pictures.size(); ++i) {
        const Picture& p = pictures[i];
        const auto header = TgaHeader(p.width, p.height);
        Bytes file(header.begin(), header.end());
        for (int y = 0; y < p.height; ++y) {
            Bytes row;
            for (int x = 0; x < p.width; ++x) {
                const uint8_t* px = &p.pixels[(static_cast<size_t>(y) * p.width + x) * 4];
                row.insert(row.end(), {px[2], px[1], px[0]});
            }
            AppendTgaRleLine(row, file);
        }
        WriteFile(frames.Frame(static_cast<int>(i)), file);
    }
    return frames;
}

// Our own mapping of a frame to the palette, as rows of red, green, blue,
// top row first.
std::vector<uint8_t> Mapped(const Picture& p, const MoviePalette& palette)
{
    PaletteIndexer indexer(palette);
    Picture mapped = BlankPicture(p.width, p.height);
    const std::vector<uint8_t> indices = indexer.Indices(p);
    for (size_t i = 0; i < indices.size(); ++i) std::memcpy(&mapped.pixels[i * 4], palette.colours[indices[i]].data(), 3);
    return TopFirstRgb(mapped);
}

// One field of ffprobe's description of the first video stream.
std::string Probe(const fs::path& file, const std::string& entry)
{
    std::string out = Output("ffprobe -v error -select_streams v:0 -count_frames -show_entries " + entry +
                             " -of default=nw=1:nk=1 '" + file.string() + "'");
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
}

Bytes Line(std::initializer_list<int> v)
{
    Bytes b;
    for (int x : v) b.push_back(static_cast<uint8_t>(x));
    return b;
}

}  // namespace

// --- Palette ------------------------------------------------------------------

TEST(MoviePalette, FlatMoviesManyClassesAndTheSortsTieOrder)
{
    // One flat colour: file bytes 0x17, 0x80, 0xFF (blue, green, red) are
    // class 2591, colour (248, 128, 16); every other entry black.
    std::vector<uint64_t> counts(kColourClasses, 0);
    CountColourClasses(MakePicture(4, 3, [](int, int) { return std::array<uint8_t, 3>{0xFF, 0x80, 0x17}; }), counts);
    EXPECT_EQ(counts[2591], 12u);
    MoviePalette flat = PaletteOfHistogram(counts);
    EXPECT_EQ(flat.colours[0], (std::array<uint8_t, 3>{248, 128, 16}));
    for (int i = 1; i < 256; ++i) EXPECT_EQ(flat.colours[i], (std::array<uint8_t, 3>{0, 0, 0}));

    // 300 classes: black, the 254 most frequent (most frequent first), white.
    counts.assign(kColourClasses, 0);
    for (int c = 0; c < 300; ++c) counts[c * 100] = 1000 + static_cast<uint64_t>(c);
    const MoviePalette many = PaletteOfHistogram(counts);
    EXPECT_EQ(many.colours[0], (std::array<uint8_t, 3>{0, 0, 0}));
    EXPECT_EQ(many.colours[255], (std::array<uint8_t, 3>{255, 255, 255}));
    const int top = 299 * 100;  // red class 12, green class 2, blue class 29
    EXPECT_EQ(many.colours[1], (std::array<uint8_t, 3>{static_cast<uint8_t>(top % 32 * 8), static_cast<uint8_t>(top / 32 % 32 * 8),
                                                       static_cast<uint8_t>(top / 1024 * 8)}));
    const int last = (299 - 253) * 100;
    EXPECT_EQ(many.colours[254][0], last % 32 * 8);

    // Equal counts keep the order the Shell sort's gaps leave: classes 1
    // and 2 (red 8 and red 16) behind the more frequent class 16385 come
    // out as 2 then 1; a stable sort would give 1 then 2.
    counts.assign(kColourClasses, 0);
    counts[1] = counts[2] = 1;
    counts[16385] = 5;
    const MoviePalette ties = PaletteOfHistogram(counts);
    EXPECT_EQ(ties.colours[0], (std::array<uint8_t, 3>{8, 0, 128}));
    EXPECT_EQ(ties.colours[1], (std::array<uint8_t, 3>{16, 0, 0}));
    EXPECT_EQ(ties.colours[2], (std::array<uint8_t, 3>{8, 0, 0}));
}

TEST(MoviePalette, NearestEntryIsTheSmallestSquaredDistanceLowestIndexFirst)
{
    MoviePalette p;
    p.colours[0] = {0, 0, 0};
    p.colours[3] = {100, 100, 100};
    p.colours[7] = {100, 100, 100};
    p.colours[9] = {110, 90, 100};
    PaletteIndexer indexer(p);
    EXPECT_EQ(indexer.Nearest(101, 99, 100), 3) << "a tie of 3 and 7 goes to the lower index";
    EXPECT_EQ(indexer.Nearest(107, 93, 100), 9);
    EXPECT_EQ(indexer.Nearest(20, 20, 20), 0) << "unset entries are black and take part";
    EXPECT_EQ(indexer.Nearest(101, 99, 100), 3) << "remembered answers are the same";
}

// --- FLI ------------------------------------------------------------------------

TEST(FliWriter, LinesOfTheFirstFrameAndOfTheDeltas)
{
    const int A = 5, B = 9, c = 42;
    Bytes out;
    AppendByteRunLine(Line({A, A, B}), out);
    EXPECT_EQ(out, Line({2, 1, A, 0xFE, A, B}));
    out.clear();
    AppendByteRunLine(Bytes(160, c), out);
    EXPECT_EQ(out, Line({2, 127, c, 33, c}));

    // An unchanged line: skip packets only; past 255 pixels a (255, 0) packet.
    out.clear();
    AppendLineDeltaLine(Bytes(160, c), Bytes(160, c), out);
    EXPECT_EQ(out, Line({1, 160, 0}));
    out.clear();
    AppendLineDeltaLine(Bytes(300, c), Bytes(300, c), out);
    EXPECT_EQ(out, Line({2, 255, 0, 45, 0}));

    // Skips, a run, a literal: 2 unchanged, then c, c, c, A, B changed; the
    // last pixel of the equal group opens the literal.
    out.clear();
    AppendLineDeltaLine(Line({1, 1, c, c, c, A, B}), Line({1, 1, 0, 0, 0, 0, 0}), out);
    EXPECT_EQ(out, Line({2, 2, 0xFE, c, 0, 3, c, A, B}));

    // 128 changed pixels, all different: the 127 cap holds for the last one.
    Bytes ramp(128), zero(128, 0);
    for (int i = 0; i < 128; ++i) ramp[i] = static_cast<uint8_t>(i + 1);
    out.clear();
    AppendLineDeltaLine(ramp, zero, out);
    ASSERT_EQ(out.size(), 1u + 2 + 127 + 2 + 1);
    EXPECT_EQ(out[0], 2);
    EXPECT_EQ(out[2], 127);
    EXPECT_EQ(out[130], 0);
    EXPECT_EQ(out[131], 1);
    EXPECT_EQ(out[132], 128);
}

TEST(FliWriter, LinesOfMoreThan255PacketsBecomeLiterals)
{
    // Pairs of equal, changed pixels need a packet for every pixel.
    Bytes pairs(320), before(320, 0);
    for (int x = 0; x < 320; ++x) pairs[x] = static_cast<uint8_t>(1 + x / 2 % 200);
    Bytes out;
    AppendByteRunLine(pairs, out);
    ASSERT_EQ(out.size(), 1u + 3 + 320);
    EXPECT_EQ(out[0], 3);
    EXPECT_EQ(out[1], 0x81);
    EXPECT_EQ(out[129], 0x81);
    EXPECT_EQ(out[257], 0xBE);
    out.clear();
    AppendLineDeltaLine(pairs, before, out);
    ASSERT_EQ(out.size(), 1u + 6 + 320);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 3), Line({3, 0, 127}));
    EXPECT_EQ(Bytes(out.begin() + 259, out.begin() + 261), Line({0, 66}));

    // A line that fits keeps its packets: 254 pixels of pairs.
    out.clear();
    AppendByteRunLine(std::span(pairs).first(254), out);
    EXPECT_GT(out[0], 127);
}

TEST(FliWriter, HeaderChunksAndSizes)
{
    TempDir dir;
    std::vector<Picture> pictures;
    for (int k = 0; k < 100; ++k) pictures.push_back(MakePicture(160, 120, [&](int x, int) {
        return std::array<uint8_t, 3>{static_cast<uint8_t>(x < 80 ? 200 : 10), 30, static_cast<uint8_t>(k < 50 ? 0 : 240)};
    }));
    const MovieFrames frames = WriteFrames(dir.path, pictures);
    RecordingHost host;
    const fs::path movie = dir.path / "flag.fli";
    ASSERT_EQ(WriteMovieFromFrames(ExportFormat::Fli, movie, frames, {}, host).error, "");
    const Bytes f = FileBytesOf(movie);

    EXPECT_EQ(U32At(f, 0), f.size());
    EXPECT_EQ(U16At(f, 4), 0xAF11);
    EXPECT_EQ(U16At(f, 6), 100);
    EXPECT_EQ(U16At(f, 8), 160);
    EXPECT_EQ(U16At(f, 10), 120);
    EXPECT_EQ(U16At(f, 12), 8);
    EXPECT_EQ(U16At(f, 14), 3);
    EXPECT_EQ(U16At(f, 16), 3);
    for (size_t i = 18; i < 128; ++i) {
        if (i < 84 || i >= 88) {
            EXPECT_EQ(f[i], 0) << "reserved byte " << i;
        }
    }
    // The first frame: colours (778 bytes), then byte runs.
    const uint32_t first = U32At(f, 128);
    EXPECT_EQ(U32At(f, 84), 128 + first) << "the offset of the second frame";
    EXPECT_EQ(U16At(f, 132), 0xF1FA);
    EXPECT_EQ(U16At(f, 134), 2);
    EXPECT_EQ(U32At(f, 144), 778u);
    EXPECT_EQ(U16At(f, 148), 4);
    EXPECT_EQ(U16At(f, 150), 1);
    EXPECT_EQ(U16At(f, 152), 0);
    EXPECT_EQ(U16At(f, 144 + 778 + 4), 15);
    EXPECT_EQ(144 + 778 + U32At(f, 144 + 778), 128 + first);
    // Frame 1 equals frame 0: one line-delta chunk, every line one skip packet.
    const size_t second = 128 + first;
    EXPECT_EQ(U16At(f, second + 6), 1);
    EXPECT_EQ(U16At(f, second + 20), 12);
    EXPECT_EQ(U16At(f, second + 22), 0);
    EXPECT_EQ(U16At(f, second + 24), 120);
    EXPECT_EQ(U32At(f, second), 16u + 6 + 4 + 120 * 3);
    EXPECT_EQ(Bytes(f.begin() + second + 26, f.begin() + second + 29), Line({1, 160, 0}));
    // Every frame is there, one after another up to the end of the file.
    size_t at = 128;
    int count = 0;
    while (at + 16 <= f.size()) at += U32At(f, at), ++count;
    EXPECT_EQ(at, f.size());
    EXPECT_EQ(count, 100);
}

TEST(FliWriter, FfmpegDecodesEveryFrameAsOurPaletteMapping)
{
    REQUIRE_FFMPEG();
    TempDir dir;
    struct Case {
        int w, h, frames;
        bool noise;
    };
    for (const Case c : {Case{61, 37, 6, false}, Case{320, 24, 3, true}}) {
        SCOPED_TRACE(c.w);
        std::vector<Picture> pictures;
        for (int k = 0; k < c.frames; ++k) {
            pictures.push_back(c.noise ? NoisyPairsFrame(c.w, c.h, k) : MovingFrame(c.w, c.h, k));
        }
        const fs::path folder = dir.path / std::to_string(c.w);
        fs::create_directories(folder);
        const MovieFrames frames = WriteFrames(folder, pictures);
        RecordingHost host;
        const Result<MoviePalette> palette = BuildMoviePalette(frames, "m.fli", host);
        ASSERT_TRUE(palette.ok());
        const fs::path movie = dir.path / ("m" + std::to_string(c.w) + ".fli");
        ASSERT_EQ(WriteFliMovie(movie, frames, *palette.value, host).error, "");

        if (c.noise) {
            // Changed pairs need more than 255 packets a line: the lines of
            // the second frame are literals only.
            const Bytes f = FileBytesOf(movie);
            const size_t line = 128 + U32At(f, 128) + 16 + 6 + 4;
            EXPECT_EQ(Bytes(f.begin() + line, f.begin() + line + 3), Line({3, 0, 127}));
        }
        EXPECT_EQ(Probe(movie, "stream=codec_name"), "flic");
        EXPECT_EQ(Probe(movie, "stream=r_frame_rate"), "70/3");
        EXPECT_EQ(Probe(movie, "stream=nb_read_frames"), std::to_string(c.frames));
        const auto decoded = FfmpegFrames(movie, c.w, c.h);
        ASSERT_EQ(decoded.size(), static_cast<size_t>(c.frames));
        for (int k = 0; k < c.frames; ++k) {
            EXPECT_EQ(DifferingBytes(decoded[k], Mapped(pictures[k], *palette.value)), 0u) << "frame " << k;
        }

        // Read back as a layer source, frame for frame.
        Layer layer = LayerWithPicture(movie.string());
        ASSERT_TRUE(LoadLayerPicture(layer, 1, MovieOpener::Application, nullptr));
        for (int k = 0; k < c.frames; ++k) {
            ASSERT_TRUE(ShowMovieFrame(layer, k));
            EXPECT_EQ(DifferingBytes(TopFirstRgb(layer), decoded[k]), 0u) << "frame " << k;
        }
        CloseMovieSources();
    }
}

// --- AVI ------------------------------------------------------------------------

TEST(AviWriter, ChunksSizesAndIndex)
{
    TempDir dir;
    std::vector<Picture> pictures;
    for (int k = 0; k < 100; ++k) pictures.push_back(MovingFrame(30, 20, k));
    const MovieFrames frames = WriteFrames(dir.path, pictures);
    for (const bool rle : {true, false}) {
        SCOPED_TRACE(rle);
        RecordingHost host;
        const fs::path movie = dir.path / (rle ? "rle.avi" : "full.avi");
        AviSettings settings;
        settings.rle = rle;
        ASSERT_EQ(WriteMovieFromFrames(ExportFormat::Avi, movie, frames, settings, host).error, "");
        const Bytes f = FileBytesOf(movie);

        EXPECT_EQ(TagAt(f, 0), "RIFF");
        EXPECT_EQ(U32At(f, 4), f.size() - 8);
        EXPECT_EQ(TagAt(f, 8), "AVI ");
        EXPECT_EQ(TagAt(f, 12), "LIST");
        EXPECT_EQ(TagAt(f, 20), "hdrl");
        EXPECT_EQ(TagAt(f, 24), "avih");
        EXPECT_EQ(U32At(f, 28), 56u);
        EXPECT_EQ(U32At(f, 32), 40000u);
        EXPECT_EQ(U32At(f, 32 + 16), 100u) << "frames written, not 100 x 0.04";
        EXPECT_EQ(U32At(f, 32 + 32), 30u);
        EXPECT_EQ(U32At(f, 32 + 36), 20u);
        EXPECT_EQ(TagAt(f, 88), "LIST");
        EXPECT_EQ(TagAt(f, 96), "strl");
        EXPECT_EQ(TagAt(f, 100), "strh");
        EXPECT_EQ(U32At(f, 104), 56u);
        EXPECT_EQ(TagAt(f, 108), "vids");
        EXPECT_EQ(U32At(f, 108 + 20), 1u) << "scale";
        EXPECT_EQ(U32At(f, 108 + 24), 25u) << "rate";
        EXPECT_EQ(U32At(f, 108 + 32), 100u) << "length";
        EXPECT_EQ(TagAt(f, 164), "strf");
        EXPECT_EQ(U32At(f, 168), 1064u);
        EXPECT_EQ(U32At(f, 172), 40u);
        EXPECT_EQ(U32At(f, 172 + 16), rle ? 1u : 0u);
        EXPECT_EQ(TagAt(f, 1236), "strn");
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(&f[1244])), "AVI File Dunmere 3D");
        const size_t movi = 1244 + 20;
        EXPECT_EQ(TagAt(f, movi), "LIST");
        EXPECT_EQ(TagAt(f, movi + 8), "movi");
        const size_t idx1 = movi + 8 + U32At(f, movi + 4);
        ASSERT_EQ(TagAt(f, idx1), "idx1");
        ASSERT_EQ(U32At(f, idx1 + 4), 1600u);
        EXPECT_EQ(idx1 + 8 + 1600, f.size());
        // Every index entry is a key frame pointing at its chunk, with the
        // chunk's own size; full frames are 32 x 20 bytes.
        for (int k = 0; k < 100; ++k) {
            const size_t e = idx1 + 8 + 16 * k;
            const size_t chunk = movi + 8 + U32At(f, e + 8);
            EXPECT_EQ(TagAt(f, e), rle ? "00dc" : "00db");
            EXPECT_EQ(U32At(f, e + 4), 0x10u);
            EXPECT_EQ(TagAt(f, chunk), TagAt(f, e));
            EXPECT_EQ(U32At(f, chunk + 4), U32At(f, e + 12));
            if (!rle) {
                EXPECT_EQ(U32At(f, e + 12), 640u);
            }
        }
        const std::vector<std::string> steps = {"Get Size", "initialisation OK"};
        EXPECT_NE(std::search(host.statuses.begin(), host.statuses.end(), steps.begin(), steps.end()), host.statuses.end());
        EXPECT_EQ(host.statuses.back(), "Fermeture OK");
    }
}

TEST(AviWriter, FfmpegDecodesEveryFrameAsOurPaletteMapping)
{
    REQUIRE_FFMPEG();
    TempDir dir;
    std::vector<Picture> pictures;
    for (int k = 0; k < 5; ++k) pictures.push_back(MovingFrame(61, 37, k, k % 2 == 1));
    const MovieFrames frames = WriteFrames(dir.path, pictures);
    RecordingHost host;
    const Result<MoviePalette> palette = BuildMoviePalette(frames, "m.avi", host);
    ASSERT_TRUE(palette.ok());
    for (const bool rle : {true, false}) {
        SCOPED_TRACE(rle);
        const fs::path movie = dir.path / (rle ? "rle.avi" : "full.avi");
        AviSettings settings;
        settings.rle = rle;
        ASSERT_EQ(WriteAviMovie(movie, frames, *palette.value, settings, host).error, "");
        EXPECT_EQ(Probe(movie, "stream=codec_name"), rle ? "msrle" : "rawvideo");
        if (!rle) {
            EXPECT_EQ(Probe(movie, "stream=pix_fmt"), "pal8");
        }
        EXPECT_EQ(Probe(movie, "stream=r_frame_rate"), "25/1");
        EXPECT_EQ(Probe(movie, "stream=nb_read_frames"), "5");
        EXPECT_EQ(Probe(movie, "stream_tags=title"), "AVI File Dunmere 3D");
        const auto decoded = FfmpegFrames(movie, 61, 37);
        ASSERT_EQ(decoded.size(), 5u);
        for (int k = 0; k < 5; ++k) EXPECT_EQ(DifferingBytes(decoded[k], Mapped(pictures[k], *palette.value)), 0u) << k;

        // Read back as a layer source, frame for frame.
        Layer layer = LayerWithPicture(movie.string());
        ASSERT_TRUE(LoadLayerPicture(layer, 1, MovieOpener::Application, nullptr));
        for (int k = 0; k < 5; ++k) {
            ASSERT_TRUE(ShowMovieFrame(layer, k));
            EXPECT_EQ(DifferingBytes(TopFirstRgb(layer), decoded[k]), 0u) << "frame " << k;
        }
        CloseMovieSources();
    }

    // A lower quality merges near colours into runs: a shorter file that
    // ffmpeg still decodes, each pixel within 32 of its own colour per
    // channel on average (squared distance at most 3 x 32 x 32).
    AviSettings lossy;
    lossy.quality = 50;
    const fs::path small = dir.path / "lossy.avi";
    ASSERT_EQ(WriteAviMovie(small, frames, *palette.value, lossy, host).error, "");
    EXPECT_LT(fs::file_size(small), fs::file_size(dir.path / "rle.avi"));
    const auto decoded = FfmpegFrames(small, 61, 37);
    ASSERT_EQ(decoded.size(), 5u);
    const std::vector<uint8_t> exact = Mapped(pictures[1], *palette.value);
    int worst = 0;
    for (size_t i = 0; i < exact.size(); i += 3) {
        int d = 0;
        for (int k = 0; k < 3; ++k) d += (decoded[1][i + k] - exact[i + k]) * (decoded[1][i + k] - exact[i + k]);
        worst = std::max(worst, d);
    }
    EXPECT_GT(worst, 0);
    EXPECT_LE(worst, 3 * 32 * 32);
}

// --- Sizes known beforehand -----------------------------------------------------

TEST(MovieWriters, TheSmallestSizesAreExactForFullFramesAndFlatMoviesAndNeverAboveOthers)
{
    TempDir dir;
    const auto flat = [](int, int) { return std::array<uint8_t, 3>{40, 90, 200}; };
    // Flat frames: rows of 300 pixels are runs of 255 and 45 in the AVI;
    // lines of 200 are one skip packet in an FLI delta.
    for (const int w : {300, 200}) {
        const std::vector<Picture> still(4, MakePicture(w, 20, flat));
        std::vector<Picture> moving;
        for (int k = 0; k < 4; ++k) moving.push_back(MovingFrame(w, 20, k, true));
        for (const bool flatMovie : {true, false}) {
            const fs::path folder = dir.path / (std::to_string(w) + (flatMovie ? "flat" : "moving"));
            fs::create_directories(folder);
            const MovieFrames frames = WriteFrames(folder, flatMovie ? still : moving);
            RecordingHost host;
            for (const bool rle : {false, true}) {
                AviSettings settings;
                settings.rle = rle;
                const fs::path avi = folder / (rle ? "rle.avi" : "full.avi");
                ASSERT_EQ(WriteMovieFromFrames(ExportFormat::Avi, avi, frames, settings, host).error, "");
                const uint64_t smallest = SmallestMovieSize(ExportFormat::Avi, frames, settings);
                if (!rle || (flatMovie && w == 300)) {
                    EXPECT_EQ(fs::file_size(avi), smallest) << avi;
                }
                EXPECT_GE(fs::file_size(avi), smallest) << avi;
            }
            const fs::path fli = folder / "m.fli";
            ASSERT_EQ(WriteMovieFromFrames(ExportFormat::Fli, fli, frames, {}, host).error, "");
            const uint64_t smallest = SmallestMovieSize(ExportFormat::Fli, frames, {});
            if (flatMovie && w == 200) {
                EXPECT_EQ(fs::file_size(fli), smallest);
            }
            EXPECT_GE(fs::file_size(fli), smallest);
        }
    }
}

// --- Failures -------------------------------------------------------------------

TEST(MovieWriters, MissingOddOrNoFramesStopWithAMessageAndLeaveNoFile)
{
    TempDir dir;
    std::vector<Picture> pictures = {MovingFrame(16, 8, 0), MovingFrame(16, 8, 1), MovingFrame(16, 8, 2)};
    for (const ExportFormat format : {ExportFormat::Fli, ExportFormat::Avi}) {
        const fs::path movie = dir.path / (format == ExportFormat::Fli ? "m.fli" : "m.avi");
        SCOPED_TRACE(movie.string());
        RecordingHost host;

        MovieFrames none{dir.path, 0, 16, 8};
        EXPECT_EQ(WriteMovieFromFrames(format, movie, none, {}, host).error,
                  "Unable to save \"" + movie.string() + "\".\nThe animation is shorter than one frame (0.04 s).");
        EXPECT_FALSE(fs::exists(movie));

        MovieFrames frames = WriteFrames(dir.path, pictures);
        fs::remove(frames.Frame(2));
        EXPECT_NE(WriteMovieFromFrames(format, movie, frames, {}, host).error.find("\"mpeg0002.tga\""), std::string::npos);
        EXPECT_FALSE(fs::exists(movie));

        frames = WriteFrames(dir.path, {pictures[0], pictures[1], MovingFrame(16, 9, 2)});
        EXPECT_EQ(WriteMovieFromFrames(format, movie, frames, {}, host).error,
                  "Unable to save \"" + movie.string() + "\".\nIts frame \"mpeg0002.tga\" is not a picture of 16 x 8 pixels.");
        EXPECT_FALSE(fs::exists(movie));

        // A frame written by someone else in the working folder is never read.
        frames = WriteFrames(dir.path / "elsewhere", {});
        frames.count = 1, frames.width = 16, frames.height = 8;
        EXPECT_NE(WriteMovieFromFrames(format, movie, frames, {}, host).error, "");
        EXPECT_FALSE(fs::exists(movie));
    }
    const MovieFrames wide{dir.path, 1, kMaxFliWidth + 1, 1};
    RecordingHost host;
    EXPECT_EQ(WriteFliMovie(dir.path / "wide.fli", wide, MoviePalette{}, host).error,
              "Unable to save \"" + (dir.path / "wide.fli").string() + "\".\nAn FLI movie is at most 32385 pixels wide.");
}
