// The shared writer: a file written piece by piece can have bytes already
// written patched (sizes in a header known only at the end), never past
// what was written; a destination that is not a regular file is written
// into (a pipe, a device, the process's own descriptors) or refused, never
// replaced; a file keeps its owner, group, mode and other names, and one
// that may not be written is left as it is.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/xattr.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "engine/SafeFile.h"
#include "support/FileSizeLimit.h"
#include "support/OtherUser.h"

using namespace morvane;
using namespace morvane::test;
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

TEST_F(Destinations, ACharacterDeviceIsWrittenIntoAsTheBytesComeAndStaysADevice)
{
    // /dev/null, named and through a link: it takes the bytes, and cannot
    // go back over them as a file could.
    const fs::path link = dir_ / "null.ppm";
    fs::create_symlink("/dev/null", link);
    EXPECT_EQ(WriteFileReplacing("/dev/null", Bytes("picture")).error, "");
    EXPECT_EQ(WriteFileReplacing(link, Bytes("picture")).error, "");
    {
        ReplacingFile f(link);
        EXPECT_TRUE(f.Write(Bytes("head")));
        EXPECT_FALSE(f.WriteAt(0, Bytes("HEAD")));
    }
    EXPECT_TRUE(fs::is_character_file(fs::symlink_status("/dev/null")));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(EntryCount(), 1u) << "nothing made beside the link";
}

// ---------------------------------------------------------------------------
// What a file's owner set up: its protection, owner, group and other names

namespace {

const char kReadOnly[] = "The file is read-only";

struct stat StatusOf(const fs::path& p)
{
    struct stat st {};
    ::stat(p.c_str(), &st);
    return st;
}

}  // namespace

TEST_F(Destinations, AReadOnlyFileIsRefusedAndLeftAsItIs)
{
    const fs::path file = dir_ / "ro.tga";
    std::ofstream(file) << "old";
    ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
    // Its owner, a normal user: refused as soon as the file is named, before
    // anything (a movie's frames) is made for it.
    auto saving = [&](const fs::path& target) {
        return [target] {
            ReplacingFile probe(target);
            if (probe.ok()) return std::string("accepted");
            return WriteFileReplacing(target, Bytes("new")).error;
        };
    };
    if (RunningAsRoot()) {
        ASSERT_EQ(::chown(dir_.c_str(), kNobody.uid, kNobody.gid), 0);
        ASSERT_EQ(::chown(file.c_str(), kNobody.uid, kNobody.gid), 0);
        if (!CanReach(kNobody, dir_)) GTEST_SKIP() << "another user cannot reach " << dir_;
        EXPECT_EQ(RunAs(kNobody, saving(file)), kReadOnly);
        // Root, whom the system would let write it, leaves it as its owner
        // asked too.
        EXPECT_EQ(saving(file)(), kReadOnly);
        // Another user's file that only its owner may write, in the saver's
        // own folder: refused as soon as it is named too.
        const fs::path theirs = dir_ / "theirs.tga";
        std::ofstream(theirs) << "root's";
        ASSERT_EQ(::chmod(theirs.c_str(), 0644), 0);
        EXPECT_EQ(RunAs(kNobody, saving(theirs)), kReadOnly);
        EXPECT_EQ(Text(theirs), "root's");
        EXPECT_EQ(StatusOf(theirs).st_uid, 0u);
        fs::remove(theirs);
    } else {
        EXPECT_EQ(saving(file)(), kReadOnly);
    }
    EXPECT_EQ(Text(file), "old");
    EXPECT_EQ(StatusOf(file).st_mode & 07777, 0444u);
    EXPECT_EQ(EntryCount(), 1u);
}

TEST_F(Destinations, AFileSharedThroughItsGroupStaysItsOwnersAndTheGroups)
{
    if (!RunningAsRoot()) GTEST_SKIP() << "needs root to make a second user's file shared through a group";
    const gid_t team = 64000;
    const OtherUser first{64001, 64001, {team}}, second{64002, 64002, {team}};
    ASSERT_EQ(::chown(dir_.c_str(), 0, team), 0);
    ASSERT_EQ(::chmod(dir_.c_str(), 02775), 0);
    if (!CanReach(second, dir_)) GTEST_SKIP() << "another user cannot reach " << dir_;
    const fs::path file = dir_ / "shared.zyv";
    std::ofstream(file) << "the first member's";
    ASSERT_EQ(::chown(file.c_str(), first.uid, team), 0);
    ASSERT_EQ(::chmod(file.c_str(), 0664), 0);

    EXPECT_EQ(RunAs(second, [&] { return WriteFileReplacing(file, Bytes("the second member's")).error; }), "");
    EXPECT_EQ(Text(file), "the second member's");
    struct stat st = StatusOf(file);
    EXPECT_EQ(st.st_uid, first.uid);
    EXPECT_EQ(st.st_gid, team);
    EXPECT_EQ(st.st_mode & 07777, 0664u);
    // So its owner can still write it.
    EXPECT_EQ(RunAs(first, [&] { return WriteFileReplacing(file, Bytes("first again")).error; }), "");
    EXPECT_EQ(Text(file), "first again");
    EXPECT_EQ(EntryCount(), 1u);

    // Root saving over a user's file leaves it the user's.
    const fs::path own = dir_ / "own.zyv";
    std::ofstream(own) << "the user's";
    ASSERT_EQ(::chown(own.c_str(), second.uid, second.gid), 0);
    ASSERT_EQ(::chmod(own.c_str(), 0640), 0);
    EXPECT_EQ(WriteFileReplacing(own, Bytes("root's save")).error, "");
    st = StatusOf(own);
    EXPECT_EQ(st.st_uid, second.uid);
    EXPECT_EQ(st.st_gid, second.gid);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(Text(own), "root's save");
    EXPECT_EQ(EntryCount(), 2u);
}

