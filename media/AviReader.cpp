#include "media/AviReader.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "engine/SafeFile.h"

namespace morvane {

// ---------------------------------------------------------------------------
// Byte sources

namespace {

// Small reads (chunk headers, one after the other) come from a window of
// the file read ahead, so that a file of many small chunks costs few reads.
class FileSource : public ByteSource {
public:
    explicit FileSource(std::unique_ptr<InputFile> file) : file_(std::move(file)) {}

    uint64_t Size() const override { return file_->Size(); }
    bool Read(uint64_t offset, void* out, size_t size) override
    {
        if (size > kWindow / 2) return file_->ReadAt(offset, out, size);
        if (offset < windowAt_ || offset - windowAt_ > window_.size() || size > window_.size() - (offset - windowAt_)) {
            if (offset >= Size()) return size == 0;
            window_.resize(static_cast<size_t>(std::min<uint64_t>(kWindow, Size() - offset)));
            windowAt_ = offset;
            if (!file_->ReadAt(offset, window_.data(), window_.size())) {
                window_.clear();
                return false;
            }
            if (size > window_.size()) return false;
        }
        if (size) std::memcpy(out, window_.data() + (offset - windowAt_), size);
        return true;
    }

private:
    static constexpr size_t kWindow = 1 << 16;
    std::unique_ptr<InputFile> file_;
    std::vector<uint8_t> window_;
    uint64_t windowAt_ = 0;
};

class BufferSource : public ByteSource {
public:
    explicit BufferSource(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    uint64_t Size() const override { return bytes_.size(); }
    bool Read(uint64_t offset, void* out, size_t size) override
    {
        if (offset > bytes_.size() || size > bytes_.size() - offset) return false;
        if (size) std::memcpy(out, bytes_.data() + offset, size);
        return true;
    }

private:
    std::span<const uint8_t> bytes_;
};

}  // namespace

Result<std::unique_ptr<ByteSource>> OpenFileSource(const std::filesystem::path& path)
{
    // A movie is read where its frames are, never whole: its size is not
    // limited.
    auto file = std::make_unique<InputFile>(path, UINT64_MAX);
    if (!file->ok()) return Failure(file->Error());
    return std::unique_ptr<ByteSource>(std::make_unique<FileSource>(std::move(file)));
}

std::unique_ptr<ByteSource> MemorySource(std::span<const uint8_t> bytes) { return std::make_unique<BufferSource>(bytes); }

// ---------------------------------------------------------------------------
// RIFF structure

namespace {

constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiRle8 = 1;
constexpr uint32_t kBiBitFields = 3;
constexpr uint32_t kIndexKeyFrame = 0x10;
constexpr size_t kMaxFormatSize = 1 << 16;

bool Is(const uint8_t id[4], const char* text) { return std::memcmp(id, text, 4) == 0; }

uint32_t U32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24); }
int32_t S32(const uint8_t* p) { return static_cast<int32_t>(U32(p)); }
int U16(const uint8_t* p) { return p[0] | (p[1] << 8); }

}  // namespace

struct AviReader::Chunk {
    uint8_t id[4];
    uint8_t listType[4];  // for 'RIFF' and 'LIST'
    uint64_t data = 0;    // offset of the data (after the 8-byte header)
    uint64_t end = 0;     // end of the data, within the parent
    uint64_t next = 0;    // offset of the next chunk (padded to an even offset)
};

AviReader::~AviReader() = default;

bool AviReader::ReadChunkHeader(uint64_t at, uint64_t end, Chunk& chunk)
{
    uint8_t head[12];
    if (at > end || end - at < 8 || !source_->Read(at, head, 8)) return false;
    std::memcpy(chunk.id, head, 4);
    const uint64_t size = U32(head + 4);
    chunk.data = at + 8;
    chunk.end = std::min(chunk.data + size, end);
    chunk.next = chunk.data + size + (size & 1);
    std::memset(chunk.listType, 0, 4);
    if ((Is(chunk.id, "RIFF") || Is(chunk.id, "LIST")) && chunk.end - chunk.data >= 4 &&
        source_->Read(chunk.data, chunk.listType, 4)) {
        chunk.data += 4;
    }
    return true;
}

