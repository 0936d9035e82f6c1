#include "panels/LightingDlg.h"

#include <QAbstractButton>

#include "panels/ColorBarWnd.h"
#include "panels/Paint.h"
#include "panels/SphereLightWnd.h"
#include "platform/DialogUnits.h"
#include "platform/UiDialogs.h"
#include "platform/EditingSession.h"

namespace {

constexpr int kApplyId = 3;

constexpr ControlSpec kControls[] = {
    {IDOK, ControlKind::DefPushButton, {20, 92, 32, 12}, 0, "OK"},
    {IDCANCEL, ControlKind::PushButton, {56, 92, 32, 12}, 0, "Cancel"},
    {307, ControlKind::Static, {92, 4, 30, 7}, 0, "Color :"},
    {1010, ControlKind::Static, {5, 5, 33, 8}, 0, "Direction :"},
    {kApplyId, ControlKind::PushButton, {92, 92, 32, 12}, 0, "Apply"},
};

}  // namespace

CLightingDlg::CLightingDlg(EditingSession& session, QWidget* parent)
    : CDialog(session.Ui(), {QStringLiteral("Lighting Properties  "), QSize(143, 106), kControls}, parent),
      m_session(session)
{
    setObjectName(QStringLiteral("lightingDialog"));
}

bool CLightingDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    const morvane::Layer* layer = m_session.CurrentLayerRecord();
    const morvane::LayerRecord rec = layer ? layer->rec : morvane::LayerRecord{};

    lightBar = CColorBarWnd::Create(m_session, this, QStringLiteral("lightBar"), QRect(92, 15, 48, 75),
                                    qRgb(ChannelByte(rec.lightR), ChannelByte(rec.lightG), ChannelByte(rec.lightB)),
                                    CColorBarWnd::LightColor);
    spherePicker = new CSphereLightWnd(m_session, this);
    spherePicker->setObjectName(QStringLiteral("spherePicker"));
    spherePicker->setGeometry(MapDialogRect(QRect(4, 15, 76, 75)));
    spherePicker->show();
    connect(lightBar, &CColorBarWnd::lightColorChanged, spherePicker, [this] {
        spherePicker->Invalidate();
        spherePicker->UpdateWindow();
    });

    connect(GetDlgItem<QAbstractButton>(kApplyId), &QAbstractButton::clicked, this, &CLightingDlg::OnApply);
    return true;
}

void CLightingDlg::OnApply()
{
    if (!UpdateData(true)) return;
    m_session.Commit(EditingSession::Image);
}
