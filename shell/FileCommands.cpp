// Opening and saving texture files: File > Open, the recent-file entries,
// files named on the command line or dropped on the main window, and Save.
//
// Every road that opens a file goes through OpenDocumentFile: a file that
// is open already activates its window; any other is read and checked
// first, and only a file that reads makes a document.
// Save writes only texture files: a document without a texture-file name
// (never saved, or opened from a layer file or another name) is given one
// first.
#include <new>

#include "engine/Paths.h"
#include "engine/TextureFile.h"
#include "media/LayerPicture.h"
#include "platform/FileName.h"
#include "platform/MDIChildWnd.h"
#include "platform/UiDialogs.h"
#include "shell/MainFrame.h"
#include "shell/QuillonApp.h"
#include "shell/QuillonDoc.h"
#include "shell/Resource.h"

namespace {

// The file a path names on this machine: the path itself, else the path
// read as a stored Windows path (backslashes, drive letters, "\kvo\" below
// the root folder) with each component matched without regard to case.
QString LocalPath(const QString& path)
{
    std::error_code error;
    if (std::filesystem::exists(LocalFile(path), error)) return path;
    if (auto found = morvane::ResolveStoredPath(LocalFile(path).native())) return FileNameOf(*found);
    return path;
}

// The name Save writes to: the document's own when it names a texture
// file, else one the user chooses (empty when the user cancels).
QString SaveTarget(UiDialogs& ui, CQuillonDoc* doc, QWidget* parent)
{
    const QString current = doc->GetPathName();
    if (!current.isEmpty() && morvane::FileKindOf(LocalFile(current).native()) == morvane::FileKind::Texture) {
        return current;
    }

    FileDialogRequest r;
    r.save = true;
    r.title = LoadString(57694);  // "Save a Texture"
    r.filter = LoadString(57764);  // "Texture File (*.zyv) | *.zyv||"
    r.defaultExt = QStringLiteral("zyv");
    r.initialDir = current.isEmpty() ? QStringLiteral("\\kvo") : FileNameOf(LocalFile(current).parent_path());
    r.initialName = BaseTitle(doc->GetTitle()) + QStringLiteral(".zyv");
    r.flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;  // the question below replaces the dialog's
    const QStringList chosen = ui.FileDialog(parent, r);
    if (chosen.isEmpty() || chosen.front().isEmpty()) return {};

    QString path = chosen.front();
    if (morvane::FileKindOf(LocalFile(path).native()) != morvane::FileKind::Texture) path += QStringLiteral(".zyv");
    std::error_code error;
    if (std::filesystem::exists(LocalFile(path), error)) {
        const QString question =
            QStringLiteral("\"%1\" already exists.\nDo you want to replace it?").arg(DisplayName(path));
        if (ui.MessageBox(parent, question, AppCaption(), MB_YESNO | MB_ICONQUESTION) != IDYES) return {};
    }
    return path;
}

}  // namespace

// ---------------------------------------------------------------------------
// Opening

QStringList CQuillonApp::AskTextureFiles(bool several)
{
    FileDialogRequest r;
    r.title = shelltext::OpenTitle();
    r.filter = shelltext::OpenFilter();
    r.defaultExt = QStringLiteral("kvo");
    r.initialDir = QStringLiteral("\\kvo");
    r.flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
    if (several) r.flags |= OFN_ALLOWMULTISELECT;
    return m_ui.FileDialog(MainFrame(), r);
}

void CQuillonApp::OnFileOpen()
{
    for (const QString& path : AskTextureFiles(true)) OpenDocumentFile(path);
}

void CQuillonApp::OnOpenRecentFile(int n)
{
    const QString entry = m_recentFiles.Entry(n);
    if (CMainFrame* frame = MainFrame()) frame->SetMessageText(DisplayName(entry));
    if (entry.isEmpty()) return;

    CQuillonDoc* doc = OpenDocumentFile(entry);
    // An entry that no longer opens leaves the list; one that opened under
    // another name (a stored Windows path) gives way to that name, which
    // OpenDocumentFile has put in front.
    if (!doc || AbsoluteFileName(doc->GetPathName()) != RecentFileList::Normalise(entry)) {
        m_recentFiles.Remove(entry);
        SaveRecentFileList();
    }
}

