// The recent-file list of the File menu: at most eight paths, the most
// recent first, each standing once.  It lives in the profile, section
// "Recent File List", keys "File1" (the most recent) to "File8".
#pragma once

#include <QString>
#include <QStringList>

class IniProfile;

class RecentFileList {
public:
    static constexpr int kSize = 8;

    // Reads "File1".."File8"; empty values and repeats are skipped.
    void Load(const IniProfile& profile);
    // Writes the entries to "File1".. and removes the keys after the last
    // entry.  False when the profile cannot be written.
    bool Save(IniProfile& profile) const;

    // Puts `path` in front; another entry naming the same file goes.
    // Paths that a profile line cannot hold (line breaks) are not taken.
    void Add(const QString& path);
    // Removes every entry naming the same file as `path`.
    void Remove(const QString& path);

    // Entry n (1-based); empty when there is none.
    QString Entry(int n) const;
    const QStringList& Entries() const { return m_entries; }

    // The form in which two entries are compared: absolute and clean.
    static QString Normalise(const QString& path);

private:
    QStringList m_entries;
};
