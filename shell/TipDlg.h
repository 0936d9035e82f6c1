// The tip of the day: one tip of the tips file per opening, in file order,
// with the place in the file kept in the profile ("Tip": "FilePos") so
// that the next opening, in this run or the next, shows the tip after the
// last one shown.  A changed tips file ("TimeStamp") starts again at its
// first tip.  "StartUp" (written by "&Close" only) is 1 when the tip is
// not to show at start-up.
#pragma once

#include <QImage>
#include <QString>

#include <filesystem>
#include <memory>
#include <optional>

#include "platform/DataExchange.h"
#include "platform/Dialog.h"
#include "shell/TipFile.h"

class IniProfile;
class UiDialogs;

constexpr int IDD_TIP = 104;
constexpr int IDC_TIP_FRAME = 1000;
constexpr int IDC_TIP_STARTUP = 1001;
constexpr int IDC_NEXT_TIP = 1002;
constexpr int IDC_TIP_STRING = 1004;

namespace tiptext {
inline const QString kSection = QStringLiteral("Tip");
inline const QString kStartUp = QStringLiteral("StartUp");
inline const QString kFilePos = QStringLiteral("FilePos");
inline const QString kTimeStamp = QStringLiteral("TimeStamp");
inline const QString kDidYouKnow = QStringLiteral("Did you Know...");
inline const QString kNoFile = QStringLiteral("The file Tips.txt does not exist in the current directory");
inline const QString kReadProblem = QStringLiteral("Problem Reading the File");
}  // namespace tiptext

class CTipDlg : public CDialog {
    Q_OBJECT
public:
    // The place in the tips file is kept in `profile`.  The tips file is
    // looked up with FindTipsFile; the second form takes the file found
    // (none: not found).
    CTipDlg(UiDialogs& ui, IniProfile& profile, QWidget* parent = nullptr);
    CTipDlg(UiDialogs& ui, IniProfile& profile, QWidget* parent, const std::optional<std::filesystem::path>& tipsFile);
    ~CTipDlg() override;

    int m_bStartup = 1;   // "&Show Tips at Startup"
    QString m_strTip;     // the tip shown
    std::unique_ptr<morvane::TipFile> m_pStream;  // the open tips file, or null

    void OnNextTip();
    void OnOK() override;

    // The picture beside "Did you Know..." (40 x 53 pixels).
    static const QImage& TipBitmap();

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    bool OnInitDialog() override;
    void paintEvent(QPaintEvent* event) override;

private:
    void GetNextTipString(QString& tip);
    IniProfile& m_profile;
    bool m_hasTips = true;  // false when the file holds no tip line
};
