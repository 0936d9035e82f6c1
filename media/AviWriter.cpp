#include "media/AviWriter.h"

#include <algorithm>
#include <cstring>

#include "engine/SafeFile.h"
#include "media/Export.h"
#include "media/LittleEndian.h"

namespace morvane {

namespace {

constexpr char kStreamName[] = "AVI File Dunmere 3D";
constexpr uint32_t kHasIndex = 0x10;
constexpr uint32_t kKeyFrame = 0x10;
constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiRle8 = 1;

class Bytes {
public:
    std::vector<uint8_t> b;

    void Tag(const char* t)
    {
        for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(t[i]));
    }
    void U16(int v) { AppendLe16(b, v); }
    void U32(uint32_t v) { AppendLe32(b, v); }
    size_t size() const { return b.size(); }
};

// Offsets of the header fields known only at the end.
struct Patches {
    uint64_t riffSize, maxBytesPerSecond, totalFrames, suggestedBuffer, streamLength, streamBuffer, movieSize;
};

Bytes Headers(const MovieFrames& frames, const MoviePalette& palette, const AviSettings& settings, Patches& at)
{
    const int w = frames.width, h = frames.height;
    Bytes f;
    f.Tag("RIFF");
    at.riffSize = f.size();
    f.U32(0);
    f.Tag("AVI ");

    f.Tag("LIST");
    const size_t headerList = f.size();
    f.U32(0);
    f.Tag("hdrl");

    f.Tag("avih");
    f.U32(56);
    f.U32(40000);  // microseconds per frame
    at.maxBytesPerSecond = f.size();
    f.U32(0);
    f.U32(0);  // padding granularity
    f.U32(kHasIndex);
    at.totalFrames = f.size();
    f.U32(0);
    f.U32(0);  // initial frames
    f.U32(1);  // streams
    at.suggestedBuffer = f.size();
    f.U32(0);
    f.U32(static_cast<uint32_t>(w));
    f.U32(static_cast<uint32_t>(h));
    for (int i = 0; i < 4; ++i) f.U32(0);

    f.Tag("LIST");
    const size_t streamList = f.size();
    f.U32(0);
    f.Tag("strl");

    f.Tag("strh");
    f.U32(56);
    f.Tag("vids");
    f.Tag(settings.rle ? "mrle" : "DIB ");
    f.U32(0);  // flags
    f.U16(0);  // priority
    f.U16(0);  // language
    f.U32(0);  // initial frames
    f.U32(1);  // scale
    f.U32(25);  // rate
    f.U32(0);  // start
    at.streamLength = f.size();
    f.U32(0);
    at.streamBuffer = f.size();
    f.U32(0);
    f.U32(static_cast<uint32_t>(std::clamp(settings.quality, 0, 100) * 100));
    f.U32(0);  // sample size: frames vary
    f.U16(0);
    f.U16(0);
    f.U16(w);
    f.U16(h);

    f.Tag("strf");
    f.U32(1064);
    f.U32(40);
    f.U32(static_cast<uint32_t>(w));
    f.U32(static_cast<uint32_t>(h));
    f.U16(1);
    f.U16(8);
    f.U32(settings.rle ? kBiRle8 : kBiRgb);
    for (int i = 0; i < 5; ++i) f.U32(0);
    for (const auto& c : palette.colours) {
        f.b.insert(f.b.end(), {c[2], c[1], c[0], 0});
    }

    f.Tag("strn");
    f.U32(sizeof kStreamName);
    f.b.insert(f.b.end(), kStreamName, kStreamName + sizeof kStreamName);

    auto endList = [&](size_t sizeAt) {
        const auto size = Le32(static_cast<uint32_t>(f.size() - sizeAt - 4));
        std::copy(size.begin(), size.end(), f.b.begin() + static_cast<std::ptrdiff_t>(sizeAt));
    };
    endList(streamList);
    endList(headerList);

    f.Tag("LIST");
    at.movieSize = f.size();
    f.U32(0);
    f.Tag("movi");
    return f;
}

// Rows bottom first, each padded to a multiple of 4 bytes.
std::vector<uint8_t> FullFrame(std::span<const uint8_t> indices, int w, int h)
{
    const size_t stride = (static_cast<size_t>(w) + 3) / 4 * 4;
    std::vector<uint8_t> out(stride * static_cast<size_t>(h), 0);
    for (int y = 0; y < h; ++y) std::memcpy(&out[stride * y], &indices[static_cast<size_t>(w) * y], static_cast<size_t>(w));
    return out;
}

}  // namespace

uint64_t SmallestAviFileSize(const MovieFrames& frames, const AviSettings& settings)
{
    const uint64_t w = static_cast<uint64_t>(std::max(frames.width, 0));
    const uint64_t h = static_cast<uint64_t>(std::max(frames.height, 0));
    const uint64_t n = static_cast<uint64_t>(std::max(frames.count, 0));
    Patches at{};
    const uint64_t headers = Headers(frames, MoviePalette{}, settings, at).size();
    // A run-length row takes at least a packet of two bytes per 255 pixels
    // and its end code; a whole row is padded to 4 bytes.
    const uint64_t frame = settings.rle ? h * (2 * ((w + 254) / 255) + 2) : (w + 3) / 4 * 4 * h;
    // Each frame: its chunk header and an index entry; the index's header.
    return headers + n * (8 + frame + 16) + 8;
}

