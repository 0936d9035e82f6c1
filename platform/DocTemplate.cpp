#include "platform/DocTemplate.h"

#include <QMdiArea>
#include <QStringList>

#include <algorithm>

#include "platform/Document.h"
#include "platform/MDIChildWnd.h"
#include "platform/MDIFrameWnd.h"
#include "platform/View.h"

CDocTemplate::CDocTemplate(const QString& docString, DocumentFactory doc, FrameFactory frame, ViewFactory view)
    : m_strDocStrings(docString),
      m_makeDoc(std::move(doc)),
      m_makeFrame(std::move(frame)),
      m_makeView(std::move(view))
{
}

CDocTemplate::~CDocTemplate()
{
    for (const auto& d : m_docs) d->m_pDocTemplate = nullptr;
}

QString CDocTemplate::GetDocString(DocStringIndex index) const
{
    const QStringList fields = m_strDocStrings.split('\n');
    return index < fields.size() ? fields[index] : QString();
}

CDocument* CDocTemplate::OpenNewDocument(CMDIFrameWnd* mainFrame)
{
    CDocument* doc = m_makeDoc();
    if (!doc) return nullptr;
    doc->m_pDocTemplate = this;
    m_docs.emplace_back(doc);

    CMDIChildWnd* frame = CreateNewFrame(mainFrame, doc);
    if (!frame) {
        CloseDocument(doc);
        return nullptr;
    }
    doc->SetTitle(GetDocString(docName) + QString::number(m_nUntitledCount + 1));
    if (!doc->OnNewDocument()) {
        frame->DestroyWindow();  // the document goes with its view
        return nullptr;
    }
    ++m_nUntitledCount;

    CView* view = frame->GetActiveView();
    if (view) view->OnInitialUpdate();
    frame->show();
    if (mainFrame) mainFrame->MdiArea()->setActiveSubWindow(frame);
    return doc;
}

CMDIChildWnd* CDocTemplate::CreateNewFrame(CMDIFrameWnd* mainFrame, CDocument* doc)
{
    CMDIChildWnd* frame = m_makeFrame();
    CView* view = m_makeView();
    if (!frame || !view) {
        delete frame;
        delete view;
        return nullptr;
    }
    frame->SetView(view);
    view->AttachDocument(doc);
    if (mainFrame) mainFrame->AddChildFrame(frame);
    UpdateFrameTitles(doc);
    return frame;
}

void CDocTemplate::CloseDocument(CDocument* doc)
{
    auto owns = [doc](const std::unique_ptr<CDocument>& d) { return d.get() == doc; };
    if (std::none_of(m_docs.begin(), m_docs.end(), owns)) return;
    // Its views leave it as their windows close; it stays until all have.
    doc->m_bClosing = true;
    doc->OnCloseDocument();
    const auto it = std::find_if(m_docs.begin(), m_docs.end(), owns);
    const std::unique_ptr<CDocument> closed = std::move(*it);
    m_docs.erase(it);
}

std::vector<CDocument*> CDocTemplate::Documents() const
{
    std::vector<CDocument*> docs;
    for (const auto& d : m_docs) docs.push_back(d.get());
    return docs;
}

void CDocTemplate::UpdateFrameTitles(CDocument* doc)
{
    const auto& views = doc->Views();
    for (size_t i = 0; i < views.size(); ++i) {
        CMDIChildWnd* frame = views[i]->GetParentFrame();
        if (!frame) continue;
        QString title = doc->ShownTitle();
        if (views.size() > 1) title += ":" + QString::number(i + 1);
        frame->SetTitle(title, doc->IsModified());
    }
}
