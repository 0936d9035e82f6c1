#include "media/Export.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

#include "codec/EncoderParams.h"
#include "codec/MessageSink.h"
#include "codec/MpegEncoder.h"
#include "engine/Animation.h"
#include "engine/Render.h"
#include "engine/SafeFile.h"
#include "engine/TextureFile.h"
#include "media/ExportFiles.h"
#include "media/FrameFolder.h"
#include "media/JpegGlue.h"
#include "media/MovieSource.h"
#include "media/RowRenderer.h"
#include "media/TgaWriter.h"

namespace morvane {

// A movie source plays as long as the longest animation a movie is made of.
static_assert(kMaxMovieFrames == static_cast<int>(kLongestMovieSeconds) * kFramesPerSecond);

namespace {

Failure UnableToSave(const std::filesystem::path& path, const std::string& reason)
{
    return Failure("Unable to save " + Quoted(path) + ".\n" + reason);
}

ExportResult Done(ExportFormat format, const Result<>& written = {})
{
    ExportResult r;
    r.format = format;
    r.outcome = written.ok() ? ExportResult::Written : ExportResult::Failed;
    r.error = written.error;
    return r;
}

ExportResult Cancelled(ExportFormat format)
{
    ExportResult r;
    r.format = format;
    r.outcome = ExportResult::Cancelled;
    return r;
}

struct RenderSize {
    int width = 0;
    int height = 0;
};

RenderSize RenderSizeOf(const Texture& texture)
{
    const LayerRecord& first = texture.layers[0].layer.rec;
    return {StoredImageWidth(first), StoredImageHeight(first)};
}

// ---------------------------------------------------------------------------
// Pictures

enum class PictureKind { Tga, BitmapDump, PpmFrame };

// Writes the prepared texture as a picture; refused with the system's
// reason.  TGA and the bitmap dump store the bottom row first, the PPM the
// top row first: each shows the texture upright.
Result<> WritePicture(const std::filesystem::path& path, const Texture& texture, PictureKind kind, int width,
                      int height, ExportHost* progress, Durability durability = Durability::Synced)
{
    ReplacingFile file(path, durability);
    if (!file.ok()) return Failure(file.Error());

    std::vector<float> v;
    PixelOrder order = PixelOrder::BlueGreenRed;
    std::vector<uint8_t> padded;
    switch (kind) {
    case PictureKind::Tga:
        WriteTgaHeader(file, width, height);
        v = BottomUpRows(height);
        break;
    case PictureKind::BitmapDump:
        file.Write(BitmapDumpHead(width, height));
        v = BottomUpRows(height);
        padded.assign(static_cast<size_t>(BitmapDumpRowBytes(width)), 0);
        break;
    case PictureKind::PpmFrame: {
        const std::string header = PpmHeader(width, height);
        file.Write(header.data(), header.size());
        v = TopDownRows(height);
        order = PixelOrder::RedGreenBlue;
        break;
    }
    }

    int shown = 0;
    RenderRows(texture, width, v, order, [&](int row, std::span<const uint8_t> pixels) {
        if (progress) {
            const int permille = static_cast<int>(int64_t(row) * 1000 / height);
            if (permille > shown) {
                shown = permille;
                progress->FrameProgress(permille);
            }
        }
        switch (kind) {
        case PictureKind::Tga:
            return WriteTgaRleLine(file, pixels);
        case PictureKind::BitmapDump:
            std::copy(pixels.begin(), pixels.end(), padded.begin());
            return file.Write(padded);
        case PictureKind::PpmFrame:
            return file.Write(pixels);
        }
        return false;
    });
    return file.Commit();
}

// Refuses a picture of the texture's render size that is not saved.
Result<> CheckRenderSize(const Texture& texture)
{
    const auto [width, height] = RenderSizeOf(texture);
    if (width <= 0 || height <= 0) return Failure("The image is empty.");
    if (width > kLargestPictureSide || height > kLargestPictureSide) {
        return Failure("The image is " + std::to_string(width) + " x " + std::to_string(height) + " pixels; at most " +
                       std::to_string(kLargestPictureSide) + " x " + std::to_string(kLargestPictureSide) +
                       " are saved.");
    }
    return {};
}

// ---------------------------------------------------------------------------
// Movies

bool IsMpeg(ExportFormat format) { return format == ExportFormat::Mpeg1 || format == ExportFormat::Mpeg2; }

int FramesPerSecond(int videoFormat) { return videoFormat == kVideoNtsc ? kNtscFramesPerSecond : kFramesPerSecond; }

// The texture at frame `frame` of a movie of `fps` frames per second: the
// first layer interpolated between its keys, and its movie (when its
// picture is one) at the frame of the same time; a movie without that
// frame keeps the picture it showed.
void SetFrame(Texture& texture, int frame, int fps)
{
    Layer& driving = texture.layers[0].layer;
    if (driving.rec.animated != 0) InterpolateLayerAt(driving, FrameTime(frame, driving.rec.duration, fps));
    ShowMovieFrame(driving, MovieFrameAt(frame, fps));
}

// A size as the messages give it: gigabytes, megabytes or kilobytes, one
// decimal.
std::string SizeText(uint64_t bytes)
{
    constexpr double kKilo = 1 << 10, kMega = 1 << 20, kGiga = 1 << 30;
    char text[40];
    if (bytes >= kGiga) std::snprintf(text, sizeof text, "%.1f GB", static_cast<double>(bytes) / kGiga);
    else if (bytes >= kMega) std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / kMega);
    else std::snprintf(text, sizeof text, "%.1f KB", static_cast<double>(bytes) / kKilo);
    return text;
}

// Refused when the frames (all of them at once, in `frameBase`) or the
// movie (in `movieFolder`: the least an AVI or FLI file of its frames
// takes, the size an MPEG stream's bit rate gives its length) find no
// room.
Result<> CheckRoom(const std::filesystem::path& frameBase, uint64_t frameBytes, const std::filesystem::path& movieFolder,
                   uint64_t movieBytes)
{
    std::error_code ec;
    const uint64_t forFrames = std::filesystem::space(frameBase, ec).available;
    if (!ec && frameBytes > forFrames) {
        return Failure("The movie needs " + SizeText(frameBytes) + " for its frames; " + SizeText(forFrames) +
                       " are free in " + frameBase.string() + ".");
    }
    if (movieBytes == 0) return {};
    const uint64_t forMovie = std::filesystem::space(movieFolder, ec).available;
    if (ec) return {};
    struct stat a {}, b {};
    const bool shared = ::stat(frameBase.c_str(), &a) == 0 && ::stat(movieFolder.c_str(), &b) == 0 && a.st_dev == b.st_dev;
    if (movieBytes + (shared ? frameBytes : 0) <= forMovie) return {};
    return Failure("The movie needs " + SizeText(movieBytes) +
                   (shared ? ", and " + SizeText(frameBytes) + " for its frames" : "") + "; " + SizeText(forMovie) +
                   " are free in " + movieFolder.string() + ".");
}

// The first layer, which a movie moves through its animation and its movie
// source, put back whole (its source closed) when the movie's frames are
// done or given up, also when memory runs out on the way.
class FirstLayerRestore {
public:
    explicit FirstLayerRestore(Texture& texture) : texture_(texture), saved_(texture.layers[0].layer) {}
    ~FirstLayerRestore()
    {
        CloseMovieSources();
        texture_.layers[0].layer = std::move(saved_);
    }
    FirstLayerRestore(const FirstLayerRestore&) = delete;
    FirstLayerRestore& operator=(const FirstLayerRestore&) = delete;

