// The sphere light picker of the lighting dialog.
#include <gtest/gtest.h>

#include <QTest>

#include <cmath>
#include <filesystem>

#include "panels/SphereLightWnd.h"
#include "support/QtTestApp.h"
#include "support/TextureProgram.h"

using namespace morvane;
using morvane::test::AnimatedLayer;
using morvane::test::EnsureQtApp;
using morvane::test::Program;

namespace {

// The program's sphere table, for the pickers to shade.
struct SphereInUse {
    SphereTable table;
    SphereInUse() { EXPECT_TRUE(table.LoadFile(std::filesystem::path(MORVANE_BUILD_DIR) / "data" / "sphere.par")); }
};

// A picker as the lighting dialog makes it on a 96-dpi screen: 114 x 122.
struct Picker {
    CSphereLightWnd wnd;
    explicit Picker(EditingSession& session, QSize size = QSize(114, 122)) : wnd(session)
    {
        wnd.setGeometry(QRect(QPoint(0, 0), size));
        wnd.show();
        wnd.UpdateWindow();
    }
};

int Differing(const QImage& a, const QImage& b)
{
    int n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) n += a.pixel(x, y) != b.pixel(x, y);
    return n;
}

// The pixels of a rectangle of the surface that are in the shade.
int Shaded(const QImage& s, const QRect& r)
{
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) n += qGreen(s.pixel(x, y)) < 160;
    return n;
}

}  // namespace

TEST(SpherePicker, APointSetsTheLightDirectionFromTheCentreInLayerAndCurrentKey)
{
    EnsureQtApp();
    Program p;
    LayerSlot slot;
    slot.layer = AnimatedLayer(2);
    p.doc->texture.layers.push_back(slot);
    p.session.ShowLayer(2);
    p.session.SetCurrentKey(1);
    Layer& layer = p.doc->texture.layers[1].layer;
    const float z = layer.rec.lightDirZ;
    Picker picker(p.session);

    QTest::mouseClick(&picker.wnd, Qt::LeftButton, {}, QPoint(57, 61));
    EXPECT_EQ(+layer.rec.lightDirX, 0.0f);
    EXPECT_EQ(+layer.rec.lightDirY, 0.0f);
    QTest::mouseClick(&picker.wnd, Qt::LeftButton, {}, QPoint(85, 30));
    EXPECT_EQ(+layer.rec.lightDirX, 28.0f / 57.0f);
    EXPECT_FLOAT_EQ(+layer.rec.lightDirX, 0.4912281f);
    EXPECT_EQ(+layer.rec.lightDirY, -31.0f / 61.0f);
    EXPECT_EQ(+layer.keys[1].rec.lightDirX, 28.0f / 57.0f);
    EXPECT_EQ(+layer.keys[1].rec.lightDirY, -31.0f / 61.0f);
    EXPECT_NE(+layer.keys[0].rec.lightDirX, 28.0f / 57.0f);
    EXPECT_EQ(+layer.rec.lightDirZ, z);
    EXPECT_FALSE(p.doc->IsModified());
}

