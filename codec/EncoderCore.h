// Internal state of one encoding run: picture buffers, per-macroblock
// decisions, rate control and the bit writer.  Used by the encoder's own
// source files and by its tests; the program goes through MpegEncoder.h.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "codec/BitWriter.h"
#include "codec/EncoderKernels.h"
#include "codec/EncoderParams.h"
#include "codec/MessageSink.h"
#include "codec/MpegEncoder.h"
#include "engine/SafeFile.h"

namespace morvane::mpeg {

enum PictureType : int { kPictureI = 1, kPictureP = 2, kPictureB = 3 };
enum MotionType : int { kMotionField = 1, kMotionFrame = 2 };

// Three 4:2:0 planes of the coded size.
struct Picture {
    std::array<std::vector<uint8_t>, 3> plane;
    uint8_t* Y() { return plane[0].data(); }
    uint8_t* Cb() { return plane[1].data(); }
    uint8_t* Cr() { return plane[2].data(); }
};

struct MacroblockInfo {
    int type = 0;        // kMbIntra | kMbPattern | kMbBackward | kMbForward | kMbQuant
    int motionType = kMotionFrame;
    int dctType = 0;     // 0 frame, 1 field
    int scale = 0;       // quantiser scale, 2..62
    int cbp = 0;
    bool skipped = false;
    int mv[2][2][2] = {};           // [field r][direction s][x, y] half-pel
    int fieldSelect[2][2] = {};     // [field r][direction s]
    double act = 0.0;
    int64_t distortion = 0;
};

// Half-pel distortions: p is the reference at the integer part of the
// position, (hx, hy) the half-pel flags; c the current area.
int SadHalfPel(const uint8_t* p, const uint8_t* c, int lx, int hx, int hy, int h);
int SseHalfPel(const uint8_t* p, const uint8_t* c, int lx, int hx, int hy, int h);
int SadBidir(const uint8_t* pf, const uint8_t* pb, const uint8_t* c, int lx, int hxf, int hyf, int hxb, int hyb, int h);
int SseBidir(const uint8_t* pf, const uint8_t* pb, const uint8_t* c, int lx, int hxf, int hyf, int hxb, int hyb, int h);
// Sum of squares minus square of the sum / 256 over 16 x 16.
int64_t MacroblockVariance(const uint8_t* p, int lx);

// Forward DCT of one block in place, computed entirely in long double (slow):
// the precision every level's forwardDct kernel gives (EncoderKernels.h).
void ForwardDctReference(int16_t* block);

// Quantisers.  scale is the quantiser scale (2 x quantiser_scale_code);
// `limit` the largest level magnitude the syntax carries (255 MPEG-1, 2047
// MPEG-2).  The forward ones return whether any level is non-zero
// (non-intra) and clip the levels to +-limit.
void QuantIntra(const int16_t* src, int16_t* dst, int dcPrecision, const uint8_t* matrix, int scale, int limit);
bool QuantNonIntra(const int16_t* src, int16_t* dst, const uint8_t* matrix, int scale, int limit);
void DequantIntra(const int16_t* src, int16_t* dst, int dcPrecision, const uint8_t* matrix, int scale, bool mpeg1);
void DequantNonIntra(const int16_t* src, int16_t* dst, const uint8_t* matrix, int scale, bool mpeg1);

// Coding order: picture type and display number of coded picture i.
struct CodedPicture {
    int type;
    int display;
    int gopFirst;  // f0: display number of the GOP's first frame
    bool newGop;
    bool reference;
};
CodedPicture PictureInCodingOrder(int i, int frameCount, int n, int m);

// Whether a macroblock of a B picture can be skipped after a previous
// macroblock of type prevType and motion type prevMotion, with the vector
// predictors pmv[field][direction][x, y].
bool CanSkipBMacroblock(const MacroblockInfo& mb, int prevType, int prevMotion, const int pmv[2][2][2]);

// Time code bits (25) of a frame number at a frame rate.
uint32_t TimeCode(int frame, double frameRate);

// Rate control (Test Model 5).
class RateControl {
public:
    void Start(const EncoderParameters& p, int mbCount);
    void StartGop();
    void StartPicture(int type, uint64_t bitCount);
    int FirstScale() const;  // quantiser scale (2 x code)
    int MacroblockScale(int j, const uint8_t* lum, int lx, uint64_t bitCount);
    void EndPicture(uint64_t bitCount);
    void InitVbv(const EncoderParameters& p);
    int VbvDelay(uint64_t bitCount);

private:
    friend struct EncoderTestAccess;

    // The model's state, by its own names.
    double r = 0, avgAct = 0, R = 0, Xi = 0, Xp = 0, Xb = 0, d0i = 0, d0p = 0, d0b = 0;
    int Np = 0, Nb = 0;
    double T = 0, d = 0;
    uint64_t S = 0;
    int Q = 0;
    double actSum = 0;
    int64_t decodingTime = 0;
    int type = 0;

