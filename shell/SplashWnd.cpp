#include "shell/SplashWnd.h"

#include <QChildEvent>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

#include "engine/Paths.h"

namespace {

constexpr int kSplashTimer = 1;
constexpr int kSplashMilliseconds = 1500;
constexpr int kShowWaitMilliseconds = 500;

bool g_splashEnabled = false;
CSplashWnd* g_splash = nullptr;

// The splash picture shipped with the program's data files.
QImage LoadSplashBitmap()
{
    const auto path = morvane::FindDataFile("splash.png");
    if (!path) return QImage();
    QImage image(QString::fromStdString(path->string()));
    return image.isNull() ? QImage() : image.convertToFormat(QImage::Format_RGB32);
}

}  // namespace

CSplashWnd::CSplashWnd(QWidget* parent, QImage bitmap) : CWnd(parent), m_bitmap(std::move(bitmap))
{
    setObjectName(QStringLiteral("splash"));
    setWindowFlags(Qt::SplashScreen | Qt::FramelessWindowHint);
    setCursor(Qt::ArrowCursor);
    setFixedSize(m_bitmap.size());
    // Centred on the screen the program starts on.
    QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    if (screen) move(screen->availableGeometry().center() - rect().center());
    SetTimer(kSplashTimer, kSplashMilliseconds);
}

CSplashWnd::~CSplashWnd()
{
    if (g_splash == this) g_splash = nullptr;
}

void CSplashWnd::EnableSplash(bool enable) { g_splashEnabled = enable; }

CSplashWnd* CSplashWnd::Current() { return g_splash; }

void CSplashWnd::ShowSplash(QWidget* parent)
{
    if (!g_splashEnabled || g_splash) return;
    QImage bitmap = LoadSplashBitmap();
    if (bitmap.isNull()) return;
    g_splash = new CSplashWnd(parent, std::move(bitmap));
    g_splash->show();
    // Painted now: the program is busy starting until its event loop runs.
    // The window system shows the window a moment after it is asked to;
    // its events are taken in (not the user's) until it has.
    QElapsedTimer waited;
    waited.start();
    while (g_splash && g_splash->windowHandle() && !g_splash->windowHandle()->isExposed() &&
           waited.elapsed() < kShowWaitMilliseconds)
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10);
    if (!g_splash) return;
    g_splash->Invalidate();
    g_splash->UpdateWindow();
    g_splash->repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

bool CSplashWnd::SplashPreTranslate(const QEvent* event)
{
    if (!g_splash || !event) return false;
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::NonClientAreaMouseButtonPress:
        HideSplash();
        return true;
    default:
        return false;
    }
}

void CSplashWnd::HideSplash()
{
    CSplashWnd* splash = g_splash;
    if (!splash) return;
    g_splash = nullptr;
    QWidget* owner = splash->parentWidget();
    splash->hide();
    splash->m_hidden = true;
    splash->DeleteWhenAlone();
    if (owner) owner->update();
}

void CSplashWnd::DeleteWhenAlone()
{
    // The splash makes no widgets of its own: every one in it is another's.
    if (m_hidden && findChildren<QWidget*>(Qt::FindDirectChildrenOnly).isEmpty()) deleteLater();
}

void CSplashWnd::childEvent(QChildEvent* event)
{
    CWnd::childEvent(event);
    if (event->removed()) DeleteWhenAlone();
}

void CSplashWnd::OnPaint(CDC* dc) { dc->BitBlt(QPoint(0, 0), m_bitmap, m_bitmap.rect(), SRCCOPY); }

void CSplashWnd::OnTimer(int id)
{
    if (id == kSplashTimer) HideSplash();
}
