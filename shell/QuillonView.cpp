#include "shell/QuillonView.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPrinter>

#include <algorithm>
#include <new>
#include <vector>

#include "engine/Render.h"
#include "engine/TextureFile.h"
#include "platform/Dc.h"
#include "platform/UiDialogs.h"
#include "platform/EditingSession.h"
#include "platform/RenderGuard.h"
#include "platform/ScaledPick.h"
#include "shell/QuillonDoc.h"

namespace {

// Rows between two polls of the keyboard: about thirty polls a render.
int BandRows(int total) { return std::max(1, (total + 31) / 32); }

// Device pixels a printout renders and hands to the printer at a time.
constexpr int kPrintBandPixels = 1 << 22;

}  // namespace

CQuillonView::CQuillonView(EditingSession& session) : m_session(session)
{
    setObjectName(QStringLiteral("textureView"));
    connect(&m_session, &EditingSession::edited, this, [this](int, EditingSession::Changes what) {
        if (!(what & EditingSession::Image) || m_session.View() != this) return;
        Invalidate();
        UpdateWindow();
    });
}

CQuillonDoc* CQuillonView::GetDocument() const { return static_cast<CQuillonDoc*>(CView::GetDocument()); }

void CQuillonView::OnInitialUpdate()
{
    m_bPrinting = 0;
    m_bScrolled = 0;
    if (CQuillonDoc* doc = GetDocument()) SetScrollSizes(doc->m_sizeImage);
    CView::OnInitialUpdate();
}

void CQuillonView::OnScroll(bool, int) { m_bScrolled = 1; }

void CQuillonView::OnDraw(CDC* dc)
{
    CQuillonDoc* doc = GetDocument();
    if (!doc || doc->m_texture.layers.empty()) return;
    morvane::Texture& texture = doc->m_texture;

    const morvane::LayerRecord first = texture.layers[0].layer.rec;
    const int w = morvane::StoredImageWidth(first);
    const int h = morvane::StoredImageHeight(first);
    if (w <= 0 || h <= 0) return;

    // Only the part of the clip box that lies on the image is rendered;
    // the rest shows the window's background.
    const QRect clip = dc->GetClipBox() & QRect(0, 0, w, h);

    const bool progress = !m_bPrinting && !m_bScrolled;
    if (progress) emit renderProgress(0);
    morvane::PrepareForRender(texture);
    m_lastStopped = false;
    m_lastRows = 0;
    if (clip.isEmpty()) return;
    ++m_renderCount;

    const int displayMode = m_session.DisplayMode();
    const int current = m_session.CurrentLayer() - 1;

    const int cw = clip.width();
    const int ch = clip.height();
    // Without memory for the rows the part stays as it was, as after Escape.
    std::vector<uint8_t> buffer;
    try {
        buffer.assign(static_cast<size_t>(cw) * ch * 4, 0);
    } catch (const std::bad_alloc&) {
        m_lastStopped = true;
        return;
    }
    // Image row r is window row h - 1 - r: the lowest window row of the
    // clip box is the first image row rendered.
    const int firstRow = h - 1 - clip.bottom();
    const std::ptrdiff_t stride = static_cast<std::ptrdiff_t>(cw) * 4;

    std::unique_ptr<RenderGuard> guard;
    if (!RenderGuard::Active()) guard = std::make_unique<RenderGuard>();
    const int band = BandRows(ch);
    int lastProgress = 0;

    // Repainting the progress bar costs far more than a band of rows on a
    // fast machine: it moves at most every 40 ms (and at the end).
    QElapsedTimer sinceProgress;
    sinceProgress.start();
    morvane::RenderOptions options;
    options.rowDone = [&](const morvane::RenderProgress& p) {
        const bool bandDone = p.done % band == 0 || p.done == p.total;
        if (progress && bandDone && (p.done == p.total || sinceProgress.elapsed() >= 40)) {
            sinceProgress.restart();
            // The position of the image row just finished.
            const int value = static_cast<int>(1000LL * (firstRow + p.done - 1) / h);
            if (value > lastProgress) {
                lastProgress = value;
                emit renderProgress(value);
            }
        }
        if (guard && bandDone && p.done < p.total && guard->PollEscapeKey()) return false;
        return true;
    };
    const morvane::RenderResult result =
        morvane::RenderRect(texture, w, h, clip.left(), firstRow, cw, ch, displayMode, current,
                            buffer.data() + (ch - 1) * stride, -stride, options);
    m_lastStopped = !result.complete;
    m_lastRows = result.rowsRendered;
    if (progress && result.complete) {
        const int value = static_cast<int>(1000LL * (h - 1) / h);
        if (value > lastProgress) emit renderProgress(value);
    }

    dc->StretchDIBits(clip, QRect(0, 0, cw, ch), buffer.data(), cw, ch);
    guard.reset();
}

