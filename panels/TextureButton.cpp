#include "panels/TextureButton.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "platform/Background.h"
#include "platform/Dc.h"
#include "platform/MDIFrameWnd.h"
#include "platform/Wnd.h"

CTextureButton::CTextureButton(Background& background, QWidget* parent) : QPushButton(parent), m_background(background)
{
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CTextureButton::SetCaption(const QString& caption)
{
    m_caption = caption;
    setText(caption);
    update();
}

namespace {

struct CaptionLayout {
    QFont font;
    QString text;
    unsigned format;
};

// The caption in bold Arial of cell height 15 on one line, centred.  A
// caption too wide for the face loses its leading blanks, then wraps
// between its words, then takes a smaller font, so that it stays legible.
CaptionLayout LayOut(const QString& caption, const QRect& room)
{
    const bool oneLine = !caption.contains('\n');
    for (int cell = 15; cell >= 9; --cell) {
        const QFont font = MakeFont(QStringLiteral("Arial"), cell, 700);
        const QFontMetrics metrics(font);
        if (oneLine && metrics.horizontalAdvance(caption) <= room.width())
            return {font, caption, DT_CENTER | DT_VCENTER | DT_SINGLELINE};
        const QString trimmed = caption.trimmed();
        if (oneLine && metrics.horizontalAdvance(trimmed) <= room.width())
            return {font, trimmed, DT_CENTER | DT_VCENTER | DT_SINGLELINE};
        const QRect wrapped = metrics.boundingRect(room, Qt::AlignCenter | Qt::TextWordWrap, trimmed);
        if (wrapped.width() <= room.width() && wrapped.height() <= room.height())
            return {font, trimmed, DT_CENTER | DT_VCENTER};
    }
    return {MakeFont(QStringLiteral("Arial"), 15, 700), caption, DT_CENTER | DT_VCENTER | DT_SINGLELINE};
}

}  // namespace

QImage CTextureButton::Face() const
{
    QImage face = m_background.For(this).copy();
    CDC dc(face);
    const bool pressed = isDown();
    const QRect r = rect();
    const QRect shadowRect = r.adjusted(3, 3, -1, -1);
    const QRect textRect = r.adjusted(2, 2, -2, -2);
    const CaptionLayout caption = LayOut(m_caption, textRect);
    dc.SelectFont(caption.font);
    dc.SetTextColor(pressed ? qRgb(32, 32, 32) : qRgb(64, 64, 64));
    dc.DrawText(caption.text, shadowRect, caption.format);
    dc.SetTextColor(pressed ? qRgb(128, 128, 128) : qRgb(255, 255, 255));
    dc.DrawText(caption.text, textRect, caption.format);
    if (ShowsFocus(this)) dc.DrawFocusRect(r.adjusted(1, 1, -1, -1));
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
    } else if (auto* main = qobject_cast<CMDIFrameWnd*>(window())) {
        main->SetMessageText(m_status);
    }
    QPushButton::mouseMoveEvent(event);
}

void CTextureButton::mousePressEvent(QMouseEvent* event)
{
    m_skipMoves = 2;
    QPushButton::mousePressEvent(event);
}

void CTextureButton::leaveEvent(QEvent* event)
{
    // The help text goes with the pointer, as a menu's does; a message put
    // there since stays.
    auto* main = qobject_cast<CMDIFrameWnd*>(window());
    if (main && !m_status.isEmpty() && main->MessageText() == m_status) main->SetMessageText(QString());
    QPushButton::leaveEvent(event);
}

void CTextureButton::keyPressEvent(QKeyEvent* event)
{
    // Space presses the button (the base class); Enter too.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && !event->isAutoRepeat()) {
        click();
        return;
    }
    QPushButton::keyPressEvent(event);
}
