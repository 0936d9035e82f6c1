#include "media/MpegFormat.h"

#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>

#include "platform/DialogUnits.h"
#include "platform/Dialogs.h"

namespace {

constexpr int kGroup = 1042;
constexpr int kPal = 1043;
constexpr int kNtsc = 1044;
constexpr int kSecam = 1045;
constexpr int kOk = 1;
constexpr int kCancel = 2;

std::function<int(CMpegFormatDlg&)>& ModalAnswer()
{
    static std::function<int(CMpegFormatDlg&)> answer;
    return answer;
}

}  // namespace

CMpegFormatDlg::CMpegFormatDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Video format for MPEG2"));
    setModal(true);
    setFixedSize(MapDialogSize(QSize(97, 73)));

    auto place = [&](QWidget* w, int id, QRect dlu) {
        w->setGeometry(MapDialogRect(dlu));
        w->setObjectName(QStringLiteral("control%1").arg(id));
        m_controls[id] = w;
    };
    place(new QGroupBox(QStringLiteral("Video Fomat : "), this), kGroup, QRect(4, 4, 90, 48));
    place(new QRadioButton(QStringLiteral("PAL"), this), kPal, QRect(8, 17, 29, 10));
    place(new QRadioButton(QStringLiteral("NTSC"), this), kNtsc, QRect(8, 28, 35, 10));
    place(new QRadioButton(QStringLiteral("SECAM"), this), kSecam, QRect(8, 41, 41, 10));
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    place(ok, kOk, QRect(18, 54, 30, 14));
    place(new QPushButton(QStringLiteral("Cancel"), this), kCancel, QRect(48, 54, 30, 14));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(static_cast<QPushButton*>(m_controls[kCancel]), &QPushButton::clicked, this, &QDialog::reject);
}

QWidget* CMpegFormatDlg::GetDlgItem(int id) const
{
    const auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : it->second;
}

void CMpegFormatDlg::ShowMember()
{
    for (int i = 0; i < 3; ++i) static_cast<QRadioButton*>(GetDlgItem(kPal + i))->setChecked(i == m_videoFormat);
}

void CMpegFormatDlg::ReadMember()
{
    m_videoFormat = -1;
    for (int i = 0; i < 3; ++i)
        if (static_cast<QRadioButton*>(GetDlgItem(kPal + i))->isChecked()) m_videoFormat = i;
}

int CMpegFormatDlg::DoModal()
{
    ShowMember();
    const int result = ModalAnswer() ? ModalAnswer()(*this) : (exec() == QDialog::Accepted ? IDOK : IDCANCEL);
    if (result == IDOK) ReadMember();
    return result;
}

void CMpegFormatDlg::SetModalAnswer(std::function<int(CMpegFormatDlg&)> answer) { ModalAnswer() = std::move(answer); }
