#include "platform/UiDialogs.h"

#include <QWidget>
#include <QRegularExpression>

namespace {

QString& CaptionSlot()
{
    static QString caption = QStringLiteral("Morvane");
    return caption;
}

}  // namespace

QString AppCaption() { return CaptionSlot(); }
void SetAppCaption(const QString& caption) { CaptionSlot() = caption; }

void UiDialogs::SetOwner(QWidget* owner) { m_owner = owner; }

int UiDialogs::Message(const QString& text, unsigned style)
{
    return MessageBox(m_owner, text, AppCaption(), style);
}

std::function<void(const std::string&)> UiDialogs::Teller()
{
    return [this](const std::string& text) { Message(QString::fromStdString(text)); };
}

int EscapeAnswer(unsigned style)
{
    switch (style & MB_TYPEMASK) {
    case MB_YESNO: return IDNO;
    case MB_OK: return IDOK;
    default: return IDCANCEL;
    }
}

QString DefaultSuffix(const FileDialogRequest& request, int filterIndex)
{
    // The type's one pattern "*.ext" gives the suffix; a type of several
    // patterns or of any name gives the request's.
    const QStringList parts = request.filter.split('|');
    const qsizetype at = 2 * static_cast<qsizetype>(filterIndex) + 1;
    if (filterIndex < 0 || at >= parts.size()) return request.defaultExt;
    const QString pattern = parts[at].trimmed();
    static const QRegularExpression kOneExtension(QStringLiteral("^\\*\\.([A-Za-z0-9_]+)$"));
    const QRegularExpressionMatch m = kOneExtension.match(pattern);
    return m.hasMatch() ? m.captured(1) : request.defaultExt;
}