std::vector<uint8_t> EncodeRle8Frame(std::span<const uint8_t> indices, int width, int height,
                                     const MoviePalette& palette, int quality)
{
    // Per channel, how far a pixel may be from a run's colour and still
    // join it: nothing at quality 100, 64 at quality 0.
    const int step = (100 - std::clamp(quality, 0, 100)) * 64 / 100;
    const int tolerance = 3 * step * step;
    auto close = [&](uint8_t a, uint8_t b) {
        if (a == b) return true;
        if (tolerance == 0) return false;
        int d = 0;
        for (int k = 0; k < 3; ++k) {
            const int c = palette.colours[a][k] - palette.colours[b][k];
            d += c * c;
        }
        return d <= tolerance;
    };

    std::vector<uint8_t> out;
    out.reserve(static_cast<size_t>(width) * height / 2 + 2 * height + 2);
    for (int y = 0; y < height; ++y) {
        const uint8_t* p = indices.data() + static_cast<size_t>(y) * width;
        int x = 0;
        while (x < width) {
            int run = 1;
            while (x + run < width && run < 255 && close(p[x + run], p[x])) ++run;
            if (run >= 2) {
                out.insert(out.end(), {static_cast<uint8_t>(run), p[x]});
                x += run;
                continue;
            }
            // Pixels up to the next run of two.
            int n = 1;
            while (x + n < width && n < 255 && !(x + n + 1 < width && close(p[x + n + 1], p[x + n]))) ++n;
            if (n < 3) {
                for (int i = 0; i < n; ++i) out.insert(out.end(), {1, p[x + i]});
            } else {
                out.insert(out.end(), {0, static_cast<uint8_t>(n)});
                out.insert(out.end(), p + x, p + x + n);
                if (n & 1) out.push_back(0);
            }
            x += n;
        }
        out.insert(out.end(), {0, static_cast<uint8_t>(y + 1 < height ? 0 : 1)});
    }
    return out;
}

Result<> WriteAviMovie(const std::filesystem::path& path, const MovieFrames& frames, const MoviePalette& palette,
                       const AviSettings& settings, ExportHost& host)
{
    const std::string unable = "Unable to save \"" + path.string() + "\".\n";
    if (Result<> limits = CheckMovieLimits(ExportFormat::Avi, frames, settings); !limits.ok())
        return Failure(unable + limits.error);

    ReplacingFile file(path);
    if (!file.ok()) return Failure("Unable to open the file ");
    Patches at{};
    const std::vector<uint8_t> headers = Headers(frames, palette, settings, at).b;
    file.Write(headers);
    const uint64_t movieTag = headers.size() - 4;

    PaletteIndexer indexer(palette);
    Bytes index;
    uint32_t largest = 0;
    const char* chunkId = settings.rle ? "00dc" : "00db";
    for (int i = 0; i < frames.count && file.ok(); ++i) {
        host.ShowStatus(frames.Frame(i).string());
        const Result<Picture> picture = ReadMovieFrame(frames, i, path);
        if (!picture.ok()) return Failure(picture.error);
        if (i == 0) {
            host.ShowStatus("Get Size");
            host.ShowStatus("initialisation OK");
        }
        const std::vector<uint8_t> indices = indexer.Indices(*picture.value);
        const std::vector<uint8_t> sample = settings.rle
                                                ? EncodeRle8Frame(indices, frames.width, frames.height, palette, settings.quality)
                                                : FullFrame(indices, frames.width, frames.height);
        const uint64_t padded = sample.size() + (sample.size() & 1);
        const uint64_t indexSize = 8 + 16 * static_cast<uint64_t>(i + 1);
        if (file.Size() + 8 + padded + indexSize > kMaxAviFileSize) {
            return Failure(unable + "The AVI movie would be larger than 1 GB.");
        }
        index.Tag(chunkId);
        index.U32(kKeyFrame);
        index.U32(static_cast<uint32_t>(file.Size() - movieTag));
        index.U32(static_cast<uint32_t>(sample.size()));
        largest = std::max(largest, static_cast<uint32_t>(sample.size()));

        Bytes head;
        head.Tag(chunkId);
        head.U32(static_cast<uint32_t>(sample.size()));
        file.Write(head.b);
        file.Write(sample);
        if (sample.size() & 1) file.Write(std::vector<uint8_t>{0});
    }

    const uint64_t movieEnd = file.Size();
    Bytes tail;
    tail.Tag("idx1");
    tail.U32(static_cast<uint32_t>(index.size()));
    file.Write(tail.b);
    file.Write(index.b);

    auto patch = [&](uint64_t offset, uint64_t value) { file.WriteAt(offset, Le32(static_cast<uint32_t>(value))); };
    patch(at.riffSize, file.Size() - 8);
    patch(at.maxBytesPerSecond, uint64_t(largest) * 25);
    patch(at.totalFrames, static_cast<uint64_t>(frames.count));
    patch(at.suggestedBuffer, largest);
    patch(at.streamLength, static_cast<uint64_t>(frames.count));
    patch(at.streamBuffer, largest);
    patch(at.movieSize, movieEnd - at.movieSize - 4);
    if (Result<> committed = file.Commit(); !committed.ok()) return Failure(unable + committed.error + ".");
    host.ShowStatus("Fermeture OK");
    return {};
}

}  // namespace morvane
