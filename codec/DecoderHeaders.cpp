// Start codes and headers of the video elementary stream: sequence, group
// of pictures, picture, extensions, user data and slice headers.
#include <cstring>

#include "codec/DecoderCore.h"
#include "codec/DecoderMessages.h"
#include "codec/DecoderVlc.h"
#include "codec/VlcTables.h"

namespace morvane {

namespace {

constexpr uint32_t kPictureStartCode = 0x00000100;
constexpr uint32_t kUserDataStartCode = 0x000001B2;
constexpr uint32_t kSequenceHeaderCode = 0x000001B3;
constexpr uint32_t kExtensionStartCode = 0x000001B5;
constexpr uint32_t kSequenceEndCode = 0x000001B7;
constexpr uint32_t kGroupStartCode = 0x000001B8;

}  // namespace

int MpegVideoDecoder::ReadNextHeader()
{
    for (;;) {
        bits_.NextStartCode();
        const uint32_t code = bits_.Get(32);
        switch (code) {
        case kPictureStartCode:
            PictureHeader();
            ExtensionAndUserData();
            return 1;
        case kSequenceHeaderCode:
            SequenceHeader();
            ExtensionAndUserData();
            break;
        case kGroupStartCode:
            GroupOfPicturesHeader();
            ExtensionAndUserData();
            break;
        case kSequenceEndCode:
            return 0;
        default:
            DecoderDiagnostic(sink_, "Unexpected startcode %08x (ignored)\n", code);
            break;
        }
    }
}

void MpegVideoDecoder::ReadMatrix(uint8_t* matrix)
{
    for (int i = 0; i < 64; ++i) matrix[mpeg::kZigZag[i]] = static_cast<uint8_t>(bits_.Get(8));
}

void MpegVideoDecoder::SequenceHeader()
{
    h_.horizontal_size = static_cast<int>(bits_.Get(12));
    h_.vertical_size = static_cast<int>(bits_.Get(12));
    h_.aspect_ratio_information = static_cast<int>(bits_.Get(4));
    h_.frame_rate_code = static_cast<int>(bits_.Get(4));
    bits_.Flush(18);  // bit_rate_value
    bits_.Flush(1);   // marker_bit
    bits_.Flush(10);  // vbv_buffer_size_value
    bits_.Flush(1);   // constrained_parameters_flag
    if (bits_.Get1()) {
        ReadMatrix(h_.intraMatrix);
    } else {
        std::memcpy(h_.intraMatrix, mpeg::kDefaultIntraMatrix, 64);
    }
    if (bits_.Get1()) {
        ReadMatrix(h_.nonIntraMatrix);
    } else {
        std::memset(h_.nonIntraMatrix, mpeg::kDefaultNonIntraValue, 64);
    }
    h_.sawSequenceHeader = true;
}

void MpegVideoDecoder::GroupOfPicturesHeader()
{
    bits_.Flush(1);  // drop_frame_flag
    bits_.Flush(5);  // time_code_hours
    bits_.Flush(6);  // time_code_minutes
    bits_.Flush(1);  // marker_bit
    bits_.Flush(6);  // time_code_seconds
    bits_.Flush(6);  // time_code_pictures
    bits_.Flush(1);  // closed_gop
    bits_.Flush(1);  // broken_link
}

void MpegVideoDecoder::PictureHeader()
{
    h_.pictureSpatialScalable = false;
    h_.temporal_reference = static_cast<int>(bits_.Get(10));
    h_.picture_coding_type = static_cast<int>(bits_.Get(3));
    bits_.Flush(16);  // vbv_delay
    if (h_.picture_coding_type == 2 || h_.picture_coding_type == 3) {
        h_.full_pel_forward_vector = static_cast<int>(bits_.Get1());
        const int code = static_cast<int>(bits_.Get(3));
        if (!h_.mpeg2) h_.f_code[0][0] = h_.f_code[0][1] = code;
    }
    if (h_.picture_coding_type == 3) {
        h_.full_pel_backward_vector = static_cast<int>(bits_.Get1());
        const int code = static_cast<int>(bits_.Get(3));
        if (!h_.mpeg2) h_.f_code[1][0] = h_.f_code[1][1] = code;
    }
    while (bits_.Get1()) bits_.Flush(8);  // extra_bit_picture, extra_information_picture
}

void MpegVideoDecoder::ExtensionAndUserData()
{
    for (;;) {
        bits_.NextStartCode();
        const uint32_t code = bits_.Show(32);
        if (code == kUserDataStartCode) {
            bits_.Flush(32);  // the data is passed over by the next search
        } else if (code == kExtensionStartCode) {
            bits_.Flush(32);
            const int id = static_cast<int>(bits_.Get(4));
            switch (id) {
            case 1: SequenceExtension(); break;
            case 2: SequenceDisplayExtension(); break;
            case 3: QuantMatrixExtension(); break;
            case 5: SequenceScalableExtension(); break;
            case 7: PictureDisplayExtension(); break;
            case 8: PictureCodingExtension(); break;
            case 9: PictureSpatialScalableExtension(); break;
            case 10:
                h_.temporalScalable = true;
                DecoderDiagnostic(sink_, "temporal scalability not supported\n");
                break;
            default: DecoderDiagnostic(sink_, "reserved extension start code ID %d\n", id); break;
            }
        } else {
            return;
        }
    }
}

void MpegVideoDecoder::SequenceExtension()
{
    h_.mpeg2 = true;
    h_.scalable_mode = 0;
    h_.profile_and_level = static_cast<int>(bits_.Get(8));
    h_.progressive_sequence = static_cast<int>(bits_.Get1());
    h_.chroma_format = static_cast<int>(bits_.Get(2));
    const int hExt = static_cast<int>(bits_.Get(2));
    const int vExt = static_cast<int>(bits_.Get(2));
    h_.horizontal_size = (h_.horizontal_size & 0xFFF) | hExt << 12;
    h_.vertical_size = (h_.vertical_size & 0xFFF) | vExt << 12;
    bits_.Flush(12);  // bit_rate_extension
    bits_.Flush(1);   // marker_bit
    bits_.Flush(8);   // vbv_buffer_size_extension
    bits_.Flush(1);   // low_delay
    bits_.Flush(2);   // frame_rate_extension_n
    bits_.Flush(5);   // frame_rate_extension_d
}

void MpegVideoDecoder::SequenceDisplayExtension()
{
    bits_.Flush(3);  // video_format
    if (bits_.Get1()) {
        bits_.Flush(8);  // colour_primaries
        bits_.Flush(8);  // transfer_characteristics
        h_.matrix_coefficients = static_cast<int>(bits_.Get(8));
    }
    bits_.Flush(14);  // display_horizontal_size
    bits_.Flush(1);   // marker_bit
    bits_.Flush(14);  // display_vertical_size
}

void MpegVideoDecoder::QuantMatrixExtension()
{
    if (bits_.Get1()) ReadMatrix(h_.intraMatrix);
    if (bits_.Get1()) ReadMatrix(h_.nonIntraMatrix);
    // 4:2:0 has no separate chrominance matrices: skipped if present.
    if (bits_.Get1()) {
        for (int i = 0; i < 64; ++i) bits_.Flush(8);
    }
    if (bits_.Get1()) {
        for (int i = 0; i < 64; ++i) bits_.Flush(8);
    }
}

void MpegVideoDecoder::SequenceScalableExtension()
{
    h_.scalable_mode = static_cast<int>(bits_.Get(2)) + 1;
    bits_.Flush(4);  // layer_id
    if (h_.scalable_mode == 2) {
        bits_.Flush(14);  // lower_layer_prediction_horizontal_size
        bits_.Flush(1);   // marker_bit
        bits_.Flush(14);  // lower_layer_prediction_vertical_size
        bits_.Flush(5);   // horizontal_subsampling_factor_m
        bits_.Flush(5);   // horizontal_subsampling_factor_n
        bits_.Flush(5);   // vertical_subsampling_factor_m
        bits_.Flush(5);   // vertical_subsampling_factor_n
    }
    if (h_.scalable_mode == 4) DecoderDiagnostic(sink_, "temporal scalability not implemented\n");
}

void MpegVideoDecoder::PictureDisplayExtension()
{
    int count = 1;
    if (!h_.progressive_sequence && h_.picture_structure == 3) count = h_.repeat_first_field ? 3 : 2;
    for (int i = 0; i < count; ++i) {
        bits_.Flush(16);  // frame_centre_horizontal_offset
        bits_.Flush(1);
        bits_.Flush(16);  // frame_centre_vertical_offset
        bits_.Flush(1);
    }
}

void MpegVideoDecoder::PictureCodingExtension()
{
    h_.f_code[0][0] = static_cast<int>(bits_.Get(4));
    h_.f_code[0][1] = static_cast<int>(bits_.Get(4));
    h_.f_code[1][0] = static_cast<int>(bits_.Get(4));
    h_.f_code[1][1] = static_cast<int>(bits_.Get(4));
    h_.intra_dc_precision = static_cast<int>(bits_.Get(2));
    h_.picture_structure = static_cast<int>(bits_.Get(2));
    h_.top_field_first = static_cast<int>(bits_.Get1());
    h_.frame_pred_frame_dct = static_cast<int>(bits_.Get1());
    h_.concealment_motion_vectors = static_cast<int>(bits_.Get1());
    h_.q_scale_type = static_cast<int>(bits_.Get1());
    h_.intra_vlc_format = static_cast<int>(bits_.Get1());
    h_.alternate_scan = static_cast<int>(bits_.Get1());
    h_.repeat_first_field = static_cast<int>(bits_.Get1());
    bits_.Flush(1);  // chroma_420_type
    h_.progressive_frame = static_cast<int>(bits_.Get1());
    if (bits_.Get1()) {  // composite_display_flag
        bits_.Flush(1);  // v_axis
        bits_.Flush(3);  // field_sequence
        bits_.Flush(1);  // sub_carrier
        bits_.Flush(7);  // burst_amplitude
        bits_.Flush(8);  // sub_carrier_phase
    }
}

void MpegVideoDecoder::PictureSpatialScalableExtension()
{
    h_.pictureSpatialScalable = true;
    bits_.Flush(10);  // lower_layer_temporal_reference
    bits_.Flush(1);
    bits_.Flush(15);  // lower_layer_horizontal_offset
    bits_.Flush(1);
    bits_.Flush(15);  // lower_layer_vertical_offset
    bits_.Flush(2);   // spatial_temporal_weight_code_table_index
    bits_.Flush(1);   // lower_layer_progressive_frame
    bits_.Flush(1);   // lower_layer_deinterlaced_field_select
}

int MpegVideoDecoder::QuantiserScale(int code) const
{
    if (!h_.mpeg2) return code;
    return h_.q_scale_type ? kNonLinearQuantiserScale[code] : 2 * code;
}

int MpegVideoDecoder::SliceHeader()
{
    int extension = 0;
    if (h_.mpeg2 && h_.vertical_size > 2800) extension = static_cast<int>(bits_.Get(3));
    if (h_.scalable_mode == 1) bits_.Flush(7);  // priority_breakpoint
    quantiserScale_ = QuantiserScale(static_cast<int>(bits_.Get(5)));
    if (bits_.Get1()) {  // intra_slice_flag
        bits_.Flush(1);  // intra_slice
        bits_.Flush(7);  // reserved_bits
        while (bits_.Get1()) bits_.Flush(8);  // extra_bit_slice, extra_information_slice
    }
    return extension;
}

}  // namespace morvane
