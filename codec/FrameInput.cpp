// Source frames: PPM pictures converted to 4:2:0 Y'CbCr with the chroma
// decimation filters, or planar Y, Cb, Cr files; the picture is extended to
// the coded size by repeating its last column and row.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "codec/EncoderCore.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace morvane::mpeg {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const
    {
        if (f) std::fclose(f);
    }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

inline uint8_t ClipPixel(int v) { return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); }
inline int ClampIndex(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }

std::string Format(const char* fmt, const std::string& a)
{
    char buf[4200];
    std::snprintf(buf, sizeof buf, fmt, a.c_str());
    return buf;
}

// Reads an unsigned decimal number of a PPM header: blanks and comments
// ("#" to the end of the line) are skipped; the character after the digits
// is consumed.  -1 when no digit comes.
long ReadPpmInt(std::FILE* f)
{
    int c = std::fgetc(f);
    for (;;) {
        if (c == '#') {
            while (c != '\n' && c != '\r' && c != EOF) c = std::fgetc(f);
        }
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            c = std::fgetc(f);
            continue;
        }
        break;
    }
    if (c < '0' || c > '9') return -1;
    long v = 0;
    while (c >= '0' && c <= '9') {
        if (v < 100000000) v = v * 10 + (c - '0');
        c = std::fgetc(f);
        // A comment may start right after the digits.
        if (c == '#') {
            while (c != '\n' && c != '\r' && c != EOF) c = std::fgetc(f);
        }
    }
    return v;
}

}  // namespace

long ReadPpmIntForTest(std::FILE* f) { return ReadPpmInt(f); }

void ExtendBorder(uint8_t* plane, int w, int h, int W, int H)
{
    for (int y = 0; y < h; ++y) {
        uint8_t* row = plane + static_cast<long>(y) * W;
        for (int x = w; x < W; ++x) row[x] = row[w - 1];
    }
    for (int y = h; y < H; ++y) std::memcpy(plane + static_cast<long>(y) * W, plane + static_cast<long>(y - 1) * W, W);
}

void FrameReader::Configure(const EncoderParameters& p, int codedWidth, int codedHeight, const EncoderKernels& kernels)
{
    rgbRowToYcc_ = kernels.rgbRowToYcc;
    inputType_ = p.inputType;
    width_ = p.horizontalSize;
    height_ = p.verticalSize;
    codedW_ = codedWidth;
    codedH_ = codedHeight;
    mpeg1_ = p.isMpeg1 != 0;
    progressive_ = p.progressiveFrame != 0;
    // The luma weights kr, kg, kb of the colour matrix.
    auto setWeights = [this](double r, double g, double b) {
        weights_[0] = r;
        weights_[1] = g;
        weights_[2] = b;
    };
    switch (p.matrixCoefficients) {
    case 1: setWeights(0.2125, 0.7154, 0.0721); break;
    case 4: setWeights(0.30, 0.59, 0.11); break;
    case 7: setWeights(0.212, 0.701, 0.087); break;
    default:
        if (p.matrixCoefficients > 8) setWeights(0.299, 0.587, 0.114);  // row of code 3
        else setWeights(0.299, 0.587, 0.114);
        break;
    }
    const size_t full = static_cast<size_t>(codedW_) * codedH_;
    cbFull_.assign(full, 0);
    crFull_.assign(full, 0);
    cbHalf_.assign(full / 2, 0);
    crHalf_.assign(full / 2, 0);
    row_.assign(static_cast<size_t>(width_) * 3, 0);
}

bool FrameReader::Read(const std::string& base, Picture& pic, MessageSink& sink)
{
    if (inputType_ == 2) return ReadPpm(base + ".ppm", pic, sink);
    return ReadPlanar(base, pic, sink);
}

bool FrameReader::ReadPpm(const std::string& name, Picture& pic, MessageSink& sink)
{
    File f(std::fopen(name.c_str(), "rb"));
    if (!f) {
        sink.Report(Format("Couldn't open %s\n", name));
        return false;
    }
    return ReadPpmStream(f.get(), name, pic, sink);
}

