// CGradientStrip: the 24 cells of the palette panel, one per entry of the
// current layer's gradient.  Cell k is the colour where entry k-1 ends and
// entry k starts: writing it sets entry k's start colour, entry k-1's end
// colour and, for cell 23, entry 23's end colour too; the same entries of
// the current key when the layer is animated.  Positions never change.
//
// The strip paints byte mirrors of the cells (cell i at columns
// 16 i .. 16 i + 15), refreshed from the start colours of the layer's
// gradient (x 255, truncated) whenever a layer is shown or its gradient
// changes.  A click selects a cell; in gradient mode (the panel's Gradient
// button) the second click blends the cells between the two clicked ones
// linearly.  A double click, like the panel's Color button, opens the
// colour dialog on the selected cell.  Presses past the last cell are
// ignored; without a document nothing happens at all.
#pragma once

#include <QRgb>

#include <array>
#include <cstdint>

#include "engine/Records.h"
#include "platform/Wnd.h"

class EditingSession;

class CGradientStrip : public CWnd {
    Q_OBJECT
public:
    static constexpr int kCells = morvane::kGradientEntries;
    static constexpr int kCellWidth = 16;

    // `gradientMode` is the panel's count of clicks still awaited: 2 after
    // the Gradient button, one less per click, 0 when idle.
    CGradientStrip(EditingSession& session, int16_t& gradientMode, QWidget* parent = nullptr);

    // The cells show the start colours of the layer's gradient (a layer
    // without a gradient leaves them as they are) and are repainted.
    void LoadGradient(const morvane::Layer& layer);

    // The colour dialog on the selected cell; OK writes the chosen colour.
    void ChooseColor();

    int SelectedCell() const { return selectedCell; }
    QRgb CellColor(int k) const { return qRgb(red[k], green[k], blue[k]); }

protected:
    void OnPaint(CDC* dc) override;
    void OnLButtonDown(QPoint point) override;
    void OnLButtonDblClk(QPoint point) override;

private:
    // The cell under x, or -1 past the last cell.
    static int CellAt(int x);
    void Select(int k);
    // Writes cell k's colour (bytes) into the mirrors, the layer and the
    // current key; then repaints, marks the document modified and renders
    // the view.
    void WriteCell(int k, int r, int g, int b);
    // The second click of gradient mode: blends the cells strictly
    // between lo and hi, keeps lo and hi, and writes the boundaries.
    void Blend(int lo, int hi);

    EditingSession& m_session;
    int16_t& gradientMode;
    int16_t selectedCell = 0;
    int16_t firstCell = 0;
    // Byte mirrors of the cells (room for 32; only 24 are used).
    std::array<uint8_t, 32> red{};
    std::array<uint8_t, 32> green{};
    std::array<uint8_t, 32> blue{};
};
