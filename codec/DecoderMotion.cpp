// Motion-compensated prediction (ISO/IEC 13818-2 7.6): frame, field, 16 x 8
// and dual-prime prediction with half-sample interpolation, and the
// averaging of two predictions.
#include <algorithm>

#include "codec/DecoderCore.h"
#include "codec/VlcTables.h"

namespace morvane {

namespace {

// One prediction block: w x h samples of `ref` (a frame or a field of
// refWidth x refHeight samples, rows `refStride` apart) at (x, y) moved by
// the half-sample vector (mvx, mvy), written to dst or averaged with what
// dst holds.  A vector that would leave the reference is clamped to it.
template <int W>
void PredictBlock(const uint8_t* ref, int refStride, int refWidth, int refHeight, uint8_t* dst, int dstStride,
                  int x, int y, int h, int mvx, int mvy, bool average)
{
    int ix = x + (mvx >> 1);
    int iy = y + (mvy >> 1);
    int hx = mvx & 1;
    int hy = mvy & 1;
    if (ix < 0) {
        ix = 0;
        hx = 0;
    } else if (ix + W + hx > refWidth) {
        ix = refWidth - W;
        hx = 0;
    }
    if (iy < 0) {
        iy = 0;
        hy = 0;
    } else if (iy + h + hy > refHeight) {
        iy = refHeight - h;
        hy = 0;
    }
    const uint8_t* s = ref + static_cast<ptrdiff_t>(iy) * refStride + ix;
    const int mode = hy * 2 + hx;
    for (int r = 0; r < h; ++r, s += refStride, dst += dstStride) {
        uint8_t p[W];
        switch (mode) {
        case 0:
            for (int c = 0; c < W; ++c) p[c] = s[c];
            break;
        case 1:
            for (int c = 0; c < W; ++c) p[c] = static_cast<uint8_t>((s[c] + s[c + 1] + 1) >> 1);
            break;
        case 2:
            for (int c = 0; c < W; ++c) p[c] = static_cast<uint8_t>((s[c] + s[c + refStride] + 1) >> 1);
            break;
        default:
            for (int c = 0; c < W; ++c) {
                p[c] = static_cast<uint8_t>((s[c] + s[c + 1] + s[c + refStride] + s[c + refStride + 1] + 2) >> 2);
            }
            break;
        }
        if (average) {
            for (int c = 0; c < W; ++c) dst[c] = static_cast<uint8_t>((dst[c] + p[c] + 1) >> 1);
        } else {
            for (int c = 0; c < W; ++c) dst[c] = p[c];
        }
    }
}

}  // namespace

// The plane of component `component` of the reference for direction
// `direction` (0 forward, 1 backward), as a whole frame (fieldSelect < 0)
// or as its field `fieldSelect` (0 top, 1 bottom).
const uint8_t* MpegVideoDecoder::ReferencePlane(int direction, int component, int fieldSelect, int* stride) const
{
    const Frame* frame = &frames_[direction == 0 ? forward_ : backward_];
    if (fieldSelect >= 0 && h_.picture_structure != 3 && secondField_ && direction == 0 &&
        h_.picture_coding_type == 2 && fieldSelect != (h_.picture_structure == 2 ? 1 : 0)) {
        // The second field of a reference frame predicts from the first.
        frame = current_;
    }
    const int width = component == 0 ? codedWidth_ : codedWidth_ / 2;
    const uint8_t* plane = frame->plane[component];
    if (fieldSelect < 0) {
        *stride = width;
        return plane;
    }
    *stride = 2 * width;
    return plane + fieldSelect * width;
}

// Prediction of one part of the macroblock in direction `direction` from a
// frame (fieldSelect < 0) or a field, into the picture's lines.  (x, y) is
// the part's position in luminance samples of the destination's frame or
// field, `height` its luminance height; destField >= 0 writes only that
// field of a frame picture.
void MpegVideoDecoder::PredictPart(int direction, int fieldSelect, int destField, int mvx, int mvy, int x, int y,
                                   int height, bool average)
{
    const bool fieldRef = fieldSelect >= 0;
    for (int component = 0; component < 3; ++component) {
        int refStride;
        const uint8_t* ref = ReferencePlane(direction, component, fieldSelect, &refStride);
        const int planeWidth = component == 0 ? codedWidth_ : codedWidth_ / 2;
        const int planeHeight = (component == 0 ? codedHeight_ : codedHeight_ / 2) / (fieldRef ? 2 : 1);
        uint8_t* dst;
        int dstStride;
        if (component == 0) {
            dst = lumaBase_;
            dstStride = lumaStride_;
        } else {
            dst = chromaBase_[component - 1];
            dstStride = chromaStride_;
        }
        if (destField >= 0) {
            // One field of a frame picture.
            dst += destField * dstStride;
            dstStride *= 2;
        }
        if (component == 0) {
            PredictBlock<16>(ref, refStride, planeWidth, planeHeight, dst + y * dstStride + x, dstStride, x, y,
                             height, mvx, mvy, average);
        } else {
            // 4:2:0: half the vector, truncated toward zero.
            const int cx = x / 2;
            const int cy = y / 2;
            PredictBlock<8>(ref, refStride, planeWidth, planeHeight, dst + cy * dstStride + cx, dstStride, cx,
                            cy, height / 2, mvx / 2, mvy / 2, average);
        }
    }
}

void MpegVideoDecoder::FormPrediction(int address)
{
    const int x = 16 * (address % mbWidth_);
    const int y = 16 * (address / mbWidth_);
    const bool framePicture = h_.picture_structure == 3;
    if (dualPrime_) {
        PredictDualPrime(x, y);
        return;
    }
    bool average = false;
    for (int s = 0; s < 2; ++s) {
        if (!(mbFlags_ & (s == 0 ? mpeg::kMbForward : mpeg::kMbBackward))) continue;
        if (framePicture) {
            if (motionType_ == 2 || !mvFieldFormat_) {
                PredictPart(s, -1, -1, vector_[0][s][0], vector_[0][s][1], x, y, 16, average);
            } else {
                // Field prediction in a frame picture: each field of the
                // macroblock from the field its select bit names.
                for (int field = 0; field < 2; ++field) {
                    PredictPart(s, fieldSelect_[field][s], field, vector_[field][s][0], vector_[field][s][1], x,
                                y / 2, 8, average);
                }
            }
        } else if (mvCount_ == 2) {
            // 16 x 8: the upper and lower halves with their own vectors.
            PredictPart(s, fieldSelect_[0][s], -1, vector_[0][s][0], vector_[0][s][1], x, y, 8, average);
            PredictPart(s, fieldSelect_[1][s], -1, vector_[1][s][0], vector_[1][s][1], x, y + 8, 8, average);
        } else {
            PredictPart(s, fieldSelect_[0][s], -1, vector_[0][s][0], vector_[0][s][1], x, y, 16, average);
        }
        average = true;
    }
}

// Dual prime (ISO/IEC 13818-2 7.6.3.6): the prediction from the field of
// the same parity with the transmitted vector, averaged with the one from
// the opposite parity with the derived vector.
void MpegVideoDecoder::PredictDualPrime(int x, int y)
{
    const int mvx = vector_[0][0][0];
    const int mvy = vector_[0][0][1];
    // (v * m) // 2, rounded half away from zero.
    auto scaled = [](int v, int m) { return (v * m + (v > 0 ? 1 : 0)) >> 1; };
    if (h_.picture_structure == 3) {
        const int mTopFromBottom = h_.top_field_first ? 1 : 3;
        const int mBottomFromTop = h_.top_field_first ? 3 : 1;
        const int dmv[2][2] = {
            {scaled(mvx, mTopFromBottom) + dmvector_[0], scaled(mvy, mTopFromBottom) + dmvector_[1] - 1},
            {scaled(mvx, mBottomFromTop) + dmvector_[0], scaled(mvy, mBottomFromTop) + dmvector_[1] + 1},
        };
        for (int field = 0; field < 2; ++field) {
            PredictPart(0, field, field, mvx, mvy, x, y / 2, 8, false);
            PredictPart(0, 1 - field, field, dmv[field][0], dmv[field][1], x, y / 2, 8, true);
        }
    } else {
        const int parity = h_.picture_structure == 2 ? 1 : 0;
        const int dmvx = scaled(mvx, 1) + dmvector_[0];
        const int dmvy = scaled(mvy, 1) + dmvector_[1] + (parity == 0 ? -1 : 1);
        PredictPart(0, parity, -1, mvx, mvy, x, y, 16, false);
        PredictPart(0, 1 - parity, -1, dmvx, dmvy, x, y, 16, true);
    }
}

}  // namespace morvane
