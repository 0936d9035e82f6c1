#include "shell/ChildFrm.h"

#include <QStyle>

#include "platform/WinApp.h"
#include "shell/MainFrm.h"
#include "shell/Morvane.h"
#include "shell/QuillonDoc.h"
#include "shell/QuillonView.h"

CChildFrame::CChildFrame()
{
    setObjectName(QStringLiteral("childFrame"));
    setWindowIcon(style()->standardIcon(QStyle::SP_FileIcon));
}

CQuillonDoc* CChildFrame::GetDocument() const { return qobject_cast<CQuillonDoc*>(GetActiveDocument()); }

CQuillonView* CChildFrame::GetView() const { return qobject_cast<CQuillonView*>(GetActiveView()); }

void CChildFrame::OnMDIActivate(bool activate)
{
    (void)activate;
    // The panels show the first layer of the document that became active.
    if (!GetDocument()) return;
    if (auto* frame = qobject_cast<CMainFrame*>(AfxGetMainWnd()); frame && frame->ActiveChildFrame() == this)
        frame->ShowTextureInPanels();
}

bool CChildFrame::OnClose()
{
    // Cancelled, or a document that could not be saved, keeps its window.
    return !theApp() || theApp()->SaveModified(GetDocument(), this);
}
