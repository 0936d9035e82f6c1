// A plain MSB-first bit reader for the codec tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct TestBitReader {
    const std::vector<uint8_t>& bytes;
    size_t pos = 0;  // in bits

    explicit TestBitReader(const std::vector<uint8_t>& b)
        : bytes(b)
    {
    }
    int Bit()
    {
        if (pos >= 8 * bytes.size()) return 0;
        const int b = (bytes[pos >> 3] >> (7 - (pos & 7))) & 1;
        ++pos;
        return b;
    }
    uint32_t Get(int n)
    {
        uint32_t v = 0;
        for (int i = 0; i < n; ++i) v = (v << 1) | static_cast<uint32_t>(Bit());
        return v;
    }
    uint32_t Peek(int n)
    {
        const size_t p = pos;
        const uint32_t v = Get(n);
        pos = p;
        return v;
    }
    void Align() { pos = (pos + 7) & ~size_t{7}; }
    bool AtEnd() const { return pos >= 8 * bytes.size(); }
};
