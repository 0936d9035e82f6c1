#include "platform/ControlBar.h"

#include <QPainter>
#include <QScrollArea>
#include <QStyle>

namespace {

// The bar's title bar: nothing, of no height.
class NoTitleBar : public QWidget {
public:
    explicit NoTitleBar(QWidget* parent) : QWidget(parent) {}
    QSize sizeHint() const override { return QSize(0, 0); }
    QSize minimumSizeHint() const override { return QSize(0, 0); }
};

}  // namespace

CControlBar::CControlBar(int id, Side side, QSize sizeDefault, QWidget* parent)
    : QDockWidget(parent), m_id(id), m_side(side), m_sizeDefault(sizeDefault)
{
    setObjectName(QStringLiteral("bar%1").arg(id));
    setFeatures(QDockWidget::NoDockWidgetFeatures);
    setAllowedAreas(DockArea());
    setTitleBarWidget(new NoTitleBar(this));
    // Until its panels cover it, a bar shows the window's background.
    setAutoFillBackground(true);
    if (side == Top || side == Bottom)
        setFixedHeight(sizeDefault.height());
    else
        setFixedWidth(sizeDefault.width());
}

void CControlBar::AddPanel(QWidget* panel)
{
    if (m_side == Top || m_side == Bottom) {
        panel->setParent(this);
        panel->move(0, 0);
        panel->show();
        return;
    }
    if (!m_scroller) {
        m_scroller = new QScrollArea(this);
        m_scroller->setObjectName(QStringLiteral("panelScroller"));
        m_scroller->setFrameShape(QFrame::NoFrame);
        m_scroller->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        m_scroller->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        m_scroller->setWidgetResizable(false);
        m_scroller->setFocusPolicy(Qt::NoFocus);  // Tab goes to the panel's controls
        m_scroller->setGeometry(rect());
        m_scroller->show();
    }
    m_scroller->setWidget(panel);
    panel->show();
    FitScroller();
}

void CControlBar::resizeEvent(QResizeEvent* event)
{
    QDockWidget::resizeEvent(event);
    FitScroller();
}

void CControlBar::FitScroller()
{
    if (!m_scroller) return;
    m_scroller->setGeometry(rect());
    const QWidget* panel = m_scroller->widget();
    if (!panel) return;
    // The bar's own width, and the scroll bar's besides while the panel
    // is taller than the bar.
    const int bar = m_scroller->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_scroller);
    const int width = m_sizeDefault.width() + (panel->height() > height() ? bar : 0);
    if (width != this->width()) setFixedWidth(width);
}

Qt::DockWidgetArea CControlBar::DockArea() const
{
    switch (m_side) {
    case Top: return Qt::TopDockWidgetArea;
    case Bottom: return Qt::BottomDockWidgetArea;
    case Left: return Qt::LeftDockWidgetArea;
    case Right: return Qt::RightDockWidgetArea;
    }
    return Qt::TopDockWidgetArea;
}

void CControlBar::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QColor dark = palette().color(QPalette::Dark);
    const QColor light = palette().color(QPalette::Light);
    const QRect r = rect();
    switch (m_side) {
    case Top:
        p.setPen(dark);
        p.drawLine(r.bottomLeft() - QPoint(0, 1), r.bottomRight() - QPoint(0, 1));
        p.setPen(light);
        p.drawLine(r.bottomLeft(), r.bottomRight());
        break;
    case Bottom:
        p.setPen(dark);
        p.drawLine(r.topLeft(), r.topRight());
        p.setPen(light);
        p.drawLine(r.topLeft() + QPoint(0, 1), r.topRight() + QPoint(0, 1));
        break;
    case Left:
        p.setPen(dark);
        p.drawLine(r.topRight() - QPoint(1, 0), r.bottomRight() - QPoint(1, 0));
        p.setPen(light);
        p.drawLine(r.topRight(), r.bottomRight());
        break;
    case Right:
        p.setPen(dark);
        p.drawLine(r.topLeft(), r.bottomLeft());
        p.setPen(light);
        p.drawLine(r.topLeft() + QPoint(1, 0), r.bottomLeft() + QPoint(1, 0));
        break;
    }
}
