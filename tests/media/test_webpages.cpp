#include <gtest/gtest.h>

#include "media/WebPages.h"
#include "support/WebPageSamples.h"

using namespace morvane;
using namespace morvane::test;

namespace {

const std::string kHead =
    "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0 Transitional//EN\">\n<HTML>\n<HEAD>\n"
    "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=iso-8859-1\">\n"
    "<META NAME=\"GENERATOR\" CONTENT=\"Morvane 4.0\">\n<TITLE> KVO BACKGROUND TEXTURE </TITLE>\n</HEAD>\n\n";

}  // namespace

TEST(WebPages, LauncherAndEmptyTexturePageHaveTheExactBytes)
{
    WebPage page{"page.htm", "C:\\tex\\wood.zyv", {}};
    EXPECT_EQ(LauncherPageBytes(page),
              kHead + "<BODY>\n<EMBED SRC=\"C:\\tex\\wood.zyv\" HIDDEN=TRUE PAGEURL=\"Nppage.htm \">\n</BODY>\n</HTML>");
    EXPECT_EQ(TexturePageBytes(page),
              kHead + "<BODY BACKGROUND=\"file:///C|/kvobgrd/C:\\tex\\wood.jpg\">\n\n\n</BODY>\n</HTML>");

    // A background without a "." is named "jpg" alone.
    page.backgroundPath = "wood";
    EXPECT_NE(TexturePageBytes(page).find("kvobgrd/jpg\">"), std::string::npos);
}

TEST(WebPages, ItemsAreWrittenInOrderWithTheirAttributes)
{
    WebPage page{"page.htm", "C:\\tex\\wood.zyv", {RedBoldItem()}};
    WebPagerItem plain;  // a new item: no text, 50 x 50, border 10
    plain.texturePath = "b.zyv";
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
    EXPECT_EQ(EscapeAttribute("a&b \"c\" <d> caf\u00e9 \u2603 \U0001F600"),
              "a&amp;b &quot;c&quot; &lt;d&gt; caf\xe9 &#9731; &#128512;");
    // Bytes that are not UTF-8 (a stray byte, a sequence cut short, an
    // overlong "/"), as a file name of another encoding holds them, are
    // written as they stand: the page names that file.
    EXPECT_EQ(EscapeAttribute("a\xff" "b\xc3 \xc0\xaf caf\xe9&"), "a\xff" "b\xc3 \xc0\xaf caf\xe9&amp;");
    WebPage page{"x\"y.htm", "a&b.zyv", {}};
    EXPECT_NE(LauncherPageBytes(page).find("SRC=\"a&amp;b.zyv\" HIDDEN=TRUE PAGEURL=\"Npx&quot;y.htm \""),
              std::string::npos);
    EXPECT_NE(TexturePageBytes(page).find("kvobgrd/a&amp;b.jpg\""), std::string::npos);
}

TEST(WebPages, TexturePageLiesBesideTheLauncherPage)
{
    EXPECT_EQ(TexturePagePath("page.htm"), "Nppage.htm");
    EXPECT_EQ(TexturePagePath("/srv/www/page.htm"), "/srv/www/Nppage.htm");
    EXPECT_EQ(TexturePagePath("C:\\web\\page.htm"), "C:\\web\\Nppage.htm");
    EXPECT_EQ(TexturePageName("C:\\web\\page.htm"), "Nppage.htm");
}
