// Hand-built MPEG-2 streams with the prediction modes that common encoders
// never use: field prediction in frame pictures, dual prime, field
// pictures (the second field predicted from the first), 16 x 8 prediction
// and bidirectional field prediction.  Macroblocks carry no residual, so
// every predicted picture must equal, sample for sample, a model of the
// prediction rules computed here from the frames the decoder delivered
// before it.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <functional>

#include "codec/BitWriter.h"
#include "codec/Idct.h"
#include "codec/VlcTables.h"
#include "tests/codec/DecoderTestSupport.h"

namespace {

using namespace dectest;
using namespace morvane::mpeg;

constexpr int kW = 64, kH = 64;  // 4 x 4 macroblocks

struct Rng {
    uint32_t s = 1;
    int Next(int lo, int hi)
    {
        s = s * 1103515245u + 12345u;
        return lo + static_cast<int>((s >> 8) % static_cast<uint32_t>(hi - lo + 1));
    }
};

// ---- the model ------------------------------------------------------------

// A frame of the picture's planes (Y 64 x 64, Cb and Cr 32 x 32).
using Frame = Yuv;

const std::vector<uint8_t>& PlaneOf(const Frame& f, int c)
{
    return c == 0 ? f.y : (c == 1 ? f.cb : f.cr);
}

// Sample (x, y) of field `field` (or of the frame when field < 0).
int At(const Frame& f, int c, int field, int x, int y)
{
    const int w = c == 0 ? kW : kW / 2;
    const int h = (c == 0 ? kH : kH / 2) / (field < 0 ? 1 : 2);
    EXPECT_TRUE(x >= 0 && x < w && y >= 0 && y < h) << "model reads outside: " << x << "," << y;
    x = std::clamp(x, 0, w - 1);
    y = std::clamp(y, 0, h - 1);
    return PlaneOf(f, c)[static_cast<size_t>(field < 0 ? y : 2 * y + field) * w + x];
}

// Half-sample prediction of one sample (ISO/IEC 13818-2 7.6.4).
int Predict(const Frame& ref, int c, int field, int x, int y, int mvx, int mvy)
{
    const int ix = static_cast<int>(std::floor(mvx / 2.0)), iy = static_cast<int>(std::floor(mvy / 2.0));
    const bool hx = mvx != 2 * ix, hy = mvy != 2 * iy;
    const int a = At(ref, c, field, x + ix, y + iy);
    if (!hx && !hy) return a;
    if (hx && !hy) return (a + At(ref, c, field, x + ix + 1, y + iy) + 1) / 2;
    if (!hx && hy) return (a + At(ref, c, field, x + ix, y + iy + 1) + 1) / 2;
    return (a + At(ref, c, field, x + ix + 1, y + iy) + At(ref, c, field, x + ix, y + iy + 1) +
            At(ref, c, field, x + ix + 1, y + iy + 1) + 2) /
           4;
}

// A luminance vector's chrominance vector: half, toward zero.
int Chroma(int v)
{
    return static_cast<int>(std::trunc(v / 2.0));
}

// (v * m) // 2 with rounding half away from zero.
int DualScale(int v, int m)
{
    return static_cast<int>(std::lround(v * m / 2.0));
}

// One prediction source: a reference frame and its field (-1: frame).
struct Source {
    const Frame* frame;
    int field;
};

// Writes into `out` (frame, or one field of it) the prediction of the
// luminance area (x, y, 16 x h) and its chrominance, from one source or
// the average of two.
void ModelArea(Frame& out, int outField, int x, int y, int h, Source a, int ax, int ay, const Source* b = nullptr,
               int bx = 0, int by = 0)
{
    for (int c = 0; c < 3; ++c) {
        const int scale = c == 0 ? 1 : 2;
        const int w = 16 / scale, hh = h / scale, x0 = x / scale, y0 = y / scale;
        const int amx = c ? Chroma(ax) : ax, amy = c ? Chroma(ay) : ay;
        const int bmx = c ? Chroma(bx) : bx, bmy = c ? Chroma(by) : by;
        std::vector<uint8_t>& plane = c == 0 ? out.y : (c == 1 ? out.cb : out.cr);
        const int pw = kW / scale;
        for (int r = 0; r < hh; ++r) {
            for (int q = 0; q < w; ++q) {
                int v = Predict(*a.frame, c, a.field, x0 + q, y0 + r, amx, amy);
                if (b) v = (v + Predict(*b->frame, c, b->field, x0 + q, y0 + r, bmx, bmy) + 1) / 2;
                const int row = outField < 0 ? y0 + r : 2 * (y0 + r) + outField;
                plane[static_cast<size_t>(row) * pw + x0 + q] = static_cast<uint8_t>(v);
            }
        }
    }
}

// Whether a luminance area moved by (mvx, mvy) stays in a frame or field.
bool Fits(int x, int y, int h, int mvx, int mvy, bool field)
{
    const int ix = static_cast<int>(std::floor(mvx / 2.0)), iy = static_cast<int>(std::floor(mvy / 2.0));
    const int fh = field ? kH / 2 : kH;
    return x + ix >= 0 && x + ix + 16 + (mvx & 1) <= kW && y + iy >= 0 && y + iy + h + (mvy & 1) <= fh;
}

// ---- the stream -----------------------------------------------------------

class StreamWriter {
public:
    StreamWriter()
    {
        PutSequenceHeader(w, kW, kH, 2, 1000, 112);
        PutSequenceExtension(w);
    }