Result<std::unique_ptr<AviReader>> AviReader::Open(std::unique_ptr<ByteSource> source, uint64_t maxPictureBytes)
{
    std::unique_ptr<AviReader> reader(new AviReader);
    reader->source_ = std::move(source);
    if (Result<> read = reader->ReadHeaders(maxPictureBytes); !read.ok()) return Failure(read.error);
    return reader;
}

Result<> AviReader::ReadHeaders(uint64_t maxPictureBytes)
{
    const uint64_t fileSize = source_->Size();
    Chunk riff;
    if (!ReadChunkHeader(0, fileSize, riff) || !Is(riff.id, "RIFF") || !Is(riff.listType, "AVI ")) {
        return Failure("The file is not an AVI movie");
    }
    for (uint64_t at = riff.data; at < riff.end;) {
        Chunk c;
        if (!ReadChunkHeader(at, riff.end, c)) break;
        if (Is(c.id, "LIST") && Is(c.listType, "hdrl")) {
            ParseHeaderList(c.data, c.end);
        } else if (Is(c.id, "LIST") && Is(c.listType, "movi")) {
            if (movieLists_.empty()) firstMovieTag_ = c.data - 4;
            movieLists_.push_back(c.data);
            movieLists_.push_back(c.end);
        } else if (Is(c.id, "idx1")) {
            haveIndex_ = true;
            indexAt_ = c.data;
            indexSize_ = static_cast<uint32_t>(c.end - c.data);
        }
        at = c.next;
    }
    // Files past 1 GiB go on in 'AVIX' extensions, each with a 'movi' list.
    for (uint64_t at = riff.next; at < fileSize;) {
        Chunk x;
        if (!ReadChunkHeader(at, fileSize, x) || !Is(x.id, "RIFF") || !Is(x.listType, "AVIX")) break;
        for (uint64_t in = x.data; in < x.end;) {
            Chunk c;
            if (!ReadChunkHeader(in, x.end, c)) break;
            if (Is(c.id, "LIST") && Is(c.listType, "movi")) {
                movieLists_.push_back(c.data);
                movieLists_.push_back(c.end);
            }
            in = c.next;
        }
        at = x.next;
    }

    if (videoStream_ < 0) return Failure("The movie has no video stream");
    if (Result<> size = CheckPictureSize(width_, height_, maxPictureBytes); !size.ok()) return size;

    size_t firstScanned = 0;
    if (haveIndex_ && !movieLists_.empty() && FramesFromIndex(indexAt_, indexSize_)) firstScanned = 2;
    for (size_t i = firstScanned; i + 1 < movieLists_.size() && frames_.size() < static_cast<size_t>(kMaxMovieFrames);
         i += 2) {
        ScanMovieList(movieLists_[i], movieLists_[i + 1], 0);
    }
    if (frames_.empty()) return Failure("The movie holds no video frames");
    frames_[0].key = true;
    return {};
}

bool AviReader::ParseHeaderList(uint64_t begin, uint64_t end)
{
    int stream = 0;
    for (uint64_t at = begin; at < end;) {
        Chunk c;
        if (!ReadChunkHeader(at, end, c)) break;
        if (Is(c.id, "LIST") && Is(c.listType, "strl")) ParseStreamList(c.data, c.end, stream++);
        at = c.next;
    }
    return true;
}

bool AviReader::ParseStreamList(uint64_t begin, uint64_t end, int stream)
{
    if (videoStream_ >= 0) return false;
    bool video = false;
    for (uint64_t at = begin; at < end;) {
        Chunk c;
        if (!ReadChunkHeader(at, end, c)) break;
        if (Is(c.id, "strh")) {
            uint8_t type[4];
            video = c.end - c.data >= 4 && source_->Read(c.data, type, 4) && Is(type, "vids");
        } else if (Is(c.id, "strf") && video) {
            std::vector<uint8_t> format(static_cast<size_t>(std::min<uint64_t>(c.end - c.data, kMaxFormatSize)));
            if (!source_->Read(c.data, format.data(), format.size())) return false;
            videoStream_ = stream;
            TakeFormat(format);
            return true;
        }
        at = c.next;
    }
    return false;
}

