// Motion estimation (exhaustive full-pel search on the source pictures,
// half-pel refinement on the reconstructed ones, frame and field searches)
// and the motion-compensated prediction of a picture.
#include <algorithm>
#include <cstring>

#include "codec/EncoderCore.h"
#include "codec/VlcTables.h"

namespace morvane::mpeg {

int EncoderCore::SearchArea(const uint8_t* org, const uint8_t* ref, const uint8_t* cur, int i0, int j0, int sx, int sy,
                            int lx, int h, int xmax, int ymax, int& iminOut, int& jminOut)
{
    const int ilow = std::max(0, i0 - sx);
    const int ihigh = std::min(xmax - 16, i0 + sx);
    const int jlow = std::max(0, j0 - sy);
    const int jhigh = std::min(ymax - h, j0 + sy);
    SearchResult fr;
    fr.i = i0;
    fr.j = j0;
    kernels_.fullSearch(org, cur, lx, h, ilow, ihigh, jlow, jhigh, fr);
    const int imin = fr.i, jmin = fr.j;
    // Half-pel refinement around the best full-pel position.
    int best = 65536;
    int bx = 2 * imin, by = 2 * jmin;
    const int y0 = 2 * jmin - (jmin > 0 ? 1 : 0), y1 = 2 * jmin + (jmin < ymax - h ? 1 : 0);
    const int x0 = 2 * imin - (imin > 0 ? 1 : 0), x1 = 2 * imin + (imin < xmax - 16 ? 1 : 0);
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            const uint8_t* p = ref + (x >> 1) + static_cast<long>(y >> 1) * lx;
            const int d = kernels_.sadHalfLimit(p, cur, lx, x & 1, y & 1, h, best);
            if (d < best) {
                best = d;
                bx = x;
                by = y;
            }
        }
    iminOut = bx;
    jminOut = by;
    return best;
}

void EncoderCore::FrameSearch(const uint8_t* org, const uint8_t* ref, const uint8_t* cur, int i, int j, int sx, int sy,
                              int& dframe, int& hx, int& hy)
{
    dframe = SearchArea(org, ref, cur, i, j, sx, sy, width_, 16, width_, height_, hx, hy);
}

void EncoderCore::FieldSearch(const uint8_t* org, const uint8_t* ref, const uint8_t* cur, int i, int j, int sx, int sy,
                              int& dfield, int hx[2], int hy[2], int sel[2])
{
    const int lx2 = 2 * width_, jf = j >> 1, syf = sy >> 1, ymaxf = height_ >> 1;
    // Top field of the macroblock, then its bottom field; each searched in
    // both fields of the reference.
    int d[2];
    for (int r = 0; r < 2; ++r) {
        const uint8_t* c = cur + r * width_;
        int xt, yt, xb, yb;
        const int dt = SearchArea(org, ref, c, i, jf, sx, syf, lx2, 8, width_, ymaxf, xt, yt);
        const int db = SearchArea(org + width_, ref + width_, c, i, jf, sx, syf, lx2, 8, width_, ymaxf, xb, yb);
        const bool bottom = r == 0 ? db < dt : !(dt < db);
        sel[r] = bottom ? 1 : 0;
        hx[r] = bottom ? xb : xt;
        hy[r] = bottom ? yb : yt;
        d[r] = bottom ? db : dt;
    }
    dfield = d[0] + d[1];
}

namespace {

// Distortion of a field prediction of both fields of a macroblock.
struct FieldPred {
    int sel[2];
    int hx[2], hy[2];  // absolute half-pel positions in field coordinates
};

}  // namespace

