#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QTimer>

#include <cstring>

#include "ShellFixture.h"
#include "engine/Animation.h"
#include "engine/FloatInt.h"
#include "panels/TextureButton.h"
#include "panels/GradientStrip.h"
#include "panels/KeyFrameDlg.h"
#include "panels/KvoPPal.h"
#include "panels/TimeRamp.h"
#include "platform/ClockTimer.h"
#include "platform/EditingSession.h"
#include "platform/RenderGuard.h"
#include "platform/SpinButton.h"
#include "support/RunningClock.h"
#include "support/TimeLimit.h"
#include "support/UserInput.h"

using namespace morvane;
using namespace morvane::test;

namespace {

// Three layers whose first one is animated with keys at `times`: key k
// has its own turbulence, scale, detail and gradient colours.
Texture AnimatedTexture(int w, int h, const std::vector<float>& times, float duration = 4.0f)
{
    Texture t = ThreeLayers(w, h);
    Layer& layer = t.layers[0].layer;
    layer.rec.animated = 1;
    layer.rec.duration = duration;
    for (size_t k = 0; k < times.size(); ++k) {
        Keyframe key = MakeKey(layer);
        key.rec.time = times[k];
        key.rec.turbulence = 0.2f + 0.6f * static_cast<float>(k);
        key.rec.scaleX = 1.0f + static_cast<float>(k);
        key.rec.detail = static_cast<int16_t>(3 + 3 * k);
        for (GradientEntry& g : key.gradient.entries) g.startR = g.endG = 0.3f * static_cast<float>(k);
        layer.keys.push_back(key);
    }
    layer.rec.keyCount = static_cast<int32_t>(times.size());
    return t;
}

bool SameLayer(const Layer& a, const Layer& b)
{
    if (std::memcmp(&a.rec, &b.rec, sizeof a.rec) != 0 || a.Pixels() != b.Pixels() || a.keys.size() != b.keys.size())
        return false;
    if (a.gradient.has_value() != b.gradient.has_value() ||
        (a.gradient && std::memcmp(a.gradient->entries.data(), b.gradient->entries.data(), sizeof a.gradient->entries)))
        return false;
    for (size_t k = 0; k < a.keys.size(); ++k) {
        if (std::memcmp(&a.keys[k].rec, &b.keys[k].rec, sizeof a.keys[k].rec) != 0) return false;
    }
    return true;
}

// What the view shows of `texture` with the panels' display mode and layer.
std::vector<uint8_t> DirectRender(const EditingSession& session, Texture texture, int w, int h)
{
    PrepareForRender(texture);
    return RenderImage(texture, w, h, session.DisplayMode(), session.CurrentLayer() - 1, true);
}

}  // namespace

class KeyFrames : public ShellTest {
protected:
    // Play keeps to the program's clock; here it runs 10 ms a turn of the
    // event loop while Play waits for a frame (a render takes no time).
    void SetUp() override
    {
        ShellTest::SetUp();
        m_clock = std::make_unique<RunningClock>(10, [this] {
            return m_app && Frame() && Panel()->IsPlaying() && !RenderGuard::Active();
        });
    }
    void TearDown() override
    {
        m_clock.reset();
        ShellTest::TearDown();
    }
    std::unique_ptr<RunningClock> m_clock;

    void Use(Texture texture)
    {
        UseTexture(std::move(texture));
        Frame()->ShowTextureInPanels();
        DrainEvents();
    }
    CKeyFrameDlg* Panel() const { return Frame()->m_pKeyFramePanel; }
    CTimeRamp* Ramp() const { return Panel()->ramp; }
    Layer& Current() const { return Doc()->m_texture.layers[0].layer; }
    QString Shown(int id) const { return Panel()->GetDlgItem<QLineEdit>(id)->text(); }
    void Click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); }
    // A click as the window system delivers it: to the top-level window
    // first, at the widget's centre.
    void ClickThroughWindow(QWidget* w)
    {
        QWidget* top = w->window();
        QTest::mouseClick(top->windowHandle(), Qt::LeftButton, {}, w->mapTo(top, w->rect().center()));
    }
    // The ramp at the width the examples use: W = 300, so W' = 280.
    void NarrowRamp() { Ramp()->resize(300, Ramp()->height()); }
};