void AviReader::TakeFormat(const std::vector<uint8_t>& strf)
{
    colours_.assign(256 * 4, 0);
    if (strf.size() < 40) {
        formatProblem_ = "Its frame format is damaged";
        return;
    }
    const uint8_t* h = strf.data();
    const uint32_t headerSize = U32(h);
    const int64_t height = S32(h + 8);
    width_ = S32(h + 4);
    height_ = static_cast<int>(std::min<int64_t>(height < 0 ? -height : height, INT32_MAX));
    topDown_ = height < 0;
    bitCount_ = U16(h + 14);
    compression_ = U32(h + 16);
    const uint32_t coloursUsed = U32(h + 32);
    if (width_ < 0) width_ = 0;

    uint64_t table = headerSize >= 40 ? headerSize : 40;
    if (compression_ == kBiBitFields && headerSize == 40) table += 12;  // the three masks
    uint64_t count = coloursUsed;
    if (count == 0 && bitCount_ <= 8) count = uint64_t(1) << bitCount_;
    count = std::min<uint64_t>(count, 256);
    for (uint64_t i = 0; i < count && table + 4 * i + 4 <= strf.size(); ++i) {
        std::memcpy(&colours_[i * 4], &strf[table + 4 * i], 4);
    }

    const bool plain = (compression_ == kBiRgb && (bitCount_ == 8 || bitCount_ == 24 || bitCount_ == 32)) ||
                       (compression_ == kBiBitFields && bitCount_ == 32);
    const bool runLength = compression_ == kBiRle8 && bitCount_ == 8;
    if (!plain && !runLength) {
        formatProblem_ = "Only uncompressed frames of 8, 24 or 32 bits per pixel and 8-bit run-length (RLE8) frames are read";
    }
}

bool AviReader::IsFrameId(const uint8_t id[4]) const
{
    if (id[0] < '0' || id[0] > '9' || id[1] < '0' || id[1] > '9') return false;
    if ((id[0] - '0') * 10 + (id[1] - '0') != videoStream_) return false;
    return (id[2] == 'd' && (id[3] == 'b' || id[3] == 'c'));
}

bool AviReader::FramesFromIndex(uint64_t index, uint32_t size)
{
    const uint64_t fileSize = source_->Size();
    if (index > fileSize || size > fileSize - index) return false;

    // Entry offsets count from the 'movi' tag in most files, from the start
    // of the file in some: the first frame entry tells which.  The index is
    // read a block of entries at a time, up to the last frame kept.
    bool decided = false;
    uint64_t base = 0;
    std::vector<FrameChunk> frames;
    std::vector<uint8_t> block;
    const uint64_t count = size / 16;
    for (uint64_t e = 0; e < count && frames.size() < static_cast<size_t>(kMaxMovieFrames); ++e) {
        constexpr uint64_t kBlockEntries = 4096;
        if (e % kBlockEntries == 0) {
            block.resize(static_cast<size_t>(std::min(kBlockEntries, count - e) * 16));
            if (!source_->Read(index + e * 16, block.data(), block.size())) return false;
        }
        const uint8_t* entry = &block[static_cast<size_t>(e % kBlockEntries) * 16];
        if (!IsFrameId(entry)) continue;
        const uint64_t offset = U32(entry + 8);
        if (!decided) {
            uint8_t id[4];
            if (source_->Read(firstMovieTag_ + offset, id, 4) && std::memcmp(id, entry, 4) == 0) {
                base = firstMovieTag_;
            } else if (source_->Read(offset, id, 4) && std::memcmp(id, entry, 4) == 0) {
                base = 0;
            } else {
                return false;
            }
            decided = true;
        }
        FrameChunk f;
        f.offset = std::min(base + offset + 8, fileSize);
        f.size = static_cast<uint32_t>(std::min<uint64_t>(U32(entry + 12), fileSize - f.offset));
        f.key = (U32(entry + 4) & kIndexKeyFrame) != 0;
        frames.push_back(f);
    }
    if (frames.empty()) return false;
    frames_ = std::move(frames);
    return true;
}

void AviReader::ScanMovieList(uint64_t begin, uint64_t end, int depth)
{
    for (uint64_t at = begin; at < end && frames_.size() < static_cast<size_t>(kMaxMovieFrames);) {
        Chunk c;
        if (!ReadChunkHeader(at, end, c)) break;
        if (Is(c.id, "LIST") && Is(c.listType, "rec ") && depth < 2) {
            ScanMovieList(c.data, c.end, depth + 1);
        } else if (IsFrameId(c.id)) {
            frames_.push_back({c.data, static_cast<uint32_t>(c.end - c.data), false});
        }
        at = c.next;
    }
}

