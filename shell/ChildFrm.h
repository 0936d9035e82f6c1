// The MDI child window of one texture document; closing it asks whether to
// save a modified document.
#pragma once

#include "platform/Frames.h"

class CQuillonDoc;
class CQuillonView;

class CChildFrame : public CMDIChildWnd {
    Q_OBJECT
public:
    CChildFrame();

    CQuillonDoc* GetDocument() const;
    CQuillonView* GetView() const;

    bool OnClose() override;
};
