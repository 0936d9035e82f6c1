// The program's settings file: a Windows-style INI file ("[Section]" lines
// and "Key=Value" lines) read and written by section and key name.  Section
// and key names are matched without regard to case and kept exactly as
// given ("Recent File List", "File1", "Tip", "StartUp", ...); values are
// stored as plain text, no escaping, and keep their bytes: a file name that
// is not UTF-8 is read back as it was written (platform/FileName.h).  Every
// write rewrites the whole file through the program's writer
// (engine/SafeFile), keeping the other lines, comments included, as they
// were.  A file that is there but could not be read (a named pipe, a file
// too large to be one) is left as it is: the values then live in memory
// only.
#pragma once

#include <QString>
#include <QStringList>

#include <filesystem>
#include <vector>

class IniProfile {
public:
    explicit IniProfile(std::filesystem::path file);

    const std::filesystem::path& Path() const { return m_path; }

    // Reads the file again (missing file: no entries).
    void Reload();

    QString GetString(const QString& section, const QString& key, const QString& fallback = QString()) const;
    // The leading integer of the value (like the Windows profile: "12abc"
    // gives 12); `fallback` when the key is missing or holds no number.
    int GetInt(const QString& section, const QString& key, int fallback) const;
    bool HasKey(const QString& section, const QString& key) const;
    // The keys of a section in file order.
    QStringList Keys(const QString& section) const;

    // Each returns false when the file cannot be written; the value is
    // then still held in memory.
    bool WriteString(const QString& section, const QString& key, const QString& value);
    bool WriteInt(const QString& section, const QString& key, int value);
    bool DeleteKey(const QString& section, const QString& key);

    // The profile the program uses: $MORVANE_PROFILE when set, else
    // "Morvane.ini" in the user's configuration folder.  (The application
    // is handed the profile's path; tests hand it another.)
    static std::filesystem::path DefaultPath();

private:
    struct Line {
        QString text;      // the line as in the file
        QString section;   // for a "[Section]" line
        QString key;       // for a "Key=Value" line
        bool isSection = false;
        bool isKey = false;
    };

    int FindSection(const QString& section) const;            // index of its header line, or -1
    int FindKey(int sectionLine, const QString& key) const;   // index of its line, or -1
    int SectionEnd(int sectionLine) const;                    // index after its last line
    bool Save() const;

    std::filesystem::path m_path;
    std::vector<Line> m_lines;
    bool m_passedOver = false;  // the file is there but was not read
};