    const Layer& Saved() const { return saved_; }

private:
    Texture& texture_;
    Layer saved_;
};

// Renders every frame of the movie into the folder at the texture's render
// size as it is before the first frame; refused with the message.  The
// first layer is restored whole afterwards.
Result<> RenderFrames(Texture& texture, const std::filesystem::path& path, FrameFolder& folder, int count, int fps,
                      bool mpeg, ExportHost& host)
{
    const auto [width, height] = RenderSizeOf(texture);
    Result<> rendered;
    {
        const FirstLayerRestore restore(texture);
        const float duration = restore.Saved().rec.duration;
        for (int f = 0; f < count && rendered.ok(); ++f) {
            SetFrame(texture, f, fps);
            const std::string name = FrameFileName(f, mpeg ? ".ppm" : ".tga");
            host.ShowStatus(name);
            host.FrameProgress(0);
            PrepareForRender(texture);
            // Nobody else sees the folder: frames need neither a sync nor a rename.
            const Result<> written = WritePicture(folder.Add(name), texture, mpeg ? PictureKind::PpmFrame : PictureKind::Tga,
                                                  width, height, &host, Durability::Scratch);
            if (!written.ok()) {
                rendered = UnableToSave(path, "Frame " + std::to_string(f + 1) + " of the movie could not be written in " +
                                                  folder.Path().parent_path().string() + ": " + written.error + ".");
                break;
            }
            host.FrameFinished(FrameTime(f, duration, fps) * duration);
        }
    }
    host.FramesFinished(texture.layers[0].layer.rec.duration);
    return rendered;
}

ExportResult ExportMovie(Texture& texture, const ExportRequest& request, ExportFormat format, ExportHost& host)
{
    const std::filesystem::path& path = request.path;
    const bool mpeg = IsMpeg(format);
    // An MPEG stream flows into a pipe as it is coded; the AVI and FLI
    // writers go back in their file, which needs a file.
    if (!mpeg) {
        if (const Result<> destination = CheckMovieDestination(format, path); !destination.ok())
            return Done(format, UnableToSave(path, destination.error));
    }

    int videoFormat = kVideoMpeg1;
    AviSettings avi;
    if (format == ExportFormat::Mpeg2) {
        const std::optional<int> chosen = host.AskVideoFormat(kVideoNtsc);
        if (!chosen) return Cancelled(format);
        videoFormat = std::clamp(*chosen, int(kVideoPal), int(kVideoSecam));
    } else if (format == ExportFormat::Avi) {
        const std::optional<AviSettings> chosen = host.ChooseCompressor();
        if (!chosen) return Cancelled(format);
        avi = *chosen;
    }

    const auto [width, height] = RenderSizeOf(texture);
    const int count = MovieFrameCount(texture, videoFormat);

    // What would refuse the movie later is said before any frame is
    // rendered: its size, its length, what the encoder or the writer
    // refuses.  The encoder's messages reach the user through the result.
    MessageSink sink;
    sink.SetEcho(false);
    const MovieFrames planned{{}, count, width, height};
    EncoderParameters params;
    const float duration = texture.layers[0].layer.rec.duration;
    if (const Result<> size = CheckRenderSize(texture); !size.ok()) return Done(format, UnableToSave(path, size.error));
    if (duration > kLongestMovieSeconds) {
        char text[96];
        std::snprintf(text, sizeof text, "The animation lasts %g s; a movie lasts at most %g s.", duration,
                      kLongestMovieSeconds);
        return Done(format, UnableToSave(path, text));
    }
    if (count <= 0) return Done(format, UnableToSave(path, kShorterThanOneFrame));
    if (mpeg) {
        FillEncoderParameters(params, videoFormat, width, height, count);
        if (!CheckEncoderParameters(params, sink)) return Done(format, UnableToSave(path, sink.Text()));
    } else if (const Result<> limits = CheckMovieLimits(format, planned, avi); !limits.ok()) {
        return Done(format, UnableToSave(path, limits.error));
    }

    // So is a place where the movie cannot be written.
    {
        const ReplacingFile probe(path);
        if (!probe.ok()) return Done(format, UnableToSave(path, probe.Error() + "."));
    }

    Result<FrameFolder> folder = FrameFolder::Create();
    if (!folder.ok())
        return Done(format, UnableToSave(path, "No folder for the frames could be made: " + folder.error + "."));

    // And too little room for every frame at once and for the movie.
    const uint64_t frameFile = mpeg ? PpmHeader(width, height).size() + uint64_t(width) * height * 3
                                    : LargestTgaFileSize(width, height);
    // The movie takes its room in the folder of the file it goes into,
    // links followed; a pipe or a device takes it without any room on disk.
    struct stat st {};
    const bool intoFile = ::stat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode);
    std::error_code ec;
    std::filesystem::path movieFile = std::filesystem::weakly_canonical(std::filesystem::absolute(path), ec);
    if (ec) movieFile = std::filesystem::absolute(path);
    const std::filesystem::path movieFolder = movieFile.parent_path();
    const uint64_t movieBytes = !intoFile ? 0 : mpeg ? ExpectedStreamBytes(params) : SmallestMovieSize(format, planned, avi);
    const std::filesystem::path& frameFolder = folder.value->Path();
    if (const Result<> room = CheckRoom(frameFolder.parent_path(), frameFile * count, movieFolder, movieBytes); !room.ok())
        return Done(format, UnableToSave(path, room.error));