// ---------------------------------------------------------------------------
// Dragging

void CQuillonView::DrawDragLine()
{
    CDC* dc = GetDC();
    dc->SetROP2(R2_XORPEN);
    dc->SetPenColor(0xFFFFFFFFu);
    dc->MoveTo(m_ptDragStart);
    dc->LineTo(m_ptDragEnd);
    dc->SetROP2(R2_COPYPEN);
    ReleaseDC(dc);
}

void CQuillonView::OnLButtonDown(QPoint point)
{
    m_nDragButton = 0;
    m_ptDragStart = m_ptDragEnd = point;
    DrawDragLine();
    SetCapture();
}

void CQuillonView::OnMouseMove(QPoint point)
{
    if (!HasCapture()) return;
    if (m_nDragButton == 0) {
        DrawDragLine();
        m_ptDragEnd = point;
        DrawDragLine();
    } else if (m_nDragButton == 1) {
        m_ptDragEnd = point;
    }
}

void CQuillonView::OnLButtonUp(QPoint point)
{
    if (!HasCapture() || m_nDragButton != 0) return;
    m_ptDragEnd = point;
    DrawDragLine();
    ReleaseCapture();
    m_nDragButton = -1;
    if (m_ptDragEnd == m_ptDragStart) return;
    // The pattern follows the mouse.
    if (!m_session.MoveLayer(GetDocument(), m_ptDragStart, m_ptDragEnd)) return;
    GetDocument()->UpdateAllViews(this);
    Invalidate();
    UpdateWindow();
}

void CQuillonView::OnRButtonDown(QPoint point)
{
    m_nDragButton = 1;
    m_ptDragStart.setX(point.x());
    m_ptDragEnd.setX(point.x());
    SetCapture();
}

void CQuillonView::OnRButtonUp(QPoint point)
{
    if (!HasCapture() || m_nDragButton != 1) return;
    m_ptDragEnd.setX(point.x());
    ReleaseCapture();
    m_nDragButton = -1;
    if (m_ptDragEnd.x() == m_ptDragStart.x()) return;
    if (!m_session.TurnLayer(GetDocument(), m_ptDragStart.x(), m_ptDragEnd.x())) return;
    GetDocument()->UpdateAllViews(this);
    Invalidate();
    UpdateWindow();
}

void CQuillonView::OnLButtonDblClk(QPoint)
{
    Invalidate();
    UpdateWindow();
}

// ---------------------------------------------------------------------------
// Printing

void CQuillonView::PrintTo(QPrinter& printer)
{
    CQuillonDoc* doc = GetDocument();
    if (!doc) return;
    printer.setFromTo(1, 1);
    // The file or printer is the one chosen for this job; its name is this
    // document's.
    printer.setDocName(doc->ShownTitle());

    QPainter painter;
    if (!painter.begin(&printer)) return;
    const QString problem = PrintPage(painter);
    painter.end();
    if (!problem.isEmpty()) m_session.Ui().Message(problem);
}

QRectF CQuillonView::PrintHeader(QPainter& painter) const
{
    const QPaintDevice* device = painter.device();
    // Units of a hundredth of an inch, as the page header is measured.
    const double unit = device->logicalDpiY() / 100.0;
    QRectF area(0, 0, device->width(), device->height());

    // The title 25 units below the top, a rule below it, and the drawing
    // area starts under both.
    QFont font(QStringLiteral("Arial"), 12);
    painter.setFont(font);
    const QFontMetricsF metrics(painter.font(), painter.device());
    const double textHeight = metrics.height() / unit;
    painter.setPen(Qt::black);
    painter.drawText(QPointF(area.left(), area.top() + 25 * unit + metrics.ascent()),
                     GetDocument() ? GetDocument()->ShownTitle() : QString());
    const double ruleY = area.top() + (textHeight + 20) * unit;
    painter.drawLine(QPointF(area.left(), ruleY), QPointF(area.right(), ruleY));
    area.setTop(area.top() + (25 + textHeight + 20) * unit);
    return area;
}

QString CQuillonView::PrintPage(QPainter& painter)
{
    CQuillonDoc* doc = GetDocument();
    if (!doc) return {};
    m_bPrinting = 1;
    const QRectF area = PrintHeader(painter);

    // The image under the header: one image pixel per unit, smaller when
    // the page is too small for it.
    const double unit = painter.device()->logicalDpiY() / 100.0;
    const morvane::LayerRecord first = doc->m_texture.layers.empty() ? morvane::LayerRecord{}
                                                                     : doc->m_texture.layers[0].layer.rec;
    const QSize image(morvane::StoredImageWidth(first), morvane::StoredImageHeight(first));
    QString problem;
    if (!image.isEmpty()) {
        const double scale = std::min({unit, area.width() / image.width(), area.height() / image.height()});
        if (scale > 0 && !PrintImage(painter, image, QRectF(area.topLeft(), QSizeF(image) * scale)))
            problem = QStringLiteral("Unable to print \"%1\".\nThere is not enough memory for a picture of %2 x %3 pixels.")
                          .arg(doc->ShownTitle())
                          .arg(image.width())
                          .arg(image.height());
    }
    m_bPrinting = 0;
    return problem;
}

