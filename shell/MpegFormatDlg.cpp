#include "shell/MpegFormatDlg.h"

namespace {

constexpr ControlSpec kControls[] = {
    {1042, ControlKind::GroupBox, {4, 4, 90, 48}, 0, "Video Fomat : "},
    {1043, ControlKind::RadioButton, {8, 17, 29, 10}, kGroup, "PAL"},
    {1044, ControlKind::RadioButton, {8, 28, 35, 10}, 0, "NTSC"},
    {1045, ControlKind::RadioButton, {8, 41, 41, 10}, 0, "SECAM"},
    {1, ControlKind::DefPushButton, {18, 54, 30, 14}, 0, "OK"},
    {2, ControlKind::PushButton, {48, 54, 30, 14}, 0, "Cancel"},
};

}  // namespace

CMpegFormatDlg::CMpegFormatDlg(UiDialogs& ui, QWidget* parent)
    : CDialog(ui, {QStringLiteral("Video format for MPEG2"), QSize(97, 73), kControls}, parent)
{
}

void CMpegFormatDlg::DoDataExchange(CDataExchange* pDX) { DDX_Radio(pDX, 1043, m_videoFormat); }
