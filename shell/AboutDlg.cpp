#include "shell/AboutDlg.h"

#include <QIcon>
#include <QLabel>

#include "engine/Paths.h"
#include "platform/DialogUnits.h"
#include "platform/UiDialogs.h"

namespace {

const ControlSpec kControls[] = {
    {IDC_ABOUT_ICON, ControlKind::Static, {11, 10, 21, 20}},
    {-1, ControlKind::Static, {40, 10, 84, 8}, 0, "Morvane Version 4.0"},
    {-1, ControlKind::Static, {40, 22, 84, 8}, 0, "Procedural textures"},
    {-1, ControlKind::Static, {40, 34, 84, 8}, 0, "The Morvane Project"},
    {IDOK, ControlKind::DefPushButton, {128, 7, 32, 14}, kGroup, "OK"},
};

const DialogTemplate kTemplate{QStringLiteral("About Morvane"), QSize(168, 55), kControls};

}  // namespace

QIcon ProgramIcon()
{
    const auto path = morvane::FindDataFile("morvane.png");
    return path ? QIcon(QString::fromStdString(path->string())) : QIcon();
}

CAboutDlg::CAboutDlg(UiDialogs& ui, QWidget* parent) : CDialog(ui, kTemplate, parent) {}

bool CAboutDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    if (auto* icon = GetDlgItem<QLabel>(IDC_ABOUT_ICON)) {
        const QIcon program = ProgramIcon();
        if (!program.isNull()) icon->setPixmap(program.pixmap(32, 32));
    }
    return true;
}
