#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QDesktopServices>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <fstream>
#include <sstream>

#include "media/WebPager.h"
#include "platform/StringTable.h"
#include "support/QtTestApp.h"
#include "support/ScriptedDialogs.h"

using namespace morvane;
using namespace morvane::test;

namespace {

std::string ReadAll(const QString& path)
{
    std::ifstream in(path.toStdString(), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

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
    void TearDown() override { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }

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

    WebPage expected{Page(), QStringLiteral("C:\\tex\\wood.zyv"), {}};
    WebPagerItem first;
    first.texturePath = QStringLiteral("a.zyv");
    first.text = QStringLiteral("Hello");
    first.width = 120;
    first.height = 80;
    first.borderSize = 3;
    first.borderType = 1;
    first.textAlign = 1;
    first.font.height = -16;
    first.font.weight = 700;
    first.font.faceName = QStringLiteral("Arial");
    first.colour[0] = 1.0f;
    WebPagerItem second;
    second.texturePath = QStringLiteral("b.zyv");
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

#include "test_webpager.moc"
