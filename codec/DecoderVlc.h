// Table-driven readers of the MPEG variable-length codes, built once from
// the code tables the encoder writes from (codec/VlcTables.h).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "codec/DecoderBitReader.h"
#include "codec/VlcTables.h"

namespace morvane {

// A prefix code read through lookup tables: a first table indexed by the
// next `rootBits` bits, and second tables for the longer codes.
class VlcReader {
public:
    static constexpr int kInvalid = -32768;

    VlcReader() = default;
    // Builds the reader; `maxLength` is the longest code (at most 24).
    void Build(std::span<const mpeg::VlcEntry> entries, int rootBits);

    // Reads one code and returns its value, or kInvalid (nothing consumed)
    // when the next bits start no code of the table.
    int Read(DecoderBitReader& bits) const
    {
        const Entry& e = root_[bits.Show(rootBits_)];
        if (e.length > 0) {
            bits.Flush(e.length);
            return e.value;
        }
        if (e.length == 0) return kInvalid;
        // A second table: value = its start, -length = its number of bits.
        const int sub = -e.length;
        const uint32_t index = bits.Show(rootBits_ + sub) & ((1u << sub) - 1);
        const Entry& f = table_[static_cast<size_t>(e.value) + index];
        if (f.length <= 0) return kInvalid;
        bits.Flush(f.length);
        return f.value;
    }

private:
    struct Entry {
        int32_t value = 0;
        int32_t length = 0;  // > 0 code length; 0 invalid; < 0 second table
    };
    int rootBits_ = 0;
    std::vector<Entry> root_;
    std::vector<Entry> table_;
};

// DCT coefficient codes (tables B.14 and B.15) without their sign bit.
// Values: run << 8 | level, or one of the two markers.
constexpr int kDctEndOfBlock = -1;
constexpr int kDctEscape = -2;

struct DecoderVlcTables {
    VlcReader addressIncrement;  // 1..33, plus kAddressEscape / kAddressStuffing
    VlcReader macroblockType[5];  // by picture_coding_type 1..4
    VlcReader codedBlockPattern;
    VlcReader motionCode;  // sign included
    VlcReader dmvector;
    VlcReader dcSizeLuminance;
    VlcReader dcSizeChrominance;
    VlcReader dctZero;  // table zero (B.14)
    VlcReader dctOne;   // table one (B.15)
};
constexpr int kAddressEscape = 34;
constexpr int kAddressStuffing = 35;

// Built on first use; process-wide and read-only afterwards.
const DecoderVlcTables& DecoderTables();

// The non-linear quantiser_scale of q_scale_type 1, by quantiser_scale_code.
extern const uint8_t kNonLinearQuantiserScale[32];

}  // namespace morvane
