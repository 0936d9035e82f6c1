#include "panels/Bitmapbu.h"

#include <QMouseEvent>
#include <QPainter>

#include "platform/Background.h"
#include "platform/Dc.h"
#include "platform/Frames.h"
#include "platform/WinApp.h"

CTextureButton::CTextureButton(QWidget* parent) : QPushButton(parent)
{
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CTextureButton::SetCaption(const QString& caption)
{
    m_caption = caption;
    setText(caption);
    update();
}

QImage CTextureButton::Face() const
{
    QImage face = Background::For(this).copy();
    CDC dc(face);
    dc.SelectFont(MakeFont(QStringLiteral("Arial"), 15, 700));
    const bool pressed = isDown();
    const QRect r = rect();
    const QRect shadowRect = r.adjusted(3, 3, -1, -1);
    const QRect textRect = r.adjusted(2, 2, -2, -2);

    // One line, centred.  A caption too wide for the face loses its
    // leading blanks, and one of several words wraps onto more lines.
    QString text = m_caption;
    unsigned format = DT_CENTER | DT_VCENTER;
    if (!text.contains('\n')) format |= DT_SINGLELINE;
    if ((format & DT_SINGLELINE) && dc.GetTextExtent(text).width() > textRect.width()) {
        text = text.trimmed();
        if (dc.GetTextExtent(text).width() > textRect.width() && text.contains(' ')) format &= ~unsigned(DT_SINGLELINE);
    }
    dc.SetTextColor(pressed ? qRgb(32, 32, 32) : qRgb(64, 64, 64));
    dc.DrawText(text, shadowRect, format);
    dc.SetTextColor(pressed ? qRgb(128, 128, 128) : qRgb(255, 255, 255));
    dc.DrawText(text, textRect, format);
    return face;
}

void CTextureButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.drawImage(0, 0, Face());
}

void CTextureButton::mouseMoveEvent(QMouseEvent* event)
{
    if (m_skipMoves > 0) {
        --m_skipMoves;
    } else if (CMDIFrameWnd* main = AfxGetMainWnd()) {
        main->SetMessageText(m_status);
    }
    QPushButton::mouseMoveEvent(event);
}

void CTextureButton::mousePressEvent(QMouseEvent* event)
{
    m_skipMoves = 2;
    QPushButton::mousePressEvent(event);
}
