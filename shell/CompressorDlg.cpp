#include "shell/CompressorDlg.h"

#include <QComboBox>
#include <QLineEdit>

#include "platform/UiDialogs.h"
#include "platform/SpinButton.h"

namespace {

constexpr int kStatic = -1;
constexpr ControlSpec kControls[] = {
    {kStatic, ControlKind::Static, {7, 9, 56, 8}, 0, "Compressor:"},
    {CCompressorDlg::kCompressorList, ControlKind::ComboBox, {66, 7, 126, 40}, kVScroll},
    {kStatic, ControlKind::Static, {7, 27, 84, 8}, 0, "Compression Quality:"},
    {CCompressorDlg::kQualityEdit, ControlKind::Edit, {94, 25, 26, 12}},
    {CCompressorDlg::kQualitySpin, ControlKind::UpDown, {120, 25, 10, 12}, kAutoBuddy},
    {1, ControlKind::DefPushButton, {88, 44, 50, 14}, 0, "OK"},
    {2, ControlKind::PushButton, {142, 44, 50, 14}, 0, "Cancel"},
};

}  // namespace

CCompressorDlg::CCompressorDlg(UiDialogs& ui, QWidget* parent)
    : CDialog(ui, {QStringLiteral("Video Compression"), QSize(199, 64), kControls}, parent)
{
}

bool CCompressorDlg::OnInitDialog()
{
    auto* list = GetDlgItem<QComboBox>(kCompressorList);
    list->addItems({QStringLiteral("Full Frames (Uncompressed)"), QStringLiteral("Microsoft RLE")});
    connect(list, &QComboBox::activated, this, &CCompressorDlg::OnSelChangeCompressor);
    GetDlgItem<CSpinButtonCtrl>(kQualitySpin)->SetRange(0, 100);
    const bool shown = CDialog::OnInitDialog();
    OnSelChangeCompressor();
    return shown;
}

void CCompressorDlg::DoDataExchange(CDataExchange* pDX)
{
    DDX_CBIndex(pDX, kCompressorList, m_compressor);
    DDX_Text(pDX, kQualityEdit, m_quality);
    DDV_MinMaxInt(pDX, m_quality, 0, 100);
}

void CCompressorDlg::OnSelChangeCompressor()
{
    const bool rle = GetDlgItem<QComboBox>(kCompressorList)->currentIndex() == 1;
    GetDlgItem(kQualityEdit)->setEnabled(rle);
    GetDlgItem(kQualitySpin)->setEnabled(rle);
}

namespace morvane {

std::optional<AviSettings> ChooseCompressor(UiDialogs& ui, QWidget* parent)
{
    CCompressorDlg dlg(ui, parent);
    if (dlg.DoModal() != IDOK) return std::nullopt;
    AviSettings settings;
    settings.rle = dlg.m_compressor != 0;
    settings.quality = dlg.m_quality;
    return settings;
}

}  // namespace morvane
