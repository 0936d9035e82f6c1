// CTimeRamp: the timeline at the left of the key-frame panel.  One mark per
// key of the current layer at its time, and a cursor at the current time.
//
// Geometry, in client pixels of a W x H ramp, with W' = W - 20:
//   groove   left 10, top 11, right W - 10, bottom H - 16
//   cursor   left edge trunc(W' x currentTime / length) + 2, top H - 17
//   mark k   left edge trunc(W' x time(k)) + 5, top 0, 11 x 11
// A press below y = 12 on the cursor scrubs: the cursor follows the mouse
// and the layer is interpolated at its time; the view renders when the
// button comes up.  A press at y <= 12 on a mark makes that key current
// and loads it into the layer; dragging it moves the key in time, never
// past its neighbours (the first and the last key stay where they are).
// Cursor and marks are combined with the picture by XOR, so two marks at
// one time cancel out.  The ramp tells the time and the key it shows by
// its signals (the key-frame panel shows them in its fields).
#pragma once

#include <QImage>

#include "platform/Wnd.h"

class EditingSession;

class CTimeRamp : public CWnd {
    Q_OBJECT
public:
    explicit CTimeRamp(EditingSession& session, QWidget* parent = nullptr);

    // As the ramp is made, and again when no document is shown.
    static constexpr float kMadeLength = 4.0f;

    float length = kMadeLength;  // seconds the ramp spans
    float currentTime = 0.0f;    // seconds, where the cursor is
    int currentKey = 0;          // the highlighted key, -1 for none
    int dragMode = 0;            // 0 the cursor is dragged, 1 a key

    // Back to the ramp as it is made (a drag in progress ends), drawn
    // again now: it shows no document.
    void ShowNoDocument();

    // The left edges of the cursor and of a key's mark for the client
    // width now.
    int CursorLeft() const;
    int MarkLeft(float keyTime) const;

signals:
    // The cursor is at `seconds` (scrubbing, a key dragged).
    void timeShown(float seconds);
    // Key `key` is chosen, the cursor at its time `seconds`.
    void keyChosen(int key, float seconds);

protected:
    void OnPaint(CDC* dc) override;
    void OnLButtonDown(QPoint point) override;
    void OnMouseMove(QPoint point) override;
    void OnLButtonUp(QPoint point) override;

private:
    // W - 20, the pixels the time runs over.
    int Track() const { return width() - 20; }
    // Whether the ramp can map x to a time at all.
    bool Usable() const;
    bool LengthUsable() const;
    int ClampX(int x) const;
    // Moves the cursor to x and interpolates the current layer there.
    void Scrub(int x);
    // Moves key `k` to the time of x when that keeps it strictly between
    // its neighbours; true when it moved.
    bool MoveKey(int k, int x);
    // Draws the ramp again now.
    void Repaint();

    EditingSession& m_session;
    QImage m_cursorBitmap;      // 16 x 16
    QImage m_keyBitmap;         // 11 x 11
    QImage m_currentKeyBitmap;  // 11 x 11
};
