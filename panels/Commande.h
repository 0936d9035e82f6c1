// The command panel in the right bar.  For now it holds what the view and
// the frames use: the current layer number, the display mode and the
// progress bar (control 1026) that the view advances while it renders.
#pragma once

#include <QProgressBar>
#include <QWidget>

#include "engine/Records.h"

class CCommandBar : public QWidget {
    Q_OBJECT
public:
    // Made inside its bar, like a dialog from its template.
    explicit CCommandBar(QWidget* bar);

    int currentLayer = 0;  // 1-based; 0 until a document is shown
    int displayMode = 0;   // 0 all layers, 1 the layers below the current one, 2 the current one
    int layerCount = 0;
    QProgressBar* progressBar = nullptr;  // control 1026

    // Shows layer n (1-based) of `texture` and makes it current.
    void ShowLayer(const morvane::Texture& texture, int n);
};
