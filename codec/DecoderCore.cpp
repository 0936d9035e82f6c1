// The decoder's stream level: start, sequence set-up, which pictures are
// decoded, and the order in which frames leave the decoder.
#include "codec/DecoderCore.h"

#include <cstring>
#include <new>
#include <utility>

#include "codec/DecoderMessages.h"
#include "codec/DecoderVlc.h"
#include "codec/Idct.h"
#include "codec/VlcTables.h"
#include "engine/Cpu.h"

namespace morvane {

MpegVideoDecoder::MpegVideoDecoder(DecoderMessageSink sink)
    : sink_(std::move(sink)), outputKernels_(DecoderOutputKernelsFor(CpuFlags()))
{
    (void)DecoderTables();
}

MpegVideoDecoder::~MpegVideoDecoder() = default;

void MpegVideoDecoder::Reset()
{
    h_ = Headers{};
    std::memcpy(h_.intraMatrix, mpeg::kDefaultIntraMatrix, 64);
    std::memset(h_.nonIntraMatrix, mpeg::kDefaultNonIntraValue, 64);
    state_ = State::Running;
    stopRequested_ = false;
    initialised_ = false;
    width_ = height_ = mbWidth_ = mbHeight_ = codedWidth_ = codedHeight_ = 0;
    for (Frame& f : frames_) f = Frame{};
    forward_ = 0;
    backward_ = 1;
    auxiliary_ = 2;
    secondField_ = false;
    decodedFrameCount_ = 0;
    deliveredCount_ = 0;
    current_ = nullptr;
}

void MpegVideoDecoder::Start(std::FILE* file)
{
    Reset();
    bits_.AttachFile(file);
}

void MpegVideoDecoder::Start(const uint8_t* data, size_t size)
{
    Reset();
    bits_.AttachMemory(data, size);
}

void MpegVideoDecoder::Stop()
{
    Reset();
    state_ = State::Done;
    bits_.AttachMemory(nullptr, 0);
}

bool MpegVideoDecoder::InitSequence()
{
    width_ = h_.horizontal_size;
    height_ = h_.vertical_size;
    mbWidth_ = (width_ + 15) / 16;
    if (!h_.mpeg2 || h_.progressive_sequence) {
        mbHeight_ = (height_ + 15) / 16;
    } else {
        mbHeight_ = 2 * ((height_ + 31) / 32);
    }
    codedWidth_ = 16 * mbWidth_;
    codedHeight_ = 16 * mbHeight_;
    const size_t luma = static_cast<size_t>(codedWidth_) * static_cast<size_t>(codedHeight_);
    try {
        for (Frame& f : frames_) {
            f.data.assign(luma + luma / 2, 128);
            std::memset(f.data.data(), 16, luma);
            f.plane[0] = f.data.data();
            f.plane[1] = f.plane[0] + luma;
            f.plane[2] = f.plane[1] + luma / 4;
            f.complete = f.delivered = false;
        }
    } catch (const std::bad_alloc&) {
        for (Frame& f : frames_) f = Frame{};
        DecoderDiagnostic(sink_, "malloc failed\n");
        return false;
    }
    init_fast_idct();
    initialised_ = true;
    return true;
}

void MpegVideoDecoder::SkipSlices()
{
    for (;;) {
        bits_.NextStartCode();
        const uint32_t code = bits_.Show(32);
        if (code < 0x101 || code > 0x1AF) return;
        bits_.Flush(32);
    }
}

bool MpegVideoDecoder::AcceptPicture()
{
    if (!h_.sawSequenceHeader) {
        DecoderDiagnostic(sink_, "picture before the first sequence header (skipped)\n");
        SkipSlices();
        return false;
    }
    if (h_.mpeg2 && h_.chroma_format != 1) {
        DecoderDiagnostic(sink_, "chroma_format %d not supported: only 4:2:0 streams are decoded\n", h_.chroma_format);
        stopRequested_ = true;
        return false;
    }
    if (h_.scalable_mode != 0 || h_.temporalScalable || h_.pictureSpatialScalable) {
        DecoderDiagnostic(sink_, "scalable streams are not supported\n");
        stopRequested_ = true;
        return false;
    }
    if (!h_.mpeg2) {
        // ISO/IEC 11172-2: progressive frame pictures only.
        h_.progressive_sequence = 1;
        h_.progressive_frame = 1;
        h_.picture_structure = 3;
        h_.frame_pred_frame_dct = 1;
        h_.concealment_motion_vectors = 0;
        h_.q_scale_type = 0;
        h_.intra_vlc_format = 0;
        h_.alternate_scan = 0;
        h_.intra_dc_precision = 0;
        h_.matrix_coefficients = 5;
    }
    const int type = h_.picture_coding_type;
    if (type < 1 || type > 4 || (type == 4 && h_.mpeg2)) {
        DecoderDiagnostic(sink_, "invalid picture_coding_type %d (picture skipped)\n", type);
        SkipSlices();
        return false;
    }
    if (h_.picture_structure == 0) {
        DecoderDiagnostic(sink_, "invalid picture_structure (picture skipped)\n");
        SkipSlices();
        return false;
    }
    if (!initialised_) {
        if (h_.horizontal_size < 1 || h_.horizontal_size > kMaxWidth || h_.vertical_size < 1 ||
            h_.vertical_size > kMaxHeight) {
            DecoderDiagnostic(sink_, "picture size %dx%d not supported (at most %dx%d)\n", h_.horizontal_size,
                              h_.vertical_size, kMaxWidth, kMaxHeight);
            stopRequested_ = true;
            return false;
        }
        if (!InitSequence()) {
            stopRequested_ = true;
            return false;
        }
    } else if (h_.horizontal_size != width_ || h_.vertical_size != height_) {
        DecoderDiagnostic(sink_, "picture size changes from %dx%d to %dx%d: decoding stopped\n", width_, height_,
                          h_.horizontal_size, h_.vertical_size);
        stopRequested_ = true;
        return false;
    }
    return true;
}

const DecodedPlanes* MpegVideoDecoder::Deliver(Frame* f)
{
    f->delivered = true;
    view_.y = f->plane[0];
    view_.cb = f->plane[1];
    view_.cr = f->plane[2];
    view_.lumaStride = codedWidth_;
    view_.chromaStride = codedWidth_ / 2;
    view_.codedWidth = codedWidth_;
    view_.codedHeight = codedHeight_;
    view_.width = width_;
    view_.height = height_;
    view_.mpeg2 = h_.mpeg2;
    view_.progressiveFrame = f->progressiveFrame;
    view_.matrixCoefficients = h_.mpeg2 ? h_.matrix_coefficients : 5;
    view_.displayIndex = deliveredCount_++;
    return &view_;
}

const DecodedPlanes* MpegVideoDecoder::NextFrame()
{
    while (state_ == State::Running) {
        if (stopRequested_ || ReadNextHeader() == 0) {
            state_ = State::Flushing;
            break;
        }
        if (!AcceptPicture()) continue;
        if (Frame* due = DecodePicture()) return Deliver(due);
    }
    if (state_ == State::Flushing) {
        state_ = State::Done;
        if (secondField_) {
            DecoderDiagnostic(sink_, "last frame incomplete, not stored\n");
            secondField_ = false;
        }
        if (initialised_) {
            Frame* last = &frames_[backward_];
            if (last->complete && !last->delivered) return Deliver(last);
        }
    }
    return nullptr;
}

}  // namespace morvane
