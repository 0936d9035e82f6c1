// The cost of a slider edit: from the release of the mouse button on a
// dragged slider to the view and the layer's thumbnail being complete, on a
// 640 x 480 view of a three-layer texture (Marble, Granite, Wood).  Runs on
// the offscreen platform unless another is chosen.
#include <QMouseEvent>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "StartedEditor.h"
#include "engine/Render.h"
#include "panels/CommandBar.h"

using namespace morvane;
using morvane::bench::Median;
using Clock = std::chrono::steady_clock;

namespace {

void Send(QWidget* w, QEvent::Type type, QPoint at)
{
    const Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent e(type, QPointF(at), QPointF(w->mapToGlobal(at)), Qt::LeftButton, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &e);
}

}  // namespace

int Run(bench::StartedEditor& editor)
{
    CMainFrame* frame = editor.frame;
    CQuillonView* view = editor.view;
    CKvoSlider* turbulence = frame->m_pCommandPanel->sliders[1];
    const QPoint points[] = {QPoint(15, 50), QPoint(15, 70)};

    const int runs = 15;
    std::vector<double> ms;
    for (int i = -1; i < runs; ++i) {  // one run to warm up
        const QPoint at = points[(i + 2) % 2];
        Send(turbulence, QEvent::MouseButtonPress, at);
        Send(turbulence, QEvent::MouseMove, at + QPoint(0, 1));
        const int renders = view->RenderCount();
        const auto t0 = Clock::now();
        Send(turbulence, QEvent::MouseButtonRelease, at + QPoint(0, 1));
        const double elapsed = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
        if (view->RenderCount() != renders + 1 || view->HasPendingDraw()) {
            std::fprintf(stderr, "the release did not render the view once\n");
            return 1;
        }
        if (i >= 0) ms.push_back(elapsed);
        QCoreApplication::processEvents();
    }
    const QSize thumb = frame->m_pCommandPanel->thumbnails[0]->Picture().size();
    std::printf("slider release to view and thumbnail complete: 640 x 480, three layers, %d threads, "
                "thumbnail %d x %d, median of %d runs\n",
                HardwareThreads(), thumb.width(), thumb.height(), runs);
    std::printf("  median %8.2f ms   best %8.2f ms   worst %8.2f ms   (target under 50 ms on 8 cores)\n", Median(ms),
                *std::min_element(ms.begin(), ms.end()), *std::max_element(ms.begin(), ms.end()));
    return 0;
}

int main(int argc, char** argv) { return bench::RunWithEditor(argc, argv, Run); }
