// Reading AVI movies for picture layers: our own RIFF reader.
//
// The first video stream ('vids') of the file is read.  Its frame format
// (the stream's BITMAPINFOHEADER) gives the size and the pixel format: a
// negative height means rows stored top-down; bit-field masks after the
// header are skipped.  Uncompressed frames of 8 bits (through the colour
// table), 24 and 32 bits, and 8-bit run-length frames (BI_RLE8) are read.
// Frames come from the index ('idx1') when it points into the file, else
// from a scan of the 'movi' lists (also those of 'AVIX' extensions).
// A run-length frame is decoded over the frames before it, from the
// nearest key frame; an empty chunk repeats the frame before.
//
// Every count is checked against the file before it is used; a frame chunk
// shorter than its picture leaves the rest black.  Only the first
// kMaxMovieFrames frames are kept (and looked for): a movie plays no longer
// than the longest animation.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "engine/Result.h"
#include "media/Picture.h"

namespace morvane {

// Random access to the bytes of a file or of a buffer.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual uint64_t Size() const = 0;
    // Reads `size` bytes at `offset`; false when they are not all there.
    virtual bool Read(uint64_t offset, void* out, size_t size) = 0;
};

// A file opened for reading; refused with the system's reason.
Result<std::unique_ptr<ByteSource>> OpenFileSource(const std::filesystem::path& path);
// A buffer the caller keeps while the source is used.
std::unique_ptr<ByteSource> MemorySource(std::span<const uint8_t> bytes);

class AviReader {
public:
    // Reads the headers and the frame list.  Refused (the error a sentence
    // without the file's name or its full stop): a file that is not a RIFF
    // 'AVI ' file, one without a video stream or frames, a frame size
    // outside the picture limits.  A pixel format that cannot be decoded is
    // accepted here and reported by FormatProblem().
    static Result<std::unique_ptr<AviReader>> Open(std::unique_ptr<ByteSource> source,
                                                   uint64_t maxPictureBytes = kMaxPictureBytes);

    int Width() const { return width_; }
    int Height() const { return height_; }
    int FrameCount() const { return static_cast<int>(frames_.size()); }

    // Why the frames cannot be decoded; empty when they can.
    const std::string& FormatProblem() const { return formatProblem_; }

    // Decodes frame n modulo the frame count (never negative) into
    // `picture` (bottom row first).  False, with `picture` untouched, when
    // the format cannot be decoded.
    bool ReadFrame(int n, Picture& picture);

    ~AviReader();

private:
    struct FrameChunk {
        uint64_t offset = 0;  // of the data
        uint32_t size = 0;
        bool key = false;
    };
    struct Chunk;

    AviReader() = default;
    Result<> ReadHeaders(uint64_t maxPictureBytes);
    bool ParseHeaderList(uint64_t begin, uint64_t end);
    bool ParseStreamList(uint64_t begin, uint64_t end, int stream);
    void TakeFormat(const std::vector<uint8_t>& strf);
    bool FramesFromIndex(uint64_t index, uint32_t size);
    void ScanMovieList(uint64_t begin, uint64_t end, int depth);
    bool IsFrameId(const uint8_t id[4]) const;
    bool ReadChunkHeader(uint64_t at, uint64_t end, Chunk& chunk);
    std::vector<uint8_t> ChunkData(const FrameChunk& frame, size_t wanted);
    void DecodeUncompressed(const std::vector<uint8_t>& data, Picture& picture) const;
    void DecodeRunLength(const std::vector<uint8_t>& data);
    void IndicesToPicture(Picture& picture) const;

    std::unique_ptr<ByteSource> source_;
    int videoStream_ = -1;
    int width_ = 0;
    int height_ = 0;
    bool topDown_ = false;
    int bitCount_ = 0;
    uint32_t compression_ = 0;
    std::vector<uint8_t> colours_;  // 256 entries of blue, green, red, reserved
    std::string formatProblem_;
    std::vector<FrameChunk> frames_;
    std::vector<uint64_t> movieLists_;  // begin and end of every 'movi' list's chunks
    uint64_t firstMovieTag_ = 0;        // offset of the first 'movi' tag (index offsets count from it)
    uint64_t indexAt_ = 0;
    uint32_t indexSize_ = 0;
    bool haveIndex_ = false;

    // Run-length state: the colour indices after frame `decoded_`.
    std::vector<uint8_t> indices_;
    int decoded_ = -1;
};

}  // namespace morvane
