#include <QAbstractItemView>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QKeyEvent>
#include <QPainter>
#include <QPrinter>
#include <QScrollBar>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <cstring>

#include "ShellFixture.h"
#include "panels/KeyFrameDlg.h"
#include "support/AddressSpaceLimit.h"
#include "support/PeakMemory.h"

using namespace morvane;
using namespace morvane::test;

class TextureView : public ShellTest {};

TEST_F(TextureView, PixelsAreTheRenderersBytes)
{
    Start();
    // The new document's Marble.
    const std::vector<uint8_t> marble = RenderImage(Doc()->m_texture, 160, 120, 0, 0, true);
    EXPECT_TRUE(SurfaceEquals(View()->Surface(), marble, 160, 120));

    // A three-layer texture.
    UseTexture(ThreeLayers(160, 120));
    const std::vector<uint8_t> three = RenderImage(Doc()->m_texture, 160, 120, 0, 0, true);
    EXPECT_TRUE(SurfaceEquals(View()->Surface(), three, 160, 120));
    EXPECT_NE(marble, three);
    // Top-left of the window is the image's top row (v = 119 / 120).
    std::vector<float> u{0.0f}, v{119.0f / 120.0f};
    uint8_t px[4];
    Render(Doc()->m_texture, 0, 0, u, v, px, 4);
    ExpectPixel(View()->Surface(), 0, 0, px);

    // What the window shows is the surface.
    const QImage shown = View()->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(shown.pixel(17, 93), View()->Surface().pixel(17, 93));

    // Display mode and current layer come from the command panel.
    Session().SetDisplayMode(2);
    Session().SetCurrentLayer(3);
    View()->Invalidate();
    View()->UpdateWindow();
    EXPECT_TRUE(SurfaceEquals(View()->Surface(), RenderImage(Doc()->m_texture, 160, 120, 2, 2, true), 160, 120));
}

TEST_F(TextureView, AWindowLargerThanTheImageShowsItsBackgroundAround)
{
    Start();
    CChildFrame* child = Frame()->ActiveChildFrame();
    child->resize(child->FrameSizeForClient(QSize(300, 200)));
    DrainEvents();
    ASSERT_EQ(View()->ClientSize(), QSize(300, 200));
    View()->Invalidate();
    View()->UpdateWindow();
    const QImage& s = View()->Surface();
    EXPECT_TRUE(SurfaceEquals(s, RenderImage(Doc()->m_texture, 160, 120, 0, 0, true), 160, 120));
    EXPECT_EQ(s.pixel(160, 0), 0xFFFFFFFFu);
    EXPECT_EQ(s.pixel(299, 199), 0xFFFFFFFFu);
    EXPECT_EQ(s.pixel(0, 120), 0xFFFFFFFFu);
}