    // picture_structure 1 top field, 2 bottom field, 3 frame.
    void Picture(int type, int structure, bool framePredFrameDct, bool topFieldFirst = true, int dcPrecision = 0)
    {
        dcReset_ = 128 << dcPrecision;
        type_ = type;
        structure_ = structure;
        PutStartCode(w, 0x00);
        w.PutBits(0, 10);
        w.PutBits(type, 3);
        w.PutBits(0xFFFF, 16);
        if (type >= 2) w.PutBits(7, 4);
        if (type == 3) w.PutBits(7, 4);
        w.PutBits(0, 1);
        PutStartCode(w, 0xB5);
        w.PutBits(8, 4);
        const int fwd = type >= 2 ? 2 : 15, bwd = type == 3 ? 2 : 15;
        w.PutBits(fwd, 4);
        w.PutBits(fwd, 4);
        w.PutBits(bwd, 4);
        w.PutBits(bwd, 4);
        w.PutBits(dcPrecision, 2);
        w.PutBits(structure, 2);
        w.PutBits(topFieldFirst, 1);
        w.PutBits(framePredFrameDct, 1);
        w.PutBits(0, 6);   // concealment .. repeat_first_field
        w.PutBits(0, 2);   // chroma_420_type, progressive_frame
        w.PutBits(0, 1);   // composite_display_flag
    }

    void Slice(int row)
    {
        PutStartCode(w, row + 1);
        w.PutBits(4, 5);
        w.PutBits(0, 1);
        std::memset(pmv, 0, sizeof pmv);
        dc[0] = dc[1] = dc[2] = dcReset_;
    }

    // An intra macroblock of DC and a few AC coefficients.
    void IntraMacroblock(Rng& rng)
    {
        w.PutBits(1, 1);  // increment 1
        w.PutBits(1, 1);  // intra
        for (int n = 0; n < 6; ++n) {
            PutDc(n < 4 ? 0 : n - 3, rng.Next(40, 215));
            for (int k = rng.Next(0, 4); k > 0; --k) {
                const int run = rng.Next(0, 2), lev = rng.Next(1, 3);
                const DctEntry* e = FindDctCode(0, run, lev);
                ASSERT_NE(e, nullptr);
                w.PutBits(e->code, e->length);
                w.PutBits(rng.Next(0, 1), 1);
            }
            w.PutBits(kEndOfBlockZero.code, kEndOfBlockZero.length);
        }
    }

    // An I frame picture of intra macroblocks.
    void IntraFrame(Rng& rng)
    {
        Picture(1, 3, true);
        for (int row = 0; row < kH / 16; ++row) {
            Slice(row);
            for (int col = 0; col < kW / 16; ++col) IntraMacroblock(rng);
        }
    }

