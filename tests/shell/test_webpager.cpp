#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "ShellFixture.h"
#include "platform/Dialog.h"
#include "platform/FileName.h"
#include "platform/StringTable.h"
#include "shell/Resource.h"
#include "shell/WebPager.h"
#include "support/QtTestApp.h"
#include "support/ScriptedDialogs.h"
#include "support/WebPageSamples.h"

using namespace morvane;
using namespace morvane::test;

namespace {

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string ReadAll(const QString& path) { return ReadAll(path.toStdString()); }

void WriteAll(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

void WriteAll(const QString& path, const std::string& bytes) { WriteAll(path.toStdString(), bytes); }

void Click(QWidget* w)
{
    ASSERT_NE(w, nullptr);
    QTest::mouseClick(w, Qt::LeftButton, {}, w->rect().center());
}

// Types into a one-line field as a user does (the field emptied first).
void Type(CDialog& dlg, int id, const QString& text)
{
    auto* edit = dlg.GetDlgItem<QLineEdit>(id);
    ASSERT_NE(edit, nullptr) << id;
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, text);
}

QString Field(CDialog& dlg, int id) { return dlg.GetDlgItem<QLineEdit>(id)->text(); }

// Records the pages the desktop is asked to open.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void Open(const QUrl& url) { opened << url; }
};

}  // namespace

class WebPagerDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        EnsureQtApp();
        ASSERT_TRUE(m_dir.isValid());
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &m_browser, "Open");
    }
    void TearDown() override
    {
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        // QTemporaryDir reads the names in it as UTF-8, and cannot remove a
        // file whose name is not.
        std::error_code error;
        std::filesystem::remove_all(m_dir.path().toStdString(), error);
    }

    QString Page() const { return m_dir.filePath(QStringLiteral("page.htm")); }

    // Runs the dialog with `script`.
    void Run(std::function<void(CWebPager&)> script)
    {
        m_ui.modal.push_back([script](CDialog& dlg) { script(static_cast<CWebPager&>(dlg)); });
        CWebPager dlg(m_ui);
        EXPECT_EQ(dlg.DoModal(), IDCANCEL);
        EXPECT_EQ(m_ui.modalCaptions.back(), "Web Pager");
    }

    QTemporaryDir m_dir;
    ScriptedDialogs m_ui;
    UrlRecorder m_browser;
};

