// The MPEG-1 / MPEG-2 video decoder: a video elementary stream in, 4:2:0
// frames out in display order.
//
// One object decodes one stream.  NextFrame() reads and decodes pictures
// until the next frame in display order is complete and returns a view of
// its planes (valid until the next call), or null at the end of the stream.
// Reference pictures are held back until the next reference picture starts
// (ISO/IEC 13818-2 picture reordering); the last one is delivered at the
// end of the stream.  A pair of field pictures is one frame.
//
// Bad streams never make the decoder read or write outside its buffers:
// damaged slices are skipped to the next slice start code, vectors that
// point outside the reference frame are clamped to it, and streams the
// decoder cannot handle (other chroma formats, scalable layers, sizes above
// 1920 x 1152, a size change in a later sequence header) end the decoding
// with a message.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "codec/DecoderBitReader.h"
#include "codec/DecoderMessages.h"
#include "codec/DecoderOutput.h"

namespace morvane {

// One decoded frame: three planes of the coded size; the picture is the
// top-left width x height of it.
struct DecodedPlanes {
    const uint8_t* y = nullptr;
    const uint8_t* cb = nullptr;
    const uint8_t* cr = nullptr;
    int lumaStride = 0;    // = coded width
    int chromaStride = 0;  // = coded width / 2
    int codedWidth = 0;
    int codedHeight = 0;
    int width = 0;   // horizontal_size
    int height = 0;  // vertical_size
    bool mpeg2 = false;
    bool progressiveFrame = true;
    int matrixCoefficients = 5;
    int displayIndex = 0;  // 0 for the first frame of the stream
};

class MpegVideoDecoder {
public:
    // Largest picture accepted (the High level of ISO/IEC 13818-2).
    static constexpr int kMaxWidth = 1920;
    static constexpr int kMaxHeight = 1152;

    // Diagnostics of the stream go to `sink` (stderr when it is empty).
    // The output kernels are those of CpuFlags() (engine/Cpu.h) now.
    explicit MpegVideoDecoder(DecoderMessageSink sink = {});
    ~MpegVideoDecoder();
    MpegVideoDecoder(const MpegVideoDecoder&) = delete;
    MpegVideoDecoder& operator=(const MpegVideoDecoder&) = delete;

    // Starts a stream from an open file (not owned, not closed) or from
    // memory (kept by the caller while decoding).  Everything of an earlier
    // stream is forgotten: the stream is MPEG-1 until a sequence extension
    // says otherwise, matrix_coefficients is 5.
    void Start(std::FILE* file);
    void Start(const uint8_t* data, size_t size);

    // Forgets the stream and frees the frame buffers.
    void Stop();

    // The next frame in display order, or null at the end of the stream.
    const DecodedPlanes* NextFrame();

    // Complete frames decoded so far (a field pair counts one).
    int DecodedFrameCount() const { return decodedFrameCount_; }

    // What the frames are turned into RGB with, and where the messages go.
    const DecoderOutputKernels& OutputKernels() const { return outputKernels_; }
    const DecoderMessageSink& Sink() const { return sink_; }

    // True when the decoding ended before the end of the stream because
    // the decoder cannot go on with it (a message said why: a chroma
    // format, scalability or picture size it does not handle, a size
    // change, no memory for the frames).
    bool Stopped() const { return stopRequested_; }

private:
    friend struct DecoderTestAccess;

    struct Frame {
        std::vector<uint8_t> data;
        uint8_t* plane[3] = {nullptr, nullptr, nullptr};
        bool complete = false;
        bool delivered = false;
        bool progressiveFrame = true;
    };
    enum class State { Running, Flushing, Done };

    void Reset();
    // Headers (DecoderHeaders.cpp).
    int ReadNextHeader();
    void SequenceHeader();
    void GroupOfPicturesHeader();
    void PictureHeader();
    void ExtensionAndUserData();
    void SequenceExtension();
    void SequenceDisplayExtension();
    void QuantMatrixExtension();
    void SequenceScalableExtension();
    void PictureDisplayExtension();
    void PictureCodingExtension();
    void PictureSpatialScalableExtension();
    int SliceHeader();
    void ReadMatrix(uint8_t* matrix);
    int QuantiserScale(int code) const;
    // Front of a picture: whether the picture can be decoded (or the
    // stream must stop).
    bool AcceptPicture();
    bool InitSequence();
    void SkipSlices();
    const DecodedPlanes* Deliver(Frame* frame);

