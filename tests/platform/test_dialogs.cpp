#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <QWidget>

#include <cstdlib>

#include "platform/CommandLineInfo.h"
#include "platform/DialogUnits.h"
#include "platform/QtDialogs.h"
#include "platform/UiDialogs.h"
#include "support/ScriptedDialogs.h"
#include "support/QtTestApp.h"

TEST(Dialogs, FiltersBecomeQtNameFilters)
{
    EXPECT_EQ(ConvertFilter("Texture File (*.zyv) | *.zyv| Layer File (*.kvo) | *.kvo||"),
              (QStringList{"Texture File (*.zyv)", "Layer File (*.kvo)"}));
    EXPECT_EQ(ConvertFilter("Truevision Targa Files *.tga | *.tga|MPEG-1 Movie Files *.mpg | *.mpg||"),
              (QStringList{"Truevision Targa Files *.tga (*.tga)", "MPEG-1 Movie Files *.mpg (*.mpg)"}));
    EXPECT_TRUE(ConvertFilter("").isEmpty());
}

TEST(Dialogs, InitialFolderIsBelowTheRoot)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath("KVO"));
    setenv("MORVANE_ROOT", dir.path().toUtf8().constData(), 1);
    EXPECT_EQ(QDir(NativeInitialDir("\\kvo")).canonicalPath(), QDir(dir.path() + "/KVO").canonicalPath());
    unsetenv("MORVANE_ROOT");
}

TEST(Dialogs, ScriptedAnswersAndRecordedTexts)
{
    morvane::test::EnsureQtApp();
    ScriptedDialogs ui;
    ui.answers = {IDYES};
    ui.files = {{"/a.zyv", "/b.zyv"}};
    EXPECT_EQ(ui.Message("Question ?", MB_YESNO | MB_ICONQUESTION), IDYES);
    EXPECT_EQ(ui.Message("Again ?", MB_YESNO), IDCANCEL);  // nothing scripted
    EXPECT_EQ(ui.Message("Note"), IDOK);
    ASSERT_EQ(ui.messages.size(), 3u);
    EXPECT_EQ(ui.messages[0].text, "Question ?");
    EXPECT_EQ(ui.messages[0].caption, "Morvane");
    EXPECT_EQ(ui.messages[0].style, unsigned(MB_YESNO | MB_ICONQUESTION));
    FileDialogRequest r;
    r.title = "Open and Load a Texture";
    EXPECT_EQ(ui.FileDialog(nullptr, r), (QStringList{"/a.zyv", "/b.zyv"}));
    EXPECT_TRUE(ui.FileDialog(nullptr, r).isEmpty());
    EXPECT_EQ(ui.fileRequests.size(), 2u);
}

TEST(Dialogs, ADialogStandsOverALastingWindowNeverOverAPassingOne)
{
    morvane::test::EnsureQtApp();
    QWidget frame;
    QWidget* panel = new QWidget(&frame);
    EXPECT_EQ(LastingParent(panel), panel);
    EXPECT_EQ(LastingParent(nullptr), nullptr);

    // The splash over the frame, and a pop-up over the splash.
    QWidget* splash = new QWidget(&frame, Qt::SplashScreen);
    QWidget* popup = new QWidget(splash, Qt::Popup);
    EXPECT_EQ(LastingParent(splash), &frame);
    EXPECT_EQ(LastingParent(new QWidget(popup)), &frame);
    QWidget lone(nullptr, Qt::SplashScreen);
    EXPECT_EQ(LastingParent(&lone), nullptr);
}

TEST(Dialogs, TellerShowsEachTextInAMessageBox)
{
    morvane::test::EnsureQtApp();
    ScriptedDialogs ui;
    const std::function<void(const std::string&)> tell = ui.Teller();
    tell("Unable to read \"caf\xc3\xa9.tga\".");
    tell("Second.");
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[0].text, QStringLiteral("Unable to read \"caf\u00e9.tga\"."));
    EXPECT_EQ(ui.messages[0].caption, "Morvane");
    EXPECT_EQ(ui.messages[0].style, unsigned(MB_OK | MB_ICONEXCLAMATION));
    EXPECT_EQ(ui.messages[1].text, "Second.");
}

TEST(DialogUnits, ConvertLikeTheDialogFont)
{
    const DialogBaseUnits b{6, 13};
    EXPECT_EQ(MapDialogSize(QSize(186, 423), b), QSize(279, 687));
    EXPECT_EQ(MapDialogSize(QSize(957, 41), b), QSize(1436, 67));
    EXPECT_EQ(DluToPixelsY(18, b), 29);
    EXPECT_EQ(DluToPixelsY(26, b), 42);
    // Adjoining rectangles stay adjoining.
    const QRect a = MapDialogRect(QRect(3, 90, 20, 90), b);
    const QRect c = MapDialogRect(QRect(23, 90, 20, 90), b);
    EXPECT_EQ(a.right() + 1, c.left());
}

TEST(CommandLine, ShellCommands)
{
    auto none = CCommandLineInfo::Parse({});
    EXPECT_EQ(none.m_nShellCommand, CCommandLineInfo::FileNew);
    EXPECT_TRUE(none.m_bShowSplash);

    auto open = CCommandLineInfo::Parse({"/home/u/p.zyv"});
    EXPECT_EQ(open.m_nShellCommand, CCommandLineInfo::FileOpen);
    EXPECT_EQ(open.m_strFileName, "/home/u/p.zyv");
    EXPECT_TRUE(open.m_bShowSplash);

    auto print = CCommandLineInfo::Parse({"/p", "t.zyv"});
    EXPECT_EQ(print.m_nShellCommand, CCommandLineInfo::FilePrint);
    EXPECT_EQ(print.m_strFileName, "t.zyv");
    EXPECT_FALSE(print.m_bShowSplash);

    auto printTo = CCommandLineInfo::Parse({"-PT", "t.zyv", "Laser", "drv", "port"});
    EXPECT_EQ(printTo.m_nShellCommand, CCommandLineInfo::FilePrintTo);
    EXPECT_EQ(printTo.m_strPrinterName, "Laser");
    EXPECT_EQ(printTo.m_strPortName, "port");
    EXPECT_EQ(printTo.m_fileNames, QStringList{"t.zyv"});

    // A desktop's file manager names every file it opens.
    auto several = CCommandLineInfo::Parse({"a.zyv", "/b/b.zyv", "c.kvo"});
    EXPECT_EQ(several.m_nShellCommand, CCommandLineInfo::FileOpen);
    EXPECT_EQ(several.m_strFileName, "a.zyv");
    EXPECT_EQ(several.m_fileNames, (QStringList{"a.zyv", "/b/b.zyv", "c.kvo"}));

    auto embedded = CCommandLineInfo::Parse({"/Embedding"});
    EXPECT_FALSE(embedded.m_bShowSplash);
    EXPECT_EQ(embedded.m_nShellCommand, CCommandLineInfo::FileNew);
}
