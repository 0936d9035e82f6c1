// The shared writer: a file written piece by piece can have bytes already
// written patched (sizes in a header known only at the end), never past
// what was written; a destination that is not a regular file is written
// into (a pipe, a device) or refused, never replaced.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "engine/SafeFile.h"

using namespace morvane;
namespace fs = std::filesystem;

TEST(ReplacingFile, BytesAlreadyWrittenArePatchedInPlace)
{
    const fs::path path = fs::temp_directory_path() / ("morvane-patch-" + std::to_string(::getpid()));
    {
        ReplacingFile f(path);
        ASSERT_TRUE(f.ok());
        // 8 + 100000 + 8 bytes; the body passes the write buffer.
        const std::vector<uint8_t> head(8, 0), body(100000, 7);
        ASSERT_TRUE(f.Write(head));
        ASSERT_TRUE(f.Write(body));
        ASSERT_TRUE(f.Write(head));
        const uint8_t size[4] = {1, 2, 3, 4};
        EXPECT_TRUE(f.WriteAt(0, size));
        EXPECT_TRUE(f.WriteAt(100004, size));
        EXPECT_FALSE(f.WriteAt(100013, size)) << "past the end";
        EXPECT_TRUE(f.ok()) << "a refused patch is no failure of the file";
        ASSERT_TRUE(f.Write(head));
        EXPECT_FALSE(fs::exists(path)) << "nothing at the path before the commit";
        ASSERT_EQ(f.Commit().error, "");
    }
    const std::vector<uint8_t> back = ReadFileBytes(path).value.value_or(std::vector<uint8_t>{});
    fs::remove(path);
    ASSERT_EQ(back.size(), 100024u);
    EXPECT_EQ(back[0], 1);
    EXPECT_EQ(back[3], 4);
    EXPECT_EQ(back[4], 0);
    EXPECT_EQ(back[100003], 7);
    EXPECT_EQ(back[100004], 1);
    EXPECT_EQ(back[100007], 4);
    EXPECT_EQ(back[100008], 0);
    EXPECT_EQ(back[100015], 0);
}

// ---------------------------------------------------------------------------
// Destinations that are not regular files

namespace {

class Destinations : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() / ("morvane-dest-" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    size_t EntryCount() const
    {
        return static_cast<size_t>(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()));
    }
    static std::string Text(const fs::path& p)
    {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    static std::span<const uint8_t> Bytes(const std::string& s)
    {
        return std::span(reinterpret_cast<const uint8_t*>(s.data()), s.size());
    }

    fs::path dir_;
};

}  // namespace

TEST_F(Destinations, ANamedPipeIsWrittenIntoAndStaysAPipe)
{
    const fs::path fifo = dir_ / "out.ppm";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // A reader at the other end, as `convert fifo ...` would be; it gives up
    // after a few seconds when nothing ever opens the pipe for writing.
    int back[2];
    ASSERT_EQ(::pipe(back), 0);
    const pid_t reader = ::fork();
    ASSERT_GE(reader, 0);
    if (reader == 0) {
        ::close(back[0]);
        ::alarm(5);
        const int fd = ::open(fifo.c_str(), O_RDONLY);
        char buf[4096];
        ssize_t n;
        while (fd >= 0 && (n = ::read(fd, buf, sizeof buf)) > 0) (void)!::write(back[1], buf, static_cast<size_t>(n));
        ::_exit(0);
    }
    ::close(back[1]);
    const std::string picture = "P6\n2 1\n255\n\x01\x02\x03\x04\x05\x06";
    EXPECT_EQ(WriteFileReplacing(fifo, Bytes(picture)).error, "");
    std::string got;
    char buf[4096];
    ssize_t n;
    while ((n = ::read(back[0], buf, sizeof buf)) > 0) got.append(buf, static_cast<size_t>(n));
    ::close(back[0]);
    ::waitpid(reader, nullptr, 0);

    EXPECT_EQ(got, picture);
    EXPECT_TRUE(fs::is_fifo(fs::symlink_status(fifo)));
    EXPECT_EQ(EntryCount(), 1u) << "no temporary file beside the pipe";
}

