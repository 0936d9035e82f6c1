// Start codes of a video elementary stream and the fields of its picture
// and GOP headers, for the codec tests.
#pragma once

#include <cstdint>
#include <vector>

#include "BitReader.h"

struct StartCode {
    uint8_t code;
    size_t offset;  // of the 00 00 01 prefix
};

inline std::vector<StartCode> ScanStartCodes(const std::vector<uint8_t>& s)
{
    std::vector<StartCode> out;
    for (size_t i = 0; i + 3 < s.size(); ++i)
        if (s[i] == 0 && s[i + 1] == 0 && s[i + 2] == 1) {
            out.push_back({s[i + 3], i});
            i += 3;
        }
    return out;
}

struct PictureHeader {
    int temporalReference, type, vbvDelay;
};

inline PictureHeader ReadPictureHeader(const std::vector<uint8_t>& s, size_t offset)
{
    TestBitReader r(s);
    r.pos = 8 * (offset + 4);
    PictureHeader h;
    h.temporalReference = static_cast<int>(r.Get(10));
    h.type = static_cast<int>(r.Get(3));
    h.vbvDelay = static_cast<int>(r.Get(16));
    return h;
}

struct GopHeader {
    uint32_t timeCode;
    int closed;
};

inline GopHeader ReadGopHeader(const std::vector<uint8_t>& s, size_t offset)
{
    TestBitReader r(s);
    r.pos = 8 * (offset + 4);
    GopHeader g;
    g.timeCode = r.Get(25);
    g.closed = static_cast<int>(r.Get(1));
    return g;
}
