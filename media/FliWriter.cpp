#include "media/FliWriter.h"

#include <cstring>

#include "engine/SafeFile.h"
#include "media/Export.h"

namespace morvane {

namespace {

constexpr size_t kFileHeaderSize = 128;
constexpr size_t kFrameHeaderSize = 16;
constexpr size_t kChunkHeaderSize = 6;
constexpr uint64_t kMaxFliFileSize = 0x7FFFFFFF;
constexpr int kMaxFliFrames = 0xFFFF;

void Put16(std::vector<uint8_t>& b, size_t at, int v)
{
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v)
{
    Put16(b, at, static_cast<int>(v & 0xFFFF));
    Put16(b, at + 2, static_cast<int>(v >> 16));
}
void Append16(std::vector<uint8_t>& b, int v)
{
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}

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

void ByteRunPackets(std::span<const uint8_t> p, LinePackets& line)
{
    const int w = static_cast<int>(p.size());
    int run = 0, literal = 0;
    auto storeRun = [&](int count, uint8_t value) {
        line.Byte(count);
        line.Byte(value);
        line.Packet();
    };
    auto storeLiteral = [&](int end, int count) {
        line.Byte(-count);
        line.Bytes(p.subspan(end - count, count));
        line.Packet();
    };
    for (int x = 0; x < w; ++x) {
        // A pixel equal to its right neighbour, or a last pixel equal to its
        // left one, belongs to a run; any other to a literal.
        const bool inRun = x < w - 1 ? p[x] == p[x + 1] : x > 0 && p[x] == p[x - 1];
        if (inRun) {
            if (literal > 0) {
                storeLiteral(x, literal);
                literal = 0;
            }
            if (run == 127) {
                storeRun(127, p[x]);
                run = 1;
            } else {
                ++run;
            }
        } else {
            if (run > 0) {
                storeRun(run, p[x - 1]);
                run = 0;
            }
            if (literal == 127) {
                storeLiteral(x, 127);
                literal = 1;
            } else {
                ++literal;
            }
        }
    }
    if (run > 0) storeRun(run, p[w - 1]);
    if (literal > 0) storeLiteral(w, literal);
}

void LineDeltaPackets(std::span<const uint8_t> p, std::span<const uint8_t> q, LinePackets& line)
{
    const int w = static_cast<int>(p.size());
    int skip = 0, run = 0, literal = 0;
    auto store = [&](int size, std::span<const uint8_t> data) {
        line.Byte(skip);
        line.Byte(size);
        line.Bytes(data);
        line.Packet();
        skip = 0;
    };
    auto storeRun = [&](int count, int x) { store(-count, p.subspan(x, 1)); };
    auto storeLiteral = [&](int end, int count) { store(count, p.subspan(end - count, count)); };
    for (int x = 0; x < w; ++x) {
        if (p[x] == q[x]) {
            if (literal > 0) {
                storeLiteral(x, literal);
                literal = 0;
            }
            if (run > 0) {
                storeRun(run, x - 1);
                run = 0;
            }
            if (skip == 255) {
                store(0, {});
                skip = 1;
            } else {
                ++skip;
            }
            continue;
        }
        // A changed pixel equal to its right neighbour belongs to a run; a
        // changed last pixel joins a run that is pending (its left neighbour
        // is then equal).
        const bool inRun = x < w - 1 ? p[x + 1] == p[x] : run > 0;
        if (inRun) {
            if (literal > 0) {
                storeLiteral(x, literal);
                literal = 0;
            }
            if (run == 127) {
                storeRun(127, x);
                run = 1;
            } else {
                ++run;
            }
        } else {
            if (run > 0) {
                storeRun(run, x - 1);
                run = 0;
            }
            if (literal == 127) {
                storeLiteral(x, 127);
                literal = 1;
            } else {
                ++literal;
            }
        }
    }
    if (run > 0) {
        storeRun(run, w - 1);
    } else if (literal > 0) {
        storeLiteral(w, literal);
    } else {
        store(0, {});
    }
}

}  // namespace

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
    Put16(frame, at + 4, type);
    return at;
}
void EndChunk(std::vector<uint8_t>& frame, size_t at) { Put32(frame, at, static_cast<uint32_t>(frame.size() - at)); }

std::vector<uint8_t> FrameHeader(int chunks)
{
    std::vector<uint8_t> f(kFrameHeaderSize, 0);
    Put16(f, 4, 0xF1FA);
    Put16(f, 6, chunks);
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

std::string WriteFliMovie(const std::filesystem::path& path, const MovieFrames& frames, const MoviePalette& palette,
                          ExportHost& host)
{
    const std::string unable = "Unable to save \"" + path.string() + "\".\n";
    if (frames.count <= 0) return unable + "The animation is shorter than one frame (0.04 s).";
    if (frames.count > kMaxFliFrames) return unable + "An FLI movie holds at most 65535 frames.";
    if (frames.width > kMaxFliWidth) return unable + "An FLI movie is at most 32385 pixels wide.";
    const int w = frames.width, h = frames.height;

    ReplacingFile file(path);
    std::vector<uint8_t> header(kFileHeaderSize, 0);
    Put16(header, 4, 0xAF11);
    Put16(header, 6, frames.count);
    Put16(header, 8, w);
    Put16(header, 10, h);
    Put16(header, 12, 8);
    Put16(header, 14, 3);
    Put16(header, 16, 3);
    file.Write(header);

    PaletteIndexer indexer(palette);
    std::vector<uint8_t> before, now, frame;
    Picture picture;
    std::string error;
    for (int i = 0; i < frames.count && file.ok(); ++i) {
        host.ShowStatus(frames.Frame(i).string());
        if (!ReadMovieFrame(frames, i, path, picture, error)) return error;
        now = TopFirstIndices(picture, indexer);

        if (i == 0) {
            frame = FrameHeader(2);
            const size_t colours = BeginChunk(frame, 4);
            Append16(frame, 1);
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
            Append16(frame, 0);
            Append16(frame, h);
            for (int y = 0; y < h; ++y) {
                const size_t at = static_cast<size_t>(y) * w;
                AppendLineDeltaLine(std::span(now).subspan(at, w), std::span(before).subspan(at, w), frame);
            }
            EndChunk(frame, delta);
        }
        Put32(frame, 0, static_cast<uint32_t>(frame.size()));
        if (file.Size() + frame.size() > kMaxFliFileSize) return unable + "The FLI movie would be larger than 2 GB.";
        file.Write(frame);
        if (i == 0) {
            std::vector<uint8_t> second(4);
            Put32(second, 0, static_cast<uint32_t>(kFileHeaderSize + frame.size()));
            file.WriteAt(84, second);
        }
        std::swap(before, now);
    }
    std::vector<uint8_t> size(4);
    Put32(size, 0, static_cast<uint32_t>(file.Size()));
    file.WriteAt(0, size);
    if (std::string reason = file.Commit(); !reason.empty()) return unable + reason + ".";
    return {};
}

}  // namespace morvane
