// Save As without the editor's windows: the format chosen by the name, the
// byte layouts of the parameter file, the bitmap dump and the still TGA,
// and movies rendered frame by frame into a private folder and encoded, as
// the independent tools see them.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <tuple>

#include "MediaTestSupport.h"
#include "codec/EncoderParams.h"
#include "engine/Animation.h"
#include "engine/SafeFile.h"
#include "engine/TestTextures.h"
#include "engine/TextureFile.h"
#include "media/Export.h"
#include "media/ExportFiles.h"
#include "media/LayerPicture.h"
#include "media/TgaWriter.h"
#include "support/FileSizeLimit.h"
#include "support/SampleTextures.h"

using namespace morvane;
using namespace morvane::test;
namespace fs = std::filesystem;

namespace {

// Scripted answers, and a record of what the export said while it ran.
class RecordingHost : public ExportHost {
public:
    std::optional<int> videoFormat = kVideoNtsc;
    AviSettings avi;
    std::vector<int> asked;              // preselected video formats
    std::vector<std::string> frames;     // status texts (frame file names) in order
    std::vector<float> times;            // frame times in seconds
    std::optional<float> finished;       // the duration shown at the end
    int lastProgress = -1;

    std::optional<int> AskVideoFormat(int preselected) override
    {
        asked.push_back(preselected);
        return videoFormat;
    }
    std::optional<AviSettings> ChooseCompressor() override { return avi; }
    void ShowStatus(const std::string& text) override { frames.push_back(text); }
    void FrameProgress(int permille) override { lastProgress = permille; }
    void FrameFinished(float seconds) override { times.push_back(seconds); }
    void FramesFinished(float duration) override { finished = duration; }
};

// A private temporary folder for the frame folders of the export, so a
// test sees every file an export leaves behind.
class ExportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_oldTmp = std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "";
        fs::create_directories(m_tmp.path / "tmp");
        setenv("TMPDIR", (m_tmp / "tmp").c_str(), 1);
    }
    void TearDown() override
    {
        if (m_oldTmp.empty()) unsetenv("TMPDIR");
        else setenv("TMPDIR", m_oldTmp.c_str(), 1);
    }

    ExportResult Export(Texture& t, const std::string& name, int currentLayer = 1)
    {
        ExportRequest r;
        r.path = m_out / name;
        r.currentLayer = currentLayer;
        return ExportTexture(t, r, m_host);
    }
    // The files in the output folder and in the temporary folder.
    std::vector<std::string> Files() const
    {
        std::vector<std::string> names;
        for (const fs::path& dir : {m_out.path, m_tmp.path / "tmp"})
            for (const auto& e : fs::recursive_directory_iterator(dir)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    TempDir m_tmp, m_out;
    std::string m_oldTmp;
    RecordingHost m_host;
};

// The rows of our own run-length TGA (bottom row first), blue, green, red.
std::vector<uint8_t> DecodeOurTga(const std::vector<uint8_t>& file, int w, int h)
{
    std::vector<uint8_t> out;
    size_t at = kTgaHeaderSize;
    while (out.size() < size_t(w) * h * 3 && at + 4 <= file.size()) {
        const int n = (file[at] & 0x7F) + 1;
        EXPECT_GE(file[at], 0x80) << "raw packets are never written";
        for (int k = 0; k < n; ++k) out.insert(out.end(), file.begin() + at + 1, file.begin() + at + 4);
        at += 4;
    }
    EXPECT_EQ(at, file.size());
    return out;
}

// Top-down red, green, blue rows as bottom-up blue, green, red rows.
std::vector<uint8_t> BottomUpBgr(const std::vector<uint8_t>& rgb, int w, int h)
{
    std::vector<uint8_t> out;
    for (int r = h - 1; r >= 0; --r)
        for (int x = 0; x < w; ++x) {
            const uint8_t* p = &rgb[(size_t(r) * w + x) * 3];
            out.insert(out.end(), {p[2], p[1], p[0]});
        }
    return out;
}

// ffprobe's codec, size, rate and decoded frame count of the first stream.
std::string ProbeFrames(const std::string& movie)
{
    std::string line = Output("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                  "stream=codec_name,width,height,r_frame_rate,nb_read_frames -of csv=p=0 " + movie);
    line = line.substr(0, line.find('\n'));
    while (!line.empty() && line.back() == ',') line.pop_back();
    return line;
}

// Frame `index` of a movie as ffmpeg decodes it: red, green, blue rows, top first.
std::vector<uint8_t> DecodedFrame(const std::string& movie, int index, const std::string& work)
{
    const std::string out = work + "/frame.ppm";
    fs::remove(out);
    Shell("ffmpeg -v error -y -i " + movie + " -vf 'select=eq(n\\," + std::to_string(index) +
          ")' -frames:v 1 -pix_fmt rgb24 " + out);
    const Ppm p = ParsePpm(ReadBytes(out));
    return p.rgb;
}

// A texture of one "Image" layer showing the movie `source` that ffmpeg
// makes of `frames` frames of the 48 x 32 source `graph`, written with the
// output arguments `args`; opened as `opener` opens it.
Texture MovieTexture(const std::string& source, const std::string& graph, int frames, const std::string& args,
                     MovieOpener opener)
{
    EXPECT_EQ(Shell("ffmpeg -v error -y -f lavfi -i '" + graph + "' -frames:v " + std::to_string(frames) + " " + args +
                    " " + source),
              0);
    Texture t = MakeTexture({Slot(PictureLayer(48, 32, {}))});
    Layer& layer = t.layers[0].layer;
    layer.SetPicturePath(source);
    std::string said;
    EXPECT_TRUE(LoadLayerPicture(layer, 1, opener, [&](const std::string& s) { said = s; })) << said;
    return t;
}

}  // namespace

TEST(ExportFiles, ChosenNamesSelectTheirFormatWithoutRegardToCase)
{
    EXPECT_EQ(ExportFormatOf("/a/b.ZYV"), ExportFormat::Texture);
    EXPECT_EQ(ExportFormatOf("b.Kvo"), ExportFormat::Layer);
    EXPECT_EQ(ExportFormatOf("b.tpr"), ExportFormat::Tpr);
    EXPECT_EQ(ExportFormatOf("b.x.tga"), ExportFormat::Tga);
    EXPECT_EQ(ExportFormatOf("b.bmp"), ExportFormat::Bmp);
    EXPECT_EQ(ExportFormatOf("b.JPG"), ExportFormat::Jpeg);
    EXPECT_EQ(ExportFormatOf("b.mpg"), ExportFormat::Mpeg1);
    EXPECT_EQ(ExportFormatOf("b.m2v"), ExportFormat::Mpeg2);
    EXPECT_EQ(ExportFormatOf("b.avi"), ExportFormat::Avi);
    EXPECT_EQ(ExportFormatOf("b.fli"), ExportFormat::Fli);
    EXPECT_EQ(ExportFormatOf("b.jpeg"), ExportFormat::None);
    EXPECT_EQ(ExportFormatOf("/dir.tga/b"), ExportFormat::None);

    EXPECT_EQ(PpmHeader(160, 120), "P6\n160 120\n255\n");
    EXPECT_EQ(FrameFileName(0, ".ppm"), "mpeg0000.ppm");
    EXPECT_EQ(FrameFileName(99, ".tga"), "mpeg0099.tga");
    EXPECT_EQ(FrameFileName(12345, ".ppm"), "mpeg12345.ppm");
}

TEST(ExportFiles, MovieFrameCountsFollowTheDurationAndTheRate)
{
    Texture t = AnimatedThreeLayers(8, 8, 4.0f);
    auto count = [&](float duration, int format) {
        t.layers[0].layer.rec.duration = duration;
        return MovieFrameCount(t, format);
    };
    EXPECT_EQ(count(4.0f, kVideoMpeg1), 100);
    EXPECT_EQ(count(4.0f, kVideoPal), 100);
    EXPECT_EQ(count(4.0f, kVideoSecam), 100);
    EXPECT_EQ(count(4.0f, kVideoNtsc), 120);
    EXPECT_EQ(count(0.5f, kVideoMpeg1), 12);
    EXPECT_EQ(count(0.5f, kVideoNtsc), 15);
    EXPECT_EQ(count(0.04f, kVideoMpeg1), 1);
    EXPECT_EQ(count(0.039f, kVideoMpeg1), 0);
    EXPECT_EQ(count(0.0f, kVideoNtsc), 0);
    EXPECT_EQ(count(-1.0f, kVideoMpeg1), 0);
}

TEST_F(ExportTest, TheParameterFileHoldsTheCurrentLayersRecordAndGradient)
{
    Texture t = SampleTexture(2, 0, 0);
    const Layer& layer = t.layers[1].layer;
    ASSERT_TRUE(Export(t, "p.tpr", 2).written());
    const std::vector<uint8_t> f = ReadBytes(m_out / "p.tpr");
    ASSERT_EQ(f.size(), 1031u);
    const std::vector<uint8_t> rec = BytesOf(layer.rec);
    EXPECT_EQ(f[0], rec[0]);
    // Byte 1 is reserved2's first byte, not the relief; the gradient's
    // pointer slot (file bytes 41..44) holds what the layer file holds.
    EXPECT_TRUE(std::equal(f.begin() + 1, f.begin() + 41, rec.begin() + 2));
    EXPECT_TRUE(std::equal(f.begin() + 45, f.begin() + 63, rec.begin() + 46));
    FileRef pointer = 0;
    std::memcpy(&pointer, &f[41], 4);
    EXPECT_EQ(pointer, kStoredBlockRef);
    int16_t count = 0;
    std::memcpy(&count, &f[63], 2);
    EXPECT_EQ(count, 24);
    const auto* entries = reinterpret_cast<const uint8_t*>(layer.gradient->entries.data());
    EXPECT_TRUE(std::equal(f.begin() + 71, f.end(), entries));
}

TEST_F(ExportTest, TheBitmapDumpIsItsHeadAndEvenRowsBottomUp)
{
    Texture t = PreparedThreeLayers(5, 3);
    ASSERT_TRUE(Export(t, "d.bmp").written());
    const std::vector<uint8_t> f = ReadBytes(m_out / "d.bmp");
    ASSERT_EQ(f.size(), 10u + 1064 + 16 * 3);
    const std::vector<uint8_t> head{0, 0, 5, 0, 3, 0, 16, 0, 1, 24, 40, 0, 0, 0, 5, 0, 0, 0, 3, 0, 0, 0, 1, 0, 24, 0};
    EXPECT_TRUE(std::equal(head.begin(), head.end(), f.begin()));
    EXPECT_TRUE(std::all_of(f.begin() + 26, f.begin() + 1074, [](uint8_t b) { return b == 0; }));
    const std::vector<uint8_t> bgr = BottomUpBgr(ViewPixels(t, 5, 3), 5, 3);
    for (int r = 0; r < 3; ++r) {
        const auto row = f.begin() + 1074 + 16 * r;
        EXPECT_TRUE(std::equal(row, row + 15, bgr.begin() + 15 * r)) << "row " << r;
        EXPECT_EQ(row[15], 0);
    }
}

TEST_F(ExportTest, AStillTgaIsTheViewsPictureStoredBottomRowFirst)
{
    Texture t = PreparedThreeLayers(37, 21);
    ASSERT_TRUE(Export(t, "s.tga").written());
    const std::vector<uint8_t> f = ReadBytes(m_out / "s.tga");
    const auto header = TgaHeader(37, 21);
    ASSERT_TRUE(std::equal(header.begin(), header.end(), f.begin()));
    EXPECT_EQ(DecodeOurTga(f, 37, 21), BottomUpBgr(ViewPixels(t, 37, 21), 37, 21));
    EXPECT_EQ(Files(), std::vector<std::string>{"s.tga"});
}

TEST_F(ExportTest, TheLargestStillNeedsMemoryForABandOfRowsOnly)
{
    // 8190 x 5672 of one colour: a whole picture would take 186 MB.
    Texture t = MakeTexture({Slot(SolidLayer(10, 200, 30))});
    t.layers[0].layer.rec.width = 8190;
    t.layers[0].layer.rec.height = 5672;
    struct rusage before {};
    ::getrusage(RUSAGE_SELF, &before);
    ASSERT_TRUE(Export(t, "big.tga").written());
    struct rusage after {};
    ::getrusage(RUSAGE_SELF, &after);
    // (A band of rows takes 8 MB; the sanitizers' own bookkeeping adds
    // some tens of megabytes.)
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 120 * 1024) << "kilobytes";
    // Every row: 63 runs of 128, one of 125, the last pixel alone.
    EXPECT_EQ(fs::file_size(m_out / "big.tga"), 18u + 5672u * 65 * 4);
}

