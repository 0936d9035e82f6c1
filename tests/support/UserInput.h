// Input as a person gives it, for the GUI tests: wheel steps delivered to
// the widget under the pointer.
// Header only.
#pragma once

#include <QApplication>
#include <QSpontaneKeyEvent>
#include <QWheelEvent>
#include <QWidget>

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

}  // namespace morvane::test
