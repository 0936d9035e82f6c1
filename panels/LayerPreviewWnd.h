// CLayerPreviewWnd: one layer thumbnail of the command panel.  It shows its
// layer alone (its pattern, its relief lit by its own light, no blending),
// framed by a bevel that is blue on the current layer's slot.  A click, or
// Space or Enter while it has the focus (dotted border), makes its layer
// the current one (through the editing session); an empty slot shows black
// and ignores clicks.
#pragma once

#include <QImage>

#include "engine/Records.h"
#include "platform/Wnd.h"

class EditingSession;

class CLayerPreviewWnd : public CWnd {
    Q_OBJECT
public:
    explicit CLayerPreviewWnd(EditingSession& session, QWidget* parent = nullptr);

    // Renders `layer` at the slot's size less 2 pixels of frame on every
    // side (its light direction is normalised in place first).
    void RenderLayer(morvane::Layer& layer);
    // Makes the slot show nothing.
    void Clear();

    const QImage& Picture() const { return m_picture; }

    int m_layer = -1;        // the 0-based layer shown, -1 for an empty slot
    bool m_selected = false;  // this slot shows the current layer

protected:
    void OnPaint(CDC* dc) override;
    void OnLButtonDown(QPoint point) override;
    bool OnKeyDown(int key, bool repeat) override;

private:
    EditingSession& m_session;
    QImage m_picture;  // top row first, (width - 4) x (height - 4)
};
