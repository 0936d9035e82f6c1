#include "platform/Profile.h"

#include <QStandardPaths>

#include <cstdlib>
#include <span>
#include <system_error>

#include "engine/SafeFile.h"
#include "platform/FileName.h"

namespace fs = std::filesystem;

namespace {

// A settings file holds a few short lines; anything much larger is not one.
constexpr uint64_t kMaxProfileSize = uint64_t(1) << 24;

// A value in double quotes loses them, as the Windows profile does.
QString Unquote(QString v)
{
    v = v.trimmed();
    if (v.size() >= 2 && ((v.front() == '"' && v.back() == '"') || (v.front() == '\'' && v.back() == '\'')))
        v = v.mid(1, v.size() - 2);
    return v;
}

}  // namespace

IniProfile::IniProfile(fs::path file) : m_path(std::move(file)) { Reload(); }

void IniProfile::Reload()
{
    m_lines.clear();
    // Read as the program reads every file: only a regular file, so that a
    // named pipe or a device in its place is passed over instead of waited
    // on.  What is there but cannot be read is not written over either.
    const morvane::Result<std::vector<uint8_t>> file = morvane::ReadFileBytes(m_path, kMaxProfileSize);
    std::error_code error;
    m_passedOver = !file.ok() && fs::exists(m_path, error);
    if (!file.ok()) return;
    QByteArray bytes(reinterpret_cast<const char*>(file.value->data()), static_cast<qsizetype>(file.value->size()));
    if (bytes.startsWith("\xEF\xBB\xBF")) bytes.remove(0, 3);
    if (bytes.endsWith('\n')) bytes.chop(1);
    if (bytes.isEmpty()) return;
    QString current;
    for (QByteArray text : bytes.split('\n')) {
        if (text.endsWith('\r')) text.chop(1);
        Line line;
        // A value keeps its bytes (a file name need not be UTF-8).
        line.text = DecodeFileName(text);
        const QString t = line.text.trimmed();
        if (t.startsWith('[')) {
            const int close = t.indexOf(']');
            line.isSection = true;
            line.section = (close < 0 ? t.mid(1) : t.mid(1, close - 1)).trimmed();
            current = line.section;
        } else if (!t.isEmpty() && !t.startsWith(';') && t.contains('=')) {
            line.isKey = true;
            line.section = current;
            line.key = t.left(t.indexOf('=')).trimmed();
        }
        m_lines.push_back(std::move(line));
    }
}

int IniProfile::FindSection(const QString& section) const
{
    for (size_t i = 0; i < m_lines.size(); ++i) {
        if (m_lines[i].isSection && m_lines[i].section.compare(section, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

int IniProfile::SectionEnd(int sectionLine) const
{
    size_t i = static_cast<size_t>(sectionLine) + 1;
    while (i < m_lines.size() && !m_lines[i].isSection) ++i;
    return static_cast<int>(i);
}

int IniProfile::FindKey(int sectionLine, const QString& key) const
{
    if (sectionLine < 0) return -1;
    const int end = SectionEnd(sectionLine);
    for (int i = sectionLine + 1; i < end; ++i) {
        if (m_lines[i].isKey && m_lines[i].key.compare(key, Qt::CaseInsensitive) == 0) return i;
    }
    return -1;
}

QString IniProfile::GetString(const QString& section, const QString& key, const QString& fallback) const
{
    const int i = FindKey(FindSection(section), key);
    if (i < 0) return fallback;
    const QString& t = m_lines[i].text;
    return Unquote(t.mid(t.indexOf('=') + 1));
}

int IniProfile::GetInt(const QString& section, const QString& key, int fallback) const
{
    if (!HasKey(section, key)) return fallback;
    const QString v = GetString(section, key).trimmed();
    int i = 0;
    bool negative = false;
    if (i < v.size() && (v[i] == '-' || v[i] == '+')) negative = v[i++] == '-';
    if (i >= v.size() || !v[i].isDigit()) return fallback;
    long long n = 0;
    for (; i < v.size() && v[i].isDigit(); ++i) {
        n = n * 10 + v[i].digitValue();
        if (n > 0x7FFFFFFFLL) n = 0x80000000LL;
    }
    if (negative) n = -n;
    if (n > 0x7FFFFFFFLL) n = 0x7FFFFFFFLL;
    if (n < -0x80000000LL) n = -0x80000000LL;
    return static_cast<int>(n);
}

bool IniProfile::HasKey(const QString& section, const QString& key) const
{
    return FindKey(FindSection(section), key) >= 0;
}

QStringList IniProfile::Keys(const QString& section) const
{
    QStringList keys;
    const int s = FindSection(section);
    if (s < 0) return keys;
    const int end = SectionEnd(s);
    for (int i = s + 1; i < end; ++i) {
        if (m_lines[i].isKey) keys << m_lines[i].key;
    }
    return keys;
}

bool IniProfile::WriteString(const QString& section, const QString& key, const QString& value)
{
    // Keep the value on one line.
    QString v = value;
    v.replace('\n', ' ').replace('\r', ' ');
    Line line;
    line.isKey = true;
    line.section = section;
    line.key = key;
    line.text = key + "=" + v;

    int s = FindSection(section);
    if (s < 0) {
        if (!m_lines.empty() && !m_lines.back().text.trimmed().isEmpty()) m_lines.push_back(Line{});
        Line head;
        head.isSection = true;
        head.section = section;
        head.text = "[" + section + "]";
        m_lines.push_back(head);
        s = static_cast<int>(m_lines.size()) - 1;
    }
    const int k = FindKey(s, key);
    if (k >= 0) {
        line.key = m_lines[k].key;  // keep the spelling already in the file
        line.text = line.key + "=" + v;
        m_lines[k] = line;
    } else {
        // After the section's last non-empty line.
        int at = SectionEnd(s);
        while (at > s + 1 && m_lines[at - 1].text.trimmed().isEmpty()) --at;
        m_lines.insert(m_lines.begin() + at, line);
    }
    return Save();
}

bool IniProfile::WriteInt(const QString& section, const QString& key, int value)
{
    return WriteString(section, key, QString::number(value));
}

bool IniProfile::DeleteKey(const QString& section, const QString& key)
{
    const int k = FindKey(FindSection(section), key);
    if (k < 0) return true;
    m_lines.erase(m_lines.begin() + k);
    return Save();
}

bool IniProfile::Save() const
{
    if (m_passedOver) return false;
    std::error_code ec;
    if (m_path.has_parent_path()) fs::create_directories(m_path.parent_path(), ec);
    QByteArray bytes;
    for (const Line& l : m_lines) {
        bytes += EncodeFileName(l.text);
        bytes += '\n';
    }
    // Through the program's writer, which keeps the path's bytes and what
    // the user gave the file (its owner, mode and other names).
    return morvane::WriteFileReplacing(m_path, std::span(reinterpret_cast<const uint8_t*>(bytes.constData()),
                                                         static_cast<size_t>(bytes.size())))
        .ok();
}

fs::path IniProfile::DefaultPath()
{
    if (const char* env = std::getenv("MORVANE_PROFILE"); env && *env) return fs::path(env);
    QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (dir.isEmpty()) dir = QStringLiteral(".");
    return LocalFile(dir) / "morvane" / "Morvane.ini";
}
