#include "shell/TipDlg.h"

#include <QAbstractButton>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include "platform/UiDialogs.h"
#include "platform/Profile.h"

namespace {

const ControlSpec kControls[] = {
    {IDC_TIP_FRAME, ControlKind::Static, {12, 11, 207, 123}},
    {IDC_TIP_STRING, ControlKind::Static, {20, 52, 191, 76}},
    {IDC_TIP_STARTUP, ControlKind::CheckBox, {12, 140, 96, 14}, kGroup, "&Show Tips at Startup"},
    {IDC_NEXT_TIP, ControlKind::PushButton, {113, 140, 50, 14}, kGroup, "&Next Tip"},
    {IDOK, ControlKind::DefPushButton, {169, 140, 50, 14}, kGroup, "&Close"},
};

const DialogTemplate kTemplate{QStringLiteral("Tip of the Day"), QSize(231, 164), kControls};

QImage MakeTipBitmap()
{
    // A light bulb on white.
    QImage image(40, 53, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient glow(QPointF(17, 15), 16);
    glow.setColorAt(0.0, QColor(255, 255, 220));
    glow.setColorAt(0.6, QColor(255, 230, 90));
    glow.setColorAt(1.0, QColor(230, 180, 30));
    p.setPen(QPen(QColor(150, 110, 0), 1.2));
    p.setBrush(glow);
    QPainterPath bulb;
    bulb.moveTo(14, 36);
    bulb.cubicTo(14, 29, 5, 26, 5, 17);
    bulb.cubicTo(5, 9, 12, 4, 20, 4);
    bulb.cubicTo(28, 4, 35, 9, 35, 17);
    bulb.cubicTo(35, 26, 26, 29, 26, 36);
    bulb.closeSubpath();
    p.drawPath(bulb);
    p.setPen(QPen(QColor(90, 90, 90), 1));
    p.setBrush(QColor(170, 170, 170));
    p.drawRoundedRect(QRectF(14, 36, 12, 10), 2, 2);
    for (double y : {39.5, 42.5}) p.drawLine(QPointF(14, y), QPointF(26, y));
    p.setBrush(QColor(90, 90, 90));
    p.drawEllipse(QRectF(17, 46, 6, 4));
    return image;
}

}  // namespace

const QImage& CTipDlg::TipBitmap()
{
    static const QImage bitmap = MakeTipBitmap();
    return bitmap;
}

CTipDlg::CTipDlg(UiDialogs& ui, IniProfile& profile, QWidget* parent)
    : CTipDlg(ui, profile, parent, morvane::FindTipsFile())
{
}

CTipDlg::CTipDlg(UiDialogs& ui, IniProfile& profile, QWidget* parent,
                 const std::optional<std::filesystem::path>& tipsFile)
    : CDialog(ui, kTemplate, parent), m_profile(profile)
{
    m_bStartup = profile.GetInt(tiptext::kSection, tiptext::kStartUp, 0) == 0 ? 1 : 0;
    long position = profile.GetInt(tiptext::kSection, tiptext::kFilePos, 0);

    if (tipsFile) m_pStream = morvane::TipFile::Open(*tipsFile);
    if (!m_pStream) {
        m_strTip = tiptext::kNoFile;
        return;
    }
    // A file changed since the last opening starts again at its first tip.
    const QString stamp = QString::fromLocal8Bit(m_pStream->TimeStamp());
    if (stamp != profile.GetString(tiptext::kSection, tiptext::kTimeStamp)) {
        (void)profile.WriteString(tiptext::kSection, tiptext::kTimeStamp, stamp);
        position = 0;
    }
    if (!m_pStream->Seek(position)) {
        ui.MessageBox(parent, tiptext::kReadProblem, AppCaption(), MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    GetNextTipString(m_strTip);
}

CTipDlg::~CTipDlg()
{
    if (m_pStream)
        (void)m_profile.WriteInt(tiptext::kSection, tiptext::kFilePos, static_cast<int>(m_pStream->Position()));
}

void CTipDlg::GetNextTipString(QString& tip)
{
    std::string line;
    switch (m_pStream->ReadNextTip(&line)) {
    case morvane::TipFile::Status::Tip:
        tip = QString::fromLocal8Bit(line);
        return;
    case morvane::TipFile::Status::NoTip:
        tip.clear();
        m_hasTips = false;
        return;
    case morvane::TipFile::Status::SeekFailed:
        tip.clear();
        m_hasTips = false;
        Ui().MessageBox(this, tiptext::kReadProblem, AppCaption(), MB_OK | MB_ICONEXCLAMATION);
        return;
    }
}

void CTipDlg::DoDataExchange(CDataExchange* pDX)
{
    DDX_Check(pDX, IDC_TIP_STARTUP, m_bStartup);
    DDX_Text(pDX, IDC_TIP_STRING, m_strTip);
}

bool CTipDlg::OnInitDialog()
{
    if (auto* text = GetDlgItem<QLabel>(IDC_TIP_STRING)) {
        text->setWordWrap(true);
        text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        text->setTextFormat(Qt::PlainText);
    }
    CDialog::OnInitDialog();
    if (auto* next = GetDlgItem<QAbstractButton>(IDC_NEXT_TIP)) {
        connect(next, &QAbstractButton::clicked, this, [this] { OnNextTip(); });
        if (!m_pStream || !m_hasTips) next->setEnabled(false);
    }
    return true;
}

void CTipDlg::OnNextTip()
{
    if (!m_pStream || !m_hasTips) return;
    // The check box keeps what the user made of it.
    UpdateData(true);
    GetNextTipString(m_strTip);
    UpdateData(false);
    if (!m_hasTips) {
        if (auto* next = GetDlgItem(IDC_NEXT_TIP)) next->setEnabled(false);
    }
}

void CTipDlg::OnOK()
{
    CDialog::OnOK();
    if (!HasEnded()) return;
    (void)m_profile.WriteInt(tiptext::kSection, tiptext::kStartUp, m_bStartup ? 0 : 1);
}

void CTipDlg::paintEvent(QPaintEvent* event)
{
    CDialog::paintEvent(event);
    QWidget* frame = GetDlgItem(IDC_TIP_FRAME);
    if (!frame) return;
    const QRect area = frame->geometry();
    QPainter p(this);
    p.fillRect(area, Qt::white);
    const QImage& bulb = TipBitmap();
    p.drawImage(area.topLeft(), bulb);
    // "Did you Know..." beside the picture, one line centred in its height.
    QRect band(area.left() + bulb.width(), area.top(), area.width() - bulb.width(), bulb.height());
    QFont font = this->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.5);
    p.setFont(font);
    p.setPen(Qt::black);
    p.drawText(band, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, tiptext::kDidYouKnow);
}