    // A macroblock without residual: its type, its motion type (when sent)
    // and the vectors of each direction used.
    struct Vectors {
        int select[2] = {0, 0};
        int mv[2][2] = {};  // [r][t]
        int dmv[2] = {0, 0};
    };
    void PredictedMacroblock(int flags, int motionType, const Vectors* fwd, const Vectors* bwd)
    {
        w.PutBits(1, 1);
        PutVlc(w, type_ == 2 ? kMacroblockTypeP : kMacroblockTypeB, flags);
        w.PutBits(motionType, 2);
        const bool frame = structure_ == 3;
        const int count = frame ? (motionType == 1 ? 2 : 1) : (motionType == 2 ? 2 : 1);
        const bool fieldFormat = !frame || motionType != 2;
        const bool dual = motionType == 3;
        for (int s = 0; s < 2; ++s) {
            const Vectors* v = s == 0 ? fwd : bwd;
            if (!v) continue;
            for (int r = 0; r < count; ++r) {
                if (fieldFormat && !dual) w.PutBits(v->select[r], 1);
                for (int t = 0; t < 2; ++t) {
                    const bool halve = fieldFormat && t == 1 && frame;
                    const int prediction = halve ? pmv[r][s][t] >> 1 : pmv[r][s][t];
                    Delta(v->mv[r][t] - prediction);
                    pmv[r][s][t] = halve ? v->mv[r][t] * 2 : v->mv[r][t];
                    if (dual) PutVlc(w, kDmvector, v->dmv[t]);
                }
            }
            if (count == 1) {
                pmv[1][s][0] = pmv[0][s][0];
                pmv[1][s][1] = pmv[0][s][1];
            }
        }
    }

    // Bits written as they are (damaged data for the tests).
    void Raw(uint32_t bits, int n) { w.PutBits(bits, n); }

    // An intra macroblock whose block 0 has the given DC level and nothing
    // else; the other blocks are mid grey.
    void DcMacroblock(int level)
    {
        w.PutBits(1, 1);
        w.PutBits(1, 1);
        for (int n = 0; n < 6; ++n) {
            PutDc(n < 4 ? 0 : n - 3, n == 0 ? level : dcReset_);
            w.PutBits(kEndOfBlockZero.code, kEndOfBlockZero.length);
        }
    }

    std::vector<uint8_t> Finish()
    {
        PutStartCode(w, 0xB7);
        return w.TakeBytes();
    }

private:
    // The DC level of a block of component c, as the difference from the
    // component's last one.
    void PutDc(int c, int level)
    {
        PutDcDifferential(w, c == 0, level - dc[c]);
        dc[c] = level;
    }

    // A vector difference with f_code 2.
    void Delta(int d)
    {
        // The decoder wraps vectors into -32..31 (f_code 2).
        if (d > 31) d -= 64;
        if (d < -32) d += 64;
        if (d == 0) {
            PutVlc(w, kMotionCode, 0);
            return;
        }
        const int code = (std::abs(d) + 1) >> 1;
        PutVlc(w, kMotionCode, d < 0 ? -code : code);
        w.PutBits((std::abs(d) + 1) & 1, 1);
    }

