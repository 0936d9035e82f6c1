// The VLC tables: every entry round-trips through the bit writer and a
// reader built from the same table, each table is prefix-free and as
// complete as the standard's, and the scans and matrices are consistent.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "codec/BitWriter.h"
#include "codec/VlcTables.h"
#include "BitReader.h"

using namespace morvane::mpeg;

namespace {

struct Code {
    uint32_t code;
    int length;
    int id;
};

std::string BitString(uint32_t code, int length)
{
    std::string s;
    for (int i = length - 1; i >= 0; --i) s += ((code >> i) & 1) ? '1' : '0';
    return s;
}

// No code is a prefix of another; returns the Kraft sum.
double CheckPrefixFree(const std::vector<Code>& codes, const char* name)
{
    double kraft = 0;
    for (size_t i = 0; i < codes.size(); ++i) {
        EXPECT_GT(codes[i].length, 0) << name;
        kraft += std::ldexp(1.0, -codes[i].length);
        const std::string a = BitString(codes[i].code, codes[i].length);
        for (size_t j = 0; j < codes.size(); ++j) {
            if (i == j) continue;
            const std::string b = BitString(codes[j].code, codes[j].length);
            EXPECT_FALSE(b.size() >= a.size() && b.compare(0, a.size(), a) == 0)
                << name << ": " << a << " is a prefix of " << b;
        }
    }
    return kraft;
}

// Decodes one code of the table from the reader, bit by bit; -1 if none.
int ReadCode(TestBitReader& r, const std::vector<Code>& codes)
{
    uint32_t acc = 0;
    for (int len = 1; len <= 17; ++len) {
        acc = (acc << 1) | static_cast<uint32_t>(r.Bit());
        for (const Code& c : codes)
            if (c.length == len && c.code == acc) return c.id;
    }
    return -1;
}

std::vector<Code> FromEntries(std::span<const VlcEntry> t)
{
    std::vector<Code> v;
    for (size_t i = 0; i < t.size(); ++i) v.push_back({t[i].code, t[i].length, static_cast<int>(i)});
    return v;
}

// Writes every entry (in a shuffled order, twice) and reads them back.
void RoundTrip(const std::vector<Code>& codes, const char* name)
{
    std::vector<int> order;
    for (size_t i = 0; i < codes.size(); ++i) order.push_back(static_cast<int>(i));
    for (size_t i = 0; i < codes.size(); ++i) order.push_back(static_cast<int>((i * 7 + 3) % codes.size()));
    BitWriter w;
    for (int i : order) w.PutBits(codes[i].code, codes[i].length);
    w.AlignBits();
    const std::vector<uint8_t> bytes = w.TakeBytes();
    TestBitReader r(bytes);
    for (int i : order) ASSERT_EQ(ReadCode(r, codes), codes[i].id) << name;
}

std::vector<int> Values(std::span<const VlcEntry> t)
{
    std::vector<int> v;
    for (const VlcEntry& e : t) v.push_back(e.value);
    std::sort(v.begin(), v.end());
    return v;
}

std::vector<int> Range(int lo, int hi)
{
    std::vector<int> v;
    for (int i = lo; i <= hi; ++i) v.push_back(i);
    return v;
}

}  // namespace

TEST(VlcTables, SmallTablesRoundTripAndAreComplete)
{
    struct Case {
        const char* name;
        std::span<const VlcEntry> table;
        std::vector<int> values;
        double kraft;
        std::vector<Code> extra;
    };
    const std::vector<Case> cases = {
        {"macroblock_address_increment", kMacroblockAddressIncrement, Range(1, 33), 1.0 - 11.0 / 1024,
         {{kMacroblockEscape.code, kMacroblockEscape.length, 100}, {kMacroblockStuffing.code, kMacroblockStuffing.length, 101}}},
        {"macroblock_type I", kMacroblockTypeI, {1, 17}, 0.75, {}},
        {"macroblock_type P", kMacroblockTypeP, {1, 2, 8, 10, 18, 26, 17}, 1.0 - 1.0 / 64, {}},
        {"macroblock_type B", kMacroblockTypeB, {1, 4, 6, 8, 10, 12, 14, 17, 26, 30, 22}, 1.0 - 1.0 / 64, {}},
        {"macroblock_type D", kMacroblockTypeD, {1}, 0.5, {}},
        {"coded_block_pattern", kCodedBlockPattern, Range(0, 63), 1.0 - 1.0 / 512, {}},
        {"motion_code", kMotionCode, Range(-16, 16), 1.0 - 24.0 / 2048, {}},
        {"dmvector", kDmvector, Range(-1, 1), 1.0, {}},
        {"dct_dc_size_luminance", kDctDcSizeLuminance, Range(0, 11), 1.0, {}},
        {"dct_dc_size_chrominance", kDctDcSizeChrominance, Range(0, 11), 1.0, {}},
    };
    for (const Case& c : cases) {
        std::vector<int> want = c.values;
        std::sort(want.begin(), want.end());
        EXPECT_EQ(Values(c.table), want) << c.name;
        std::vector<Code> codes = FromEntries(c.table);
        codes.insert(codes.end(), c.extra.begin(), c.extra.end());
        EXPECT_DOUBLE_EQ(CheckPrefixFree(codes, c.name), c.kraft) << c.name;
        RoundTrip(codes, c.name);
    }
}

