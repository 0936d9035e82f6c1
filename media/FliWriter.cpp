#include "media/FliWriter.h"

#include <algorithm>
#include <cstring>

#include "engine/SafeFile.h"
#include "media/Export.h"
#include "media/LittleEndian.h"

namespace morvane {

namespace {

constexpr size_t kFileHeaderSize = 128;
constexpr size_t kFrameHeaderSize = 16;
constexpr size_t kChunkHeaderSize = 6;
constexpr size_t kColourChunkSize = kChunkHeaderSize + 2 + 2 + 256 * 3;  // one packet (skip, count) of all 256 colours
constexpr size_t kDeltaChunkHead = kChunkHeaderSize + 4;

// The packets of one line, counted; the count is put in front when the
// line is done.
class LinePackets {
public:
    explicit LinePackets(std::vector<uint8_t>& out) : out_(out), countAt_(out.size()) { out_.push_back(0); }

    void Byte(int v) { out_.push_back(static_cast<uint8_t>(v)); }
    void Bytes(std::span<const uint8_t> b) { out_.insert(out_.end(), b.begin(), b.end()); }
    void Packet() { ++packets_; }

    // True when the count fits its byte; else the line is taken back.
    bool Finish()
    {
        if (packets_ > 255) {
            out_.resize(countAt_);
            return false;
        }
        out_[countAt_] = static_cast<uint8_t>(packets_);
        return true;
    }

private:
    std::vector<uint8_t>& out_;
    size_t countAt_;
    int packets_ = 0;
};

// Splits the pixels it is given into runs and literals of at most 127
// pixels each.  A pixel belongs to a run when it equals its right
// neighbour, or when it is the last of the line and a run is pending (its
// left neighbour then equals it); any other pixel to a literal.  At most one
// of the two is pending at a time.  Runs are stored as (count, index of one
// of their pixels), literals as (end, count).
template <class StoreRun, class StoreLiteral>
class RunSplitter {
public:
    RunSplitter(std::span<const uint8_t> p, StoreRun storeRun, StoreLiteral storeLiteral)
        : p_(p), storeRun_(storeRun), storeLiteral_(storeLiteral)
    {
    }

    void Take(int x)
    {
        const int w = static_cast<int>(p_.size());
        const bool inRun = x < w - 1 ? p_[x + 1] == p_[x] : run_ > 0;
        if (inRun) {
            if (literal_ > 0) {
                storeLiteral_(x, literal_);
                literal_ = 0;
            }
            if (run_ == 127) {
                storeRun_(127, x);
                run_ = 1;
            } else {
                ++run_;
            }
        } else {
            if (run_ > 0) {
                storeRun_(run_, x - 1);
                run_ = 0;
            }
            if (literal_ == 127) {
                storeLiteral_(x, 127);
                literal_ = 1;
            } else {
                ++literal_;
            }
        }
    }

