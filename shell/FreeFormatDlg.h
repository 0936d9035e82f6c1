// The Free Format dialog: a width and a height of 1 to 65500 pixels (the
// largest side of a saved picture, media/Export.h).  A value outside that
// range, or not a number, is refused with the standard message and the
// dialog stays open.
#pragma once

#include <cstdint>

#include "platform/DataExchange.h"
#include "platform/Dialog.h"

class UiDialogs;

constexpr int IDD_FREE_FORMAT = 210;
constexpr int IDC_FREE_WIDTH = 209;
constexpr int IDC_FREE_HEIGHT = 212;

class CFreeFormatDlg : public CDialog {
    Q_OBJECT
public:
    explicit CFreeFormatDlg(UiDialogs& ui, QWidget* parent = nullptr);

    int32_t m_width = 0;
    int32_t m_height = 0;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
};