    // Pictures and macroblocks (DecoderPicture.cpp).
    Frame* DecodePicture();
    void DecodeSlices();
    int ReadAddressIncrement();
    bool DecodeMacroblock(int address);
    void SkippedMacroblock(int address);
    bool MacroblockModes();
    bool MotionVectors(int s);
    bool MotionVector(int r, int s);
    void SetSingleVectorMotion(int directions);
    void SetZeroForwardMotion();
    void FormPrediction(int address);
    void AddBlocks(int address, bool intra);
    void ResetDcPredictors() { dcPredictor_[0] = dcPredictor_[1] = dcPredictor_[2] = 0; }
    void ResetMotionPredictors();

    // Blocks (DecoderBlocks.cpp).
    bool IntraBlockMpeg1(int component, int16_t* block, int n);
    bool InterBlockMpeg1(int16_t* block, int n);
    bool IntraBlockMpeg2(int component, int16_t* block, int n);
    bool InterBlockMpeg2(int16_t* block, int n);
    bool DcOnlyBlock(int component, int16_t* block, int n);
    bool IntraDc(int component, int* dcOut);
    bool IntraDcMpeg1(int component, int16_t* block);

    // Motion compensation (DecoderMotion.cpp).
    const uint8_t* ReferencePlane(int direction, int component, int fieldSelect, int* stride) const;
    void PredictPart(int direction, int fieldSelect, int destField, int mvx, int mvy, int x, int y, int height,
                     bool average);
    void PredictDualPrime(int x, int y);

    // Stream and picture state.
    struct Headers {
        int horizontal_size = 0;
        int vertical_size = 0;
        int aspect_ratio_information = 0;
        int frame_rate_code = 0;
        bool mpeg2 = false;
        int profile_and_level = 0;
        int progressive_sequence = 1;
        int chroma_format = 1;
        int matrix_coefficients = 5;
        int scalable_mode = 0;  // coded value + 1; 0 none
        uint8_t intraMatrix[64] = {};
        uint8_t nonIntraMatrix[64] = {};
        bool sawSequenceHeader = false;

        int temporal_reference = 0;
        int picture_coding_type = 0;
        int full_pel_forward_vector = 0;
        int full_pel_backward_vector = 0;
        int f_code[2][2] = {{1, 1}, {1, 1}};
        int intra_dc_precision = 0;
        int picture_structure = 3;
        int top_field_first = 0;
        int frame_pred_frame_dct = 1;
        int concealment_motion_vectors = 0;
        int q_scale_type = 0;
        int intra_vlc_format = 0;
        int alternate_scan = 0;
        int repeat_first_field = 0;
        int progressive_frame = 1;
        bool pictureSpatialScalable = false;
        bool temporalScalable = false;
    };

    DecoderMessageSink sink_;
    DecoderOutputKernels outputKernels_;
    DecoderBitReader bits_;
    Headers h_;
    State state_ = State::Done;
    bool stopRequested_ = false;

    // Sequence geometry, fixed by the first picture of the stream.
    bool initialised_ = false;
    int width_ = 0, height_ = 0;
    int mbWidth_ = 0, mbHeight_ = 0;
    int codedWidth_ = 0, codedHeight_ = 0;
    Frame frames_[3];
    int forward_ = 0, backward_ = 1, auxiliary_ = 2;
    bool secondField_ = false;
    int decodedFrameCount_ = 0;
    int deliveredCount_ = 0;
    DecodedPlanes view_;

    // Current picture.
    Frame* current_ = nullptr;
    int fieldOffsetLines_ = 0;  // 1 for a bottom field
    uint8_t* lumaBase_ = nullptr;  // line 0 of the picture (frame or field)
    uint8_t* chromaBase_[2] = {nullptr, nullptr};
    int lumaStride_ = 0;  // between lines of the picture
    int chromaStride_ = 0;
    int mbaMax_ = 0;
    bool fault_ = false;

    // Current slice and macroblock.
    int quantiserScale_ = 0;
    int dcPredictor_[3] = {0, 0, 0};
    int pmv_[2][2][2] = {};  // [r][s][t]
    int mbFlags_ = 0;        // mpeg::MacroblockFlags
    int motionType_ = 0;     // frame_motion_type / field_motion_type
    int dctType_ = 0;
    int mvCount_ = 1;
    bool mvFieldFormat_ = false;
    bool dualPrime_ = false;
    int fieldSelect_[2][2] = {};  // [r][s]
    int vector_[2][2][2] = {};    // [r][s][t], decoded vectors in half samples
    int dmvector_[2] = {};
    int prevMbFlags_ = 0;
    alignas(16) int16_t blocks_[6][64];
    int codedBlocks_ = 0;  // bit 5 - n for block n
    uint8_t blockShape_[6] = {};  // 0 empty, 1 DC only, 2 general
};

}  // namespace morvane
