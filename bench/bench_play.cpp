// Playing an animation in real time: the key-frame panel's Play of a
// three-layer texture (Marble, Granite, Wood) whose first layer is animated
// over 4 seconds (101 frames, frame i due i / 25 s after Play begins), at
// 160 x 120 and at 640 x 480.  For each size: the played time over the
// animation's time (4 s; 1.00 is real time), and how late the frames are
// shown, against the view alone rendering as many frames as fast as it
// can.  Runs on the offscreen platform unless another is chosen.
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

#include "StartedEditor.h"
#include "engine/Animation.h"
#include "engine/Render.h"
#include "panels/TextureButton.h"
#include "panels/KeyFrameDlg.h"

using namespace morvane;

namespace {

struct Played {
    double ratio = 0;       // played time over animation time
    int frames = 0;
    double meanLate = 0;    // ms from a frame's time to its render done, on average
    double worstLate = 0;   // ms, at most
    int late = 0;           // frames done more than a frame's time (40 ms) after their time
};

Played PlayOnce(CKeyFrameDlg* panel, float seconds)
{
    std::vector<double> shownAt;  // ms after the click
    QElapsedTimer timer;
    auto counter = QObject::connect(panel, &CKeyFrameDlg::frameShown, panel,
                                    [&](int) { shownAt.push_back(timer.nsecsElapsed() / 1e6); });
    timer.start();
    panel->play->click();
    QObject::disconnect(counter);

    Played p;
    p.frames = static_cast<int>(shownAt.size());
    if (shownAt.empty()) return p;
    p.ratio = shownAt.back() / (1000.0 * seconds);
    for (int i = 0; i < p.frames; ++i) {
        const double late = shownAt[i] - 1000.0 * i / kFramesPerSecond;
        p.late += late > 1000.0 / kFramesPerSecond;
        p.meanLate += late;
        p.worstLate = std::max(p.worstLate, late);
    }
    p.meanLate /= p.frames;
    return p;
}

}  // namespace

int Run(bench::StartedEditor& editor)
{
    CKeyFrameDlg* panel = editor.frame->m_pKeyFramePanel;
    if (!panel) return 1;
    constexpr float kSeconds = 4.0f;

    std::printf("Play of a three-layer texture (Marble, Granite, Wood), first layer animated over 4 s, %d threads\n",
                HardwareThreads());
    for (const auto& [w, h] : {std::pair{160, 120}, std::pair{640, 480}}) {
        editor.doc->m_texture = test::ThreeLayers(w, h);
        test::AnimateFirstLayer(editor.doc->m_texture, kSeconds);
        editor.doc->m_sizeImage = QSize(w, h);
        editor.app.FitActiveFrame();
        editor.frame->ShowTextureInPanels();
        QCoreApplication::processEvents();
        if (editor.view->ClientSize() != QSize(w, h)) {
            std::fprintf(stderr, "the view is not %d x %d\n", w, h);
            return 1;
        }
        std::vector<Played> plays;
        for (int i = 0; i < 3; ++i) plays.push_back(PlayOnce(panel, kSeconds));
        std::sort(plays.begin(), plays.end(), [](const Played& a, const Played& b) { return a.ratio < b.ratio; });
        const Played& median = plays[plays.size() / 2];

        const int frames = median.frames;
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < frames; ++i) {
            editor.view->Invalidate();
            editor.view->UpdateWindow();
        }
        const double viewMs = timer.nsecsElapsed() / 1e6 / frames;
        std::printf("  %3d x %3d: played time / animation time %.3f (median of 3 plays of %d frames); a frame is "
                    "rendered %.1f ms after its time on average, %.1f ms at most, %d frames more than 40 ms late; "
                    "the view alone renders a frame in %.1f ms\n",
                    w, h, median.ratio, frames, median.meanLate, median.worstLate, median.late, viewMs);
    }
    return 0;
}

int main(int argc, char** argv) { return bench::RunWithEditor(argc, argv, Run); }
