// The about box: the program's icon, name and version.
#pragma once

#include "platform/Dialog.h"

class UiDialogs;

constexpr int IDD_ABOUTBOX = 100;
constexpr int IDC_ABOUT_ICON = 129;

class CAboutDlg : public CDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(UiDialogs& ui, QWidget* parent = nullptr);

protected:
    bool OnInitDialog() override;
};

// The program's icon (its own picture, shipped with the data files); a
// null icon when the picture is missing.
class QIcon;
QIcon ProgramIcon();
