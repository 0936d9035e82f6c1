#include "media/WebPages.h"

#include <algorithm>

#include "engine/FloatInt.h"
#include "engine/Paths.h"
#include "engine/SafeFile.h"
#include "platform/Dialogs.h"

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
qsizetype FileNameStart(const QString& path)
{
    return std::max(path.lastIndexOf('/'), path.lastIndexOf('\\')) + 1;
}

// The background picture as the texture page names it: the path cut after
// its last "." with "jpg" appended.
QString JpegName(const QString& background)
{
    const qsizetype dot = background.lastIndexOf('.');
    return dot < 0 ? QStringLiteral("jpg") : background.left(dot + 1) + QStringLiteral("jpg");
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
    if (item.text.isEmpty()) return s + "></CENTER>\n";
    s += " TEXT=\"" + EscapeAttribute(item.text) + "\" FONTALIGN=" + std::to_string(item.textAlign) +
         " FONTTYPE=" + std::to_string(item.font.weight) + " FONTFACE=\"" + EscapeAttribute(item.font.faceName) +
         "\" FONTSIZE=" + std::to_string(item.font.height) + " FONTCOLOR=\"" + ColourByte(item.colour[0]) +
         ColourByte(item.colour[1]) + ColourByte(item.colour[2]) + "\" ISITALIC=\"" + Flag(item.font.italic) +
         "\" ISUNDERLINE=\"" + Flag(item.font.underline) + "\"></CENTER>\n";
    return s;
}

bool HasExtension(const QString& name, const char* ext)
{
    return name.endsWith(QLatin1String(ext), Qt::CaseInsensitive);
}

}  // namespace

std::string EscapeAttribute(const QString& text)
{
    std::string out;
    out.reserve(static_cast<size_t>(text.size()));
    for (const char32_t c : text.toUcs4()) {
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

QString TexturePageName(const QString& pagePath)
{
    return QStringLiteral("Np") + pagePath.mid(FileNameStart(pagePath));
}

QString TexturePagePath(const QString& pagePath)
{
    return pagePath.left(FileNameStart(pagePath)) + TexturePageName(pagePath);
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

QString CheckPagePath(const QString& pagePath)
{
    const QString name = pagePath.mid(FileNameStart(pagePath)).trimmed();
    if (name.isEmpty()) return QStringLiteral("Please enter the name of the page (for example page.htm).");
    for (const char* ext : {".zyv", ".kvo", ".jxw"}) {
        if (HasExtension(name, ext))
            return QStringLiteral("\"%1\" is the name of a texture, layer or library file.\n"
                                  "Please give the page a name such as page.htm.")
                .arg(pagePath);
    }
    return QString();
}

bool write_pages(UiDialogs& ui, QWidget* parent, const WebPage& page, std::set<std::filesystem::path>* written)
{
    if (const QString problem = CheckPagePath(page.pagePath); !problem.isEmpty()) {
        ui.MessageBox(parent, problem, AppCaption(), MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    const std::filesystem::path launcher = MapStoredPath(page.pagePath.toStdString());
    const std::filesystem::path texture = MapStoredPath(TexturePagePath(page.pagePath).toStdString());

    std::error_code ec;
    const bool ours = written && written->count(std::filesystem::absolute(texture, ec));
    if (!ours && std::filesystem::exists(texture, ec)) {
        const QString question = QStringLiteral("The page \"%1\" already exists.\nDo you want to replace it?")
                                     .arg(QString::fromStdString(texture.string()));
        if (ui.MessageBox(parent, question, AppCaption(), MB_YESNO | MB_ICONQUESTION) != IDYES) return false;
    }

    const std::pair<std::filesystem::path, std::string> files[] = {{texture, TexturePageBytes(page)},
                                                                   {launcher, LauncherPageBytes(page)}};
    for (const auto& [path, bytes] : files) {
        const std::string error =
            WriteFileReplacing(path, std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
        if (!error.empty()) {
            ui.MessageBox(parent,
                          QStringLiteral("Unable to write the page \"%1\".\n%2.")
                              .arg(QString::fromStdString(path.string()), QString::fromStdString(error)),
                          AppCaption(), MB_OK | MB_ICONEXCLAMATION);
            return false;
        }
        if (written) written->insert(std::filesystem::absolute(path, ec));
    }
    return true;
}

}  // namespace morvane
