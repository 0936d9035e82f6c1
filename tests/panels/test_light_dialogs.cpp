// The reflection and lighting dialogs.
#include <gtest/gtest.h>

#include <QTest>

#include <filesystem>

#include "panels/ColorBarWnd.h"
#include "panels/SphereLightWnd.h"
#include "panels/ReflectionDlg.h"
#include "panels/LightingDlg.h"
#include "platform/Dialog.h"
#include "support/QtTestApp.h"
#include "support/ScriptedDialogs.h"
#include "support/TextureProgram.h"

using namespace morvane;
using morvane::test::EnsureQtApp;
using morvane::test::Program;

namespace {

void ClickButton(CDialog& d, int id) { QTest::mouseClick(d.GetDlgItem(id), Qt::LeftButton); }

}  // namespace

TEST(ReflectionDialog, ShowsTheLayerAsBytesAndApplyMarksAndRendersEveryTime)
{
    EnsureQtApp();
    Program p;
    p.session.ShowLayer(1);
    LayerRecord& rec = p.doc->texture.layers[0].layer.rec;
    rec.brillianceR = 200.0f;
    rec.brillianceG = 100.0f;
    rec.brillianceB = 250.0f;  // beyond the range, as a file may hold
    rec.reflectR = 1.5f;
    rec.reflectG = 0.5f;
    rec.reflectB = 1.0f;
    ScriptedDialogs& ui = p.ui;
    ui.modal.push_back([&](CDialog& d) {
        auto* brilliance = d.findChild<CColorBarWnd*>(QStringLiteral("brillianceBar"));
        auto* reflection = d.findChild<CColorBarWnd*>(QStringLiteral("reflectionBar"));
        ASSERT_TRUE(brilliance && reflection);
        EXPECT_EQ(brilliance->color, qRgb(254, 127, 255));
        EXPECT_EQ(brilliance->mode, CColorBarWnd::Brilliance);
        EXPECT_EQ(reflection->color, qRgb(255, 127, 255));
        EXPECT_EQ(reflection->mode, CColorBarWnd::ReflectionColor);

        // A press writes at once; the view waits for Apply.
        const int draws = p.View()->draws;
        QTest::mouseClick(reflection, Qt::LeftButton, {}, QPoint(19, 5));
        EXPECT_EQ(+rec.reflectG, 1.0f);
        EXPECT_EQ(+rec.reflectR, 1.0f);  // shown as 255, written back as 1.0
        EXPECT_FALSE(p.doc->IsModified());
        EXPECT_EQ(p.View()->draws, draws);
        ClickButton(d, 3);
        EXPECT_TRUE(p.doc->IsModified());
        EXPECT_EQ(p.View()->draws, draws + 1);
        ClickButton(d, 3);
        EXPECT_EQ(p.View()->draws, draws + 2);
        ClickButton(d, IDOK);
    });
    CReflectionDlg dlg(p.session);
    EXPECT_EQ(dlg.DoModal(), IDOK);
    ASSERT_EQ(ui.modalCaptions.size(), 1u);
    EXPECT_EQ(ui.modalCaptions[0], QStringLiteral("Reflection Parameters"));
}

TEST(LightingDialog, TheLightColourBarRepaintsThePickerAndApplyRenders)
{
    EnsureQtApp();
    SphereTable table;
    ASSERT_TRUE(table.LoadFile(std::filesystem::path(MORVANE_BUILD_DIR) / "data" / "sphere.par"));
    Program p(&table);
    p.session.ShowLayer(1);
    LayerRecord& rec = p.doc->texture.layers[0].layer.rec;
    rec.lightR = rec.lightG = rec.lightB = 1.0f;
    ScriptedDialogs& ui = p.ui;
    ui.modal.push_back([&](CDialog& d) {
        auto* light = d.findChild<CColorBarWnd*>(QStringLiteral("lightBar"));
        auto* picker = d.findChild<CSphereLightWnd*>(QStringLiteral("spherePicker"));
        ASSERT_TRUE(light && picker);
        EXPECT_EQ(light->color, qRgb(255, 255, 255));
        EXPECT_EQ(light->mode, CColorBarWnd::LightColor);
        picker->UpdateWindow();
        const QRgb centre = picker->Surface().pixel(50, 50);

        // Green and blue of the light to 0: the sphere turns red once the
        // drag ends.
        for (int x : {19, 31}) {
            QTest::mousePress(light, Qt::LeftButton, {}, QPoint(x, 60));
            QTest::mouseMove(light, QPoint(x, 200));
            QTest::mouseRelease(light, Qt::LeftButton, {}, QPoint(x, 200));
        }
        EXPECT_EQ(+rec.lightG, 0.0f);
        EXPECT_EQ(+rec.lightB, 0.0f);
        picker->UpdateWindow();
        const QRgb red = picker->Surface().pixel(50, 50);
        EXPECT_NE(red, centre);
        EXPECT_EQ(qGreen(red), 0);
        EXPECT_GT(qRed(red), 0);

        QTest::mouseClick(picker, Qt::LeftButton, {}, QPoint(100, 61));
        EXPECT_EQ(+rec.lightDirX, 43.0f / 57.0f);
        const int draws = p.View()->draws;
        ClickButton(d, 3);
        EXPECT_TRUE(p.doc->IsModified());
        EXPECT_EQ(p.View()->draws, draws + 1);
        ClickButton(d, IDCANCEL);
    });
    CLightingDlg dlg(p.session);
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    // Cancel keeps what the controls wrote.
    EXPECT_EQ(+rec.lightDirX, 43.0f / 57.0f);
    EXPECT_EQ(ui.modalCaptions[0], QStringLiteral("Lighting Properties  "));
}
