// Makes the pictures the editor shows of itself, rendered from its own
// textures: the splash picture (540 x 336, 8 bits per pixel) and the
// program's icon (64 x 64).
//
//   splashgen <splash.png> <icon.png>
#include <QBuffer>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>
#include <cstring>
#include <vector>

#include "engine/Eval.h"
#include "engine/Noise.h"
#include "engine/Presets.h"
#include "engine/Render.h"
#include "engine/SafeFile.h"

using namespace morvane;

namespace {

constexpr int kAgate = 7;

// The texture rendered top row first into an opaque image.
QImage RenderTexture(const Texture& texture, int width, int height)
{
    Texture t = texture;
    PrepareForRender(t);
    std::vector<uint8_t> bgr = RenderImage(t, width, height, kDisplayAllLayers, 0, true);
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = image.scanLine(y);
        std::memcpy(row, bgr.data() + static_cast<size_t>(y) * width * 4, static_cast<size_t>(width) * 4);
        for (int x = 0; x < width; ++x) row[x * 4 + 3] = 0xFF;
    }
    return image;
}

// Text with a dark shadow one pixel down and right, as the editor's own
// controls draw their captions.
void ShadowedText(QPainter& p, const QRect& box, int flags, const QString& text)
{
    p.setPen(QColor(32, 32, 32));
    p.drawText(box.translated(2, 2), flags, text);
    p.setPen(Qt::white);
    p.drawText(box, flags, text);
}

QImage Splash()
{
    const MaterialPresets& presets = MaterialPresetTable();
    Texture t = PresetTexture(presets, kMarble);
    QImage image = RenderTexture(t, 540, 336);

    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    // A darker band under the title keeps the letters legible on any part
    // of the marble.
    QLinearGradient band(0, 150, 0, 336);
    band.setColorAt(0.0, QColor(0, 0, 0, 0));
    band.setColorAt(0.35, QColor(0, 0, 0, 150));
    band.setColorAt(1.0, QColor(0, 0, 0, 190));
    p.fillRect(QRect(0, 150, 540, 186), band);

    QFont title(QStringLiteral("DejaVu Serif"));
    title.setPixelSize(72);
    title.setBold(true);
    p.setFont(title);
    ShadowedText(p, QRect(0, 170, 540, 90), Qt::AlignHCenter | Qt::AlignVCenter, QStringLiteral("Morvane"));

    QFont line(QStringLiteral("DejaVu Sans"));
    line.setPixelSize(20);
    p.setFont(line);
    ShadowedText(p, QRect(0, 255, 540, 30), Qt::AlignHCenter | Qt::AlignVCenter,
                 QStringLiteral("Procedural Texture Editor"));
    line.setPixelSize(14);
    p.setFont(line);
    ShadowedText(p, QRect(0, 300, 528, 26), Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("Version 4.0"));

    p.setPen(QColor(255, 255, 255, 160));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(0.5, 0.5, 539, 335));
    p.end();
    return image.convertToFormat(QImage::Format_Indexed8, Qt::DiffuseDither);
}

QImage Icon()
{
    const MaterialPresets& presets = MaterialPresetTable();
    QImage face = RenderTexture(PresetTexture(presets, kAgate), 64, 64);

    QImage icon(64, 64, QImage::Format_ARGB32_Premultiplied);
    icon.fill(Qt::transparent);
    QPainter p(&icon);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath tile;
    tile.addRoundedRect(QRectF(2, 2, 60, 60), 12, 12);
    p.setClipPath(tile);
    p.drawImage(0, 0, face);
    p.setClipping(false);
    p.setPen(QPen(QColor(40, 60, 40), 2));
    p.drawPath(tile);

    QFont letter(QStringLiteral("DejaVu Serif"));
    letter.setPixelSize(44);
    letter.setBold(true);
    p.setFont(letter);
    ShadowedText(p, QRect(0, 0, 64, 62), Qt::AlignCenter, QStringLiteral("M"));
    p.end();
    return icon;
}

bool WritePng(const QImage& image, const char* path)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) return false;
    const Result<> written =
        WriteFileReplacing(path, std::span(reinterpret_cast<const uint8_t*>(png.constData()), static_cast<size_t>(png.size())));
    if (!written.ok()) std::fprintf(stderr, "splashgen: cannot write %s: %s\n", path, written.error.c_str());
    return written.ok();
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: splashgen <splash.png> <icon.png>\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    NoiseInit();
    return WritePng(Splash(), argv[1]) && WritePng(Icon(), argv[2]) ? 0 : 1;
}