TEST_F(KeyFrames, ShowingAnAnimatedLayerLoadsItsKeysAndDuration)
{
    Start();
    Use(AnimatedTexture(32, 24, {0.0f, 0.5f, 1.0f}, 2.5f));
    EXPECT_EQ(Shown(1039), "3");
    EXPECT_EQ(Shown(1038), "2.5");
    EXPECT_EQ(Shown(595), "0");
    EXPECT_EQ(Shown(594), "0");
    EXPECT_EQ(Ramp()->length, 2.5f);
    EXPECT_EQ(Session().CurrentKey(), 0);

    // Showing a layer again starts at its first key.
    Panel()->ShowKey(2, 2.5f);
    EXPECT_EQ(Session().CurrentKey(), 2);
    Session().ShowLayer(1);
    EXPECT_EQ(Shown(595), "0");
    EXPECT_EQ(Session().CurrentKey(), 0);

    // A layer without animation: nothing to play.
    Use(ThreeLayers(32, 24));
    EXPECT_EQ(Shown(1039), "0");
    EXPECT_EQ(Ramp()->length, 0.0f);
    EXPECT_EQ(Session().CurrentKey(), -1);
}

TEST_F(KeyFrames, AddKeyCopiesTheCurrentKeyAndDelKeyLoadsTheOneBefore)
{
    Start();
    Use(AnimatedTexture(32, 24, {0.0f, 1.0f}));

    // Add Key on key 0: times 0, 0, 1 and the copy is current; the ramp
    // keeps key 0 highlighted.
    Click(Panel()->addKey);
    ASSERT_EQ(Current().keys.size(), 3u);
    EXPECT_EQ(+Current().rec.keyCount, 3);
    EXPECT_EQ(+Current().keys[1].rec.time, 0.0f);
    EXPECT_EQ(+Current().keys[1].rec.turbulence, +Current().keys[0].rec.turbulence);
    EXPECT_EQ(Shown(1039), "3");
    EXPECT_EQ(Shown(595), "1");
    EXPECT_EQ(Session().CurrentKey(), 1);
    EXPECT_EQ(Ramp()->currentKey, 0);
    EXPECT_TRUE(Doc()->IsModified());

    // Del Key on the last of three keys: key 1 becomes current and goes
    // into the layer.
    Current().keys[1].rec.time = 0.5f;
    Current().keys[1].rec.turbulence = 0.45f;
    Panel()->currentKey = 2;
    Panel()->UpdateData(false);
    Click(Panel()->delKey);
    ASSERT_EQ(Current().keys.size(), 2u);
    EXPECT_EQ(Shown(1039), "2");
    EXPECT_EQ(Shown(595), "1");
    EXPECT_EQ(Shown(594), "2");  // 0.5 of 4 seconds
    EXPECT_EQ(Ramp()->currentKey, 1);
    EXPECT_EQ(+Current().rec.turbulence, 0.45f);

    // Two keys stay.
    Click(Panel()->delKey);
    EXPECT_EQ(Current().keys.size(), 2u);
}

TEST_F(KeyFrames, LeavingTheDurationEditWritesTheLayer)
{
    Start();
    Use(AnimatedTexture(32, 24, {0.0f, 1.0f}));
    Frame()->activateWindow();
    QApplication::setActiveWindow(Frame());
    QLineEdit* edit = Panel()->durationEdit;
    edit->setFocus(Qt::MouseFocusReason);
    edit->selectAll();
    QTest::keyClicks(edit, "2.5");
    EXPECT_EQ(+Current().rec.duration, 4.0f);  // not while typing
    Panel()->timeEdit->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(+Current().rec.duration, 2.5f);
    EXPECT_EQ(Ramp()->length, 2.5f);
    EXPECT_TRUE(Doc()->IsModified());

    // A value out of range: the message, and the layer keeps its value.
    edit->setFocus(Qt::MouseFocusReason);
    edit->selectAll();
    QTest::keyClicks(edit, "2000");
    Panel()->timeEdit->setFocus(Qt::TabFocusReason);
    ASSERT_FALSE(Ui().messages.empty());
    EXPECT_EQ(Ui().messages.back().text, "Please enter a number between 0 and 1000.");
    EXPECT_EQ(+Current().rec.duration, 2.5f);
}

