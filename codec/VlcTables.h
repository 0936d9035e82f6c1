// Variable-length code tables of MPEG-1 (ISO/IEC 11172-2) and MPEG-2
// (ISO/IEC 13818-2) video, the scans and the default quantiser matrices, as
// plain process-wide constant data.  The encoder writes from these tables and
// the decoder builds its readers from the same entries.
//
// Conventions for every table:
//   - `code` holds the codeword right-aligned (its first bit is bit
//     length - 1), `length` its number of bits.
//   - Entries list every value the standard gives a code for, each once.
//   - Codes are complete as listed: where a sign bit follows (DCT
//     coefficients, motion_code) it is stated below.
#pragma once

#include <cstdint>
#include <span>

namespace morvane::mpeg {

struct Vlc {
    uint16_t code;
    uint8_t length;
};

struct VlcEntry {
    int16_t value;
    uint16_t code;
    uint8_t length;
};

// ---- macroblock_address_increment (table B.1) --------------------------
// Values 1..33.  An increment above 33 is sent as one macroblock_escape per
// 33 followed by the code of the rest.
extern const std::span<const VlcEntry> kMacroblockAddressIncrement;
inline constexpr Vlc kMacroblockEscape{0x008, 11};    // 0000 0001 000
inline constexpr Vlc kMacroblockStuffing{0x00F, 11};  // 0000 0001 111, MPEG-1 only

// ---- macroblock_type (tables B.2 to B.4, and the MPEG-1 D picture) ------
// The value is a set of these flags.
enum MacroblockFlags : int {
    kMbIntra = 1,
    kMbPattern = 2,
    kMbBackward = 4,
    kMbForward = 8,
    kMbQuant = 16,
};
// The same tables serve MPEG-1 and MPEG-2 (without scalability).
extern const std::span<const VlcEntry> kMacroblockTypeI;  // B.2
extern const std::span<const VlcEntry> kMacroblockTypeP;  // B.3
extern const std::span<const VlcEntry> kMacroblockTypeB;  // B.4
extern const std::span<const VlcEntry> kMacroblockTypeD;  // MPEG-1 D pictures: "1" = intra
// The table for picture_coding_type 1 (I), 2 (P), 3 (B) or 4 (D).
std::span<const VlcEntry> MacroblockTypeTable(int pictureCodingType);

// ---- coded_block_pattern (table B.9, 4:2:0) ----------------------------
// Values 0..63, block 0 the most significant of the six bits.  The code of
// pattern 0 (0000 0000 1) exists in MPEG-2 only.
extern const std::span<const VlcEntry> kCodedBlockPattern;

// ---- motion_code (table B.10) ------------------------------------------
// Values -16..16; the code includes the sign bit (the last bit, 1 for
// negative), except for 0, which has none.
extern const std::span<const VlcEntry> kMotionCode;

// ---- dmvector (table B.11) ---------------------------------------------
// Values -1, 0, 1.
extern const std::span<const VlcEntry> kDmvector;

// ---- dct_dc_size (tables B.12 and B.13) ---------------------------------
// Values 0..11.
extern const std::span<const VlcEntry> kDctDcSizeLuminance;
extern const std::span<const VlcEntry> kDctDcSizeChrominance;

// ---- DCT coefficients (tables B.14 "table zero" and B.15 "table one") ---
// Each entry is a (run, level) pair with level > 0; the code does NOT
// include the sign bit that follows it (0 positive, 1 negative).
//
// Rules that are not entries:
//   - end_of_block: kEndOfBlockZero "10" (table zero), kEndOfBlockOne
//     "0110" (table one).
//   - Table zero, FIRST coefficient of a non-intra block only: (0, 1) is
//     the one-bit code "1" (+ sign) instead of "11"; end_of_block cannot
//     come first.
//   - escape "0000 01", then run in 6 bits, then the level:
//       MPEG-2: 12 bits two's complement, -2047..2047 (0 and -2048 are
//               forbidden);
//       MPEG-1: 8 bits two's complement for -127..127; for 128..255 the
//               byte 0x00 then the level in 8 bits; for -255..-128 the byte
//               0x80 then the low 8 bits of the level (0x00 and 0x80 are
//               otherwise forbidden as the 8-bit level).
//   - Pairs without an entry (run >= 32, level > 40, and the gaps of the
//     standard's table) must be escaped.  Table one lists the same 111
//     pairs as table zero, with different codes for some of them.
struct DctEntry {
    uint8_t run;
    uint8_t level;
    uint16_t code;
    uint8_t length;
};
extern const std::span<const DctEntry> kDctTableZero;  // B.14
extern const std::span<const DctEntry> kDctTableOne;   // B.15
inline constexpr Vlc kEndOfBlockZero{0x2, 2};
inline constexpr Vlc kEndOfBlockOne{0x6, 4};
inline constexpr Vlc kDctEscape{0x1, 6};
inline constexpr Vlc kFirstCoefficientOne{0x1, 1};  // table zero, first non-intra coefficient (0, +-1)

// Code of (run, level > 0) in table 0 or 1 without its sign bit, or nullptr
// when the pair must be escaped.
const DctEntry* FindDctCode(int table, int run, int level);

// ---- scans and matrices -------------------------------------------------
// kZigZag[i] / kAlternateScan[i]: raster index (8 row + column) of the i-th
// coefficient in transmission order.
extern const uint8_t kZigZag[64];
extern const uint8_t kAlternateScan[64];
// Default intra quantiser matrix in raster order; the default non-intra
// matrix is 16 everywhere.
extern const uint8_t kDefaultIntraMatrix[64];
inline constexpr uint8_t kDefaultNonIntraValue = 16;

// The standard's frame_rate_value for frame_rate_code 1..8 (0 elsewhere).
double FrameRateValue(int frameRateCode);

}  // namespace morvane::mpeg
