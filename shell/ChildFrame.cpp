#include "shell/ChildFrame.h"

#include <QStyle>

#include "shell/QuillonApp.h"
#include "shell/QuillonDoc.h"

CChildFrame::CChildFrame(CQuillonApp& app) : m_app(app)
{
    setObjectName(QStringLiteral("childFrame"));
    setWindowIcon(style()->standardIcon(QStyle::SP_FileIcon));
}

CQuillonDoc* CChildFrame::GetDocument() const { return qobject_cast<CQuillonDoc*>(GetActiveDocument()); }

bool CChildFrame::OnClose()
{
    // Cancelled, or a document that could not be saved, keeps its window.
    return m_app.SaveModified(GetDocument(), this);
}
