#include "platform/FileName.h"

#include <QFile>

#include <system_error>

#include "engine/Utf8.h"

namespace fs = std::filesystem;

namespace {

constexpr char16_t kByteBase = 0xDC00;  // + a byte of 0x80..0xFF

void AppendUtf8(QByteArray& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool IsKeptByte(char16_t u) { return u >= kByteBase + 0x80 && u <= kByteBase + 0xFF; }

}  // namespace

QString DecodeFileName(const QByteArray& bytes)
{
    QString name;
    name.reserve(bytes.size());
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n;) {
        const std::optional<morvane::Utf8Sequence> sequence =
            morvane::NextUtf8(std::string_view(bytes.constData() + i, static_cast<size_t>(n - i)));
        if (!sequence) {
            name += QChar(static_cast<char16_t>(kByteBase + b[i++]));
            continue;
        }
        name += QChar::fromUcs4(sequence->codePoint);
        i += static_cast<qsizetype>(sequence->length);
    }
    return name;
}

QByteArray EncodeFileName(const QString& name)
{
    QByteArray bytes;
    bytes.reserve(name.size());
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t u = name[i].unicode();
        if (QChar::isHighSurrogate(u) && i + 1 < name.size() && name[i + 1].isLowSurrogate()) {
            AppendUtf8(bytes, QChar::surrogateToUcs4(u, name[++i].unicode()));
        } else if (IsKeptByte(u)) {
            bytes += static_cast<char>(u - kByteBase);
        } else {
            AppendUtf8(bytes, QChar::isSurrogate(u) ? char32_t(0xFFFD) : char32_t(u));
        }
    }
    return bytes;
}

fs::path LocalFile(const QString& name) { return fs::path(EncodeFileName(name).toStdString()); }

QString FileNameOf(const fs::path& path) { return DecodeFileName(QByteArray::fromStdString(path.native())); }

QString AbsoluteFileName(const QString& name)
{
    if (name.isEmpty()) return name;
    std::error_code error;
    fs::path absolute = fs::absolute(LocalFile(name), error);
    if (error) return name;
    absolute = absolute.lexically_normal();
    if (!absolute.has_filename() && absolute.has_relative_path()) absolute = absolute.parent_path();
    return FileNameOf(absolute);
}

QString DisplayName(const fs::path& path) { return DisplayName(FileNameOf(path)); }

QString DisplayName(const QString& name)
{
    QString shown = name;
    for (qsizetype i = 0; i < shown.size(); ++i) {
        const char16_t u = shown[i].unicode();
        if (QChar::isHighSurrogate(u) && i + 1 < shown.size() && shown[i + 1].isLowSurrogate()) {
            ++i;
        } else if (IsKeptByte(u)) {
            shown[i] = QChar::ReplacementCharacter;
        }
    }
    return shown;
}

QStringList CommandLineArguments(int argc, const char* const* argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i) arguments << DecodeFileName(QByteArray(argv[i]));
    return arguments;
}

QString RecoveredFileName(const QString& qtName)
{
    if (!qtName.contains(QChar::ReplacementCharacter)) return qtName;
    std::error_code error;
    if (fs::exists(LocalFile(qtName), error)) return qtName;

    fs::path recovered = qtName.startsWith('/') ? fs::path("/") : fs::path();
    bool searching = true;
    for (const QString& part : qtName.split('/', Qt::SkipEmptyParts)) {
        fs::path next = recovered / LocalFile(part);
        if (searching && part.contains(QChar::ReplacementCharacter) && !fs::exists(next, error)) {
            // The one entry of the folder that Qt reads as this component.
            int matches = 0;
            fs::path match;
            const fs::path folder = recovered.empty() ? fs::path(".") : recovered;
            for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
                const fs::path entry = it->path().filename();
                if (QFile::decodeName(QByteArray::fromStdString(entry.native())) == part) {
                    ++matches;
                    match = entry;
                }
            }
            if (matches == 1) next = recovered / match;
        }
        searching = searching && fs::exists(next, error);
        recovered = std::move(next);
    }
    return FileNameOf(recovered);
}
