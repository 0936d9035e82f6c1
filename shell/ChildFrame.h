// The MDI child window of one texture document; closing it asks whether to
// save a modified document.
#pragma once

#include "platform/MDIChildWnd.h"

class CQuillonApp;
class CQuillonDoc;

class CChildFrame : public CMDIChildWnd {
    Q_OBJECT
public:
    // A window of `app`, which asks the save question.
    explicit CChildFrame(CQuillonApp& app);

    CQuillonDoc* GetDocument() const;

    bool OnClose() override;

private:
    CQuillonApp& m_app;
};
