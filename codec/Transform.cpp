// Forward DCT, quantisation and inverse quantisation, the frame/field DCT
// decision, and the transform of a whole picture and its reconstruction.
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "codec/EncoderCore.h"
#include "codec/Idct.h"
#include "codec/VlcTables.h"

namespace morvane::mpeg {

namespace {

struct CosineTable {
    double c[8][8];
    CosineTable()
    {
        for (int u = 0; u < 8; ++u) {
            const double s = u == 0 ? std::sqrt(0.125) : 0.5;
            for (int x = 0; x < 8; ++x) c[u][x] = s * std::cos(u * (x + 0.5) * M_PI / 8.0);
        }
    }
};

const CosineTable& Cosines()
{
    static const CosineTable table;
    return table;
}

inline int16_t Clip16(long v) { return static_cast<int16_t>(v < -32768 ? -32768 : (v > 32767 ? 32767 : v)); }
inline int Saturate(int v) { return v < -2048 ? -2048 : (v > 2047 ? 2047 : v); }
inline int ClipLevel(int v, int limit) { return v < -limit ? -limit : (v > limit ? limit : v); }
inline uint8_t ClipPixel(int v) { return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); }

}  // namespace

void ForwardDct(int16_t* block)
{
    const CosineTable& t = Cosines();
    long double tmp[64];
    for (int i = 0; i < 8; ++i)
        for (int u = 0; u < 8; ++u) {
            long double s = 0.0L;
            for (int x = 0; x < 8; ++x) s += static_cast<long double>(t.c[u][x]) * block[8 * i + x];
            tmp[8 * i + u] = s;
        }
    for (int u = 0; u < 8; ++u)
        for (int v = 0; v < 8; ++v) {
            long double s = 0.0L;
            for (int y = 0; y < 8; ++y) s += static_cast<long double>(t.c[v][y]) * tmp[8 * y + u];
            block[8 * v + u] = Clip16(static_cast<long>(std::floor(s + 0.5L)));
        }
}

void QuantIntra(const int16_t* src, int16_t* dst, int dcPrecision, const uint8_t* matrix, int scale, int limit)
{
    const int x0 = src[0];
    const int m = 8 >> dcPrecision;
    dst[0] = static_cast<int16_t>(x0 >= 0 ? (x0 + m / 2) / m : -((m / 2 - x0) / m));
    const int round = (3 * scale + 2) >> 2;
    for (int i = 1; i < 64; ++i) {
        const int x = src[i];
        const int w = matrix[i];
        int y = (32 * std::abs(x) + w / 2) / w;
        y = (y + round) / (2 * scale);
        dst[i] = static_cast<int16_t>(ClipLevel(x < 0 ? -y : y, limit));
    }
}

bool QuantNonIntra(const int16_t* src, int16_t* dst, const uint8_t* matrix, int scale, int limit)
{
    bool any = false;
    for (int i = 0; i < 64; ++i) {
        const int x = src[i];
        const int w = matrix[i];
        int y = (32 * std::abs(x) + w / 2) / w;
        y /= 2 * scale;
        y = ClipLevel(x < 0 ? -y : y, limit);
        dst[i] = static_cast<int16_t>(y);
        any |= y != 0;
    }
    return any;
}

void DequantIntra(const int16_t* src, int16_t* dst, int dcPrecision, const uint8_t* matrix, int scale, bool mpeg1)
{
    int sum = dst[0] = static_cast<int16_t>(src[0] * (1 << (3 - dcPrecision)));
    for (int i = 1; i < 64; ++i) {
        int v = src[i] * matrix[i] * scale / 16;
        if (mpeg1 && v != 0 && (v & 1) == 0) v += v > 0 ? -1 : 1;
        v = Saturate(v);
        dst[i] = static_cast<int16_t>(v);
        sum += v;
    }
    if (!mpeg1 && (sum & 1) == 0) dst[63] = static_cast<int16_t>(dst[63] ^ 1);
}

void DequantNonIntra(const int16_t* src, int16_t* dst, const uint8_t* matrix, int scale, bool mpeg1)
{
    int sum = 0;
    for (int i = 0; i < 64; ++i) {
        const int l = src[i];
        int v = 0;
        if (l != 0) {
            v = (2 * l + (l > 0 ? 1 : -1)) * matrix[i] * scale / 32;
            if (mpeg1 && v != 0 && (v & 1) == 0) v += v > 0 ? -1 : 1;
        }
        v = Saturate(v);
        dst[i] = static_cast<int16_t>(v);
        sum += v;
    }
    if (!mpeg1 && (sum & 1) == 0) dst[63] = static_cast<int16_t>(dst[63] ^ 1);
}

