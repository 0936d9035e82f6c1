#include "shell/RecentFileList.h"

#include "platform/FileName.h"
#include "platform/Profile.h"

namespace {

const QString kSection = QStringLiteral("Recent File List");

QString KeyOf(int n) { return QStringLiteral("File%1").arg(n); }

}  // namespace

QString RecentFileList::Normalise(const QString& path)
{
    // A stored Windows path is kept as it stands (it is resolved when it is
    // opened); a native one becomes absolute.
    if (path.contains('\\') || (path.size() >= 2 && path[1] == ':')) return path;
    return AbsoluteFileName(path);
}

void RecentFileList::Load(const IniProfile& profile)
{
    m_entries.clear();
    for (int n = 1; n <= kSize; ++n) {
        const QString value = profile.GetString(kSection, KeyOf(n));
        if (value.isEmpty()) continue;
        const QString path = Normalise(value);
        if (!m_entries.contains(path)) m_entries << path;
    }
}

bool RecentFileList::Save(IniProfile& profile) const
{
    bool ok = true;
    for (int n = 1; n <= kSize; ++n) {
        if (n <= m_entries.size()) {
            if (profile.GetString(kSection, KeyOf(n)) != m_entries[n - 1])
                ok = profile.WriteString(kSection, KeyOf(n), m_entries[n - 1]) && ok;
        } else if (profile.HasKey(kSection, KeyOf(n))) {
            ok = profile.DeleteKey(kSection, KeyOf(n)) && ok;
        }
    }
    return ok;
}

void RecentFileList::Add(const QString& path)
{
    if (path.isEmpty() || path.contains('\n') || path.contains('\r')) return;
    const QString entry = Normalise(path);
    m_entries.removeAll(entry);
    m_entries.prepend(entry);
    while (m_entries.size() > kSize) m_entries.removeLast();
}

void RecentFileList::Remove(const QString& path) { m_entries.removeAll(Normalise(path)); }

QString RecentFileList::Entry(int n) const
{
    return n >= 1 && n <= m_entries.size() ? m_entries[n - 1] : QString();
}
