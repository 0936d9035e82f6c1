// The MPEG-2 video format dialog (template 305): PAL, NTSC or SECAM, asked
// before an MPEG-2 movie is exported.  m_videoFormat is the index of the
// checked radio button of the group: 0 PAL, 1 NTSC, 2 SECAM; -1 none.
#pragma once

#include "platform/DataExchange.h"
#include "platform/Dialog.h"

class UiDialogs;

class CMpegFormatDlg : public CDialog {
    Q_OBJECT
public:
    static constexpr int IDD = 305;

    explicit CMpegFormatDlg(UiDialogs& ui, QWidget* parent = nullptr);

    int m_videoFormat = -1;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
};