namespace {

// Start of block n of a macroblock at (i, j) and its line step, for the
// luminance (n < 4) or the chrominance planes.
struct BlockPos {
    int plane;
    long offset;
    int step;
};

inline BlockPos BlockPosition(int n, int i, int j, int width, int dctType)
{
    if (n < 4) {
        if (dctType == 0) return {0, static_cast<long>(j + 8 * (n >> 1)) * width + i + 8 * (n & 1), width};
        return {0, static_cast<long>(j + (n >> 1)) * width + i + 8 * (n & 1), 2 * width};
    }
    const int cw = width / 2;
    return {n == 4 ? 1 : 2, static_cast<long>(j / 2) * cw + i / 2, cw};
}

}  // namespace

void EncoderCore::ChooseDctTypes()
{
    int k = 0;
    for (int j = 0; j < height_; j += 16)
        for (int i = 0; i < width_; i += 16, ++k) {
            MacroblockInfo& mb = mbInfo_[k];
            if (framePredFrameDct_) {
                mb.dctType = 0;
                continue;
            }
            const uint8_t* s = curSrc_->plane[0].data() + static_cast<long>(j) * width_ + i;
            const uint8_t* p = pred_.plane[0].data() + static_cast<long>(j) * width_ + i;
            int sA = 0, sB = 0, qA = 0, qB = 0, sAB = 0;
            for (int y = 0; y < 16; y += 2) {
                for (int x = 0; x < 16; ++x) {
                    const int a = s[y * width_ + x] - p[y * width_ + x];
                    const int b = s[(y + 1) * width_ + x] - p[(y + 1) * width_ + x];
                    sA += a;
                    sB += b;
                    qA += a * a;
                    qB += b * b;
                    sAB += a * b;
                }
            }
            const double dd = (qA - sA * sA / 128.0) * (qB - sB * sB / 128.0);
            if (dd > 0.0) {
                const double r = (sAB - sA * sB / 128.0) / std::sqrt(dd);
                mb.dctType = r > 0.5 ? 0 : 1;
            } else {
                mb.dctType = 1;
            }
        }
}

void EncoderCore::Transform()
{
    int k = 0;
    for (int j = 0; j < height_; j += 16)
        for (int i = 0; i < width_; i += 16, ++k) {
            const MacroblockInfo& mb = mbInfo_[k];
            for (int n = 0; n < 6; ++n) {
                const BlockPos bp = BlockPosition(n, i, j, width_, mb.dctType);
                const uint8_t* s = curSrc_->plane[bp.plane].data() + bp.offset;
                const uint8_t* p = pred_.plane[bp.plane].data() + bp.offset;
                int16_t* blk = &blocks_[(static_cast<size_t>(k) * 6 + n) * 64];
                for (int y = 0; y < 8; ++y)
                    for (int x = 0; x < 8; ++x) blk[8 * y + x] = static_cast<int16_t>(s[y * bp.step + x] - p[y * bp.step + x]);
                ForwardDct(blk);
            }
        }
}

void EncoderCore::Reconstruct()
{
    const bool mpeg1 = p_.isMpeg1 != 0;
    int k = 0;
    for (int j = 0; j < height_; j += 16)
        for (int i = 0; i < width_; i += 16, ++k) {
            const MacroblockInfo& mb = mbInfo_[k];
            const bool intra = (mb.type & kMbIntra) != 0;
            for (int n = 0; n < 6; ++n) {
                const BlockPos bp = BlockPosition(n, i, j, width_, mb.dctType);
                const uint8_t* p = pred_.plane[bp.plane].data() + bp.offset;
                uint8_t* r = curRecon_->plane[bp.plane].data() + bp.offset;
                int16_t* blk = &blocks_[(static_cast<size_t>(k) * 6 + n) * 64];
                const bool coded = intra || (mb.cbp & (1 << (5 - n)));
                if (!coded) {
                    for (int y = 0; y < 8; ++y) std::memcpy(r + y * bp.step, p + y * bp.step, 8);
                    continue;
                }
                int16_t coef[64];
                if (intra) DequantIntra(blk, coef, p_.intraDcPrecision, intraMatrix_.data(), mb.scale, mpeg1);
                else DequantNonIntra(blk, coef, nonIntraMatrix_.data(), mb.scale, mpeg1);
                fast_idct(coef);
                for (int y = 0; y < 8; ++y)
                    for (int x = 0; x < 8; ++x) r[y * bp.step + x] = ClipPixel(p[y * bp.step + x] + coef[8 * y + x]);
            }
        }
}

}  // namespace morvane::mpeg