    const Result<> rendered = RenderFrames(texture, path, *folder.value, count, FramesPerSecond(videoFormat), mpeg, host);
    if (!rendered.ok()) return Done(format, rendered);

    if (!mpeg) {
        const MovieFrames frames{frameFolder, count, width, height};
        return Done(format, WriteMovieFromFrames(format, path, frames, avi, host));
    }
    EncodeRequest encode;
    encode.outputPath = path.string();
    encode.videoFormat = videoFormat;
    encode.width = width;
    encode.height = height;
    encode.frameCount = count;
    encode.frameFolder = frameFolder.string();
    if (!EncodeMovie(encode, sink)) return Done(format, UnableToSave(path, sink.Text()));
    return Done(format);
}

const std::pair<const char*, ExportFormat> kExtensions[] = {
    {"zyv", ExportFormat::Texture}, {"kvo", ExportFormat::Layer}, {"tpr", ExportFormat::Tpr},
    {"tga", ExportFormat::Tga},     {"bmp", ExportFormat::Bmp},   {"jpg", ExportFormat::Jpeg},
    {"mpg", ExportFormat::Mpeg1},   {"m2v", ExportFormat::Mpeg2}, {"avi", ExportFormat::Avi},
    {"fli", ExportFormat::Fli},
};

// Why a name with none of the extensions is not written.
Failure NoFormatError(const std::filesystem::path& path)
{
    std::string list;
    const size_t count = std::size(kExtensions);
    for (size_t i = 0; i < count; ++i) {
        if (i > 0) list += i + 1 == count ? " and " : ", ";
        list += std::string(".") + kExtensions[i].first;
    }
    return UnableToSave(path, "Its extension is none of those that can be saved: " + list + ".");
}

}  // namespace

