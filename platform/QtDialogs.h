// The Qt dialogs: the dialog layer (platform/UiDialogs.h) the program
// asks through, with Qt's message box and its file, print, page set-up,
// colour and font dialogs.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

#include "platform/UiDialogs.h"

// "Texture File (*.zyv) | *.zyv| Layer File (*.kvo) | *.kvo||" as the
// name filters of a Qt file dialog.
QStringList ConvertFilter(const QString& filter);
// The folder a request starts in on this machine.
QString NativeInitialDir(const QString& initialDir);
// The parent a dialog asked for over `requested` is given: `requested`
// itself, unless it lies in a passing window (the splash, a pop-up, a
// tooltip) that may be deleted while the dialog runs, and the dialog with
// it; then the nearest lasting window that holds that one, or none.
QWidget* LastingParent(QWidget* requested);

class QtDialogs : public UiDialogs {
public:
    int MessageBox(QWidget* parent, const QString& text, const QString& caption, unsigned style) override;
    QStringList FileDialog(QWidget* parent, const FileDialogRequest& request) override;
    bool PrintDialog(QWidget* parent, QPrinter& printer) override;
    void PageSetupDialog(QWidget* parent, QPrinter& printer) override;
    void PrintPreview(QWidget* parent, QPrinter& printer, const std::function<void(QPrinter*)>& paint) override;
    void RunModal(QDialog& dialog) override;
    bool ColorDialog(QWidget* parent, QColor initial, QColor* chosen) override;
    bool FontDialog(QWidget* parent, const QFont& initial, QFont* chosen) override;
};