TEST_F(KeyFrames, TabbingThroughTheFieldsLeavesTheDocumentUnmodified)
{
    // A duration whose half has more digits than the time field shows.
    const QString file = Path("keys.zyv");
    Texture texture = AnimatedTexture(32, 24, {0.0f, 0.5f, 1.0f}, 2.49361f);
    texture.layers[1].layer.rec.duration = 4.0f;  // animated once, then not
    ASSERT_EQ(WriteTextureFile(file.toStdString(), texture).error, "");
    Start({file});
    Frame()->activateWindow();
    QApplication::setActiveWindow(Frame());
    CChildFrame* child = Frame()->ActiveChildFrame();
    NarrowRamp();
    // Key 1 chosen where it is: the time field shows "1.2468".
    QTest::mouseClick(Ramp(), Qt::LeftButton, {}, QPoint(150, 5));
    ASSERT_EQ(Shown(594), "1.2468");
    const QByteArray saved = Encoded(Doc()->m_texture);

    auto tabThrough = [&](const char* what) {
        QTest::mouseClick(Panel()->durationEdit, Qt::LeftButton);
        ASSERT_EQ(QApplication::focusWidget(), Panel()->durationEdit) << what;
        QTest::keyClick(Panel()->durationEdit, Qt::Key_Tab);
        ASSERT_EQ(QApplication::focusWidget(), Panel()->timeEdit) << what;
        QTest::keyClick(Panel()->timeEdit, Qt::Key_Tab);
        EXPECT_NE(QApplication::focusWidget(), Panel()->timeEdit) << what;
        // A command with the focus in a field takes nothing either.
        QTest::mouseClick(Panel()->timeEdit, Qt::LeftButton);
        Frame()->SendCommand(ID_VIEW_TOOLBAR);
        Frame()->SendCommand(ID_VIEW_TOOLBAR);
        EXPECT_EQ(Encoded(Doc()->m_texture), saved) << what;
        EXPECT_FALSE(Doc()->IsModified()) << what;
        EXPECT_FALSE(child->isWindowModified()) << what;
        EXPECT_TRUE(Ui().messages.empty()) << what;
    };
    tabThrough("animated layer");
    // Nor does going round every control of the panels and the window.
    QComboBox* material = Frame()->m_pCommandPanel->materialCombo;
    material->setFocus(Qt::TabFocusReason);
    std::vector<QWidget*> visited;
    ASSERT_TRUE(TabUntil(material, 120, &visited));
    EXPECT_NE(std::find(visited.begin(), visited.end(), Panel()->timeEdit), visited.end());
    EXPECT_EQ(Encoded(Doc()->m_texture), saved);
    EXPECT_FALSE(Doc()->IsModified());
    EXPECT_EQ(Ramp()->currentTime, 0.5f * 2.49361f);
    EXPECT_EQ(Ramp()->length, 2.49361f);
    // A layer that is no longer animated shows 0, but keeps its duration.
    Session().ShowLayer(2);
    ASSERT_EQ(Shown(1038), "0");
    tabThrough("layer animated once");

    // A time typed and left is taken: the cursor moves, the document is
    // modified.
    Session().ShowLayer(1);
    QTest::mouseClick(Panel()->timeEdit, Qt::LeftButton);
    Panel()->timeEdit->selectAll();
    QTest::keyClicks(Panel()->timeEdit, "2");
    QTest::keyClick(Panel()->timeEdit, Qt::Key_Tab);
    EXPECT_EQ(Ramp()->currentTime, 2.0f);
    EXPECT_TRUE(Doc()->IsModified());
    EXPECT_TRUE(child->isWindowModified());
}

