// Input as a person gives it, for the GUI tests: wheel steps delivered to
// the widget under the pointer, and the keyboard focus moved by Tab.
// Header only.
#pragma once

#include <QApplication>
#include <QSpontaneKeyEvent>
#include <QTest>
#include <QWheelEvent>
#include <QWidget>

#include <vector>

namespace morvane::test {

// Turns the mouse wheel by `notches` (negative: towards the user, which
// scrolls down) with the pointer over the middle of `w`.  The step goes to
// the widget under the pointer, as the window system gives it, and when
// that widget ignores it, on to its parents.
inline void WheelOver(QWidget* w, int notches)
{
    QWidget* top = w->window();
    const QPoint at = w->mapTo(top, w->rect().center());
    QWidget* under = top->childAt(at);
    if (!under) under = top;
    const QPoint local = under->mapFrom(top, at);
    QWheelEvent wheel(local, top->mapToGlobal(at), QPoint(), QPoint(0, 120 * notches), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    // Delivered as QTest delivers its key events: spontaneous, so that
    // the application passes an ignored step on to the parents.
    QSpontaneKeyEvent::setSpontaneous(&wheel);
    qApp->notify(under, &wheel);
}

// Presses Tab in the widget that has the focus, at most `limit` times,
// until `target` has it; whether it got there.  `visited` collects the
// widgets the focus went through.
inline bool TabUntil(QWidget* target, int limit, std::vector<QWidget*>* visited = nullptr)
{
    for (int i = 0; i < limit; ++i) {
        QWidget* focus = QApplication::focusWidget();
        if (!focus) return false;
        QTest::keyClick(focus, Qt::Key_Tab);
        if (visited) visited->push_back(QApplication::focusWidget());
        if (QApplication::focusWidget() == target) return true;
    }
    return false;
}

}  // namespace morvane::test