TEST_F(Destinations, AFileInAFolderTheSaverMayNotWriteIsWrittenInto)
{
    // The saver may write the file but make no file beside it: the file
    // itself takes the new bytes, which wait meanwhile in the temporary
    // folder.
    const fs::path folder = dir_ / "theirs", scratch = dir_ / "scratch", file = folder / "mine.tga";
    fs::create_directories(folder);
    fs::create_directories(scratch);
    std::ofstream(file) << "a longer old content";
    const ino_t inode = StatusOf(file).st_ino;
    if (RunningAsRoot()) {
        // The file is the user nobody's, the folder root's.
        ASSERT_EQ(::chown(file.c_str(), kNobody.uid, kNobody.gid), 0);
        ASSERT_EQ(::chown(scratch.c_str(), kNobody.uid, kNobody.gid), 0);
        if (!CanReach(kNobody, folder)) GTEST_SKIP() << "another user cannot reach " << folder;
        EXPECT_EQ(RunAs(kNobody,
                        [&] {
                            ::setenv("TMPDIR", scratch.c_str(), 1);
                            return WriteFileReplacing(file, Bytes("new")).error;
                        }),
                  "");
        EXPECT_EQ(StatusOf(file).st_uid, kNobody.uid);
    } else {
        ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
        const std::string error = WriteFileReplacing(file, Bytes("new")).error;
        ::chmod(folder.c_str(), 0755);
        EXPECT_EQ(error, "");
    }
    EXPECT_EQ(Text(file), "new");
    EXPECT_EQ(StatusOf(file).st_ino, inode);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
    EXPECT_TRUE(fs::is_empty(scratch));
}

TEST_F(Destinations, AFileWithTwoNamesStaysOneFileThatBothNamesShow)
{
    const fs::path file = dir_ / "a.tga", other = dir_ / "b.tga";
    std::ofstream(file) << "a longer old content";
    fs::create_hard_link(file, other);
    const ino_t inode = StatusOf(file).st_ino;
    {
        // A header patched at the end reaches the file too.
        ReplacingFile f(file);
        ASSERT_TRUE(f.Write(Bytes("....new")));
        ASSERT_TRUE(f.WriteAt(0, Bytes("head")));
        EXPECT_EQ(Text(file), "a longer old content") << "nothing changes before the commit";
        ASSERT_EQ(f.Commit().error, "");
    }
    EXPECT_EQ(Text(file), "headnew");
    EXPECT_EQ(Text(other), "headnew");
    EXPECT_EQ(StatusOf(other).st_ino, inode);
    EXPECT_EQ(StatusOf(file).st_nlink, 2u);
    EXPECT_EQ(EntryCount(), 2u);
}

TEST_F(Destinations, AFileWithAnAccessListKeepsIt)
{
    // An access list letting one more user write the file (the system's
    // binary form: a version, then tag, permissions and id per entry).
    struct Entry {
        uint16_t tag, perm;
        uint32_t id;
    };
    const uint32_t version = 2;
    const Entry entries[] = {{0x01, 6, ~0u}, {0x02, 6, 64005}, {0x04, 4, ~0u}, {0x10, 6, ~0u}, {0x20, 4, ~0u}};
    std::string list(reinterpret_cast<const char*>(&version), sizeof version);
    list.append(reinterpret_cast<const char*>(entries), sizeof entries);
    const fs::path file = dir_ / "listed.zyv";
    std::ofstream(file) << "old";
    if (::setxattr(file.c_str(), "system.posix_acl_access", list.data(), list.size(), 0) != 0)
        GTEST_SKIP() << "this file system keeps no access lists: " << std::strerror(errno);

    EXPECT_EQ(WriteFileReplacing(file, Bytes("new")).error, "");
    EXPECT_EQ(Text(file), "new");
    std::string kept(list.size() + 16, '\0');
    const ssize_t n = ::getxattr(file.c_str(), "system.posix_acl_access", kept.data(), kept.size());
    ASSERT_GT(n, 0) << std::strerror(errno);
    kept.resize(static_cast<size_t>(n));
    EXPECT_EQ(kept, list);
    EXPECT_EQ(EntryCount(), 1u);
}