bool FrameReader::ReadPpmStream(std::FILE* stream, const std::string& name, Picture& pic, MessageSink& sink)
{
    struct NotOwned {
        void operator()(std::FILE*) const {}
    };
    std::unique_ptr<std::FILE, NotOwned> f(stream);
    const int m0 = std::fgetc(f.get()), m1 = std::fgetc(f.get());
    const long w = ReadPpmInt(f.get());
    const long h = ReadPpmInt(f.get());
    const long maxval = ReadPpmInt(f.get());
    if (m0 != 'P' || m1 != '6' || w != width_ || h != height_ || maxval != 255) {
        char buf[4400];
        std::snprintf(buf, sizeof buf, "%s is not a %dx%d PPM picture with 8-bit samples", name.c_str(), width_, height_);
        sink.Report(buf);
        return false;
    }
    uint8_t* lum = pic.Y();
    for (int y = 0; y < height_; ++y) {
        if (std::fread(row_.data(), 1, row_.size(), f.get()) != row_.size()) {
            sink.Report(name + " is too short");
            return false;
        }
        uint8_t* ly = lum + static_cast<long>(y) * codedW_;
        uint8_t* cb = cbFull_.data() + static_cast<long>(y) * codedW_;
        uint8_t* cr = crFull_.data() + static_cast<long>(y) * codedW_;
        rgbRowToYcc_(row_.data(), width_, weights_, ly, cb, cr);
    }
    ExtendBorder(lum, width_, height_, codedW_, codedH_);
    ExtendBorder(cbFull_.data(), width_, height_, codedW_, codedH_);
    ExtendBorder(crFull_.data(), width_, height_, codedW_, codedH_);
    Decimate(pic);
    return true;
}

bool FrameReader::ReadPlanar(const std::string& base, Picture& pic, MessageSink& sink)
{
    const int cw = width_ / 2, ch = height_ / 2, cW = codedW_ / 2, cH = codedH_ / 2;
    struct Part {
        std::string name;
        uint8_t* plane;
        int w, h, W, H;
    };
    std::vector<Part> parts;
    if (inputType_ == 0) {
        parts = {{base + ".Y", pic.Y(), width_, height_, codedW_, codedH_},
                 {base + ".U", pic.Cb(), cw, ch, cW, cH},
                 {base + ".V", pic.Cr(), cw, ch, cW, cH}};
    } else {
        parts = {{base + ".yuv", pic.Y(), width_, height_, codedW_, codedH_},
                 {"", pic.Cb(), cw, ch, cW, cH},
                 {"", pic.Cr(), cw, ch, cW, cH}};
    }
    File f;
    std::string current;
    for (const Part& part : parts) {
        if (!part.name.empty()) {
            current = part.name;
            f.reset(std::fopen(current.c_str(), "rb"));
            if (!f) {
                sink.Report(Format("Couldn't open %s\n", current));
                return false;
            }
        }
        for (int y = 0; y < part.h; ++y) {
            if (std::fread(part.plane + static_cast<long>(y) * part.W, 1, part.w, f.get()) != static_cast<size_t>(part.w)) {
                sink.Report(current + " is too short");
                return false;
            }
        }
        ExtendBorder(part.plane, part.w, part.h, part.W, part.H);
    }
    return true;
}

namespace {

// One output of the 12-tap filter between samples 2k and 2k + 1, from the
// twelve inputs s[-5] .. s[6] around it.
inline int BetweenTaps(int m5, int m4, int m3, int m2, int m1, int p0, int p1, int p2, int p3, int p4, int p5, int p6)
{
    return 228 * (p0 + p1) + 70 * (m1 + p2) - 37 * (m2 + p3) - 21 * (m3 + p4) + 11 * (m4 + p5) + 5 * (m5 + p6);
}

}  // namespace

