// CColorKeyWnd: the sunken colour field of the command panel that shows
// the current layer's colour key (the colour blend mode "Color Key" treats
// as transparent).  Releasing the button on it opens the colour dialog,
// starting from blue; OK makes the chosen colour the layer's key and marks
// the document modified, Cancel changes nothing.  The key is not animated
// and the view is not rendered again.
#pragma once

#include "platform/Wnd.h"

class EditingSession;

class CColorKeyWnd : public CWnd {
    Q_OBJECT
public:
    explicit CColorKeyWnd(EditingSession& session, QWidget* parent = nullptr);

    // Shows a colour (channels 0..1).
    void SetColor(float red, float green, float blue);

    float m_red = 0.0f;
    float m_green = 0.0f;
    float m_blue = 1.0f;

protected:
    void OnPaint(CDC* dc) override;
    void OnLButtonUp(QPoint point) override;

private:
    EditingSession& m_session;
};
