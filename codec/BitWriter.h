// MSB-first bit writer of the MPEG encoder.  Bits collect in memory; the
// owner takes the finished bytes (TakeBytes) and writes them out, so that a
// stream of any length is counted exactly (64-bit counts, no masks that
// overflow).
#pragma once

#include <cstdint>
#include <vector>

namespace morvane::mpeg {

class BitWriter {
public:
    // Appends the low n bits of value, most significant first; n is 0..32.
    void PutBits(uint32_t value, int n)
    {
        if (n <= 0) return;
        const uint64_t v = n == 32 ? value : (value & ((uint64_t{1} << n) - 1));
        acc_ = (acc_ << n) | v;
        accBits_ += n;
        while (accBits_ >= 8) {
            accBits_ -= 8;
            bytes_.push_back(static_cast<uint8_t>(acc_ >> accBits_));
        }
        acc_ &= (uint64_t{1} << accBits_) - 1;
    }

    // Pads with zero bits to the next byte boundary.
    void AlignBits()
    {
        if (accBits_) PutBits(0, 8 - accBits_);
    }

    // Bits written since the start (or the last Reset), whole bytes handed
    // out by TakeBytes included.
    uint64_t BitCount() const { return 8 * (taken_ + bytes_.size()) + accBits_; }

    // Whole bytes not yet taken.
    const std::vector<uint8_t>& Bytes() const { return bytes_; }

    // Hands out the complete bytes written so far and forgets them.
    std::vector<uint8_t> TakeBytes()
    {
        taken_ += bytes_.size();
        std::vector<uint8_t> out;
        out.swap(bytes_);
        return out;
    }

    void Reset()
    {
        bytes_.clear();
        taken_ = 0;
        acc_ = 0;
        accBits_ = 0;
    }

private:
    std::vector<uint8_t> bytes_;
    uint64_t taken_ = 0;
    uint64_t acc_ = 0;
    int accBits_ = 0;
};

}  // namespace morvane::mpeg
