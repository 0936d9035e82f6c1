#include "media/FliReader.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include "engine/SafeFile.h"

namespace morvane {

namespace {

constexpr size_t kFileHeaderSize = 128;
constexpr size_t kFrameHeaderSize = 16;
constexpr size_t kChunkHeaderSize = 6;

enum ChunkType { kColour256 = 4, kColour64 = 11, kLineDelta = 12, kBlack = 13, kByteRun = 15, kCopy = 16 };

int U16(std::span<const uint8_t> b, size_t at) { return b[at] | (b[at + 1] << 8); }
uint32_t U32(std::span<const uint8_t> b, size_t at)
{
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

// Reads bytes of one chunk's data; past its end every read gives nothing.
class ChunkBytes {
public:
    explicit ChunkBytes(std::span<const uint8_t> data) : data_(data) {}
    bool Has(size_t n) const { return data_.size() - pos_ >= n; }
    uint8_t Byte() { return data_[pos_++]; }
    const uint8_t* Take(size_t n)
    {
        const uint8_t* p = data_.data() + pos_;
        pos_ += n;
        return p;
    }

private:
    std::span<const uint8_t> data_;
    size_t pos_ = 0;
};

}  // namespace

namespace {

// Reads the file header into `movie`; refused with the reason the movie is
// not read.
Result<> ReadHeader(std::span<const uint8_t> bytes, uint64_t maxPictureBytes, FliMovie& movie)
{
    if (bytes.size() < kFileHeaderSize) return Failure("The file is too short to be an FLI movie");
    movie.frameCount = U16(bytes, 6);
    movie.width = U16(bytes, 8);
    movie.height = U16(bytes, 10);
    return CheckPictureSize(movie.width, movie.height, maxPictureBytes);
}

}  // namespace

Result<std::shared_ptr<const FliMovie>> OpenFliMovie(std::vector<uint8_t> bytes, uint64_t maxPictureBytes)
{
    auto movie = std::make_shared<FliMovie>();
    if (Result<> header = ReadHeader(bytes, maxPictureBytes, *movie); !header.ok()) return Failure(header.error);
    movie->bytes = std::move(bytes);
    return std::shared_ptr<const FliMovie>(std::move(movie));
}

Result<std::shared_ptr<const FliMovie>> ReadFliMovie(InputFile& file, uint64_t maxPictureBytes)
{
    FliMovie header;
    Result<std::vector<uint8_t>> bytes = file.Read(kFileHeaderSize);
    if (!bytes.ok()) return Failure(bytes.error);
    if (Result<> read = ReadHeader(*bytes.value, maxPictureBytes, header); !read.ok()) return Failure(read.error);
    bytes = file.Read(file.Size());
    if (!bytes.ok()) return Failure(bytes.error);
    return OpenFliMovie(std::move(*bytes.value), maxPictureBytes);
}

int FliFrameFor(int n, float duration)
{
    const double frames = std::round(static_cast<double>(duration) * 25.0);
    if (!(frames >= 1.0) || duration == 0.0f) return 0;
    if (frames > INT_MAX) return n < 0 ? 0 : n;
    const int count = static_cast<int>(frames);
    const int f = n % count;
    return f < 0 ? f + count : f;
}

FliDecoder::FliDecoder(std::shared_ptr<const FliMovie> movie) : movie_(std::move(movie)) { Restart(); }

void FliDecoder::Restart()
{
    picture_ = BlankPicture(movie_->width, movie_->height);
    palette_.fill(0);
    next_ = kFileHeaderSize;
    decoded_ = -1;
    ended_ = false;
}

const Picture& FliDecoder::DecodeTo(int f)
{
    if (f < 0) f = 0;
    if (f < decoded_ || picture_.empty()) Restart();
    while (decoded_ < f && !ended_) {
        if (!DecodeNextFrame()) ended_ = true;
    }
    return picture_;
}

Picture FliDecoder::TakePicture()
{
    Picture taken = std::move(picture_);
    picture_ = Picture{};
    return taken;
}

bool FliDecoder::DecodeNextFrame()
{
    const std::span<const uint8_t> file(movie_->bytes);
    if (file.size() < kFrameHeaderSize || next_ > file.size() - kFrameHeaderSize) return false;
    const uint64_t size = U32(file, next_);
    if (size < kFrameHeaderSize) return false;
    const size_t end = static_cast<size_t>(std::min<uint64_t>(next_ + size, file.size()));
    const int chunks = U16(file, next_ + 6);

    size_t at = next_ + kFrameHeaderSize;
    for (int i = 0; i < chunks && end - at >= kChunkHeaderSize; ++i) {
        const uint64_t chunkSize = U32(file, at);
        if (chunkSize < kChunkHeaderSize) break;
        const size_t chunkEnd = static_cast<size_t>(std::min<uint64_t>(at + chunkSize, end));
        ApplyChunk(U16(file, at + 4), file.subspan(at + kChunkHeaderSize, chunkEnd - at - kChunkHeaderSize));
        at = chunkEnd;
    }
    next_ = end;
    ++decoded_;
    return true;
}

void FliDecoder::ApplyChunk(int type, std::span<const uint8_t> data)
{
    switch (type) {
    case kColour256: Colours(data, 1); break;
    case kColour64: Colours(data, 4); break;
    case kLineDelta: LineDelta(data); break;
    case kBlack: std::fill(picture_.pixels.begin(), picture_.pixels.end(), uint8_t{0}); break;
    case kByteRun: ByteRun(data); break;
    case kCopy: Copy(data); break;
    default: break;
    }
}

void FliDecoder::SetPixel(uint8_t* line, int x, uint8_t index)
{
    if (x < 0 || x >= picture_.width) return;
    std::memcpy(line + static_cast<size_t>(x) * 4u, &palette_[index * 3u], 3);
}

void FliDecoder::Colours(std::span<const uint8_t> data, int scale)
{
    ChunkBytes in(data);
    if (!in.Has(2)) return;
    const int packets = in.Byte() | (in.Byte() << 8);
    int index = 0;
    for (int p = 0; p < packets && in.Has(2); ++p) {
        index += in.Byte();
        int count = in.Byte();
        if (count == 0) count = 256;
        for (int c = 0; c < count && in.Has(3); ++c, ++index) {
            const uint8_t* rgb = in.Take(3);
            if (index >= 256) continue;
            for (int k = 0; k < 3; ++k) palette_[index * 3 + k] = static_cast<uint8_t>(std::min(rgb[k] * scale, 255));
        }
    }
}

void FliDecoder::LineDelta(std::span<const uint8_t> data)
{
    ChunkBytes in(data);
    if (!in.Has(4)) return;
    const int first = static_cast<int16_t>(in.Byte() | (in.Byte() << 8));
    const int lines = static_cast<int16_t>(in.Byte() | (in.Byte() << 8));
    for (int l = 0; l < lines && in.Has(1); ++l) {
        const int y = first + l;
        uint8_t* line = y >= 0 && y < picture_.height ? Line(y) : nullptr;
        const int packets = in.Byte();
        int x = 0;
        for (int p = 0; p < packets && in.Has(2); ++p) {
            x += in.Byte();
            const int size = static_cast<int8_t>(in.Byte());
            if (size > 0) {
                for (int i = 0; i < size && in.Has(1); ++i, ++x) {
                    const uint8_t v = in.Byte();
                    if (line) SetPixel(line, x, v);
                }
            } else if (size < 0) {
                if (!in.Has(1)) return;
                const uint8_t v = in.Byte();
                for (int i = 0; i < -size; ++i, ++x) {
                    if (line) SetPixel(line, x, v);
                }
            }
        }
    }
}

void FliDecoder::ByteRun(std::span<const uint8_t> data)
{
    ChunkBytes in(data);
    for (int y = 0; y < picture_.height && in.Has(1); ++y) {
        uint8_t* line = Line(y);
        const int packets = in.Byte();
        int x = 0;
        for (int p = 0; p < packets && in.Has(1); ++p) {
            const int size = static_cast<int8_t>(in.Byte());
            if (size > 0) {
                if (!in.Has(1)) return;
                const uint8_t v = in.Byte();
                for (int i = 0; i < size; ++i, ++x) SetPixel(line, x, v);
            } else if (size < 0) {
                for (int i = 0; i < -size && in.Has(1); ++i, ++x) SetPixel(line, x, in.Byte());
            }
        }
    }
}

void FliDecoder::Copy(std::span<const uint8_t> data)
{
    ChunkBytes in(data);
    for (int y = 0; y < picture_.height; ++y) {
        uint8_t* line = Line(y);
        for (int x = 0; x < picture_.width; ++x) {
            if (!in.Has(1)) return;
            SetPixel(line, x, in.Byte());
        }
    }
}

}  // namespace morvane