TEST_F(ExportTest, AnMpeg1MovieHasOneFramePerTwentyFifthAndRestoresTheLayer)
{
    REQUIRE_FFMPEG();
    Texture t = AnimatedThreeLayers(64, 48, 0.4f);
    const Layer before = t.layers[0].layer;
    ASSERT_TRUE(Export(t, "m.mpg").written());
    EXPECT_TRUE(m_host.asked.empty());

    // Every frame was named and timed; the layer is back as it was.
    ASSERT_EQ(m_host.frames.size(), 10u);
    EXPECT_EQ(m_host.frames[0], "mpeg0000.ppm");
    EXPECT_EQ(m_host.frames[9], "mpeg0009.ppm");
    EXPECT_FLOAT_EQ(m_host.times[9], 0.36f);
    EXPECT_EQ(m_host.lastProgress, 979);
    EXPECT_EQ(m_host.finished, 0.4f);
    EXPECT_EQ(BytesOf(t.layers[0].layer.rec), BytesOf(before.rec));
    EXPECT_EQ(BytesOf(*t.layers[0].layer.gradient), BytesOf(*before.gradient));
    // No frame file and no frame folder is left.
    EXPECT_EQ(Files(), std::vector<std::string>{"m.mpg"});

    const std::string movie = m_out / "m.mpg";
    EXPECT_EQ(ProbeFrames(movie), "mpeg1video,64,48,25/1,10");
    EXPECT_EQ(Output("ffmpeg -v error -xerror -i " + movie + " -f null - 2>&1"), "");

    // The first and the last frame are upright: the texture at their times.
    for (const auto& [index, seconds] : {std::pair{0, 0.0f}, std::pair{9, 0.36f}}) {
        Texture at = t;
        SetAnimationTime(at, seconds);
        PrepareForRender(at);
        const std::vector<uint8_t> expected = ViewPixels(at, 64, 48);
        const std::vector<uint8_t> decoded = DecodedFrame(movie, index, m_tmp.str());
        EXPECT_GT(Psnr(decoded, expected), 26.0) << "frame " << index;
        // Upside down it would be far worse.
        EXPECT_LT(Psnr(BottomUpBgr(decoded, 64, 48), BottomUpBgr(expected, 64, 48)) + 0.0,
                  Psnr(decoded, expected) + 1.0);
    }
}

