// Dialogs made from a dialog template, with data exchange between their
// controls and their members (platform/DataExchange.h).
//
//   class CFreeFormatDlg : public CDialog {
//   public:
//       explicit CFreeFormatDlg(UiDialogs& ui) : CDialog(ui, kTemplate) {}
//       int m_width = 0;
//   protected:
//       void DoDataExchange(CDataExchange* pDX) override
//       {
//           DDX_Text(pDX, 209, m_width);
//           DDV_MinMaxInt(pDX, m_width, 1, 65500);
//       }
//   };
//   CFreeFormatDlg dlg(ui);
//   if (dlg.DoModal() == IDOK) ... dlg.m_width ...
//
// CDialog is a modal (or modeless) window: buttons 1 (OK) and 2 (Cancel)
// of its template run OnOK and OnCancel; Enter presses the default button
// and Escape is Cancel.  DoModal goes through the dialog layer
// (platform/UiDialogs.h), so a test answers it without a nested event loop.
#pragma once

#include <QDialog>

#include "platform/ControlTemplate.h"
#include "platform/DataExchange.h"

class UiDialogs;

class CDialog : public QDialog, public DialogData {
    Q_OBJECT
public:
    CDialog(UiDialogs& ui, const DialogTemplate& tmpl, QWidget* parent = nullptr);

    // Runs the dialog modally through the dialog layer: IDOK or IDCANCEL
    // (or what EndDialog was given).
    int DoModal();
    // Makes the window's controls and initialises it (once); DoModal does
    // it, a modeless dialog calls it itself.
    void Create();

    // Ends the dialog with `result`.
    void EndDialog(int result);
    bool HasEnded() const { return m_ended; }
    int Result() const { return m_result; }

    // OK: the members take the controls' values (the dialog stays open
    // when one is refused), then the dialog ends with IDOK.
    virtual void OnOK();
    // Cancel: the dialog ends with IDCANCEL.
    virtual void OnCancel();

protected:
    // Makes a control of the template itself (null: the plain widget).
    virtual QWidget* CreateControl(const ControlSpec& spec, QWidget* parent);

    void accept() override { OnOK(); }
    void reject() override { OnCancel(); }

private:
    DialogTemplate m_template;
    bool m_created = false;
    bool m_ended = false;
    int m_result = 0;
};
