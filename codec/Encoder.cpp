// The encoder's front end, its sequence loop (coding order, GOPs), the
// headers, and the picture coder (slices, macroblocks, blocks).
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "codec/EncoderCore.h"
#include "codec/Idct.h"
#include "codec/MpegEncoder.h"
#include "codec/VlcTables.h"
#include "engine/Cpu.h"

namespace morvane {

using namespace mpeg;

namespace mpeg {

CodedPicture PictureInCodingOrder(int i, int frameCount, int n, int m)
{
    CodedPicture cp{};
    int f0 = n * ((i + m - 1) / n) - (m - 1);
    if (f0 < 0) f0 = 0;
    cp.gopFirst = f0;
    if (i == 0 || (i - 1) % m == 0) {
        cp.reference = true;
        cp.display = i == 0 ? 0 : i + m - 1;
        if (cp.display > frameCount - 1) cp.display = frameCount - 1;
        cp.newGop = i == f0;
        cp.type = cp.newGop ? kPictureI : kPictureP;
    } else {
        cp.type = kPictureB;
        cp.display = i - 1;
    }
    return cp;
}

bool CanSkipBMacroblock(const MacroblockInfo& mb, int prevType, int prevMotion, const int pmv[2][2][2])
{
    // A decoder repeats the previous macroblock's prediction with the vector
    // predictors, as frame prediction; field prediction of the previous
    // macroblock is not repeated the same way by every decoder, so that case
    // is coded.
    if (mb.type & kMbIntra || mb.cbp != 0) return false;
    if (mb.motionType != kMotionFrame || prevMotion != kMotionFrame || (prevType & kMbIntra)) return false;
    if (((mb.type ^ prevType) & (kMbForward | kMbBackward)) != 0) return false;
    if (!(mb.type & (kMbForward | kMbBackward))) return false;
    for (int s = 0; s < 2; ++s) {
        if (!(mb.type & (s ? kMbBackward : kMbForward))) continue;
        if (mb.mv[0][s][0] != pmv[0][s][0] || mb.mv[0][s][1] != pmv[0][s][1]) return false;
    }
    return true;
}

uint32_t TimeCode(int frame, double frameRate)
{
    const int fps = static_cast<int>(frameRate + 0.5);
    const int pictures = frame % fps;
    const int s = frame / fps;
    const uint32_t seconds = s % 60, minutes = (s / 60) % 60, hours = (s / 3600) % 24;
    return (hours << 19) | (minutes << 13) | (1u << 12) | (seconds << 6) | static_cast<uint32_t>(pictures);
}

EncoderCore::EncoderCore(EncoderParameters params, MessageSink& sink)
    : p_(std::move(params)),
      sink_(sink),
      kernels_(EncoderKernelsFor(CpuFlags()))
{
    for (int i = 0; i < 64; ++i) {
        intraMatrix_[i] = kDefaultIntraMatrix[i];
        nonIntraMatrix_[i] = kDefaultNonIntraValue;
    }
    mbWidth_ = (p_.horizontalSize + 15) / 16;
    mbHeight_ = p_.progressiveSequence ? (p_.verticalSize + 15) / 16 : 2 * ((p_.verticalSize + 31) / 32);
    width_ = 16 * mbWidth_;
    height_ = 16 * mbHeight_;
    chromWidth_ = width_ / 2;
    chromHeight_ = height_ / 2;
}

void EncoderCore::Error(const std::string& text)
{
    if (!failed_) sink_.Report(text);
    failed_ = true;
}

bool EncoderCore::Allocate()
{
    try {
        const size_t lum = static_cast<size_t>(width_) * height_;
        for (Picture* pic : {&oldRef_, &newRef_, &bRecon_, &oldSrc_, &newSrc_, &bSrc_, &pred_}) {
            pic->plane[0].assign(lum, 0);
            pic->plane[1].assign(lum / 4, 0);
            pic->plane[2].assign(lum / 4, 0);
        }
        const size_t mbs = static_cast<size_t>(mbWidth_) * mbHeight_;
        mbInfo_.assign(mbs, MacroblockInfo{});
        blocks_.assign(mbs * 6 * 64, 0);
        reader_.Configure(p_, width_, height_, kernels_);
    } catch (const std::bad_alloc&) {
        Error("malloc failed\n");
        return false;
    }
    return true;
}

// ---- headers --------------------------------------------------------------

namespace {

uint32_t BitRateValue(double bitRate) { return static_cast<uint32_t>(std::ceil(bitRate * 0.0025)); }

}  // namespace

void EncoderCore::PutSequenceHeader()
{
    BitWriter& b = bits_;
    b.AlignBits();
    b.PutBits(0x000001B3, 32);
    b.PutBits(p_.horizontalSize & 0xFFF, 12);
    b.PutBits(p_.verticalSize & 0xFFF, 12);
    b.PutBits(p_.aspectRatioCode, 4);
    b.PutBits(p_.frameRateCode, 4);
    b.PutBits(BitRateValue(p_.bitRate) & 0x3FFFF, 18);
    b.PutBits(1, 1);
    b.PutBits(p_.vbvBufferSize & 0x3FF, 10);
    b.PutBits(p_.constrainedParameters, 1);
    b.PutBits(0, 1);  // load_intra_quantiser_matrix
    b.PutBits(0, 1);  // load_non_intra_quantiser_matrix
}

void EncoderCore::PutSequenceExtension()
{
    BitWriter& b = bits_;
    b.AlignBits();
    b.PutBits(0x000001B5, 32);
    b.PutBits(1, 4);
    b.PutBits((p_.profile << 4) + p_.level, 8);
    b.PutBits(p_.progressiveSequence, 1);
    b.PutBits(1, 2);  // chroma_format 4:2:0
    b.PutBits(p_.horizontalSize >> 12, 2);
    b.PutBits(p_.verticalSize >> 12, 2);
    b.PutBits(BitRateValue(p_.bitRate) >> 18, 12);
    b.PutBits(1, 1);
    b.PutBits(p_.vbvBufferSize >> 10, 8);
    b.PutBits(0, 1);  // low_delay
    b.PutBits(0, 2);  // frame_rate_extension_n
    b.PutBits(0, 5);  // frame_rate_extension_d
}

void EncoderCore::PutSequenceDisplayExtension()
{
    BitWriter& b = bits_;
    b.AlignBits();
    b.PutBits(0x000001B5, 32);
    b.PutBits(2, 4);
    b.PutBits(p_.videoFormatCode, 3);
    b.PutBits(1, 1);  // colour_description
    b.PutBits(p_.colourPrimaries, 8);
    b.PutBits(p_.transferCharacteristics, 8);
    b.PutBits(p_.matrixCoefficients, 8);
    b.PutBits(p_.displayHorizontalSize, 14);
    b.PutBits(1, 1);
    b.PutBits(p_.displayVerticalSize, 14);
}

void EncoderCore::PutGopHeader(int frame, bool closed)
{
    BitWriter& b = bits_;
    b.AlignBits();
    b.PutBits(0x000001B8, 32);
    b.PutBits(TimeCode(frame, p_.frameRate), 25);
    b.PutBits(closed ? 1 : 0, 1);
    b.PutBits(0, 1);  // broken_link
}

void EncoderCore::PutPictureHeader()
{
    BitWriter& b = bits_;
    b.AlignBits();
    b.PutBits(0x00000100, 32);
    const int vbvDelay = rc_.VbvDelay(b.BitCount());
    b.PutBits(temporalRef_ & 0x3FF, 10);
    b.PutBits(pictType_, 3);
    b.PutBits(vbvDelay, 16);
    const bool mpeg1 = p_.isMpeg1 != 0;
    if (pictType_ == kPictureP || pictType_ == kPictureB) {
        b.PutBits(0, 1);  // full_pel_forward_vector
        b.PutBits(mpeg1 ? fcode_[0][0] : 7, 3);
    }
    if (pictType_ == kPictureB) {
        b.PutBits(0, 1);  // full_pel_backward_vector
        b.PutBits(mpeg1 ? fcode_[1][0] : 7, 3);
    }
    b.PutBits(0, 1);  // extra_bit_picture
}

void EncoderCore::PutPictureCodingExtension()
{
    BitWriter& b = bits_;
    b.AlignBits();
    b.PutBits(0x000001B5, 32);
    b.PutBits(8, 4);
    b.PutBits(fcode_[0][0], 4);
    b.PutBits(fcode_[0][1], 4);
    b.PutBits(fcode_[1][0], 4);
    b.PutBits(fcode_[1][1], 4);
    b.PutBits(p_.intraDcPrecision, 2);
    b.PutBits(3, 2);  // frame picture
    b.PutBits(p_.topFieldFirst, 1);
    b.PutBits(framePredFrameDct_, 1);
    b.PutBits(0, 1);  // concealment_motion_vectors
    b.PutBits(0, 1);  // q_scale_type
    b.PutBits(intraVlcFormat_, 1);
    b.PutBits(alternateScan_, 1);
    b.PutBits(p_.repeatFirstField, 1);
    b.PutBits(p_.progressiveFrame, 1);  // chroma_420_type
    b.PutBits(p_.progressiveFrame, 1);
    b.PutBits(0, 1);  // composite_display_flag
}

void EncoderCore::PutSequenceEnd()
{
    bits_.AlignBits();
    bits_.PutBits(0x000001B7, 32);
}

// ---- variable-length coding of macroblocks -------------------------------

namespace {

void PutVlc(BitWriter& b, std::span<const VlcEntry> table, int value)
{
    for (const VlcEntry& e : table)
        if (e.value == value) {
            b.PutBits(e.code, e.length);
            return;
        }
}

}  // namespace

void EncoderCore::PutAddressIncrement(int inc)
{
    while (inc > 33) {
        bits_.PutBits(kMacroblockEscape.code, kMacroblockEscape.length);
        inc -= 33;
    }
    const VlcEntry& e = kMacroblockAddressIncrement[inc - 1];
    bits_.PutBits(e.code, e.length);
}

void EncoderCore::PutMotionVector(int delta, int fcode)
{
    const int rSize = fcode - 1;
    const int f = 1 << rSize;
    if (delta > 16 * f - 1) delta -= 32 * f;
    if (delta < -16 * f) delta += 32 * f;
    const int mag = (std::abs(delta) + f - 1) >> rSize;
    const int code = delta < 0 ? -mag : mag;
    const VlcEntry& e = kMotionCode[code + 16];
    bits_.PutBits(e.code, e.length);
    if (rSize > 0 && code != 0) bits_.PutBits((std::abs(delta) + f - 1) & (f - 1), rSize);
}

void EncoderCore::PutVectors(const MacroblockInfo& mb, int s, int pmv[2][2][2])
{
    if (mb.motionType == kMotionFrame) {
        PutMotionVector(mb.mv[0][s][0] - pmv[0][s][0], fcode_[s][0]);
        PutMotionVector(mb.mv[0][s][1] - pmv[0][s][1], fcode_[s][1]);
        pmv[0][s][0] = pmv[1][s][0] = mb.mv[0][s][0];
        pmv[0][s][1] = pmv[1][s][1] = mb.mv[0][s][1];
        return;
    }
    for (int r = 0; r < 2; ++r) {
        bits_.PutBits(mb.fieldSelect[r][s], 1);
        PutMotionVector(mb.mv[r][s][0] - pmv[r][s][0], fcode_[s][0]);
        PutMotionVector((mb.mv[r][s][1] >> 1) - (pmv[r][s][1] >> 1), fcode_[s][1]);
        pmv[r][s][0] = mb.mv[r][s][0];
        pmv[r][s][1] = mb.mv[r][s][1];
    }
}

bool EncoderCore::PutIntraBlock(const int16_t* level, int component)
{
    const int diff = level[0] - dcPred_[component];
    dcPred_[component] = level[0];
    if (std::abs(diff) >= 2048) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "DC value out of range (%d)\n", diff);
        Error(buf);
        return false;
    }
    int size = 0;
    for (int a = std::abs(diff); a; a >>= 1) ++size;
    const VlcEntry& e = component == 0 ? kDctDcSizeLuminance[size] : kDctDcSizeChrominance[size];
    bits_.PutBits(e.code, e.length);
    if (size) bits_.PutBits(diff < 0 ? diff + (1 << size) - 1 : diff, size);

