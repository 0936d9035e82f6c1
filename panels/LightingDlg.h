// CLightingDlg, "Lighting Properties  ": the light colour of the current
// layer on a colour bar (panels/ColorBarWnd.h) and its light direction on the
// sphere light picker (panels/SphereLightWnd.h), which shows the new light
// colour once a drag on the bar ends.  Apply marks the document modified
// and renders the view; OK and Cancel close the dialog (Cancel undoes
// nothing the controls wrote).
#pragma once

#include "platform/Dialog.h"

class CColorBarWnd;
class CSphereLightWnd;
class EditingSession;

class CLightingDlg : public CDialog {
    Q_OBJECT
public:
    explicit CLightingDlg(EditingSession& session, QWidget* parent = nullptr);

protected:
    bool OnInitDialog() override;

private:
    void OnApply();

    EditingSession& m_session;
    CColorBarWnd* lightBar = nullptr;
    CSphereLightWnd* spherePicker = nullptr;
};
