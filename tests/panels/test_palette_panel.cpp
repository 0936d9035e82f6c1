// The palette panel and its gradient strip.
#include <gtest/gtest.h>

#include <QTest>

#include "panels/GradientStrip.h"
#include "panels/KvoPPal.h"
#include "support/QtTestApp.h"
#include "support/ScriptedDialogs.h"
#include "support/TextureProgram.h"

using namespace morvane;
using morvane::test::AnimatedLayer;
using morvane::test::EnsureQtApp;
using morvane::test::Program;

namespace {

constexpr float kByte = 1.0f / 255.0f;

// A program whose second layer is animated with three keys and shown in a
// palette panel, key 1 current.
struct PaletteProgram : Program {
    CKvoPPal panel{session};
    PaletteProgram()
    {
        LayerSlot slot;
        slot.layer = AnimatedLayer(3);
        doc->texture.layers.push_back(slot);
        panel.resize(panel.width(), 30);
        panel.show();
        session.ShowLayer(2);
        session.SetCurrentKey(1);
    }
    Layer& layer() { return doc->texture.layers[1].layer; }
    Gradient& gradient() { return *layer().gradient; }
    CGradientStrip* strip() { return panel.Strip(); }
    void ClickCell(int k) { QTest::mouseClick(strip(), Qt::LeftButton, {}, QPoint(16 * k + 8, 10)); }
    // Sets cell k's start colour in the layer and shows the layer again.
    void SetStart(int k, float grey)
    {
        auto& e = gradient().entries[static_cast<size_t>(k)];
        e.startR = e.startG = e.startB = grey;
    }
};

void ExpectEnd(const GradientEntry& e, float v)
{
    EXPECT_EQ(+e.endR, v);
    EXPECT_EQ(+e.endG, v);
    EXPECT_EQ(+e.endB, v);
}
void ExpectStart(const GradientEntry& e, float v)
{
    EXPECT_EQ(+e.startR, v);
    EXPECT_EQ(+e.startG, v);
    EXPECT_EQ(+e.startB, v);
}

}  // namespace

TEST(PalettePanel, TheStripShowsTheGradientOfEveryLayerShown)
{
    EnsureQtApp();
    Program p;
    CKvoPPal panel(p.session);
    panel.show();
    CGradientStrip* strip = panel.Strip();
    // Before any layer: a grey ramp from 253 down to 0.
    EXPECT_EQ(strip->CellColor(0), qRgb(253, 253, 253));
    EXPECT_EQ(strip->CellColor(23), qRgb(0, 0, 0));

    Gradient& g = *p.doc->texture.layers[0].layer.gradient;
    g.entries[4].startR = 0.5f;  // 127.5
    g.entries[4].startG = 1.0f / 3.0f;
    g.entries[4].startB = 1.7f;  // beyond the range, as a file may hold
    p.session.ShowLayer(1);
    EXPECT_EQ(strip->CellColor(4), qRgb(127, 85, 255));
    for (int i = 0; i < 24; ++i) {
        const GradientEntry& e = g.entries[static_cast<size_t>(i)];
        if (i == 4) continue;
        EXPECT_EQ(strip->CellColor(i),
                  qRgb(int(double(e.startR) * 255), int(double(e.startG) * 255), int(double(e.startB) * 255)));
    }
    // A gradient changed elsewhere shows too.
    g.entries[4].startG = 0.0f;
    p.session.Show(EditingSession::Gradient);
    EXPECT_EQ(strip->CellColor(4), qRgb(127, 0, 255));

    // Painted: cell 4 filled with its colour; the selected cell 0 framed
    // in blue, the others sunken.
    strip->UpdateWindow();
    const QImage& s = strip->Surface();
    EXPECT_EQ(s.pixel(16 * 4 + 8, 9), qRgb(127, 0, 255));
    EXPECT_EQ(s.pixel(0, 9), qRgb(0, 0, 255));
    EXPECT_EQ(s.pixel(1, 9), qRgb(0, 0, 128));
    EXPECT_EQ(s.pixel(16, 9), qRgb(64, 64, 64));
    EXPECT_EQ(s.pixel(17, 9), qRgb(0, 0, 0));
    EXPECT_EQ(s.pixel(31, 9), qRgb(255, 255, 255));
}

