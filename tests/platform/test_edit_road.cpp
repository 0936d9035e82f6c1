// The editing session, panel backgrounds and the event pump's policies.
#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QMdiArea>
#include <QPushButton>
#include <QTest>

#include "engine/Presets.h"
#include "engine/Render.h"
#include "platform/Background.h"
#include "platform/EditingSession.h"
#include "platform/EventPump.h"
#include "platform/MDIFrameWnd.h"
#include "support/QtTestApp.h"
#include "support/TextureProgram.h"

using namespace morvane;
using morvane::test::DrainEvents;
using morvane::test::EnsureQtApp;
using morvane::test::AnimatedLayer;
using morvane::test::CountingView;
using morvane::test::Program;

TEST(EditRoad, WritesTheCurrentLayerAndItsCurrentKeyOnly)
{
    EnsureQtApp();
    Program p;
    ASSERT_NE(p.doc, nullptr);
    EXPECT_EQ(p.session.Document(), p.doc);
    EXPECT_EQ(p.session.Texture(), &p.doc->texture);
    LayerSlot second;
    second.layer = AnimatedLayer(3);
    p.doc->texture.layers.push_back(second);

    // No current layer yet: nothing is written.
    EXPECT_EQ(p.session.CurrentSlot(), nullptr);
    EXPECT_FALSE(p.session.SetLayerField(offsetof(LayerRecord, turbulence), 0.25f));

    // Showing an animated layer makes key 0 current.
    int shown = 0;
    QObject::connect(&p.session, &EditingSession::layerShown, &p.frame, [&](int n) { shown = n; });
    p.session.SetCurrentKey(-1);
    p.session.ShowLayer(2);
    EXPECT_EQ(shown, 2);
    EXPECT_EQ(p.session.CurrentKey(), 0);
    p.session.SetCurrentKey(2);
    EXPECT_TRUE(p.session.SetLayerField(offsetof(LayerRecord, turbulence), 0.25f));
    EXPECT_TRUE(p.session.SetLayerField<int16_t>(offsetof(LayerRecord, detail), 7));
    const Layer& layer = p.doc->texture.layers[1].layer;
    EXPECT_FLOAT_EQ(+layer.rec.turbulence, 0.25f);
    EXPECT_FLOAT_EQ(+layer.keys[2].rec.turbulence, 0.25f);
    EXPECT_EQ(+layer.keys[2].rec.detail, 7);
    EXPECT_NE(+layer.keys[1].rec.turbulence, 0.25f);
    // A field that is not key-framed stays in the layer.
    EXPECT_TRUE(p.session.SetLayerField<int8_t>(offsetof(LayerRecord, material), 5));

    // A key past the layer's real key count (or the keys held) is none.
    p.session.SetCurrentKey(3);
    EXPECT_EQ(p.session.CurrentKey(), -1);
    p.doc->texture.layers[1].layer.keys.pop_back();
    p.session.SetCurrentKey(2);
    EXPECT_EQ(p.session.CurrentKey(), -1);
    EXPECT_TRUE(p.session.SetLayerField(offsetof(LayerRecord, turbulence), 0.5f));
    EXPECT_FLOAT_EQ(+layer.keys[1].rec.turbulence, +layer.keys[0].rec.turbulence);

    // A layer number past the texture's layers edits nothing.
    p.session.SetCurrentLayer(3);
    EXPECT_EQ(p.session.CurrentLayerIndex(), -1);
    EXPECT_FALSE(p.session.SetLayerField(offsetof(LayerRecord, turbulence), 0.75f));

    // Marking and rendering reach the active document and view.
    p.session.Commit();
    EXPECT_TRUE(p.doc->IsModified());
    auto* view = static_cast<CountingView*>(p.session.View());
    ASSERT_NE(view, nullptr);
    const int before = view->draws;
    p.session.Show(EditingSession::Image);
    EXPECT_EQ(view->draws, before + 1);
}