void FrameReader::Decimate(Picture& pic)
{
    const int W = codedW_, H = codedH_, hw = W / 2, hh = H / 2;
    // Horizontal 2:1 (indices beyond the line repeat its end samples): each
    // line is copied with six repeated samples on either side first.
    std::vector<int> padded(static_cast<size_t>(W) + 12);
    for (int c = 0; c < 2; ++c) {
        const uint8_t* src = c == 0 ? cbFull_.data() : crFull_.data();
        uint8_t* dst = c == 0 ? cbHalf_.data() : crHalf_.data();
        for (int y = 0; y < H; ++y) {
            const uint8_t* s = src + static_cast<long>(y) * W;
            for (int x = -6; x < W + 6; ++x) padded[x + 6] = s[ClampIndex(x, 0, W - 1)];
            const int* q = padded.data() + 6;
            uint8_t* d = dst + static_cast<long>(y) * hw;
            if (mpeg1_) {
                for (int k = 0; k < hw; ++k) {
                    const int* p = q + 2 * k;
                    const int sum = BetweenTaps(p[-5], p[-4], p[-3], p[-2], p[-1], p[0], p[1], p[2], p[3], p[4], p[5], p[6]);
                    d[k] = ClipPixel((sum + 256) >> 9);
                }
            } else {
                for (int k = 0; k < hw; ++k) {
                    const int* p = q + 2 * k;
                    const int sum = 256 * p[0] + 159 * (p[-1] + p[1]) - 52 * (p[-3] + p[3]) + 22 * (p[-5] + p[5]);
                    d[k] = ClipPixel((sum + 256) >> 9);
                }
            }
        }
    }
    // Vertical 2:1, a whole output line at a time.
    for (int c = 0; c < 2; ++c) {
        const uint8_t* src = c == 0 ? cbHalf_.data() : crHalf_.data();
        uint8_t* dst = c == 0 ? pic.Cb() : pic.Cr();
        auto line = [&](int y, int lo, int hi) { return src + static_cast<long>(ClampIndex(y, lo, hi)) * hw; };
        if (progressive_) {
            for (int k = 0; k < hh; ++k) {
                const int i = 2 * k;
                const uint8_t* r[12];
                for (int t = 0; t < 12; ++t) r[t] = line(i - 5 + t, 0, H - 1);
                uint8_t* d = dst + static_cast<long>(k) * hw;
                for (int x = 0; x < hw; ++x) {
                    const int sum = BetweenTaps(r[0][x], r[1][x], r[2][x], r[3][x], r[4][x], r[5][x], r[6][x], r[7][x],
                                                r[8][x], r[9][x], r[10][x], r[11][x]);
                    d[x] = ClipPixel((sum + 256) >> 9);
                }
            }
        } else {
            // Each field on its own, lines in groups of four.
            static constexpr int kTopOffset[12] = {-10, -8, -6, -4, -2, 0, 2, 4, 6, 8, 10, 12};
            static constexpr int kTopWeight[12] = {8, 5, -30, -18, 113, 242, 192, 35, -38, -10, 11, 2};
            static constexpr int kBottomOffset[12] = {13, 11, 9, 7, 5, 3, 1, -1, -3, -5, -7, -9};
            for (int j = 0; j < H; j += 4) {
                const uint8_t* t[12];
                const uint8_t* b[12];
                for (int n = 0; n < 12; ++n) {
                    t[n] = line(j + kTopOffset[n], 0, H - 2);
                    b[n] = line(j + kBottomOffset[n], 1, H - 1);
                }
                uint8_t* dt = dst + static_cast<long>(j / 2) * hw;
                for (int x = 0; x < hw; ++x) {
                    int sum = 0;
                    for (int n = 0; n < 12; ++n) sum += kTopWeight[n] * t[n][x];
                    dt[x] = ClipPixel((sum + 256) >> 9);
                }
                if (j / 2 + 1 < hh) {
                    uint8_t* db = dst + static_cast<long>(j / 2 + 1) * hw;
                    for (int x = 0; x < hw; ++x) {
                        int sum = 0;
                        for (int n = 0; n < 12; ++n) sum += kTopWeight[n] * b[n][x];
                        db[x] = ClipPixel((sum + 256) >> 9);
                    }
                }
            }
        }
    }
}

