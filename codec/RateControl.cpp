// Rate control after MPEG-2 Test Model 5: target bits per picture type,
// virtual-buffer feedback, adaptive quantisation by spatial activity, and
// the VBV delay of every picture header.
#include <cmath>

#include "codec/EncoderCore.h"

namespace morvane::mpeg {

void RateControl::Start(const EncoderParameters& p, int mbCount)
{
    bitRate_ = p.bitRate;
    frameRate_ = p.frameRate;
    n_ = p.gopSize;
    m_ = p.ipDistance;
    mbCount_ = mbCount;
    r = p.reaction != 0.0 ? p.reaction : 2.0 * bitRate_ / frameRate_;
    avgAct = p.averageActivity != 0.0 ? p.averageActivity : 400.0;
    R = 0.0;
    Xi = p.xi != 0.0 ? p.xi : bitRate_ * 160.0 / 115.0;
    Xp = p.xp != 0.0 ? p.xp : bitRate_ * 60.0 / 115.0;
    Xb = p.xb != 0.0 ? p.xb : bitRate_ * 42.0 / 115.0;
    d0i = p.d0i != 0.0 ? p.d0i : r * 10.0 / 31.0;
    d0p = p.d0p != 0.0 ? p.d0p : r * 10.0 / 31.0;
    d0b = p.d0b != 0.0 ? p.d0b : r * 14.0 / 31.0;
    Np = Nb = 0;
}

void RateControl::StartGop()
{
    R += n_ * bitRate_ / frameRate_;
    Np = n_ / m_ - 1;
    Nb = n_ - Np - 1;
}

void RateControl::StartPicture(int pictureType, uint64_t bitCount)
{
    type = pictureType;
    switch (type) {
    case kPictureI:
        T = R / (1.0 + Np * Xp / Xi + Nb * Xb / (1.4 * Xi));
        d = d0i;
        break;
    case kPictureP:
        T = R / (Np + Nb * Xb / (1.4 * Xp));
        d = d0p;
        break;
    default:
        T = R / (Nb + 1.4 * Np * Xp / Xb);
        d = d0b;
        break;
    }
    const double minimum = bitRate_ / (8.0 * frameRate_);
    if (T < minimum) T = minimum;
    S = bitCount;
    Q = 0;
    actSum = 0.0;
}

int RateControl::FirstScale() const
{
    int code = static_cast<int>(std::floor(31.0 * d / r + 0.5));
    if (code < 1) code = 1;
    if (code > 31) code = 31;
    return 2 * code;
}

namespace {

double SubblockVariance(const uint8_t* p, int lx)
{
    int s = 0, s2 = 0;
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            s += p[x];
            s2 += p[x] * p[x];
        }
        p += lx;
    }
    return s2 / 64.0 - (s / 64.0) * (s / 64.0);
}

}  // namespace

int RateControl::MacroblockScale(int j, const uint8_t* lum, int lx, uint64_t bitCount)
{
    const double dj = d + (static_cast<double>(bitCount) - static_cast<double>(S)) - j * T / mbCount_;
    const double qj = dj * 31.0 / r;
    // Spatial activity: the smallest variance of the four frame and the four
    // field sub-blocks.
    double varMin = SubblockVariance(lum, lx);
    auto take = [&](double v) {
        if (v < varMin) varMin = v;
    };
    take(SubblockVariance(lum + 8, lx));
    take(SubblockVariance(lum + 8 * lx, lx));
    take(SubblockVariance(lum + 8 * lx + 8, lx));
    take(SubblockVariance(lum, 2 * lx));
    take(SubblockVariance(lum + 8, 2 * lx));
    take(SubblockVariance(lum + lx, 2 * lx));
    take(SubblockVariance(lum + lx + 8, 2 * lx));
    const double act = 1.0 + varMin;
    actSum += act;
    const double nAct = (2.0 * act + avgAct) / (act + 2.0 * avgAct);
    int code = static_cast<int>(std::floor(qj * nAct + 0.5));
    if (code < 1) code = 1;
    if (code > 31) code = 31;
    Q += code;
    return 2 * code;
}

void RateControl::EndPicture(uint64_t bitCount)
{
    const double bits = static_cast<double>(bitCount - S);
    avgAct = actSum / mbCount_;
    R -= bits;
    d += bits - T;
    const double x = bits * Q / mbCount_;
    switch (type) {
    case kPictureI:
        Xi = x;
        d0i = d;
        break;
    case kPictureP:
        Xp = x;
        d0p = d;
        --Np;
        break;
    default:
        Xb = x;
        d0b = d;
        --Nb;
        break;
    }
}

void RateControl::InitVbv(const EncoderParameters& p)
{
    decodingTime = static_cast<int64_t>(p.vbvBufferSize * 14336.0 * 90000.0 / p.bitRate) -
                   static_cast<int64_t>(90000.0 / p.frameRate + 0.5);
    bitRate_ = p.bitRate;
    frameRate_ = p.frameRate;
}

int RateControl::VbvDelay(uint64_t bitCount)
{
    decodingTime += static_cast<int64_t>(90000.0 / frameRate_ + 0.5);
    const double delay = static_cast<double>(decodingTime) - static_cast<double>(bitCount) * 90000.0 / bitRate_;
    if (delay < 0.0) return 0;
    if (delay > 65535.0) return 65535;
    return static_cast<int>(delay);
}

}  // namespace morvane::mpeg
