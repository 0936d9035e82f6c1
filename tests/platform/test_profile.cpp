#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "platform/Profile.h"
#include "support/TimeLimit.h"

namespace {

std::string ReadAll(const std::filesystem::path& p)
{
    std::ifstream in(p);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace

TEST(Profile, WritesSectionsAndKeysAsGiven)
{
    QTemporaryDir dir;
    const auto path = std::filesystem::path(dir.path().toStdString()) / "sub" / "Morvane.ini";
    IniProfile p(path);
    EXPECT_EQ(p.GetString("Recent File List", "File1", "none"), "none");
    ASSERT_TRUE(p.WriteString("Recent File List", "File1", "C:\\kvo\\a b.zyv"));
    ASSERT_TRUE(p.WriteString("Recent File List", "File2", "/home/x/y=z.zyv"));
    ASSERT_TRUE(p.WriteInt("Tip", "StartUp", 1));
    EXPECT_EQ(ReadAll(path),
              "[Recent File List]\nFile1=C:\\kvo\\a b.zyv\nFile2=/home/x/y=z.zyv\n\n[Tip]\nStartUp=1\n");

    // Read back by a fresh reader, names in any case.
    IniProfile q(path);
    EXPECT_EQ(q.GetString("recent file list", "FILE2"), "/home/x/y=z.zyv");
    EXPECT_EQ(q.GetInt("tip", "startup", 7), 1);
    EXPECT_EQ(q.GetInt("Tip", "FilePos", 7), 7);
    EXPECT_EQ(q.Keys("Recent File List"), (QStringList{"File1", "File2"}));

    // Rewriting a key keeps its place and spelling; deleting removes it.
    ASSERT_TRUE(q.WriteString("RECENT FILE LIST", "file1", "new"));
    ASSERT_TRUE(q.DeleteKey("Recent File List", "File2"));
    EXPECT_EQ(ReadAll(path), "[Recent File List]\nFile1=new\n\n[Tip]\nStartUp=1\n");
}

TEST(Profile, KeepsForeignLinesAndReadsLikeTheWindowsProfile)
{
    QTemporaryDir dir;
    const auto path = std::filesystem::path(dir.path().toStdString()) / "p.ini";
    {
        std::ofstream out(path);
        out << "; a comment\n[Tip]\n  FilePos = 120abc \nTimeStamp=\"Mon Jan  1 00:00:00 2024\"\nStartUp=x\n\n[Other]\nk=v\n";
    }
    IniProfile p(path);
    EXPECT_EQ(p.GetInt("Tip", "FilePos", -1), 120);
    EXPECT_EQ(p.GetInt("Tip", "StartUp", -1), -1);  // no number
    EXPECT_EQ(p.GetString("Tip", "TimeStamp"), "Mon Jan  1 00:00:00 2024");
    ASSERT_TRUE(p.WriteInt("Tip", "FilePos", 5));
    ASSERT_TRUE(p.WriteString("Tip", "New", "line\nbreak"));
    EXPECT_EQ(ReadAll(path),
              "; a comment\n[Tip]\nFilePos=5\nTimeStamp=\"Mon Jan  1 00:00:00 2024\"\nStartUp=x\nNew=line break\n\n"
              "[Other]\nk=v\n");
}

TEST(Profile, UnwritableFileKeepsValueInMemory)
{
    QTemporaryDir dir;
    const auto blocker = std::filesystem::path(dir.path().toStdString()) / "file";
    { std::ofstream(blocker) << "x"; }
    IniProfile p(blocker / "p.ini");  // a folder that cannot exist
    EXPECT_FALSE(p.WriteString("A", "b", "c"));
    EXPECT_EQ(p.GetString("A", "b"), "c");
}

TEST(Profile, ANamedPipeInItsPlaceIsPassedOverNotWaitedOn)
{
    // Nobody writes into the pipe: reading it would wait for ever.
    QTemporaryDir dir;
    const auto pipe = std::filesystem::path(dir.path().toStdString()) / "Morvane.ini";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    morvane::test::WithinSeconds(20, [&] {
        IniProfile p(pipe);
        EXPECT_EQ(p.GetInt("Tip", "StartUp", 7), 7);
        EXPECT_TRUE(p.Keys("Recent File List").isEmpty());
        p.Reload();
        EXPECT_EQ(p.GetString("Tip", "FilePos", "none"), "none");
        // Nor is it written into or replaced: the value lives in memory.
        EXPECT_FALSE(p.WriteInt("Tip", "FilePos", 5));
        EXPECT_EQ(p.GetInt("Tip", "FilePos", 7), 5);
    });
    EXPECT_EQ(std::filesystem::status(pipe).type(), std::filesystem::file_type::fifo);
}

TEST(Profile, ReadsWindowsLineEndsAndAByteOrderMark)
{
    QTemporaryDir dir;
    const auto path = std::filesystem::path(dir.path().toStdString()) / "p.ini";
    { std::ofstream(path, std::ios::binary) << "\xEF\xBB\xBF[Tip]\r\nStartUp=0\r\nFilePos=42\r\n"; }
    IniProfile p(path);
    EXPECT_EQ(p.GetInt("Tip", "StartUp", 7), 0);
    EXPECT_EQ(p.GetInt("Tip", "FilePos", 7), 42);
    EXPECT_EQ(p.Keys("Tip"), (QStringList{"StartUp", "FilePos"}));
    // Written back with this system's line ends only.
    ASSERT_TRUE(p.WriteInt("Tip", "FilePos", 5));
    EXPECT_EQ(ReadAll(path), "[Tip]\nStartUp=0\nFilePos=5\n");
}