TEST_F(ExportTest, Mpeg2MoviesAskTheVideoFormatAndCountNtscInThirtieths)
{
    REQUIRE_FFMPEG();
    Texture t = AnimatedThreeLayers(64, 48, 0.4f);
    ASSERT_TRUE(Export(t, "n.m2v").written());
    EXPECT_EQ(m_host.asked, std::vector<int>{kVideoNtsc});
    EXPECT_EQ(m_host.frames.size(), 12u);
    EXPECT_FLOAT_EQ(m_host.times[11], 11.0f / 30.0f);
    EXPECT_EQ(ProbeFrames(m_out / "n.m2v"), "mpeg2video,64,48,30/1,12");
    EXPECT_EQ(Output("ffmpeg -v error -xerror -i " + (m_out / "n.m2v") + " -f null - 2>&1"), "");

    m_host.frames.clear();
    m_host.videoFormat = kVideoPal;
    ASSERT_TRUE(Export(t, "p.m2v").written());
    EXPECT_EQ(m_host.frames.size(), 10u);
    EXPECT_EQ(ProbeFrames(m_out / "p.m2v"), "mpeg2video,64,48,25/1,10");

    // Cancel writes nothing.
    m_host.videoFormat.reset();
    m_host.frames.clear();
    EXPECT_EQ(Export(t, "c.m2v").outcome, ExportResult::Cancelled);
    EXPECT_TRUE(m_host.frames.empty());
    EXPECT_EQ(Files(), (std::vector<std::string>{"n.m2v", "p.m2v"}));
}

