// The device context's pixel rules and the custom-control base.
#include <gtest/gtest.h>

#include <QMouseEvent>
#include <QPainter>
#include <QTest>

#include <random>

#include "platform/ClockTimer.h"
#include "platform/Dc.h"
#include "platform/ScaledPick.h"
#include "platform/Wnd.h"
#include "support/ManualClock.h"
#include "support/QtTestApp.h"

using morvane::test::DrainEvents;
using morvane::test::EnsureQtApp;
using morvane::test::ManualClock;

namespace {

QImage Filled(int w, int h, QRgb c)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(c);
    return img;
}

// The pixels of `img` that are not `background`, as a bounding box.
QRect Painted(const QImage& img, QRgb background)
{
    QRect box;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixel(x, y) != background) box |= QRect(x, y, 1, 1);
    return box;
}

constexpr QRgb kBlack = 0xFF000000u;
constexpr QRgb kWhite = 0xFFFFFFFFu;

// An image whose every pixel holds 1 + its column (or 1 + its row).
QImage Numbered(QSize size, bool rows)
{
    QImage img(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < size.width(); ++x) line[x] = 0xFF000000u | static_cast<QRgb>(1 + (rows ? y : x));
    }
    return img;
}

}  // namespace

TEST(DeviceContext, RectanglesLeaveTheRightAndBottomEdgeOut)
{
    QImage img = Filled(20, 20, kBlack);
    CDC dc(img);
    dc.SetPenColor(qRgb(128, 128, 128));
    dc.SetBrushColor(qRgb(255, 0, 0));
    dc.Rectangle(WinRect(2, 3, 8, 9));  // columns 2..7, rows 3..8
    EXPECT_EQ(Painted(img, kBlack), QRect(2, 3, 6, 6));
    EXPECT_EQ(img.pixel(2, 3), qRgb(128, 128, 128));
    EXPECT_EQ(img.pixel(7, 8), qRgb(128, 128, 128));
    EXPECT_EQ(img.pixel(4, 5), qRgb(255, 0, 0));

    img.fill(kBlack);
    dc.FrameRect(WinRect(10, 10, 14, 12), kWhite);
    EXPECT_EQ(Painted(img, kBlack), QRect(10, 10, 4, 2));
    // The viewport origin shifts logical coordinates; the clip holds.
    img.fill(kBlack);
    CDC shifted(img, QRect(0, 0, 10, 10), QPoint(5, 5));
    shifted.FillRect(QRect(0, 0, 100, 100), kWhite);
    EXPECT_EQ(Painted(img, kBlack), QRect(5, 5, 5, 5));
    EXPECT_EQ(shifted.GetClipBox(), QRect(-5, -5, 10, 10));
}

TEST(DeviceContext, BlitsCopyXorAndInvertThroughAPolygon)
{
    QImage src = Filled(11, 11, qRgb(10, 200, 30));
    QImage img = Filled(30, 30, qRgb(100, 100, 100));
    const QImage before = img.copy();
    CDC dc(img);

    // Combined by exclusive-or twice: the picture comes back.
    dc.BitBlt(QPoint(3, 4), src, src.rect(), SRCINVERT);
    EXPECT_EQ(img.pixel(3, 4), qRgb(100 ^ 10, 100 ^ 200, 100 ^ 30));
    dc.BitBlt(QPoint(3, 4), src, src.rect(), SRCINVERT);
    EXPECT_EQ(img, before);
    dc.BitBlt(QPoint(0, 0), src, QRect(0, 0, 5, 5), DSTINVERT);
    EXPECT_EQ(img.pixel(4, 4), qRgb(155, 155, 155));
    dc.BitBlt(QPoint(0, 0), src, QRect(0, 0, 5, 5), DSTINVERT);
    EXPECT_EQ(img, before);

    // Through a triangle (the slider's arrow shape): only inside it.
    dc.SelectClipPolygon(QPolygon({QPoint(11, 9), QPoint(16, 0), QPoint(21, 9)}));
    dc.BitBlt(QPoint(11, 0), src, src.rect(), SRCCOPY);
    dc.ResetClip();
    EXPECT_EQ(img.pixel(16, 5), qRgb(10, 200, 30));  // inside
    EXPECT_EQ(img.pixel(11, 0), qRgb(100, 100, 100));  // a corner of the square
    EXPECT_EQ(img.pixel(21, 0), qRgb(100, 100, 100));
    EXPECT_EQ(img.pixel(16, 10), qRgb(100, 100, 100));  // below the triangle
    EXPECT_TRUE(QRect(11, 0, 11, 10).contains(Painted(img, qRgb(100, 100, 100))));
}

