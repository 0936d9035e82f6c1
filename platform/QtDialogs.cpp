#include "platform/QtDialogs.h"

#include <QColorDialog>
#include <QFontDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>

#include "engine/Paths.h"
#include "platform/FileName.h"

QStringList ConvertFilter(const QString& filter)
{
    QStringList out;
    const QStringList parts = filter.split('|');
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString name = parts[i].trimmed();
        QString patterns = parts[i + 1].trimmed();
        if (name.isEmpty() && patterns.isEmpty()) break;
        patterns.replace(';', ' ');
        // Qt reads the patterns from the last parentheses of the name.
        if (name.endsWith(')') && name.contains('('))
            out << name.left(name.lastIndexOf('(')).trimmed() + " (" + patterns + ")";
        else
            out << name + " (" + patterns + ")";
    }
    return out;
}

QString NativeInitialDir(const QString& initialDir)
{
    if (initialDir.isEmpty()) return QString();
    const std::string stored = LocalFile(initialDir).native();
    if (auto found = morvane::ResolveStoredPath(stored)) return FileNameOf(*found);
    return FileNameOf(morvane::MapStoredPath(stored));
}

namespace {

bool IsPassingWindow(const QWidget* window)
{
    switch (window->windowType()) {
    case Qt::SplashScreen:
    case Qt::Popup:
    case Qt::ToolTip: return true;
    default: return false;
    }
}

}  // namespace

QWidget* LastingParent(QWidget* requested)
{
    QWidget* parent = requested;
    while (parent && IsPassingWindow(parent->window())) parent = parent->window()->parentWidget();
    return parent;
}

int QtDialogs::MessageBox(QWidget* parent, const QString& text, const QString& caption, unsigned style)
{
    QMessageBox box(LastingParent(parent));
    box.setWindowTitle(caption);
    box.setText(text);
    switch (style & MB_ICONMASK) {
    case MB_ICONHAND: box.setIcon(QMessageBox::Critical); break;
    case MB_ICONQUESTION: box.setIcon(QMessageBox::Question); break;
    case MB_ICONEXCLAMATION: box.setIcon(QMessageBox::Warning); break;
    case MB_ICONINFORMATION: box.setIcon(QMessageBox::Information); break;
    default: break;
    }
    switch (style & MB_TYPEMASK) {
    case MB_OKCANCEL: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    case MB_YESNOCANCEL:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    case MB_YESNO: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    default: box.setStandardButtons(QMessageBox::Ok); break;
    }
    switch (box.exec()) {
    case QMessageBox::Yes: return IDYES;
    case QMessageBox::No: return IDNO;
    case QMessageBox::Ok: return IDOK;
    default: return EscapeAnswer(style);
    }
}

QStringList QtDialogs::FileDialog(QWidget* parent, const FileDialogRequest& r)
{
    QFileDialog dlg(LastingParent(parent), r.title, NativeInitialDir(r.initialDir));
    // A name typed without a suffix takes the chosen type's.
    const QStringList filters = ConvertFilter(r.filter);
    dlg.setNameFilters(filters);
    dlg.setDefaultSuffix(DefaultSuffix(r, 0));
    QObject::connect(&dlg, &QFileDialog::filterSelected, &dlg, [&dlg, &r, &filters](const QString& filter) {
        dlg.setDefaultSuffix(DefaultSuffix(r, static_cast<int>(filters.indexOf(filter))));
    });
    if (r.save) {
        dlg.setAcceptMode(QFileDialog::AcceptSave);
        dlg.setFileMode(QFileDialog::AnyFile);
        if (!(r.flags & OFN_OVERWRITEPROMPT)) dlg.setOption(QFileDialog::DontConfirmOverwrite);
    } else {
        dlg.setAcceptMode(QFileDialog::AcceptOpen);
        dlg.setFileMode((r.flags & OFN_ALLOWMULTISELECT) ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    }
    if (!r.initialName.isEmpty()) dlg.selectFile(r.initialName);
    if (dlg.exec() != QDialog::Accepted) return {};
    // The dialog reads the folder's names as UTF-8: a name that is not
    // gets its bytes back.
    QStringList chosen;
    for (const QString& file : dlg.selectedFiles()) chosen << RecoveredFileName(file);
    return chosen;
}

bool QtDialogs::PrintDialog(QWidget* parent, QPrinter& printer)
{
    QPrintDialog dlg(&printer, LastingParent(parent));
    return dlg.exec() == QDialog::Accepted;
}

void QtDialogs::PageSetupDialog(QWidget* parent, QPrinter& printer)
{
    QPageSetupDialog dlg(&printer, LastingParent(parent));
    dlg.exec();
}

void QtDialogs::PrintPreview(QWidget* parent, QPrinter& printer, const std::function<void(QPrinter*)>& paint)
{
    QPrintPreviewDialog dlg(&printer, LastingParent(parent));
    QObject::connect(&dlg, &QPrintPreviewDialog::paintRequested, &dlg, [&](QPrinter* p) { paint(p); });
    dlg.exec();
}

void QtDialogs::RunModal(QDialog& dialog) { dialog.exec(); }

bool QtDialogs::ColorDialog(QWidget* parent, QColor initial, QColor* chosen)
{
    QColorDialog dlg(initial, LastingParent(parent));
    if (dlg.exec() != QDialog::Accepted) return false;
    if (chosen) *chosen = dlg.selectedColor();
    return true;
}

bool QtDialogs::FontDialog(QWidget* parent, const QFont& initial, QFont* chosen)
{
    QFontDialog dlg(initial, LastingParent(parent));
    if (dlg.exec() != QDialog::Accepted) return false;
    if (chosen) *chosen = dlg.selectedFont();
    return true;
}
