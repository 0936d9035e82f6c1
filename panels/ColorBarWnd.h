// CColorBarWnd: three vertical bars that set the red, green and blue of one
// colour of the current layer by pointing, and a swatch beside them that
// shows the colour and opens the colour dialog.  The reflection and
// lighting dialogs hold them: one edits the light colour, one the
// brilliance and one the reflection colour.
//
// Every change goes at once into the current layer (and its current key
// when the layer is animated) through the editing session, as a preview:
// marking the document modified and rendering the view are the dialog's
// business.
//
// Geometry in client pixels: the red bar spans x 2..12, green 14..24,
// blue 26..36, each from y 5 (255) down to y 115 (0); the swatch spans
// x 38..68, y 5..115.  A press at y gives the component
// (115 - y) x 255 / 110, truncated, computed in integers so that the ends
// of a bar give exactly 0 and 255.
#pragma once

#include <QRgb>

#include <cstdint>

#include "platform/Wnd.h"

class EditingSession;

class CColorBarWnd : public CWnd {
    Q_OBJECT
public:
    // What the bars edit, and the factor from a byte to the layer's value.
    enum Mode : int16_t {
        LightColor = 0,       // lightR, lightG, lightB = byte x (1/255)
        Brilliance = 1,       // brillianceR, G, B = byte x (200/255), 0..200
        ReflectionColor = 2,  // reflectR, reflectG, reflectB = byte x (1/255)
    };

    explicit CColorBarWnd(EditingSession& session, QWidget* parent = nullptr);
    // A visible bar of the dialog `parent` over the dialog-unit rectangle
    // `dlu`, editing `color` by `mode`.
    static CColorBarWnd* Create(EditingSession& session, QWidget* parent, const QString& name, const QRect& dlu,
                                QRgb color, int16_t mode);

    // The edited colour and what it edits; the dialog sets both right
    // after making the control.
    QRgb color = qRgb(0, 0, 0);
    int16_t mode = LightColor;

    // Writes `color` into the current layer (and its current key) by
    // `mode`.  Nothing without a current layer.
    void StoreColor();

    // What a point hits: -1 nothing, 0 red, 1 green, 2 blue bar, 3 swatch.
    static int HitTest(QPoint p);
    // The component a bar gives at row y (not limited to 0..255).
    static int ComponentAt(int y);

signals:
    // The light colour was set by a drag that has ended (mode 0 only):
    // the light picker of the same dialog shows it.
    void lightColorChanged();

protected:
    void OnPaint(CDC* dc) override;
    void OnLButtonDown(QPoint point) override;
    void OnMouseMove(QPoint point) override;
    void OnLButtonUp(QPoint point) override;

private:
    void SetComponent(int bar, int value);

    EditingSession& m_session;
    int16_t dragBar = -1;  // what the last press hit (HitTest)
};