TEST_F(WebPagerDialog, ItemsBuiltInTheDialogAreWrittenBySave)
{
    QFont arial(QStringLiteral("Arial"));
    arial.setPixelSize(16);
    arial.setBold(true);
    m_ui.fonts = {arial};
    m_ui.colors = {QColor(255, 0, 0)};
    Run([&](CWebPager& dlg) {
        Type(dlg, IDC_PAGE_URL, Page());
        Type(dlg, IDC_BACKGROUND, QStringLiteral("C:\\tex\\wood.zyv"));
        // Edits before any item exists change nothing.
        Type(dlg, IDC_FRAME_TEXTURE, QStringLiteral("ignored.zyv"));
        EXPECT_EQ(dlg.m_itemCount, 0);

        Click(dlg.GetDlgItem(IDC_ADD_FRAME));
        EXPECT_EQ(Field(dlg, IDC_FRAME_COUNT), "1");
        EXPECT_EQ(Field(dlg, IDC_CURRENT_FRAME), "0");
        EXPECT_EQ(Field(dlg, IDC_FRAME_WIDTH), "50");
        EXPECT_EQ(Field(dlg, IDC_BORDER_SIZE), "10");
        Type(dlg, IDC_FRAME_TEXTURE, QStringLiteral("a.zyv"));
        Type(dlg, IDC_FRAME_WIDTH, QStringLiteral("120"));
        Type(dlg, IDC_FRAME_HEIGHT, QStringLiteral("80"));
        Type(dlg, IDC_BORDER_SIZE, QStringLiteral("3"));
        QTest::keyClicks(dlg.GetDlgItem<QPlainTextEdit>(IDC_FRAME_TEXT), QStringLiteral("Hello"));
        QComboBox* types = dlg.GetDlgItem<QComboBox>(IDC_BORDER_TYPE);
        ASSERT_EQ(types->count(), 6);
        EXPECT_EQ(types->itemText(4), "Black Border");
        types->setFocus();
        QTest::keyClick(types, Qt::Key_Down);  // Up -> Down
        Click(dlg.GetDlgItem(1071));             // text centred
        Click(dlg.GetDlgItem(IDC_FONTS));
        Click(dlg.GetDlgItem(IDC_COLOR));

        // A second item, left as it comes.
        Click(dlg.GetDlgItem(IDC_ADD_FRAME));
        EXPECT_EQ(Field(dlg, IDC_FRAME_TEXTURE), "");
        Type(dlg, IDC_FRAME_TEXTURE, QStringLiteral("b.zyv"));

        // Going back to the first shows its fields.
        Type(dlg, IDC_CURRENT_FRAME, QStringLiteral("0"));
        EXPECT_EQ(Field(dlg, IDC_FRAME_TEXTURE), "a.zyv");
        EXPECT_EQ(Field(dlg, IDC_FRAME_WIDTH), "120");
        EXPECT_EQ(dlg.GetDlgItem<QPlainTextEdit>(IDC_FRAME_TEXT)->toPlainText(), "Hello");
        EXPECT_EQ(types->currentIndex(), 1);

        Click(dlg.GetDlgItem(IDC_SAVE_PAGES));
        Click(dlg.GetDlgItem(IDCANCEL));
    });
    // The font dialog opened on the dialog's font, the colour dialog on white.
    ASSERT_EQ(m_ui.colorRequests.size(), 1u);
    EXPECT_EQ(m_ui.colorRequests[0], QColor(Qt::white));

    WebPage expected{Page().toStdString(), "C:\\tex\\wood.zyv", {}};
    WebPagerItem first;
    first.texturePath = "a.zyv";
    first.text = "Hello";
    first.width = 120;
    first.height = 80;
    first.borderSize = 3;
    first.borderType = 1;
    first.textAlign = 1;
    first.font.height = -16;
    first.font.weight = 700;
    first.font.faceName = "Arial";
    first.colour[0] = 1.0f;
    WebPagerItem second;
    second.texturePath = "b.zyv";
    expected.items = {first, second};
    EXPECT_EQ(ReadAll(m_dir.filePath("Nppage.htm")), TexturePageBytes(expected));
    EXPECT_EQ(ReadAll(Page()), LauncherPageBytes(expected));
    EXPECT_NE(ReadAll(m_dir.filePath("Nppage.htm")).find("FONTCOLOR=\"255,0,0,\""), std::string::npos);
    EXPECT_TRUE(m_browser.opened.isEmpty());
}

TEST_F(WebPagerDialog, DeleteBrowseAndPreview)
{
    m_ui.files = {{Page()}, {QStringLiteral("/pictures/wood.zyv")}};
    Run([&](CWebPager& dlg) {
        Click(dlg.GetDlgItem(IDC_BROWSE_PAGE));
        Click(dlg.GetDlgItem(IDC_BROWSE_BACKGROUND));
        EXPECT_EQ(Field(dlg, IDC_PAGE_URL), Page());
        EXPECT_EQ(Field(dlg, IDC_BACKGROUND), "/pictures/wood.zyv");

        for (const char* name : {"a.zyv", "b.zyv", "c.zyv"}) {
            Click(dlg.GetDlgItem(IDC_ADD_FRAME));
            Type(dlg, IDC_FRAME_TEXTURE, QString::fromLatin1(name));
        }
        Type(dlg, IDC_CURRENT_FRAME, QStringLiteral("1"));
        Click(dlg.GetDlgItem(IDC_DELETE_FRAME));
        EXPECT_EQ(Field(dlg, IDC_FRAME_COUNT), "2");
        EXPECT_EQ(Field(dlg, IDC_FRAME_TEXTURE), "c.zyv");  // the item after the deleted one

        Click(dlg.GetDlgItem(IDC_PREVIEW));
        Click(dlg.GetDlgItem(IDCANCEL));
    });
    // The Browse dialogs are the texture Save dialog.
    ASSERT_EQ(m_ui.fileRequests.size(), 2u);
    EXPECT_TRUE(m_ui.fileRequests[0].save);
    EXPECT_EQ(m_ui.fileRequests[0].title, "Save a Texture");
    EXPECT_EQ(m_ui.fileRequests[0].filter, LoadString(57693));
    EXPECT_EQ(m_ui.fileRequests[0].defaultExt, "zyv");
    EXPECT_EQ(m_ui.fileRequests[0].flags, unsigned(OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST));

    const std::string page = ReadAll(m_dir.filePath("Nppage.htm"));
    EXPECT_NE(page.find("SRC=\"a.zyv\""), std::string::npos);
    EXPECT_EQ(page.find("SRC=\"b.zyv\""), std::string::npos);
    EXPECT_NE(page.find("SRC=\"c.zyv\""), std::string::npos);
    // Preview wrote the pages and handed the page to the desktop's browser.
    ASSERT_EQ(m_browser.opened.size(), 1);
    EXPECT_EQ(m_browser.opened[0], QUrl::fromLocalFile(Page()));
}

