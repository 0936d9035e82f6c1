// Message boxes, modal dialogs, the file, colour, font and printer dialogs
// behind one interface, so that tests script the answers and read the
// exact texts.
//
// The application is handed the dialog layer it asks through (the Qt
// dialogs, platform/QtDialogs.h, in the program) and hands it on to its
// windows; a test hands its own answers (tests/support/ScriptedDialogs.h)
// and reads what was asked.
#pragma once

#include <QColor>
#include <QFont>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <string>

class QDialog;
class QPrinter;
class QWidget;

// Buttons and icon of a message box, and its answers (the values the
// program's code compares with).
enum MessageBoxStyle : unsigned {
    MB_OK = 0x0,
    MB_OKCANCEL = 0x1,
    MB_YESNOCANCEL = 0x3,
    MB_YESNO = 0x4,
    MB_ICONHAND = 0x10,
    MB_ICONSTOP = 0x10,
    MB_ICONERROR = 0x10,
    MB_ICONQUESTION = 0x20,
    MB_ICONEXCLAMATION = 0x30,
    MB_ICONWARNING = 0x30,
    MB_ICONINFORMATION = 0x40,
    MB_TYPEMASK = 0xF,
    MB_ICONMASK = 0xF0,
};
enum MessageBoxAnswer : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

// Option flags of the file dialogs, as the program's code names them.
enum FileDialogFlags : unsigned {
    OFN_OVERWRITEPROMPT = 0x2,
    OFN_HIDEREADONLY = 0x4,
    OFN_ALLOWMULTISELECT = 0x200,
    OFN_PATHMUSTEXIST = 0x800,
    OFN_FILEMUSTEXIST = 0x1000,
};

struct FileDialogRequest {
    bool save = false;       // a save dialog, else an open dialog
    QString title;           // caption
    QString filter;          // "Name | *.ext| Name2 | *.ext2||" as the program's strings give it
    QString defaultExt;      // appended to a typed name without extension ("kvo", no dot)
    QString initialDir;      // a stored path ("\\kvo") or a native folder
    QString initialName;
    unsigned flags = 0;      // FileDialogFlags
};

class UiDialogs {
public:
    virtual ~UiDialogs() = default;
    // Returns IDOK, IDCANCEL, IDYES or IDNO.
    virtual int MessageBox(QWidget* parent, const QString& text, const QString& caption, unsigned style) = 0;
    // The chosen paths in the order the dialog gives them; empty on cancel.
    virtual QStringList FileDialog(QWidget* parent, const FileDialogRequest& request) = 0;
    // The print dialog over `printer`; true to print.
    virtual bool PrintDialog(QWidget* parent, QPrinter& printer) = 0;
    // The page set-up dialog over `printer`.
    virtual void PageSetupDialog(QWidget* parent, QPrinter& printer) = 0;
    // A print preview that draws its pages with `paint`.
    virtual void PrintPreview(QWidget* parent, QPrinter& printer, const std::function<void(QPrinter*)>& paint) = 0;
    // Shows one of the program's dialogs, made already, modally until it
    // has ended.
    virtual void RunModal(QDialog& dialog) = 0;
    // The colour dialog opened with `initial`; true and `chosen` on OK.
    virtual bool ColorDialog(QWidget* parent, QColor initial, QColor* chosen) = 0;
    // The font dialog opened with `initial`; true and `chosen` on OK.
    virtual bool FontDialog(QWidget* parent, const QFont& initial, QFont* chosen) = 0;

    // A message box over the owner with the program's caption.
    int Message(const QString& text, unsigned style = MB_OK | MB_ICONEXCLAMATION);
    // The window Message's boxes stand over: the main frame, which outlives
    // every box, never a passing window (the splash, a pop-up) that may go
    // while a box runs.  None until the application sets it.
    void SetOwner(QWidget* owner);
    // A function that shows each text (UTF-8) it is handed as Message does,
    // with the default style.
    std::function<void(const std::string&)> Teller();

private:
    QPointer<QWidget> m_owner;
};

// What a message box of `style` answers when the user presses Escape.
int EscapeAnswer(unsigned style);
// The suffix a file dialog adds to a name typed without one while the
// request's file type at `filterIndex` (0 the first) is chosen.
QString DefaultSuffix(const FileDialogRequest& request, int filterIndex);

// The caption of the program's message boxes.
QString AppCaption();
void SetAppCaption(const QString& caption);