    const uint8_t* scan = alternateScan_ ? kAlternateScan : kZigZag;
    const int table = intraVlcFormat_;
    int run = 0;
    for (int n = 1; n < 64; ++n) {
        const int v = level[scan[n]];
        if (!v) {
            ++run;
            continue;
        }
        if (!PutCoefficient(run, v, table, false)) return false;
        run = 0;
    }
    const Vlc eob = table ? kEndOfBlockOne : kEndOfBlockZero;
    bits_.PutBits(eob.code, eob.length);
    return true;
}

bool EncoderCore::PutNonIntraBlock(const int16_t* level)
{
    const uint8_t* scan = alternateScan_ ? kAlternateScan : kZigZag;
    int run = 0;
    bool first = true;
    for (int n = 0; n < 64; ++n) {
        const int v = level[scan[n]];
        if (!v) {
            ++run;
            continue;
        }
        if (!PutCoefficient(run, v, 0, first)) return false;
        first = false;
        run = 0;
    }
    bits_.PutBits(kEndOfBlockZero.code, kEndOfBlockZero.length);
    return true;
}

bool EncoderCore::PutCoefficient(int run, int level, int table, bool first)
{
    const bool mpeg1 = p_.isMpeg1 != 0;
    const int a = std::abs(level);
    if (run < 0 || run > 63 || level == 0 || a >= 2048 || (mpeg1 && (level < -255 || level > 255))) {
        char buf[96];
        std::snprintf(buf, sizeof buf, "AC value out of range (run=%d, signed_level=%d)\n", run, level);
        Error(buf);
        return false;
    }
    const int sign = level < 0 ? 1 : 0;
    if (first && table == 0 && run == 0 && a == 1) {
        bits_.PutBits((kFirstCoefficientOne.code << 1) | sign, 2);
        return true;
    }
    if (const DctEntry* e = FindDctCode(table, run, a)) {
        bits_.PutBits((static_cast<uint32_t>(e->code) << 1) | sign, e->length + 1);
        return true;
    }
    bits_.PutBits(kDctEscape.code, kDctEscape.length);
    bits_.PutBits(run, 6);
    if (!mpeg1) {
        bits_.PutBits(static_cast<uint32_t>(level) & 0xFFF, 12);
    } else if (level >= 128) {
        bits_.PutBits(0x00, 8);
        bits_.PutBits(level, 8);
    } else if (level <= -128) {
        bits_.PutBits(0x80, 8);
        bits_.PutBits(static_cast<uint32_t>(level) & 0xFF, 8);
    } else {
        bits_.PutBits(static_cast<uint32_t>(level) & 0xFF, 8);
    }
    return true;
}

