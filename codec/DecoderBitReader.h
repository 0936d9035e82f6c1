// The MPEG decoder's input: a bit reader over a file (or a block of memory)
// read 2048 bytes at a time.
//
// End of file rule: when a read returns fewer than 2048 bytes, the buffer is
// completed with zero bytes up to the next multiple of 4 and then with the
// four bytes 00 00 01 B7 (sequence_end_code) repeated to its end.  Past the
// end the input therefore reads as sequence end codes, endlessly, and every
// search for a start code ends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace morvane {

class DecoderBitReader {
public:
    static constexpr size_t kBufferSize = 2048;
    static constexpr uint32_t kSequenceEndCode = 0x000001B7;

    DecoderBitReader() = default;
    DecoderBitReader(const DecoderBitReader&) = delete;
    DecoderBitReader& operator=(const DecoderBitReader&) = delete;

    // The source; the reader does not own it.  Both call Init.
    void AttachFile(std::FILE* file);
    void AttachMemory(const uint8_t* data, size_t size);

    // Empty window, read position at the end of the buffer (the next look
    // ahead reads the source), bit position 0.
    void Init();

    // The next n bits (0..32), most significant first, not consumed.
    uint32_t Show(int n)
    {
        if (n == 0) return 0;
        if (count_ < n) Refill();
        return static_cast<uint32_t>(window_ >> (64 - n));
    }
    void Flush(int n)
    {
        if (count_ < n) Refill();
        window_ <<= n;
        count_ -= n;
    }
    uint32_t Get(int n)
    {
        const uint32_t v = Show(n);
        Flush(n);
        return v;
    }
    uint32_t Get1() { return Get(1); }

    // Skips to the next byte boundary, then whole bytes until the next 24
    // bits are 00 00 01.
    void NextStartCode();

    // Bits consumed since Init.
    uint64_t BitPosition() const { return bytesLoaded_ * 8 - static_cast<uint64_t>(count_); }

    // True once the source is exhausted and everything after it is padding.
    bool AtEndOfSource() const { return sourceEnded_ && pos_ >= dataEnd_; }

private:
    void Refill();
    void FillBuffer();

    std::FILE* file_ = nullptr;
    const uint8_t* memory_ = nullptr;
    size_t memorySize_ = 0;
    size_t memoryPos_ = 0;

    uint8_t buffer_[kBufferSize] = {};
    size_t pos_ = kBufferSize;      // next byte of buffer_ to move into the window
    size_t dataEnd_ = kBufferSize;  // bytes of buffer_ that came from the source
    bool sourceEnded_ = false;
    uint64_t window_ = 0;  // left aligned: the top count_ bits are valid
    int count_ = 0;
    uint64_t bytesLoaded_ = 0;
};

}  // namespace morvane
