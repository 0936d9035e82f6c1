// CKvoSlider: the command panel's value slider.  Each of the nineteen
// instances edits one parameter of the current layer (sliderId, see the
// slider table below): moving it writes the field, and the key field when
// the layer is animated, at once through the editing session (which marks
// the document modified); the view and the layer's thumbnail render again
// when the button is released.
//
// Vertical sliders grow upwards, horizontal ones to the right.  An arrow at
// each end steps by one with auto-repeat: the first step at once, the next
// after 0.2 s, each later wait 0.01 s shorter until it is 0.01 s; releasing
// the button anywhere, or losing the mouse, ends it.  A press on the track
// jumps to the value under the mouse and dragging follows it.  The timing
// runs on ClockTimer's clock, which tests drive.  A slider with the focus
// (dotted border) steps by one on an arrow key, as on an arrow click.
#pragma once

#include <QImage>
#include <QRect>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "engine/Records.h"
#include "platform/Wnd.h"

class EditingSession;

// Where a slider's value goes.
enum class SliderField { LayerFloat, LayerInt16, LayerInt32, Orientation, ReliefOrientation, BlendCoef };

// One row of the slider table.
struct SliderInfo {
    int id;
    int left, top, right, bottom;  // dialog units
    int maximum;
    int caption;                   // string ids; tooltip 0: none
    int tooltip;
    SliderField field;
    size_t offset;                 // LayerRecord byte offset of a layer field
    float factor;                  // value x factor = field
    int inverse;                   // field x inverse = value (1, 10, 100 or 360)
};

// The nineteen sliders, in id order.
std::span<const SliderInfo> SliderTable();
const SliderInfo& SliderInfoOf(int id);
// The position a slider shows for a layer's field: the field times the
// inverse of the factor, exactly, truncated toward zero (saturating).
int SliderPosition(const SliderInfo& info, const morvane::LayerSlot& slot);

class CKvoSlider : public CWnd {
    Q_OBJECT
public:
    // `horizontal` is fixed before the slider is made.
    CKvoSlider(EditingSession& session, bool horizontal, QWidget* parent = nullptr);
    ~CKvoSlider() override;

    // Stores the range; `value` is not clamped.
    void SetRange(int minimum, int maximum);
    void SetCaption(int stringId);
    const QString& Caption() const { return caption; }
    // Writes `value` into the current layer (and key), which marks the
    // document modified; renders nothing.
    void ApplyValue();

    QString caption;
    int enabled = 1;
    int value = 0;
    int minValue = 0;
    int maxValue = 100;
    int upPressed = 0;    // the top (vertical) or left (horizontal) arrow is held
    int downPressed = 0;  // the bottom or right arrow is held
    int sliderId = 0;
    const bool horizontal;

    // The thumb's offset in pixels from the low end.
    int ThumbOffset() const;
    bool Repeating() const { return m_repeatStep != 0; }

protected:
    void OnPaint(CDC* dc) override;
    void OnLButtonDown(QPoint point) override;
    void OnMouseMove(QPoint point) override;
    void OnLButtonUp(QPoint point) override;
    void OnTimer(int id) override;
    void OnCaptureChanged() override;
    bool OnKeyDown(int key, bool repeat) override;
    bool OnKeyUp(int key, bool repeat) override;

private:
    int Length() const { return horizontal ? width() : height(); }
    // The value at a point of the track, limited to the range.
    int ValueAt(QPoint point) const;
    // One step of an arrow, +1 or -1 within the range: the arrow that makes
    // it shows pressed, and the value is written and drawn.
    void Step(int step);
    void RepeatStep();
    void EndRepeat();
    // After a drag or an auto-repeat: the view and the thumbnail render.
    void Finish();

    EditingSession& m_session;
    int m_repeatStep = 0;     // +1 or -1 while an arrow repeats
    int m_repeatDelay = 200;  // ms between the starts of two steps
    int64_t m_repeatNoted = 0;
    bool m_dragging = false;
    // The caption's and the value's layout, kept from one paint to the next.
    struct TextLayouts;
    std::unique_ptr<TextLayouts> m_layouts;
};
