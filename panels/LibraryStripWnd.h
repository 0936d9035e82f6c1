// CLibraryStripWnd: the row of library thumbnails inside the library
// panel.  Slots are 54 pixels wide from the left edge; slot k shows entry
// firstVisible + k as a 50 x 44 thumbnail at (54 k + 2, 2) in a bevelled
// frame (blue tones for the selected entry, greys for the others).  A
// click selects an entry, the horizontal scroll bar moves the first
// visible entry, and a double click copies the entry's texture into the
// active document.
//
// Thumbnails are rendered once, when an entry arrives (the library's copy
// of the texture has its light directions made unit length first, then it
// is sampled at u = c x 0.02, v = r / 44 over all layers); painting only
// copies them.
//
// The scroll bar's actions: dragging or tracking the thumb shows the entry
// at the thumb's position, the two ends the first and the last entry, the
// arrows one entry more or less; a click in the page area moves nothing.
#pragma once

#include <QAbstractScrollArea>
#include <QImage>
#include <QPoint>

#include <vector>

#include "engine/Records.h"

class CDC;
class CLibraryDlg;
class EditingSession;

class CLibraryStripWnd : public QAbstractScrollArea {
    Q_OBJECT
public:
    static constexpr int kSlotWidth = 54;

    CLibraryStripWnd(EditingSession& session, CLibraryDlg* library, QWidget* parent);

    // Renders the thumbnail of a new entry's texture after the others (the
    // texture is prepared for rendering in place).
    void RenderThumbnails(morvane::Texture& texture);
    void RemoveThumbnail(int entry);
    void ClearThumbnails();
    int ThumbnailCount() const { return static_cast<int>(thumbnails.size()); }
    // Thumbnail i as it is drawn (top row first).
    const QImage& Thumbnail(int i) const { return thumbnails[static_cast<size_t>(i)]; }

    // The scroll range 0 .. count - 1, and the first visible entry.
    void SetScrollRange(int count);
    void SetFirstVisible(int entry);
    int FirstVisible() const { return firstVisible; }

    int currentEntry = 0;  // the selected entry

    // Draws what changed now.
    void Repaint();
    // What the strip shows (its client area).
    const QImage& Surface() const;

protected:
    void OnPaint(CDC* dc);
    void OnLButtonDown(QPoint point);
    void OnLButtonDblClk(QPoint point);
    void OnHScroll(int action);

    bool viewportEvent(QEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    class Client;
    // The entry under client x, or -1 right of the last one.
    int EntryAt(int x) const;
    void CopyIntoDocument(int entry);

    EditingSession& m_session;
    CLibraryDlg* m_library;
    Client* m_client;
    int firstVisible = 0;
    std::vector<QImage> thumbnails;
};
