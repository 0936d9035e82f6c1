#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

#include <fstream>
#include <sstream>

#include "media/WebPages.h"
#include "platform/Dialogs.h"
#include "support/ScriptedDialogs.h"

using namespace morvane;

namespace {

const std::string kHead =
    "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0 Transitional//EN\">\n<HTML>\n<HEAD>\n"
    "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=iso-8859-1\">\n"
    "<META NAME=\"GENERATOR\" CONTENT=\"Morvane 4.0\">\n<TITLE> KVO BACKGROUND TEXTURE </TITLE>\n</HEAD>\n\n";

std::string ReadAll(const QString& path)
{
    std::ifstream in(path.toStdString(), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteAll(const QString& path, const std::string& bytes)
{
    std::ofstream(path.toStdString(), std::ios::binary) << bytes;
}

WebPagerItem RedBoldItem()
{
    WebPagerItem item;
    item.texturePath = QStringLiteral("C:\\tex\\frame.zyv");
    item.text = QStringLiteral("Hello");
    item.width = 120;
    item.height = 80;
    item.borderType = 4;
    item.borderSize = 3;
    item.font.weight = 700;
    item.font.height = -16;
    item.font.faceName = QStringLiteral("Arial");
    item.colour[0] = 1.0f;
    return item;
}

}  // namespace

TEST(WebPages, LauncherAndEmptyTexturePageHaveTheExactBytes)
{
    WebPage page{QStringLiteral("page.htm"), QStringLiteral("C:\\tex\\wood.zyv"), {}};
    EXPECT_EQ(LauncherPageBytes(page),
              kHead + "<BODY>\n<EMBED SRC=\"C:\\tex\\wood.zyv\" HIDDEN=TRUE PAGEURL=\"Nppage.htm \">\n</BODY>\n</HTML>");
    EXPECT_EQ(TexturePageBytes(page),
              kHead + "<BODY BACKGROUND=\"file:///C|/kvobgrd/C:\\tex\\wood.jpg\">\n\n\n</BODY>\n</HTML>");

    // A background without a "." is named "jpg" alone.
    page.backgroundPath = QStringLiteral("wood");
    EXPECT_NE(TexturePageBytes(page).find("kvobgrd/jpg\">"), std::string::npos);
}

TEST(WebPages, ItemsAreWrittenInOrderWithTheirAttributes)
{
    WebPage page{QStringLiteral("page.htm"), QStringLiteral("C:\\tex\\wood.zyv"), {RedBoldItem()}};
    WebPagerItem plain;  // a new item: no text, 50 x 50, border 10
    plain.texturePath = QStringLiteral("b.zyv");
    page.items.push_back(plain);
    WebPagerItem odd = RedBoldItem();
    odd.colour[0] = 0.5f;
    odd.colour[1] = 1.0f;
    odd.colour[2] = 0.25f;
    odd.font.italic = 1;
    odd.font.underline = 2;  // neither 0 nor 1: no word
    odd.textAlign = 2;
    page.items.push_back(odd);

    const std::string red =
        "<CENTER>\n<P><EMBED SRC=\"C:\\tex\\frame.zyv\" WIDTH=120 HEIGHT=80 BORDER=3 BORDERTYPE=4"
        " TEXT=\"Hello\" FONTALIGN=0 FONTTYPE=700 FONTFACE=\"Arial\" FONTSIZE=-16 FONTCOLOR=\"255,0,0,\""
        " ISITALIC=\"FALSE \" ISUNDERLINE=\"FALSE \"></CENTER>\n";
    const std::string empty = "<CENTER>\n<P><EMBED SRC=\"b.zyv\" WIDTH=50 HEIGHT=50 BORDER=10 BORDERTYPE=0></CENTER>\n";
    const std::string third =
        "<CENTER>\n<P><EMBED SRC=\"C:\\tex\\frame.zyv\" WIDTH=120 HEIGHT=80 BORDER=3 BORDERTYPE=4"
        " TEXT=\"Hello\" FONTALIGN=2 FONTTYPE=700 FONTFACE=\"Arial\" FONTSIZE=-16 FONTCOLOR=\"127,255,63,\""
        " ISITALIC=\"TRUE \" ISUNDERLINE=\"\"></CENTER>\n";
    EXPECT_EQ(TexturePageBytes(page), kHead + "<BODY BACKGROUND=\"file:///C|/kvobgrd/C:\\tex\\wood.jpg\">\n\n" + red +
                                          empty + third + "\n</BODY>\n</HTML>");
}

TEST(WebPages, AttributeTextIsEscapedAndLatin1)
{
    // Markup characters become references, Latin-1 stays one byte, the
    // rest (a snowman, an emoji outside the basic plane) numeric references.
    EXPECT_EQ(EscapeAttribute(QStringLiteral("a&b \"c\" <d> caf\u00e9 \u2603 \U0001F600")),
              "a&amp;b &quot;c&quot; &lt;d&gt; caf\xe9 &#9731; &#128512;");
    WebPage page{QStringLiteral("x\"y.htm"), QStringLiteral("a&b.zyv"), {}};
    EXPECT_NE(LauncherPageBytes(page).find("SRC=\"a&amp;b.zyv\" HIDDEN=TRUE PAGEURL=\"Npx&quot;y.htm \""),
              std::string::npos);
    EXPECT_NE(TexturePageBytes(page).find("kvobgrd/a&amp;b.jpg\""), std::string::npos);
}

TEST(WebPages, TexturePageLiesBesideTheLauncherPage)
{
    EXPECT_EQ(TexturePagePath(QStringLiteral("page.htm")), "Nppage.htm");
    EXPECT_EQ(TexturePagePath(QStringLiteral("/srv/www/page.htm")), "/srv/www/Nppage.htm");
    EXPECT_EQ(TexturePagePath(QStringLiteral("C:\\web\\page.htm")), "C:\\web\\Nppage.htm");
    EXPECT_EQ(TexturePageName(QStringLiteral("C:\\web\\page.htm")), "Nppage.htm");
}

class WritePages : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_page.pagePath = m_dir.filePath(QStringLiteral("page.htm"));
        m_page.backgroundPath = QStringLiteral("C:\\tex\\wood.zyv");
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
    ASSERT_TRUE(write_pages(m_ui, nullptr, m_page, &m_written));
    EXPECT_EQ(ReadAll(m_page.pagePath), LauncherPageBytes(m_page));
    EXPECT_EQ(ReadAll(Np()), TexturePageBytes(m_page));
    EXPECT_TRUE(m_ui.messages.empty());
    // Written again by the same dialog: no question.
    ASSERT_TRUE(write_pages(m_ui, nullptr, m_page, &m_written));
    EXPECT_TRUE(m_ui.messages.empty());

    // Another dialog finds the texture page there: No keeps both files.
    std::set<std::filesystem::path> other;
    WriteAll(Np(), "mine");
    WriteAll(m_page.pagePath, "launcher");
    m_ui.answers = {IDNO};
    EXPECT_FALSE(write_pages(m_ui, nullptr, m_page, &other));
    ASSERT_EQ(m_ui.messages.size(), 1u);
    EXPECT_EQ(m_ui.messages[0].text, "The page \"" + Np() + "\" already exists.\nDo you want to replace it?");
    EXPECT_EQ(m_ui.messages[0].style, MB_YESNO | MB_ICONQUESTION);
    EXPECT_EQ(ReadAll(Np()), "mine");
    EXPECT_EQ(ReadAll(m_page.pagePath), "launcher");
    // Yes replaces it.
    m_ui.answers = {IDYES};
    EXPECT_TRUE(write_pages(m_ui, nullptr, m_page, &other));
    EXPECT_EQ(ReadAll(Np()), TexturePageBytes(m_page));
    // No temporary file is left beside the pages.
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files).size(), 2);
}