    BitWriter w;
    int type_ = 1, structure_ = 3, dcReset_ = 128;
    int pmv[2][2][2] = {};
    int dc[3] = {128, 128, 128};
};

// ---- the test ---------------------------------------------------------------

// What a macroblock of a predicted picture does, for the model.
using ModelStep = std::function<void(const std::vector<Frame>& out, Frame& expected)>;

struct Built {
    std::vector<uint8_t> stream;
    // Per delivered frame: the model, and which fields it fixes.
    std::vector<std::vector<ModelStep>> models;
};

TEST(DecoderFields, HandBuiltPredictionModes)
{
    Rng rng;
    StreamWriter sw;
    // Delivered frames: 0 I, 1 B (frame, field prediction both ways), 2 P
    // (frame: field prediction and dual prime), 3 I|P field pair, 4 B field
    // pair (field and 16 x 8), 5 P|P field pair (field, 16 x 8, dual prime).
    std::vector<std::vector<ModelStep>> model(6);

    // Random vectors that keep every predicted area inside its reference.
    auto vector = [&](int x, int y, int h, bool field) {
        for (;;) {
            const int mvx = rng.Next(-12, 12), mvy = rng.Next(-8, 8);
            if (Fits(x, y, h, mvx, mvy, field)) return std::pair{mvx, mvy};
        }
    };

    // Frame 0: I frame picture.
    sw.IntraFrame(rng);

    // Frame 2 (delivered third): P frame picture from frame 0.
    sw.Picture(2, 3, false, true);
    for (int row = 0; row < 4; ++row) {
        sw.Slice(row);
        for (int col = 0; col < 4; ++col) {
            const int x = 16 * col, y = 16 * row;
            StreamWriter::Vectors v;
            if (rng.Next(0, 1) == 0) {
                // Field prediction: each field of the macroblock from a field.
                for (int f = 0; f < 2; ++f) {
                    v.select[f] = rng.Next(0, 1);
                    std::tie(v.mv[f][0], v.mv[f][1]) = vector(x, y / 2, 8, true);
                }
                sw.PredictedMacroblock(kMbForward, 1, &v, nullptr);
                model[2].push_back([=](const std::vector<Frame>& out, Frame& e) {
                    for (int f = 0; f < 2; ++f) {
                        ModelArea(e, f, x, y / 2, 8, {&out[0], v.select[f]}, v.mv[f][0], v.mv[f][1]);
                    }
                });
            } else {
                // Dual prime (top field first).
                int mvx, mvy, d0, d1;
                for (;;) {
                    std::tie(mvx, mvy) = vector(x, y / 2, 8, true);
                    d0 = rng.Next(-1, 1);
                    d1 = rng.Next(-1, 1);
                    if (Fits(x, y / 2, 8, DualScale(mvx, 1) + d0, DualScale(mvy, 1) + d1 - 1, true) &&
                        Fits(x, y / 2, 8, DualScale(mvx, 3) + d0, DualScale(mvy, 3) + d1 + 1, true)) {
                        break;
                    }
                }
                v.mv[0][0] = mvx;
                v.mv[0][1] = mvy;
                v.dmv[0] = d0;
                v.dmv[1] = d1;
                sw.PredictedMacroblock(kMbForward, 3, &v, nullptr);
                model[2].push_back([=](const std::vector<Frame>& out, Frame& e) {
                    const Source top{&out[0], 0}, bottom{&out[0], 1};
                    // Top field: same parity with the vector, bottom field
                    // (one field period back) with the derived one.
                    ModelArea(e, 0, x, y / 2, 8, top, mvx, mvy, &bottom, DualScale(mvx, 1) + d0,
                              DualScale(mvy, 1) + d1 - 1);
                    ModelArea(e, 1, x, y / 2, 8, bottom, mvx, mvy, &top, DualScale(mvx, 3) + d0,
                              DualScale(mvy, 3) + d1 + 1);
                });
            }
        }
    }

    // Frame 1: B frame picture, field prediction both ways.
    sw.Picture(3, 3, false);
    for (int row = 0; row < 4; ++row) {
        sw.Slice(row);
        for (int col = 0; col < 4; ++col) {
            const int x = 16 * col, y = 16 * row;
            StreamWriter::Vectors f, b;
            for (int k = 0; k < 2; ++k) {
                f.select[k] = rng.Next(0, 1);
                b.select[k] = rng.Next(0, 1);
                std::tie(f.mv[k][0], f.mv[k][1]) = vector(x, y / 2, 8, true);
                std::tie(b.mv[k][0], b.mv[k][1]) = vector(x, y / 2, 8, true);
            }
            sw.PredictedMacroblock(kMbForward | kMbBackward, 1, &f, &b);
            model[1].push_back([=](const std::vector<Frame>& out, Frame& e) {
                for (int k = 0; k < 2; ++k) {
                    const Source back{&out[2], b.select[k]};
                    ModelArea(e, k, x, y / 2, 8, {&out[0], f.select[k]}, f.mv[k][0], f.mv[k][1], &back, b.mv[k][0],
                              b.mv[k][1]);
                }
            });
        }
    }

    // A P field picture's macroblocks; `current` is the delivered index of
    // the frame being decoded, `ref` that of its forward reference.
    auto fieldP = [&](int parity, bool second, int current, int ref) {
        sw.Picture(2, parity == 0 ? 1 : 2, false);
        for (int row = 0; row < 2; ++row) {
            sw.Slice(row);
            for (int col = 0; col < 4; ++col) {
                const int x = 16 * col, y = 16 * row;
                // The reference field that a select bit names.
                auto source = [=](const std::vector<Frame>& out, int select) {
                    return Source{second && select != parity ? &out[current] : &out[ref], select};
                };
                StreamWriter::Vectors v;
                const int mode = rng.Next(1, 3);
                if (mode == 1) {
                    v.select[0] = rng.Next(0, 1);
                    std::tie(v.mv[0][0], v.mv[0][1]) = vector(x, y, 16, true);
                    model[current].push_back([=](const std::vector<Frame>& out, Frame& e) {
                        ModelArea(e, parity, x, y, 16, source(out, v.select[0]), v.mv[0][0], v.mv[0][1]);
                    });
                } else if (mode == 2) {
                    for (int k = 0; k < 2; ++k) {
                        v.select[k] = rng.Next(0, 1);
                        std::tie(v.mv[k][0], v.mv[k][1]) = vector(x, y + 8 * k, 8, true);
                    }
                    model[current].push_back([=](const std::vector<Frame>& out, Frame& e) {
                        for (int k = 0; k < 2; ++k) {
                            ModelArea(e, parity, x, y + 8 * k, 8, source(out, v.select[k]), v.mv[k][0], v.mv[k][1]);
                        }
                    });
                } else {
                    const int eShift = parity == 0 ? -1 : 1;
                    int mvx, mvy, d0, d1;
                    for (;;) {
                        std::tie(mvx, mvy) = vector(x, y, 16, true);
                        d0 = rng.Next(-1, 1);
                        d1 = rng.Next(-1, 1);
                        if (Fits(x, y, 16, DualScale(mvx, 1) + d0, DualScale(mvy, 1) + d1 + eShift, true)) break;
                    }
                    v.mv[0][0] = mvx;
                    v.mv[0][1] = mvy;
                    v.dmv[0] = d0;
                    v.dmv[1] = d1;
                    model[current].push_back([=](const std::vector<Frame>& out, Frame& e) {
                        const Source opposite = source(out, 1 - parity);
                        ModelArea(e, parity, x, y, 16, source(out, parity), mvx, mvy, &opposite,
                                  DualScale(mvx, 1) + d0, DualScale(mvy, 1) + d1 + eShift);
                    });
                }
                sw.PredictedMacroblock(kMbForward, mode, &v, nullptr);
            }
        }
    };

    // Frame 3: I top field, then a P bottom field that predicts from it.
    sw.Picture(1, 1, false);
    for (int row = 0; row < 2; ++row) {
        sw.Slice(row);
        for (int col = 0; col < 4; ++col) sw.IntraMacroblock(rng);
    }
    fieldP(1, true, 3, 2);
    // Frame 5: a P field pair from frame 3.
    fieldP(0, false, 5, 3);
    fieldP(1, true, 5, 3);
    // Frame 4: a B field pair (bottom first) between frames 3 and 5.
    for (int parity : {1, 0}) {
        sw.Picture(3, parity == 0 ? 1 : 2, false, false);
        for (int row = 0; row < 2; ++row) {
            sw.Slice(row);
            for (int col = 0; col < 4; ++col) {
                const int x = 16 * col, y = 16 * row;
                const int choices[3] = {kMbForward, kMbBackward, kMbForward | kMbBackward};
                const int flags = choices[rng.Next(0, 2)];
                const int mode = rng.Next(1, 2);
                StreamWriter::Vectors f, b;
                for (int k = 0; k < 2; ++k) {
                    f.select[k] = rng.Next(0, 1);
                    b.select[k] = rng.Next(0, 1);
                    const int h = mode == 1 ? 16 : 8;
                    const int yy = mode == 1 ? y : y + 8 * k;
                    std::tie(f.mv[k][0], f.mv[k][1]) = vector(x, yy, h, true);
                    std::tie(b.mv[k][0], b.mv[k][1]) = vector(x, yy, h, true);
                }
                sw.PredictedMacroblock(flags, mode, (flags & kMbForward) ? &f : nullptr,
                                       (flags & kMbBackward) ? &b : nullptr);
                model[4].push_back([=](const std::vector<Frame>& out, Frame& e) {
                    for (int k = 0; k < (mode == 1 ? 1 : 2); ++k) {
                        const int h = mode == 1 ? 16 : 8;
                        const Source fs{&out[3], f.select[k]}, bs{&out[5], b.select[k]};
                        if (flags == kMbForward) {
                            ModelArea(e, parity, x, y + 8 * k, h, fs, f.mv[k][0], f.mv[k][1]);
                        } else if (flags == kMbBackward) {
                            ModelArea(e, parity, x, y + 8 * k, h, bs, b.mv[k][0], b.mv[k][1]);
                        } else {
                            ModelArea(e, parity, x, y + 8 * k, h, fs, f.mv[k][0], f.mv[k][1], &bs, b.mv[k][0],
                                      b.mv[k][1]);
                        }
                    }
                });
            }
        }
    }
    const std::vector<uint8_t> stream = sw.Finish();
    // The stream as a seed of the decoder's fuzz corpus, on request.
    if (const char* dump = std::getenv("MORVANE_DUMP_FIELD_STREAM")) WriteFile(dump, stream);

    MessageCapture messages;
    morvane::MpegVideoDecoder decoder(messages.Sink());
    decoder.Start(stream.data(), stream.size());
    std::vector<Frame> out;
    while (const morvane::DecodedPlanes* f = decoder.NextFrame()) out.push_back(CopyPlanes(*f));
    EXPECT_TRUE(messages.diagnostics.empty()) << messages.diagnostics.front();
    ASSERT_EQ(out.size(), 6u);
    EXPECT_EQ(decoder.DecodedFrameCount(), 6);

    for (int i = 1; i < 6; ++i) {
        Frame expected = out[i];  // the fields not modelled stay as decoded
        for (const ModelStep& step : model[i]) step(out, expected);
        ASSERT_EQ(model[i].empty(), false);
        for (int c = 0; c < 3; ++c) {
            const auto& got = PlaneOf(out[i], c);
            const auto& want = PlaneOf(expected, c);
            size_t diff = 0;
            while (diff < got.size() && got[diff] == want[diff]) ++diff;
            EXPECT_EQ(diff, got.size()) << "frame " << i << " component " << c << " first differs at sample "
                                        << diff;
        }
    }
    // The decoder's frame 3 top field is the I field (not modelled): it
    // must differ from frame 2, or the bottom-field test above proves
    // little.
    EXPECT_NE(out[3].y, out[2].y);

    // The stream cut after the first field of the last pair: the pair is
    // not delivered, the message says so, and frame 5 (complete) still is.
    std::vector<uint8_t> cut = stream;
    MessageCapture cutMessages;
    size_t lastPicture = 0;
    for (size_t i = 0; i + 4 <= cut.size(); ++i) {
        if (cut[i] == 0 && cut[i + 1] == 0 && cut[i + 2] == 1 && cut[i + 3] == 0) lastPicture = i;
    }
    cut.resize(lastPicture);
    morvane::MpegVideoDecoder cutDecoder(cutMessages.Sink());
    cutDecoder.Start(cut.data(), cut.size());
    int frames = 0;
    while (cutDecoder.NextFrame()) ++frames;
    EXPECT_EQ(frames, 5);
    ASSERT_EQ(cutMessages.diagnostics.size(), 1u);
    EXPECT_EQ(cutMessages.diagnostics[0], "last frame incomplete, not stored\n");
}

// A damaged slice: decoding resumes at the next slice, and the macroblocks
// in between keep what the frame buffer held (the picture decoded two
// reference pictures before).
TEST(DecoderFields, DamagedSliceIsSkippedToTheNextSlice)
{
    Rng rng;
    StreamWriter sw;
    sw.IntraFrame(rng);
    StreamWriter::Vectors zero;
    for (int picture = 0; picture < 2; ++picture) {
        sw.Picture(2, 3, false);
        for (int row = 0; row < 4; ++row) {
            sw.Slice(row);
            for (int col = 0; col < 4; ++col) {
                if (picture == 1 && row == 1 && col == 2) {
                    sw.Raw(0x1, 9);  // 0000 0000 1: no macroblock_address_increment
                    sw.Raw(0x3FF, 10);
                    break;
                }
                zero.mv[0][0] = (col < 3 ? 1 : -1) * (2 * picture + 1);  // a little motion
                sw.PredictedMacroblock(kMbForward, 2, &zero, nullptr);
            }
        }
    }
    const std::vector<uint8_t> stream = sw.Finish();
    MessageCapture messages;
    const std::vector<Yuv> out = DecodeAll(stream, messages.Sink());
    ASSERT_EQ(out.size(), 3u);
    ASSERT_EQ(messages.diagnostics.size(), 1u);
    EXPECT_EQ(messages.diagnostics[0], "Invalid macroblock_address_increment code\n");
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x) {
            const bool lost = y >= 16 && y < 32 && x >= 32;
            const int expected = lost ? out[0].y[y * kW + x] : Predict(out[1], 0, -1, x, y, x < 48 ? 3 : -3, 0);
            ASSERT_EQ(out[2].y[y * kW + x], expected) << x << "," << y;
        }
    }
}

