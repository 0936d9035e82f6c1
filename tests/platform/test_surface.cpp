#include <gtest/gtest.h>

#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QMdiArea>
#include <QScreen>
#include <QScrollBar>
#include <QTest>

#include <vector>

#include "platform/ControlBar.h"
#include "platform/Dc.h"
#include "platform/DocTemplate.h"
#include "platform/Document.h"
#include "platform/FileName.h"
#include "platform/MDIChildWnd.h"
#include "platform/MDIFrameWnd.h"
#include "platform/RenderGuard.h"
#include "platform/View.h"
#include "support/QtTestApp.h"

using morvane::test::DrainEvents;
using morvane::test::EnsureQtApp;

namespace {

QImage Grey(int w, int h, QRgb c)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(c);
    return img;
}

// A view that fills what it is asked to draw with one colour, and keeps
// the clip boxes.
class PlainView : public CView {
public:
    QRgb colour = 0xFF102030u;
    std::vector<QRect> clips;
    void OnDraw(CDC* dc) override
    {
        clips.push_back(dc->GetClipBox());
        dc->FillRect(dc->GetClipBox(), colour);
    }
};

}  // namespace

TEST(DeviceContext, XorLineDrawnTwiceVanishes)
{
    QImage img = Grey(40, 30, 0xFF336699u);
    const QImage before = img.copy();
    {
        CDC dc(img, img.rect(), QPoint(0, 0));
        dc.SetPenColor(0xFFFFFFFFu);
        dc.SetROP2(R2_XORPEN);
        dc.MoveTo({2, 3});
        dc.LineTo({35, 20});
        EXPECT_NE(img, before);
        EXPECT_EQ(img.pixel(2, 3), 0xFFCC9966u);  // inverted, still opaque
        dc.MoveTo({2, 3});
        dc.LineTo({35, 20});
    }
    EXPECT_EQ(img, before);
}

TEST(DeviceContext, LinesStayInsideTheSurfaceAndFollowTheOrigin)
{
    QImage img = Grey(10, 10, 0xFF000000u);
    CDC dc(img, img.rect(), QPoint(-5, 0));  // scrolled 5 pixels right
    dc.SetPenColor(0xFFFFFFFFu);
    dc.MoveTo({-100, 2});
    dc.LineTo({100, 2});
    EXPECT_EQ(img.pixel(0, 2), 0xFFFFFFFFu);
    EXPECT_EQ(img.pixel(9, 2), 0xFFFFFFFFu);
    dc.MoveTo({5, 5});
    dc.LineTo({5, 8});  // logical 5 is surface column 0; end excluded
    EXPECT_EQ(img.pixel(0, 7), 0xFFFFFFFFu);
    EXPECT_EQ(img.pixel(0, 8), 0xFF000000u);
}

TEST(DeviceContext, BitsCopiedOneToOneWithinTheClip)
{
    QImage img = Grey(8, 8, 0xFFFFFFFFu);
    std::vector<uint8_t> bits(4 * 4 * 4);
    for (int i = 0; i < 16; ++i) {
        bits[i * 4 + 0] = static_cast<uint8_t>(i);       // blue
        bits[i * 4 + 1] = static_cast<uint8_t>(100 + i); // green
        bits[i * 4 + 2] = static_cast<uint8_t>(200 + i); // red
        bits[i * 4 + 3] = 0;
    }
    CDC dc(img, QRect(0, 0, 5, 8), QPoint(0, 0));
    EXPECT_EQ(dc.GetClipBox(), QRect(0, 0, 5, 8));
    dc.StretchDIBits(QRect(2, 1, 4, 4), QRect(0, 0, 4, 4), bits.data(), 4, 4);
    EXPECT_EQ(img.pixel(2, 1), qRgb(200, 100, 0));
    EXPECT_EQ(img.pixel(4, 2), qRgb(206, 106, 6));
    EXPECT_EQ(img.pixel(5, 1), 0xFFFFFFFFu);  // outside the clip
    EXPECT_EQ(img.pixel(1, 1), 0xFFFFFFFFu);
}

