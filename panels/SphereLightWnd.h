// CSphereLightWnd: the light picker of the lighting dialog.  It shows a
// sphere of 75 x 75 pixels, centred, lit by the current layer's light
// direction, light colour, brilliance and reflection colour (the shading
// of engine/Sphere.h over the program's sphere table), and a marker with a
// line to the centre where the light comes from.  Pressing or dragging
// sets the light direction's x and y from the point:
//   lightDirX = (x - hw) / hw,  lightDirY = (y - hh) / hh
// with hw, hh the integer halves of the client size, not limited (points
// outside the sphere give values past +-1); lightDirZ is left alone.  The
// write goes into the current key as well when the layer is animated; it is
// a preview, as the colour bars' (the dialog's Apply marks and renders).
//
// The marker (16 x 16, inverted onto the picture) and its line (drawn
// with the XOR pen) vanish when drawn again at the same place; while
// dragging, the marker is removed where it was drawn, whatever the light
// direction says by then, and drawn at the new place.  The sphere is
// shaded again when the button is released.
#pragma once

#include <QImage>
#include <QPoint>

#include <optional>

#include "engine/Sphere.h"
#include "platform/Wnd.h"

class EditingSession;

class CSphereLightWnd : public CWnd {
    Q_OBJECT
public:
    // The session's sphere table is the one the picker shades (null draws
    // no sphere).
    explicit CSphereLightWnd(EditingSession& session, QWidget* parent = nullptr);

    // Where the marker of light direction (lx, ly) is centred in a
    // control of w x h pixels.
    static QPoint MarkerCentre(float lx, float ly, int w, int h);
    // Draws the marker centred at `centre` and its line to the centre of
    // a w x h control, both inverting what they cover.
    static void DrawMarker(CDC* dc, QPoint centre, int w, int h);

    // Where the marker is drawn now; none before the first paint or
    // without a current layer.
    std::optional<QPoint> MarkerAt() const { return m_marker; }

protected:
    void OnPaint(CDC* dc) override;
    void OnLButtonDown(QPoint point) override;
    void OnMouseMove(QPoint point) override;
    void OnLButtonUp(QPoint point) override;
    void OnCaptureChanged() override;

private:
    void DrawSphere(CDC* dc, const morvane::LayerRecord& layer);
    // Sets the light direction from the point; false (and nothing
    // written) without a current layer or for a control too small to
    // have a centre.
    bool SetDirection(QPoint point);
    // Removes the marker where it is and draws it for the layer's light.
    void MoveMarker();

    EditingSession& m_session;
    QRect clientRect;
    morvane::SphereShader m_shader;
    std::optional<QPoint> m_marker;
};
