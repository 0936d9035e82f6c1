#include "codec/VlcTables.h"

#include <array>

namespace morvane::mpeg {

namespace {

// Codewords are written below as the standard prints them ("0000 0011 001");
// blanks are ignored.
struct Bits {
    uint16_t code = 0;
    uint8_t length = 0;
};

constexpr Bits B(const char* s)
{
    Bits b;
    for (; *s; ++s) {
        if (*s == ' ') continue;
        b.code = static_cast<uint16_t>((b.code << 1) | (*s == '1' ? 1 : 0));
        ++b.length;
    }
    return b;
}

constexpr VlcEntry E(int value, const char* bits)
{
    const Bits b = B(bits);
    return VlcEntry{static_cast<int16_t>(value), b.code, b.length};
}

constexpr DctEntry D(int run, int level, const char* bits)
{
    const Bits b = B(bits);
    return DctEntry{static_cast<uint8_t>(run), static_cast<uint8_t>(level), b.code, b.length};
}

constexpr VlcEntry kMbaInc[] = {
    E(1, "1"),             E(2, "011"),           E(3, "010"),           E(4, "0011"),
    E(5, "0010"),          E(6, "0001 1"),        E(7, "0001 0"),        E(8, "0000 111"),
    E(9, "0000 110"),      E(10, "0000 1011"),    E(11, "0000 1010"),    E(12, "0000 1001"),
    E(13, "0000 1000"),    E(14, "0000 0111"),    E(15, "0000 0110"),    E(16, "0000 0101 11"),
    E(17, "0000 0101 10"), E(18, "0000 0101 01"), E(19, "0000 0101 00"), E(20, "0000 0100 11"),
    E(21, "0000 0100 10"), E(22, "0000 0100 011"), E(23, "0000 0100 010"), E(24, "0000 0100 001"),
    E(25, "0000 0100 000"), E(26, "0000 0011 111"), E(27, "0000 0011 110"), E(28, "0000 0011 101"),
    E(29, "0000 0011 100"), E(30, "0000 0011 011"), E(31, "0000 0011 010"), E(32, "0000 0011 001"),
    E(33, "0000 0011 000"),
};

constexpr VlcEntry kMbTypeI[] = {
    E(kMbIntra, "1"),
    E(kMbQuant | kMbIntra, "01"),
};

constexpr VlcEntry kMbTypeP[] = {
    E(kMbForward | kMbPattern, "1"),
    E(kMbPattern, "01"),
    E(kMbForward, "001"),
    E(kMbIntra, "0001 1"),
    E(kMbQuant | kMbForward | kMbPattern, "0001 0"),
    E(kMbQuant | kMbPattern, "0000 1"),
    E(kMbQuant | kMbIntra, "0000 01"),
};

constexpr VlcEntry kMbTypeB[] = {
    E(kMbForward | kMbBackward, "10"),
    E(kMbForward | kMbBackward | kMbPattern, "11"),
    E(kMbBackward, "010"),
    E(kMbBackward | kMbPattern, "011"),
    E(kMbForward, "0010"),
    E(kMbForward | kMbPattern, "0011"),
    E(kMbIntra, "0001 1"),
    E(kMbQuant | kMbForward | kMbBackward | kMbPattern, "0001 0"),
    E(kMbQuant | kMbForward | kMbPattern, "0000 11"),
    E(kMbQuant | kMbBackward | kMbPattern, "0000 10"),
    E(kMbQuant | kMbIntra, "0000 01"),
};

constexpr VlcEntry kMbTypeD[] = {
    E(kMbIntra, "1"),
};

constexpr VlcEntry kCbp[] = {
    E(60, "111"),         E(4, "1101"),         E(8, "1100"),         E(16, "1011"),
    E(32, "1010"),        E(12, "1001 1"),      E(48, "1001 0"),      E(20, "1000 1"),
    E(40, "1000 0"),      E(28, "0111 1"),      E(44, "0111 0"),      E(52, "0110 1"),
    E(56, "0110 0"),      E(1, "0101 1"),       E(61, "0101 0"),      E(2, "0100 1"),
    E(62, "0100 0"),      E(24, "0011 11"),     E(36, "0011 10"),     E(3, "0011 01"),
    E(63, "0011 00"),     E(5, "0010 111"),     E(9, "0010 110"),     E(17, "0010 101"),
    E(33, "0010 100"),    E(6, "0010 011"),     E(10, "0010 010"),    E(18, "0010 001"),
    E(34, "0010 000"),    E(7, "0001 1111"),    E(11, "0001 1110"),   E(19, "0001 1101"),
    E(35, "0001 1100"),   E(13, "0001 1011"),   E(49, "0001 1010"),   E(21, "0001 1001"),
    E(41, "0001 1000"),   E(14, "0001 0111"),   E(50, "0001 0110"),   E(22, "0001 0101"),
    E(42, "0001 0100"),   E(15, "0001 0011"),   E(51, "0001 0010"),   E(23, "0001 0001"),
    E(43, "0001 0000"),   E(25, "0000 1111"),   E(37, "0000 1110"),   E(26, "0000 1101"),
    E(38, "0000 1100"),   E(29, "0000 1011"),   E(45, "0000 1010"),   E(53, "0000 1001"),
    E(57, "0000 1000"),   E(30, "0000 0111"),   E(46, "0000 0110"),   E(54, "0000 0101"),
    E(58, "0000 0100"),   E(31, "0000 0011 1"), E(47, "0000 0011 0"), E(55, "0000 0010 1"),
    E(59, "0000 0010 0"), E(27, "0000 0001 1"), E(39, "0000 0001 0"), E(0, "0000 0000 1"),
};

constexpr VlcEntry kMotion[] = {
    E(-16, "0000 0011 001"), E(-15, "0000 0011 011"), E(-14, "0000 0011 101"), E(-13, "0000 0011 111"),
    E(-12, "0000 0100 001"), E(-11, "0000 0100 011"), E(-10, "0000 0100 11"),  E(-9, "0000 0101 01"),
    E(-8, "0000 0101 11"),   E(-7, "0000 0111"),      E(-6, "0000 1001"),      E(-5, "0000 1011"),
    E(-4, "0000 111"),       E(-3, "0001 1"),         E(-2, "0011"),           E(-1, "011"),
    E(0, "1"),
    E(1, "010"),             E(2, "0010"),            E(3, "0001 0"),          E(4, "0000 110"),
    E(5, "0000 1010"),       E(6, "0000 1000"),       E(7, "0000 0110"),       E(8, "0000 0101 10"),
    E(9, "0000 0101 00"),    E(10, "0000 0100 10"),   E(11, "0000 0100 010"),  E(12, "0000 0100 000"),
    E(13, "0000 0011 110"),  E(14, "0000 0011 100"),  E(15, "0000 0011 010"),  E(16, "0000 0011 000"),
};

constexpr VlcEntry kDmv[] = {
    E(0, "0"),
    E(1, "10"),
    E(-1, "11"),
};

constexpr VlcEntry kDcLum[] = {
    E(0, "100"),         E(1, "00"),          E(2, "01"),          E(3, "101"),
    E(4, "110"),         E(5, "1110"),        E(6, "1111 0"),      E(7, "1111 10"),
    E(8, "1111 110"),    E(9, "1111 1110"),   E(10, "1111 1111 0"), E(11, "1111 1111 1"),
};

constexpr VlcEntry kDcChrom[] = {
    E(0, "00"),          E(1, "01"),          E(2, "10"),          E(3, "110"),
    E(4, "1110"),        E(5, "1111 0"),      E(6, "1111 10"),     E(7, "1111 110"),
    E(8, "1111 1110"),   E(9, "1111 1111 0"), E(10, "1111 1111 10"), E(11, "1111 1111 11"),
};

// The long codes shared by both coefficient tables.
#define MORVANE_DCT_COMMON_TAIL                                                              \
    D(0, 16, "0000 0000 0111 11"), D(0, 17, "0000 0000 0111 10"), D(0, 18, "0000 0000 0111 01"), \
    D(0, 19, "0000 0000 0111 00"), D(0, 20, "0000 0000 0110 11"), D(0, 21, "0000 0000 0110 10"), \
    D(0, 22, "0000 0000 0110 01"), D(0, 23, "0000 0000 0110 00"), D(0, 24, "0000 0000 0101 11"), \
    D(0, 25, "0000 0000 0101 10"), D(0, 26, "0000 0000 0101 01"), D(0, 27, "0000 0000 0101 00"), \
    D(0, 28, "0000 0000 0100 11"), D(0, 29, "0000 0000 0100 10"), D(0, 30, "0000 0000 0100 01"), \
    D(0, 31, "0000 0000 0100 00"), D(0, 32, "0000 0000 0011 000"), D(0, 33, "0000 0000 0010 111"), \
    D(0, 34, "0000 0000 0010 110"), D(0, 35, "0000 0000 0010 101"), D(0, 36, "0000 0000 0010 100"), \
    D(0, 37, "0000 0000 0010 011"), D(0, 38, "0000 0000 0010 010"), D(0, 39, "0000 0000 0010 001"), \
    D(0, 40, "0000 0000 0010 000"), D(1, 8, "0000 0000 0011 111"), D(1, 9, "0000 0000 0011 110"), \
    D(1, 10, "0000 0000 0011 101"), D(1, 11, "0000 0000 0011 100"), D(1, 12, "0000 0000 0011 011"), \
    D(1, 13, "0000 0000 0011 010"), D(1, 14, "0000 0000 0011 001"), D(1, 15, "0000 0000 0001 0011"), \
    D(1, 16, "0000 0000 0001 0010"), D(1, 17, "0000 0000 0001 0001"), D(1, 18, "0000 0000 0001 0000"), \
    D(6, 3, "0000 0000 0001 0100"), D(11, 2, "0000 0000 0001 1010"), D(12, 2, "0000 0000 0001 1001"), \
    D(13, 2, "0000 0000 0001 1000"), D(14, 2, "0000 0000 0001 0111"), D(15, 2, "0000 0000 0001 0110"), \
    D(16, 2, "0000 0000 0001 0101"), D(27, 1, "0000 0000 0001 1111"), D(28, 1, "0000 0000 0001 1110"), \
    D(29, 1, "0000 0000 0001 1101"), D(30, 1, "0000 0000 0001 1100"), D(31, 1, "0000 0000 0001 1011"), \
    D(1, 6, "0000 0000 1011 0"), D(1, 7, "0000 0000 1010 1"), D(2, 5, "0000 0000 1010 0"),       \
    D(3, 4, "0000 0000 1001 1"), D(5, 3, "0000 0000 1001 0"), D(9, 2, "0000 0000 1000 1"),       \
    D(10, 2, "0000 0000 1000 0"), D(22, 1, "0000 0000 1111 1"), D(23, 1, "0000 0000 1111 0"),    \
    D(24, 1, "0000 0000 1110 1"), D(25, 1, "0000 0000 1110 0"), D(26, 1, "0000 0000 1101 1"),    \
    D(3, 3, "0000 0001 1100"), D(4, 3, "0000 0001 0010"), D(6, 2, "0000 0001 1110"),             \
    D(7, 2, "0000 0001 0101"), D(8, 2, "0000 0001 0001"), D(17, 1, "0000 0001 1111"),            \
    D(18, 1, "0000 0001 1010"), D(19, 1, "0000 0001 1001"), D(20, 1, "0000 0001 0111"),          \
    D(21, 1, "0000 0001 0110")

constexpr DctEntry kTable0[] = {
    D(0, 1, "11"),          D(1, 1, "011"),         D(0, 2, "0100"),        D(2, 1, "0101"),
    D(0, 3, "0010 1"),      D(3, 1, "0011 1"),      D(4, 1, "0011 0"),      D(1, 2, "0001 10"),
    D(5, 1, "0001 11"),     D(6, 1, "0001 01"),     D(7, 1, "0001 00"),     D(0, 4, "0000 110"),
    D(2, 2, "0000 100"),    D(8, 1, "0000 111"),    D(9, 1, "0000 101"),    D(0, 5, "0010 0110"),
    D(0, 6, "0010 0001"),   D(1, 3, "0010 0101"),   D(3, 2, "0010 0100"),   D(10, 1, "0010 0111"),
    D(11, 1, "0010 0011"),  D(12, 1, "0010 0010"),  D(13, 1, "0010 0000"),  D(0, 7, "0000 0010 10"),
    D(1, 4, "0000 0011 00"), D(2, 3, "0000 0010 11"), D(4, 2, "0000 0011 11"), D(5, 2, "0000 0010 01"),
    D(14, 1, "0000 0011 10"), D(15, 1, "0000 0011 01"), D(16, 1, "0000 0010 00"),
    D(0, 8, "0000 0001 1101"), D(0, 9, "0000 0001 1000"), D(0, 10, "0000 0001 0011"),
    D(0, 11, "0000 0001 0000"), D(1, 5, "0000 0001 1011"), D(2, 4, "0000 0001 0100"),
    D(0, 12, "0000 0000 1101 0"), D(0, 13, "0000 0000 1100 1"), D(0, 14, "0000 0000 1100 0"),
    D(0, 15, "0000 0000 1011 1"),
    MORVANE_DCT_COMMON_TAIL,
};

constexpr DctEntry kTable1[] = {
    D(0, 1, "10"),          D(1, 1, "010"),         D(0, 2, "110"),         D(2, 1, "0010 1"),
    D(0, 3, "0111"),        D(3, 1, "0011 1"),      D(4, 1, "0001 10"),     D(1, 2, "0011 0"),
    D(5, 1, "0001 11"),     D(6, 1, "0000 110"),    D(7, 1, "0000 100"),    D(0, 4, "1110 0"),
    D(2, 2, "0000 111"),    D(8, 1, "0000 101"),    D(9, 1, "1111 000"),    D(0, 5, "1110 1"),
    D(0, 6, "0001 01"),     D(1, 3, "1111 001"),    D(3, 2, "0010 0110"),   D(10, 1, "1111 010"),
    D(11, 1, "0010 0001"),  D(12, 1, "0010 0101"),  D(13, 1, "0010 0100"),  D(0, 7, "0001 00"),
    D(1, 4, "0010 0111"),   D(2, 3, "1111 1100"),   D(4, 2, "1111 1101"),   D(5, 2, "0000 0010 0"),
    D(14, 1, "0000 0010 1"), D(15, 1, "0000 0011 1"), D(16, 1, "0000 0011 01"),
    D(0, 8, "1111 011"),    D(0, 9, "1111 100"),    D(0, 10, "0010 0011"),  D(0, 11, "0010 0010"),
    D(1, 5, "0010 0000"),   D(2, 4, "0000 0011 00"),
    D(0, 12, "1111 1010"),  D(0, 13, "1111 1011"),  D(0, 14, "1111 1110"),  D(0, 15, "1111 1111"),
    MORVANE_DCT_COMMON_TAIL,
};

#undef MORVANE_DCT_COMMON_TAIL

static_assert(std::size(kTable0) == 111 && std::size(kTable1) == 111);
static_assert(std::size(kCbp) == 64 && std::size(kMotion) == 33 && std::size(kMbaInc) == 33);

// Direct index by run (0..31) and level (1..40) into each table.
struct DctIndex {
    int16_t at[2][32][41];
    constexpr DctIndex()
        : at{}
    {
        for (int t = 0; t < 2; ++t)
            for (int r = 0; r < 32; ++r)
                for (int l = 0; l < 41; ++l) at[t][r][l] = -1;
        for (size_t i = 0; i < std::size(kTable0); ++i) at[0][kTable0[i].run][kTable0[i].level] = static_cast<int16_t>(i);
        for (size_t i = 0; i < std::size(kTable1); ++i) at[1][kTable1[i].run][kTable1[i].level] = static_cast<int16_t>(i);
    }
};
constexpr DctIndex kDctIndex;

}  // namespace

const std::span<const VlcEntry> kMacroblockAddressIncrement{kMbaInc};
const std::span<const VlcEntry> kMacroblockTypeI{kMbTypeI};
const std::span<const VlcEntry> kMacroblockTypeP{kMbTypeP};
const std::span<const VlcEntry> kMacroblockTypeB{kMbTypeB};
const std::span<const VlcEntry> kMacroblockTypeD{kMbTypeD};
const std::span<const VlcEntry> kCodedBlockPattern{kCbp};
const std::span<const VlcEntry> kMotionCode{kMotion};
const std::span<const VlcEntry> kDmvector{kDmv};
const std::span<const VlcEntry> kDctDcSizeLuminance{kDcLum};
const std::span<const VlcEntry> kDctDcSizeChrominance{kDcChrom};
const std::span<const DctEntry> kDctTableZero{kTable0};
const std::span<const DctEntry> kDctTableOne{kTable1};

std::span<const VlcEntry> MacroblockTypeTable(int pictureCodingType)
{
    switch (pictureCodingType) {
    case 1: return kMacroblockTypeI;
    case 2: return kMacroblockTypeP;
    case 3: return kMacroblockTypeB;
    case 4: return kMacroblockTypeD;
    default: return {};
    }
}

const DctEntry* FindDctCode(int table, int run, int level)
{
    if (run < 0 || run > 31 || level < 1 || level > 40) return nullptr;
    const int i = kDctIndex.at[table ? 1 : 0][run][level];
    if (i < 0) return nullptr;
    return table ? &kTable1[i] : &kTable0[i];
}

const uint8_t kZigZag[64] = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
    12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
    35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
    58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63,
};