TEST_F(ExportTest, AMovieLayerShowsTheMoviesFrameInEachFrame)
{
    REQUIRE_FFMPEG();
    // 10 frames of one colour whose hue turns 36 degrees a frame, as the
    // picture of the first layer.
    const std::string source = m_tmp / "source.mpg";
    Texture t = MovieTexture(source, "color=c=red:size=48x32:rate=25,format=yuv420p,hue=h=36*n", 10, "-q:v 2",
                             MovieOpener::Application);
    const Layer& layer = t.layers[0].layer;
    ASSERT_FLOAT_EQ(layer.rec.duration, 0.4f);
    const std::vector<uint8_t> firstPicture = layer.Pixels();

    ASSERT_TRUE(Export(t, "m.mpg").written());
    EXPECT_EQ(m_host.frames.size(), 10u);
    // The layer shows the movie's first frame again.
    EXPECT_EQ(t.layers[0].layer.Pixels(), firstPicture);

    // Frame 7 of the export is the texture at 0.28 s: the movie's frame 7.
    Texture at = t;
    SetAnimationTime(at, 0.28f);
    EXPECT_NE(at.layers[0].layer.Pixels(), firstPicture);
    PrepareForRender(at);
    const std::vector<uint8_t> decoded = DecodedFrame(m_out / "m.mpg", 7, m_tmp.str());
    EXPECT_GT(Psnr(decoded, ViewPixels(at, 48, 32)), 35.0);
    EXPECT_LT(Psnr(decoded, ViewPixels(t, 48, 32)), 15.0);
}