TEST_F(KeyFrames, ATypedDurationIsTakenWhenAMenuOrAnotherWindowTakesTheFocus)
{
    Start();
    Use(AnimatedTexture(32, 24, {0.0f, 1.0f}));
    QLineEdit* edit = Panel()->durationEdit;
    auto type = [&](const char* text) {
        QApplication::setActiveWindow(Frame());
        QTest::mouseClick(edit, Qt::LeftButton);
        edit->selectAll();
        QTest::keyClicks(edit, text);
        ASSERT_EQ(QApplication::focusWidget(), edit);
    };

    // The File menu opened with the mouse: taken while the menu shows,
    // before any command.
    type("8");
    QMenuBar* bar = Frame()->menuBar();
    QAction* file = bar->actions().at(0);
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(file).center());
    ASSERT_TRUE(file->menu()->isVisible());
    EXPECT_EQ(+Current().rec.duration, 8.0f);
    EXPECT_EQ(Ramp()->length, 8.0f);
    QTest::keyClick(file->menu(), Qt::Key_Escape);
    DrainEvents();

    // Another window made active.
    type("3");
    QWidget other;
    other.show();
    QApplication::setActiveWindow(&other);
    DrainEvents();
    ASSERT_NE(QApplication::focusWidget(), edit);
    EXPECT_EQ(+Current().rec.duration, 3.0f);
    EXPECT_EQ(Ramp()->length, 3.0f);
    EXPECT_TRUE(Ui().messages.empty());
}

TEST_F(KeyFrames, ScrubbingTheRampInterpolatesTheLayerAndRendersOnRelease)
{
    Start();
    Use(AnimatedTexture(32, 24, {0.0f, 1.0f}));
    NarrowRamp();
    Ramp()->currentTime = 1.9f;  // g = trunc(280 x 1.9 / 4) = 133
    Layer expected = Current();
    InterpolateLayerAt(expected, 0.5f, {.reliefDetail = true});

    // Outside the cursor's span: nothing.
    QTest::mousePress(Ramp(), Qt::LeftButton, {}, QPoint(133, 25));
    QTest::mouseRelease(Ramp(), Qt::LeftButton, {}, QPoint(133, 25));
    EXPECT_EQ(Ramp()->currentTime, 1.9f);

    const int renders = View()->RenderCount();
    QTest::mousePress(Ramp(), Qt::LeftButton, {}, QPoint(150, 25));
    EXPECT_EQ(Ramp()->currentTime, 2.0f);
    EXPECT_EQ(Shown(594), "2");
    EXPECT_TRUE(SameLayer(Current(), expected));
    EXPECT_EQ(View()->RenderCount(), renders);  // not before the release
    QTest::mouseRelease(Ramp(), Qt::LeftButton, {}, QPoint(150, 25));
    EXPECT_GT(View()->RenderCount(), renders);
    EXPECT_TRUE(SurfaceEquals(View()->Surface(), DirectRender(Session(), Doc()->m_texture, 32, 24), 32, 24));
}

TEST_F(KeyFrames, AKeyIsChosenOnTheRampAndNeverDraggedPastItsNeighbours)
{
    Start();
    Use(AnimatedTexture(32, 24, {0.0f, 0.5f, 1.0f}));
    NarrowRamp();
    EXPECT_EQ(Ramp()->MarkLeft(0.5f), 145);

    // A press on key 1's mark makes it current and loads it.
    QTest::mousePress(Ramp(), Qt::LeftButton, {}, QPoint(150, 5));
    EXPECT_EQ(Ramp()->currentKey, 1);
    EXPECT_EQ(Shown(595), "1");
    EXPECT_EQ(Session().CurrentKey(), 1);
    EXPECT_EQ(+Current().rec.turbulence, +Current().keys[1].rec.turbulence);
    EXPECT_EQ(+Current().keys[1].rec.time, 0.5f);

    // Dragged onto key 2's time: refused.  Dragged between: it moves.
    QTest::mouseMove(Ramp(), QPoint(290, 5));
    EXPECT_EQ(+Current().keys[1].rec.time, 0.5f);
    QTest::mouseMove(Ramp(), QPoint(220, 5));
    EXPECT_EQ(+Current().keys[1].rec.time, 0.75f);
    EXPECT_EQ(Shown(594), "3");
    QTest::mouseRelease(Ramp(), Qt::LeftButton, {}, QPoint(220, 5));
    EXPECT_TRUE(Doc()->IsModified());

    // The last key can be chosen but not moved; a press between marks
    // only drops the highlight.
    QTest::mousePress(Ramp(), Qt::LeftButton, {}, QPoint(290, 5));
    QTest::mouseMove(Ramp(), QPoint(250, 5));
    QTest::mouseRelease(Ramp(), Qt::LeftButton, {}, QPoint(250, 5));
    EXPECT_EQ(Ramp()->currentKey, 2);
    EXPECT_EQ(+Current().keys[2].rec.time, 1.0f);
    QTest::mouseClick(Ramp(), Qt::LeftButton, {}, QPoint(100, 5));
    EXPECT_EQ(Ramp()->currentKey, -1);
    EXPECT_EQ(Shown(595), "2");
}