TEST_F(WritePages, RefusesNamesOfTheEditorsOwnFilesAndReportsFailures)
{
    for (const char* name : {"t.zyv", "l.KVO", "lib.jxw", ""}) {
        m_ui.messages.clear();
        m_page.pagePath = m_dir.filePath(QString::fromLatin1(name));
        if (!*name) m_page.pagePath = m_dir.path() + "/";
        EXPECT_FALSE(write_pages(m_ui, nullptr, m_page, &m_written)) << name;
        ASSERT_EQ(m_ui.messages.size(), 1u) << name;
        EXPECT_EQ(m_ui.messages[0].style, MB_OK | MB_ICONEXCLAMATION);
    }
    EXPECT_TRUE(QDir(m_dir.path()).entryList(QDir::Files).isEmpty());

    // A folder that does not exist: the reason is shown, nothing written.
    m_ui.messages.clear();
    m_page.pagePath = m_dir.filePath(QStringLiteral("missing/page.htm"));
    EXPECT_FALSE(write_pages(m_ui, nullptr, m_page, &m_written));
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
    plain.texturePath = QStringLiteral("b & c.zyv");
    m_page.items.push_back(plain);
    m_page.items[0].text = QStringLiteral("Fr\u00e9d\u00e9ric & \"Mo\" <\u2603>");
    // Paths as this machine's file dialog gives them.
    m_page.items[0].texturePath = m_dir.filePath(QStringLiteral("frame.zyv"));
    ASSERT_TRUE(write_pages(m_ui, nullptr, m_page, &m_written));

    const QString xmllint = QStandardPaths::findExecutable(QStringLiteral("xmllint"));
    if (xmllint.isEmpty()) GTEST_SKIP() << "xmllint is not installed (tools/deps.sh installs it)";
    for (const QString& file : {m_page.pagePath, Np()}) {
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