// NTSC counts 30 frames a second and a movie picture 25: output frame k
// shows the movie's frame of its time, trunc(k x 25 / 30).
TEST_F(ExportTest, AnNtscMovieShowsEachMovieFrameAtItsTime)
{
    REQUIRE_FFMPEG();
    // 25 frames of one colour each: red rises and green falls 9 levels a frame.
    const std::string source = m_tmp / "source.avi";
    Texture t = MovieTexture(source, "color=c=black:size=48x32:rate=25,format=rgb24,geq=r=9*N:g=255-9*N:b=128", 25,
                             "-c:v rawvideo -pix_fmt bgr24", MovieOpener::CommandPanel);
    ASSERT_FLOAT_EQ(t.layers[0].layer.rec.duration, 1.0f);
    std::vector<std::vector<uint8_t>> movieFrames;
    for (int j = 0; j < 25; ++j) {
        Texture at = t;
        SetAnimationTime(at, (static_cast<float>(j) + 0.5f) * 0.04f);
        PrepareForRender(at);
        movieFrames.push_back(ViewPixels(at, 48, 32));
    }

    ASSERT_TRUE(Export(t, "n.m2v").written());
    ASSERT_EQ(m_host.frames.size(), 30u);
    for (int k : {6, 13, 25, 29}) {
        const std::vector<uint8_t> decoded = DecodedFrame(m_out / "n.m2v", k, m_tmp.str());
        int closest = 0;
        for (int j = 1; j < 25; ++j)
            if (Psnr(decoded, movieFrames[size_t(j)]) > Psnr(decoded, movieFrames[size_t(closest)])) closest = j;
        EXPECT_EQ(closest, k * 25 / 30) << "output frame " << k;
    }
}