TEST(EditRoad, NothingToEditWithoutADocument)
{
    EnsureQtApp();
    Program p;
    p.tmpl.CloseDocument(p.doc);
    DrainEvents();
    EXPECT_EQ(p.session.Document(), nullptr);
    EXPECT_EQ(p.session.Texture(), nullptr);
    p.session.ShowLayer(1);
    EXPECT_EQ(p.session.CurrentSlot(), nullptr);
    EXPECT_FALSE(p.session.SetLayerField(offsetof(LayerRecord, turbulence), 0.5f));
    p.session.Commit();
    p.session.Show(EditingSession::Image);
}

TEST(PanelBackground, ContinuesTheMainWindowsTextureAndIsKeptPerSize)
{
    EnsureQtApp();
    Program p;
    const Texture texture = PresetTexture(MaterialPresetTable(), 8);
    Background backgrounds(&texture);
    QWidget* panel = new QWidget(&p.frame);
    panel->setGeometry(100, 50, 40, 30);
    panel->show();

    const QImage& picture = backgrounds.For(panel);
    ASSERT_EQ(picture.size(), QSize(40, 30));
    // The same pixels as the whole main window rendered at its size.
    const QRect m = p.frame.frameGeometry();
    const std::vector<uint8_t> whole = RenderImage(texture, m.width(), m.height(), 0, 0, false);
    // Row y of the window is v = y / height: row y of the bottom-first image.
    const QPoint at = panel->mapToGlobal(QPoint(0, 0)) - m.topLeft();
    for (QPoint q : {QPoint(0, 0), QPoint(39, 0), QPoint(17, 29)}) {
        const uint8_t* b = &whole[(static_cast<size_t>(q.y() + at.y()) * m.width() + q.x() + at.x()) * 4];
        EXPECT_EQ(picture.pixel(q), qRgb(b[2], b[1], b[0])) << q.x() << "," << q.y();
    }

    // Kept while the size stays, made again for a new size, cleared all.
    const qint64 key = picture.cacheKey();
    panel->move(0, 0);
    EXPECT_EQ(backgrounds.For(panel).cacheKey(), key);
    panel->resize(20, 20);
    EXPECT_EQ(backgrounds.For(panel).size(), QSize(20, 20));
    EXPECT_EQ(backgrounds.CachedCount(), 1);
    backgrounds.Clear();
    EXPECT_EQ(backgrounds.CachedCount(), 0);
    backgrounds.For(panel);
    delete panel;
    EXPECT_EQ(backgrounds.CachedCount(), 0);

    // No interface texture: black.
    Background none;
    QWidget other(&p.frame);
    other.resize(5, 5);
    EXPECT_EQ(none.For(&other).pixel(2, 2), 0xFF000000u);
}

TEST(EventPump, LetsThroughWhatItsPolicyAllowsAndHoldsTheRest)
{
    EnsureQtApp();
    QWidget window;
    window.resize(200, 100);
    auto* stop = new QPushButton("Stop", &window);
    stop->setGeometry(0, 0, 50, 30);
    auto* other = new QPushButton("Other", &window);
    other->setGeometry(100, 0, 50, 30);
    window.show();
    int stops = 0, others = 0;
    QObject::connect(stop, &QPushButton::clicked, [&] { ++stops; });
    QObject::connect(other, &QPushButton::clicked, [&] { ++others; });
    {
        PumpPolicy policy;
        policy.holdKeys = true;
        policy.passes = [&](QWidget* w) { return w == stop; };
        EventPump pump(policy);
        QTest::mouseClick(other, Qt::LeftButton);
        QTest::mouseClick(stop, Qt::LeftButton);
        QTest::keyClick(other, Qt::Key_Escape);
        EXPECT_TRUE(pump.Pump());  // Escape is noted even when held
        EXPECT_EQ(stops, 1);
        EXPECT_EQ(others, 0);
    }
    DrainEvents();
    EXPECT_EQ(others, 1);  // delivered after, never dropped
}