TEST(SpherePicker, DraggingMovesTheMarkerWithoutATraceAndReleasingShadesTheSphereAgain)
{
    EnsureQtApp();
    SphereInUse sphere;
    Program p(&sphere.table);
    p.session.ShowLayer(1);
    LayerRecord& rec = p.doc->texture.layers[0].layer.rec;
    rec.lightDirX = 0.5f;
    rec.lightDirY = -0.3f;
    rec.lightDirZ = 1.6f;
    Picker picker(p.session);
    const int w = 114, h = 122;
    const QPoint drawn = CSphereLightWnd::MarkerCentre(0.5f, -0.3f, w, h);
    ASSERT_EQ(picker.wnd.MarkerAt(), drawn);
    QImage expected = picker.wnd.Surface().copy();

    // A render of the view normalises the light direction in place: the
    // marker is still where it was drawn.
    const float length = std::sqrt(0.5f * 0.5f + 0.3f * 0.3f + 1.6f * 1.6f);
    rec.lightDirX /= length;
    rec.lightDirY /= length;
    rec.lightDirZ /= length;
    ASSERT_NE(CSphereLightWnd::MarkerCentre(rec.lightDirX, rec.lightDirY, w, h), drawn);

    QPoint at = drawn;
    // The marker leaves where it was drawn and shows for the new direction.
    auto moved = [&] {
        CDC dc(expected);
        CSphereLightWnd::DrawMarker(&dc, at, w, h);
        at = CSphereLightWnd::MarkerCentre(rec.lightDirX, rec.lightDirY, w, h);
        CSphereLightWnd::DrawMarker(&dc, at, w, h);
    };
    QTest::mousePress(&picker.wnd, Qt::LeftButton, {}, QPoint(90, 30));
    moved();
    EXPECT_EQ(Differing(picker.wnd.Surface(), expected), 0);
    // Outside the control the direction goes past 1 while the drag lasts.
    QTest::mouseMove(&picker.wnd, QPoint(200, -30));
    EXPECT_EQ(+rec.lightDirX, 143.0f / 57.0f);
    EXPECT_EQ(+rec.lightDirY, -91.0f / 61.0f);
    moved();
    EXPECT_EQ(Differing(picker.wnd.Surface(), expected), 0);
    QTest::mouseMove(&picker.wnd, QPoint(30, 100));
    moved();
    EXPECT_EQ(Differing(picker.wnd.Surface(), expected), 0);

    // The release sets the direction once more and shades the sphere for
    // it, exactly as a picker opened now shows it.
    QTest::mouseRelease(&picker.wnd, Qt::LeftButton, {}, QPoint(20, 110));
    EXPECT_EQ(+rec.lightDirX, -37.0f / 57.0f);
    Picker fresh(p.session);
    EXPECT_EQ(Differing(picker.wnd.Surface(), fresh.wnd.Surface()), 0);
    EXPECT_GT(Differing(picker.wnd.Surface(), expected), 100);
}

TEST(SpherePicker, TheSphereIsLitFromWhereThePickerPoints)
{
    EnsureQtApp();
    SphereInUse sphere;
    Program p(&sphere.table);
    p.session.ShowLayer(1);
    // Light in the picture's plane only, so that no point is lit to white.
    p.doc->texture.layers[0].layer.rec.lightDirZ = 0.0f;
    Picker picker(p.session);
    const QImage& s = picker.wnd.Surface();
    // The quarters of the sphere (x 19..93, y 24..98) without the band
    // around the centre row and column, where the marker's line runs.
    const QRect topLeft(19, 24, 30, 30), topRight(64, 24, 30, 30), bottomLeft(19, 69, 30, 30),
        bottomRight(64, 69, 30, 30);
    auto left = [&] { return Shaded(s, topLeft) + Shaded(s, bottomLeft); };
    auto right = [&] { return Shaded(s, topRight) + Shaded(s, bottomRight); };
    auto top = [&] { return Shaded(s, topLeft) + Shaded(s, topRight); };
    auto bottom = [&] { return Shaded(s, bottomLeft) + Shaded(s, bottomRight); };

    // The side away from the light is in the shade.
    QTest::mouseClick(&picker.wnd, Qt::LeftButton, {}, QPoint(113, 61));
    EXPECT_GT(left(), right() * 2);
    QTest::mouseClick(&picker.wnd, Qt::LeftButton, {}, QPoint(0, 61));
    EXPECT_GT(right(), left() * 2);
    QTest::mouseClick(&picker.wnd, Qt::LeftButton, {}, QPoint(57, 121));
    EXPECT_GT(top(), bottom() * 2);
    QTest::mouseClick(&picker.wnd, Qt::LeftButton, {}, QPoint(57, 0));
    EXPECT_GT(bottom(), top() * 2);
}

TEST(SpherePicker, AControlWithoutACentreOrALayerChangesNothing)
{
    EnsureQtApp();
    SphereInUse sphere;
    Program p(&sphere.table);
    p.session.ShowLayer(1);
    const LayerRecord before = p.doc->texture.layers[0].layer.rec;
    Picker tiny(p.session, QSize(1, 1));
    QTest::mouseClick(&tiny.wnd, Qt::LeftButton, {}, QPoint(0, 0));
    EXPECT_EQ(std::memcmp(&p.doc->texture.layers[0].layer.rec, &before, sizeof before), 0);

    // No current layer: a frame and no marker, and a press writes nothing.
    p.session.SetCurrentLayer(0);
    Picker picker(p.session);
    EXPECT_FALSE(picker.wnd.MarkerAt().has_value());
    QTest::mouseClick(&picker.wnd, Qt::LeftButton, {}, QPoint(90, 30));
    EXPECT_EQ(std::memcmp(&p.doc->texture.layers[0].layer.rec, &before, sizeof before), 0);
    EXPECT_EQ(picker.wnd.Surface().pixel(57, 61), qRgb(192, 192, 192));
}