TEST_F(ExportTest, ALayerThatIsNotAnimatedGivesFramesOfTheLayerAsItStands)
{
    Texture t = AnimatedThreeLayers(32, 16, 0.12f);
    const LayerRecord before = t.layers[0].layer.rec;
    t.layers[0].layer.rec.animated = 0;
    ASSERT_TRUE(Export(t, "still.mpg").written());
    EXPECT_EQ(m_host.frames.size(), 3u);

    // Animated with one key only: nothing to go between either.
    t.layers[0].layer.rec.animated = 1;
    t.layers[0].layer.rec.keyCount = 1;
    t.layers[0].layer.keys.resize(1);
    m_host.frames.clear();
    ASSERT_TRUE(Export(t, "one.mpg").written());
    EXPECT_EQ(m_host.frames.size(), 3u);
    EXPECT_EQ(t.layers[0].layer.rec.scaleX, before.scaleX);

    // A duration under one frame: refused, and nothing is written.
    t.layers[0].layer.rec.duration = 0.0f;
    m_host.frames.clear();
    EXPECT_EQ(Export(t, "empty.mpg").error,
              "Unable to save \"" + (m_out / "empty.mpg") + "\".\nThe animation is shorter than one frame (0.04 s).");
    EXPECT_TRUE(m_host.frames.empty());
    EXPECT_EQ(Files(), (std::vector<std::string>{"one.mpg", "still.mpg"}));
}

TEST_F(ExportTest, FailuresSayWhyAndLeaveNothing)
{
    Texture t = AnimatedThreeLayers(32, 16, 0.2f);

    // A folder that does not exist, for every kind of writer.
    for (const char* name :
         {"no/t.zyv", "no/t.kvo", "no/t.tpr", "no/t.tga", "no/t.bmp", "no/t.jpg", "no/t.mpg", "no/t.avi", "no/t.fli"}) {
        testing::internal::CaptureStderr();
        const ExportResult r = Export(t, name);
        testing::internal::GetCapturedStderr();
        EXPECT_EQ(r.outcome, ExportResult::Failed) << name;
        EXPECT_NE(r.error.find(m_out / name), std::string::npos) << r.error;
        EXPECT_NE(r.error.find("No such file or directory"), std::string::npos) << name << ": " << r.error;
    }

    // A size the encoder refuses stops the export before any frame; its
    // message is said once, by whoever shows the result.
    t.layers[0].layer.rec.width = 33;
    testing::internal::CaptureStderr();
    const ExportResult odd = Export(t, "odd.mpg");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(odd.error, "Unable to save \"" + (m_out / "odd.mpg") + "\".\nhorizontal_size must be a even (4:2:0)");
    EXPECT_TRUE(m_host.frames.empty());

    // Another extension does nothing.
    EXPECT_EQ(Export(t, "a.png").outcome, ExportResult::Ignored);
    EXPECT_EQ(Files(), std::vector<std::string>{});
}

// --- Refused before the first frame --------------------------------------------

TEST_F(ExportTest, WhatWouldRefuseAMovieLaterRefusesItBeforeTheFirstFrame)
{
    struct Case {
        const char* name;
        int width, height;
        float duration;
        bool rle;
        std::string message;
    };
    const Case cases[] = {
        {"wide.mpg", 65535, 16, 1.0f, true, "The image is 65535 x 16 pixels; at most 65500 x 65500 are saved."},
        {"long.mpg", 64, 48, 1e30f, true, "The animation lasts 1e+30 s; a movie lasts at most 1000 s."},
        {"long.avi", 64, 48, 1000.5f, true, "The animation lasts 1000.5 s; a movie lasts at most 1000 s."},
        {"full.avi", 640, 480, 1000.0f, false, "The AVI movie would be larger than 1 GB."},
        {"rle.avi", 3000, 3000, 1000.0f, true, "The AVI movie would be larger than 1 GB."},
        {"huge.avi", 20000, 20000, 1.0f, true,
         "An AVI movie has frames of at most 32767 pixels on a side and 67108864 pixels in all; these would be "
         "20000 x 20000."},
        {"wide.fli", 32386, 2, 1.0f, true, "An FLI movie is at most 32385 pixels wide."},
        {"tall.fli", 16, 30000, 1000.0f, true, "The FLI movie would be larger than 2 GB."},
    };
    for (const Case& c : cases) {
        Texture t = AnimatedThreeLayers(8, 8, c.duration);
        t.layers[0].layer.rec.width = static_cast<int16_t>(static_cast<uint16_t>(c.width));
        t.layers[0].layer.rec.height = static_cast<int16_t>(static_cast<uint16_t>(c.height));
        m_host.avi.rle = c.rle;
        EXPECT_EQ(Export(t, c.name).error, "Unable to save \"" + (m_out / c.name) + "\".\n" + c.message);
    }

    // Frames that the temporary folder cannot hold all at once: 25000
    // PPM frames of 4094 x 2800, 25000 TGA frames of 32000 x 2000 (at most
    // 4 bytes a pixel).
    const std::string tmp = (m_tmp.path / "tmp").string();
    for (const auto& [name, width, height, need, bytes] :
         {std::tuple{"big.mpg", 4094, 2800, "800.7 GB", 859740425000.0},
          std::tuple{"big.fli", 32000, 2000, "5960.5 GB", 6400000450000.0}}) {
        if (double(fs::space(tmp).available) >= bytes) continue;  // a disk that large
        Texture t = AnimatedThreeLayers(8, 8, 1000.0f);
        t.layers[0].layer.rec.width = static_cast<int16_t>(width);
        t.layers[0].layer.rec.height = static_cast<int16_t>(height);
        const std::string error = Export(t, name).error;
        const std::string head = "Unable to save \"" + (m_out / name) + "\".\nThe movie needs " + need + " for its frames; ";
        const std::string tail = " GB are free in " + tmp + ".";
        EXPECT_EQ(error.substr(0, head.size()), head) << error;
        ASSERT_GT(error.size(), tail.size());
        EXPECT_EQ(error.substr(error.size() - tail.size()), tail) << error;
    }

    // Not one frame was rendered; nothing is left anywhere.
    EXPECT_TRUE(m_host.frames.empty());
    EXPECT_TRUE(m_host.times.empty());
    EXPECT_EQ(Files(), std::vector<std::string>{});
}

