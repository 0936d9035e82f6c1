// The colour bars of the reflection and lighting dialogs.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include "panels/ColorBarWnd.h"
#include "support/QtTestApp.h"
#include "support/ScriptedDialogs.h"
#include "support/TextureProgram.h"

using namespace morvane;
using morvane::test::AnimatedLayer;
using morvane::test::EnsureQtApp;
using morvane::test::Program;

namespace {

// Program with an animated second layer shown and key 1 current.
struct AnimatedProgram : Program {
    AnimatedProgram()
    {
        LayerSlot slot;
        slot.layer = AnimatedLayer(3);
        doc->texture.layers.push_back(slot);
        session.ShowLayer(2);
        session.SetCurrentKey(1);
    }
    Layer& layer() { return doc->texture.layers[1].layer; }
};

void Press(QWidget* w, int x, int y) { QTest::mousePress(w, Qt::LeftButton, {}, QPoint(x, y)); }
void Release(QWidget* w, int x, int y) { QTest::mouseRelease(w, Qt::LeftButton, {}, QPoint(x, y)); }
void Click(QWidget* w, int x, int y)
{
    Press(w, x, y);
    Release(w, x, y);
}

struct Bar {
    CColorBarWnd wnd;
    Bar(EditingSession& session, int16_t mode, QRgb color) : wnd(session)
    {
        wnd.mode = mode;
        wnd.color = color;
        wnd.setGeometry(0, 0, 72, 122);
        wnd.show();
    }
};

}  // namespace

TEST(ColorBars, APressSetsTheComponentOfItsRowAndWritesLayerAndCurrentKey)
{
    EnsureQtApp();
    AnimatedProgram p;
    const KeyframeRecord key0 = p.layer().keys[0].rec;
    Bar bar(p.session, CColorBarWnd::Brilliance, qRgb(10, 20, 30));

    // Top of the red bar: 255, brilliance 200 in layer and current key.
    Click(&bar.wnd, 7, 5);
    EXPECT_EQ(bar.wnd.color, qRgb(255, 20, 30));
    EXPECT_EQ(+p.layer().rec.brillianceR, 200.0f);
    EXPECT_EQ(+p.layer().keys[1].rec.brillianceR, 200.0f);
    EXPECT_EQ(+p.layer().rec.brillianceG, 20.0f * (200.0f / 255.0f));
    // Middle of the green bar: trunc(55 x 255 / 110) = 127; bottom of blue: 0.
    Click(&bar.wnd, 19, 60);
    Click(&bar.wnd, 31, 115);
    EXPECT_EQ(bar.wnd.color, qRgb(255, 127, 0));
    EXPECT_EQ(+p.layer().keys[1].rec.brillianceG, 127.0f * (200.0f / 255.0f));
    EXPECT_EQ(+p.layer().rec.brillianceB, 0.0f);
    // Other keys keep theirs, and the bars mark nothing modified.
    EXPECT_EQ(std::memcmp(&p.layer().keys[0].rec, &key0, sizeof key0), 0);
    EXPECT_FALSE(p.doc->IsModified());

    // Between the bars and above them nothing is hit.
    const LayerRecord before = p.layer().rec;
    for (QPoint miss : {QPoint(13, 60), QPoint(25, 60), QPoint(37, 60), QPoint(7, 4), QPoint(7, 116), QPoint(70, 60)})
        Click(&bar.wnd, miss.x(), miss.y());
    EXPECT_EQ(bar.wnd.color, qRgb(255, 127, 0));
    EXPECT_EQ(std::memcmp(&p.layer().rec, &before, sizeof before), 0);
}

