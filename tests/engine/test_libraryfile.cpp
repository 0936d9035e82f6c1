#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "engine/LibraryFile.h"
#include "engine/Paths.h"
#include "engine/SafeFile.h"
#include "support/SampleTextures.h"

namespace fs = std::filesystem;
using namespace morvane;
using morvane::test::BytesOf;
using morvane::test::SameTexture;
using morvane::test::SampleTexture;

namespace {

std::vector<uint8_t> LibraryBytes(int16_t count, size_t entries)
{
    std::vector<uint8_t> b(LibraryFileSize(entries), 0);
    std::memcpy(b.data(), &count, 2);
    return b;
}

// A folder of its own standing for the root of the drive, made current.
class LibraryFolderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        root_ = fs::temp_directory_path() / ("morvane-library-" + std::to_string(::getpid()));
        fs::remove_all(root_);
        fs::create_directories(root_ / "cwd");
        setenv("MORVANE_ROOT", root_.c_str(), 1);
        oldCwd_ = fs::current_path();
        fs::current_path(root_ / "cwd");
    }
    void TearDown() override
    {
        fs::current_path(oldCwd_);
        unsetenv("MORVANE_ROOT");
        fs::remove_all(root_);
    }
    static void WriteTexture(const fs::path& p, const Texture& t)
    {
        fs::create_directories(p.parent_path());
        ASSERT_EQ(WriteTextureFile(p, t).error, "");
    }
    fs::path root_, oldCwd_;
};

}  // namespace

TEST(LibraryFile, EntriesWriteAsFixedFieldsAndReadBackEqual)
{
    const std::vector<LibraryEntry> two{{"\\marble.zyv", "C:\\tex\\marble.zyv"}, {"\\wood.zyv", "/home/u/wood.zyv"}};
    const std::vector<uint8_t> bytes = EncodeLibraryFile(two);
    ASSERT_EQ(bytes.size(), 322u);
    EXPECT_EQ(bytes[0], 2);
    EXPECT_EQ(bytes[1], 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[2])), "\\marble.zyv");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[82])), "C:\\tex\\marble.zyv");
    EXPECT_EQ(bytes[161], 0);  // the rest of a field is zeros

    const auto back = ParseLibraryFile(bytes);
    ASSERT_TRUE(back.ok()) << back.error;
    EXPECT_EQ(*back.value, two);

    const std::vector<uint8_t> empty = EncodeLibraryFile({});
    EXPECT_EQ(empty, std::vector<uint8_t>({0, 0}));
    const auto none = ParseLibraryFile(empty);
    ASSERT_TRUE(none.ok());
    EXPECT_TRUE(none.value->empty());
}

TEST(LibraryFile, FieldsStopAtTheirTerminatorOrTheirEnd)
{
    std::vector<uint8_t> bytes = LibraryBytes(1, 1);
    std::memcpy(&bytes[2], "\\a.zyv\0junk", 11);  // bytes after the NUL mean nothing
    std::memset(&bytes[82], 'p', 80);            // no terminator: the whole field
    const auto r = ParseLibraryFile(bytes);
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.value->at(0).name, "\\a.zyv");
    EXPECT_EQ(r.value->at(0).path, std::string(80, 'p'));

    // Written again, the full field stays inside its 80 bytes.
    const std::vector<uint8_t> again = EncodeLibraryFile(*r.value);
    ASSERT_EQ(again.size(), 162u);
    EXPECT_EQ(*ParseLibraryFile(again).value, *r.value);
    const std::vector<LibraryEntry> tooLong{{std::string(200, 'n'), "x"}};
    EXPECT_EQ(EncodeLibraryFile(tooLong).size(), 162u);
}

TEST(LibraryFile, DamagedFilesAreRefused)
{
    EXPECT_FALSE(ParseLibraryFile({}).ok());
    EXPECT_FALSE(ParseLibraryFile(std::vector<uint8_t>{1}).ok());

    const auto negative = ParseLibraryFile(LibraryBytes(-1, 3));
    EXPECT_FALSE(negative.ok());
    EXPECT_NE(negative.error.find("negative"), std::string::npos);
    EXPECT_FALSE(ParseLibraryFile(LibraryBytes(-32768, 0)).ok());

    // A count beyond the entries held, and an entry cut short.
    EXPECT_FALSE(ParseLibraryFile(LibraryBytes(32767, 2)).ok());
    std::vector<uint8_t> cut = LibraryBytes(2, 2);
    cut.pop_back();
    EXPECT_FALSE(ParseLibraryFile(cut).ok());

    // Bytes after the last entry are not read.
    std::vector<uint8_t> longer = LibraryBytes(1, 2);
    const auto r = ParseLibraryFile(longer);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.value->size(), 1u);
}

TEST_F(LibraryFolderTest, LibraryFilesOnDiskReportWhatFails)
{
    const std::vector<LibraryEntry> entries{{"\\a.zyv", "\\kvo\\a.zyv"}};
    const fs::path file = root_ / "kvo/mine.jxw";
    fs::create_directories(file.parent_path());
    ASSERT_EQ(WriteLibraryFile(file, entries).error, "");
    EXPECT_EQ(fs::file_size(file), 162u);
    EXPECT_EQ(*ReadLibraryFile(file).value, entries);

    const std::string cannot = WriteLibraryFile(root_ / "no/such/folder/x.jxw", entries).error;
    EXPECT_NE(cannot.find("Unable to save"), std::string::npos);
    EXPECT_NE(cannot.find("x.jxw"), std::string::npos);

    const auto missing = ReadLibraryFile(root_ / "missing.jxw");
    EXPECT_FALSE(missing.ok());
    EXPECT_NE(missing.error.find("missing.jxw"), std::string::npos);
}

