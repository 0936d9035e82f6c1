#include "shell/FormatDlg.h"

#include <QAbstractButton>

#include "engine/TextureFile.h"
#include "platform/UiDialogs.h"
#include "shell/FreeFormatDlg.h"

namespace {

// The buttons in the order of the group (the radio index), with their ids.
const ControlSpec kControls[] = {
    {104, ControlKind::RadioButton, {10, 8, 120, 10}, kGroup, "Screen/16 (160x120)"},
    {105, ControlKind::RadioButton, {10, 19, 120, 10}, 0, "Screen/4 (320x240)"},
    {106, ControlKind::RadioButton, {10, 30, 120, 10}, 0, "Screen (640x480)"},
    {112, ControlKind::RadioButton, {10, 41, 120, 10}, 0, "Screen HD (800x600)"},
    {107, ControlKind::RadioButton, {10, 52, 120, 10}, 0, "Video PAL (704x576)"},
    {113, ControlKind::RadioButton, {10, 63, 120, 10}, 0, "Video NTSC (704x480)"},
    {114, ControlKind::RadioButton, {10, 74, 120, 10}, 0, "Video SECAM (704x576)"},
    {116, ControlKind::RadioButton, {10, 85, 120, 10}, 0, "Video HDTV (1440x960)"},
    {108, ControlKind::RadioButton, {10, 96, 120, 10}, 0, "1K (1024x740)"},
    {109, ControlKind::RadioButton, {10, 107, 120, 10}, 0, "2K (2048x1536)"},
    {110, ControlKind::RadioButton, {10, 118, 120, 10}, 0, "4K (4096x2836)"},
    {115, ControlKind::RadioButton, {10, 129, 120, 10}, 0, "8K (8192x5672)"},
    {111, ControlKind::RadioButton, {10, 140, 120, 10}, 0, "Free Format ..."},
    {IDOK, ControlKind::DefPushButton, {18, 158, 50, 14}, kGroup, "OK"},
    {IDCANCEL, ControlKind::PushButton, {80, 158, 50, 14}, 0, "Cancel"},
};

const DialogTemplate kTemplate{QStringLiteral("Image Format  "), QSize(148, 180), kControls};

// The sizes the fixed formats set.  The 1K label says 740 and the 8K label
// 8192: the sizes set are 768 and 8190.
const QSize kFormatSizes[kFreeFormatIndex] = {
    {160, 120}, {320, 240}, {640, 480}, {800, 600}, {704, 576}, {704, 480},
    {704, 576}, {1440, 960}, {1024, 768}, {2048, 1536}, {4096, 2836}, {8190, 5672},
};

}  // namespace

CFormatDlg::CFormatDlg(UiDialogs& ui, QWidget* parent) : CDialog(ui, kTemplate, parent) {}

QSize CFormatDlg::FormatSize(int index) const
{
    if (index >= 0 && index < kFreeFormatIndex) return kFormatSizes[index];
    if (index == kFreeFormatIndex) return QSize(static_cast<uint16_t>(m_freeWidth), static_cast<uint16_t>(m_freeHeight));
    return QSize();
}

void CFormatDlg::DoDataExchange(CDataExchange* pDX) { DDX_Radio(pDX, IDC_FORMAT_FIRST, m_nFormat); }

bool CFormatDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    if (auto* free = GetDlgItem<QAbstractButton>(IDC_FREE_FORMAT))
        connect(free, &QAbstractButton::clicked, this, [this] { OnFreeFormat(); });
    return true;
}

void CFormatDlg::OnFreeFormat()
{
    // The Free Format dialog starts at the current layer's size.
    CFreeFormatDlg dlg(Ui(), this);
    if (m_layerSize) {
        m_freeWidth = static_cast<int16_t>(m_layerSize->width());
        m_freeHeight = static_cast<int16_t>(m_layerSize->height());
    }
    dlg.m_width = static_cast<uint16_t>(m_freeWidth);
    dlg.m_height = static_cast<uint16_t>(m_freeHeight);
    if (dlg.DoModal() != IDOK) return;
    // Sizes above 32767 keep their 16 bits; readers take them unsigned.
    m_freeWidth = static_cast<int16_t>(static_cast<uint16_t>(dlg.m_width));
    m_freeHeight = static_cast<int16_t>(static_cast<uint16_t>(dlg.m_height));
}