    double bitRate_ = 0, frameRate_ = 0;
    int n_ = 0, m_ = 0, mbCount_ = 0;
};

// Frame input: reads one source frame into a picture of the coded size.
class FrameReader {
public:
    // The picture's geometry and colour matrix; PPM rows are converted by
    // the kernels' rgbRowToYcc.
    void Configure(const EncoderParameters& p, int codedWidth, int codedHeight, const EncoderKernels& kernels);
    // Reads base + extension; false after a message.
    bool Read(const std::string& base, Picture& pic, MessageSink& sink);
    // Reads a PPM picture from an open stream (`name` for the messages).
    bool ReadPpmStream(std::FILE* f, const std::string& name, Picture& pic, MessageSink& sink);

private:
    bool ReadPpm(const std::string& name, Picture& pic, MessageSink& sink);
    bool ReadPlanar(const std::string& base, Picture& pic, MessageSink& sink);
    void Decimate(Picture& pic);

    int inputType_ = 2, width_ = 0, height_ = 0, codedW_ = 0, codedH_ = 0;
    bool mpeg1_ = true, progressive_ = true;
    double weights_[3] = {0.299, 0.587, 0.114};  // the luma weights kr, kg, kb
    void (*rgbRowToYcc_)(const uint8_t*, int, const double*, uint8_t*, uint8_t*, uint8_t*) = nullptr;
    std::vector<uint8_t> cbFull_, crFull_, cbHalf_, crHalf_, row_;
};

// Border extension: a w x h picture inside a W x H buffer.
void ExtendBorder(uint8_t* plane, int w, int h, int W, int H);

class EncoderCore {
public:
    // The kernels are those of CpuFlags() (engine/Cpu.h) when it is made.
    EncoderCore(EncoderParameters params, MessageSink& sink);
    // Codes the whole sequence; bytes go to `out` as they are ready (the
    // caller commits it).  False when the run stopped after a message.
    bool EncodeSequence(ReplacingFile& out, const std::string& frameFolder,
                        const std::function<void(const ReconstructedPicture&)>& onRecon);

private:
    friend struct EncoderTestAccess;

    // Headers.
    void PutSequenceHeader();
    void PutSequenceExtension();
    void PutSequenceDisplayExtension();
    void PutGopHeader(int frame, bool closed);
    void PutPictureHeader();
    void PutPictureCodingExtension();
    void PutSequenceEnd();

    // Block-level writers (return false after a range message).
    bool PutIntraBlock(const int16_t* level, int component);
    bool PutNonIntraBlock(const int16_t* level);
    void PutMotionVector(int delta, int fcode);
    bool PutCoefficient(int run, int level, int table, bool first);

    void Error(const std::string& text);
    bool Allocate();
    void SetPictureParameters(const CodedPicture& cp);
    void EstimateMotion();
    void EstimateMacroblock(int i, int j, MacroblockInfo& mb);
    void PredictPicture();
    void PredictMacroblock(int i, int j, const MacroblockInfo& mb);
    void ChooseDctTypes();
    void Transform();
    void CodePicture();
    void Reconstruct();
    bool FlushBytes();

    // Searches (see Motion.cpp).
    int SearchArea(const uint8_t* org, const uint8_t* ref, const uint8_t* cur, int i0, int j0, int sx, int sy,
                   int lx, int h, int xmax, int ymax, int& iminOut, int& jminOut);
    void FrameSearch(const uint8_t* org, const uint8_t* ref, const uint8_t* cur, int i, int j, int sx, int sy,
                     int& dframe, int& hx, int& hy);
    void FieldSearch(const uint8_t* org, const uint8_t* ref, const uint8_t* cur, int i, int j, int sx, int sy,
                     int& dfield, int hx[2], int hy[2], int sel[2]);

    void PutAddressIncrement(int inc);
    void PutVectors(const MacroblockInfo& mb, int s, int pmv[2][2][2]);

    EncoderParameters p_;
    MessageSink& sink_;
    EncoderKernels kernels_;
    BitWriter bits_;
    RateControl rc_;
    FrameReader reader_;
    ReplacingFile* out_ = nullptr;
    bool failed_ = false;

    int mbWidth_ = 0, mbHeight_ = 0, width_ = 0, height_ = 0, chromWidth_ = 0, chromHeight_ = 0;
    Picture oldRef_, newRef_, bRecon_, oldSrc_, newSrc_, bSrc_, pred_;
    Picture* curSrc_ = nullptr;
    Picture* curRecon_ = nullptr;
    std::vector<MacroblockInfo> mbInfo_;
    std::vector<int16_t> blocks_;  // 6 x 64 per macroblock
    std::array<uint8_t, 64> intraMatrix_{}, nonIntraMatrix_{};

    // Current picture.
    int pictType_ = kPictureI;
    int temporalRef_ = 0;
    int fcode_[2][2] = {};  // [forward/backward][h/v]
    int sxf_ = 0, syf_ = 0, sxb_ = 0, syb_ = 0;
    int framePredFrameDct_ = 1, intraVlcFormat_ = 0, alternateScan_ = 0;
    int dcPred_[3] = {};  // DC predictors of the slice: luminance, Cb, Cr
};

}  // namespace morvane::mpeg