TEST_F(ExportTest, AnAviOrFliIntoAPipeADeviceOrASocketIsRefusedBeforeTheFirstFrame)
{
    // The writers go back to the file's start at the end, which a pipe, a
    // device or a socket cannot do.  A reader waits at the other end of
    // each pipe and socket, so that a writer would neither wait nor go
    // unseen.  The socket stands for a standard output that is one, named
    // through a link to the descriptor.
    Texture t = AnimatedThreeLayers(32, 16, 0.4f);
    fs::create_symlink("/dev/null", m_out / "null.fli");
    int sockets[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets), 0);
    ASSERT_EQ(::fcntl(sockets[1], F_SETFL, O_NONBLOCK), 0);
    fs::create_symlink("/proc/self/fd/" + std::to_string(sockets[0]), m_out / "socket.avi");
    const std::pair<std::string, std::string> cases[] = {
        {"pipe.avi", "a named pipe"}, {"pipe.fli", "a named pipe"}, {"null.fli", "a device"}, {"socket.avi", "a socket"}};
    for (const auto& [name, what] : cases) {
        SCOPED_TRACE(name);
        int reader = -1;
        if (what == "a named pipe") {
            ASSERT_EQ(::mkfifo((m_out / name).c_str(), 0600), 0);
            reader = ::open((m_out / name).c_str(), O_RDONLY | O_NONBLOCK);
            ASSERT_GE(reader, 0);
        } else if (what == "a socket") {
            reader = sockets[1];
        }
        const std::string movie = name.ends_with(".avi") ? "an AVI" : "an FLI";
        EXPECT_EQ(Export(t, name).error, "Unable to save \"" + (m_out / name) + "\".\nIt is " + what + "; " + movie +
                                             " movie can only be saved as a file.");
        if (reader >= 0) {
            char byte;
            EXPECT_LE(::read(reader, &byte, 1), 0) << "bytes went into the " << what;
        }
        if (what == "a named pipe") ::close(reader);
    }
    ::close(sockets[0]);
    ::close(sockets[1]);
    EXPECT_TRUE(m_host.frames.empty());
    EXPECT_TRUE(m_host.times.empty());
}