TEST_F(KeyFrames, APressInsideTheFirstOrTheLastMarkChoosesThatKeyAndLoadsIt)
{
    Start();
    Use(AnimatedTexture(32, 24, {0.0f, 0.5f, 1.0f}));
    NarrowRamp();  // W' = 280: marks at 5, 145 and 285
    ASSERT_EQ(Ramp()->MarkLeft(1.0f), 285);
    // Presses as the window system delivers them, through the window.
    auto press = [this](int x) {
        QWidget* top = Ramp()->window();
        const QPoint at = Ramp()->mapTo(top, QPoint(x, 5));
        QTest::mousePress(top->windowHandle(), Qt::LeftButton, {}, at);
        QTest::mouseRelease(top->windowHandle(), Qt::LeftButton, {}, at);
    };
    auto expectLoaded = [this](int k, int x) {
        const Keyframe& key = Current().keys[static_cast<size_t>(k)];
        EXPECT_EQ(Ramp()->currentKey, k) << x;
        EXPECT_EQ(Shown(595), QString::number(k)) << x;
        EXPECT_EQ(Session().CurrentKey(), k) << x;
        EXPECT_EQ(+Current().rec.turbulence, +key.rec.turbulence) << x;
        EXPECT_EQ(+Current().rec.detail, +key.rec.detail) << x;
        EXPECT_EQ(+Current().gradient->entries[7].startR, +key.gradient.entries[7].startR) << x;
        EXPECT_EQ(qRed(Frame()->m_pPalettePanel->Strip()->CellColor(7)), SatTrunc(key.gradient.entries[7].startR * 255.0f)) << x;
    };
    for (int x : {286, 290, 294}) {
        press(100);  // between marks: no key
        ASSERT_EQ(Ramp()->currentKey, -1);
        press(x);
        expectLoaded(2, x);
        EXPECT_EQ(Shown(594), "4");
    }
    press(10);
    expectLoaded(0, 10);
    // Neither end moved.
    EXPECT_EQ(+Current().keys[0].rec.time, 0.0f);
    EXPECT_EQ(+Current().keys[2].rec.time, 1.0f);
    EXPECT_FALSE(Doc()->IsModified());
}

TEST_F(KeyFrames, PlayRendersEveryFrameAndEndsOnTheLastKey)
{
    Start();
    Use(AnimatedTexture(32, 24, {0.0f, 1.0f}));
    const Layer before = Current();
    const Texture texture = Doc()->m_texture;

    int frames = 0;
    QImage lastFrame;
    QObject::connect(Panel(), &CKeyFrameDlg::frameShown, Panel(), [&](int i) {
        ++frames;
        if (i == 100) lastFrame = View()->Surface().copy();
    });
    const int renders = View()->RenderCount();
    Click(Panel()->play);

    EXPECT_EQ(frames, 101);
    EXPECT_EQ(View()->RenderCount(), renders + 102);  // the frames and the layer shown again
    Texture last = texture;
    InterpolateLayerAt(last.layers[0].layer, 1.0f, {.lastFrame = true});
    EXPECT_TRUE(SurfaceEquals(lastFrame, DirectRender(Session(), last, 32, 24), 32, 24));
    EXPECT_EQ(Shown(594), "4");

    // Afterwards: the layer as before, shown again, the document unchanged.
    EXPECT_TRUE(SameLayer(Current(), before));
    EXPECT_TRUE(SurfaceEquals(View()->Surface(), DirectRender(Session(), texture, 32, 24), 32, 24));
    EXPECT_FALSE(Doc()->IsModified());
    EXPECT_FALSE(Panel()->IsPlaying());
}