void EncoderCore::EstimateMacroblock(int i, int j, MacroblockInfo& mb)
{
    const int W = width_;
    const uint8_t* cur = curSrc_->plane[0].data() + static_cast<long>(j) * W + i;
    mb = MacroblockInfo{};
    mb.motionType = kMotionFrame;
    if (pictType_ == kPictureI) {
        mb.type = kMbIntra;
        return;
    }
    const int64_t var = MacroblockVariance(cur, W);
    const uint8_t* oldSrcY = oldSrc_.plane[0].data();
    const uint8_t* oldRefY = oldRef_.plane[0].data();
    const uint8_t* newSrcY = newSrc_.plane[0].data();
    const uint8_t* newRefY = newRef_.plane[0].data();
    auto framePtr = [&](const uint8_t* ref, int hx, int hy) { return ref + (hx >> 1) + static_cast<long>(hy >> 1) * W; };
    auto fieldPtr = [&](const uint8_t* ref, int sel, int hx, int hy) {
        return ref + sel * W + (hx >> 1) + static_cast<long>(hy >> 1) * 2 * W;
    };
    auto frameSse = [&](const uint8_t* ref, int hx, int hy) { return kernels_.sseHalf(framePtr(ref, hx, hy), cur, W, hx & 1, hy & 1, 16); };
    auto fieldSse = [&](const uint8_t* ref, const FieldPred& f) {
        int s = 0;
        for (int r = 0; r < 2; ++r)
            s += kernels_.sseHalf(fieldPtr(ref, f.sel[r], f.hx[r], f.hy[r]), cur + r * W, 2 * W, f.hx[r] & 1, f.hy[r] & 1, 8);
        return s;
    };
    auto storeFrame = [&](int s, int hx, int hy) {
        mb.mv[0][s][0] = hx - 2 * i;
        mb.mv[0][s][1] = hy - 2 * j;
    };
    auto storeField = [&](int s, const FieldPred& f) {
        for (int r = 0; r < 2; ++r) {
            mb.mv[r][s][0] = f.hx[r] - 2 * i;
            mb.mv[r][s][1] = 2 * (f.hy[r] - j);  // field lines to frame lines
            mb.fieldSelect[r][s] = f.sel[r];
        }
    };

    if (pictType_ == kPictureP) {
        int dframe, hx, hy;
        FrameSearch(oldSrcY, oldRefY, cur, i, j, sxf_, syf_, dframe, hx, hy);
        int64_t vmc;
        FieldPred fp{};
        bool field = false;
        if (framePredFrameDct_) {
            vmc = frameSse(oldRefY, hx, hy);
        } else {
            int dfield;
            FieldSearch(oldSrcY, oldRefY, cur, i, j, sxf_, syf_, dfield, fp.hx, fp.hy, fp.sel);
            field = dfield < dframe;
            vmc = field ? fieldSse(oldRefY, fp) : frameSse(oldRefY, hx, hy);
        }
        if (vmc > var && vmc >= 9 * 256) {
            mb.type = kMbIntra;
            mb.distortion = var;
            return;
        }
        const int64_t v0 = kernels_.sseHalf(oldRefY + static_cast<long>(j) * W + i, cur, W, 0, 0, 16);
        if (4 * v0 > 5 * vmc && v0 >= 9 * 256) {
            mb.type = kMbForward;
            mb.distortion = vmc;
            if (field) {
                mb.motionType = kMotionField;
                storeField(0, fp);
            } else {
                storeFrame(0, hx, hy);
            }
        } else {
            mb.type = 0;
            mb.distortion = v0;
        }
        return;
    }

    // B picture.
    int64_t vmc;
    if (framePredFrameDct_) {
        int df, hxf, hyf, db, hxb, hyb;
        FrameSearch(oldSrcY, oldRefY, cur, i, j, sxf_, syf_, df, hxf, hyf);
        FrameSearch(newSrcY, newRefY, cur, i, j, sxb_, syb_, db, hxb, hyb);
        const int64_t vmcf = frameSse(oldRefY, hxf, hyf);
        const int64_t vmcr = frameSse(newRefY, hxb, hyb);
        const int64_t vmci = kernels_.sseBidir(framePtr(oldRefY, hxf, hyf), framePtr(newRefY, hxb, hyb), cur, W, hxf & 1, hyf & 1,
                                      hxb & 1, hyb & 1, 16);
        if (vmcf <= vmcr && vmcf <= vmci) {
            mb.type = kMbForward;
            vmc = vmcf;
            storeFrame(0, hxf, hyf);
        } else if (vmci < vmcr) {
            mb.type = kMbForward | kMbBackward;
            vmc = vmci;
            storeFrame(0, hxf, hyf);
            storeFrame(1, hxb, hyb);
        } else {
            mb.type = kMbBackward;
            vmc = vmcr;
            storeFrame(1, hxb, hyb);
        }
    } else {
        int Df, hxf, hyf, Db, hxb, hyb, Ef, Eb;
        FieldPred ff{}, fb{};
        FrameSearch(oldSrcY, oldRefY, cur, i, j, sxf_, syf_, Df, hxf, hyf);
        FieldSearch(oldSrcY, oldRefY, cur, i, j, sxf_, syf_, Ef, ff.hx, ff.hy, ff.sel);
        FrameSearch(newSrcY, newRefY, cur, i, j, sxb_, syb_, Db, hxb, hyb);
        FieldSearch(newSrcY, newRefY, cur, i, j, sxb_, syb_, Eb, fb.hx, fb.hy, fb.sel);
        const int Fi = kernels_.sadBidir(framePtr(oldRefY, hxf, hyf), framePtr(newRefY, hxb, hyb), cur, W, hxf & 1, hyf & 1,
                                hxb & 1, hyb & 1, 16);
        int Gi = 0;
        for (int r = 0; r < 2; ++r)
            Gi += kernels_.sadBidir(fieldPtr(oldRefY, ff.sel[r], ff.hx[r], ff.hy[r]), fieldPtr(newRefY, fb.sel[r], fb.hx[r], fb.hy[r]),
                           cur + r * W, 2 * W, ff.hx[r] & 1, ff.hy[r] & 1, fb.hx[r] & 1, fb.hy[r] & 1, 8);
        if (Fi < Gi && Fi < Df && Fi < Ef && Fi < Db && Fi < Eb) {
            mb.type = kMbForward | kMbBackward;
            storeFrame(0, hxf, hyf);
            storeFrame(1, hxb, hyb);
            vmc = kernels_.sseBidir(framePtr(oldRefY, hxf, hyf), framePtr(newRefY, hxb, hyb), cur, W, hxf & 1, hyf & 1, hxb & 1,
                           hyb & 1, 16);
        } else if (Gi < Df && Gi < Ef && Gi < Db && Gi < Eb) {
            mb.type = kMbForward | kMbBackward;
            mb.motionType = kMotionField;
            storeField(0, ff);
            storeField(1, fb);
            vmc = 0;
            for (int r = 0; r < 2; ++r)
                vmc += kernels_.sseBidir(fieldPtr(oldRefY, ff.sel[r], ff.hx[r], ff.hy[r]), fieldPtr(newRefY, fb.sel[r], fb.hx[r], fb.hy[r]),
                                cur + r * W, 2 * W, ff.hx[r] & 1, ff.hy[r] & 1, fb.hx[r] & 1, fb.hy[r] & 1, 8);
        } else if (Df < Ef && Df < Db && Df < Eb) {
            mb.type = kMbForward;
            storeFrame(0, hxf, hyf);
            vmc = frameSse(oldRefY, hxf, hyf);
        } else if (Ef < Db && Ef < Eb) {
            mb.type = kMbForward;
            mb.motionType = kMotionField;
            storeField(0, ff);
            vmc = fieldSse(oldRefY, ff);
        } else if (Db < Eb) {
            mb.type = kMbBackward;
            storeFrame(1, hxb, hyb);
            vmc = frameSse(newRefY, hxb, hyb);
        } else {
            mb.type = kMbBackward;
            mb.motionType = kMotionField;
            storeField(1, fb);
            vmc = fieldSse(newRefY, fb);
        }
    }
    if (vmc > var && vmc >= 9 * 256) {
        mb = MacroblockInfo{};
        mb.type = kMbIntra;
        mb.motionType = kMotionFrame;
        mb.distortion = var;
        return;
    }
    mb.distortion = vmc;
}

