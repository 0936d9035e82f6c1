// Playing an animation: frames per second of the key-frame panel's Play, as
// fast as the view renders, for a three-layer texture (Marble, Granite,
// Wood) whose first layer is animated over 4 seconds (101 frames), at
// 160 x 120 and at 640 x 480.  Runs on the offscreen platform unless
// another is chosen.
#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "engine/Render.h"
#include "panels/Bitmapbu.h"
#include "panels/KeyFrame.h"
#include "platform/EditContext.h"
#include "platform/Profile.h"
#include "shell/MainFrm.h"
#include "shell/Morvane.h"
#include "shell/QuillonDoc.h"
#include "shell/QuillonView.h"
#include "tests/support/PresetTextures.h"
#include "tests/support/ScriptedDialogs.h"

using namespace morvane;

namespace {

struct Run {
    int frames = 0;
    double seconds = 0;
};

Run PlayOnce(CKeyFrameDlg* panel)
{
    Run run;
    auto counter = QObject::connect(panel, &CKeyFrameDlg::frameShown, panel, [&](int) { ++run.frames; });
    QElapsedTimer timer;
    timer.start();
    panel->play->click();
    run.seconds = timer.nsecsElapsed() / 1e9;
    QObject::disconnect(counter);
    return run;
}

}  // namespace

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication qapp(argc, argv);
    QTemporaryDir dir;
    setenv("MORVANE_ROOT", (dir.path() + "/root").toUtf8().constData(), 1);
    SetAppProfilePath((dir.path() + "/Morvane.ini").toStdString());
    ScopedScriptedDialogs quiet;

    CQuillonApp app;
    if (!app.InitInstance({})) return 1;
    QCoreApplication::processEvents();
    CMainFrame* frame = app.MainFrame();
    CKeyFrameDlg* panel = frame->m_pKeyFramePanel;
    if (!panel) return 1;

    std::printf("Play of a three-layer texture (Marble, Granite, Wood), first layer animated over 4 s, %d threads\n",
                HardwareThreads());
    for (const auto [w, h] : {std::pair{160, 120}, std::pair{640, 480}}) {
        CQuillonDoc* doc = frame->ActiveDocument();
        doc->m_texture = test::ThreeLayers(w, h);
        test::AnimateFirstLayer(doc->m_texture, 4.0f);
        doc->m_sizeImage = QSize(w, h);
        app.FitActiveFrame();
        frame->ShowTextureInPanels();
        QCoreApplication::processEvents();
        auto* view = qobject_cast<CQuillonView*>(frame->GetActiveView());
        if (!view || view->ClientSize() != QSize(w, h)) {
            std::fprintf(stderr, "the view is not %d x %d\n", w, h);
            return 1;
        }
        PlayOnce(panel);  // warm-up
        std::vector<double> fps;
        int frames = 0;
        for (int i = 0; i < 5; ++i) {
            const Run run = PlayOnce(panel);
            frames = run.frames;
            fps.push_back(run.frames / run.seconds);
        }
        std::sort(fps.begin(), fps.end());
        // The view alone, rendering the same number of frames.
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < frames; ++i) {
            view->Invalidate();
            view->UpdateWindow();
        }
        const double viewFps = frames / (timer.nsecsElapsed() / 1e9);
        std::printf("  %3d x %3d: %6.1f frames per second (median of 5 plays of %d frames; slowest %.1f, fastest %.1f);"
                    " the view alone renders %.1f\n",
                    w, h, fps[2], frames, fps.front(), fps.back(), viewFps);
    }
    return 0;
}
