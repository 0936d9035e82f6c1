// Printing a texture far larger than the page: seconds and peak memory of
// printing the 65500 x 40000 three-layer texture (Marble, Granite, Wood) to
// PDF through the application's printer (1200 dots per inch unless a
// resolution is given as the first argument), and the pixels rendered,
// against those of the page.  Runs on the offscreen platform unless
// another is chosen.
#include <sys/resource.h>

#include <QElapsedTimer>
#include <QFileInfo>
#include <QPrinter>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

#include "StartedEditor.h"
#include "engine/Render.h"

using namespace morvane;

namespace {

long PeakMegabytes()
{
    struct rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

}  // namespace

int main(int argc, char** argv)
{
    const int resolution = argc > 1 ? std::atoi(argv[1]) : 0;
    return bench::RunWithEditor(argc, argv, [resolution](bench::StartedEditor& editor) {
        // Sizes above 32767 are stored as their 16 bits.
        editor.doc->m_texture = test::ThreeLayers(65500, 40000);
        editor.doc->m_sizeImage = QSize(65500, 40000);
        editor.app.FitActiveFrame();
        QCoreApplication::processEvents();
        const long before = PeakMegabytes();

        QTemporaryDir dir;
        QPrinter& printer = editor.app.Printer();
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.path() + "/huge.pdf");
        if (resolution > 0) printer.setResolution(resolution);
        QElapsedTimer timer;
        timer.start();
        editor.view->PrintTo(printer);
        const double seconds = timer.nsecsElapsed() / 1e9;
        const QFileInfo pdf(dir.path() + "/huge.pdf");

        std::printf("65500 x 40000, three layers, printed to PDF at %d dots per inch (page %d x %d pixels)\n",
                    printer.resolution(), printer.width(), printer.height());
        std::printf("  seconds:                  %8.2f  (%d render threads)\n", seconds, HardwareThreads());
        std::printf("  peak memory:              %8ld MB  (%ld MB before printing)\n", PeakMegabytes(), before);
        std::printf("  file:                     %8.1f MB\n", pdf.size() / 1048576.0);
        return 0;
    });
}
