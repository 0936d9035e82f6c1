// The one QApplication of a GUI test program, made on first use.  Header
// only: test programs without Qt must not see it.
#pragma once

#include <QApplication>
#include <QCoreApplication>
#include <QEventLoop>

#include <cstdlib>

namespace morvane::test {

inline QApplication& EnsureQtApp()
{
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) return *app;
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "morvane-tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    app->setQuitOnLastWindowClosed(false);
    return *app;
}

// Runs posted events, including deferred deletions, until none are left.
inline void DrainEvents()
{
    for (int i = 0; i < 10; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, 0);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
}

}  // namespace morvane::test
