// The two HTML pages of the web pager: the launcher page, which embeds the
// background picture hidden and names the texture page, and the texture
// page, whose body background is the texture picture and which shows one
// centred embedded frame per item.
//
// LauncherPageBytes and TexturePageBytes are pure: they give the exact
// bytes of each page (ISO-8859-1, "\n" line ends).  Texts and paths are
// written inside attribute values, so '&', '"', '<' and '>' become entity
// references and characters beyond Latin-1 numeric references; plain ASCII
// without those four characters is written as it stands.
//
// write_pages writes both files next to each other (each through a
// temporary file renamed into place) after the checks a user needs: a page
// name that would replace one of the editor's own files is refused, and an
// existing texture page that this session did not write is replaced only
// after a question.  Its problems and its question go to a dialogue the
// caller hands in (the Web Pager shows them in message boxes).
//
// Texts and paths are UTF-8; a path may hold bytes that are not (a file
// name of another encoding), which the pages write as they stand.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "engine/Result.h"

namespace morvane {

// The font of an item's text as the page names it.
struct WebFont {
    int32_t height = 0;       // negative: character height in pixels
    int32_t width = 0;
    int32_t escapement = 0;
    int32_t orientation = 0;
    int32_t weight = 0;       // 400 normal, 700 bold
    uint8_t italic = 0;
    uint8_t underline = 0;
    uint8_t strikeOut = 0;
    uint8_t charSet = 0;
    uint8_t outPrecision = 0;
    uint8_t clipPrecision = 0;
    uint8_t quality = 0;
    uint8_t pitchAndFamily = 0;
    std::string faceName;
};

// Border types, index = WebPagerItem::borderType.
inline const char* const kBorderTypeNames[] = {"Up", "Down", "Dark", "Brighter", "Black Border", "White Border"};

struct WebPagerItem {
    std::string texturePath;   // embedded by the item
    std::string text;          // empty: no text attributes
    int32_t width = 50;
    int32_t height = 50;
    int32_t borderType = 0;
    int32_t borderSize = 10;
    int32_t frameAlign = 0;    // kept with the item; the page does not name it
    WebFont font;
    float colour[3] = {0.0f, 0.0f, 0.0f};  // red, green, blue in 0..1
    int32_t textAlign = 0;
};

struct WebPage {
    std::string pagePath;        // the launcher page, as typed or browsed
    std::string backgroundPath;  // the texture picture
    std::vector<WebPagerItem> items;
};

// The value of an attribute as the pages write it (see above).
std::string EscapeAttribute(std::string_view text);

std::string LauncherPageBytes(const WebPage& page);
std::string TexturePageBytes(const WebPage& page);

// "Np" followed by the page's file name: the texture page's name, which is
// also how the launcher page refers to it.
std::string TexturePageName(const std::string& pagePath);
// The texture page's path: its name in the launcher page's folder.
std::string TexturePagePath(const std::string& pagePath);

// Refused when `pagePath` cannot name a page; the error says why.
Result<> CheckPagePath(const std::string& pagePath);

// What write_pages says while it works: a problem, after which it writes
// nothing more, or a question whose answer (true: yes) decides whether an
// existing texture page is replaced.  Without a dialogue problems go unsaid
// and questions are answered no.
enum class PageMessage { Problem, Question };
using PageDialogue = std::function<bool(PageMessage kind, const std::string& text)>;

// Writes both pages; asks before replacing a texture page that is not in
// `written` and records the pages it wrote there.  False when nothing or
// not everything was written (the dialogue was told why, or answered no).
bool write_pages(const WebPage& page, std::set<std::filesystem::path>* written, const PageDialogue& dialogue);

}  // namespace morvane