TEST(DecoderFields, InvalidMotionTypeIsReported)
{
    Rng rng;
    StreamWriter sw;
    sw.IntraFrame(rng);
    sw.Picture(2, 1, false);
    sw.Slice(0);
    sw.Raw(1, 1);      // increment 1
    sw.Raw(1, 3);      // 001: forward, not coded
    sw.Raw(0, 2);      // field_motion_type 0 (reserved)
    sw.Raw(0xFF, 8);
    MessageCapture messages;
    DecodeAll(sw.Finish(), messages.Sink());
    ASSERT_GE(messages.diagnostics.size(), 1u);
    EXPECT_EQ(messages.diagnostics[0], "invalid motion_type\n");
}

// MPEG-2 mismatch control: a block whose coefficients sum to an even
// number has coefficient 63 changed by one before the inverse transform.
// With an 11-bit DC (intra_dc_precision 3) the DC coefficient is the level
// itself; 4 puts every sample on a rounding boundary, where the change
// shows.
TEST(DecoderFields, MismatchControlTogglesTheLastCoefficient)
{
    for (int coefficient : {4, 5}) {
        StreamWriter sw;
        sw.Picture(1, 3, true, true, 3);
        for (int row = 0; row < 4; ++row) {
            sw.Slice(row);
            for (int col = 0; col < 4; ++col) sw.DcMacroblock(1024 + (row == 0 && col == 0 ? coefficient : 0));
        }
        const std::vector<Yuv> out = DecodeAll(sw.Finish());
        ASSERT_EQ(out.size(), 1u);
        int16_t block[64] = {};
        block[0] = static_cast<int16_t>(coefficient);
        if (coefficient % 2 == 0) block[63] = 1;
        morvane::fast_idct(block);
        bool flat = true;
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 8; ++x) {
                ASSERT_EQ(out[0].y[y * kW + x], std::clamp(block[8 * y + x] + 128, 0, 255)) << coefficient;
                flat = flat && out[0].y[y * kW + x] == out[0].y[0];
            }
        }
        EXPECT_EQ(flat, coefficient % 2 != 0) << coefficient;
    }
}

// A vector that points outside the reference frame is clamped to it: the
// macroblock in the top-left corner moved 16 samples left predicts from
// the corner itself.
TEST(DecoderFields, VectorOutsideTheReferenceIsClamped)
{
    Rng rng;
    StreamWriter sw;
    sw.IntraFrame(rng);
    sw.Picture(2, 3, false);
    StreamWriter::Vectors v;
    for (int row = 0; row < 4; ++row) {
        sw.Slice(row);
        for (int col = 0; col < 4; ++col) {
            v.mv[0][0] = col == 0 ? -32 : 0;
            v.mv[0][1] = row == 3 ? 31 : 0;
            sw.PredictedMacroblock(kMbForward, 2, &v, nullptr);
        }
    }
    MessageCapture messages;
    const std::vector<Yuv> out = DecodeAll(sw.Finish(), messages.Sink());
    ASSERT_EQ(out.size(), 2u);
    // Every macroblock ends up a copy of its own area.
    EXPECT_EQ(out[1].y, out[0].y);
    EXPECT_EQ(out[1].cb, out[0].cb);
    EXPECT_TRUE(messages.diagnostics.empty());
}

}  // namespace