TEST_F(WebPagerDialog, PathsThatAreNotUtf8KeepTheirBytes)
{
    // Latin-1 names, whose byte 0xE9 is not UTF-8, as the file dialog
    // gives them.
    const QByteArray folder = QFile::encodeName(m_dir.path());
    const QByteArray page = folder + "/pag\xe9.htm";
    const std::string background = "/fonds/bois\xe9.zyv", frame = "/cadres/cadr\xe9.zyv", edited = "/autr\xe9.zyv";
    m_ui.files = {{DecodeFileName(page)}};
    for (const std::string& name : {background, frame, edited}) m_ui.files.push_back({FileNameOf(name)});
    Run([&](CWebPager& dlg) {
        Click(dlg.GetDlgItem(IDC_BROWSE_PAGE));
        Click(dlg.GetDlgItem(IDC_BROWSE_BACKGROUND));
        Click(dlg.GetDlgItem(IDC_ADD_FRAME));
        Click(dlg.GetDlgItem(IDC_BROWSE_FRAME_TEXTURE));
        // The second item's name, edited in its field, keeps the byte.
        Click(dlg.GetDlgItem(IDC_ADD_FRAME));
        Click(dlg.GetDlgItem(IDC_BROWSE_FRAME_TEXTURE));
        auto* field = dlg.GetDlgItem<QLineEdit>(IDC_FRAME_TEXTURE);
        QTest::keyClick(field, Qt::Key_End);
        QTest::keyClick(field, Qt::Key_Backspace);
        QTest::keyClicks(field, QStringLiteral("v"));
        // Back on the first item, the field names its file.
        Type(dlg, IDC_CURRENT_FRAME, QStringLiteral("0"));
        EXPECT_EQ(EncodeFileName(Field(dlg, IDC_FRAME_TEXTURE)).toStdString(), frame);
        Click(dlg.GetDlgItem(IDC_PREVIEW));
        Click(dlg.GetDlgItem(IDCANCEL));
    });
    EXPECT_TRUE(m_ui.messages.empty());

    // Both pages lie under the page's own name, and name the files with
    // their bytes.
    WebPagerItem first, second;
    first.texturePath = frame;
    second.texturePath = edited;
    const WebPage expected{page.toStdString(), background, {first, second}};
    const std::string launcher = ReadAll(page.toStdString());
    const std::string texturePage = ReadAll((folder + "/Nppag\xe9.htm").toStdString());
    EXPECT_EQ(launcher, LauncherPageBytes(expected));
    EXPECT_EQ(texturePage, TexturePageBytes(expected));
    EXPECT_NE(launcher.find("SRC=\"" + background + "\""), std::string::npos);
    EXPECT_NE(texturePage.find("SRC=\"" + frame + "\""), std::string::npos);
    // The browser is handed the page itself.
    ASSERT_EQ(m_browser.opened.size(), 1);
    EXPECT_EQ(m_browser.opened[0].toEncoded(), "file://" + page.toPercentEncoding("/"));
}

TEST_F(WebPagerDialog, PreviewOfARefusedPageOpensNothing)
{
    Run([&](CWebPager& dlg) {
        Type(dlg, IDC_PAGE_URL, m_dir.filePath(QStringLiteral("page.zyv")));
        Click(dlg.GetDlgItem(IDC_PREVIEW));
        Click(dlg.GetDlgItem(IDCANCEL));
    });
    ASSERT_EQ(m_ui.messages.size(), 1u);
    EXPECT_TRUE(m_browser.opened.isEmpty());
    EXPECT_TRUE(QDir(m_dir.path()).entryList(QDir::Files).isEmpty());
}

