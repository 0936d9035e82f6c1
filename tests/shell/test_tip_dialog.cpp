#include <QAbstractButton>
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QPointer>
#include <QTest>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>

#include "ShellFixture.h"
#include "platform/Dialog.h"
#include "shell/AboutDlg.h"
#include "shell/SplashWnd.h"
#include "shell/TipDlg.h"
#include "support/ManualClock.h"
#include "support/TimeLimit.h"

namespace fs = std::filesystem;
using namespace morvane;
using namespace morvane::test;

namespace {

void Click(QWidget* w)
{
    ASSERT_NE(w, nullptr);
    QTest::mouseClick(w, Qt::LeftButton, {}, w->rect().center());
}

QString Shown(CDialog& dlg) { return dlg.GetDlgItem<QLabel>(IDC_TIP_STRING)->text(); }

}  // namespace

// The tip dialog in a folder of its own, with its own tips file and profile.
class TipOfTheDay : public ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        m_profile = std::make_unique<IniProfile>(ProfilePath());
        m_profile->DeleteKey("Tip", "StartUp");
        m_oldCwd = fs::current_path();
        fs::current_path(m_dir.path().toStdString());
        WriteTips("; tips\nFirst\n\nSecond\n\tnot a tip\nThird\n");
    }
    void TearDown() override
    {
        fs::current_path(m_oldCwd);
        ShellTest::TearDown();
    }

    void WriteTips(const std::string& text)
    {
        std::ofstream("tips.txt", std::ios::binary) << text;
        // Each writing gets its own modification time.
        static int age = 1000;
        fs::last_write_time("tips.txt", fs::file_time_type::clock::now() - std::chrono::hours(age--));
    }

    // Opens the dialog, runs `script` in it and closes it as the script
    // leaves it (no script action: Escape).
    void Open(std::function<void(CDialog&)> script)
    {
        Ui().modal.push_back(std::move(script));
        CTipDlg dlg(Ui(), Profile());
        dlg.DoModal();
    }
    // The same with no tips file found.
    void OpenWithoutFile(std::function<void(CDialog&)> script)
    {
        Ui().modal.push_back(std::move(script));
        CTipDlg dlg(Ui(), Profile(), nullptr, std::nullopt);
        dlg.DoModal();
    }

    IniProfile& Profile() { return *m_profile; }

    std::unique_ptr<IniProfile> m_profile;
    fs::path m_oldCwd;
};

TEST_F(TipOfTheDay, ShowsOneTipPerOpeningAndGoesOnWhereItStopped)
{
    QStringList seen;
    bool startupChecked = false;
    Open([&](CDialog& dlg) {
        EXPECT_EQ(dlg.windowTitle(), "Tip of the Day");
        startupChecked = dlg.GetDlgItem<QCheckBox>(IDC_TIP_STARTUP)->isChecked();
        seen << Shown(dlg);
        for (int i = 0; i < 3; ++i) {
            Click(dlg.GetDlgItem(IDC_NEXT_TIP));
            seen << Shown(dlg);
        }
        Click(dlg.GetDlgItem(IDOK));
    });
    // The first tip first, then on, and round after the last.
    EXPECT_EQ(seen, (QStringList{"First\n", "Second\n", "Third\n", "First\n"}));
    EXPECT_TRUE(startupChecked);  // "StartUp" missing: the tip shows at start-up
    EXPECT_EQ(Profile().GetInt("Tip", "StartUp", -1), 0);

    // The next opening (this run or the next) shows the tip after it.
    Open([&](CDialog& dlg) { seen = {Shown(dlg)}; });
    EXPECT_EQ(seen, QStringList{"Second\n"});
    Open([&](CDialog& dlg) { seen = {Shown(dlg)}; });
    EXPECT_EQ(seen, QStringList{"Third\n"});

    // An edited file starts again with its first tip.
    WriteTips("New first\nNew second\n");
    Open([&](CDialog& dlg) { seen = {Shown(dlg)}; });
    EXPECT_EQ(seen, QStringList{"New first\n"});
}

TEST_F(TipOfTheDay, StartUpIsWrittenOnlyByClose)
{
    // Unchecked, then a Next Tip (which keeps the box as the user left it)
    // and Escape: nothing written.
    Open([](CDialog& dlg) {
        Click(dlg.GetDlgItem(IDC_TIP_STARTUP));
        Click(dlg.GetDlgItem(IDC_NEXT_TIP));
        EXPECT_FALSE(dlg.GetDlgItem<QCheckBox>(IDC_TIP_STARTUP)->isChecked());
        QTest::keyClick(&dlg, Qt::Key_Escape);
    });
    EXPECT_FALSE(Profile().HasKey("Tip", "StartUp"));
    // Unchecked and Close: 1, the tip no longer shows at start-up.
    Open([](CDialog& dlg) {
        Click(dlg.GetDlgItem(IDC_TIP_STARTUP));
        Click(dlg.GetDlgItem(IDOK));
    });
    EXPECT_EQ(Profile().GetInt("Tip", "StartUp", -1), 1);
    bool checked = true;
    Open([&](CDialog& dlg) { checked = dlg.GetDlgItem<QCheckBox>(IDC_TIP_STARTUP)->isChecked(); });
    EXPECT_FALSE(checked);
}

