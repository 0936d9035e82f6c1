#include "panels/Commande.h"

#include "platform/DialogUnits.h"

namespace {
constexpr int kProgressId = 1026;
}

CCommandBar::CCommandBar(QWidget* bar) : QWidget(bar)
{
    setObjectName(QStringLiteral("commandPanel"));
    // Template 130: 187 x 578 dialog units.
    const QSize size = MapDialogSize(QSize(187, 578));
    setGeometry(0, 0, size.width(), size.height());

    progressBar = new QProgressBar(this);
    progressBar->setObjectName(QStringLiteral("control%1").arg(kProgressId));
    progressBar->setTextVisible(false);
    progressBar->setRange(0, 1000);
    progressBar->setValue(0);
    progressBar->setGeometry(MapDialogRect(QRect(33, 309, 147, 12)));
    show();
}

void CCommandBar::ShowLayer(const morvane::Texture& texture, int n)
{
    layerCount = texture.LayerCount();
    currentLayer = n;
    update();
}