TEST(VlcTables, KnownCodewords)
{
    auto find = [](std::span<const VlcEntry> t, int value) {
        for (const VlcEntry& e : t)
            if (e.value == value) return BitString(e.code, e.length);
        return std::string("?");
    };
    EXPECT_EQ(find(kMacroblockAddressIncrement, 1), "1");
    EXPECT_EQ(find(kMacroblockAddressIncrement, 33), "00000011000");
    EXPECT_EQ(BitString(kMacroblockEscape.code, kMacroblockEscape.length), "00000001000");
    EXPECT_EQ(find(kCodedBlockPattern, 63), "001100");
    EXPECT_EQ(find(kCodedBlockPattern, 60), "111");
    EXPECT_EQ(find(kMotionCode, -1), "011");
    EXPECT_EQ(find(kMotionCode, 16), "00000011000");
    EXPECT_EQ(find(kDctDcSizeLuminance, 0), "100");
    EXPECT_EQ(find(kDctDcSizeChrominance, 11), "1111111111");
    EXPECT_EQ(find(kMacroblockTypeB, kMbQuant | kMbIntra), "000001");
    EXPECT_EQ(MacroblockTypeTable(2).data(), kMacroblockTypeP.data());
    EXPECT_TRUE(MacroblockTypeTable(5).empty());
}

TEST(VlcTables, CoefficientTables)
{
    std::set<std::pair<int, int>> pairs0, pairs1;
    for (int t = 0; t < 2; ++t) {
        const auto table = t ? kDctTableOne : kDctTableZero;
        std::vector<Code> codes;
        for (size_t i = 0; i < table.size(); ++i) {
            codes.push_back({table[i].code, table[i].length, static_cast<int>(i)});
            (t ? pairs1 : pairs0).insert({table[i].run, table[i].level});
            EXPECT_EQ(FindDctCode(t, table[i].run, table[i].level), &table[i]);
        }
        EXPECT_EQ((t ? pairs1 : pairs0).size(), table.size()) << "duplicate pair in table " << t;
        const Vlc eob = t ? kEndOfBlockOne : kEndOfBlockZero;
        codes.push_back({eob.code, eob.length, 1000});
        codes.push_back({kDctEscape.code, kDctEscape.length, 1001});
        const double kraft = CheckPrefixFree(codes, t ? "table one" : "table zero");
        // Table zero leaves only the start-code prefix (twelve zeros) unused;
        // table one leaves the codes of its relocated pairs unused.
        if (t == 0) EXPECT_DOUBLE_EQ(kraft, 1.0 - std::ldexp(1.0, -12));
        else EXPECT_LT(kraft, 1.0);
        RoundTrip(codes, t ? "table one" : "table zero");
        // With the sign bit: write every pair with both signs.
        BitWriter w;
        for (const DctEntry& e : table) {
            w.PutBits(e.code, e.length);
            w.PutBits(0, 1);
            w.PutBits(e.code, e.length);
            w.PutBits(1, 1);
        }
        w.AlignBits();
        const auto bytes = w.TakeBytes();
        TestBitReader r(bytes);
        for (const DctEntry& e : table) {
            for (int s = 0; s < 2; ++s) {
                const int id = ReadCode(r, codes);
                ASSERT_GE(id, 0);
                ASSERT_LT(id, 1000);
                EXPECT_EQ(table[id].run, e.run);
                EXPECT_EQ(table[id].level, e.level);
                EXPECT_EQ(r.Bit(), s);
            }
        }
    }
    EXPECT_EQ(pairs0, pairs1);
    EXPECT_EQ(FindDctCode(0, 32, 1), nullptr);
    EXPECT_EQ(FindDctCode(0, 0, 41), nullptr);
    EXPECT_EQ(FindDctCode(0, 2, 6), nullptr);
    EXPECT_EQ(FindDctCode(1, 31, 2), nullptr);
    // Table zero's first-coefficient code "1" is prefix-free against
    // everything else that can start a non-intra block (no end_of_block).
    std::vector<Code> first;
    for (size_t i = 0; i < kDctTableZero.size(); ++i)
        if (!(kDctTableZero[i].run == 0 && kDctTableZero[i].level == 1))
            first.push_back({kDctTableZero[i].code, kDctTableZero[i].length, static_cast<int>(i)});
    first.push_back({kFirstCoefficientOne.code, kFirstCoefficientOne.length, 999});
    first.push_back({kDctEscape.code, kDctEscape.length, 1001});
    CheckPrefixFree(first, "first coefficient");
    // Spot checks against the printed tables.
    EXPECT_EQ(BitString(FindDctCode(0, 0, 1)->code, FindDctCode(0, 0, 1)->length), "11");
    EXPECT_EQ(BitString(FindDctCode(1, 0, 1)->code, FindDctCode(1, 0, 1)->length), "10");
    EXPECT_EQ(BitString(FindDctCode(0, 31, 1)->code, FindDctCode(0, 31, 1)->length), "0000000000011011");
    EXPECT_EQ(BitString(FindDctCode(1, 0, 15)->code, FindDctCode(1, 0, 15)->length), "11111111");
}

