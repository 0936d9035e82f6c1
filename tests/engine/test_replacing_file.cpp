// A file written piece by piece can have bytes already written patched
// (sizes in a header known only at the end), never past what was written.
#include <gtest/gtest.h>

#include <filesystem>

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
        ASSERT_EQ(f.Commit(), "");
    }
    const FileBytes back = ReadFileBytes(path);
    fs::remove(path);
    ASSERT_EQ(back.bytes.size(), 100024u);
    EXPECT_EQ(back.bytes[0], 1);
    EXPECT_EQ(back.bytes[3], 4);
    EXPECT_EQ(back.bytes[4], 0);
    EXPECT_EQ(back.bytes[100003], 7);
    EXPECT_EQ(back.bytes[100004], 1);
    EXPECT_EQ(back.bytes[100007], 4);
    EXPECT_EQ(back.bytes[100008], 0);
    EXPECT_EQ(back.bytes[100015], 0);
}