// ---- picture coder ----------------------------------------------------------

void EncoderCore::CodePicture()
{
    const bool mpeg1 = p_.isMpeg1 != 0;
    const int limit = mpeg1 ? 255 : 2047;
    rc_.StartPicture(pictType_, bits_.BitCount());
    PutPictureHeader();
    if (!mpeg1) PutPictureCodingExtension();

    int prevScale = rc_.FirstScale();
    int pmv[2][2][2] = {};
    int prevType = 0, prevMotion = kMotionFrame;
    int addressInc = 1;
    int k = 0;
    for (int j = 0; j < mbHeight_; ++j) {
        for (int i = 0; i < mbWidth_; ++i, ++k) {
            MacroblockInfo& mb = mbInfo_[k];
            if (i == 0) {
                bits_.AlignBits();
                if (mpeg1 || p_.verticalSize <= 2800) {
                    bits_.PutBits(0x00000101u + static_cast<uint32_t>(j), 32);
                } else {
                    bits_.PutBits(0x00000101u + static_cast<uint32_t>(j & 127), 32);
                    bits_.PutBits(j >> 7, 3);
                }
                bits_.PutBits(prevScale >> 1, 5);
                bits_.PutBits(0, 1);  // extra_bit_slice
                dcPred_[0] = dcPred_[1] = dcPred_[2] = 0;
                std::memset(pmv, 0, sizeof pmv);
                addressInc = 1;
            }
            const uint8_t* lum = curSrc_->plane[0].data() + static_cast<long>(16 * j) * width_ + 16 * i;
            int scale = rc_.MacroblockScale(k, lum, width_, bits_.BitCount());
            if (scale >= 8 && std::abs(scale - prevScale) <= 4) scale = prevScale;
            mb.scale = scale;

            int16_t* blk = &blocks_[static_cast<size_t>(k) * 6 * 64];
            const bool intra = (mb.type & kMbIntra) != 0;
            mb.cbp = 0;
            mb.skipped = false;
            if (intra) {
                for (int n = 0; n < 6; ++n)
                    QuantIntra(blk + 64 * n, blk + 64 * n, p_.intraDcPrecision, intraMatrix_.data(), scale, limit);
                mb.cbp = 63;
            } else {
                for (int n = 0; n < 6; ++n)
                    if (QuantNonIntra(blk + 64 * n, blk + 64 * n, nonIntraMatrix_.data(), scale, limit)) mb.cbp |= 1 << (5 - n);
                if (mb.cbp) mb.type |= kMbPattern;
            }
            if (scale != prevScale && (intra || mb.cbp)) mb.type |= kMbQuant;

            // Skipping.
            if (i != 0 && i != mbWidth_ - 1 && !intra && mb.cbp == 0) {
                bool skip = false;
                if (pictType_ == kPictureP && !(mb.type & kMbForward)) {
                    skip = true;
                } else if (pictType_ == kPictureB) {
                    skip = CanSkipBMacroblock(mb, prevType, prevMotion, pmv);
                }
                if (skip) {
                    mb.skipped = true;
                    ++addressInc;
                    dcPred_[0] = dcPred_[1] = dcPred_[2] = 0;
                    if (pictType_ == kPictureP) std::memset(pmv, 0, sizeof pmv);
                    continue;
                }
            }
            if (pictType_ == kPictureP && !intra && mb.cbp == 0) mb.type |= kMbForward;

            PutAddressIncrement(addressInc);
            addressInc = 1;
            PutVlc(bits_, MacroblockTypeTable(pictType_), mb.type & 31);
            if ((mb.type & (kMbForward | kMbBackward)) && !framePredFrameDct_) bits_.PutBits(mb.motionType, 2);
            if (mb.cbp && !framePredFrameDct_) bits_.PutBits(mb.dctType, 1);
            if (mb.type & kMbQuant) {
                bits_.PutBits(scale >> 1, 5);
                prevScale = scale;
            }
            if (mb.type & kMbForward) PutVectors(mb, 0, pmv);
            if (mb.type & kMbBackward) PutVectors(mb, 1, pmv);
            if (mb.type & kMbPattern) PutVlc(bits_, kCodedBlockPattern, mb.cbp);
            for (int n = 0; n < 6; ++n) {
                if (!(mb.cbp & (1 << (5 - n)))) continue;
                const bool ok = intra ? PutIntraBlock(blk + 64 * n, n < 4 ? 0 : n - 3) : PutNonIntraBlock(blk + 64 * n);
                if (!ok) return;
            }
            if (!intra) dcPred_[0] = dcPred_[1] = dcPred_[2] = 0;
            if (intra || (pictType_ == kPictureP && !(mb.type & kMbForward))) std::memset(pmv, 0, sizeof pmv);
            prevType = mb.type;
            prevMotion = mb.motionType;
        }
    }
    rc_.EndPicture(bits_.BitCount());
}