TEST_F(KeyFrames, StopEndsPlayWithinAFrameAndOtherInputWaits)
{
    Start();
    Use(AnimatedTexture(32, 24, {0.0f, 0.5f, 1.0f}));
    const Layer before = Current();
    auto* seeOther = new QPushButton(Frame()->m_pCommandPanel);
    seeOther->setGeometry(0, 0, 20, 20);
    seeOther->show();
    int otherClicks = 0;
    QObject::connect(seeOther, &QPushButton::clicked, [&] { ++otherClicks; });

    int frames = 0, clicksWhilePlaying = -1;
    QObject::connect(Panel(), &CKeyFrameDlg::frameShown, Panel(), [&](int i) {
        ++frames;
        if (i == 1) {
            ClickThroughWindow(seeOther);
            Click(Panel()->addKey);  // refused while playing
            Click(Panel()->play);    // and so is a second play
        }
        if (i == 3) {
            clicksWhilePlaying = otherClicks;
            ClickThroughWindow(Panel()->stop);
        }
    });
    Click(Panel()->play);
    EXPECT_EQ(frames, 4);
    EXPECT_EQ(clicksWhilePlaying, 0);
    EXPECT_TRUE(SameLayer(Current(), before));
    DrainEvents();
    EXPECT_EQ(otherClicks, 1);  // held, then delivered

    // The next play starts afresh.
    frames = 0;
    QObject::disconnect(Panel(), &CKeyFrameDlg::frameShown, Panel(), nullptr);
    QObject::connect(Panel(), &CKeyFrameDlg::frameShown, Panel(), [&](int) { ++frames; });
    Click(Panel()->play);
    EXPECT_EQ(frames, 101);
}

TEST_F(KeyFrames, PlayShowsFrameIAtITwentyFifthsOfASecondAndStopEndsTheWaitAtOnce)
{
    Start();
    Use(AnimatedTexture(32, 24, {0.0f, 1.0f}, 1.0f));
    const Layer before = Current();
    m_clock->SetStep(1);  // a turn of the event loop is 1 ms
    std::vector<int64_t> shownAt;
    int64_t start = ClockTimer::Now();
    QObject::connect(Panel(), &CKeyFrameDlg::frameShown, Panel(), [&](int i) {
        shownAt.push_back(ClockTimer::Now() - start);
        if (i == 5) m_clock->Advance(100);  // frame 5 took 100 ms
    });
    Click(Panel()->play);

    // Frame i at 40 i ms exactly, but for frame 0, after the one turn of
    // events Play runs first, and frames 6 and 7, which are late (due at 240
    // and 280 ms) and shown at once, a turn each after 300 ms.
    ASSERT_EQ(shownAt.size(), 26u);
    for (int i = 0; i < 26; ++i) {
        const int64_t due = i == 0 ? 1 : i == 6 || i == 7 ? 300 + i - 5 : 40 * i;
        EXPECT_EQ(shownAt[i], due) << "frame " << i;
    }

    // The clock stops after frame 2; Stop, pressed while Play waits for
    // frame 3, ends it there.
    QObject::disconnect(Panel(), &CKeyFrameDlg::frameShown, Panel(), nullptr);
    int frames = 0;
    QObject::connect(Panel(), &CKeyFrameDlg::frameShown, Panel(), [&](int i) {
        ++frames;
        if (i != 2) return;
        m_clock->SetStep(0);
        QTimer::singleShot(0, Panel(), [this] { ClickThroughWindow(Panel()->stop); });
    });
    start = ClockTimer::Now();
    WithinSeconds(30, [&] { Click(Panel()->play); });
    EXPECT_EQ(frames, 3);
    EXPECT_EQ(ClockTimer::Now() - start, 80);
    EXPECT_FALSE(Panel()->IsPlaying());
    EXPECT_TRUE(SameLayer(Current(), before));
}