TEST(ColorBars, ADragPastTheEndsHoldsTheLimitsAndTellsTheLightColourAtTheEnd)
{
    EnsureQtApp();
    AnimatedProgram p;
    Bar bar(p.session, CColorBarWnd::LightColor, qRgb(0, 0, 0));
    QSignalSpy told(&bar.wnd, &CColorBarWnd::lightColorChanged);

    Press(&bar.wnd, 7, 60);
    EXPECT_EQ(+p.layer().rec.lightR, 127.0f * (1.0f / 255.0f));
    QTest::mouseMove(&bar.wnd, QPoint(7, -40));
    EXPECT_EQ(qRed(bar.wnd.color), 255);
    EXPECT_EQ(+p.layer().rec.lightR, 1.0f);
    EXPECT_EQ(+p.layer().keys[1].rec.lightR, 1.0f);
    QTest::mouseMove(&bar.wnd, QPoint(40, 300));  // the drag stays on the red bar
    EXPECT_EQ(bar.wnd.color, qRgb(0, 0, 0));
    EXPECT_EQ(+p.layer().rec.lightR, 0.0f);
    EXPECT_EQ(told.count(), 0);
    Release(&bar.wnd, 40, 300);
    EXPECT_EQ(told.count(), 1);

    // After the release a move changes nothing.
    QTest::mouseMove(&bar.wnd, QPoint(7, 5));
    EXPECT_EQ(+p.layer().rec.lightR, 0.0f);

    // Bars of the other modes do not tell.
    Bar reflection(p.session, CColorBarWnd::ReflectionColor, qRgb(0, 0, 0));
    QSignalSpy silent(&reflection.wnd, &CColorBarWnd::lightColorChanged);
    Click(&reflection.wnd, 7, 60);
    EXPECT_EQ(silent.count(), 0);
    EXPECT_EQ(+p.layer().rec.reflectR, 127.0f * (1.0f / 255.0f));
}

TEST(ColorBars, TheSwatchWritesWhatTheColourDialogChoosesAndNothingOnCancel)
{
    EnsureQtApp();
    AnimatedProgram p;
    ScriptedDialogs& ui = p.ui;
    // A brilliance from a file beyond the range shows as 255 and stays
    // in the layer while nothing is chosen.
    p.layer().rec.brillianceR = 250.0f;
    Bar bar(p.session, CColorBarWnd::Brilliance, qRgb(255, 127, 0));

    ui.colors = {std::nullopt, QColor(128, 255, 3)};
    Click(&bar.wnd, 53, 60);
    ASSERT_EQ(ui.colorRequests.size(), 1u);
    EXPECT_EQ(ui.colorRequests[0], QColor(255, 127, 0));
    EXPECT_EQ(bar.wnd.color, qRgb(255, 127, 0));
    EXPECT_EQ(+p.layer().rec.brillianceR, 250.0f);

    Click(&bar.wnd, 53, 60);
    EXPECT_EQ(bar.wnd.color, qRgb(128, 255, 3));
    EXPECT_FLOAT_EQ(+p.layer().rec.brillianceR, 100.392159f);
    EXPECT_EQ(+p.layer().rec.brillianceR, 128.0f * (200.0f / 255.0f));
    EXPECT_EQ(+p.layer().rec.brillianceG, 200.0f);
    EXPECT_EQ(+p.layer().keys[1].rec.brillianceB, 3.0f * (200.0f / 255.0f));
}

TEST(ColorBars, WithoutADocumentTheBarsMoveButWriteNothing)
{
    EnsureQtApp();
    ScriptedDialogs ui;
    Background backgrounds;
    EditingSession session(ui, backgrounds);
    session.SetCurrentLayer(1);
    ASSERT_EQ(session.Document(), nullptr);
    Bar bar(session, CColorBarWnd::LightColor, qRgb(0, 0, 0));
    Click(&bar.wnd, 7, 5);
    EXPECT_EQ(bar.wnd.color, qRgb(255, 0, 0));
    EXPECT_EQ(session.CurrentLayerRecord(), nullptr);
}

TEST(ColorBars, EachBarIsFilledFromTheBottomUpToItsComponent)
{
    EnsureQtApp();
    Program p;
    Bar bar(p.session, CColorBarWnd::LightColor, qRgb(255, 127, 0));
    bar.wnd.UpdateWindow();
    const QImage& s = bar.wnd.Surface();
    // Red full height (inside its frame), green from row
    // 115 - trunc(127 / 255 x 110) = 61, blue empty.
    EXPECT_EQ(s.pixel(7, 6), qRgb(255, 0, 0));
    EXPECT_EQ(s.pixel(7, 114), qRgb(255, 0, 0));
    EXPECT_EQ(s.pixel(19, 60), qRgb(192, 192, 192));
    EXPECT_EQ(s.pixel(19, 61), qRgb(0, 255, 0));
    EXPECT_EQ(s.pixel(31, 114), qRgb(192, 192, 192));
    EXPECT_EQ(s.pixel(53, 60), qRgb(255, 127, 0));
    // The sunken frame of the red bar: dark grey and white outside, black
    // inside at the top.
    EXPECT_EQ(s.pixel(1, 60), qRgb(64, 64, 64));
    EXPECT_EQ(s.pixel(7, 116), qRgb(255, 255, 255));
    EXPECT_EQ(s.pixel(7, 5), qRgb(0, 0, 0));
}