    // Stores what is pending before pixel x (a pixel not taken, or the end
    // of the line); false when nothing was.
    bool Flush(int x)
    {
        if (run_ > 0) {
            storeRun_(run_, x - 1);
            run_ = 0;
            return true;
        }
        if (literal_ > 0) {
            storeLiteral_(x, literal_);
            literal_ = 0;
            return true;
        }
        return false;
    }

private:
    std::span<const uint8_t> p_;
    StoreRun storeRun_;
    StoreLiteral storeLiteral_;
    int run_ = 0, literal_ = 0;
};

// A whole line: runs are (count, value), literals (-count, pixels).
void ByteRunPackets(std::span<const uint8_t> p, LinePackets& line)
{
    auto storeRun = [&](int count, int x) {
        line.Byte(count);
        line.Byte(p[x]);
        line.Packet();
    };
    auto storeLiteral = [&](int end, int count) {
        line.Byte(-count);
        line.Bytes(p.subspan(end - count, count));
        line.Packet();
    };
    RunSplitter splitter(p, storeRun, storeLiteral);
    const int w = static_cast<int>(p.size());
    for (int x = 0; x < w; ++x) splitter.Take(x);
    splitter.Flush(w);
}

// The changes from `q` to `p`: each packet is the count of unchanged pixels
// skipped before it, then a run (-count, value) or a literal (count,
// pixels).  Skips longer than 255 pixels take empty packets; a line ending
// in unchanged pixels ends with one.
void LineDeltaPackets(std::span<const uint8_t> p, std::span<const uint8_t> q, LinePackets& line)
{
    int skip = 0;
    auto store = [&](int size, std::span<const uint8_t> data) {
        line.Byte(skip);
        line.Byte(size);
        line.Bytes(data);
        line.Packet();
        skip = 0;
    };
    auto storeRun = [&](int count, int x) { store(-count, p.subspan(x, 1)); };
    auto storeLiteral = [&](int end, int count) { store(count, p.subspan(end - count, count)); };
    RunSplitter splitter(p, storeRun, storeLiteral);
    const int w = static_cast<int>(p.size());
    for (int x = 0; x < w; ++x) {
        if (p[x] != q[x]) {
            splitter.Take(x);
            continue;
        }
        splitter.Flush(x);
        if (skip == 255) {
            store(0, {});
            skip = 1;
        } else {
            ++skip;
        }
    }
    if (!splitter.Flush(w)) store(0, {});
}

}  // namespace

uint64_t SmallestFliFileSize(const MovieFrames& frames)
{
    if (frames.count <= 0) return kFileHeaderSize;
    const uint64_t w = static_cast<uint64_t>(std::max(frames.width, 0));
    const uint64_t h = static_cast<uint64_t>(std::max(frames.height, 0));
    const uint64_t first = kFrameHeaderSize + kColourChunkSize + kChunkHeaderSize + h * (1 + 2 * ((w + 126) / 127));
    const uint64_t later = kFrameHeaderSize + kDeltaChunkHead + h * 3;
    return kFileHeaderSize + first + static_cast<uint64_t>(frames.count - 1) * later;
}

void AppendByteRunLine(std::span<const uint8_t> line, std::vector<uint8_t>& out)
{
    LinePackets packets(out);
    ByteRunPackets(line, packets);
    if (packets.Finish()) return;
    LinePackets literals(out);
    for (size_t x = 0; x < line.size(); x += 127) {
        const size_t n = std::min<size_t>(127, line.size() - x);
        literals.Byte(-static_cast<int>(n));
        literals.Bytes(line.subspan(x, n));
        literals.Packet();
    }
    literals.Finish();
}

void AppendLineDeltaLine(std::span<const uint8_t> line, std::span<const uint8_t> before, std::vector<uint8_t>& out)
{
    LinePackets packets(out);
    LineDeltaPackets(line, before, packets);
    if (packets.Finish()) return;
    LinePackets literals(out);
    for (size_t x = 0; x < line.size(); x += 127) {
        const size_t n = std::min<size_t>(127, line.size() - x);
        literals.Byte(0);
        literals.Byte(static_cast<int>(n));
        literals.Bytes(line.subspan(x, n));
        literals.Packet();
    }
    literals.Finish();
}

namespace {

// Starts a chunk in `frame`; EndChunk fills in its size.
size_t BeginChunk(std::vector<uint8_t>& frame, int type)
{
    const size_t at = frame.size();
    frame.resize(at + kChunkHeaderSize, 0);
    PutLe16(frame, at + 4, type);
    return at;
}
void EndChunk(std::vector<uint8_t>& frame, size_t at) { PutLe32(frame, at, static_cast<uint32_t>(frame.size() - at)); }

std::vector<uint8_t> FrameHeader(int chunks)
{
    std::vector<uint8_t> f(kFrameHeaderSize, 0);
    PutLe16(f, 4, 0xF1FA);
    PutLe16(f, 6, chunks);
    return f;
}

// The colour indices of a frame, FLI line 0 (the top) first.
std::vector<uint8_t> TopFirstIndices(const Picture& frame, PaletteIndexer& indexer)
{
    const std::vector<uint8_t> bottomFirst = indexer.Indices(frame);
    std::vector<uint8_t> out(bottomFirst.size());
    const size_t w = static_cast<size_t>(frame.width);
    for (int y = 0; y < frame.height; ++y) {
        std::memcpy(&out[static_cast<size_t>(y) * w], &bottomFirst[static_cast<size_t>(frame.height - 1 - y) * w], w);
    }
    return out;
}

}  // namespace

Result<> WriteFliMovie(const std::filesystem::path& path, const MovieFrames& frames, const MoviePalette& palette,
                       ExportHost& host)
{
    const std::string unable = "Unable to save \"" + path.string() + "\".\n";
    if (Result<> limits = CheckMovieLimits(ExportFormat::Fli, frames, {}); !limits.ok())
        return Failure(unable + limits.error);
    const int w = frames.width, h = frames.height;

    ReplacingFile file(path);
    std::vector<uint8_t> header(kFileHeaderSize, 0);
    PutLe16(header, 4, 0xAF11);
    PutLe16(header, 6, frames.count);
    PutLe16(header, 8, w);
    PutLe16(header, 10, h);
    PutLe16(header, 12, 8);
    PutLe16(header, 14, 3);
    PutLe16(header, 16, 3);
    file.Write(header);

    PaletteIndexer indexer(palette);
    std::vector<uint8_t> before, now, frame;
    for (int i = 0; i < frames.count && file.ok(); ++i) {
        host.ShowStatus(frames.Frame(i).string());
        const Result<Picture> picture = ReadMovieFrame(frames, i, path);
        if (!picture.ok()) return Failure(picture.error);
        now = TopFirstIndices(*picture.value, indexer);

        if (i == 0) {
            frame = FrameHeader(2);
            const size_t colours = BeginChunk(frame, 4);
            AppendLe16(frame, 1);
            frame.push_back(0);  // skip no entry
            frame.push_back(0);  // 256 entries
            for (const auto& c : palette.colours) frame.insert(frame.end(), c.begin(), c.end());
            EndChunk(frame, colours);
            const size_t runs = BeginChunk(frame, 15);
            for (int y = 0; y < h; ++y) AppendByteRunLine(std::span(now).subspan(static_cast<size_t>(y) * w, w), frame);
            EndChunk(frame, runs);
        } else {
            frame = FrameHeader(1);
            const size_t delta = BeginChunk(frame, 12);
            AppendLe16(frame, 0);
            AppendLe16(frame, h);
            for (int y = 0; y < h; ++y) {
                const size_t at = static_cast<size_t>(y) * w;
                AppendLineDeltaLine(std::span(now).subspan(at, w), std::span(before).subspan(at, w), frame);
            }
            EndChunk(frame, delta);
        }
        PutLe32(frame, 0, static_cast<uint32_t>(frame.size()));
        if (file.Size() + frame.size() > kMaxFliFileSize) return Failure(unable + "The FLI movie would be larger than 2 GB.");
        file.Write(frame);
        if (i == 0) {
            std::vector<uint8_t> second(4);
            PutLe32(second, 0, static_cast<uint32_t>(kFileHeaderSize + frame.size()));
            file.WriteAt(84, second);
        }
        std::swap(before, now);
    }
    std::vector<uint8_t> size(4);
    PutLe32(size, 0, static_cast<uint32_t>(file.Size()));
    file.WriteAt(0, size);
    if (Result<> committed = file.Commit(); !committed.ok()) return Failure(unable + committed.error + ".");
    return {};
}

}  // namespace morvane