// The pages as Save and Preview write them.
class WritePages : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_page.pagePath = m_dir.filePath(QStringLiteral("page.htm")).toStdString();
        m_page.backgroundPath = "C:\\tex\\wood.zyv";
        m_page.items = {RedBoldItem()};
    }
    QString Np() const { return m_dir.filePath(QStringLiteral("Nppage.htm")); }

    QTemporaryDir m_dir;
    ScriptedDialogs m_ui;
    WebPage m_page;
    std::set<std::filesystem::path> m_written;
};

TEST_F(WritePages, WritesBothPagesAndAsksOnlyAboutAForeignTexturePage)
{
    ASSERT_TRUE(SavePages(m_ui, nullptr, m_page, &m_written));
    EXPECT_EQ(ReadAll(m_page.pagePath), LauncherPageBytes(m_page));
    EXPECT_EQ(ReadAll(Np()), TexturePageBytes(m_page));
    EXPECT_TRUE(m_ui.messages.empty());
    // Written again by the same dialog: no question.
    ASSERT_TRUE(SavePages(m_ui, nullptr, m_page, &m_written));
    EXPECT_TRUE(m_ui.messages.empty());

    // Another dialog finds the texture page there: No keeps both files.
    std::set<std::filesystem::path> other;
    WriteAll(Np(), "mine");
    WriteAll(m_page.pagePath, "launcher");
    m_ui.answers = {IDNO};
    EXPECT_FALSE(SavePages(m_ui, nullptr, m_page, &other));
    ASSERT_EQ(m_ui.messages.size(), 1u);
    EXPECT_EQ(m_ui.messages[0].text, "The page \"" + Np() + "\" already exists.\nDo you want to replace it?");
    EXPECT_EQ(m_ui.messages[0].style, MB_YESNO | MB_ICONQUESTION);
    EXPECT_EQ(ReadAll(Np()), "mine");
    EXPECT_EQ(ReadAll(m_page.pagePath), "launcher");
    // Yes replaces it.
    m_ui.answers = {IDYES};
    EXPECT_TRUE(SavePages(m_ui, nullptr, m_page, &other));
    EXPECT_EQ(ReadAll(Np()), TexturePageBytes(m_page));
    // No temporary file is left beside the pages.
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files).size(), 2);
}

TEST_F(WritePages, RefusesNamesOfTheEditorsOwnFilesAndReportsFailures)
{
    for (const char* name : {"t.zyv", "l.KVO", "lib.jxw", ""}) {
        m_ui.messages.clear();
        m_page.pagePath = m_dir.filePath(QString::fromLatin1(name)).toStdString();
        if (!*name) m_page.pagePath = (m_dir.path() + "/").toStdString();
        EXPECT_FALSE(SavePages(m_ui, nullptr, m_page, &m_written)) << name;
        ASSERT_EQ(m_ui.messages.size(), 1u) << name;
        EXPECT_EQ(m_ui.messages[0].style, MB_OK | MB_ICONEXCLAMATION);
    }
    EXPECT_TRUE(QDir(m_dir.path()).entryList(QDir::Files).isEmpty());

    // A folder that does not exist: the reason is shown, nothing written.
    m_ui.messages.clear();
    m_page.pagePath = m_dir.filePath(QStringLiteral("missing/page.htm")).toStdString();
    EXPECT_FALSE(SavePages(m_ui, nullptr, m_page, &m_written));
    ASSERT_EQ(m_ui.messages.size(), 1u);
    EXPECT_TRUE(m_ui.messages[0].text.startsWith("Unable to write the page \"" + m_dir.filePath("missing/Nppage.htm")))
        << m_ui.messages[0].text.toStdString();
    EXPECT_TRUE(m_written.empty());
}

