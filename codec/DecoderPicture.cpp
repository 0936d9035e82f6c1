// Pictures, slices and macroblocks: the roles of the three frames, the
// slice loop with its resynchronisation, macroblock modes and motion
// vectors, and the reconstruction of each macroblock.
#include <algorithm>
#include <cstring>
#include <utility>

#include "codec/DecoderCore.h"
#include "codec/DecoderMessages.h"
#include "codec/DecoderVlc.h"
#include "codec/Idct.h"
#include "codec/VlcTables.h"

namespace morvane {

using mpeg::kMbBackward;
using mpeg::kMbForward;
using mpeg::kMbIntra;
using mpeg::kMbPattern;
using mpeg::kMbQuant;

MpegVideoDecoder::Frame* MpegVideoDecoder::DecodePicture()
{
    Frame* due = nullptr;
    const bool framePicture = h_.picture_structure == 3;
    if (framePicture && secondField_) {
        DecoderDiagnostic(sink_, "odd number of field pictures\n");
        secondField_ = false;
    }
    if (h_.picture_coding_type == 3) {
        current_ = &frames_[auxiliary_];
        if (!secondField_) current_->complete = current_->delivered = false;
    } else if (!secondField_) {
        // A new reference picture: the previous one becomes the forward
        // reference and is due for display now.
        std::swap(forward_, backward_);
        Frame& previous = frames_[forward_];
        if (previous.complete && !previous.delivered) due = &previous;
        current_ = &frames_[backward_];
        current_->complete = current_->delivered = false;
    } else {
        current_ = &frames_[backward_];
    }
    current_->progressiveFrame = h_.progressive_frame != 0;

    fieldOffsetLines_ = h_.picture_structure == 2 ? 1 : 0;
    mbaMax_ = framePicture ? mbWidth_ * mbHeight_ : mbWidth_ * (mbHeight_ / 2);
    const int lines = framePicture ? 1 : 2;
    lumaStride_ = codedWidth_ * lines;
    chromaStride_ = codedWidth_ / 2 * lines;
    lumaBase_ = current_->plane[0] + fieldOffsetLines_ * codedWidth_;
    chromaBase_[0] = current_->plane[1] + fieldOffsetLines_ * (codedWidth_ / 2);
    chromaBase_[1] = current_->plane[2] + fieldOffsetLines_ * (codedWidth_ / 2);

    DecodeSlices();

    if (framePicture || secondField_) {
        current_->complete = true;
        ++decodedFrameCount_;
        if (h_.picture_coding_type == 3) due = current_;
    }
    if (!framePicture) secondField_ = !secondField_;
    return due;
}

int MpegVideoDecoder::ReadAddressIncrement()
{
    const VlcReader& table = DecoderTables().addressIncrement;
    int increment = 0;
    for (;;) {
        const int v = table.Read(bits_);
        if (v == kAddressStuffing) continue;
        if (v == kAddressEscape) {
            increment += 33;
            continue;
        }
        if (v == VlcReader::kInvalid) {
            DecoderDiagnostic(sink_, "Invalid macroblock_address_increment code\n");
            return -1;
        }
        return increment + v;
    }
}

void MpegVideoDecoder::DecodeSlices()
{
    fault_ = false;
    int address = 0;
    int pending = 0;
    for (;;) {
        if (pending == 0) {
            if (!fault_ && bits_.Show(23) != 0) {
                if (address >= mbaMax_) {
                    DecoderDiagnostic(sink_, "Too many macroblocks in picture\n");
                    return;
                }
                pending = ReadAddressIncrement();
                if (pending < 0) {
                    pending = 0;
                    fault_ = true;
                    continue;
                }
            } else {
                if (address >= mbaMax_) return;  // picture complete
                bits_.NextStartCode();
                const uint32_t code = bits_.Show(32);
                if (code < 0x101 || code > 0x1AF) {
                    DecoderDiagnostic(sink_, "Premature end of picture\n");
                    return;
                }
                bits_.Flush(32);
                const int extension = SliceHeader();
                fault_ = false;
                const int increment = ReadAddressIncrement();
                if (increment < 0) {
                    fault_ = true;
                    continue;
                }
                const int row = extension * 128 + static_cast<int>(code & 0xFF) - 1;
                address = row * mbWidth_ + increment - 1;
                pending = 1;
                ResetDcPredictors();
                ResetMotionPredictors();
            }
        }
        if (address >= mbaMax_) {
            DecoderDiagnostic(sink_, "Too many macroblocks in picture\n");
            return;
        }
        if (pending > 1) {
            SkippedMacroblock(address);
        } else if (!DecodeMacroblock(address)) {
            fault_ = true;
            pending = 0;
            continue;
        }
        ++address;
        --pending;
    }
}

void MpegVideoDecoder::ResetMotionPredictors()
{
    std::memset(pmv_, 0, sizeof pmv_);
}

bool MpegVideoDecoder::MacroblockModes()
{
    const int type = h_.picture_coding_type;
    const int flags = DecoderTables().macroblockType[type].Read(bits_);
    if (flags == VlcReader::kInvalid) {
        DecoderDiagnostic(sink_, "Invalid macroblock_type code\n");
        return false;
    }
    mbFlags_ = flags;
    const bool framePicture = h_.picture_structure == 3;
    motionType_ = framePicture ? 2 : 1;  // frame / field prediction
    if (flags & (kMbForward | kMbBackward)) {
        if (!framePicture || !h_.frame_pred_frame_dct) motionType_ = static_cast<int>(bits_.Get(2));
    }
    dctType_ = 0;
    if (framePicture && !h_.frame_pred_frame_dct && (flags & (kMbIntra | kMbPattern))) {
        dctType_ = static_cast<int>(bits_.Get1());
    }
    dualPrime_ = false;
    if (flags & kMbIntra) {
        // Concealment vectors, if any, are one vector of the picture's kind.
        mvCount_ = 1;
        mvFieldFormat_ = !framePicture;
        return true;
    }
    if (!(flags & (kMbForward | kMbBackward))) return true;
    switch (motionType_) {
    case 1:  // field (frame picture: two field vectors; field picture: one)
        mvCount_ = framePicture ? 2 : 1;
        mvFieldFormat_ = true;
        break;
    case 2:  // frame (frame picture) or 16 x 8 (field picture)
        mvCount_ = framePicture ? 1 : 2;
        mvFieldFormat_ = !framePicture;
        break;
    case 3:  // dual prime: P pictures only
        if (type != 2) {
            DecoderDiagnostic(sink_, "invalid motion_type\n");
            return false;
        }
        mvCount_ = 1;
        mvFieldFormat_ = true;
        dualPrime_ = true;
        break;
    default:
        DecoderDiagnostic(sink_, "invalid motion_type\n");
        return false;
    }
    return true;
}

bool MpegVideoDecoder::MotionVector(int r, int s)
{
    const VlcReader& codes = DecoderTables().motionCode;
    const bool fullPel = !h_.mpeg2 && (s == 0 ? h_.full_pel_forward_vector : h_.full_pel_backward_vector);
    for (int t = 0; t < 2; ++t) {
        const int motionCode = codes.Read(bits_);
        if (motionCode == VlcReader::kInvalid) {
            DecoderDiagnostic(sink_, "Invalid motion_vector code\n");
            return false;
        }
        // f_code 0 is forbidden; read it as 1 so that the vector stays small.
        const int rSize = std::clamp(h_.f_code[s][t], 1, 15) - 1;
        const int f = 1 << rSize;
        int delta = motionCode;
        if (f != 1 && motionCode != 0) {
            const int residual = static_cast<int>(bits_.Get(rSize));
            delta = (std::abs(motionCode) - 1) * f + residual + 1;
            if (motionCode < 0) delta = -delta;
        }
        if (dualPrime_) {
            const int dmv = DecoderTables().dmvector.Read(bits_);
            dmvector_[t] = dmv == VlcReader::kInvalid ? 0 : dmv;
        }
        const bool fieldOfFrame = mvFieldFormat_ && t == 1 && h_.picture_structure == 3;
        int prediction = pmv_[r][s][t];
        if (fieldOfFrame || fullPel) prediction >>= 1;
        int vector = prediction + delta;
        const int low = -16 * f;
        const int high = 16 * f - 1;
        if (vector < low) vector += 32 * f;
        if (vector > high) vector -= 32 * f;
        pmv_[r][s][t] = (fieldOfFrame || fullPel) ? vector * 2 : vector;
        vector_[r][s][t] = fullPel ? vector * 2 : vector;
    }
    return true;
}

bool MpegVideoDecoder::MotionVectors(int s)
{
    if (mvCount_ == 1) {
        if (mvFieldFormat_ && !dualPrime_) fieldSelect_[0][s] = static_cast<int>(bits_.Get1());
        if (!MotionVector(0, s)) return false;
        pmv_[1][s][0] = pmv_[0][s][0];
        pmv_[1][s][1] = pmv_[0][s][1];
        return true;
    }
    fieldSelect_[0][s] = static_cast<int>(bits_.Get1());
    if (!MotionVector(0, s)) return false;
    fieldSelect_[1][s] = static_cast<int>(bits_.Get1());
    return MotionVector(1, s);
}

// One vector per direction, no dual prime: frame prediction in a frame
// picture; in a field picture field prediction, the first `directions`
// directions from the field of the same parity.
void MpegVideoDecoder::SetSingleVectorMotion(int directions)
{
    dualPrime_ = false;
    mvCount_ = 1;
    if (h_.picture_structure == 3) {
        motionType_ = 2;
        mvFieldFormat_ = false;
    } else {
        motionType_ = 1;
        mvFieldFormat_ = true;
        for (int s = 0; s < directions; ++s) fieldSelect_[0][s] = h_.picture_structure == 2 ? 1 : 0;
    }
}

void MpegVideoDecoder::SetZeroForwardMotion()
{
    mbFlags_ |= kMbForward;
    std::memset(vector_, 0, sizeof vector_);
    SetSingleVectorMotion(1);
}

void MpegVideoDecoder::SkippedMacroblock(int address)
{
    ResetDcPredictors();
    codedBlocks_ = 0;
    dctType_ = 0;
    if (h_.picture_coding_type == 2) {
        ResetMotionPredictors();
        mbFlags_ = 0;
        SetZeroForwardMotion();
    } else if (h_.picture_coding_type == 3) {
        // The directions of the macroblock before, with the predicted
        // vectors.
        mbFlags_ = prevMbFlags_ & (kMbForward | kMbBackward);
        if (mbFlags_ == 0) mbFlags_ = kMbForward;
        for (int s = 0; s < 2; ++s) {
            for (int t = 0; t < 2; ++t) vector_[0][s][t] = pmv_[0][s][t];
        }
        SetSingleVectorMotion(2);
    } else {
        // A skipped macroblock in an I or D picture is an error; it keeps
        // what the frame held.
        return;
    }
    FormPrediction(address);
}

bool MpegVideoDecoder::DecodeMacroblock(int address)
{
    if (!MacroblockModes()) return false;
    const int flags = mbFlags_;
    const bool intra = (flags & kMbIntra) != 0;
    if (flags & kMbQuant) quantiserScale_ = QuantiserScale(static_cast<int>(bits_.Get(5)));
    const bool concealment = intra && h_.concealment_motion_vectors;
    if ((flags & kMbForward) || concealment) {
        if (!MotionVectors(0)) return false;
    }
    if (flags & kMbBackward) {
        if (!MotionVectors(1)) return false;
    }
    if (concealment) bits_.Flush(1);  // marker_bit

    int pattern = intra ? 63 : 0;
    if (flags & kMbPattern) {
        pattern = DecoderTables().codedBlockPattern.Read(bits_);
        if (pattern == VlcReader::kInvalid) {
            DecoderDiagnostic(sink_, "Invalid coded_block_pattern code\n");
            return false;
        }
    }
    codedBlocks_ = pattern;
    for (int n = 0; n < 6; ++n) {
        if (!(pattern & (32 >> n))) continue;
        int16_t* block = blocks_[n];
        std::memset(block, 0, sizeof blocks_[n]);
        const int component = n < 4 ? 0 : n - 3;
        bool ok;
        if (h_.picture_coding_type == 4) {
            ok = DcOnlyBlock(component, block, n);
        } else if (h_.mpeg2) {
            ok = intra ? IntraBlockMpeg2(component, block, n) : InterBlockMpeg2(block, n);
        } else {
            ok = intra ? IntraBlockMpeg1(component, block, n) : InterBlockMpeg1(block, n);
        }
        if (!ok) return false;
    }
    if (h_.picture_coding_type == 4) bits_.Flush(1);  // end_of_macroblock

    if (!intra) ResetDcPredictors();
    if (intra && !concealment) ResetMotionPredictors();
    if (h_.picture_coding_type == 2 && !intra && !(flags & kMbForward)) {
        ResetMotionPredictors();
        SetZeroForwardMotion();
    }
    prevMbFlags_ = mbFlags_;
    if (!intra) FormPrediction(address);
    AddBlocks(address, intra);
    return true;
}

// Inverse transform of one block and its addition to the picture: the
// prediction already there for non-intra blocks, 128 for intra blocks.
void MpegVideoDecoder::AddBlocks(int address, bool intra)
{
    const int x = 16 * (address % mbWidth_);
    const int y = 16 * (address / mbWidth_);
    for (int n = 0; n < 6; ++n) {
        if (!(codedBlocks_ & (32 >> n))) continue;
        uint8_t* dst;
        int stride;
        if (n < 4) {
            const int bx = x + 8 * (n & 1);
            if (dctType_) {
                stride = 2 * lumaStride_;
                dst = lumaBase_ + (y + (n >> 1)) * lumaStride_ + bx;
            } else {
                stride = lumaStride_;
                dst = lumaBase_ + (y + 8 * (n >> 1)) * lumaStride_ + bx;
            }
        } else {
            stride = chromaStride_;
            dst = chromaBase_[n - 4] + (y / 2) * chromaStride_ + x / 2;
        }
        int16_t* block = blocks_[n];
        if (blockShape_[n] == 1) {
            // Only coefficient 0: the transform gives one value everywhere
            // (exactly what fast_idct computes for such a block).
            const int v = std::clamp((block[0] * 128 + 512) >> 10, -256, 255);
            if (intra) {
                const uint8_t s = static_cast<uint8_t>(std::clamp(v + 128, 0, 255));
                for (int r = 0; r < 8; ++r) std::memset(dst + r * stride, s, 8);
            } else {
                for (int r = 0; r < 8; ++r) {
                    uint8_t* p = dst + r * stride;
                    for (int c = 0; c < 8; ++c) p[c] = static_cast<uint8_t>(std::clamp(p[c] + v, 0, 255));
                }
            }
            continue;
        }
        fast_idct(block);
        if (intra) {
            for (int r = 0; r < 8; ++r) {
                uint8_t* p = dst + r * stride;
                const int16_t* b = block + 8 * r;
                for (int c = 0; c < 8; ++c) p[c] = static_cast<uint8_t>(std::clamp(b[c] + 128, 0, 255));
            }
        } else {
            for (int r = 0; r < 8; ++r) {
                uint8_t* p = dst + r * stride;
                const int16_t* b = block + 8 * r;
                for (int c = 0; c < 8; ++c) p[c] = static_cast<uint8_t>(std::clamp(p[c] + b[c], 0, 255));
            }
        }
    }
}

}  // namespace morvane
