#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "engine/Paths.h"

namespace fs = std::filesystem;
using namespace morvane;

namespace {

class PathsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        root_ = fs::temp_directory_path() / ("morvane-paths-" + std::to_string(::getpid()));
        fs::remove_all(root_);
        fs::create_directories(root_);
        setenv("MORVANE_ROOT", root_.c_str(), 1);
        oldCwd_ = fs::current_path();
        fs::create_directories(root_ / "cwd");
        fs::current_path(root_ / "cwd");
    }
    void TearDown() override
    {
        fs::current_path(oldCwd_);
        unsetenv("MORVANE_ROOT");
        fs::remove_all(root_);
    }
    static void Touch(const fs::path& p, const char* text = "x")
    {
        fs::create_directories(p.parent_path());
        std::ofstream(p) << text;
    }
    fs::path root_, oldCwd_;
};

}  // namespace

TEST_F(PathsTest, DriveRootedPathsGoBelowTheRoot)
{
    EXPECT_EQ(RootFolder(), root_);
    EXPECT_EQ(MapStoredPath("\\kvo\\interface.zyv"), root_ / "kvo/interface.zyv");
    EXPECT_EQ(MapStoredPath("C:\\Pictures\\a.tga"), root_ / "Pictures/a.tga");
    EXPECT_EQ(MapStoredPath("d:\\x"), root_ / "x");
    EXPECT_EQ(MapStoredPath("pics\\a.tga"), fs::path("pics/a.tga"));
    EXPECT_EQ(MapStoredPath("/usr/share/a.tga"), fs::path("/usr/share/a.tga"));
    EXPECT_EQ(MapStoredPath(""), fs::path());
    EXPECT_TRUE(EnsureRootFolders());
    EXPECT_TRUE(fs::is_directory(root_ / "kvo"));
}

TEST_F(PathsTest, LookupFallsBackToCaseInsensitiveComponents)
{
    Touch(root_ / "Kvo/Textures/Marble.ZYV");
    auto found = ResolveStoredPath("C:\\KVO\\textures\\marble.zyv");
    ASSERT_TRUE(found);
    EXPECT_EQ(*found, root_ / "Kvo/Textures/Marble.ZYV");
    EXPECT_FALSE(ResolveStoredPath("\\kvo\\textures\\missing.zyv"));
    EXPECT_FALSE(ResolveStoredPath("\\nowhere\\marble.zyv"));

    Touch(root_ / "cwd/Local.TGA");
    found = ResolveStoredPath("local.tga");
    ASSERT_TRUE(found);
    EXPECT_EQ(found->filename(), "Local.TGA");
}

TEST_F(PathsTest, DataFilesAreSearchedInOrder)
{
    EXPECT_FALSE(FindDataFile("nothing-like-this.par"));
    Touch(root_ / "winNT/probe.par", "last");
    EXPECT_EQ(*FindDataFile("probe.par"), root_ / "winNT/probe.par");
    Touch(root_ / "Windows/PROBE.PAR", "windows");
    EXPECT_EQ(*FindDataFile("probe.par"), root_ / "Windows/PROBE.PAR");
    Touch(root_ / "dos/probe.par", "dos");
    EXPECT_EQ(*FindDataFile("probe.par"), root_ / "dos/probe.par");
    Touch(root_ / "cwd/probe.par", "here");
    EXPECT_EQ(FindDataFile("probe.par")->filename(), "probe.par");
    EXPECT_EQ(fs::canonical(*FindDataFile("probe.par")), fs::canonical(root_ / "cwd/probe.par"));
    // A folder of that name is not a data file.
    fs::create_directories(root_ / "dos/folder.par");
    EXPECT_FALSE(FindDataFile("folder.par"));
}

TEST(DataSearch, ShippedDataLiesBesideTheProgram)
{
    // A program of the build tree (these tests are one) uses the build's
    // data folder, and only that.
    const fs::path build = fs::weakly_canonical(fs::path(MORVANE_BUILD_DIR));
    ASSERT_TRUE(ProgramFolder());
    EXPECT_EQ(ShippedDataFolders(ProgramFolder()), std::vector<fs::path>{fs::path(MORVANE_BUILD_DIR) / "data"});
    EXPECT_EQ(ShippedDataFolders(build / "app"), std::vector<fs::path>{fs::path(MORVANE_BUILD_DIR) / "data"});

    // An installed program, wherever its prefix lies, first looks in the
    // data folder of that prefix, and never in the build tree.
    for (const fs::path prefix : {"/opt/morvane", "/home/someone/.local", "/tmp/moved/elsewhere"}) {
        const std::vector<fs::path> folders = ShippedDataFolders(prefix / "bin");
        ASSERT_FALSE(folders.empty());
        EXPECT_EQ(folders.front(), prefix / "share/morvane");
        for (const fs::path& f : folders) EXPECT_NE(f, fs::path(MORVANE_BUILD_DIR) / "data");
    }
    // A build tree of the same name further down is not this build tree.
    EXPECT_EQ(ShippedDataFolders(fs::path("/elsewhere") / build.relative_path() / "app").front(),
              fs::path("/elsewhere") / build.relative_path() / "share/morvane");
}
