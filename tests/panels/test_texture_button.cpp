#include <gtest/gtest.h>

#include <QApplication>
#include <QStatusBar>
#include <QTest>

#include "engine/Presets.h"
#include "panels/TextureButton.h"
#include "platform/Background.h"
#include "platform/MDIFrameWnd.h"
#include "support/QtTestApp.h"

using namespace morvane;
using morvane::test::DrainEvents;
using morvane::test::EnsureQtApp;

namespace {

struct MainWindow {
    CMDIFrameWnd frame;
    Texture texture = PresetTexture(MaterialPresetTable(), 8);
    Background backgrounds{&texture};
    MainWindow()
    {
        frame.resize(500, 400);
        frame.statusBar();
        frame.show();
    }
};

// A panel in the main window with a texture-faced button at (20, 10),
// 60 x 30 pixels.
struct PanelWithButton {
    QWidget panel;
    CTextureButton* button;
    PanelWithButton(Background& backgrounds, QWidget* frame)
        : panel(frame), button(new CTextureButton(backgrounds, &panel))
    {
        panel.setGeometry(50, 40, 200, 100);
        button->setGeometry(20, 10, 60, 30);
    }
};

int Differing(const QImage& a, const QImage& b)
{
    int n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) n += a.pixel(x, y) != b.pixel(x, y);
    return n;
}

}  // namespace

TEST(TextureButton, FaceContinuesThePanelTextureUnderItsCaption)
{
    EnsureQtApp();
    MainWindow w;
    PanelWithButton p(w.backgrounds, &w.frame);
    QWidget& panel = p.panel;
    CTextureButton* button = p.button;
    panel.show();
    DrainEvents();

    // Without a caption the face is exactly the panel's background there.
    const QImage behind = w.backgrounds.For(&panel).copy(20, 10, 60, 30);
    EXPECT_EQ(Differing(button->Face(), behind), 0);
    const QImage shown = button->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(Differing(shown, behind), 0);

    // The caption in white and its shadow in dark grey, inside the face.
    button->SetCaption("See");
    const QImage face = button->Face();
    int white = 0, shadow = 0;
    for (int y = 0; y < face.height(); ++y)
        for (int x = 0; x < face.width(); ++x) {
            white += face.pixel(x, y) == 0xFFFFFFFFu;
            shadow += face.pixel(x, y) == qRgb(64, 64, 64);
        }
    EXPECT_GT(white, 10);
    EXPECT_GT(shadow, 5);
    // Pressed: the caption turns grey.
    button->setDown(true);
    EXPECT_EQ(button->Face().pixel(face.rect().center()) == 0xFFFFFFFFu, false);
    button->setDown(false);
}

TEST(TextureButton, HoverShowsTheStatusTextExceptTwoMovesAfterAClick)
{
    EnsureQtApp();
    MainWindow w;
    auto* button = new CTextureButton(w.backgrounds, &w.frame);
    button->setGeometry(10, 60, 60, 30);
    button->SetStatusText("Add a Layer to the current Texture");
    button->show();
    int clicks = 0;
    QObject::connect(button, &QPushButton::clicked, [&] { ++clicks; });

    QTest::mouseMove(button, QPoint(5, 5));
    EXPECT_EQ(w.frame.MessageText(), "Add a Layer to the current Texture");
    w.frame.SetMessageText("Ready");
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, 6));
    EXPECT_EQ(clicks, 1);
    QTest::mouseMove(button, QPoint(7, 7));
    QTest::mouseMove(button, QPoint(8, 8));
    EXPECT_EQ(w.frame.MessageText(), "Ready");
    QTest::mouseMove(button, QPoint(9, 9));
    EXPECT_EQ(w.frame.MessageText(), "Add a Layer to the current Texture");
}

TEST(TextureButton, TheHintGoesWhenThePointerLeaves)
{
    EnsureQtApp();
    MainWindow w;
    auto* button = new CTextureButton(w.backgrounds, &w.frame);
    button->setGeometry(10, 60, 60, 30);
    button->SetStatusText("Play the animation.");
    button->show();
    auto* beside = new QWidget(&w.frame);
    beside->setGeometry(100, 60, 60, 30);
    beside->show();
    DrainEvents();
    const QString idle = w.frame.MessageText();

    QTest::mouseMove(button, QPoint(5, 5));
    EXPECT_EQ(w.frame.MessageText(), "Play the animation.");
    QTest::mouseMove(beside, QPoint(5, 5));
    EXPECT_EQ(w.frame.MessageText(), idle);
    // Another message stays when the pointer leaves.
    QTest::mouseMove(button, QPoint(6, 6));
    w.frame.SetMessageText("mpeg0003.ppm");
    QTest::mouseMove(beside, QPoint(6, 6));
    EXPECT_EQ(w.frame.MessageText(), "mpeg0003.ppm");
}

TEST(TextureButton, AFocusedButtonShowsItAndAnswersSpaceAndEnter)
{
    EnsureQtApp();
    MainWindow w;
    PanelWithButton p(w.backgrounds, &w.frame);
    CTextureButton* button = p.button;
    button->SetCaption("Play");
    auto* other = new CTextureButton(w.backgrounds, &p.panel);
    other->setGeometry(100, 10, 60, 30);
    p.panel.show();
    w.frame.activateWindow();
    QApplication::setActiveWindow(&w.frame);
    DrainEvents();
    int clicks = 0;
    QObject::connect(button, &QPushButton::clicked, [&] { ++clicks; });

    const QImage unfocused = button->Face();
    other->setFocus(Qt::TabFocusReason);
    QTest::keyClick(other, Qt::Key_Tab);
    ASSERT_TRUE(button->hasFocus());
    // A dotted rectangle inside the face, the caption unchanged.
    const QImage focused = button->Face();
    EXPECT_GT(Differing(focused, unfocused), 20);
    EXPECT_EQ(focused.pixel(focused.rect().center()), unfocused.pixel(unfocused.rect().center()));
    QTest::keyClick(button, Qt::Key_Space);
    QTest::keyClick(button, Qt::Key_Return);
    QTest::keyClick(button, Qt::Key_Enter);
    EXPECT_EQ(clicks, 3);
}
