// Data exchange between the controls of a window made from a dialog
// template and its members; dialogs (platform/Dialog.h) and docked panels
// (platform/Panel.h) share it.
//
// Dialogs and panels are handed the dialog layer (platform/UiDialogs.h) they
// ask through.  UpdateData(true) reads the controls into the members and
// validates them; the first value refused shows the standard message in a
// message box, puts the focus on its control and makes UpdateData return
// false.  UpdateData(false) shows the members in the controls.
// OnInitDialog runs once, after the controls exist; the base shows the
// members (UpdateData(false)).
#pragma once

#include <QString>
#include <QWidget>

#include <vector>

#include "platform/ControlTemplate.h"

class UiDialogs;

class CDataExchange {
public:
    // A refusal is told through `ui`.
    CDataExchange(ControlTable& controls, bool saveAndValidate, UiDialogs& ui);

    const bool m_bSaveAndValidate;
    bool Failed() const { return m_failed; }
    // The control `id`, remembered as the one a failure points at.
    QWidget* PrepareCtrl(int id);
    // Refuses the exchange: the message once, the focus on the control.
    void Fail(const QString& message);
    std::vector<QWidget*> RadioGroup(int firstId) const { return m_controls.RadioGroup(firstId); }

private:
    ControlTable& m_controls;
    UiDialogs& m_ui;
    QWidget* m_last = nullptr;
    bool m_failed = false;
};

// Check box state (0 unchecked, 1 checked, 2 indeterminate).
void DDX_Check(CDataExchange* pDX, int id, int& value);
// Index of a list's selection, -1 for none.
void DDX_CBIndex(CDataExchange* pDX, int id, int& index);
// Index of the checked radio button of the group starting at `firstId`,
// -1 for none.
void DDX_Radio(CDataExchange* pDX, int firstId, int& index);
// The text of an edit or static control as a number or string.  Numbers
// that do not parse are refused with "Please enter an integer." or
// "Please enter a number."; floats show as printf's "%.6g".  An edit shows
// its text from the first character.
void DDX_Text(CDataExchange* pDX, int id, int& value);
void DDX_Text(CDataExchange* pDX, int id, float& value);
void DDX_Text(CDataExchange* pDX, int id, QString& value);
// Range checks after a DDX_Text (only when reading): "Please enter an
// integer between %1 and %2." and "Please enter a number between %1 and %2.".
void DDV_MinMaxInt(CDataExchange* pDX, int value, int minVal, int maxVal);
void DDV_MinMaxFloat(CDataExchange* pDX, float value, float minVal, float maxVal);
// Whether `a` and `b` show as the same text in a float field: a field left
// showing the value it was given has not changed, whatever digits the
// text could not hold.
bool ShowsSameFloat(float a, float b);

// What dialogs and panels share: the controls and the data exchange.
class DialogData {
public:
    explicit DialogData(UiDialogs& ui) : m_ui(ui) {}
    virtual ~DialogData() = default;

    // The dialog layer this window asks through.
    UiDialogs& Ui() const { return m_ui; }

    bool UpdateData(bool saveAndValidate = true);
    QWidget* GetDlgItem(int id) const { return m_controls.Item(id); }
    template <class T>
    T* GetDlgItem(int id) const
    {
        return m_controls.Item<T>(id);
    }

protected:
    virtual void DoDataExchange(CDataExchange* pDX) { (void)pDX; }
    // After the controls are made; returns true (the base shows the members).
    virtual bool OnInitDialog();
    // Makes the template's controls inside `self` and runs OnInitDialog.
    void CreateControls(QWidget* self, const DialogTemplate& tmpl, const ControlFactory& factory);

    ControlTable m_controls;

private:
    UiDialogs& m_ui;
};