TEST_F(Destinations, AFileWrittenIntoThatFailsHalfWayHasItsNewContentKept)
{
    const fs::path file = dir_ / "a.tga";
    std::ofstream(file) << "old";
    fs::create_hard_link(file, dir_ / "b.tga");
    const std::string content(100000, 'n');
    std::string error;
    {
        ReplacingFile f(file);
        ASSERT_TRUE(f.Write(Bytes(content)));
        // The disk fills up while the file takes the bytes.
        const FileSizeLimit full(40000);
        ASSERT_TRUE(full.ok());
        error = f.Commit().error;
    }
    const std::string start = "File too large: the file holds only part of the new content, which is kept whole in \"";
    ASSERT_EQ(error.substr(0, start.size()), start) << error;
    const fs::path kept = error.substr(start.size(), error.size() - start.size() - 1);
    EXPECT_EQ(kept.parent_path(), dir_);
    EXPECT_EQ(kept.extension(), ".tga");
    EXPECT_EQ(Text(kept), content);
    EXPECT_EQ(EntryCount(), 3u);
}

TEST_F(Destinations, TheProcesssOwnDescriptorsAreWrittenAtTheirOffset)
{
    // As the shell opens them for ">>" and, after "A" was written, for ">".
    const fs::path log = dir_ / "log.txt", out = dir_ / "c.out";
    std::ofstream(log) << "precious\n";
    const ino_t inode = StatusOf(log).st_ino;
    const int appending = ::open(log.c_str(), O_WRONLY | O_APPEND);
    const int created = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(appending, 0);
    ASSERT_GE(created, 0);
    ASSERT_EQ(::write(created, "A\n", 2), 2);

    EXPECT_EQ(WriteFileReplacing("/proc/self/fd/" + std::to_string(appending), Bytes("one\n")).error, "");
    EXPECT_EQ(WriteFileReplacing("/dev/fd/" + std::to_string(appending), Bytes("two\n")).error, "");
    {
        ReplacingFile f("/dev/fd/" + std::to_string(created));
        ASSERT_TRUE(f.Write(Bytes("....body\n")));
        ASSERT_TRUE(f.WriteAt(0, Bytes("head")));
        EXPECT_EQ(Text(out), "A\n") << "nothing reaches the descriptor before the commit";
        ASSERT_EQ(f.Commit().error, "");
    }
    ASSERT_EQ(::write(created, "B\n", 2), 2);
    ::close(appending);
    ::close(created);

    EXPECT_EQ(Text(log), "precious\none\ntwo\n");
    EXPECT_EQ(StatusOf(log).st_ino, inode);
    EXPECT_EQ(Text(out), "A\nheadbody\nB\n");
    EXPECT_EQ(EntryCount(), 2u);
}

TEST_F(Destinations, ALongNameSavesAndALinkChainTheSystemRefusesIsLeftAsItIs)
{
    // The longest name a folder takes: the temporary name does not grow
    // with it.
    const fs::path longest = dir_ / (std::string(251, 'n') + ".tga");
    EXPECT_EQ(WriteFileReplacing(longest, Bytes("picture")).error, "");
    EXPECT_EQ(Text(longest), "picture");
    fs::remove(longest);

    // end.tga <- l1.tga <- ... <- l45.tga, and a.tga <-> b.tga.
    std::ofstream(dir_ / "end.tga") << "end";
    auto link = [&](int n) { return dir_ / ("l" + std::to_string(n) + ".tga"); };
    for (int n = 1; n <= 45; ++n) fs::create_symlink(n == 1 ? "end.tga" : link(n - 1).filename(), link(n));
    fs::create_symlink("b.tga", dir_ / "a.tga");
    fs::create_symlink("a.tga", dir_ / "b.tga");
    const std::string refused =
        "The name leads through a loop of symbolic links, or through more of them than the system follows";
    EXPECT_EQ(WriteFileReplacing(link(45), Bytes("new")).error, refused);
    EXPECT_EQ(WriteFileReplacing(link(41), Bytes("new")).error, refused);
    EXPECT_EQ(WriteFileReplacing(dir_ / "a.tga", Bytes("new")).error, refused);
    for (int n = 1; n <= 45; ++n) EXPECT_TRUE(fs::is_symlink(link(n))) << n;
    EXPECT_TRUE(fs::is_symlink(dir_ / "a.tga"));
    EXPECT_TRUE(fs::is_symlink(dir_ / "b.tga"));
    EXPECT_EQ(Text(dir_ / "end.tga"), "end");

    // The longest chain the system follows writes its end file.
    EXPECT_EQ(WriteFileReplacing(link(40), Bytes("new")).error, "");
    EXPECT_EQ(Text(dir_ / "end.tga"), "new");
    EXPECT_TRUE(fs::is_symlink(link(40)));
    EXPECT_EQ(EntryCount(), 48u);
}
