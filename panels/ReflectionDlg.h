// CReflectionDlg, "Reflection Parameters": the reflection colour and the
// brilliance of the current layer, each on a colour bar (panels/ColorBarWnd.h).
// The bars write the layer while the user points; Apply marks the document
// modified and renders the view; OK and Cancel close the dialog (Cancel
// undoes nothing the bars wrote; the command panel decides what closing
// means for the document).
#pragma once

#include "platform/Dialog.h"

class CColorBarWnd;
class EditingSession;

class CReflectionDlg : public CDialog {
    Q_OBJECT
public:
    explicit CReflectionDlg(EditingSession& session, QWidget* parent = nullptr);

protected:
    bool OnInitDialog() override;

private:
    void OnApply();

    EditingSession& m_session;
    CColorBarWnd* brillianceBar = nullptr;
    CColorBarWnd* reflectionBar = nullptr;
};