TEST_F(KeyFrames, ClosingTheMainWindowWhilePlayingEndsPlayAndAsksFirst)
{
    Start();
    Use(AnimatedTexture(32, 24, {0.0f, 1.0f}));
    const Layer before = Current();
    Doc()->SetModifiedFlag();
    // The window manager's close, as Alt+F4 sends it, while Play runs.
    bool closeTaken = true;
    int frames = 0;
    QObject::connect(Panel(), &CKeyFrameDlg::frameShown, Panel(), [&](int i) {
        ++frames;
        if (i != 2) return;
        QTimer::singleShot(0, Frame(), [&] {
            QCloseEvent close;
            QCoreApplication::sendEvent(Frame()->windowHandle(), &close);
            closeTaken = close.isAccepted();
        });
    });

    // Cancel: Play has ended as Stop ends it, and the program goes on with
    // the document modified.
    Ui().answers = {IDCANCEL};
    Click(Panel()->play);
    EXPECT_FALSE(closeTaken);
    EXPECT_LT(frames, 101);
    EXPECT_FALSE(Panel()->IsPlaying());
    EXPECT_TRUE(SameLayer(Current(), before));
    DrainEvents();
    ASSERT_EQ(Ui().messages.size(), 1u);
    EXPECT_TRUE(Ui().messages[0].text.startsWith("The Document  Quillo1 has been modified"));
    EXPECT_TRUE(Frame()->isVisible());
    EXPECT_TRUE(Doc()->IsModified());

    // No: the window closes.
    Ui().answers = {IDNO};
    frames = 0;
    Click(Panel()->play);
    EXPECT_LT(frames, 101);
    DrainEvents();
    EXPECT_EQ(Ui().messages.size(), 2u);
    EXPECT_FALSE(Frame()->isVisible());
}

TEST_F(KeyFrames, ClosingTheDocumentWhilePlayingEndsPlay)
{
    Start();
    Use(AnimatedTexture(32, 24, {0.0f, 1.0f}));
    int frames = 0;
    QObject::connect(Panel(), &CKeyFrameDlg::frameShown, Panel(), [&](int i) {
        ++frames;
        if (i == 2) Doc()->GetDocTemplate()->CloseDocument(Doc());
    });
    Click(Panel()->play);
    EXPECT_EQ(frames, 3);
    EXPECT_FALSE(Panel()->IsPlaying());
}

// With no document the panel shows what it shows when the program starts
// without one: no key marks, every field 0, Animate clear.  A document
// that stays open is still shown when another one closes.
TEST_F(KeyFrames, AfterTheLastWindowClosesThePanelShowsNoDocument)
{
    // The program started on a file that is not there: no document.
    Start({Path("missing.zyv")});
    ASSERT_EQ(Doc(), nullptr);
    struct PanelShows {
        QStringList fields;
        QImage ramp;
        bool animate;
        bool durationLocked;
    };
    auto shown = [this] {
        QStringList fields;
        for (int id : {1038, 1039, 595, 594}) fields << Shown(id);
        return PanelShows{fields, Ramp()->Surface(), Frame()->m_pCommandPanel->GetDlgItem<QCheckBox>(1040)->isChecked(),
                          Panel()->durationEdit->isReadOnly()};
    };
    const PanelShows atStart = shown();
    const float startLength = Ramp()->length;

    // An animated texture as the only window, the time cursor moved and
    // key 1 chosen on the ramp.
    const QString file = Path("wave.zyv");
    ASSERT_EQ(WriteTextureFile(file.toStdString(), AnimatedTexture(32, 24, {0.0f, 0.5f, 1.0f}, 2.5f)).error, "");
    ASSERT_NE(m_app->OpenDocumentFile(file), nullptr);
    DrainEvents();
    const int track = Ramp()->width() - 20;
    QTest::mousePress(Ramp(), Qt::LeftButton, {}, QPoint(static_cast<int>(track * 0.5f) + 10, 5));
    QTest::mouseRelease(Ramp(), Qt::LeftButton, {}, QPoint(static_cast<int>(track * 0.5f) + 10, 5));
    QTest::mousePress(Ramp(), Qt::LeftButton, {}, QPoint(Ramp()->CursorLeft() + 8, 25));
    QTest::mouseMove(Ramp(), QPoint(track * 3 / 4 + 10, 25));
    QTest::mouseRelease(Ramp(), Qt::LeftButton, {}, QPoint(track * 3 / 4 + 10, 25));
    DrainEvents();
    const PanelShows editing = shown();
    ASSERT_EQ(editing.fields.mid(0, 3), QStringList({"2.5", "3", "1"}));
    ASSERT_NE(editing.fields[3], "0");
    ASSERT_TRUE(editing.animate);
    ASSERT_NE(editing.ramp, atStart.ramp);

    // Closed without saving the moved key: the panel is as it was at the
    // start.
    Ui().answers = {IDNO};
    Frame()->SendCommand(ID_FILE_CLOSE);
    DrainEvents();
    ASSERT_EQ(Doc(), nullptr);
    const PanelShows closed = shown();
    EXPECT_EQ(closed.fields, atStart.fields);
    EXPECT_EQ(closed.ramp, atStart.ramp) << "the ramp still shows what the document showed";
    EXPECT_FALSE(closed.animate);
    EXPECT_EQ(closed.durationLocked, atStart.durationLocked);
    EXPECT_EQ(Ramp()->length, startLength);
    EXPECT_EQ(Session().CurrentKey(), -1);

    // Two windows: closing the active one shows the other's animation.
    const QString other = Path("other.zyv");
    ASSERT_EQ(WriteTextureFile(other.toStdString(), AnimatedTexture(32, 24, {0.0f, 1.0f}, 1.5f)).error, "");
    ASSERT_NE(m_app->OpenDocumentFile(other), nullptr);
    ASSERT_NE(m_app->OpenDocumentFile(file), nullptr);
    DrainEvents();
    EXPECT_EQ(Shown(1039), "3");
    Frame()->SendCommand(ID_FILE_CLOSE);
    DrainEvents();
    ASSERT_NE(Doc(), nullptr);
    EXPECT_EQ(shown().fields, QStringList({"1.5", "2", "0", "0"}));
    EXPECT_TRUE(shown().animate);
    EXPECT_NE(shown().ramp, atStart.ramp);
}