TEST_F(LibraryFolderTest, StoredPathsFitTheirFieldOrAreRefused)
{
    EXPECT_EQ(LibraryEntryName("C:\\tex\\marble.zyv"), "\\marble.zyv");
    EXPECT_EQ(LibraryEntryName("/home/u/wood.zyv"), "\\wood.zyv");
    EXPECT_EQ(LibraryEntryName("plain.zyv"), "\\plain.zyv");

    EXPECT_EQ(StoredLibraryPath("/tmp/short.zyv"), "/tmp/short.zyv");

    // Too long as it stands, but below the root folder: the drive-rooted form.
    const std::string deep(60, 'd');
    const fs::path below = root_ / "kvo" / deep / "m.zyv";
    EXPECT_EQ(StoredLibraryPath(below), "\\kvo\\" + deep + "\\m.zyv");
    EXPECT_EQ(MapStoredPath(*StoredLibraryPath(below)), below);

    // Too long either way.
    EXPECT_FALSE(StoredLibraryPath(root_ / "kvo" / std::string(80, 'x') / "m.zyv"));
    EXPECT_FALSE(StoredLibraryPath(fs::path("/elsewhere") / deep / deep / "m.zyv"));
    EXPECT_TRUE(FitsLibraryField(std::string(79, 'a')));
    EXPECT_FALSE(FitsLibraryField(std::string(80, 'a')));
}

TEST_F(LibraryFolderTest, EntriesAreFoundByPathThenByName)
{
    WriteTexture(root_ / "kvo/marble.zyv", SampleTexture(1));
    const LibraryEntry moved{"\\marble.zyv", "C:\\old\\place\\marble.zyv"};
    EXPECT_FALSE(FindLibraryTexture(moved, false, {}));
    EXPECT_EQ(FindLibraryTexture(moved, true, {}), root_ / "kvo/marble.zyv");

    // The stored path wins; the name itself means the root of the drive.
    WriteTexture(root_ / "textures/marble.zyv", SampleTexture(2));
    EXPECT_EQ(FindLibraryTexture({"\\marble.zyv", "\\textures\\marble.zyv"}, false, {}), root_ / "textures/marble.zyv");
    WriteTexture(root_ / "marble.zyv", SampleTexture(1));
    EXPECT_EQ(FindLibraryTexture(moved, true, {}), root_ / "marble.zyv");

    EXPECT_FALSE(FindLibraryTexture({"\\nowhere.zyv", "\\nowhere.zyv"}, true, {}));
    EXPECT_FALSE(FindLibraryTexture({"\\", "\\kvo"}, true, {}));  // folders are not textures

    // A relative path lies beside the library, wherever the library is.
    WriteTexture(root_ / "moved/share/Marble.zyv", SampleTexture(3));
    const LibraryEntry shipped{"\\marble.zyv", "marble.zyv"};
    EXPECT_EQ(FindLibraryTexture(shipped, false, root_ / "moved/share"), root_ / "moved/share/Marble.zyv");
    EXPECT_FALSE(FindLibraryTexture(shipped, false, root_ / "moved"));
}

TEST_F(LibraryFolderTest, LibraryTexturesReadAsTextureFiles)
{
    const Texture sample = SampleTexture(2, 1, 3);
    WriteTexture(root_ / "a.zyv", sample);
    fs::copy_file(root_ / "a.zyv", root_ / "a.KVO");  // read as a texture whatever the extension

    const auto a = ReadLibraryTexture(root_ / "a.zyv");
    const auto b = ReadLibraryTexture(root_ / "a.KVO");
    ASSERT_TRUE(a.ok()) << a.error;
    ASSERT_TRUE(b.ok()) << b.error;
    EXPECT_TRUE(SameTexture(*a.value, sample));
    EXPECT_TRUE(SameTexture(*b.value, sample));

    std::vector<uint8_t> shortFile = EncodeTextureFile(sample);
    shortFile.resize(shortFile.size() - 1);
    ASSERT_EQ(WriteFileReplacing(root_ / "short.zyv", shortFile).error, "");
    const auto bad = ReadLibraryTexture(root_ / "short.zyv");
    EXPECT_FALSE(bad.ok());
    EXPECT_NE(bad.error.find("short.zyv"), std::string::npos);
}

TEST(LibraryCopy, ReplacesTheLayerStackWithADeepCopy)
{
    Texture library = SampleTexture(2, 1, 3);
    library.layers[1].layer.SetPicture(160, 120, std::vector<uint8_t>(160 * 120 * 4, 0x5A));
    library.layers[0].layer.gradient->head.count = 7;
    Texture document = SampleTexture(4);
    document.layers[0].layer.rec.reserved18[1] = 0x77;

    // Everything of the library's layers, pictures included; the document
    // keeps its reserved block and, in a layer it had, the reserved words
    // at 18 and 22; gradient heads are fresh (a key's counts 24).
    Texture expected = library;
    expected.reserved = document.reserved;
    std::memcpy(expected.layers[0].layer.rec.reserved18, document.layers[0].layer.rec.reserved18, 4);
    std::memcpy(expected.layers[0].layer.rec.reserved22, document.layers[0].layer.rec.reserved22, 4);
    for (LayerSlot& s : expected.layers) {
        s.layer.gradient->head.reserved[1] = 0;
        for (Keyframe& k : s.layer.keys) k.gradient.head = GradientTable{24, 0, {0, 0}};
    }

    CopyLibraryTexture(library, document);
    EXPECT_TRUE(SameTexture(document, expected));
    EXPECT_EQ(+document.layers[0].layer.gradient->head.count, 7);
    EXPECT_EQ(document.layers[1].layer.Pixels(), library.layers[1].layer.Pixels());
}