TEST(PalettePanel, TwoClicksInGradientModeBlendTheCellsBetweenIntoLayerAndCurrentKey)
{
    EnsureQtApp();
    PaletteProgram p;
    p.SetStart(2, 0.0f);
    p.SetStart(5, 1.0f);
    p.session.ShowLayer(2);
    p.session.SetCurrentKey(1);
    const Gradient key0 = p.layer().keys[0].gradient;
    const int draws = p.View()->draws;

    QTest::mouseClick(p.panel.GetDlgItem(401), Qt::LeftButton);
    p.ClickCell(5);
    EXPECT_FALSE(p.doc->IsModified());
    EXPECT_EQ(p.strip()->SelectedCell(), 5);
    p.ClickCell(2);
    EXPECT_TRUE(p.doc->IsModified());
    EXPECT_EQ(p.strip()->SelectedCell(), 2);
    EXPECT_EQ(p.strip()->CellColor(3), qRgb(85, 85, 85));
    EXPECT_EQ(p.strip()->CellColor(4), qRgb(170, 170, 170));
    EXPECT_EQ(p.strip()->CellColor(5), qRgb(255, 255, 255));
    for (const Gradient* g : {&p.gradient(), &p.layer().keys[1].gradient}) {
        ExpectEnd(g->entries[2], 85 * kByte);
        ExpectStart(g->entries[3], 85 * kByte);
        ExpectEnd(g->entries[3], 170 * kByte);
        ExpectStart(g->entries[4], 170 * kByte);
        ExpectEnd(g->entries[4], 1.0f);
        ExpectStart(g->entries[5], 1.0f);
    }
    EXPECT_EQ(std::memcmp(&p.layer().keys[0].gradient, &key0, sizeof key0), 0);
    EXPECT_EQ(p.View()->draws, draws + 1);

    // Steps that do not add up exactly: cell hi keeps its own colour.
    p.SetStart(0, 0.0f);
    p.SetStart(3, 10 * kByte);
    p.session.ShowLayer(2);
    p.session.SetCurrentKey(1);
    QTest::mouseClick(p.panel.GetDlgItem(401), Qt::LeftButton);
    p.ClickCell(0);
    p.ClickCell(3);
    EXPECT_EQ(p.strip()->CellColor(1), qRgb(3, 3, 3));
    EXPECT_EQ(p.strip()->CellColor(2), qRgb(6, 6, 6));
    EXPECT_EQ(p.strip()->CellColor(3), qRgb(10, 10, 10));
    ExpectEnd(p.gradient().entries[2], 10 * kByte);
    ExpectStart(p.gradient().entries[3], 10 * kByte);

    // Both clicks on one cell: modified, nothing else; a key past the
    // layer's key count gets nothing.
    p.doc->SetModifiedFlag(false);
    const Gradient before = p.gradient();
    QTest::mouseClick(p.panel.GetDlgItem(401), Qt::LeftButton);
    p.ClickCell(7);
    p.ClickCell(7);
    EXPECT_TRUE(p.doc->IsModified());
    EXPECT_EQ(std::memcmp(&p.gradient(), &before, sizeof before), 0);
    p.session.SetCurrentKey(3);
    QTest::mouseClick(p.panel.GetDlgItem(401), Qt::LeftButton);
    p.ClickCell(3);
    p.ClickCell(0);
    EXPECT_EQ(p.layer().keys.size(), 3u);
    // Out of gradient mode a click only selects.
    p.doc->SetModifiedFlag(false);
    p.ClickCell(9);
    EXPECT_EQ(p.strip()->SelectedCell(), 9);
    EXPECT_FALSE(p.doc->IsModified());
}

