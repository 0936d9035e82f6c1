// Which image pixel an unsmoothed scaled draw shows at each device pixel.
//
// QPainter::drawImage of a whole image into a target rectangle, without
// SmoothPixmapTransform and with no transformation of the painter, covers
// the device pixels of target.toRect() (within the clip) and gives each
// the image pixel found by stepping through the image in 16.16 fixed
// point: the step is (image pixels / target pixels) x 65536, truncated;
// the first device pixel's centre is mapped into the image, rounded up to
// the next 1/65536 and less one unit; a device pixel whose step would end
// past the image's last pixel is left out.  This is what Qt's raster
// engine does for target rectangles up to 32767 pixels a side (it takes
// another path beyond, whose picks can differ by one pixel).
//
// The printout renders just these pixels of a texture instead of the
// whole image: the same picture, for the cost of the page.
#pragma once

#include <QRect>
#include <QRectF>
#include <QSize>

#include <vector>

struct ScaledPick {
    QRect device;              // the device pixels the draw covers
    std::vector<int> columns;  // the image column shown in each column of `device`
    std::vector<int> rows;     // the image row (0 at the top) in each row of `device`
};

// The pixels a draw of an image of `image` pixels into `target` (device
// pixels) shows within `clip`; empty when it shows none.
ScaledPick PickScaledPixels(QSize image, const QRectF& target, const QRect& clip);