TEST_F(TipOfTheDay, MissingEmptyAndUnreadableFiles)
{
    // No tips file anywhere it is looked for.
    QString text;
    bool nextEnabled = true;
    auto look = [&](CDialog& dlg) {
        text = Shown(dlg);
        nextEnabled = dlg.GetDlgItem(IDC_NEXT_TIP)->isEnabled();
    };
    OpenWithoutFile(look);
    EXPECT_EQ(text, "The file Tips.txt does not exist in the current directory");
    EXPECT_FALSE(nextEnabled);
    EXPECT_FALSE(Profile().HasKey("Tip", "FilePos"));

    // Only comments: an empty tip, no Next Tip, and no endless search.
    WriteTips("; nothing\n\n   \n");
    WithinSeconds(10, [&] {
        Open(look);
        return 0;
    });
    EXPECT_EQ(text, "");
    EXPECT_FALSE(nextEnabled);

    // A place in the file that cannot be sought.
    WriteTips("Only\n");
    Open(look);  // takes the new time stamp
    Profile().WriteInt("Tip", "FilePos", -7);
    Ui().messages.clear();
    Open(look);
    ASSERT_EQ(Ui().messages.size(), 1u);
    EXPECT_EQ(Ui().messages[0].text, "Problem Reading the File");
}

class StartUpGreeting : public ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        IniProfile(ProfilePath()).DeleteKey("Tip", "StartUp");  // a fresh profile
    }
    void TearDown() override
    {
        m_clock.reset();
        ShellTest::TearDown();
    }
    std::optional<ManualClock> m_clock;
};

TEST_F(StartUpGreeting, SplashForAMomentThenTheTip)
{
    m_clock.emplace();
    Start();
    CSplashWnd* splash = CSplashWnd::Current();
    ASSERT_NE(splash, nullptr);
    EXPECT_TRUE(splash->isVisible());
    EXPECT_EQ(splash->size(), QSize(540, 336));
    EXPECT_EQ(splash->Surface().pixel(270, 5), splash->m_bitmap.pixel(270, 5));
    // The tip of the day ran at start-up (StartUp is missing).
    ASSERT_EQ(Ui().modalCaptions.size(), 1u);
    EXPECT_EQ(Ui().modalCaptions[0], "Tip of the Day");
    m_clock->Advance(1499);
    EXPECT_NE(CSplashWnd::Current(), nullptr);
    m_clock->Advance(1);
    EXPECT_EQ(CSplashWnd::Current(), nullptr);
}

TEST_F(StartUpGreeting, APressHidesTheSplashAndStillReachesItsWindow)
{
    m_clock.emplace();
    Start();
    ASSERT_NE(CSplashWnd::Current(), nullptr);
    // The press starts a drag in the view.
    QTest::mousePress(View()->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_EQ(CSplashWnd::Current(), nullptr);
    EXPECT_EQ(View()->m_nDragButton, 0);
    QTest::mouseRelease(View()->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
    DrainEvents();
}

TEST_F(StartUpGreeting, AMessageWhileTheSplashIsUpStandsOverTheMainFrame)
{
    m_clock.emplace();
    IniProfile(ProfilePath()).WriteInt("Tip", "StartUp", 1);
    Start({Path("missing.zyv")});
    ASSERT_NE(CSplashWnd::Current(), nullptr);
    ASSERT_EQ(Ui().messages.size(), 1u);
    EXPECT_EQ(Ui().messages[0].parent, Frame());
}

TEST_F(StartUpGreeting, TheSplashGoesWithoutTheWindowsOfOthersMadeOverIt)
{
    m_clock.emplace();
    Start();
    QPointer<CSplashWnd> splash = CSplashWnd::Current();
    ASSERT_NE(splash, nullptr);
    QPointer<QDialog> box = new QDialog(splash);
    box->show();

    // Its time is up: it hides, and the box stays as it was.
    m_clock->Advance(1500);
    DrainEvents();
    EXPECT_EQ(CSplashWnd::Current(), nullptr);
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->isVisible());
    ASSERT_NE(splash, nullptr);
    EXPECT_FALSE(splash->isVisible());

    // The box gone, the splash goes too.
    delete box.data();
    DrainEvents();
    EXPECT_EQ(splash, nullptr);
}

TEST_F(StartUpGreeting, CommandLineOptionsAndTheProfileTurnTheGreetingOff)
{
    Start({"-Embedding"});
    EXPECT_EQ(CSplashWnd::Current(), nullptr);
    EXPECT_TRUE(Ui().modalCaptions.empty());
    m_app.reset();
    DrainEvents();

    IniProfile(ProfilePath()).WriteInt("Tip", "StartUp", 1);
    Start();
    EXPECT_NE(CSplashWnd::Current(), nullptr);
    EXPECT_TRUE(Ui().modalCaptions.empty());
    // The command still shows the tip, and About its box.
    m_app->OnTipOfTheDay();
    QStringList about;
    bool hasIcon = false;
    Ui().modal.push_back([&](CDialog& dlg) {
        for (QLabel* label : dlg.findChildren<QLabel*>()) {
            if (!label->text().isEmpty()) about << label->text();
        }
        hasIcon = !dlg.GetDlgItem<QLabel>(IDC_ABOUT_ICON)->pixmap().isNull();
        Click(dlg.GetDlgItem(IDOK));
    });
    m_app->OnAppAbout();
    EXPECT_TRUE(about.contains("Morvane Version 4.0"));
    EXPECT_TRUE(hasIcon);
    ASSERT_EQ(Ui().modalCaptions.size(), 2u);
    EXPECT_EQ(Ui().modalCaptions[0], "Tip of the Day");
    EXPECT_EQ(Ui().modalCaptions[1], "About Morvane");
}
