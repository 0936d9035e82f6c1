// The cost of showing a texture in the view: from invalidating a 640 x 480
// view of a three-layer texture (Marble, Granite, Wood) to its surface being
// complete, against the renderer alone filling a buffer of the same
// texture.  Runs on the offscreen platform unless another is chosen.
#include <chrono>
#include <cstdio>
#include <vector>

#include "StartedEditor.h"
#include "engine/Render.h"

using namespace morvane;
using morvane::bench::Median;
using Clock = std::chrono::steady_clock;

namespace {

template <class F>
std::vector<double> Time(int runs, F&& f)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        const auto t0 = Clock::now();
        f();
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    }
    return ms;
}

}  // namespace

int Run(bench::StartedEditor& editor)
{
    CQuillonDoc* doc = editor.doc;
    CQuillonView* view = editor.view;
    const int w = bench::StartedEditor::kWidth, h = bench::StartedEditor::kHeight;

    const int runs = 15;
    // Warm up both paths once.
    view->Invalidate();
    view->UpdateWindow();
    std::vector<uint8_t> buffer;
    buffer = RenderImage(doc->m_texture, w, h, 0, 0, true);

    std::vector<double> viewMs, rendererMs;
    for (int i = 0; i < runs; ++i) {
        // Interleaved, so that both see the same machine load.
        viewMs.push_back(Time(1, [&] {
            view->Invalidate();
            view->UpdateWindow();
        })[0]);
        rendererMs.push_back(Time(1, [&] {
            PrepareForRender(doc->m_texture);
            buffer = RenderImage(doc->m_texture, w, h, 0, 0, true);
        })[0]);
    }
    const double v = Median(viewMs), r = Median(rendererMs);
    std::printf("640 x 480, three layers (Marble, Granite, Wood), %d threads, median of %d runs\n", HardwareThreads(),
                runs);
    std::printf("  renderer alone:                 %8.2f ms  (%.2f Mpixel/s)\n", r, w * h / r / 1000.0);
    std::printf("  view, invalidate to complete:   %8.2f ms  (%.2f Mpixel/s)\n", v, w * h / v / 1000.0);
    std::printf("  the view adds                   %+8.1f %%\n", (v / r - 1.0) * 100.0);
    return 0;
}

int main(int argc, char** argv) { return bench::RunWithEditor(argc, argv, Run); }
