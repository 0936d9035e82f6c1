// The command panel in the right bar.  For now it holds the progress bar
// (control 1026) that the view advances while it renders.
#pragma once

#include <QProgressBar>
#include <QWidget>

class CCommandBar : public QWidget {
    Q_OBJECT
public:
    explicit CCommandBar(QWidget* parent = nullptr);

    QProgressBar* progressBar = nullptr;  // control 1026
};
