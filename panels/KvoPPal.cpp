#include "panels/KvoPPal.h"

#include <QPainter>

#include "panels/TextureButton.h"
#include "panels/GradientStrip.h"
#include "platform/Background.h"
#include "platform/DialogUnits.h"
#include "platform/EditingSession.h"
#include "platform/StringTable.h"

namespace {

constexpr int kGradientId = 401;
constexpr int kColorId = 402;

constexpr ControlSpec kControls[] = {
    {kColorId, ControlKind::PushButton, {258, 1, 36, 16}, kOwnerDraw},
    {kGradientId, ControlKind::PushButton, {294, 1, 36, 16}, kOwnerDraw},
};

}  // namespace

CKvoPPal::CKvoPPal(EditingSession& session, QWidget* parent)
    : CPanel(session.Ui(), {QString(), QSize(1033, 18), kControls}, parent), m_session(session)
{
    setObjectName(QStringLiteral("palettePanel"));
    Create();
    connect(&m_session, &EditingSession::layerShown, this, &CKvoPPal::ShowLayerGradient);
    connect(&m_session, &EditingSession::edited, this, [this](int, EditingSession::Changes what) {
        if (what & EditingSession::Gradient) ShowLayerGradient(m_session.CurrentLayer());
    });
}

QWidget* CKvoPPal::CreateControl(const ControlSpec& spec, QWidget* parent)
{
    return (spec.style & kOwnerDraw) ? new CTextureButton(m_session.Backgrounds(), parent) : nullptr;
}

bool CKvoPPal::OnInitDialog()
{
    gradientButton = GetDlgItem<CTextureButton>(kGradientId);
    colorButton = GetDlgItem<CTextureButton>(kColorId);
    gradientButton->SetCaption(QStringLiteral("Gradient"));
    gradientButton->SetStatusText(LoadString(57699));
    gradientButton->setToolTip(LoadString(57699));
    colorButton->SetCaption(QStringLiteral("Color"));
    colorButton->SetStatusText(LoadString(57700));
    colorButton->setToolTip(LoadString(57700));
    connect(gradientButton, &QAbstractButton::clicked, this, &CKvoPPal::OnGradient);
    connect(colorButton, &QAbstractButton::clicked, this, &CKvoPPal::OnColor);

    strip = new CGradientStrip(m_session, gradientMode, this);
    strip->setGeometry(MapDialogRect(QRect(0, 0, 257, 18)));
    strip->show();
    gradientMode = 0;
    return CPanel::OnInitDialog();
}

void CKvoPPal::ShowLayerGradient(int n)
{
    morvane::Texture* texture = m_session.Texture();
    if (!texture || n < 1 || n > texture->LayerCount()) return;
    strip->LoadGradient(texture->layers[static_cast<size_t>(n - 1)].layer);
}

void CKvoPPal::OnGradient() { gradientMode = 2; }

void CKvoPPal::OnColor() { strip->ChooseColor(); }

void CKvoPPal::paintEvent(QPaintEvent*)
{
    QPainter(this).drawImage(0, 0, m_session.Backgrounds().For(this));
}
