// The editor started for a bench: offscreen unless another platform is
// chosen, in a private root folder and profile, with no dialog shown, and
// its document holding the 640 x 480 three-layer texture (Marble, Granite,
// Wood) in a window that shows it whole.  Header only.
#pragma once

#include <QApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/Profile.h"
#include "shell/MainFrame.h"
#include "shell/QuillonApp.h"
#include "shell/QuillonDoc.h"
#include "shell/QuillonView.h"
#include "tests/support/PresetTextures.h"
#include "tests/support/ScriptedDialogs.h"

namespace morvane::bench {

inline double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

inline void UseOffscreenUnlessChosen()
{
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

class StartedEditor {
public:
    static constexpr int kWidth = 640;
    static constexpr int kHeight = 480;

    StartedEditor()
    {
        setenv("MORVANE_ROOT", (m_dir.path() + "/root").toUtf8().constData(), 1);
        if (!app.InitInstance({})) return;
        QCoreApplication::processEvents();
        frame = app.MainFrame();
        // A main window of a desktop screen, whatever the platform's screen:
        // the document window gets the room to show its image whole.
        frame->showNormal();
        frame->setGeometry(0, 0, 1600, 1200);
        QCoreApplication::processEvents();
        doc = frame->ActiveDocument();
        doc->m_texture = test::ThreeLayers(kWidth, kHeight);
        doc->m_sizeImage = QSize(kWidth, kHeight);
        app.FitActiveFrame();
        frame->ShowTextureInPanels();
        QCoreApplication::processEvents();
        view = qobject_cast<CQuillonView*>(frame->GetActiveView());
        if (!view || view->ClientSize() != QSize(kWidth, kHeight)) {
            std::fprintf(stderr, "the view is not %d x %d\n", kWidth, kHeight);
            view = nullptr;
        }
    }
    bool ok() const { return view != nullptr; }

private:
    QTemporaryDir m_dir;
    ScriptedDialogs m_quiet;

public:
    CQuillonApp app{m_quiet, (m_dir.path() + "/Morvane.ini").toStdString()};
    CMainFrame* frame = nullptr;
    CQuillonDoc* doc = nullptr;
    CQuillonView* view = nullptr;
};

// Starts Qt and the editor and runs `bench` on it; 1 when the editor does
// not start.
template <class Bench>
int RunWithEditor(int argc, char** argv, Bench bench)
{
    UseOffscreenUnlessChosen();
    QApplication qapp(argc, argv);
    StartedEditor editor;
    if (!editor.ok()) return 1;
    return bench(editor);
}

}  // namespace morvane::bench