TEST(DeviceContext, TextIsDrawnFromTheTopOfItsCellWithoutBackground)
{
    EnsureQtApp();
    const QFont font = MakeFont("Arial", 15, 700);
    EXPECT_LE(QFontMetrics(font).height(), 15);
    EXPECT_GE(QFontMetrics(font).height(), 12);
    EXPECT_TRUE(font.bold());
    EXPECT_EQ(font.styleStrategy() & QFont::NoAntialias, QFont::NoAntialias);

    QImage img = Filled(120, 40, kBlack);
    CDC dc(img);
    dc.SelectFont(font);
    dc.SetTextColor(kWhite);
    dc.TextOut(QPoint(10, 5), "Animate");
    const QRect ink = Painted(img, kBlack);
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_GE(ink.top(), 5);
    EXPECT_LT(ink.bottom(), 5 + 15);
    EXPECT_GE(ink.left(), 10);
    // Only the text colour: no background, no blended edges.
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) ASSERT_TRUE(img.pixel(x, y) == kBlack || img.pixel(x, y) == kWhite);

    // Centred in a rectangle on one line.
    img.fill(kBlack);
    dc.DrawText("See", QRect(0, 0, 120, 40), DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    const QRect centred = Painted(img, kBlack);
    EXPECT_NEAR(centred.center().x(), 60, 3);
    EXPECT_NEAR(centred.center().y(), 20, 4);
}

namespace {

// A control that fills what it is asked to paint and records its calls.
class Probe : public CWnd {
public:
    std::vector<QString> calls;
    std::vector<QRect> paints;
    QRgb colour = 0xFF204060u;
    int captureLost = 0;

protected:
    void OnPaint(CDC* dc) override
    {
        paints.push_back(dc->GetClipBox());
        dc->FillRect(dc->GetClipBox(), colour);
    }
    void OnLButtonDown(QPoint p) override { calls.push_back(QString("down %1,%2").arg(p.x()).arg(p.y())); }
    void OnLButtonUp(QPoint p) override { calls.push_back(QString("up %1,%2").arg(p.x()).arg(p.y())); }
    void OnLButtonDblClk(QPoint) override { calls.push_back("dblclk"); }
    void OnMouseMove(QPoint p) override { calls.push_back(QString("move %1,%2").arg(p.x()).arg(p.y())); }
    void OnTimer(int id) override { calls.push_back(QString("timer %1 at %2").arg(id).arg(ClockTimer::Now())); }
    void OnCaptureChanged() override { ++captureLost; }
};

}  // namespace

// For rectangles of every kind (growing and shrinking, at fractions of a
// pixel, reaching past the device on any side, a 65500-pixel image on a
// printer's page), the pick names exactly the pixels Qt's unsmoothed
// scaled draw shows, and no device pixel it leaves alone.
TEST(ScaledDraw, PickNamesThePixelsAnUnsmoothedScaledDrawShows)
{
    EnsureQtApp();
    struct Case {
        QSize image;
        QRectF target;
        QSize device;
    };
    std::vector<Case> cases = {{{65500, 2}, {37.3, 4.6, 9583.0, 0.8}, {9700, 8}},
                               {{160, 120}, {0.0, 54.9, 1920.0, 1440.0}, {2000, 1600}},
                               {{160, 120}, {3.5, 2.5, 80.0, 60.0}, {90, 70}},
                               // The device shows a 65500-pixel image from past its middle on.
                               {{65500, 2}, {-20000.3, 0.0, 32750.0, 4.0}, {9000, 8}},
                               {{2, 65500}, {0.0, -20000.3, 4.0, 32750.0}, {8, 9000}}};
    std::mt19937 random(7);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int i = 0; i < 200; ++i) {
        const QSize image(1 + static_cast<int>(unit(random) * 1500), 1 + static_cast<int>(unit(random) * 300));
        const double scale = 0.05 + unit(random) * (i % 2 ? 0.95 : 6.0);
        const QRectF target(unit(random) * 40, unit(random) * 40, image.width() * scale, image.height() * scale);
        QSize device(static_cast<int>(target.right()) + 3, static_cast<int>(target.bottom()) + 3);
        if (i % 5 == 0) device = (device * 0.8).expandedTo(QSize(1, 1));  // the draw reaches past the device
        if (int64_t(device.width()) * device.height() <= 1 << 21) cases.push_back({image, target, device});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.image.width() << "x" << c.image.height() << " into " << c.target.x()
                                        << "," << c.target.y() << " " << c.target.width() << "x" << c.target.height());
        QImage columns(c.device, QImage::Format_RGB32), rows(c.device, QImage::Format_RGB32);
        columns.fill(kBlack);
        rows.fill(kBlack);
        QPainter(&columns).drawImage(c.target, Numbered(c.image, false));
        QPainter(&rows).drawImage(c.target, Numbered(c.image, true));
        const ScaledPick pick = PickScaledPixels(c.image, c.target, QRect(QPoint(0, 0), c.device));
        ASSERT_EQ(pick.columns.size(), static_cast<size_t>(pick.device.width()));
        ASSERT_EQ(pick.rows.size(), static_cast<size_t>(pick.device.height()));
        int wrong = 0;
        for (int y = 0; y < c.device.height() && wrong < 3; ++y) {
            for (int x = 0; x < c.device.width() && wrong < 3; ++x) {
                const bool shown = pick.device.contains(x, y);
                const int column = shown ? pick.columns[static_cast<size_t>(x - pick.device.left())] : -1;
                const int row = shown ? pick.rows[static_cast<size_t>(y - pick.device.top())] : -1;
                const int drawnColumn = static_cast<int>(columns.pixel(x, y) & 0xFFFFFFu) - 1;
                const int drawnRow = static_cast<int>(rows.pixel(x, y) & 0xFFFFFFu) - 1;
                if (column != drawnColumn || row != drawnRow) {
                    ++wrong;
                    ADD_FAILURE() << "at " << x << "," << y << " the draw shows " << drawnColumn << "," << drawnRow
                                  << ", the pick " << column << "," << row;
                }
            }
        }
        if (wrong) break;
    }
}

