// tools/texturetool: the render is the view's picture, and what it exports
// is what the independent tools (ffmpeg, ImageMagick) show as that picture.
#include <gtest/gtest.h>

#include <filesystem>

#include "MediaTestSupport.h"
#include "engine/TextureFile.h"
#include "media/Export.h"

using namespace morvane;
using namespace morvane::test;
namespace fs = std::filesystem;

namespace {

class TextureTool : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_texture = AnimatedThreeLayers(96, 64, 0.4f);
        ASSERT_EQ(WriteTextureFile(m_dir / "t.zyv", m_texture), "");
    }

    // Runs texturetool with its stderr kept in `m_stderr`; the exit status.
    int Run(const std::string& args)
    {
        const int rc = Shell(std::string(MORVANE_TEXTURETOOL) + " " + args + " 2> " + (m_dir / "stderr.txt"));
        const std::vector<uint8_t> err = ReadBytes(m_dir / "stderr.txt");
        m_stderr.assign(err.begin(), err.end());
        return rc;
    }
    Ppm Read(const std::string& name) { return ParsePpm(ReadBytes(m_dir / name)); }
    // The texture file's texture at `seconds`, as the view shows it.
    std::vector<uint8_t> Expected(float seconds, int w, int h)
    {
        Texture t = m_texture;
        SetAnimationTime(t, seconds);
        PrepareForRender(t);
        return ViewPixels(t, w, h);
    }

    TempDir m_dir;
    Texture m_texture;
    std::string m_stderr;
};

}  // namespace

TEST_F(TextureTool, RenderWritesTheViewsPictureAtAnySizeAndTime)
{
    const std::string in = m_dir / "t.zyv";
    ASSERT_EQ(Run("render " + in + " " + (m_dir / "a.ppm")), 0) << m_stderr;
    Ppm a = Read("a.ppm");
    ASSERT_EQ(a.width, 96);
    ASSERT_EQ(a.height, 64);
    EXPECT_EQ(a.rgb, Expected(0.0f, 96, 64));

    ASSERT_EQ(Run("render " + in + " " + (m_dir / "b.ppm") + " --size 40x30 --time 0.2"), 0) << m_stderr;
    Ppm b = Read("b.ppm");
    ASSERT_EQ(b.width, 40);
    EXPECT_EQ(b.rgb, Expected(0.2f, 40, 30));
    EXPECT_NE(b.rgb, Expected(0.0f, 40, 30));
}

TEST_F(TextureTool, FfmpegReadsTheTgaAsTheRenderPixelForPixel)
{
    REQUIRE_FFMPEG();
    const std::string in = m_dir / "t.zyv";
    ASSERT_EQ(Run("render " + in + " " + (m_dir / "r.ppm")), 0) << m_stderr;
    ASSERT_EQ(Run("export " + in + " " + (m_dir / "e.tga")), 0) << m_stderr;
    ASSERT_EQ(Shell("ffmpeg -v error -y -i " + (m_dir / "e.tga") + " -pix_fmt rgb24 " + (m_dir / "f.ppm")), 0);
    const Ppm f = Read("f.ppm");
    ASSERT_TRUE(f.ok());
    EXPECT_EQ(f.rgb, Read("r.ppm").rgb);
}

TEST_F(TextureTool, TheJpegIsCloseToTheRender)
{
    REQUIRE_IMAGEMAGICK();
    const std::string in = m_dir / "t.zyv";
    ASSERT_EQ(Run("render " + in + " " + (m_dir / "r.ppm")), 0) << m_stderr;
    ASSERT_EQ(Run("export " + in + " " + (m_dir / "e.jpg")), 0) << m_stderr;
    EXPECT_EQ(Output("identify -format '%Q %[jpeg:sampling-factor]' " + (m_dir / "e.jpg")), "75 2x2,1x1,1x1");
    ASSERT_EQ(Shell("convert " + (m_dir / "e.jpg") + " -auto-orient " + (m_dir / "j.ppm")), 0);
    EXPECT_GT(Psnr(Read("j.ppm").rgb, Read("r.ppm").rgb), 25.0);
}