// ---------------------------------------------------------------------------
// Frames

std::vector<uint8_t> AviReader::ChunkData(const FrameChunk& frame, size_t wanted)
{
    std::vector<uint8_t> data(std::min<size_t>(frame.size, wanted));
    if (!source_->Read(frame.offset, data.data(), data.size())) data.clear();
    return data;
}

bool AviReader::ReadFrame(int n, Picture& picture)
{
    if (!formatProblem_.empty()) return false;
    const int count = FrameCount();
    int f = n % count;
    if (f < 0) f += count;

    if (compression_ == kBiRle8) {
        int key = f;
        while (key > 0 && !frames_[key].key) --key;
        if (decoded_ < key || decoded_ > f) {
            indices_.assign(static_cast<size_t>(width_) * height_, 0);
            decoded_ = key - 1;
        }
        while (decoded_ < f) {
            ++decoded_;
            DecodeRunLength(ChunkData(frames_[decoded_], frames_[decoded_].size));
        }
        IndicesToPicture(picture);
        return true;
    }

    // An empty chunk repeats the frame before.
    int g = f;
    while (g > 0 && frames_[g].size == 0) --g;
    const uint64_t stride = (static_cast<uint64_t>(width_) * bitCount_ + 31) / 32 * 4;
    Picture out = BlankPicture(width_, height_);
    DecodeUncompressed(ChunkData(frames_[g], static_cast<size_t>(stride * height_)), out);
    picture = std::move(out);
    return true;
}

void AviReader::DecodeUncompressed(const std::vector<uint8_t>& data, Picture& picture) const
{
    const size_t bytesPerPixel = static_cast<size_t>(bitCount_) / 8;
    const size_t stride = (static_cast<size_t>(width_) * bitCount_ + 31) / 32 * 4;
    for (int r = 0; r < height_; ++r) {
        const size_t start = static_cast<size_t>(r) * stride;
        if (start >= data.size()) return;
        const uint8_t* src = data.data() + start;
        const int available = static_cast<int>(std::min<size_t>(width_, (data.size() - start) / bytesPerPixel));
        uint8_t* out = picture.Row(topDown_ ? height_ - 1 - r : r);
        for (int x = 0; x < available; ++x, out += 4, src += bytesPerPixel) {
            const uint8_t* bgr = bytesPerPixel == 1 ? &colours_[*src * 4u] : src;
            out[0] = bgr[2];
            out[1] = bgr[1];
            out[2] = bgr[0];
        }
    }
}

void AviReader::DecodeRunLength(const std::vector<uint8_t>& data)
{
    const int w = width_, h = height_;
    int x = 0, y = 0;  // y = 0 is the bottom row
    auto put = [&](uint8_t v) {
        if (x >= 0 && x < w && y >= 0 && y < h) indices_[static_cast<size_t>(y) * w + x] = v;
        ++x;
    };
    size_t pos = 0;
    while (data.size() - pos >= 2 && y < h) {
        const int count = data[pos], value = data[pos + 1];
        pos += 2;
        if (count > 0) {
            for (int i = 0; i < count && x < w; ++i) put(static_cast<uint8_t>(value));
            continue;
        }
        if (value == 0) {  // end of line
            x = 0;
            ++y;
        } else if (value == 1) {  // end of picture
            return;
        } else if (value == 2) {  // move right and up
            if (data.size() - pos < 2) return;
            x = std::min(x + data[pos], w);
            y += data[pos + 1];
            pos += 2;
        } else {  // `value` literal indices, padded to an even length
            const size_t n = std::min<size_t>(value, data.size() - pos);
            for (size_t i = 0; i < n; ++i) put(data[pos + i]);
            pos = std::min(pos + n + (value & 1), data.size());
        }
    }
}

void AviReader::IndicesToPicture(Picture& picture) const
{
    Picture out = BlankPicture(width_, height_);
    uint8_t* p = out.pixels.data();
    for (uint8_t index : indices_) {
        const uint8_t* bgr = &colours_[index * 4u];
        p[0] = bgr[2];
        p[1] = bgr[1];
        p[2] = bgr[0];
        p += 4;
    }
    picture = std::move(out);
}

}  // namespace morvane
