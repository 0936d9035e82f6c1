#include "platform/ScaledPick.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "engine/FloatInt.h"

namespace {

// One axis: the image pixel shown in each of `count` device pixels from
// `first` on, for a draw of `source` image pixels over device pixels
// start .. start + length.  The last device pixel goes when rounding made
// it reach past the image; `count` then tells one less.
std::vector<int> PickAxis(double start, double length, int source, int first, int& count)
{
    const double step = source / length;
    // Each in an int, as the draw keeps them: a first position past image
    // pixel 32767 does not fit and stays at the int's largest value.
    const auto fixedStep = static_cast<uint32_t>(morvane::SatTrunc(0x10000 * step));
    const auto at = static_cast<uint32_t>(morvane::SatTrunc(std::ceil((first + 0.5 - start) * step * 0x10000)) - 1);
    if (count > 0 && ((at + fixedStep * static_cast<uint32_t>(count - 1)) >> 16) >= static_cast<uint32_t>(source))
        --count;
    std::vector<int> picks(static_cast<size_t>(std::max(count, 0)));
    uint32_t position = at;
    for (int& pick : picks) {
        pick = static_cast<int>(position >> 16);
        position += fixedStep;
    }
    return picks;
}

}  // namespace

ScaledPick PickScaledPixels(QSize image, const QRectF& target, const QRect& clip)
{
    ScaledPick pick;
    if (image.isEmpty() || target.isEmpty()) return pick;
    const QRect covered = target.toRect() & clip;
    if (covered.isEmpty()) return pick;
    int width = covered.width(), height = covered.height();
    pick.columns = PickAxis(target.left(), target.width(), image.width(), covered.left(), width);
    pick.rows = PickAxis(target.top(), target.height(), image.height(), covered.top(), height);
    if (width <= 0 || height <= 0) return {};
    pick.device = QRect(covered.topLeft(), QSize(width, height));
    return pick;
}
