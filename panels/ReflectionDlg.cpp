#include "panels/ReflectionDlg.h"

#include <QAbstractButton>

#include "panels/ColorBarWnd.h"
#include "panels/Paint.h"
#include "platform/UiDialogs.h"
#include "platform/EditingSession.h"

namespace {

constexpr int kApplyId = 3;

constexpr ControlSpec kControls[] = {
    {IDOK, ControlKind::DefPushButton, {4, 92, 32, 14}, 0, "OK"},
    {IDCANCEL, ControlKind::PushButton, {37, 92, 32, 14}, 0, "Cancel"},
    {307, ControlKind::Static, {4, 4, 29, 8}, 0, "Color :"},
    {308, ControlKind::Static, {52, 4, 32, 8}, 0, "Brilliance :"},
    {kApplyId, ControlKind::PushButton, {74, 92, 32, 14}, 0, "Apply"},
};

// 255 / 200 in single precision, applied in double: a brilliance of 200
// shows as 254.
constexpr float kBrillianceToByte = 1.275f;

}  // namespace

CReflectionDlg::CReflectionDlg(EditingSession& session, QWidget* parent)
    : CDialog(session.Ui(), {QStringLiteral("Reflection Parameters"), QSize(108, 109), kControls}, parent),
      m_session(session)
{
    setObjectName(QStringLiteral("reflectionDialog"));
}

bool CReflectionDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    const morvane::Layer* layer = m_session.CurrentLayerRecord();
    const morvane::LayerRecord rec = layer ? layer->rec : morvane::LayerRecord{};

    brillianceBar = CColorBarWnd::Create(m_session, this, QStringLiteral("brillianceBar"), QRect(54, 14, 48, 75),
                                         qRgb(ChannelByte(rec.brillianceR, kBrillianceToByte),
                                              ChannelByte(rec.brillianceG, kBrillianceToByte),
                                              ChannelByte(rec.brillianceB, kBrillianceToByte)),
                                         CColorBarWnd::Brilliance);
    reflectionBar = CColorBarWnd::Create(m_session, this, QStringLiteral("reflectionBar"), QRect(4, 14, 48, 75),
                                         qRgb(ChannelByte(rec.reflectR), ChannelByte(rec.reflectG), ChannelByte(rec.reflectB)),
                                         CColorBarWnd::ReflectionColor);
    connect(GetDlgItem<QAbstractButton>(kApplyId), &QAbstractButton::clicked, this, &CReflectionDlg::OnApply);
    return true;
}

void CReflectionDlg::OnApply()
{
    if (!UpdateData(true)) return;
    m_session.Commit(EditingSession::Image);
}
