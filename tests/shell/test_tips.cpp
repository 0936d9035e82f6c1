#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <fstream>

#include "engine/Paths.h"
#include "shell/TipFile.h"
#include "support/TimeLimit.h"

namespace fs = std::filesystem;
using namespace morvane;
using namespace morvane::test;

namespace {

class Tips : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    std::unique_ptr<TipFile> Make(const std::string& text)
    {
        const fs::path path = fs::path(m_dir.path().toStdString()) / "tips.txt";
        std::ofstream(path, std::ios::binary) << text;
        return TipFile::Open(path);
    }

    static std::string Next(TipFile& file)
    {
        std::string tip;
        EXPECT_EQ(file.ReadNextTip(&tip), TipFile::Status::Tip);
        return tip;
    }

    QTemporaryDir m_dir;
};

}  // namespace

TEST_F(Tips, CommentsAndEmptyLinesAreSkippedAndTheEndWrapsToTheFirstTip)
{
    auto file = Make("; a comment\n\n\tindented\n blank first\nFirst tip\r\n\r\nSecond tip\nLast tip, no newline");
    ASSERT_TRUE(file);
    EXPECT_EQ(Next(*file), "First tip\n");
    const long afterFirst = file->Position();
    EXPECT_EQ(Next(*file), "Second tip\n");
    EXPECT_EQ(Next(*file), "Last tip, no newline");
    EXPECT_EQ(Next(*file), "First tip\n");
    // A kept position goes on from there.
    ASSERT_TRUE(file->Seek(afterFirst));
    EXPECT_EQ(Next(*file), "Second tip\n");
    EXPECT_FALSE(file->Seek(-5));
}

TEST_F(Tips, ALongLineIsReadIn999ByteParts)
{
    const std::string line(1500, 'x');
    auto file = Make(line + "\nshort\n");
    ASSERT_TRUE(file);
    EXPECT_EQ(Next(*file), std::string(999, 'x'));
    EXPECT_EQ(Next(*file), std::string(501, 'x') + "\n");
    EXPECT_EQ(Next(*file), "short\n");
}

TEST_F(Tips, OnlyARegularFileIsTakenAndAPipeIsNeverWaitedOn)
{
    const fs::path pipe = fs::path(m_dir.path().toStdString()) / "pipe.txt";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_FALSE(WithinSeconds(5, [&] { return TipFile::Open(pipe); }));
    EXPECT_FALSE(TipFile::Open(m_dir.path().toStdString()));
}

TEST_F(Tips, AFileWithoutTipsEndsTheSearch)
{
    for (const char* text : {"", "; only comments\n\n \n\t\n", "\r\n\r\n"}) {
        auto file = Make(text);
        ASSERT_TRUE(file);
        file->Seek(1);  // from the middle, too
        const TipFile::Status status = WithinSeconds(5, [&] {
            std::string tip;
            return file->ReadNextTip(&tip);
        });
        EXPECT_EQ(status, TipFile::Status::NoTip) << text;
    }
}

TEST_F(Tips, TimeStampIsTheCtimeOfTheModificationTime)
{
    auto file = Make("tip\n");
    ASSERT_TRUE(file);
    const fs::path path = fs::path(m_dir.path().toStdString()) / "tips.txt";
    const auto when = fs::file_time_type::clock::now() - std::chrono::hours(24 * 400);
    fs::last_write_time(path, when);
    const time_t t = std::chrono::system_clock::to_time_t(std::chrono::file_clock::to_sys(when));
    char expected[64];
    ASSERT_TRUE(ctime_r(&t, expected));
    std::string trimmed(expected);
    trimmed.pop_back();  // the newline
    EXPECT_EQ(file->TimeStamp(), trimmed);
    EXPECT_EQ(trimmed.size(), 24u);
}

TEST_F(Tips, TheProgramsOwnTipsAreFoundBehindTheCurrentFolder)
{
    const fs::path old = fs::current_path();
    setenv("MORVANE_ROOT", (m_dir.path() + "/root").toUtf8().constData(), 1);
    fs::current_path(m_dir.path().toStdString());

    // The shipped copy (the build's data folder) holds a dozen tips or more,
    // each one line.
    auto shipped = FindTipsFile();
    ASSERT_TRUE(shipped);
    auto file = TipFile::Open(*shipped);
    ASSERT_TRUE(file);
    std::string first = Next(*file), tip = first;
    int count = 0;
    do {
        EXPECT_LT(tip.size(), 999u);
        EXPECT_TRUE(tip.ends_with("\n"));
        ++count;
        tip = Next(*file);
    } while (tip != first && count < 100);
    EXPECT_GE(count, 12);

    // A "tips.txt" in the current folder comes first.
    std::ofstream("tips.txt") << "local\n";
    EXPECT_EQ(FindTipsFile(), fs::path(".") / "tips.txt");

    fs::current_path(old);
    unsetenv("MORVANE_ROOT");
}