TEST(VlcTables, ScansAndMatrices)
{
    for (const uint8_t* scan : {kZigZag, kAlternateScan}) {
        std::set<int> seen(scan, scan + 64);
        EXPECT_EQ(seen.size(), 64u);
        EXPECT_EQ(scan[0], 0);
        EXPECT_EQ(scan[63], 63);
    }
    // The zig-zag walks anti-diagonals, alternating direction.
    int i = 0;
    for (int s = 0; s < 15; ++s) {
        std::vector<int> diag;
        for (int r = 0; r < 8; ++r) {
            const int c = s - r;
            if (c >= 0 && c < 8) diag.push_back(8 * r + c);
        }
        if (s % 2 == 0) std::reverse(diag.begin(), diag.end());
        for (int idx : diag) EXPECT_EQ(kZigZag[i++], idx) << "diagonal " << s;
    }
    EXPECT_EQ(kAlternateScan[1], 8);
    EXPECT_EQ(kAlternateScan[4], 1);
    EXPECT_EQ(kAlternateScan[20], 3);
    EXPECT_EQ(kDefaultIntraMatrix[0], 8);
    EXPECT_EQ(kDefaultIntraMatrix[1], 16);
    EXPECT_EQ(kDefaultIntraMatrix[7], 34);
    EXPECT_EQ(kDefaultIntraMatrix[63], 83);
    // The matrix is symmetric about neither axis but non-decreasing along
    // each row and column.
    for (int r = 0; r < 8; ++r)
        for (int c = 1; c < 8; ++c) {
            EXPECT_LE(kDefaultIntraMatrix[8 * r + c - 1], kDefaultIntraMatrix[8 * r + c]);
            EXPECT_LE(kDefaultIntraMatrix[8 * (c - 1) + r], kDefaultIntraMatrix[8 * c + r]);
        }
    EXPECT_DOUBLE_EQ(FrameRateValue(3), 25.0);
    EXPECT_DOUBLE_EQ(FrameRateValue(5), 30.0);
    EXPECT_DOUBLE_EQ(FrameRateValue(4), 30000.0 / 1001.0);
    EXPECT_EQ(FrameRateValue(0), 0.0);
    EXPECT_EQ(FrameRateValue(9), 0.0);
}

TEST(BitWriter, CountsAlignsAndHandsOutBytes)
{
    BitWriter w;
    w.PutBits(1, 1);
    EXPECT_EQ(w.BitCount(), 1u);
    w.AlignBits();
    EXPECT_EQ(w.BitCount(), 8u);
    w.AlignBits();
    EXPECT_EQ(w.BitCount(), 8u);
    w.PutBits(0xDEADBEEF, 32);
    w.PutBits(0x5, 3);
    EXPECT_EQ(w.BitCount(), 43u);
    auto bytes = w.TakeBytes();
    ASSERT_EQ(bytes.size(), 5u);
    EXPECT_EQ(bytes[0], 0x80);
    EXPECT_EQ(bytes[1], 0xDE);
    EXPECT_EQ(bytes[4], 0xEF);
    EXPECT_EQ(w.BitCount(), 43u);
    w.PutBits(0xFFFFFFFF, 5);  // only the low 5 bits
    w.AlignBits();
    bytes = w.TakeBytes();
    ASSERT_EQ(bytes.size(), 1u);
    EXPECT_EQ(bytes[0], 0xBF);  // 101 11111
    // Past 2^32 bits the count keeps going.
    BitWriter big;
    for (int i = 0; i < (1 << 20); ++i) {
        big.PutBits(0, 32);
        if ((i & 4095) == 0) big.TakeBytes();
    }
    for (int k = 0; k < 4096 + 2; ++k) {
        for (int i = 0; i < 4096; ++i) big.PutBits(0xFFFFFFFF, 32);
        big.TakeBytes();
    }
    EXPECT_EQ(big.BitCount(), uint64_t{32} * ((1u << 20) + uint64_t{4098} * 4096));
}