TEST_F(TextureTool, MoviesStartWithTheRenderUpright)
{
    REQUIRE_FFMPEG();
    const std::string in = m_dir / "t.zyv";
    ASSERT_EQ(Run("render " + in + " " + (m_dir / "r.ppm") + " --time 0"), 0) << m_stderr;
    for (const std::string movie : {"e.mpg", "e.m2v"}) {
        ASSERT_EQ(Run("export " + in + " " + (m_dir / movie) + " --video pal"), 0) << m_stderr;
        ASSERT_EQ(Shell("ffmpeg -v error -y -i " + (m_dir / movie) + " -frames:v 1 -pix_fmt rgb24 " + (m_dir / "f.ppm")),
                  0);
        const std::vector<uint8_t> first = Read("f.ppm").rgb;
        const std::vector<uint8_t> render = Read("r.ppm").rgb;
        EXPECT_GT(Psnr(first, render), 26.0) << movie;
        // Upside down it would not come close.
        std::vector<uint8_t> flipped;
        for (int r = 63; r >= 0; --r) flipped.insert(flipped.end(), render.begin() + r * 96 * 3, render.begin() + (r + 1) * 96 * 3);
        EXPECT_LT(Psnr(first, flipped), Psnr(first, render) - 6.0) << movie;
    }
    EXPECT_EQ(Output("ffprobe -v error -count_frames -show_entries stream=nb_read_frames -of default=nw=1:nk=1 " +
                     (m_dir / "e.m2v") + " | head -1"),
              "10\n");
}

TEST_F(TextureTool, MovieFramesAreScratchOnlyTheMovieIsSynced)
{
    REQUIRE_TOOL("strace -V", "strace");
    // The frames go to a folder that no one else reads: written in place,
    // never synced nor renamed.  The movie alone is made durable.
    const std::string in = m_dir / "t.zyv", log = m_dir / "calls.txt";
    for (const std::string movie : {"e.mpg", "e.fli"}) {
        // (A leak check cannot run under strace.)
        ASSERT_EQ(Shell("strace -f -qq -E ASAN_OPTIONS=detect_leaks=0 -e trace=fsync,fdatasync,syncfs,rename -o " + log +
                        " " + MORVANE_TEXTURETOOL + " export " + in + " " + (m_dir / movie)),
                  0);
        const std::vector<uint8_t> bytes = ReadBytes(log);
        const std::string calls(bytes.begin(), bytes.end());
        auto count = [&](const std::string& call) {
            size_t n = 0;
            for (size_t at = calls.find(call); at != std::string::npos; at = calls.find(call, at + 1)) ++n;
            return n;
        };
        EXPECT_EQ(count(" fsync("), 1u) << movie << "\n" << calls;
        EXPECT_EQ(count(" rename("), 1u) << movie << "\n" << calls;
        EXPECT_EQ(count("sync"), 1u) << movie << "\n" << calls;  // fsync, fdatasync or syncfs
    }
}

TEST_F(TextureTool, FailuresPrintTheMessageAndLeaveNoFile)
{
    const std::string in = m_dir / "t.zyv";
    const std::string out = m_dir / "none/e.tga";
    EXPECT_EQ(Run("export " + in + " " + out), 1);
    EXPECT_EQ(m_stderr, "Unable to save \"" + out + "\".\nNo such file or directory.\n");

    EXPECT_EQ(Run("export " + (m_dir / "missing.zyv") + " " + (m_dir / "e.tga")), 1);
    EXPECT_NE(m_stderr.find("missing.zyv"), std::string::npos) << m_stderr;

    EXPECT_EQ(Run("export " + in + " " + (m_dir / "e.png")), 1);
    EXPECT_NE(m_stderr.find("e.png"), std::string::npos) << m_stderr;

    EXPECT_EQ(Run("render " + in + " " + (m_dir / "r.ppm") + " --size 0x3"), 2);
    EXPECT_EQ(Run("export " + in + " " + (m_dir / "e.m2v") + " --video hdtv"), 2);
    EXPECT_EQ(Run("frobnicate " + in + " x"), 2);

    // Nothing but the texture and the captured stderr.
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(m_dir.path)) left.push_back(e.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"stderr.txt", "t.zyv"}));
}