const uint8_t kAlternateScan[64] = {
    0,  8,  16, 24, 1,  9,  2,  10, 17, 25, 32, 40, 48, 56, 57, 49,
    41, 33, 26, 18, 3,  11, 4,  12, 19, 27, 34, 42, 50, 58, 35, 43,
    51, 59, 20, 28, 5,  13, 6,  14, 21, 29, 36, 44, 52, 60, 37, 45,
    53, 61, 22, 30, 7,  15, 23, 31, 38, 46, 54, 62, 39, 47, 55, 63,
};

const uint8_t kDefaultIntraMatrix[64] = {
    8,  16, 19, 22, 26, 27, 29, 34,
    16, 16, 22, 24, 27, 29, 34, 37,
    19, 22, 26, 27, 29, 34, 34, 38,
    22, 22, 26, 27, 29, 34, 37, 40,
    22, 26, 27, 29, 32, 35, 40, 48,
    26, 27, 29, 32, 35, 40, 48, 58,
    26, 27, 29, 34, 38, 46, 56, 69,
    27, 29, 35, 38, 46, 56, 69, 83,
};

double FrameRateValue(int frameRateCode)
{
    static constexpr double kRates[9] = {0.0, 24000.0 / 1001.0, 24.0, 25.0, 30000.0 / 1001.0, 30.0, 50.0, 60000.0 / 1001.0, 60.0};
    if (frameRateCode < 1 || frameRateCode > 8) return 0.0;
    return kRates[frameRateCode];
}

}  // namespace morvane::mpeg
