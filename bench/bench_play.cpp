// Playing an animation: frames per second of the key-frame panel's Play, as
// fast as the view renders, for a three-layer texture (Marble, Granite,
// Wood) whose first layer is animated over 4 seconds (101 frames), at
// 160 x 120 and at 640 x 480, against the view alone rendering as many
// frames.  Runs on the offscreen platform unless another is chosen.
#include <QElapsedTimer>

#include <cstdio>
#include <utility>
#include <vector>

#include "StartedEditor.h"
#include "engine/Render.h"
#include "panels/TextureButton.h"
#include "panels/KeyFrameDlg.h"

using namespace morvane;
using morvane::bench::Median;

namespace {

// Frames per second of one play, and the frames it showed.
std::pair<double, int> PlayOnce(CKeyFrameDlg* panel)
{
    int frames = 0;
    auto counter = QObject::connect(panel, &CKeyFrameDlg::frameShown, panel, [&](int) { ++frames; });
    QElapsedTimer timer;
    timer.start();
    panel->play->click();
    const double seconds = timer.nsecsElapsed() / 1e9;
    QObject::disconnect(counter);
    return {frames / seconds, frames};
}

}  // namespace

int Run(bench::StartedEditor& editor)
{
    CKeyFrameDlg* panel = editor.frame->m_pKeyFramePanel;
    if (!panel) return 1;

    std::printf("Play of a three-layer texture (Marble, Granite, Wood), first layer animated over 4 s, %d threads\n",
                HardwareThreads());
    for (const auto& [w, h] : {std::pair{160, 120}, std::pair{640, 480}}) {
        editor.doc->m_texture = test::ThreeLayers(w, h);
        test::AnimateFirstLayer(editor.doc->m_texture, 4.0f);
        editor.doc->m_sizeImage = QSize(w, h);
        editor.app.FitActiveFrame();
        editor.frame->ShowTextureInPanels();
        QCoreApplication::processEvents();
        if (editor.view->ClientSize() != QSize(w, h)) {
            std::fprintf(stderr, "the view is not %d x %d\n", w, h);
            return 1;
        }
        PlayOnce(panel);  // warm-up
        std::vector<double> fps;
        int frames = 0;
        for (int i = 0; i < 5; ++i) {
            const auto [rate, shown] = PlayOnce(panel);
            fps.push_back(rate);
            frames = shown;
        }
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < frames; ++i) {
            editor.view->Invalidate();
            editor.view->UpdateWindow();
        }
        const double viewFps = frames / (timer.nsecsElapsed() / 1e9);
        std::printf("  %3d x %3d: %6.1f frames per second (median of 5 plays of %d frames); the view alone renders %.1f\n",
                    w, h, Median(fps), frames, viewFps);
    }
    return 0;
}

int main(int argc, char** argv) { return bench::RunWithEditor(argc, argv, Run); }
