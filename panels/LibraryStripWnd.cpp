#include "panels/LibraryStripWnd.h"

#include <QEvent>
#include <QScrollBar>

#include <new>

#include "engine/LibraryFile.h"
#include "media/LayerPicture.h"
#include "panels/LibraryDlg.h"
#include "platform/Dc.h"
#include "platform/EditingSession.h"
#include "platform/FileName.h"
#include "platform/UiDialogs.h"
#include "platform/Wnd.h"

using namespace morvane;

namespace {

constexpr QRgb kBlack = qRgb(0, 0, 0);

struct Bevel {
    QRgb outerTopLeft, outerBottomRight, innerTopLeft, innerBottomRight;
};
constexpr Bevel kSelected{qRgb(0, 0, 255), qRgb(0, 255, 255), qRgb(0, 0, 128), qRgb(0, 128, 255)};
constexpr Bevel kUnselected{qRgb(64, 64, 64), qRgb(255, 255, 255), qRgb(0, 0, 0), qRgb(192, 192, 192)};

// Two lines from the bottom-left corner: up and right in one colour,
// right and up in the other (ends excluded).
void DrawCorners(CDC* dc, int left, int top, int right, int bottom, QRgb topLeft, QRgb bottomRight)
{
    dc->SetPenColor(topLeft);
    dc->MoveTo({left, bottom});
    dc->LineTo({left, top});
    dc->LineTo({right, top});
    dc->SetPenColor(bottomRight);
    dc->MoveTo({left, bottom});
    dc->LineTo({right, bottom});
    dc->LineTo({right, top});
}

void DrawBevel(CDC* dc, int left, int top, int right, int bottom, const Bevel& b)
{
    DrawCorners(dc, left, top, right, bottom, b.outerTopLeft, b.outerBottomRight);
    DrawCorners(dc, left + 1, top + 1, right - 1, bottom - 1, b.innerTopLeft, b.innerBottomRight);
}

}  // namespace

// The client area: a control of its own that paints and takes the mouse
// for the strip.
class CLibraryStripWnd::Client : public CWnd {
public:
    explicit Client(CLibraryStripWnd* strip) : CWnd(strip), m_strip(strip) {}

protected:
    void OnPaint(CDC* dc) override { m_strip->OnPaint(dc); }
    void OnLButtonDown(QPoint point) override { m_strip->OnLButtonDown(point); }
    void OnLButtonDblClk(QPoint point) override { m_strip->OnLButtonDblClk(point); }

private:
    CLibraryStripWnd* m_strip;
};

CLibraryStripWnd::CLibraryStripWnd(EditingSession& session, CLibraryDlg* library, QWidget* parent)
    : QAbstractScrollArea(parent), m_session(session), m_library(library), m_client(new Client(this))
{
    setViewport(m_client);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QScrollBar* bar = horizontalScrollBar();
    bar->setRange(0, 0);
    bar->setSingleStep(1);
    bar->setPageStep(1);
    connect(bar, &QAbstractSlider::actionTriggered, this, &CLibraryStripWnd::OnHScroll);
}

const QImage& CLibraryStripWnd::Surface() const { return m_client->Surface(); }

void CLibraryStripWnd::Repaint()
{
    m_client->Invalidate();
    m_client->UpdateWindow();
}

// ---------------------------------------------------------------------------
// Thumbnails

void CLibraryStripWnd::RenderThumbnails(Texture& texture)
{
    const std::vector<uint8_t> bottomUp = RenderLibraryThumbnail(texture);
    constexpr int w = kLibraryThumbnailWidth;
    constexpr int h = kLibraryThumbnailHeight;
    QImage image(w, h, QImage::Format_RGB32);
    for (int r = 0; r < h; ++r) {
        const uint8_t* src = bottomUp.data() + static_cast<size_t>(r) * w * 4;
        auto* dst = reinterpret_cast<QRgb*>(image.scanLine(h - 1 - r));
        for (int c = 0; c < w; ++c) dst[c] = qRgb(src[4 * c + 2], src[4 * c + 1], src[4 * c]);
    }
    thumbnails.push_back(std::move(image));
}

void CLibraryStripWnd::RemoveThumbnail(int entry)
{
    if (entry >= 0 && entry < ThumbnailCount()) thumbnails.erase(thumbnails.begin() + entry);
}

void CLibraryStripWnd::ClearThumbnails()
{
    thumbnails.clear();
    currentEntry = 0;
    SetFirstVisible(0);
}

// ---------------------------------------------------------------------------
// Scrolling