void EncoderCore::EstimateMotion()
{
    int k = 0;
    for (int j = 0; j < height_; j += 16)
        for (int i = 0; i < width_; i += 16, ++k) EstimateMacroblock(i, j, mbInfo_[k]);
}

namespace {

// One block of prediction: w x h samples from src (line step srcStep) at
// half-pel flags (hx, hy) into dst; averaged into dst when `average`.
void PredictBlock(const uint8_t* src, int srcStep, uint8_t* dst, int dstStep, int w, int h, int hx, int hy, bool average)
{
    const int mode = (hy << 1) | hx;
    for (int y = 0; y < h; ++y) {
        uint8_t v[16];
        switch (mode) {
        case 0:
            for (int x = 0; x < w; ++x) v[x] = src[x];
            break;
        case 1:
            for (int x = 0; x < w; ++x) v[x] = static_cast<uint8_t>((src[x] + src[x + 1] + 1) >> 1);
            break;
        case 2:
            for (int x = 0; x < w; ++x) v[x] = static_cast<uint8_t>((src[x] + src[x + srcStep] + 1) >> 1);
            break;
        default:
            for (int x = 0; x < w; ++x)
                v[x] = static_cast<uint8_t>((src[x] + src[x + 1] + src[x + srcStep] + src[x + srcStep + 1] + 2) >> 2);
            break;
        }
        if (average) {
            for (int x = 0; x < w; ++x) dst[x] = static_cast<uint8_t>((dst[x] + v[x] + 1) >> 1);
        } else {
            std::memcpy(dst, v, w);
        }
        src += srcStep;
        dst += dstStep;
    }
}

}  // namespace

