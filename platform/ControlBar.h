// Control bars: dock widgets of the main window, fixed in place and size.
// The main window makes them and lays them out (platform/MDIFrameWnd.h).
#pragma once

#include <QDockWidget>
#include <QSize>

// A bar docked to one side of the main window; panels are its children,
// placed from the bar's top-left corner.  It has no title and the user
// cannot move, float, close or resize it: the program shows and hides it.
class CControlBar : public QDockWidget {
    Q_OBJECT
public:
    enum Side { Top, Bottom, Left, Right };
    // `sizeDefault` in pixels: the height of a top or bottom bar, the
    // width of a left or right bar.
    CControlBar(int id, Side side, QSize sizeDefault, QWidget* parent);
    int Id() const { return m_id; }
    Side DockSide() const { return m_side; }
    Qt::DockWidgetArea DockArea() const;
    // Visible as far as the frame is concerned (even before the frame is
    // shown).
    bool IsBarVisible() const { return !isHidden(); }
    bool IsFloating() const { return isFloating(); }

    // Places a panel in the bar's top-left corner.  In a left or right
    // bar a panel taller than the bar scrolls inside it (the bar widens by
    // the scroll bar while it shows) instead of being cut off.
    void AddPanel(QWidget* panel);

protected:
    // An etched edge on the side facing the MDI area.
    void paintEvent(QPaintEvent* event) override;

    void resizeEvent(QResizeEvent* event) override;

private:
    void FitScroller();

    int m_id;
    Side m_side;
    QSize m_sizeDefault;
    class QScrollArea* m_scroller = nullptr;
};
