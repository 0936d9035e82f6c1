// The editor, started as a child and exporting a movie, removes the frame
// files of the export when SIGINT, SIGTERM or SIGHUP ends it, and ends as
// the signal says.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <string>

#include "engine/Presets.h"
#include "engine/TextureFile.h"
#include "support/ChildProcess.h"
#include "support/PresetTextures.h"

using namespace morvane;
using namespace morvane::test;
namespace fs = std::filesystem;

namespace {

// The frame files below `tmp`, and the folders that hold them.
int FrameFiles(const fs::path& tmp)
{
    int n = 0;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(tmp, ec), end; !ec && it != end; it.increment(ec))
        n += it->path().filename().string().starts_with("morvane-frames-") || it->path().extension() == ".ppm";
    return n;
}

}  // namespace

TEST(EndedExport, TheEditorRemovesItsFramesWhenInterruptedTerminatedOrHungUp)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const fs::path root = dir.path().toStdString();
    const fs::path tmp = root / "tmp";
    fs::create_directories(tmp);
    // 1000 frames of 160 x 120: the export is still writing them when the
    // signal comes.
    Texture texture = ThreeLayers(160, 120);
    AnimateFirstLayer(texture, 40.0f);
    ASSERT_EQ(WriteTextureFile(root / "long.zyv", texture).error, "");

    for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(strsignal(sig));
        const pid_t editor = StartChild({MORVANE_EXPORTING_EDITOR, (root / "long.zyv").string(),
                                         (root / "long.mpg").string(), (root / "Morvane.ini").string()},
                                        {"TMPDIR=" + tmp.string(), "MORVANE_ROOT=" + (root / "root").string(),
                                         "XDG_RUNTIME_DIR=" + dir.path().toStdString(), "QT_QPA_PLATFORM=offscreen"});
        ASSERT_GT(editor, 0);
        for (int i = 0; i < 3000 && FrameFiles(tmp) < 2; ++i) usleep(10000);
        EXPECT_GE(FrameFiles(tmp), 2) << "the editor did not start exporting";
        kill(editor, sig);
        const int status = WaitAtMost(editor, 30);
        EXPECT_TRUE(status != -1 && WIFSIGNALED(status) && WTERMSIG(status) == sig) << "status " << status;
        EXPECT_EQ(FrameFiles(tmp), 0);
        EXPECT_FALSE(fs::exists(root / "long.mpg"));
    }
}
