#include "panels/Commande.h"

#include "platform/DialogUnits.h"
#include "platform/EditContext.h"

namespace {
constexpr int kProgressId = 1026;
}

CCommandBar::CCommandBar(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("commandPanel"));
    // Template 130: 187 x 578 dialog units.
    resize(MapDialogSize(QSize(187, 578)));

    progressBar = new QProgressBar(this);
    progressBar->setObjectName(QStringLiteral("control%1").arg(kProgressId));
    progressBar->setTextVisible(false);
    progressBar->setRange(0, 1000);
    progressBar->setValue(0);
    progressBar->setGeometry(MapDialogRect(QRect(33, 309, 147, 12)));
    Edit().SetProgressBar(progressBar);
}