CQuillonDoc* CQuillonApp::OpenDocumentFile(const QString& requested)
{
    if (requested.isEmpty()) return nullptr;
    const QString path = LocalPath(requested);

    // One file, one document: a file that is open already brings its
    // window to the front, and the document keeps what it holds.
    if (auto* open = qobject_cast<CQuillonDoc*>(FindOpenDocument(path))) {
        if (!open->Views().empty()) {
            if (CMDIChildWnd* window = open->Views().front()->GetParentFrame()) window->ActivateFrame();
        }
        AddRecentFile(open->GetPathName());
        return open;
    }

    // Read and check the whole file before anything changes.
    morvane::Result<morvane::Texture> parsed = morvane::ReadTextureFile(LocalFile(path));
    if (!parsed.ok()) {
        m_ui.Message(QString::fromStdString(parsed.error), MB_OK | MB_ICONEXCLAMATION);
        return nullptr;
    }

    CMainFrame* frame = MainFrame();
    if (!frame || !m_pDocTemplate) return nullptr;
    // The pictures are loaded before a window opens for them: memory that
    // runs out leaves everything as it was.
    morvane::Texture& texture = *parsed.value;
    try {
        morvane::LoadLayerPictures(texture, m_ui.Teller());
    } catch (const std::bad_alloc&) {
        m_ui.Message(QStringLiteral("Unable to open \"%1\".\nThere is not enough memory for its pictures.")
                         .arg(DisplayName(path)),
                     MB_OK | MB_ICONEXCLAMATION);
        return nullptr;
    }
    const size_t before = m_pDocTemplate->Documents().size();
    OnFileNew();
    CQuillonDoc* doc = frame->ActiveDocument();
    if (!doc || m_pDocTemplate->Documents().size() == before) return nullptr;

    doc->m_texture = std::move(texture);
    doc->m_sizeImage = doc->StoredImageSize();

    const QString absolute = AbsoluteFileName(path);
    doc->SetPathName(absolute);
    doc->SetModifiedFlag(false);
    AddRecentFile(absolute);

    if (frame->ActiveDocument() == doc) frame->ShowTextureInPanels();
    FitActiveFrame();
    doc->UpdateAllViews(nullptr);
    return doc;
}

void CQuillonApp::OpenDroppedFiles(const QStringList& paths)
{
    for (const QString& path : paths) OpenDocumentFile(path);
}

// ---------------------------------------------------------------------------
// Saving

bool CQuillonApp::SaveTextureFile(CQuillonDoc* doc)
{
    if (!doc) return false;
    const QString path = SaveTarget(m_ui, doc, MainFrame());
    if (path.isEmpty()) return false;

    const morvane::Result<> saved = morvane::WriteTextureFile(LocalFile(path), doc->m_texture);
    if (!saved.ok()) {
        m_ui.Message(QString::fromStdString(saved.error), MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    if (path != doc->GetPathName()) doc->SetPathName(AbsoluteFileName(path));
    doc->SetModifiedFlag(false);
    return true;
}

void CQuillonApp::OnFileSave()
{
    if (CMainFrame* frame = MainFrame()) {
        if (CQuillonDoc* doc = frame->ActiveDocument()) SaveTextureFile(doc);
    }
}

// ---------------------------------------------------------------------------
// The recent-file list

QStringList CQuillonApp::RecentFileLabels() const
{
    QStringList labels;
    for (const QString& entry : m_recentFiles.Entries()) labels << DisplayName(entry);
    return labels;
}

void CQuillonApp::AddRecentFile(const QString& path)
{
    m_recentFiles.Add(AbsoluteFileName(path));
    SaveRecentFileList();
}

void CQuillonApp::LoadRecentFileList() { m_recentFiles.Load(m_profile); }

// A profile that cannot be written keeps the list in memory; it is written
// again at the next change and at exit.
void CQuillonApp::SaveRecentFileList() { (void)m_recentFiles.Save(m_profile); }