TEST(RenderGuard, SwallowsKeysNotesEscapeAndHoldsMouse)
{
    EnsureQtApp();
    QWidget w;
    w.resize(50, 50);
    w.show();
    int presses = 0, keys = 0;
    class Counter : public QObject {
    public:
        int* presses;
        int* keys;
        bool eventFilter(QObject*, QEvent* e) override
        {
            if (e->type() == QEvent::MouseButtonPress) ++*presses;
            if (e->type() == QEvent::KeyPress) ++*keys;
            return false;
        }
    } counter;
    counter.presses = &presses;
    counter.keys = &keys;
    w.installEventFilter(&counter);

    int deferred = 0;
    {
        RenderGuard guard;
        EXPECT_TRUE(RenderGuard::Active());
        EXPECT_FALSE(guard.PollEscapeKey());
        QTest::keyClick(&w, Qt::Key_A);
        QTest::mouseClick(&w, Qt::LeftButton, {}, QPoint(10, 10));
        RenderGuard::RunWhenIdle([&] { ++deferred; });
        EXPECT_FALSE(guard.PollEscapeKey());
        QTest::keyClick(&w, Qt::Key_Escape);
        EXPECT_TRUE(guard.PollEscapeKey());
        EXPECT_FALSE(guard.PollEscapeKey());  // reported once
        EXPECT_EQ(keys, 0);
        EXPECT_EQ(presses, 0);
        EXPECT_EQ(deferred, 0);
    }
    EXPECT_FALSE(RenderGuard::Active());
    EXPECT_EQ(deferred, 1);
    DrainEvents();
    EXPECT_EQ(presses, 1);  // delivered after the render
    EXPECT_EQ(keys, 0);     // keys typed during a render are gone
}

TEST(View, DrawsIntoTheSurfaceOutsidePaintAndOnlyWhatIsNew)
{
    EnsureQtApp();
    PlainView view;
    view.resize(60, 40);
    view.show();
    DrainEvents();
    ASSERT_EQ(view.clips.size(), 1u);
    EXPECT_EQ(view.clips[0], QRect(0, 0, 60, 40));
    EXPECT_EQ(view.Surface().pixel(59, 39), 0xFF102030u);

    // Growing shows only the new strip to draw.
    view.clips.clear();
    view.colour = 0xFF00FF00u;
    view.resize(80, 40);
    DrainEvents();
    ASSERT_EQ(view.clips.size(), 1u);
    EXPECT_EQ(view.clips[0], QRect(60, 0, 20, 40));
    EXPECT_EQ(view.Surface().pixel(10, 10), 0xFF102030u);
    EXPECT_EQ(view.Surface().pixel(70, 10), 0xFF00FF00u);

    // A partial invalidation drawn at once.
    view.clips.clear();
    view.InvalidateRect(QRect(5, 6, 7, 8));
    view.UpdateWindow();
    ASSERT_EQ(view.clips.size(), 1u);
    EXPECT_EQ(view.clips[0], QRect(5, 6, 7, 8));
    DrainEvents();
    EXPECT_EQ(view.clips.size(), 1u);  // nothing left to draw

    // The window shows the surface.
    const QImage shown = view.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(shown.pixel(70, 10), 0xFF00FF00u);
    EXPECT_EQ(shown.pixel(6, 7), 0xFF00FF00u);
    EXPECT_EQ(shown.pixel(30, 30), 0xFF102030u);
}

TEST(View, ScrollingMovesPixelsAndDrawsTheUncoveredStrip)
{
    EnsureQtApp();
    PlainView view;
    view.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view.resize(50, 50);
    view.SetScrollSizes(QSize(200, 50));
    view.show();
    DrainEvents();
    view.clips.clear();
    view.colour = 0xFF0000FFu;
    view.horizontalScrollBar()->setValue(10);
    DrainEvents();

    ASSERT_EQ(view.clips.size(), 1u);
    EXPECT_EQ(view.clips[0], QRect(50, 0, 10, 50));  // logical: scrolled by 10
    EXPECT_EQ(view.Surface().pixel(45, 5), 0xFF0000FFu);
    EXPECT_EQ(view.Surface().pixel(5, 5), 0xFF102030u);
}

TEST(View, AWindowLargerThanItsScreenKeepsASurfaceOfTheScreensSize)
{
    EnsureQtApp();
    PlainView view;
    const QSize screen = view.screen()->virtualSize();
    view.resize(screen + QSize(100, 50));
    view.show();
    DrainEvents();
    EXPECT_EQ(view.ClientSize(), screen + QSize(100, 50));
    EXPECT_EQ(view.Surface().size(), screen);
    // Only what the surface holds is drawn.
    ASSERT_EQ(view.clips.size(), 1u);
    EXPECT_EQ(view.clips[0], QRect(QPoint(0, 0), screen));

    // Shrunk within the screen, it is the window's size again.
    view.resize(screen - QSize(10, 10));
    DrainEvents();
    EXPECT_EQ(view.Surface().size(), screen - QSize(10, 10));
}

