#include "codec/DecoderBitReader.h"

#include <cstring>

namespace morvane {

void DecoderBitReader::AttachFile(std::FILE* file)
{
    file_ = file;
    memory_ = nullptr;
    memorySize_ = memoryPos_ = 0;
    Init();
}

void DecoderBitReader::AttachMemory(const uint8_t* data, size_t size)
{
    file_ = nullptr;
    memory_ = data;
    memorySize_ = data ? size : 0;
    memoryPos_ = 0;
    Init();
}

void DecoderBitReader::Init()
{
    pos_ = kBufferSize;
    dataEnd_ = kBufferSize;
    sourceEnded_ = false;
    window_ = 0;
    count_ = 0;
    bytesLoaded_ = 0;
}

void DecoderBitReader::FillBuffer()
{
    size_t got = 0;
    if (file_) {
        got = std::fread(buffer_, 1, kBufferSize, file_);
    } else if (memory_) {
        got = memorySize_ - memoryPos_;
        if (got > kBufferSize) got = kBufferSize;
        std::memcpy(buffer_, memory_ + memoryPos_, got);
        memoryPos_ += got;
    }
    pos_ = 0;
    dataEnd_ = got;
    if (got < kBufferSize) {
        sourceEnded_ = true;
        size_t i = got;
        while (i & 3) buffer_[i++] = 0;
        static constexpr uint8_t kEnd[4] = {0x00, 0x00, 0x01, 0xB7};
        for (; i < kBufferSize; i += 4) std::memcpy(buffer_ + i, kEnd, 4);
    }
}

void DecoderBitReader::Refill()
{
    // Whole bytes are added below the valid bits until at least 57 bits
    // are held (every Show of up to 32 bits is then satisfied).
    while (count_ <= 56) {
        if (pos_ >= kBufferSize) FillBuffer();
        if (pos_ + 8 <= kBufferSize) {
            const int take = (64 - count_) >> 3;
            uint64_t v = 0;
            for (int i = 0; i < 8; ++i) v = (v << 8) | buffer_[pos_ + i];
            v >>= 64 - 8 * take;  // the first `take` bytes, right aligned
            window_ |= v << (64 - 8 * take - count_);
            pos_ += static_cast<size_t>(take);
            count_ += 8 * take;
            bytesLoaded_ += static_cast<uint64_t>(take);
        } else {
            window_ |= static_cast<uint64_t>(buffer_[pos_++]) << (56 - count_);
            count_ += 8;
            ++bytesLoaded_;
        }
    }
}

void DecoderBitReader::NextStartCode()
{
    Flush(count_ & 7);
    while (Show(24) != 0x000001) Flush(8);
}

}  // namespace morvane