TEST_F(ExportTest, AMovieShorterThanOneFrameIsRefusedAndNothingIsWritten)
{
    m_host.videoFormat = kVideoPal;
    for (const float duration : {0.0f, NAN, -1.0f, 1e-30f, 0.039f}) {
        for (const char* name : {"s.mpg", "s.m2v", "s.avi", "s.fli"}) {
            Texture t = AnimatedThreeLayers(16, 16, 1.0f);
            t.layers[0].layer.rec.duration = duration;
            EXPECT_EQ(Export(t, name).error,
                      "Unable to save \"" + (m_out / name) + "\".\nThe animation is shorter than one frame (0.04 s).")
                << name << ", " << duration << " s";
        }
    }
    EXPECT_TRUE(m_host.frames.empty());
    EXPECT_EQ(Files(), std::vector<std::string>{});
}

TEST_F(ExportTest, AFullDiskIsSaidOnceInTheResult)
{
    Texture t = AnimatedThreeLayers(64, 48, 0.4f);
    ExportResult r;
    testing::internal::CaptureStderr();
    {
        // Room for every frame (9231 bytes each), not for the movie.
        FileSizeLimit limit(9231);
        ASSERT_TRUE(limit.ok());
        r = Export(t, "full.mpg");
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(r.error, "Unable to save \"" + (m_out / "full.mpg") + "\".\nCouldn't write output file " + (m_out / "full.mpg"));
    EXPECT_EQ(Files(), std::vector<std::string>{});
}

TEST_F(ExportTest, TheLongestFileNameSavesInEveryFormat)
{
    // 255 bytes, the most a folder takes: nothing the export or the writer
    // makes beside the file takes a name longer than it.
    std::vector<std::string> names;
    for (const char* extension : {"zyv", "kvo", "tpr", "tga", "bmp", "jpg", "mpg", "m2v", "avi", "fli"}) {
        const std::string name = std::string(251, 'n') + "." + extension;
        Texture t = AnimatedThreeLayers(16, 16, 0.08f);
        const ExportResult r = Export(t, name);
        EXPECT_TRUE(r.written()) << extension << ": " << r.error;
        names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(Files(), names);
}

TEST_F(ExportTest, AnExportRemovesOnlyTheFrameFoldersOfProcessesThatNoLongerRun)
{
    const fs::path tmp = m_tmp.path / "tmp";
    const pid_t gone = fork();
    if (gone == 0) _exit(0);
    ASSERT_GT(gone, 0);
    ::waitpid(gone, nullptr, 0);
    auto folder = [&](const std::string& name) {
        fs::create_directories(tmp / name);
        WriteBytes((tmp / name / "mpeg0000.ppm").string(), "P6");
        return name;
    };
    const std::string dead = LeftoverStem("morvane-frames-", gone);
    std::string otherTag = dead;  // another boot, host or PID namespace
    otherTag[15] = otherTag[15] == '0' ? '1' : '0';
    folder(dead + "Ab3dE9");
    folder(dead + "Zz9zZ9/deeper");  // holds a folder: it stays whole
    std::vector<std::string> kept = {
        dead + "Zz9zZ9",
        folder(LeftoverStem("morvane-frames-", getppid()) + "Ab3dE9"),  // still runs
        folder(dead + "Ab3dE9x"),                                       // not one of ours
        folder(otherTag + "Ab3dE9"),
        folder("morvane-frames-" + std::to_string(gone) + "-Ab3dE9"),  // an older version's
        folder("morvane-frames-Ab3dE9"),
        folder("photos-" + std::to_string(gone) + "-Ab3dE9"),
        "elsewhere",
        dead + "Ln9kLn",
    };
    folder("elsewhere");
    fs::create_directory_symlink(tmp / "elsewhere", tmp / (dead + "Ln9kLn"));
    if (::geteuid() == 0) {
        kept.push_back(folder(dead + "Ot9hEr"));
        ASSERT_EQ(::chown((tmp / (dead + "Ot9hEr")).c_str(), 65534, 65534), 0);  // another user's
    }

    Texture t = AnimatedThreeLayers(16, 16, 0.08f);
    ASSERT_TRUE(Export(t, "m.mpg").written());
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(tmp)) left.push_back(e.path().filename().string());
    std::sort(left.begin(), left.end());
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(left, kept);
    EXPECT_TRUE(fs::exists(tmp / "elsewhere" / "mpeg0000.ppm"));
    EXPECT_TRUE(fs::exists(tmp / (dead + "Zz9zZ9") / "deeper" / "mpeg0000.ppm"));
}
