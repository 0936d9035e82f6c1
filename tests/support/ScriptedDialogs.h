// The dialog layer of the tests: answers from queues and a record of
// everything the program asked.  Header only.
//
//   ScriptedDialogs ui;                  // handed to the application, the session or a dialog
//   ui.answers = {IDYES};                // the next message box says Yes
//   ui.files = {{"/tmp/a.zyv"}};         // the next file dialog picks a.zyv
//   ui.typed = {{"/tmp/anim", 6}};       // or: "anim" typed, the seventh type chosen
//   ui.answers = {IDNO, kEscape};        // No, then Escape pressed
//   ui.colors = {QColor(255, 128, 0)};   // the next colour dialog: OK with orange
//   ui.modal.push_back([](CDialog& dlg) {            // the next modal dialog:
//       dlg.GetDlgItem<QLineEdit>(209)->setText("64");  // type,
//       QTest::mouseClick(dlg.GetDlgItem(IDOK), Qt::LeftButton);  // press OK
//   });
// A modal dialog runs created and shown, without a nested event loop; the
// script presses its buttons with real events.  A dialog the script leaves
// open (or one without a script) is cancelled.  An empty queue answers
// Cancel (OK for a message box with only OK).
#pragma once

#include <QColor>
#include <QFileInfo>
#include <QFont>
#include <QPointer>
#include <QPrinter>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "platform/Dialog.h"
#include "platform/UiDialogs.h"


class ScriptedDialogs : public UiDialogs {
public:
    // An answer: the Escape key pressed in the message box.
    static constexpr int kEscape = -1;

    // A name typed into a file dialog with the file type at `filter` (0 the
    // first) chosen; the dialog completes a name without a suffix.
    struct TypedName {
        QString name;
        int filter = 0;
    };

    struct ShownMessage {
        QString text;
        QString caption;
        unsigned style;
        QPointer<QWidget> parent;  // the window the box was made over
    };

    std::deque<int> answers;                                  // message box answers, in order
    std::deque<QStringList> files;                            // file dialog answers, in order
    std::deque<TypedName> typed;                              // typed file dialog answers, before `files`
    std::deque<bool> printAnswers;                            // print dialog answers
    std::deque<QString> printFiles;                           // the file an accepted print dialog picks (none: as offered)
    std::deque<std::function<void(CDialog&)>> modal;          // what happens in each modal dialog
    std::deque<std::optional<QColor>> colors;                 // colour dialog answers (none: Cancel)
    std::deque<std::optional<QFont>> fonts;                   // font dialog answers (none: Cancel)
    int defaultAnswer = IDCANCEL;                             // when `answers` is empty (IDOK for MB_OK boxes)
    std::vector<ShownMessage> messages;                         // every message box shown
    std::vector<FileDialogRequest> fileRequests;
    std::vector<QString> modalCaptions;                       // the caption of every modal dialog run
    std::vector<QColor> colorRequests;                        // the initial colour of every colour dialog
    std::vector<QFont> fontRequests;
    // What the printer was set to when a print dialog or a preview came:
    // the job's name and the file it would print into.
    struct PrintJob {
        QString docName;
        QString outputFile;
    };
    std::vector<PrintJob> printJobs;
    int printDialogs = 0;
    int pageSetups = 0;
    int previews = 0;
    bool paintPreview = true;  // run the preview's paint into the printer

    int MessageBox(QWidget* parent, const QString& text, const QString& caption, unsigned style) override
    {
        messages.push_back({text, caption, style, parent});
        if (!answers.empty()) {
            const int a = answers.front();
            answers.pop_front();
            return a == kEscape ? EscapeAnswer(style) : a;
        }
        return (style & MB_TYPEMASK) == MB_OK ? IDOK : defaultAnswer;
    }

    QStringList FileDialog(QWidget*, const FileDialogRequest& request) override
    {
        fileRequests.push_back(request);
        if (!typed.empty()) {
            const TypedName t = typed.front();
            typed.pop_front();
            // As a Qt file dialog completes it.
            const QString suffix = DefaultSuffix(request, t.filter);
            if (QFileInfo(t.name).suffix().isEmpty() && !suffix.isEmpty()) return {t.name + "." + suffix};
            return {t.name};
        }
        if (files.empty()) return {};
        QStringList f = files.front();
        files.pop_front();
        return f;
    }

    bool PrintDialog(QWidget*, QPrinter& printer) override
    {
        ++printDialogs;
        printJobs.push_back({printer.docName(), printer.outputFileName()});
        if (printAnswers.empty()) return false;
        const bool a = printAnswers.front();
        printAnswers.pop_front();
        if (a && !printFiles.empty()) {
            if (!printFiles.front().isEmpty()) printer.setOutputFileName(printFiles.front());
            printFiles.pop_front();
        }
        return a;
    }

    void PageSetupDialog(QWidget*, QPrinter&) override { ++pageSetups; }

    void PrintPreview(QWidget*, QPrinter& printer, const std::function<void(QPrinter*)>& paint) override
    {
        ++previews;
        printJobs.push_back({printer.docName(), printer.outputFileName()});
        if (paintPreview) paint(&printer);
    }

    void RunModal(QDialog& shown) override
    {
        auto& dialog = static_cast<CDialog&>(shown);  // the program's dialogs are all CDialogs
        modalCaptions.push_back(dialog.windowTitle());
        dialog.show();
        if (!modal.empty()) {
            auto script = std::move(modal.front());
            modal.pop_front();
            if (!dialog.HasEnded() && script) script(dialog);
        }
        if (!dialog.HasEnded()) dialog.OnCancel();
        dialog.hide();
    }

    bool ColorDialog(QWidget*, QColor initial, QColor* chosen) override
    {
        colorRequests.push_back(initial);
        if (colors.empty()) return false;
        const std::optional<QColor> answer = colors.front();
        colors.pop_front();
        if (!answer) return false;
        if (chosen) *chosen = *answer;
        return true;
    }

    bool FontDialog(QWidget*, const QFont& initial, QFont* chosen) override
    {
        fontRequests.push_back(initial);
        if (fonts.empty()) return false;
        const std::optional<QFont> answer = fonts.front();
        fonts.pop_front();
        if (!answer) return false;
        if (chosen) *chosen = *answer;
        return true;
    }
};