void CLibraryStripWnd::SetScrollRange(int count) { horizontalScrollBar()->setRange(0, std::max(count - 1, 0)); }

void CLibraryStripWnd::SetFirstVisible(int entry)
{
    QScrollBar* bar = horizontalScrollBar();
    bar->setValue(entry);
    firstVisible = bar->value();
    m_client->Invalidate();
}

void CLibraryStripWnd::OnHScroll(int action)
{
    QScrollBar* bar = horizontalScrollBar();
    switch (action) {
    case QAbstractSlider::SliderMove:
        firstVisible = bar->sliderPosition();
        break;
    case QAbstractSlider::SliderToMinimum:
        firstVisible = bar->minimum();
        break;
    case QAbstractSlider::SliderToMaximum:
        firstVisible = bar->maximum();
        break;
    case QAbstractSlider::SliderSingleStepAdd:
        if (firstVisible < bar->maximum()) ++firstVisible;
        break;
    case QAbstractSlider::SliderSingleStepSub:
        if (firstVisible > bar->minimum()) --firstVisible;
        break;
    default:  // a click in the page area moves nothing
        break;
    }
    bar->setSliderPosition(firstVisible);
    m_client->Invalidate();
}

void CLibraryStripWnd::scrollContentsBy(int, int)
{
    firstVisible = horizontalScrollBar()->value();
    m_client->Invalidate();
}

bool CLibraryStripWnd::viewportEvent(QEvent* event)
{
    // The client control paints and takes the mouse itself; the wheel
    // still moves the scroll bar.
    switch (event->type()) {
    case QEvent::Paint:
    case QEvent::Resize:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
        return false;
    default:
        return QAbstractScrollArea::viewportEvent(event);
    }
}

// ---------------------------------------------------------------------------
// Painting and the mouse

void CLibraryStripWnd::OnPaint(CDC* dc)
{
    const int width = m_client->width();
    const int height = m_client->height();
    dc->FillRect(WinRect(0, 0, width, height - 1), kBlack);
    firstVisible = horizontalScrollBar()->value();

    for (int k = 0; kSlotWidth * k < width; ++k) {
        const int left = kSlotWidth * k;
        const Bevel& bevel = firstVisible + k == currentEntry ? kSelected : kUnselected;
        DrawBevel(dc, left, 0, left + kSlotWidth, height - 1, bevel);
    }
    for (int j = firstVisible; j < ThumbnailCount(); ++j) {
        const int left = kSlotWidth * (j - firstVisible);
        if (left >= width) break;
        dc->FillRect(WinRect(left + 2, 4, left + 52, 40), kBlack);
        const QImage& thumb = thumbnails[static_cast<size_t>(j)];
        dc->BitBlt({left + 2, 2}, thumb, thumb.rect());
    }
}

int CLibraryStripWnd::EntryAt(int x) const
{
    if (x < 0) return -1;
    const int entry = x / kSlotWidth + firstVisible;
    return entry < ThumbnailCount() ? entry : -1;
}

void CLibraryStripWnd::OnLButtonDown(QPoint point)
{
    const int entry = EntryAt(point.x());
    if (entry < 0 || entry == currentEntry) return;
    currentEntry = entry;
    Repaint();
}

void CLibraryStripWnd::OnLButtonDblClk(QPoint point)
{
    if (!m_session.Texture() || !m_session.View()) return;
    const int entry = EntryAt(point.x());
    if (entry < 0) return;
    currentEntry = entry;
    Repaint();
    CopyIntoDocument(entry);
}

void CLibraryStripWnd::CopyIntoDocument(int entry)
{
    const size_t i = static_cast<size_t>(entry);
    if (i >= m_library->textures.size()) return;
    // The library keeps no pictures: the copy loads them (a picture that
    // cannot be loaded is told; memory that runs out leaves the document as
    // it was).
    Texture copy = m_library->textures[i];
    try {
        LoadLayerPictures(copy, m_session.Ui().Teller());
    } catch (const std::bad_alloc&) {
        m_session.Ui().Message(QStringLiteral("Unable to copy \"%1\" into the document.\nThere is not enough memory "
                                              "for its pictures.")
                                   .arg(DisplayName(m_library->paths[i])));
        return;
    }
    // The document is the entry's texture now, not the file it came from:
    // it has no file, and its title is the entry's file name.
    const std::string name = LibraryEntryName(m_library->names[i]).substr(1);
    if (m_session.ReplaceTexture(copy, FileNameOf(name))) emit m_library->textureCopied();
}