TEST_F(TextureView, EscapeKeepsTheRenderedBottomRowsAndBlackAbove)
{
    Start();
    UseTexture(ThreeLayers(320, 240));
    CQuillonView* view = View();
    ASSERT_EQ(view->ClientSize(), QSize(320, 240));
    const std::vector<uint8_t> full = RenderImage(Doc()->m_texture, 320, 240, 0, 0, true);

    // Escape is waiting when the render starts: it is seen at the first
    // poll, after the first band of rows.  On a busy machine the other
    // threads can finish every row before the drawing thread polls once;
    // such a render is complete, so try again.
    for (int attempt = 0; attempt < 5 && !view->LastRenderStopped(); ++attempt) {
        QCoreApplication::postEvent(view, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
        view->Invalidate();
        view->UpdateWindow();
    }
    ASSERT_TRUE(view->LastRenderStopped());
    const int rows = view->LastRenderRows();
    EXPECT_GT(rows, 0);
    EXPECT_LT(rows, 240);
    const QImage& s = view->Surface();
    for (int y = 0; y < 240; ++y) {
        for (int x = 0; x < 320; x += 7) {
            const QRgb p = s.pixel(x, y);
            if (y >= 240 - rows) {
                const uint8_t* b = full.data() + (static_cast<size_t>(y) * 320 + x) * 4;
                ASSERT_EQ(qBlue(p), b[0]);
                ASSERT_EQ(qGreen(p), b[1]);
                ASSERT_EQ(qRed(p), b[2]);
            } else {
                ASSERT_EQ(p & 0xFFFFFFu, 0u) << x << "," << y;
            }
        }
    }
    // The next paint renders everything again.
    view->Invalidate();
    view->UpdateWindow();
    EXPECT_FALSE(view->LastRenderStopped());
    EXPECT_TRUE(SurfaceEquals(view->Surface(), full, 320, 240));
}

TEST_F(TextureView, ProgressBarFollowsTheRenderUntilScrolled)
{
    Start();
    QProgressBar* bar = Frame()->m_pCommandPanel->progressBar;
    bar->setValue(0);
    View()->Invalidate();
    View()->UpdateWindow();
    EXPECT_EQ(bar->maximum(), 1000);
    EXPECT_EQ(bar->value(), 1000 * 119 / 120);
    // After the user scrolls, renders leave the bar alone.
    bar->setValue(5);
    View()->m_bScrolled = 1;
    View()->Invalidate();
    View()->UpdateWindow();
    EXPECT_EQ(bar->value(), 5);
}

TEST_F(TextureView, ScrollingStopsDrivingTheProgressBar)
{
    Start();
    UseTexture(ThreeLayers(320, 240));
    CChildFrame* child = Frame()->ActiveChildFrame();
    child->resize(child->FrameSizeForClient(QSize(200, 150)));
    DrainEvents();
    CQuillonView* view = View();
    EXPECT_EQ(view->m_bScrolled, 0);
    view->verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    DrainEvents();
    EXPECT_EQ(view->m_bScrolled, 1);
    // The scrolled view still shows the image where it now lies.
    const std::vector<uint8_t> full = RenderImage(Doc()->m_texture, 320, 240, 0, 0, true);
    const QPoint at = view->GetScrollPosition();
    ASSERT_GT(at.y(), 0);
    const QSize client = view->ClientSize();
    for (int y = 0; y < client.height(); y += 5)
        for (int x = 0; x < client.width(); x += 5)
            ExpectPixel(view->Surface(), x, y, full.data() + ((size_t(y + at.y()) * 320) + x + at.x()) * 4);
    // A fresh document view starts unscrolled again.
    view->OnInitialUpdate();
    EXPECT_EQ(view->m_bScrolled, 0);
}

TEST_F(TextureView, DragsMoveAndTurnTheCurrentLayer)
{
    Start();
    CQuillonView* view = View();
    QWidget* vp = view->viewport();
    Layer& layer = Doc()->m_texture.layers[0].layer;
    const int renders = view->RenderCount();

    // A click without movement changes nothing and renders nothing.
    QTest::mouseClick(vp, Qt::LeftButton, {}, QPoint(40, 40));
    DrainEvents();
    EXPECT_EQ(+layer.rec.offsetX, 0.0f);
    EXPECT_EQ(+layer.rec.offsetY, 0.0f);
    EXPECT_EQ(view->RenderCount(), renders);
    EXPECT_FALSE(Doc()->IsModified());

    // During a left drag the XOR line shows; it goes when the button is up.
    const QImage before = view->Surface().copy();
    QTest::mousePress(vp, Qt::LeftButton, {}, QPoint(40, 40));
    QTest::mouseMove(vp, QPoint(56, 40));
    EXPECT_NE(view->Surface(), before);
    QRgb a = before.pixel(45, 40), b = view->Surface().pixel(45, 40);
    EXPECT_EQ(a ^ b, 0x00FFFFFFu);
    QTest::mouseMove(vp, QPoint(56, 52));
    EXPECT_EQ(view->Surface().pixel(45, 40), before.pixel(45, 40));  // the old line is gone
    QTest::mouseRelease(vp, Qt::LeftButton, {}, QPoint(56, 52));
    // 16 pixels right on a 160-wide layer, 12 down on a 120-high one.
    EXPECT_FLOAT_EQ(+layer.rec.offsetX, -0.1f);
    EXPECT_FLOAT_EQ(+layer.rec.offsetY, 0.1f);
    EXPECT_EQ(view->RenderCount(), renders + 1);
    EXPECT_TRUE(Doc()->IsModified());
    EXPECT_TRUE(SurfaceEquals(view->Surface(), RenderImage(Doc()->m_texture, 160, 120, 0, 0, true), 160, 120));

    // A right drag of 180 pixels to the right turns by -0.25.
    QTest::mousePress(vp, Qt::RightButton, {}, QPoint(10, 60));
    QTest::mouseMove(vp, QPoint(100, 60));
    QTest::mouseRelease(vp, Qt::RightButton, {}, QPoint(190, 60));
    EXPECT_FLOAT_EQ(Doc()->m_texture.layers[0].orientation, -0.25f);
    EXPECT_EQ(view->RenderCount(), renders + 2);

    // A button released without its own drag does nothing.
    QTest::mouseRelease(vp, Qt::RightButton, {}, QPoint(0, 60));
    QTest::mouseRelease(vp, Qt::LeftButton, {}, QPoint(0, 0));
    EXPECT_FLOAT_EQ(Doc()->m_texture.layers[0].orientation, -0.25f);
    EXPECT_FLOAT_EQ(+layer.rec.offsetX, -0.1f);

    // A double click renders again at once.
    QTest::mouseDClick(vp, Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_EQ(view->RenderCount(), renders + 3);
    EXPECT_FLOAT_EQ(+layer.rec.offsetX, -0.1f);
}

TEST_F(TextureView, ADragOfAnAnimatedLayerMovesItsCurrentKeyToo)
{
    Start();
    Texture texture = ThreeLayers(160, 120);
    Layer& animated = texture.layers[0].layer;
    animated.rec.animated = 1;
    animated.rec.duration = 4.0f;
    animated.keys = {MakeKey(animated), MakeKey(animated), MakeKey(animated)};
    animated.keys[1].rec.time = 0.5f;
    animated.keys[2].rec.time = 1.0f;
    animated.rec.keyCount = 3;
    UseTexture(std::move(texture));
    Frame()->ShowTextureInPanels();
    // Key 1 current, as a click on its mark makes it.
    Frame()->m_pKeyFramePanel->ShowKey(1, 2.0f);
    const Layer& layer = Doc()->m_texture.layers[0].layer;
    const KeyframeRecord before0 = layer.keys[0].rec, before2 = layer.keys[2].rec;

    QWidget* vp = View()->viewport();
    QTest::mousePress(vp, Qt::LeftButton, {}, QPoint(40, 40));
    QTest::mouseMove(vp, QPoint(56, 52));
    QTest::mouseRelease(vp, Qt::LeftButton, {}, QPoint(56, 52));
    ASSERT_FLOAT_EQ(+layer.rec.offsetX, -0.1f);
    ASSERT_FLOAT_EQ(+layer.rec.offsetY, 0.1f);
    EXPECT_EQ(+layer.keys[1].rec.offsetX, +layer.rec.offsetX);
    EXPECT_EQ(+layer.keys[1].rec.offsetY, +layer.rec.offsetY);
    // The other keys keep their places.
    EXPECT_EQ(std::memcmp(&layer.keys[0].rec, &before0, sizeof before0), 0);
    EXPECT_EQ(std::memcmp(&layer.keys[2].rec, &before2, sizeof before2), 0);
}

TEST_F(TextureView, EveryViewOfTheDocumentShowsTheEditedTexture)
{
    Start();
    CQuillonView* first = View();
    Frame()->SendCommand(ID_WINDOW_NEW);
    DrainEvents();
    CQuillonView* second = View();
    ASSERT_NE(first, second);
    ASSERT_EQ(first->ClientSize(), second->ClientSize());
    auto bothShowTheTexture = [&] {
        const std::vector<uint8_t> texture = RenderImage(Doc()->m_texture, 160, 120, 0, 0, true);
        return SurfaceEquals(first->Surface(), texture, 160, 120) && SurfaceEquals(second->Surface(), texture, 160, 120);
    };

    // Wood chosen in the material list while the second view is active.
    QComboBox* materials = Frame()->m_pCommandPanel->materialCombo;
    QTest::mouseClick(materials, Qt::LeftButton);
    DrainEvents();
    QTest::keyClick(materials->view(), Qt::Key_Down);
    QTest::keyClick(materials->view(), Qt::Key_Return);
    DrainEvents();
    ASSERT_EQ(+Doc()->m_texture.layers[0].layer.rec.material, 2);
    EXPECT_TRUE(bothShowTheTexture());

    // A drag in the first view moves the layer in the second one too.
    first->GetParentFrame()->ActivateFrame();
    DrainEvents();
    QTest::mousePress(first->viewport(), Qt::LeftButton, {}, QPoint(40, 40));
    QTest::mouseMove(first->viewport(), QPoint(70, 50));
    QTest::mouseRelease(first->viewport(), Qt::LeftButton, {}, QPoint(70, 50));
    DrainEvents();
    ASSERT_NE(+Doc()->m_texture.layers[0].layer.rec.offsetX, 0.0f);
    EXPECT_TRUE(bothShowTheTexture());
    // And a right drag turns it there.
    QTest::mousePress(first->viewport(), Qt::RightButton, {}, QPoint(10, 60));
    QTest::mouseRelease(first->viewport(), Qt::RightButton, {}, QPoint(100, 60));
    DrainEvents();
    ASSERT_NE(+Doc()->m_texture.layers[0].orientation, 0.0f);
    EXPECT_TRUE(bothShowTheTexture());
}

TEST_F(TextureView, MouseDuringARenderWaitsForItsEnd)
{
    Start();
    UseTexture(ThreeLayers(320, 240));
    CQuillonView* view = View();
    QWidget* vp = view->viewport();
    Layer& layer = Doc()->m_texture.layers[0].layer;
    // A whole drag arrives while the view renders: it is handled after.
    QCoreApplication::postEvent(vp, new QMouseEvent(QEvent::MouseButtonPress, QPointF(40, 40), QPointF(40, 40),
                                                     Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
    QCoreApplication::postEvent(vp, new QMouseEvent(QEvent::MouseButtonRelease, QPointF(72, 40), QPointF(72, 40),
                                                     Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
    const int renders = view->RenderCount();
    view->Invalidate();
    view->UpdateWindow();
    EXPECT_EQ(view->RenderCount(), renders + 1);
    EXPECT_FALSE(view->LastRenderStopped());
    EXPECT_EQ(+layer.rec.offsetX, 0.0f);  // not yet
    DrainEvents();
    EXPECT_FLOAT_EQ(+layer.rec.offsetX, -0.1f);  // 32 of 320 pixels
}

TEST_F(TextureView, PrintsTitleAndImageToPdf)
{
    Start();
    const QString pdf = Path("page.pdf");
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    View()->PrintTo(printer);
    EXPECT_EQ(View()->m_bPrinting, 0);
    ASSERT_TRUE(QFileInfo::exists(pdf));

    QProcess text;
    text.start("pdftotext", {pdf, "-"});
    ASSERT_TRUE(text.waitForFinished(20000));
    EXPECT_TRUE(QString::fromUtf8(text.readAllStandardOutput()).contains("Quillo1"));

    // At 100 dots per inch the image is 160 x 120 dots under the header.
    QProcess raster;
    raster.start("pdftoppm", {"-r", "100", "-png", "-singlefile", pdf, Path("page")});
    ASSERT_TRUE(raster.waitForFinished(20000));
    QImage page(Path("page.png"));
    ASSERT_FALSE(page.isNull());
    page = page.convertToFormat(QImage::Format_RGB32);
    // The image is the largest block of non-white rows and columns below
    // the rule.
    int top = -1, bottom = -1, left = page.width(), right = -1;
    for (int y = 0; y < page.height(); ++y) {
        int count = 0, first = -1, last = -1;
        for (int x = 0; x < page.width(); ++x) {
            if ((page.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF) {
                ++count;
                if (first < 0) first = x;
                last = x;
            }
        }
        if (count > 100 && last - first < 200) {  // image rows, not the rule
            if (top < 0) top = y;
            bottom = y;
            left = std::min(left, first);
            right = std::max(right, last);
        }
    }
    ASSERT_GE(top, 0);
    EXPECT_NEAR(bottom - top + 1, 120, 2);
    EXPECT_NEAR(right - left + 1, 160, 2);
    // Its colours are the texture's (compare the averages).
    const std::vector<uint8_t> img = RenderImage(Doc()->m_texture, 160, 120, 0, 0, true);
    double want[3] = {0, 0, 0}, got[3] = {0, 0, 0};
    for (size_t i = 0; i < img.size(); i += 4)
        for (int c = 0; c < 3; ++c) want[c] += img[i + c];
    int n = 0;
    for (int y = top + 2; y <= bottom - 2; ++y)
        for (int x = left + 2; x <= right - 2; ++x, ++n) {
            const QRgb p = page.pixel(x, y);
            got[0] += qBlue(p);
            got[1] += qGreen(p);
            got[2] += qRed(p);
        }
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(got[c] / n, want[c] / (160 * 120), 6.0) << c;
    // The title stands above the image.
    bool ink = false;
    for (int y = 0; y < top - 5 && !ink; ++y)
        for (int x = left; x < left + 60 && !ink; ++x) ink = (page.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF;
    EXPECT_TRUE(ink);
}

// A printed page is the page printing drew before it rendered only what
// the page shows: the header, then the whole image rendered and scaled
// onto the page without smoothing.  Pages of 300 dots per inch grow a
// small image; those of 50 and 72 shrink it, and one of 100 shrinks an
// image larger than the page.
TEST_F(TextureView, APrintedPageIsTheWholeImageScaledWithoutSmoothing)
{
    Start();
    struct Case {
        QSize image;
        int dpi;
    };
    const Case cases[] = {{{160, 120}, 300}, {{160, 120}, 50}, {{333, 251}, 72}, {{1200, 1500}, 100}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.image.width() << "x" << c.image.height() << " at " << c.dpi);
        UseTexture(ThreeLayers(c.image.width(), c.image.height()));
        // A letter page of 8.5 x 11 inches.
        QImage page(c.dpi * 85 / 10, c.dpi * 11, QImage::Format_RGB32);
        page.setDotsPerMeterX(qRound(c.dpi / 0.0254));
        page.setDotsPerMeterY(qRound(c.dpi / 0.0254));
        page.fill(0xFFFFFFFFu);
        QImage before = page;
        {
            QPainter painter(&page);
            View()->PrintPage(painter);
        }
        QRectF area;
        {
            QPainter painter(&before);
            area = View()->PrintHeader(painter);
            const double scale = std::min({c.dpi / 100.0, area.width() / c.image.width(), area.height() / c.image.height()});
            const std::vector<uint8_t> bytes = RenderImage(Doc()->m_texture, c.image.width(), c.image.height(), 0, 0, true);
            QImage whole = QImage(bytes.data(), c.image.width(), c.image.height(), QImage::Format_RGB32).copy();
            for (int y = 0; y < whole.height(); ++y)
                for (int x = 0; x < whole.width(); ++x) whole.setPixel(x, y, whole.pixel(x, y) | 0xFF000000u);
            painter.drawImage(QRectF(area.topLeft(), QSizeF(c.image) * scale), whole);
        }
        EXPECT_TRUE(page == before);
        // The image is there, just under the header.
        const QPoint corner = area.topLeft().toPoint() + QPoint(2, 2);
        EXPECT_NE(page.pixel(corner), 0xFFFFFFFFu);
    }
}

// Escape stops the printout's render as it stops the view's: the rows
// rendered so far are at the bottom, the image above them black.
TEST_F(TextureView, EscapeStopsAPrintoutWithTheImageBlackAboveTheRenderedRows)
{
    Start();
    // A letter page at 300 dots per inch: the image takes several bands.
    UseTexture(ThreeLayers(3000, 4000));
    QImage page(2550, 3300, QImage::Format_RGB32);
    page.setDotsPerMeterX(qRound(300 / 0.0254));
    page.setDotsPerMeterY(qRound(300 / 0.0254));
    for (int attempt = 0; attempt < 5 && !View()->LastRenderStopped(); ++attempt) {
        page.fill(0xFFFFFFFFu);
        QCoreApplication::postEvent(View(), new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
        QPainter painter(&page);
        View()->PrintPage(painter);
    }
    ASSERT_TRUE(View()->LastRenderStopped());
    QRectF area;
    {
        QImage header = page;
        QPainter painter(&header);
        area = View()->PrintHeader(painter);
    }
    // The image is shrunk to the area's height, at its left.
    const int top = qRound(area.top()) + 1, bottom = qRound(area.bottom()) - 2, x = qRound(area.left()) + 5;
    EXPECT_EQ(page.pixel(x, top), 0xFF000000u);
    EXPECT_NE(page.pixel(x, bottom), 0xFF000000u);
    EXPECT_NE(page.pixel(x, bottom), 0xFFFFFFFFu);
}

// A texture of 65500 x 40000 printed to PDF through the print dialog:
// only the page's pixels are rendered and handed to the printer.
TEST_F(TextureView, AHugeImagePrintsWithinThePagesMemory)
{
    Start();
    Texture huge = ThreeLayers(160, 120);
    for (LayerSlot& slot : huge.layers) {
        slot.layer.rec.width = static_cast<int16_t>(static_cast<uint16_t>(65500));
        slot.layer.rec.height = static_cast<int16_t>(static_cast<uint16_t>(40000));
    }
    UseTexture(std::move(huge));
    const QString pdf = Path("huge.pdf");
    QPrinter& printer = m_app->Printer();
    Ui().printAnswers = {true};
    Ui().printFiles = {pdf};
    // A printer of 150 dots per inch keeps the render short; the page's
    // pixels, not the image's, decide the memory.
    printer.setResolution(150);
    const uint64_t extra = PeakExtraBytes([&] { Frame()->SendCommand(ID_FILE_PRINT); });
    EXPECT_LT(extra, uint64_t(256) << 20);

    // The images in the file: bands as wide as the image's place on the
    // page, together no more pixels than the page has.
    QProcess list;
    list.start("pdfimages", {"-list", pdf});
    ASSERT_TRUE(list.waitForFinished(60000));
    const QStringList lines = QString::fromUtf8(list.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    ASSERT_GT(lines.size(), 2);
    int64_t pixels = 0;
    for (int i = 2; i < lines.size(); ++i) {
        const QStringList f = lines[i].simplified().split(' ');
        ASSERT_GT(f.size(), 4);
        pixels += f[3].toLongLong() * f[4].toLongLong();
        EXPECT_LE(f[3].toInt(), printer.width());
    }
    EXPECT_GT(pixels, 0);
    EXPECT_LE(pixels, int64_t(printer.width()) * printer.height());
}

TEST_F(TextureView, PrintCommandsGoThroughThePrinterDialogs)
{
    Start();
    const QString pdf = Path("cmd.pdf");
    Ui().printAnswers = {false};
    Ui().printFiles = {pdf};
    Frame()->SendCommand(ID_FILE_PRINT);
    EXPECT_EQ(Ui().printDialogs, 1);
    EXPECT_FALSE(QFileInfo::exists(pdf));
    Ui().printAnswers = {true};
    Frame()->SendCommand(ID_FILE_PRINT);
    EXPECT_TRUE(QFileInfo::exists(pdf));
    Frame()->SendCommand(ID_FILE_PRINT_PREVIEW);
    EXPECT_EQ(Ui().previews, 1);
    Frame()->SendCommand(ID_FILE_PRINT_SETUP);
    EXPECT_EQ(Ui().pageSetups, 1);
}

// The program keeps one printer from job to job: a preview or a printout
// of one document after another is named after its own document, and a
// printout into a file is offered a file of its own document's name, so
// that the file made for another texture is never written over unnoticed.
TEST_F(TextureView, EachPrintJobIsNamedAfterTheDocumentItPrints)
{
    Start();
    CQuillonDoc* untitled = Doc();
    ASSERT_EQ(WriteTextureFile(Path("marble.zyv").toStdString(), ThreeLayers(40, 30)).error, "");
    ASSERT_EQ(WriteTextureFile(Path("brick.zyv").toStdString(), ThreeLayers(40, 30)).error, "");
    CQuillonDoc* marble = m_app->OpenDocumentFile(Path("marble.zyv"));
    CQuillonDoc* brick = m_app->OpenDocumentFile(Path("brick.zyv"));
    ASSERT_TRUE(marble && brick);
    auto activate = [&](CQuillonDoc* doc) {
        doc->Views().front()->GetParentFrame()->ActivateFrame();
        DrainEvents();
        ASSERT_EQ(Doc(), doc);
    };
    auto lastJob = [&] {
        EXPECT_FALSE(Ui().printJobs.empty());
        return Ui().printJobs.empty() ? ScriptedDialogs::PrintJob{} : Ui().printJobs.back();
    };
    auto pdfText = [](const QString& tool, const QString& pdf) {
        QProcess p;
        p.start(tool, tool == "pdftotext" ? QStringList{pdf, "-"} : QStringList{pdf});
        EXPECT_TRUE(p.waitForFinished(20000));
        return QString::fromUtf8(p.readAllStandardOutput());
    };

    // Previews of brick, then marble, then the untitled document.
    Ui().paintPreview = false;
    Frame()->SendCommand(ID_FILE_PRINT_PREVIEW);
    EXPECT_EQ(lastJob().docName.toStdString(), "brick.zyv");
    activate(marble);
    Frame()->SendCommand(ID_FILE_PRINT_PREVIEW);
    EXPECT_EQ(lastJob().docName.toStdString(), "marble.zyv");
    activate(untitled);
    Frame()->SendCommand(ID_FILE_PRINT_PREVIEW);
    EXPECT_EQ(lastJob().docName.toStdString(), "Quillo1");

    // brick printed into the file its user picks: the file takes brick's
    // page and name.
    QDir(m_dir.path()).mkdir("prints");
    const QString brickPdf = Path("prints/brick.pdf");
    activate(brick);
    Ui().printAnswers = {true};
    Ui().printFiles = {brickPdf};
    Frame()->SendCommand(ID_FILE_PRINT);
    EXPECT_EQ(lastJob().docName.toStdString(), "brick.zyv");
    ASSERT_TRUE(QFileInfo::exists(brickPdf));
    EXPECT_TRUE(pdfText("pdfinfo", brickPdf).contains(QRegularExpression("Title: +brick.zyv\n")));
    const QByteArray brickBytes = Contents(brickPdf);

    // Then marble, accepted as offered: the offer is marble.pdf beside
    // brick's, which stays as it was.
    activate(marble);
    Ui().printAnswers = {true};
    Frame()->SendCommand(ID_FILE_PRINT);
    EXPECT_EQ(lastJob().docName.toStdString(), "marble.zyv");
    EXPECT_EQ(lastJob().outputFile.toStdString(), Path("prints/marble.pdf").toStdString());
    const QString marblePdf = Path("prints/marble.pdf");
    ASSERT_TRUE(QFileInfo::exists(marblePdf));
    EXPECT_TRUE(pdfText("pdfinfo", marblePdf).contains(QRegularExpression("Title: +marble.zyv\n")));
    EXPECT_TRUE(pdfText("pdftotext", marblePdf).contains("marble.zyv"));
    EXPECT_EQ(Contents(brickPdf), brickBytes);
}

// Four lit relief layers whose lights a second scaling to unit length would
// move by one unit in the last place: however often the view draws, it
// shows what texturetool draws from the file Save writes.
TEST_F(TextureView, RedrawnManyTimesTheViewShowsTheSavedFilesRender)
{
    Start();
    Texture t = ThreeLayers(320, 240);
    t.layers.push_back(t.layers[1]);
    const float lights[4][3] = {{-1.0f, -1.0f, 0.5f}, {-1.0f, -0.8f, 1.0f}, {-1.0f, -0.2f, 0.8f}, {-1.0f, -0.6f, 1.4f}};
    for (size_t i = 0; i < t.layers.size(); ++i) {
        LayerRecord& r = t.layers[i].layer.rec;
        r.relief = static_cast<int8_t>(i + 1);
        r.reliefIntensity = 2.0f;
        r.lightDirX = lights[i][0];
        r.lightDirY = lights[i][1];
        r.lightDirZ = lights[i][2];
        r.brillianceR = r.brillianceG = r.brillianceB = 150.0f;
    }
    UseTexture(std::move(t));
    for (int draw = 0; draw < 4; ++draw) {
        View()->Invalidate();
        View()->UpdateWindow();
        const QString file = Path(QStringLiteral("drawn%1.zyv").arg(draw));
        ASSERT_EQ(WriteTextureFile(file.toStdString(), Doc()->m_texture).error, "");
        const QImage tool = ToolRender(file, Path("drawn.ppm"));
        ASSERT_EQ(tool.size(), QSize(320, 240));
        EXPECT_EQ(DifferingPixels(View()->Surface(), tool, QSize(320, 240)), 0) << "after " << draw + 1 << " draws";
    }
}

// An image that the page shows no smaller than itself (8000 x 8000 pixels
// on a page of 1200 dots per inch) is rendered whole: without the memory
// for it the user is told and the page holds the title alone.
TEST_F(TextureView, PrintingAnImageThereIsNoMemoryForIsTold)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer maps terabytes of shadow memory: the address space cannot be limited";
#else
    Start();
    UseTexture(ThreeLayers(8000, 8000));  // 256 MB of pixels
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(Path("page.pdf"));
    {
        const AddressSpaceLimit limit(uint64_t(128) << 20);
        ASSERT_TRUE(limit.ok());
        View()->PrintTo(printer);
    }
    EXPECT_EQ(View()->m_bPrinting, 0);
    ASSERT_EQ(Ui().messages.size(), 1u);
    EXPECT_EQ(Ui().messages[0].text.toStdString(),
              "Unable to print \"Quillo1\".\nThere is not enough memory for a picture of 8000 x 8000 pixels.");
#endif
}