// ---- sequence ---------------------------------------------------------------

void EncoderCore::SetPictureParameters(const CodedPicture& cp)
{
    pictType_ = cp.type;
    temporalRef_ = cp.display - cp.gopFirst;
    for (auto& d : fcode_) d[0] = d[1] = 15;
    sxf_ = syf_ = sxb_ = syb_ = 0;
    if (cp.type == kPictureP) {
        const MotionSearchEntry& e = p_.motionSearch[0];
        fcode_[0][0] = e.forwardFcodeH;
        fcode_[0][1] = e.forwardFcodeV;
        sxf_ = syf_ = e.forwardRangeH;
    }
    framePredFrameDct_ = p_.framePredFrameDct[cp.type - 1];
    intraVlcFormat_ = p_.intraVlcFormat[cp.type - 1];
    alternateScan_ = p_.alternateScan[cp.type - 1];
}

bool EncoderCore::FlushBytes()
{
    const std::vector<uint8_t> bytes = bits_.TakeBytes();
    if (!bytes.empty() && !out_->Write(bytes)) {
        Error("Couldn't write the output file: " + out_->Error());
        return false;
    }
    return true;
}

bool EncoderCore::EncodeSequence(ReplacingFile& out, const std::string& frameFolder,
                                 const std::function<void(const ReconstructedPicture&)>& onRecon)
{
    out_ = &out;
    bits_.Reset();
    init_fast_idct();
    if (!Allocate()) return false;
    const int mbCount = mbWidth_ * mbHeight_;
    rc_.InitVbv(p_);
    rc_.Start(p_, mbCount);

    PutSequenceHeader();
    if (!p_.isMpeg1) {
        PutSequenceExtension();
        PutSequenceDisplayExtension();
    }
    const int n = p_.gopSize, m = p_.ipDistance;
    for (int i = 0; i < p_.frameCount && !failed_; ++i) {
        const CodedPicture cp = PictureInCodingOrder(i, p_.frameCount, n, m);
        if (cp.reference) {
            std::swap(oldSrc_, newSrc_);
            std::swap(oldRef_, newRef_);
            curSrc_ = &newSrc_;
            curRecon_ = &newRef_;
        } else {
            curSrc_ = &bSrc_;
            curRecon_ = &bRecon_;
        }
        SetPictureParameters(cp);
        if (cp.type == kPictureB) {
            const MotionSearchEntry& e = p_.motionSearch[(i - 2) % m + 1];
            fcode_[0][0] = e.forwardFcodeH;
            fcode_[0][1] = e.forwardFcodeV;
            fcode_[1][0] = e.backwardFcodeH;
            fcode_[1][1] = e.backwardFcodeV;
            sxf_ = e.forwardRangeH;
            syf_ = e.forwardRangeV;
            sxb_ = e.backwardRangeH;
            syb_ = e.backwardRangeV;
        }
        if (cp.newGop) {
            rc_.StartGop();
            PutGopHeader(p_.timeCodeStart + cp.gopFirst, i == 0);
        }

        char name[64];
        std::snprintf(name, sizeof name, p_.frameNameTemplate.c_str(), cp.display + p_.firstFrameNumber);
        const std::string base = (frameFolder.empty() ? std::string(".") : frameFolder) + "/" + name;
        if (!reader_.Read(base, *curSrc_, sink_)) {
            failed_ = true;
            break;
        }

        EstimateMotion();
        PredictPicture();
        ChooseDctTypes();
        Transform();
        CodePicture();
        if (failed_) break;
        Reconstruct();
        if (onRecon) {
            ReconstructedPicture rp;
            rp.displayNumber = cp.display;
            rp.codingNumber = i;
            rp.pictureCodingType = cp.type;
            rp.codedWidth = width_;
            rp.codedHeight = height_;
            rp.y = curRecon_->plane[0].data();
            rp.cb = curRecon_->plane[1].data();
            rp.cr = curRecon_->plane[2].data();
            onRecon(rp);
        }
        if (!FlushBytes()) break;
    }
    if (failed_) return false;
    PutSequenceEnd();
    return FlushBytes();
}

}  // namespace mpeg

// ---- front end ----------------------------------------------------------------

bool EncodeWithParameters(EncoderParameters params, const EncodeRequest& request, MessageSink& sink)
{
    if (!CheckEncoderParameters(params, sink)) return false;
    if (params.frameCount < 0) params.frameCount = 0;

    // The stream goes to the shared writer's unnamed temporary file and
    // appears at the output path only when complete.
    ReplacingFile out(request.outputPath);
    if (!out.ok()) {
        sink.Report("Couldn't create output file " + request.outputPath);
        return false;
    }
    bool ok;
    {
        EncoderCore core(std::move(params), sink);
        ok = core.EncodeSequence(out, request.frameFolder, request.onReconstructed);
    }
    if (ok && !out.Commit().ok()) {
        sink.Report("Couldn't write output file " + request.outputPath);
        ok = false;
    }
    return ok;
}

bool EncodeMovie(const EncodeRequest& request, MessageSink& sink)
{
    EncoderParameters params;
    FillEncoderParameters(params, request.videoFormat, request.width, request.height, request.frameCount);
    params.inputType = request.inputType;
    return EncodeWithParameters(std::move(params), request, sink);
}

}  // namespace morvane
