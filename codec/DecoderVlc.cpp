#include "codec/DecoderVlc.h"

#include <algorithm>
#include <cassert>

namespace morvane {

const uint8_t kNonLinearQuantiserScale[32] = {
    0,  1,  2,  3,  4,  5,  6,  7,  8,  10, 12, 14, 16, 18, 20, 22,
    24, 28, 32, 36, 40, 44, 48, 52, 56, 64, 72, 80, 88, 96, 104, 112,
};

void VlcReader::Build(std::span<const mpeg::VlcEntry> entries, int rootBits)
{
    rootBits_ = rootBits;
    root_.assign(size_t{1} << rootBits, Entry{});
    table_.clear();
    // Longest code below each root prefix, to size the second tables.
    std::vector<int> longest(root_.size(), 0);
    for (const auto& e : entries) {
        if (e.length > rootBits) {
            const uint32_t prefix = static_cast<uint32_t>(e.code) >> (e.length - rootBits);
            longest[prefix] = std::max<int>(longest[prefix], e.length - rootBits);
        }
    }
    for (size_t p = 0; p < root_.size(); ++p) {
        if (longest[p] > 0) {
            root_[p].value = static_cast<int32_t>(table_.size());
            root_[p].length = -longest[p];
            table_.resize(table_.size() + (size_t{1} << longest[p]));
        }
    }
    for (const auto& e : entries) {
        if (e.length <= rootBits) {
            const int spare = rootBits - e.length;
            const uint32_t first = static_cast<uint32_t>(e.code) << spare;
            for (uint32_t i = 0; i < (1u << spare); ++i) {
                assert(root_[first + i].length == 0);
                root_[first + i] = Entry{e.value, e.length};
            }
        } else {
            const int rest = e.length - rootBits;
            const uint32_t prefix = static_cast<uint32_t>(e.code) >> rest;
            const int sub = -root_[prefix].length;
            const uint32_t low = static_cast<uint32_t>(e.code) & ((1u << rest) - 1);
            const int spare = sub - rest;
            const size_t base = static_cast<size_t>(root_[prefix].value) + (low << spare);
            for (uint32_t i = 0; i < (1u << spare); ++i) table_[base + i] = Entry{e.value, e.length};
        }
    }
}

namespace {

std::vector<mpeg::VlcEntry> DctEntries(std::span<const mpeg::DctEntry> table, mpeg::Vlc endOfBlock)
{
    std::vector<mpeg::VlcEntry> out;
    out.reserve(table.size() + 2);
    for (const auto& d : table) out.push_back({static_cast<int16_t>(d.run << 8 | d.level), d.code, d.length});
    out.push_back({kDctEndOfBlock, endOfBlock.code, endOfBlock.length});
    out.push_back({kDctEscape, mpeg::kDctEscape.code, mpeg::kDctEscape.length});
    return out;
}

DecoderVlcTables BuildTables()
{
    DecoderVlcTables t;
    std::vector<mpeg::VlcEntry> increment(mpeg::kMacroblockAddressIncrement.begin(),
                                          mpeg::kMacroblockAddressIncrement.end());
    increment.push_back({kAddressEscape, mpeg::kMacroblockEscape.code, mpeg::kMacroblockEscape.length});
    increment.push_back({kAddressStuffing, mpeg::kMacroblockStuffing.code, mpeg::kMacroblockStuffing.length});
    t.addressIncrement.Build(increment, 6);
    for (int type = 1; type <= 4; ++type) t.macroblockType[type].Build(mpeg::MacroblockTypeTable(type), 6);
    t.codedBlockPattern.Build(mpeg::kCodedBlockPattern, 5);
    t.motionCode.Build(mpeg::kMotionCode, 6);
    t.dmvector.Build(mpeg::kDmvector, 2);
    t.dcSizeLuminance.Build(mpeg::kDctDcSizeLuminance, 5);
    t.dcSizeChrominance.Build(mpeg::kDctDcSizeChrominance, 5);
    t.dctZero.Build(DctEntries(mpeg::kDctTableZero, mpeg::kEndOfBlockZero), 8);
    t.dctOne.Build(DctEntries(mpeg::kDctTableOne, mpeg::kEndOfBlockOne), 8);
    return t;
}

}  // namespace

const DecoderVlcTables& DecoderTables()
{
    static const DecoderVlcTables tables = BuildTables();
    return tables;
}

}  // namespace morvane