TEST_F(KeyFrames, EveryFieldShowsItsValueFromItsFirstCharacterAndATimeWhole)
{
    Start();
    Use(AnimatedTexture(32, 24, {0.0f, 0.5f, 1.0f}, 3.75f));
    // Whether a field shows all of its text: with the cursor at its end the
    // text has not scrolled, so the end lies a text's width from the start.
    auto showsWhole = [](QLineEdit* field) {
        auto cursorX = [field](int at) {
            field->setCursorPosition(at);
            field->repaint();
            return field->inputMethodQuery(Qt::ImCursorRectangle).toRect().left();
        };
        const int end = cursorX(static_cast<int>(field->text().size()));
        const int start = cursorX(0);
        return end - start >= field->fontMetrics().horizontalAdvance(field->text());
    };
    // Key 1 dragged along the ramp, close to key 0: its time has many
    // digits.
    const int w = Ramp()->width() - 20;
    const int mark = static_cast<int>(static_cast<float>(w) * 0.5f) + 10;
    QTest::mousePress(Ramp(), Qt::LeftButton, {}, QPoint(mark, 5));
    QTest::mouseMove(Ramp(), QPoint(20, 5));
    QTest::mouseMove(Ramp(), QPoint(11, 5));
    QTest::mouseRelease(Ramp(), Qt::LeftButton, {}, QPoint(11, 5));
    DrainEvents();
    QLineEdit* time = Panel()->timeEdit;
    ASSERT_GE(time->text().size(), 6) << time->text().toStdString();
    EXPECT_EQ(time->text(), QString::asprintf("%.6g", Ramp()->currentTime));
    EXPECT_TRUE(showsWhole(time)) << time->text().toStdString();
    // Times of six digits show whole, clear of the spin, and so does such
    // a duration.
    EXPECT_LT(time->geometry().right(), Panel()->timeSpin->geometry().left());
    for (float seconds : {2.49361f, 999.999f, 0.123457f}) {
        Panel()->ShowTime(seconds);
        EXPECT_TRUE(showsWhole(time)) << time->text().toStdString();
    }
    Panel()->durationEdit->setText("2.49361");
    EXPECT_TRUE(showsWhole(Panel()->durationEdit));
    for (int id : {1038, 1039, 595, 594}) {
        QLineEdit* field = Panel()->GetDlgItem<QLineEdit>(id);
        field->repaint();
        EXPECT_EQ(field->cursorPosition(), 0) << id;
        // The first character is where the field begins.
        EXPECT_LE(field->inputMethodQuery(Qt::ImCursorRectangle).toRect().left(), field->contentsRect().left() + 4) << id;
    }
}