namespace kernels {

namespace {

// Pixels x .. width - 1 of a row.
inline void RgbToYccFrom(int x, const uint8_t* rgb, int width, const double weights[3], uint8_t* ly, uint8_t* cb,
                         uint8_t* cr)
{
    const double kr = weights[0], kg = weights[1], kb = weights[2];
    for (; x < width; ++x) {
        const double r = rgb[3 * x], g = rgb[3 * x + 1], b = rgb[3 * x + 2];
        const double Y = kr * r + kg * g + kb * b;
        ly[x] = static_cast<uint8_t>(static_cast<int>(16.5 + Y * 219.0 / 256.0));
        cb[x] = static_cast<uint8_t>(static_cast<int>(128.5 + (b - Y) * 0.875 * 0.5 / (1.0 - kb)));
        cr[x] = static_cast<uint8_t>(static_cast<int>(128.5 + (r - Y) * 0.875 * 0.5 / (1.0 - kr)));
    }
}

}  // namespace

void RgbRowToYccPlain(const uint8_t* rgb, int width, const double weights[3], uint8_t* ly, uint8_t* cb, uint8_t* cr)
{
    RgbToYccFrom(0, rgb, width, weights, ly, cb, cr);
}

#if defined(__SSE2__)
// Two pixels at a time; the same double operations in the same order.
void RgbRowToYccSse2(const uint8_t* rgb, int width, const double weights[3], uint8_t* ly, uint8_t* cb, uint8_t* cr)
{
    const __m128d kr = _mm_set1_pd(weights[0]), kg = _mm_set1_pd(weights[1]), kb = _mm_set1_pd(weights[2]);
    const __m128d lumScale = _mm_set1_pd(219.0), lumDiv = _mm_set1_pd(256.0), lumOff = _mm_set1_pd(16.5);
    const __m128d chromOff = _mm_set1_pd(128.5), k875 = _mm_set1_pd(0.875), kHalf = _mm_set1_pd(0.5);
    const __m128d cbDiv = _mm_set1_pd(1.0 - weights[2]), crDiv = _mm_set1_pd(1.0 - weights[0]);
    int x = 0;
    for (; x + 1 < width; x += 2) {
        const uint8_t* q = rgb + 3 * x;
        const __m128d r = _mm_set_pd(q[3], q[0]), g = _mm_set_pd(q[4], q[1]), b = _mm_set_pd(q[5], q[2]);
        const __m128d Y = _mm_add_pd(_mm_add_pd(_mm_mul_pd(kr, r), _mm_mul_pd(kg, g)), _mm_mul_pd(kb, b));
        const __m128d yl = _mm_add_pd(lumOff, _mm_div_pd(_mm_mul_pd(Y, lumScale), lumDiv));
        const __m128d u = _mm_add_pd(chromOff, _mm_div_pd(_mm_mul_pd(_mm_mul_pd(_mm_sub_pd(b, Y), k875), kHalf), cbDiv));
        const __m128d v = _mm_add_pd(chromOff, _mm_div_pd(_mm_mul_pd(_mm_mul_pd(_mm_sub_pd(r, Y), k875), kHalf), crDiv));
        const __m128i yi = _mm_cvttpd_epi32(yl), ui = _mm_cvttpd_epi32(u), vi = _mm_cvttpd_epi32(v);
        ly[x] = static_cast<uint8_t>(_mm_cvtsi128_si32(yi));
        ly[x + 1] = static_cast<uint8_t>(_mm_cvtsi128_si32(_mm_srli_si128(yi, 4)));
        cb[x] = static_cast<uint8_t>(_mm_cvtsi128_si32(ui));
        cb[x + 1] = static_cast<uint8_t>(_mm_cvtsi128_si32(_mm_srli_si128(ui, 4)));
        cr[x] = static_cast<uint8_t>(_mm_cvtsi128_si32(vi));
        cr[x + 1] = static_cast<uint8_t>(_mm_cvtsi128_si32(_mm_srli_si128(vi, 4)));
    }
    RgbToYccFrom(x, rgb, width, weights, ly, cb, cr);
}
#endif

}  // namespace kernels

}  // namespace morvane::mpeg
