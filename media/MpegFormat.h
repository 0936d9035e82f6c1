// The MPEG-2 video format dialog: PAL, NTSC or SECAM, asked before an
// MPEG-2 movie is exported.  m_videoFormat is the index of the checked
// radio button (0 PAL, 1 NTSC, 2 SECAM; -1 none).
#pragma once

#include <QDialog>

#include <functional>
#include <map>

class CMpegFormatDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int IDD = 305;

    explicit CMpegFormatDlg(QWidget* parent = nullptr);

    int m_videoFormat = -1;

    // Shows the dialog with m_videoFormat checked; on OK m_videoFormat is
    // the checked button.  IDOK or IDCANCEL.
    int DoModal();

    QWidget* GetDlgItem(int id) const;

    // A test's answer instead of the user's: called with the open dialog
    // (controls made, m_videoFormat shown), it may click its controls and
    // returns IDOK or IDCANCEL.  Null restores the real dialog.
    static void SetModalAnswer(std::function<int(CMpegFormatDlg&)> answer);

private:
    void ShowMember();
    void ReadMember();

    std::map<int, QWidget*> m_controls;
};
