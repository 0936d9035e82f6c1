#include "media/WebPages.h"

#include <algorithm>
#include <cctype>

#include "engine/FloatInt.h"
#include "engine/Paths.h"
#include "engine/SafeFile.h"
#include "engine/Utf8.h"

namespace morvane {

namespace {

const char kHeader[] =
    "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0 Transitional//EN\">\n"
    "<HTML>\n"
    "<HEAD>\n"
    "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=iso-8859-1\">\n"
    "<META NAME=\"GENERATOR\" CONTENT=\"Morvane 4.0\">\n"
    "<TITLE> KVO BACKGROUND TEXTURE </TITLE>\n"
    "</HEAD>\n"
    "\n";

// The position after the folder part of a path typed with either kind of
// separator.
size_t FileNameStart(const std::string& path)
{
    const size_t separator = path.find_last_of("/\\");
    return separator == std::string::npos ? 0 : separator + 1;
}

// The background picture as the texture page names it: the path cut after
// its last "." with "jpg" appended.
std::string JpegName(const std::string& background)
{
    const size_t dot = background.rfind('.');
    return dot == std::string::npos ? "jpg" : background.substr(0, dot + 1) + "jpg";
}

// The code point of the UTF-8 sequence at `i`, which moves past it.  A
// byte that starts no valid sequence (a stray continuation byte, an
// overlong form, a surrogate, a sequence cut short) is read as Latin-1, the
// character of its own value: a file name that is not UTF-8 keeps its
// bytes in the page.
char32_t NextCodePoint(std::string_view text, size_t& i)
{
    if (const std::optional<Utf8Sequence> sequence = NextUtf8(text.substr(i))) {
        i += sequence->length;
        return sequence->codePoint;
    }
    return static_cast<unsigned char>(text[i++]);
}

// A colour channel as the page writes it: its byte value and a comma.
std::string ColourByte(float value)
{
    return std::to_string(SatTrunc(value * 255.0f) & 255) + ",";
}

// "TRUE " for 1, "FALSE " for 0, nothing for other values.
const char* Flag(uint8_t value)
{
    return value == 1 ? "TRUE " : value == 0 ? "FALSE " : "";
}

std::string ItemBytes(const WebPagerItem& item)
{
    std::string s = "<CENTER>\n<P><EMBED SRC=\"" + EscapeAttribute(item.texturePath) + "\" WIDTH=" +
                    std::to_string(item.width) + " HEIGHT=" + std::to_string(item.height) +
                    " BORDER=" + std::to_string(item.borderSize) + " BORDERTYPE=" + std::to_string(item.borderType);
    if (item.text.empty()) return s + "></CENTER>\n";
    s += " TEXT=\"" + EscapeAttribute(item.text) + "\" FONTALIGN=" + std::to_string(item.textAlign) +
         " FONTTYPE=" + std::to_string(item.font.weight) + " FONTFACE=\"" + EscapeAttribute(item.font.faceName) +
         "\" FONTSIZE=" + std::to_string(item.font.height) + " FONTCOLOR=\"" + ColourByte(item.colour[0]) +
         ColourByte(item.colour[1]) + ColourByte(item.colour[2]) + "\" ISITALIC=\"" + Flag(item.font.italic) +
         "\" ISUNDERLINE=\"" + Flag(item.font.underline) + "\"></CENTER>\n";
    return s;
}

// Whether `name` ends in `ext` (lower-case ASCII), whatever the case.
bool HasExtension(const std::string& name, std::string_view ext)
{
    if (name.size() < ext.size()) return false;
    const std::string_view tail = std::string_view(name).substr(name.size() - ext.size());
    return std::equal(tail.begin(), tail.end(), ext.begin(),
                      [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
}

// The text without the white space around it.
std::string Trimmed(const std::string& text)
{
    const char* space = " \t\n\v\f\r";
    const size_t first = text.find_first_not_of(space);
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(space) - first + 1);
}

}  // namespace

std::string EscapeAttribute(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const char32_t c = NextCodePoint(text, i);
        switch (c) {
        case '&': out += "&amp;"; break;
        case '"': out += "&quot;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        default:
            if (c <= 0xFF)
                out += static_cast<char>(c);
            else
                out += "&#" + std::to_string(static_cast<uint32_t>(c)) + ";";
        }
    }
    return out;
}

std::string TexturePageName(const std::string& pagePath) { return "Np" + pagePath.substr(FileNameStart(pagePath)); }

std::string TexturePagePath(const std::string& pagePath)
{
    return pagePath.substr(0, FileNameStart(pagePath)) + TexturePageName(pagePath);
}

std::string LauncherPageBytes(const WebPage& page)
{
    return std::string(kHeader) + "<BODY>\n<EMBED SRC=\"" + EscapeAttribute(page.backgroundPath) +
           "\" HIDDEN=TRUE PAGEURL=\"" + EscapeAttribute(TexturePageName(page.pagePath)) + " \">\n</BODY>\n</HTML>";
}

std::string TexturePageBytes(const WebPage& page)
{
    std::string s = std::string(kHeader) + "<BODY BACKGROUND=\"file:///C|/kvobgrd/" +
                    EscapeAttribute(JpegName(page.backgroundPath)) + "\">\n\n";
    for (const WebPagerItem& item : page.items) s += ItemBytes(item);
    return s + "\n</BODY>\n</HTML>";
}

Result<> CheckPagePath(const std::string& pagePath)
{
    const std::string name = Trimmed(pagePath.substr(FileNameStart(pagePath)));
    if (name.empty()) return Failure("Please enter the name of the page (for example page.htm).");
    for (const char* ext : {".zyv", ".kvo", ".jxw"}) {
        if (HasExtension(name, ext))
            return Failure("\"" + pagePath + "\" is the name of a texture, layer or library file.\n"
                           "Please give the page a name such as page.htm.");
    }
    return {};
}

bool write_pages(const WebPage& page, std::set<std::filesystem::path>* written, const PageDialogue& dialogue)
{
    auto say = [&](PageMessage kind, const std::string& text) { return dialogue && dialogue(kind, text); };
    if (const Result<> checked = CheckPagePath(page.pagePath); !checked.ok()) {
        say(PageMessage::Problem, checked.error);
        return false;
    }
    const std::filesystem::path launcher = MapStoredPath(page.pagePath);
    const std::filesystem::path texture = MapStoredPath(TexturePagePath(page.pagePath));

    std::error_code ec;
    const bool ours = written && written->count(std::filesystem::absolute(texture, ec));
    if (!ours && std::filesystem::exists(texture, ec)) {
        const std::string question = "The page \"" + texture.string() + "\" already exists.\nDo you want to replace it?";
        if (!say(PageMessage::Question, question)) return false;
    }

    const std::pair<std::filesystem::path, std::string> files[] = {{texture, TexturePageBytes(page)},
                                                                   {launcher, LauncherPageBytes(page)}};
    for (const auto& [path, bytes] : files) {
        const Result<> saved =
            WriteFileReplacing(path, std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
        if (!saved.ok()) {
            say(PageMessage::Problem, "Unable to write the page \"" + path.string() + "\".\n" + saved.error + ".");
            return false;
        }
        if (written) written->insert(std::filesystem::absolute(path, ec));
    }
    return true;
}

}  // namespace morvane
