// tools/texturetool: the render is the view's picture, and what it exports
// is what the independent tools (ffmpeg, ImageMagick) show as that picture.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>

#include "MediaTestSupport.h"
#include "engine/TextureFile.h"
#include "media/Export.h"
#include "support/ChildProcess.h"

using namespace morvane;
using namespace morvane::test;
namespace fs = std::filesystem;

namespace {

class TextureTool : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_texture = AnimatedThreeLayers(96, 64, 0.4f);
        ASSERT_EQ(WriteTextureFile(m_dir / "t.zyv", m_texture).error, "");
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

// Starts texturetool with `args` and the temporary folder `tmp`, with the
// signals' standard actions; its process id.
pid_t Start(const std::vector<std::string>& args, const std::string& tmp)
{
    std::vector<std::string> argv = {MORVANE_TEXTURETOOL};
    argv.insert(argv.end(), args.begin(), args.end());
    return StartChild(argv, {"TMPDIR=" + tmp});
}

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

// The JPEG's rows are the view's rows, as the TGA's are: row for row it is
// closer to the TGA than one row up or down.
TEST_F(TextureTool, TheJpegsRowsAreTheTgasRows)
{
    REQUIRE_FFMPEG();
    const std::string in = m_dir / "t.zyv";
    ASSERT_EQ(Run("export " + in + " " + (m_dir / "e.tga")), 0) << m_stderr;
    ASSERT_EQ(Run("export " + in + " " + (m_dir / "e.jpg")), 0) << m_stderr;
    for (const std::string name : {"e.tga", "e.jpg"})
        ASSERT_EQ(Shell("ffmpeg -v error -y -i " + (m_dir / name) + " -pix_fmt rgb24 " + (m_dir / (name + ".ppm"))), 0);
    const Ppm tga = Read("e.tga.ppm"), jpeg = Read("e.jpg.ppm");
    ASSERT_EQ(tga.width, 96);
    ASSERT_EQ(tga.height, 64);
    ASSERT_EQ(jpeg.rgb.size(), tga.rgb.size());
    // Rows first .. first + 62 of each picture.
    const size_t row = 96 * 3;
    auto rows = [&](const Ppm& p, size_t first) {
        return std::vector<uint8_t>(p.rgb.begin() + first * row, p.rgb.begin() + (first + 63) * row);
    };
    const double aligned = Psnr(rows(jpeg, 1), rows(tga, 1));
    EXPECT_GT(aligned, Psnr(rows(jpeg, 1), rows(tga, 0))) << "the JPEG sits a row above the TGA";
    EXPECT_GT(aligned, Psnr(rows(jpeg, 0), rows(tga, 1))) << "the JPEG sits a row below the TGA";
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

TEST_F(TextureTool, RenderNeverWritesOverItsInputNorAFileNotNamedPpm)
{
    const std::string in = m_dir / "t.zyv";
    const std::vector<uint8_t> before = ReadBytes(in);
    fs::create_hard_link(in, m_dir / "same.ppm");
    for (const std::string& out : {in, m_dir / "same.ppm"}) {
        EXPECT_EQ(Run("render " + in + " " + out), 1);
        EXPECT_EQ(m_stderr, "Unable to save \"" + out + "\".\n\"" + out +
                                "\" is the file being read; the output needs another name.\n");
    }
    EXPECT_EQ(Run("export " + in + " " + in), 1);
    EXPECT_EQ(ReadBytes(in), before);

    EXPECT_EQ(Run("render " + in + " " + (m_dir / "r.tga")), 1);
    EXPECT_EQ(m_stderr, "Unable to save \"" + (m_dir / "r.tga") +
                            "\".\nrender writes PPM pictures: the name of its output ends in \".ppm\".\n");
    EXPECT_FALSE(fs::exists(m_dir / "r.tga"));

    // Sides of 1 to 65500 pixels, as the Free Format dialog allows.
    EXPECT_EQ(Run("render " + in + " " + (m_dir / "R.PPM") + " --size 65500x1"), 0) << m_stderr;
    EXPECT_EQ(Read("R.PPM").width, 65500);
    // Sides too large for any integer are refused as they stand, never
    // wrapped round to a size that fits (4294967396 would be 100).
    for (const char* size : {"65501x1", "1x65501", "100000x100000", "0x5", "4294967396x1", "1x4294967297",
                             "99999999999999999999x1", "-1x5", "+5x5", "5x5x"}) {
        EXPECT_EQ(Run("render " + in + " " + (m_dir / "x.ppm") + " --size " + size), 2) << size;
        EXPECT_EQ(m_stderr.substr(0, m_stderr.find('\n')), "--size takes 1 to 65500 pixels a side.") << size;
    }
    EXPECT_FALSE(fs::exists(m_dir / "x.ppm"));
}

TEST_F(TextureTool, AnInterruptedOrKilledExportLeavesNoFrames)
{
    // 1000 frames: long enough to be stopped while it writes them.
    const std::string in = m_dir / "long.zyv";
    ASSERT_EQ(WriteTextureFile(in, AnimatedThreeLayers(160, 120, 40.0f)).error, "");
    const fs::path tmp = m_dir.path / "tmp";
    fs::create_directories(tmp);
    auto writingFrames = [&] {
        std::error_code ec;
        for (fs::directory_iterator it(tmp, ec), end; !ec && it != end; it.increment(ec))
            if (!fs::is_empty(it->path(), ec) && !ec) return true;
        return false;
    };
    for (const int sig : {SIGINT, SIGTERM, SIGHUP, SIGKILL}) {
        SCOPED_TRACE(strsignal(sig));
        const pid_t child = Start({"export", in, m_dir / "e.mpg"}, tmp.string());
        ASSERT_GT(child, 0);
        for (int i = 0; i < 6000 && !writingFrames(); ++i) usleep(10000);
        EXPECT_TRUE(writingFrames());
        kill(child, sig);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << "status " << status;
        if (sig == SIGKILL) {
            // Nothing can be done then: the next export removes the folder.
            EXPECT_FALSE(fs::is_empty(tmp));
            EXPECT_EQ(Shell("TMPDIR=" + tmp.string() + " " + MORVANE_TEXTURETOOL + " export " + (m_dir / "t.zyv") + " " +
                            (m_dir / "next.mpg")),
                      0);
        }
        EXPECT_TRUE(fs::is_empty(tmp));
        EXPECT_FALSE(fs::exists(m_dir / "e.mpg"));
    }
}

TEST_F(TextureTool, StandardOutputTakesThePictureWhereTheShellPointsIt)
{
    const std::string in = m_dir / "t.zyv", tool = MORVANE_TEXTURETOOL;
    ASSERT_EQ(Run("render " + in + " " + (m_dir / "r.ppm")), 0) << m_stderr;
    const std::vector<uint8_t> ppm = ReadBytes(m_dir / "r.ppm");
    const std::string picture(ppm.begin(), ppm.end());
    auto text = [](const std::string& file) {
        const std::vector<uint8_t> bytes = ReadBytes(file);
        return std::string(bytes.begin(), bytes.end());
    };
    auto inode = [](const std::string& file) {
        struct stat st {};
        ::stat(file.c_str(), &st);
        return st.st_ino;
    };

    // Appended to a log, which stays the same file.
    const std::string log = m_dir / "log.txt";
    WriteBytes(log, "precious\n");
    const ino_t logInode = inode(log);
    ASSERT_EQ(Shell(tool + " render " + in + " /dev/stdout >> " + log), 0);
    EXPECT_EQ(text(log), "precious\n" + picture);
    EXPECT_EQ(inode(log), logInode);
    // Any of the program's descriptors, by the name /proc gives it.
    ASSERT_EQ(Shell(tool + " render " + in + " /proc/self/fd/3 3>> " + log), 0);
    EXPECT_EQ(text(log), "precious\n" + picture + picture);

    // Between what the shell's other commands write to the same output.
    const std::string out = m_dir / "c.out";
    ASSERT_EQ(Shell("{ echo A; " + tool + " render " + in + " /dev/stdout; echo B; } > " + out), 0);
    EXPECT_EQ(text(out), "A\n" + picture + "B\n");
}

TEST_F(TextureTool, AReadOnlyFileIsRefusedAndLeftAsItIs)
{
    const std::string in = m_dir / "t.zyv", tool = MORVANE_TEXTURETOOL;
    const fs::path folder = m_dir.path / "theirs", file = folder / "ro.tga";
    fs::create_directories(folder);
    WriteBytes(file, "old");
    ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
    // As the file's owner, a normal user.
    std::string as;
    if (::geteuid() == 0) {
        REQUIRE_TOOL("setpriv --version", "setpriv");
        ASSERT_EQ(::chown(folder.c_str(), 65534, 65534), 0);
        ASSERT_EQ(::chown(file.c_str(), 65534, 65534), 0);
        as = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
        if (Shell(as + "test -r " + in + " -a -x " + tool + " -a -x " + folder.string()) != 0)
            GTEST_SKIP() << "the user 65534 cannot reach the test's files";
    }
    EXPECT_EQ(Shell(as + tool + " export " + in + " " + file.string() + " 2> " + (m_dir / "stderr.txt")), 1);
    const std::vector<uint8_t> err = ReadBytes(m_dir / "stderr.txt");
    EXPECT_EQ(std::string(err.begin(), err.end()), "Unable to save \"" + file.string() + "\".\nThe file is read-only.\n");
    EXPECT_EQ(ReadBytes(file), std::vector<uint8_t>({'o', 'l', 'd'}));
    EXPECT_EQ(fs::status(file).permissions(), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}

TEST_F(TextureTool, AnExportInAnotherPidNamespaceLeavesARunningExportsFramesAlone)
{
    // Process ids mean something only within one PID namespace: an export
    // in a container sharing the temporary folder must not take a running
    // export's frame folder for one left by an ended process.
    std::string unshare;
    for (const char* u : {"unshare --pid --fork", "unshare --user --map-root-user --pid --fork"}) {
        if (Shell(std::string(u) + " true > /dev/null 2>&1") == 0) {
            unshare = u;
            break;
        }
    }
    if (unshare.empty()) GTEST_SKIP() << "this user may not make a PID namespace (unshare --pid)";
    const std::string in = m_dir / "long.zyv";
    ASSERT_EQ(WriteTextureFile(in, AnimatedThreeLayers(160, 120, 10.0f)).error, "");
    const fs::path tmp = m_dir.path / "tmp";
    fs::create_directories(tmp);
    auto frameFolders = [&] {
        std::vector<fs::path> folders;
        std::error_code ec;
        for (fs::directory_iterator it(tmp, ec), end; !ec && it != end; it.increment(ec))
            if (!fs::is_empty(it->path(), ec) && !ec) folders.push_back(it->path());
        return folders;
    };

    const pid_t running = Start({"export", in, m_dir / "long.mpg"}, tmp.string());
    ASSERT_GT(running, 0);
    for (int i = 0; i < 6000 && frameFolders().empty(); ++i) usleep(10000);
    // Held while the other export starts and ends.
    kill(running, SIGSTOP);
    const std::vector<fs::path> folders = frameFolders();
    const int other = Shell("TMPDIR=" + tmp.string() + " " + unshare + " " + MORVANE_TEXTURETOOL + " export " +
                            (m_dir / "t.zyv") + " " + (m_dir / "short.mpg"));
    const std::vector<fs::path> after = frameFolders();
    kill(running, SIGCONT);
    int status = 0;
    ASSERT_EQ(waitpid(running, &status, 0), running);

    EXPECT_EQ(other, 0);
    ASSERT_EQ(folders.size(), 1u);
    EXPECT_EQ(after, folders);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    EXPECT_TRUE(fs::exists(m_dir / "long.mpg"));
    EXPECT_TRUE(fs::exists(m_dir / "short.mpg"));
    EXPECT_TRUE(fs::is_empty(tmp));
}

TEST_F(TextureTool, AnExportEndedByABrokenPipeOrItsFileSizeLimitLeavesNoFrames)
{
    // 100 frames of 160 x 120: an MPEG-1 stream of some 700 KB, far more
    // than a pipe holds.
    const std::string in = m_dir / "anim.zyv";
    ASSERT_EQ(WriteTextureFile(in, AnimatedThreeLayers(160, 120, 4.0f)).error, "");
    const fs::path tmp = m_dir.path / "tmp";
    fs::create_directories(tmp);

    // Into a named pipe whose reader stops after the first bytes: the
    // stream is written while the frames are still there.
    const std::string pipe = m_dir / "pipe.mpg";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const int reader = ::open(pipe.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    const pid_t child = Start({"export", in, pipe}, tmp.string());
    ASSERT_GT(child, 0);
    char bytes[4096];
    ssize_t got = -1;
    for (int i = 0; i < 600 && got <= 0; ++i) {
        pollfd p{reader, POLLIN, 0};
        if (::poll(&p, 1, 100) > 0) got = ::read(reader, bytes, sizeof bytes);
    }
    EXPECT_GT(got, 0) << "nothing came through the pipe";
    EXPECT_FALSE(fs::is_empty(tmp)) << "the frames are gone before the stream is written";
    ::close(reader);
    const int status = WaitAtMost(child, 60);
    EXPECT_TRUE(status != -1 && WIFSIGNALED(status) && WTERMSIG(status) == SIGPIPE) << "status " << status;
    EXPECT_TRUE(fs::is_empty(tmp));

    // Past the file size limit, as a shell runs it: the first frame (57.6
    // KB) is more than 40 blocks (20 or 40 KB, as the shell counts them).
    const int rc = Shell("TMPDIR=" + tmp.string() + " sh -c 'ulimit -c 0; ulimit -f 40; \"$0\" export \"$1\" \"$2\"' " +
                         MORVANE_TEXTURETOOL + " " + in + " " + (m_dir / "limited.mpg") + " 2> /dev/null");
    EXPECT_EQ(rc, 128 + SIGXFSZ);
    EXPECT_TRUE(fs::is_empty(tmp));
    EXPECT_FALSE(fs::exists(m_dir / "limited.mpg"));
}

TEST_F(TextureTool, AMovieIsCheckedAgainstTheRoomWhereItGoesBeforeTheFirstFrame)
{
    // 100 frames of 160 x 120 into 16 KB; the frames go elsewhere.  An
    // MPEG-1 stream of 4 s at 1,852,000 bits a second takes 904.3 KB.
    const fs::path tmp = m_dir.path / "tmp", small = m_dir.path / "small";
    fs::create_directories(tmp);
    fs::create_directories(small);
    if (Shell("unshare -m mount -t tmpfs tmpfs " + small.string() + " 2> /dev/null") != 0)
        GTEST_SKIP() << "a small file system needs a mount namespace of its own (root, unshare, mount)";
    const std::string in = m_dir / "anim.zyv";
    ASSERT_EQ(WriteTextureFile(in, AnimatedThreeLayers(160, 120, 4.0f)).error, "");
    for (const std::string movie : {"m.mpg", "m.avi", "m.fli"}) {
        SCOPED_TRACE(movie);
        const int rc = Shell("TMPDIR=" + tmp.string() + " unshare -m sh -c 'mount -t tmpfs -o size=16k tmpfs \"$1\" && " +
                             "exec \"$0\" export \"$2\" \"$1/" + movie + "\"' " + MORVANE_TEXTURETOOL + " " +
                             small.string() + " " + in + " 2> " + (m_dir / "stderr.txt"));
        const std::vector<uint8_t> err = ReadBytes(m_dir / "stderr.txt");
        const std::string said(err.begin(), err.end());
        EXPECT_EQ(rc, 1) << said;
        const std::string head = "Unable to save \"" + (small / movie).string() + "\".\nThe movie needs ";
        const std::string tail = "; 16.0 KB are free in " + small.string() + ".\n";
        EXPECT_EQ(said.substr(0, head.size()), head) << said;
        ASSERT_GT(said.size(), tail.size());
        EXPECT_EQ(said.substr(said.size() - tail.size()), tail) << said;
        if (movie == "m.mpg") {
            EXPECT_EQ(said, head + "904.3 KB" + tail);
        }
        EXPECT_TRUE(fs::is_empty(tmp));
    }

    // A named pipe there takes the stream without any room on that disk, and
    // a link there leads the movie to a file that has room where it lies.
    // (The pipe's reader gives up after a minute should no export write.)
    const std::string piped = m_dir / "piped.mpg", linked = m_dir / "linked.mpg";
    WriteBytes(linked, "old");
    const int rc = Shell("TMPDIR=" + tmp.string() + " unshare -m sh -c 'mount -t tmpfs -o size=16k tmpfs \"$1\" && " +
                         "mkfifo \"$1/p.mpg\" && ln -s \"$3\" \"$1/l.mpg\" && { timeout 60 cat \"$1/p.mpg\" > \"$4\" & } && " +
                         "\"$0\" export \"$2\" \"$1/p.mpg\" && \"$0\" export \"$2\" \"$1/l.mpg\" && wait' " +
                         MORVANE_TEXTURETOOL + " " + small.string() + " " + in + " " + linked + " " + piped + " 2> " +
                         (m_dir / "stderr.txt"));
    const std::vector<uint8_t> err = ReadBytes(m_dir / "stderr.txt");
    EXPECT_EQ(rc, 0) << std::string(err.begin(), err.end());
    const std::vector<uint8_t> stream = ReadBytes(piped);
    ASSERT_GT(stream.size(), 16u * 1024);
    EXPECT_EQ(std::vector<uint8_t>(stream.begin(), stream.begin() + 4), (std::vector<uint8_t>{0, 0, 1, 0xB3}));
    EXPECT_EQ(ReadBytes(linked), stream);
    EXPECT_TRUE(fs::is_empty(tmp));
}
