#include "shell/FreeFormatDlg.h"

#include "media/Export.h"
#include "platform/UiDialogs.h"

namespace {

const ControlSpec kControls[] = {
    {-1, ControlKind::Static, {10, 10, 48, 10}, 0, "Horizontal :"},
    {IDC_FREE_WIDTH, ControlKind::Edit, {62, 8, 60, 12}, kGroup},
    {-1, ControlKind::Static, {10, 28, 48, 10}, 0, "Vertical :"},
    {IDC_FREE_HEIGHT, ControlKind::Edit, {62, 26, 60, 12}, kGroup},
    {IDOK, ControlKind::DefPushButton, {14, 48, 50, 14}, kGroup, "OK"},
    {IDCANCEL, ControlKind::PushButton, {72, 48, 50, 14}, 0, "Cancel"},
};

const DialogTemplate kTemplate{QStringLiteral("Free Format"), QSize(136, 70), kControls};

}  // namespace

CFreeFormatDlg::CFreeFormatDlg(UiDialogs& ui, QWidget* parent) : CDialog(ui, kTemplate, parent) {}

void CFreeFormatDlg::DoDataExchange(CDataExchange* pDX)
{
    DDX_Text(pDX, IDC_FREE_WIDTH, m_width);
    DDV_MinMaxInt(pDX, m_width, 1, morvane::kLargestPictureSide);
    DDX_Text(pDX, IDC_FREE_HEIGHT, m_height);
    DDV_MinMaxInt(pDX, m_height, 1, morvane::kLargestPictureSide);
}