TEST_F(Destinations, ALinkToAPipeIsWrittenIntoAndALinkToAFileStaysALink)
{
    // A link to this process's end of a pipe: "/proc/self/fd/N", the way
    // "/dev/stdout" leads to a shell's pipe.
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    const fs::path toPipe = dir_ / "stdout.ppm";
    fs::create_symlink("/proc/self/fd/" + std::to_string(pipeEnds[1]), toPipe);
    EXPECT_EQ(WriteFileReplacing(toPipe, Bytes("through the pipe")).error, "");
    ::close(pipeEnds[1]);
    char buf[64] = {};
    EXPECT_EQ(::read(pipeEnds[0], buf, sizeof buf), 16);
    EXPECT_EQ(std::string(buf), "through the pipe");
    ::close(pipeEnds[0]);
    EXPECT_TRUE(fs::is_symlink(toPipe));

    // A pipe cannot go back to patch a header: the file fails with a reason.
    const fs::path fifo = dir_ / "movie.avi";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    {
        ReplacingFile f(fifo);
        EXPECT_TRUE(f.ok());
        EXPECT_FALSE(f.WriteAt(0, {}));
        EXPECT_NE(f.Commit().error, "");
    }
    EXPECT_TRUE(fs::is_fifo(fs::symlink_status(fifo)));

    // Links to regular files, there or not yet there: the link stays, the
    // file it leads to takes the content.
    const fs::path real = dir_ / "real.ppm", link = dir_ / "link.ppm";
    std::ofstream(real) << "old";
    fs::create_symlink("real.ppm", link);
    EXPECT_EQ(WriteFileReplacing(link, Bytes("new")).error, "");
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(Text(real), "new");

    const fs::path dangling = dir_ / "dangling.ppm";
    fs::create_symlink("later.ppm", dangling);
    EXPECT_EQ(WriteFileReplacing(dangling, Bytes("made")).error, "");
    EXPECT_TRUE(fs::is_symlink(dangling));
    EXPECT_EQ(Text(dir_ / "later.ppm"), "made");
    EXPECT_EQ(EntryCount(), 6u);
}

TEST_F(Destinations, AFolderOrASocketIsRefusedAndStaysAsItIs)
{
    const fs::path folder = dir_ / "folder.ppm";
    fs::create_directory(folder);
    std::ofstream(folder / "inside") << "kept";
    EXPECT_EQ(WriteFileReplacing(folder, Bytes("x")).error, "It is a folder, not a file");
    fs::create_directory_symlink("folder.ppm", dir_ / "link-to-folder");
    EXPECT_EQ(WriteFileReplacing(dir_ / "link-to-folder", Bytes("x")).error, "It is a folder, not a file");
    EXPECT_TRUE(fs::is_directory(fs::symlink_status(folder)));
    EXPECT_EQ(Text(folder / "inside"), "kept");

    const fs::path socketPath = dir_ / "socket.ppm";
    const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(WriteFileReplacing(socketPath, Bytes("x")).error, "It is a socket, not a file");
    EXPECT_TRUE(fs::is_socket(fs::symlink_status(socketPath)));
    ::close(s);
    EXPECT_EQ(EntryCount(), 3u);
}

TEST_F(Destinations, ScratchFilesAreWrittenInPlaceDeferredOnesAppearWhole)
{
    const std::string bytes(100000, 'x');
    // Scratch: at its path from the start, with nothing beside it; removed
    // when it is never committed.
    const fs::path scratch = dir_ / "frame.ppm";
    {
        ReplacingFile f(scratch, Durability::Scratch);
        ASSERT_TRUE(f.Write(Bytes(bytes)));
        EXPECT_TRUE(fs::exists(scratch));
        EXPECT_EQ(EntryCount(), 1u);
        EXPECT_EQ(f.Commit().error, "");
    }
    EXPECT_EQ(Text(scratch), bytes);
    {
        ReplacingFile f(dir_ / "dropped.ppm", Durability::Scratch);
        f.Write(Bytes(bytes));
    }
    EXPECT_FALSE(fs::exists(dir_ / "dropped.ppm"));

    // Deferred: nothing at its path before the commit, all of it after, and
    // made durable by one sync of the folder afterwards.
    const fs::path deferred = dir_ / "mpeg0000.ppm";
    {
        ReplacingFile f(deferred, Durability::Deferred);
        ASSERT_TRUE(f.Write(Bytes(bytes)));
        EXPECT_FALSE(fs::exists(deferred));
        EXPECT_EQ(f.Commit().error, "");
    }
    EXPECT_EQ(Text(deferred), bytes);
    EXPECT_EQ(SyncFolder(dir_).error, "");
    EXPECT_NE(SyncFolder(dir_ / "missing").error, "");
    EXPECT_EQ(EntryCount(), 2u);
}