bool CQuillonView::PrintImage(QPainter& painter, QSize image, const QRectF& target)
{
    const QRect page(0, 0, painter.device()->width(), painter.device()->height());
    const ScaledPick pick = PickScaledPixels(image, target, page);
    if (pick.device.isEmpty()) return true;

    if (image.width() <= pick.device.width() && image.height() <= pick.device.height()) {
        // No larger than its place on the page: the texture is rendered at
        // one pixel per image pixel and the device scales that picture.
        QImage picture(image, QImage::Format_RGB32);
        if (picture.isNull()) return false;
        picture.fill(0xFFFFFFFFu);
        {
            CDC dc(picture);
            OnDraw(&dc);
        }
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        painter.drawImage(target, picture);
        return true;
    }

    // Larger: only the image pixels that scaling would show, each
    // evaluated at its own coordinates, in bands of device rows drawn one
    // to one, from the bottom up as the view renders.  Escape stops it; the
    // rest of the image stays black, as in the view.
    CQuillonDoc* doc = GetDocument();
    morvane::Texture& texture = doc->m_texture;
    morvane::PrepareForRender(texture);
    const int displayMode = m_session.DisplayMode();
    const int current = m_session.CurrentLayer() - 1;
    std::vector<float> u(pick.columns.size());
    for (size_t i = 0; i < u.size(); ++i)
        u[i] = static_cast<float>(pick.columns[i]) / static_cast<float>(image.width());

    std::unique_ptr<RenderGuard> guard;
    if (!RenderGuard::Active()) guard = std::make_unique<RenderGuard>();
    const QRect& device = pick.device;
    const int bandRows = std::max(1, kPrintBandPixels / device.width());
    m_lastStopped = false;
    m_lastRows = 0;
    ++m_renderCount;
    for (int bottom = device.height(); bottom > 0; bottom -= bandRows) {
        const int top = std::max(0, bottom - bandRows);
        // Band row j from the bottom shows the image row picked for it;
        // image row r has v = r / height.
        std::vector<float> v(static_cast<size_t>(bottom - top));
        for (size_t j = 0; j < v.size(); ++j) {
            const int shown = pick.rows[static_cast<size_t>(bottom) - 1 - j];
            v[j] = static_cast<float>(image.height() - 1 - shown) / static_cast<float>(image.height());
        }
        QImage band(device.width(), bottom - top, QImage::Format_RGB32);
        if (band.isNull()) return false;
        morvane::RenderOptions options;
        options.rowDone = [&](const morvane::RenderProgress& p) {
            return !(guard && p.done < p.total && p.done % 64 == 0 && guard->PollEscapeKey());
        };
        const morvane::RenderResult result =
            morvane::Render(texture, displayMode, current, u, v, band.scanLine(band.height() - 1),
                            -band.bytesPerLine(), options);
        m_lastRows += result.rowsRendered;
        MakeOpaque(band);
        painter.drawImage(QPoint(device.left(), device.top() + top), band);
        if (!result.complete) {
            m_lastStopped = true;
            painter.fillRect(QRect(device.left(), device.top(), device.width(), top), Qt::black);
            break;
        }
    }
    return true;
}

void CQuillonView::NameJob(QPrinter& printer) const
{
    // The printer is kept from job to job: each job takes the title of its
    // own document, and a printout into a file is offered a file named
    // after that document, in the folder of the last one.
    const QString title = GetDocument()->ShownTitle();
    printer.setDocName(title);
    const QString last = printer.outputFileName();
    if (last.isEmpty()) return;  // a printer, or a file the dialog names after the job
    QString name = BaseTitle(title);
    if (name.isEmpty()) name = QStringLiteral("print");
    printer.setOutputFileName(QFileInfo(last).dir().filePath(name + QStringLiteral(".pdf")));
}

void CQuillonView::OnFilePrint(QPrinter& printer)
{
    if (!GetDocument()) return;
    printer.setFromTo(1, 1);
    NameJob(printer);
    if (!m_session.Ui().PrintDialog(this, printer)) return;
    PrintTo(printer);
}

void CQuillonView::OnFilePrintPreview(QPrinter& printer)
{
    if (!GetDocument()) return;
    // The preview's window shows the job's name.
    NameJob(printer);
    m_session.Ui().PrintPreview(this, printer, [this](QPrinter* p) { PrintTo(*p); });
}