TEST(Frame, BarsTakeTheirSidesInCreationOrder)
{
    EnsureQtApp();
    CMDIFrameWnd frame;
    frame.resize(800, 600);
    CControlBar* b1 = frame.CreateControlBar(303, CControlBar::Bottom, QSize(0, 40));
    CControlBar* b2 = frame.CreateControlBar(233, CControlBar::Bottom, QSize(0, 30));
    CControlBar* t = frame.CreateControlBar(232, CControlBar::Top, QSize(0, 60));
    CControlBar* r = frame.CreateControlBar(231, CControlBar::Right, QSize(200, 0));
    frame.show();
    DrainEvents();
    const QRect c = frame.ClientRect();
    EXPECT_EQ(b1->geometry(), QRect(0, c.height() - 40, c.width(), 40));
    EXPECT_EQ(b2->geometry(), QRect(0, c.height() - 70, c.width(), 30));
    EXPECT_EQ(t->geometry(), QRect(0, 0, c.width(), 60));
    EXPECT_EQ(r->geometry(), QRect(c.width() - 200, 60, 200, c.height() - 130));
    EXPECT_EQ(frame.MdiArea()->geometry(), QRect(0, 60, c.width() - 200, c.height() - 130));

    frame.ShowControlBar(t, false);
    EXPECT_FALSE(t->IsBarVisible());
    EXPECT_EQ(r->geometry(), QRect(c.width() - 200, 0, 200, c.height() - 70));
    EXPECT_EQ(frame.MdiArea()->geometry(), QRect(0, 0, c.width() - 200, c.height() - 70));
}

TEST(Frame, ABarMadeFirstTakesTheCornersAndKeepsItsPlace)
{
    EnsureQtApp();
    CMDIFrameWnd frame;
    frame.resize(800, 600);
    // The right bar first: it spans the whole height, the others stop at it.
    CControlBar* r = frame.CreateControlBar(1, CControlBar::Right, QSize(150, 0));
    CControlBar* t = frame.CreateControlBar(2, CControlBar::Top, QSize(0, 50));
    CControlBar* b1 = frame.CreateControlBar(3, CControlBar::Bottom, QSize(0, 20));
    CControlBar* b2 = frame.CreateControlBar(4, CControlBar::Bottom, QSize(0, 30));
    frame.show();
    DrainEvents();
    const QRect c = frame.ClientRect();
    const int w = c.width() - 150;
    EXPECT_EQ(r->geometry(), QRect(c.left() + w, c.top(), 150, c.height()));
    EXPECT_EQ(t->geometry(), QRect(c.left(), c.top(), w, 50));
    EXPECT_EQ(b1->geometry(), QRect(c.left(), c.bottom() + 1 - 20, w, 20));
    EXPECT_EQ(b2->geometry(), QRect(c.left(), c.bottom() + 1 - 50, w, 30));
    EXPECT_EQ(frame.MdiArea()->geometry(), QRect(c.left(), c.top() + 50, w, c.height() - 100));

    // Hidden, the outer bottom bar gives its room to the inner one; shown
    // again, it is the outer one again.
    frame.ShowControlBar(b1, false);
    EXPECT_EQ(b2->geometry(), QRect(c.left(), c.bottom() + 1 - 30, w, 30));
    frame.ShowControlBar(b1, true);
    EXPECT_EQ(b1->geometry(), QRect(c.left(), c.bottom() + 1 - 20, w, 20));
    EXPECT_EQ(b2->geometry(), QRect(c.left(), c.bottom() + 1 - 50, w, 30));

    // Without the right bar the top and bottom bars span the width.
    frame.ShowControlBar(r, false);
    EXPECT_EQ(t->geometry(), QRect(c.left(), c.top(), c.width(), 50));
    EXPECT_EQ(b1->geometry().width(), c.width());
    EXPECT_EQ(frame.MdiArea()->geometry(), QRect(c.left(), c.top() + 50, c.width(), c.height() - 100));
    // A bar made while others are hidden leaves them hidden; made last,
    // it lies between the top and bottom bars.
    CControlBar* r2 = frame.CreateControlBar(5, CControlBar::Right, QSize(100, 0));
    EXPECT_FALSE(r->IsBarVisible());
    EXPECT_TRUE(r2->IsBarVisible());
    EXPECT_EQ(r2->geometry(), QRect(c.left() + c.width() - 100, c.top() + 50, 100, c.height() - 100));
    // The first right bar shown again is the outer one and takes the
    // corners back.
    frame.ShowControlBar(r, true);
    EXPECT_EQ(r->geometry(), QRect(c.left() + w, c.top(), 150, c.height()));
    EXPECT_EQ(r2->geometry().right() + 1, r->geometry().left());
}

