// The event pump with input as the window system delivers it: to the
// top-level window first, which hands it on to the widget under the mouse.
#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>

#include "platform/EventPump.h"
#include "support/QtTestApp.h"

using morvane::test::DrainEvents;
using morvane::test::EnsureQtApp;

namespace {

void ClickThroughWindow(QWidget* w)
{
    QWidget* top = w->window();
    QTest::mouseClick(top->windowHandle(), Qt::LeftButton, {}, w->mapTo(top, w->rect().center()));
}

}  // namespace

TEST(EventPump, WindowInputReachesTheWidgetsThePolicyLetsThroughAndTheRestLater)
{
    EnsureQtApp();
    QWidget window;
    window.resize(300, 100);
    auto* stop = new QPushButton("Stop", &window);
    stop->setGeometry(0, 0, 50, 30);
    auto* first = new QPushButton("First", &window);
    first->setGeometry(100, 0, 50, 30);
    auto* second = new QPushButton("Second", &window);
    second->setGeometry(200, 0, 50, 30);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    int stops = 0, firsts = 0, seconds = 0;
    QObject::connect(stop, &QPushButton::clicked, [&] { ++stops; });
    QObject::connect(first, &QPushButton::clicked, [&] { ++firsts; });
    QObject::connect(second, &QPushButton::clicked, [&] { ++seconds; });
    {
        PumpPolicy policy;
        policy.passes = [&](QWidget* w) { return w == stop; };
        EventPump pump(policy);
        {
            // A second pump inside (a render while playing) holds everything.
            EventPump inner;
            ClickThroughWindow(first);
            ClickThroughWindow(stop);
            ClickThroughWindow(second);
            inner.Pump();
        }
        pump.Pump();
        EXPECT_EQ(stops, 1);
        EXPECT_EQ(firsts + seconds, 0);
    }
    DrainEvents();
    // Each held click reaches its own button.
    EXPECT_EQ(firsts, 1);
    EXPECT_EQ(seconds, 1);
}

namespace {

// A window that counts the close requests and the moves of the mouse it
// hears, and agrees to each request unless told to refuse.
class CountingWindow : public QWidget {
public:
    int closes = 0;
    int moves = 0;
    bool refuses = false;

protected:
    void closeEvent(QCloseEvent* event) override
    {
        ++closes;
        event->setAccepted(!refuses);
    }
    void mouseMoveEvent(QMouseEvent*) override { ++moves; }
};

}  // namespace

TEST(EventPump, AWindowAskedToCloseStaysOpenAndIsAskedAgainWhenThePumpEnds)
{
    EnsureQtApp();
    CountingWindow window;
    window.resize(200, 100);
    auto* inner = new QWidget(&window);
    window.show();
    inner->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    {
        EventPump pump;
        // The window manager's close, and the program's own of a window
        // and of a widget inside it.
        QCloseEvent byWindowManager;
        QCoreApplication::sendEvent(window.windowHandle(), &byWindowManager);
        EXPECT_FALSE(byWindowManager.isAccepted());
        EXPECT_FALSE(window.close());
        EXPECT_TRUE(inner->close());
        pump.Pump();
        EXPECT_TRUE(pump.CloseRequested());
        EXPECT_TRUE(window.isVisible());
        EXPECT_EQ(window.closes, 0);
    }
    DrainEvents();
    EXPECT_EQ(window.closes, 1);  // asked once, and closed
    EXPECT_FALSE(window.isVisible());

    // A window whose user cancels the close stays open, and the mouse that
    // moved over it after the request reaches it afterwards.
    CountingWindow keeping;
    keeping.refuses = true;
    keeping.setMouseTracking(true);
    keeping.resize(200, 100);
    keeping.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&keeping));
    {
        EventPump pump;
        EXPECT_FALSE(keeping.close());
        for (int x : {20, 30}) {
            QMouseEvent move(QEvent::MouseMove, QPointF(x, 20), keeping.mapToGlobal(QPointF(x, 20)), Qt::NoButton,
                             Qt::NoButton, Qt::NoModifier);
            QCoreApplication::sendEvent(&keeping, &move);
        }
        pump.Pump();
        EXPECT_EQ(keeping.moves, 0);
    }
    DrainEvents();
    EXPECT_EQ(keeping.closes, 1);
    EXPECT_TRUE(keeping.isVisible());
    EXPECT_EQ(keeping.moves, 1);  // the last of the run of moves
}
