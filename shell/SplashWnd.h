// The splash window: the program's picture over the screen for a moment
// at start-up.  It goes after 1500 ms, or at once when the user presses a
// key or a mouse button (the press still reaches its window).  At most one
// exists; without its picture there is none, and nothing is said.
//
// A window of another's made over the splash (a dialog given it as its
// parent) is not the splash's to delete: the splash hides when its time is
// up, and is deleted once no such window is left in it.
#pragma once

#include <QImage>

#include "platform/Wnd.h"

class QEvent;

class CSplashWnd : public CWnd {
    Q_OBJECT
public:
    ~CSplashWnd() override;

    // Whether ShowSplash shows anything (the command line decides).
    static void EnableSplash(bool enable);
    // Shows the splash window over `parent` unless splashes are off or one
    // exists.
    static void ShowSplash(QWidget* parent);
    // Every event of the program passes here first: a key or mouse press
    // hides the splash.  True when it did.
    static bool SplashPreTranslate(const QEvent* event);
    static void HideSplash();
    // The splash window that exists, or null.
    static CSplashWnd* Current();

    QImage m_bitmap;

protected:
    void OnPaint(CDC* dc) override;
    void OnTimer(int id) override;
    void childEvent(QChildEvent* event) override;

private:
    explicit CSplashWnd(QWidget* parent, QImage bitmap);
    // Deletes the hidden splash once it holds no window of another's.
    void DeleteWhenAlone();

    bool m_hidden = false;
};