void EncoderCore::PredictMacroblock(int i, int j, const MacroblockInfo& mb)
{
    const int W = width_, CW = width_ / 2;
    uint8_t* py = pred_.plane[0].data() + static_cast<long>(j) * W + i;
    uint8_t* pc[2] = {pred_.plane[1].data() + static_cast<long>(j / 2) * CW + i / 2,
                      pred_.plane[2].data() + static_cast<long>(j / 2) * CW + i / 2};
    if (mb.type & kMbIntra) {
        for (int y = 0; y < 16; ++y) std::memset(py + y * W, 128, 16);
        for (int c = 0; c < 2; ++c)
            for (int y = 0; y < 8; ++y) std::memset(pc[c] + y * CW, 128, 8);
        return;
    }
    bool formed = false;
    for (int s = 0; s < 2; ++s) {
        const bool use = s == 0 ? ((mb.type & kMbForward) || pictType_ == kPictureP) : (mb.type & kMbBackward) != 0;
        if (!use) continue;
        Picture& ref = s == 0 ? oldRef_ : newRef_;
        if (mb.motionType == kMotionFrame) {
            const int dx = mb.mv[0][s][0], dy = mb.mv[0][s][1];
            PredictBlock(ref.plane[0].data() + (i + (dx >> 1)) + static_cast<long>(j + (dy >> 1)) * W, W, py, W, 16, 16,
                         dx & 1, dy & 1, formed);
            const int cx = dx / 2, cy = dy / 2;
            for (int c = 0; c < 2; ++c)
                PredictBlock(ref.plane[1 + c].data() + (i / 2 + (cx >> 1)) + static_cast<long>(j / 2 + (cy >> 1)) * CW, CW,
                             pc[c], CW, 8, 8, cx & 1, cy & 1, formed);
        } else {
            for (int r = 0; r < 2; ++r) {
                const int sel = mb.fieldSelect[r][s];
                const int dx = mb.mv[r][s][0], dy = mb.mv[r][s][1] >> 1;  // field units
                PredictBlock(ref.plane[0].data() + sel * W + (i + (dx >> 1)) + static_cast<long>((j >> 1) + (dy >> 1)) * 2 * W,
                             2 * W, py + r * W, 2 * W, 16, 8, dx & 1, dy & 1, formed);
                const int cx = dx / 2, cy = dy / 2;
                for (int c = 0; c < 2; ++c)
                    PredictBlock(ref.plane[1 + c].data() + sel * CW + (i / 2 + (cx >> 1)) +
                                     static_cast<long>((j >> 2) + (cy >> 1)) * 2 * CW,
                                 2 * CW, pc[c] + r * CW, 2 * CW, 8, 4, cx & 1, cy & 1, formed);
            }
        }
        formed = true;
    }
}

void EncoderCore::PredictPicture()
{
    int k = 0;
    for (int j = 0; j < height_; j += 16)
        for (int i = 0; i < width_; i += 16, ++k) PredictMacroblock(i, j, mbInfo_[k]);
}

}  // namespace morvane::mpeg