namespace {

class PlainDoc : public CDocument {};

}  // namespace

TEST(DocTemplate, TitlesFramesAndClosing)
{
    EnsureQtApp();
    CMDIFrameWnd frame;
    frame.resize(600, 400);
    frame.show();
    CDocTemplate tmpl(
        "\nQuillo\nQuillo\nQuillo Files (*.zyv)\n.zyv\n(*.kvo)\n.kvo\nMorvane.Document\nQuillo Document",
        [] { return new PlainDoc; }, [] { return new CMDIChildWnd; }, [] { return new PlainView; });
    EXPECT_EQ(tmpl.GetDocString(CDocTemplate::docName), "Quillo");
    EXPECT_EQ(tmpl.GetDocString(CDocTemplate::filterExt), ".zyv");
    EXPECT_EQ(tmpl.GetDocString(CDocTemplate::regFileTypeId), "(*.kvo)");

    CDocument* a = tmpl.OpenNewDocument(&frame);
    CDocument* b = tmpl.OpenNewDocument(&frame);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->GetTitle(), "Quillo1");
    EXPECT_EQ(b->GetTitle(), "Quillo2");
    EXPECT_EQ(frame.GetActiveDocument(), b);
    EXPECT_EQ(tmpl.Documents().size(), 2u);

    // A second window on the first document.
    CMDIChildWnd* second = tmpl.CreateNewFrame(&frame, a);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->windowTitle(), "Quillo1:2[*]");
    EXPECT_EQ(a->Views().size(), 2u);

    // Closing one window keeps the document; closing the last closes it.
    second->close();
    DrainEvents();
    EXPECT_EQ(a->Views().size(), 1u);
    EXPECT_EQ(a->Views()[0]->GetParentFrame()->windowTitle(), "Quillo1[*]");
    a->Views()[0]->GetParentFrame()->close();
    DrainEvents();
    ASSERT_EQ(tmpl.Documents().size(), 1u);
    EXPECT_EQ(tmpl.Documents()[0], b);

    tmpl.CloseDocument(b);
    DrainEvents();
    EXPECT_TRUE(tmpl.Documents().empty());
    EXPECT_EQ(frame.MDIGetActive(), nullptr);

    // Numbers keep counting.
    CDocument* c = tmpl.OpenNewDocument(&frame);
    EXPECT_EQ(c->GetTitle(), "Quillo3");
    c->SetPathName("/tmp/some/Name.zyv");
    EXPECT_EQ(c->GetTitle(), "Name.zyv");
    EXPECT_EQ(frame.MDIGetActive()->windowTitle(), "Name.zyv[*]");
    // The title bears the modified mark while the document is modified; a
    // "[*]" of the file's own name is no place for the mark.
    c->SetModifiedFlag();
    EXPECT_TRUE(frame.MDIGetActive()->isWindowModified());
    c->SetPathName("/tmp/some/a[*].zyv");
    EXPECT_EQ(frame.MDIGetActive()->GetTitle(), "a[*].zyv");
    EXPECT_EQ(frame.MDIGetActive()->windowTitle(), "a[*][*].zyv[*]");
    // A name whose byte 0xE9 is not UTF-8: the document keeps the bytes,
    // its window shows the name as it reads.
    c->SetPathName(DecodeFileName("/tmp/some/caf\xe9.zyv"));
    EXPECT_EQ(EncodeFileName(c->GetTitle()), "caf\xe9.zyv");
    EXPECT_EQ(frame.MDIGetActive()->GetTitle(), QString::fromUtf8("caf\xef\xbf\xbd.zyv"));
    c->SetModifiedFlag(false);
    EXPECT_FALSE(frame.MDIGetActive()->isWindowModified());
}