// Independent HTML readers accept both pages: libxml2's HTML parser without
// a complaint, and a headless browser loads the texture page and keeps every
// item and attribute.
TEST_F(WritePages, XmllintAndABrowserReadThePages)
{
    WebPagerItem plain;
    plain.texturePath = "b & c.zyv";
    m_page.items.push_back(plain);
    m_page.items[0].text = "Fr\u00e9d\u00e9ric & \"Mo\" <\u2603>";
    // Paths as this machine's file dialog gives them.
    m_page.items[0].texturePath = m_dir.filePath(QStringLiteral("frame.zyv")).toStdString();
    ASSERT_TRUE(SavePages(m_ui, nullptr, m_page, &m_written));

    const QString xmllint = QStandardPaths::findExecutable(QStringLiteral("xmllint"));
    if (xmllint.isEmpty()) GTEST_SKIP() << "xmllint is not installed (tools/deps.sh installs it)";
    for (const QString& file : {QString::fromStdString(m_page.pagePath), Np()}) {
        QProcess p;
        p.start(xmllint, {QStringLiteral("--html"), QStringLiteral("--noout"), file});
        ASSERT_TRUE(p.waitForFinished(30000));
        EXPECT_EQ(p.exitCode(), 0) << file.toStdString();
        EXPECT_EQ(p.readAllStandardError().toStdString(), "") << file.toStdString();
    }

    const QString chromium = QStandardPaths::findExecutable(QStringLiteral("chromium"));
    if (chromium.isEmpty()) GTEST_SKIP() << "chromium is not installed (tools/deps.sh installs it)";
    QTemporaryDir profile;
    QProcess p;
    p.start(chromium, {QStringLiteral("--headless"), QStringLiteral("--no-sandbox"), QStringLiteral("--disable-gpu"),
                       QStringLiteral("--disable-background-networking"), QStringLiteral("--disable-component-update"),
                       QStringLiteral("--disable-sync"), QStringLiteral("--no-first-run"),
                       QStringLiteral("--user-data-dir=") + profile.path(), QStringLiteral("--enable-logging=stderr"),
                       QStringLiteral("--v=0"), QStringLiteral("--dump-dom"),
                       QUrl::fromLocalFile(Np()).toString()});
    ASSERT_TRUE(p.waitForFinished(60000));
    const QString log = QString::fromUtf8(p.readAllStandardError());
    EXPECT_EQ(p.exitCode(), 0) << log.toStdString();
    // The page's own messages (script and parse errors) are logged as
    // console lines; the browser's complaints about the machine are not.
    EXPECT_FALSE(log.contains(QStringLiteral(":CONSOLE"))) << log.toStdString();
    const QString dom = QString::fromUtf8(p.readAllStandardOutput());
    EXPECT_EQ(dom.count(QStringLiteral("<embed ")), 2) << dom.toStdString();
    EXPECT_TRUE(dom.contains(QStringLiteral("text=\"Fr\u00e9d\u00e9ric &amp; &quot;Mo&quot; &lt;\u2603&gt;\"")))
        << dom.toStdString();
    EXPECT_TRUE(dom.contains(QStringLiteral("src=\"b &amp; c.zyv\""))) << dom.toStdString();
    EXPECT_TRUE(dom.contains(QStringLiteral("background=\"file:///C|/kvobgrd/C:\\tex\\wood.jpg\"")))
        << dom.toStdString();
}

// The Web Pager of the editor's menu offers the active document's name in
// its Browse dialogs.
class WebPagerCommand : public ShellTest {};

TEST_F(WebPagerCommand, BrowseOffersTheActiveDocumentsName)
{
    ASSERT_EQ(WriteTextureFile(Path("wood.zyv").toStdString(), NewTexture(MaterialPresetTable())).error, "");
    Start({Path("wood.zyv")});
    ASSERT_EQ(Doc()->GetTitle(), "wood.zyv");
    Ui().modal.push_back([](CDialog& dlg) {
        Click(dlg.GetDlgItem(IDC_BROWSE_PAGE));
        Click(dlg.GetDlgItem(IDCANCEL));
    });
    Frame()->SendCommand(ID_WEB_PAGER);
    ASSERT_EQ(Ui().modalCaptions.back(), "Web Pager");
    ASSERT_EQ(Ui().fileRequests.size(), 1u);
    EXPECT_EQ(Ui().fileRequests[0].initialName, "wood");
}

#include "test_webpager.moc"
