// Save As: the chosen name's extension decides what is written (see
// media/Export.h); a name typed without one takes the chosen type's, and
// one of no known type is refused with a message.  The export asks its questions and shows its progress
// through the editor's windows: the MPEG-2 video format dialog, the status
// bar (frame names), the command panel's progress bar.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProgressBar>
#include <QStatusBar>

#include <new>

#include "media/Export.h"
#include "panels/CommandBar.h"
#include "panels/KeyFrameDlg.h"
#include "platform/FileName.h"
#include "platform/UiDialogs.h"
#include "platform/StringTable.h"
#include "shell/CompressorDlg.h"
#include "shell/MainFrame.h"
#include "shell/QuillonApp.h"
#include "shell/MpegFormatDlg.h"
#include "shell/QuillonDoc.h"

namespace {

// The dialog's title and the types it offers: movies only when the first
// layer is animated.
constexpr int kSaveTitle = 57694;
constexpr int kStillFilter = 57693;
constexpr int kMovieFilter = 57718;

// The export runs without handling events: what a closed dialog covered is
// drawn again before it starts, or the dialog would seem to stay open for
// the whole export.  Input waits until the export is over.
void RedrawAfterDialog()
{
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

// The export's questions and progress in the main frame's windows.  Panels
// are repainted at once: the export runs without handling events.
class FrameExportHost : public morvane::ExportHost {
public:
    FrameExportHost(UiDialogs& ui, CMainFrame* frame) : m_ui(ui), m_frame(frame)
    {
        m_progress = frame && frame->m_pCommandPanel ? frame->m_pCommandPanel->progressBar : nullptr;
        if (m_progress) m_progress->setRange(0, 1000);
        m_sinceProgress.start();
    }
    // The status bar names the frames while they are written, and is
    // ready again once the export is over.
    ~FrameExportHost() override
    {
        if (m_frame) m_frame->ShowIdleMessage();
    }

    std::optional<int> AskVideoFormat(int preselected) override
    {
        CMpegFormatDlg dlg(m_ui, m_frame);
        dlg.m_videoFormat = preselected;
        const int answer = dlg.DoModal();
        RedrawAfterDialog();
        if (answer != IDOK) return std::nullopt;
        return dlg.m_videoFormat;
    }

    std::optional<morvane::AviSettings> ChooseCompressor() override
    {
        const std::optional<morvane::AviSettings> chosen = morvane::ChooseCompressor(m_ui, m_frame);
        RedrawAfterDialog();
        return chosen;
    }

    // The key-frame panel follows the movie's time.
    void FrameFinished(float seconds) override { ShowTime(seconds); }
    void FramesFinished(float duration) override { ShowTime(duration); }

    void ShowStatus(const std::string& text) override
    {
        if (m_frame) m_frame->SetMessageText(QString::fromStdString(text));
    }

    void FrameProgress(int permille) override
    {
        if (!m_progress) return;
        // Repainting costs more than rows take: at most every 40 ms, and
        // never just for the start of a frame (at many frames a second
        // the bar would only ever show that).
        m_progress->setValue(permille);
        if (permille == 0 || m_sinceProgress.elapsed() < 40) return;
        m_sinceProgress.restart();
        m_progress->repaint();
    }

private:
    void ShowTime(float seconds)
    {
        if (m_frame && m_frame->m_pKeyFramePanel) m_frame->m_pKeyFramePanel->ShowFrameTime(seconds);
    }

    UiDialogs& m_ui;
    CMainFrame* m_frame;
    QProgressBar* m_progress = nullptr;
    QElapsedTimer m_sinceProgress;
};

}  // namespace

void CQuillonApp::OnFileSaveAs()
{
    CMainFrame* frame = MainFrame();
    CQuillonDoc* doc = frame ? frame->ActiveDocument() : nullptr;
    if (!doc || doc->m_texture.layers.empty()) return;
    morvane::Texture& texture = doc->m_texture;

    FileDialogRequest r;
    r.save = true;
    r.title = LoadString(kSaveTitle);
    r.filter = LoadString(texture.layers[0].layer.rec.animated != 0 ? kMovieFilter : kStillFilter);
    r.defaultExt = QStringLiteral("zyv");
    r.initialDir = QStringLiteral("\\kvo");
    r.initialName = BaseTitle(doc->GetTitle());
    r.flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;
    const QStringList chosen = m_ui.FileDialog(frame, r);
    if (chosen.isEmpty() || chosen.front().isEmpty()) return;
    const QString path = chosen.front();
    RedrawAfterDialog();

    morvane::ExportRequest request;
    request.path = LocalFile(path);
    const int current = frame->Session().CurrentLayer();
    request.currentLayer = current > 0 ? current : 1;
    morvane::ExportResult result;
    // A movie puts layer 1 back also when memory runs out on the way.
    try {
        FrameExportHost host(m_ui, frame);
        result = morvane::ExportTexture(texture, request, host);
    } catch (const std::bad_alloc&) {
        result.outcome = morvane::ExportResult::Failed;
        result.error = "Unable to save \"" + request.path.string() + "\".\nThere is not enough memory.";
    }

    if (result.outcome == morvane::ExportResult::Failed || result.outcome == morvane::ExportResult::Ignored) {
        m_ui.Message(QString::fromStdString(result.error), MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    // A texture file becomes the document's file.  A layer file holds one
    // layer only: the document keeps its own name and stays modified, so
    // that Save never writes the whole texture over the layer file.
    if (result.written() && result.format == morvane::ExportFormat::Texture) {
        const QString absolute = AbsoluteFileName(path);
        doc->SetPathName(absolute);
        doc->SetModifiedFlag(false);
        AddRecentFile(absolute);
    }
}