TEST(CustomControl, PaintsIntoItsSurfaceAndShowsIt)
{
    EnsureQtApp();
    Probe p;
    p.resize(40, 30);
    p.show();
    DrainEvents();
    ASSERT_FALSE(p.paints.empty());
    EXPECT_EQ(p.paints.back(), QRect(0, 0, 40, 30));
    EXPECT_EQ(p.Surface().pixel(39, 29), 0xFF204060u);

    // Invalidate and UpdateWindow draw at once, only the invalid part.
    p.paints.clear();
    p.colour = 0xFF00FF00u;
    p.InvalidateRect(QRect(5, 5, 4, 4));
    p.UpdateWindow();
    ASSERT_EQ(p.paints.size(), 1u);
    EXPECT_EQ(p.paints[0], QRect(5, 5, 4, 4));
    EXPECT_EQ(p.Surface().pixel(6, 6), 0xFF00FF00u);
    EXPECT_EQ(p.Surface().pixel(20, 20), 0xFF204060u);
    const QImage shown = p.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(shown.pixel(6, 6), 0xFF00FF00u);

    // GetDC draws outside the paint; an XOR line twice leaves nothing.
    const QImage before = p.Surface().copy();
    for (int i = 0; i < 2; ++i) {
        CDC* dc = p.GetDC();
        dc->SetROP2(R2_XORPEN);
        dc->SetPenColor(kWhite);
        dc->MoveTo({0, 0});
        dc->LineTo({30, 20});
        p.ReleaseDC(dc);
        EXPECT_EQ(p.Surface() == before, i == 1);
    }
}

TEST(CustomControl, ADoubleClickIsOnePressAndOneDoubleClick)
{
    EnsureQtApp();
    Probe p;
    p.resize(40, 30);
    p.show();
    // What a double click delivers: press, release, double click, release.
    QTest::mouseClick(&p, Qt::LeftButton, {}, QPoint(7, 8));
    QTest::mouseDClick(&p, Qt::LeftButton, {}, QPoint(7, 8));
    QTest::mouseRelease(&p, Qt::LeftButton, {}, QPoint(7, 8));
    EXPECT_EQ(p.calls, (std::vector<QString>{"down 7,8", "up 7,8", "dblclk", "up 7,8"}));
}

TEST(CustomControl, CaptureKeepsTheMouseUntilReleasedOrTaken)
{
    EnsureQtApp();
    QWidget window;
    window.resize(200, 100);
    auto* a = new Probe;
    a->setParent(&window);
    a->setGeometry(0, 0, 50, 50);
    auto* b = new Probe;
    b->setParent(&window);
    b->setGeometry(100, 0, 50, 50);
    window.show();
    DrainEvents();

    a->SetCapture();
    EXPECT_TRUE(a->HasCapture());
    // A release over the other control still reaches the capturing one,
    // in its own client pixels.
    QTest::mousePress(window.windowHandle(), Qt::LeftButton, {}, QPoint(20, 20));
    QTest::mouseRelease(window.windowHandle(), Qt::LeftButton, {}, QPoint(110, 10));
    ASSERT_FALSE(a->calls.empty());
    EXPECT_EQ(a->calls.back(), "up 110,10");
    EXPECT_TRUE(b->calls.empty());
    a->ReleaseCapture();
    EXPECT_FALSE(a->HasCapture());
    EXPECT_EQ(a->captureLost, 0);

    // Another grab takes the capture away: the control is told once.
    a->SetCapture();
    b->SetCapture();
    EXPECT_FALSE(a->HasCapture());
    EXPECT_EQ(a->captureLost, 1);
    b->ReleaseCapture();
    // Hiding a capturing control ends its capture too.
    a->SetCapture();
    a->hide();
    EXPECT_EQ(a->captureLost, 2);
}

TEST(CustomControl, TimersFollowTheDrivenClock)
{
    EnsureQtApp();
    ManualClock clock;
    Probe p;
    p.SetTimer(1, 200);
    p.SetTimer(2, 150);
    // Time stands still between the moves, whatever the system's clock does.
    QTest::qWait(200);
    EXPECT_TRUE(p.calls.empty());
    clock.Advance(199);
    EXPECT_EQ(p.calls, (std::vector<QString>{"timer 2 at 150"}));
    clock.Advance(201);  // to 400: 2 at 300, 1 at 200 and 400
    EXPECT_EQ(p.calls, (std::vector<QString>{"timer 2 at 150", "timer 1 at 200", "timer 2 at 300", "timer 1 at 400"}));
    p.KillTimer(1);
    p.KillTimer(2);
    clock.Advance(1000);
    EXPECT_EQ(p.calls.size(), 4u);
}
