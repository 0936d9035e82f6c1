#include "platform/Document.h"

#include <QFileInfo>

#include <algorithm>

#include "platform/DocTemplate.h"
#include "platform/FileName.h"
#include "platform/MDIChildWnd.h"
#include "platform/View.h"

CDocument::CDocument() = default;

CDocument::~CDocument()
{
    for (CView* v : m_views) v->m_pDocument = nullptr;
}

bool CDocument::OnNewDocument()
{
    SetModifiedFlag(false);
    ClearPathName();
    return true;
}

QString CDocument::ShownTitle() const { return DisplayName(m_strTitle); }

void CDocument::SetTitle(const QString& title)
{
    m_strTitle = title;
    if (m_pDocTemplate) m_pDocTemplate->UpdateFrameTitles(this);
    emit titleChanged();
}

void CDocument::SetPathName(const QString& path)
{
    m_strPathName = path;
    SetTitle(QFileInfo(path).fileName());
}

void CDocument::SetModifiedFlag(bool modified)
{
    if (modified == m_bModified) return;
    m_bModified = modified;
    if (m_pDocTemplate) m_pDocTemplate->UpdateFrameTitles(this);
}

void CDocument::UpdateAllViews(CView* sender, long hint, QObject* hintObject)
{
    const std::vector<CView*> views = m_views;
    for (CView* v : views) {
        if (v != sender) v->OnUpdate(sender, hint, hintObject);
    }
}

void CDocument::AddView(CView* view)
{
    if (std::find(m_views.begin(), m_views.end(), view) == m_views.end()) m_views.push_back(view);
    if (m_pDocTemplate) m_pDocTemplate->UpdateFrameTitles(this);
}

void CDocument::RemoveView(CView* view)
{
    m_views.erase(std::remove(m_views.begin(), m_views.end(), view), m_views.end());
    if (m_bClosing || !m_pDocTemplate) return;
    if (!m_views.empty()) {
        m_pDocTemplate->UpdateFrameTitles(this);
        return;
    }
    // No window shows the document any more: it closes, and is deleted.
    m_pDocTemplate->CloseDocument(this);
}

void CDocument::OnCloseDocument()
{
    const std::vector<CView*> views = m_views;
    for (CView* v : views) {
        if (CMDIChildWnd* frame = v->GetParentFrame()) {
            frame->DestroyWindow();
        } else {
            v->DetachDocument();
        }
    }
}