TEST(PalettePanel, ColorAndDoubleClickWriteTheCellsBoundariesOnOk)
{
    EnsureQtApp();
    PaletteProgram p;
    ScriptedDialogs& ui = p.ui;
    const Gradient key0 = p.layer().keys[0].gradient;
    const float end23 = p.gradient().entries[23].endG;

    // Cancel changes nothing.
    ui.colors = {std::nullopt, QColor(255, 0, 0), QColor(0, 128, 255)};
    QTest::mouseDClick(p.strip(), Qt::LeftButton, {}, QPoint(16 * 23 + 3, 5));
    ASSERT_EQ(ui.colorRequests.size(), 1u);
    EXPECT_EQ(ui.colorRequests[0], QColor(p.strip()->CellColor(23)));
    EXPECT_EQ(+p.gradient().entries[23].endG, end23);
    EXPECT_FALSE(p.doc->IsModified());

    // Cell 23: entry 23's start and end, entry 22's end, in layer and key.
    const int draws = p.View()->draws;
    QTest::mouseDClick(p.strip(), Qt::LeftButton, {}, QPoint(16 * 23 + 3, 5));
    EXPECT_EQ(p.strip()->CellColor(23), qRgb(255, 0, 0));
    for (const Gradient* g : {&p.gradient(), &p.layer().keys[1].gradient}) {
        EXPECT_EQ(+g->entries[23].startR, 1.0f);
        EXPECT_EQ(+g->entries[23].startG, 0.0f);
        EXPECT_EQ(+g->entries[23].endR, 1.0f);
        EXPECT_EQ(+g->entries[23].endB, 0.0f);
        EXPECT_EQ(+g->entries[22].endR, 1.0f);
    }
    EXPECT_TRUE(p.doc->IsModified());
    EXPECT_EQ(p.View()->draws, draws + 1);

    // Cell 0 through the Color button: entry 0's start only.
    const Gradient before = p.gradient();
    p.ClickCell(0);
    QTest::mouseClick(p.panel.GetDlgItem(402), Qt::LeftButton);
    EXPECT_EQ(+p.gradient().entries[0].startG, 128 * kByte);
    EXPECT_EQ(+p.gradient().entries[0].startB, 1.0f);
    EXPECT_EQ(std::memcmp(&p.gradient().entries[1], &before.entries[1], 23 * sizeof(GradientEntry)), 0);
    EXPECT_EQ(+std::memcmp(&p.gradient().entries[0].end, &before.entries[0].end, 4), 0);
    EXPECT_EQ(std::memcmp(&p.layer().keys[0].gradient, &key0, sizeof key0), 0);
}

TEST(PalettePanel, NothingHappensWithoutADocumentOrPastTheLastCell)
{
    EnsureQtApp();
    ScriptedDialogs ui;
    ui.colors = {QColor(1, 2, 3)};
    {
        PaletteProgram p;
        p.ui.colors = ui.colors;
        // Past the 24th cell (the strip is wider than 24 cells).
        ASSERT_GT(p.strip()->width(), 16 * 24);
        QTest::mouseClick(p.panel.GetDlgItem(401), Qt::LeftButton);
        QTest::mouseClick(p.strip(), Qt::LeftButton, {}, QPoint(16 * 24, 5));
        QTest::mouseDClick(p.strip(), Qt::LeftButton, {}, QPoint(16 * 24 + 1, 5));
        EXPECT_EQ(p.strip()->SelectedCell(), 0);
        EXPECT_TRUE(p.ui.colorRequests.empty());
        EXPECT_FALSE(p.doc->IsModified());
    }
    // No document: a click does not even select; no colour dialog.
    Background backgrounds;
    EditingSession session(ui, backgrounds);
    CKvoPPal panel(session);
    panel.show();
    QTest::mouseClick(panel.GetDlgItem(401), Qt::LeftButton);
    QTest::mouseClick(panel.Strip(), Qt::LeftButton, {}, QPoint(16 * 3 + 2, 5));
    QTest::mouseDClick(panel.Strip(), Qt::LeftButton, {}, QPoint(16 * 3 + 2, 5));
    QTest::mouseClick(panel.GetDlgItem(402), Qt::LeftButton);
    EXPECT_EQ(panel.Strip()->SelectedCell(), 0);
    EXPECT_TRUE(ui.colorRequests.empty());
}