ExportFormat ExportFormatOf(const std::filesystem::path& path)
{
    const std::string name = path.filename().string();
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos) return ExportFormat::None;
    std::string ext = name.substr(dot + 1);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const auto& [text, format] : kExtensions)
        if (ext == text) return format;
    return ExportFormat::None;
}

Result<> WriteViewPicture(const std::filesystem::path& path, const Texture& texture, int width, int height)
{
    const Result<> written = WritePicture(path, texture, PictureKind::PpmFrame, width, height, nullptr);
    if (!written.ok()) return UnableToSave(path, written.error + ".");
    return {};
}

int MovieFrameCount(const Texture& texture, int videoFormat)
{
    if (texture.layers.empty()) return 0;
    return FrameCount(FrameRun::Movie, texture.layers[0].layer.rec.duration, FramesPerSecond(videoFormat));
}

void SetAnimationTime(Texture& texture, float seconds)
{
    if (texture.layers.empty()) return;
    Layer& driving = texture.layers[0].layer;
    const float duration = driving.rec.duration;
    if (driving.rec.animated != 0 && duration > 0.0f && std::isfinite(duration))
        InterpolateLayerAt(driving, seconds / duration);
    // The movie frame shown at that time: the last one begun by then.
    const double frame = std::floor(static_cast<double>(seconds) * kFramesPerSecond + 1e-6);
    if (frame >= 0.0 && frame < 1e9) {
        ShowMovieFrame(driving, static_cast<int>(frame));
        CloseMovieSources();
    }
}

ExportResult ExportTexture(Texture& texture, const ExportRequest& request, ExportHost& host)
{
    const ExportFormat format = ExportFormatOf(request.path);
    if (format == ExportFormat::None) {
        ExportResult ignored;
        ignored.error = NoFormatError(request.path).error;
        return ignored;
    }
    if (texture.layers.empty()) return Done(format, UnableToSave(request.path, "The texture has no layers."));
    const std::filesystem::path& path = request.path;
    const int current = request.currentLayer >= 1 && request.currentLayer <= texture.LayerCount() ? request.currentLayer : 1;
    const Layer& layer = texture.layers[static_cast<size_t>(current - 1)].layer;

    auto saved = [&](const Result<>& written) {
        if (!written.ok()) return Done(format, UnableToSave(path, written.error + "."));
        return Done(format);
    };

    switch (format) {
    case ExportFormat::Texture:
        return Done(format, WriteTextureFile(path, texture));
    case ExportFormat::Layer:
        return Done(format, WriteLayerFile(path, layer));
    case ExportFormat::Tpr:
        return saved(WriteFileReplacing(path, EncodeTprFile(layer)));
    case ExportFormat::Tga:
    case ExportFormat::Bmp:
    case ExportFormat::Jpeg:
        if (const Result<> size = CheckRenderSize(texture); !size.ok()) return Done(format, UnableToSave(path, size.error));
        PrepareForRender(texture);
        if (format == ExportFormat::Jpeg) return Done(format, SaveTextureJpeg(path, texture));
        return saved(WritePicture(path, texture, format == ExportFormat::Tga ? PictureKind::Tga : PictureKind::BitmapDump,
                                  RenderSizeOf(texture).width, RenderSizeOf(texture).height, nullptr));
    case ExportFormat::Mpeg1:
    case ExportFormat::Mpeg2:
    case ExportFormat::Avi:
    case ExportFormat::Fli:
        return ExportMovie(texture, request, format, host);
    case ExportFormat::None:
        break;
    }
    return ExportResult{};
}

}  // namespace morvane
