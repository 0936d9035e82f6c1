#include "media/Export.h"

#include <algorithm>
#include <cctype>
#include <cmath>

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

namespace {

std::string Quoted(const std::filesystem::path& path) { return "\"" + path.string() + "\""; }

std::string UnableToSave(const std::filesystem::path& path, const std::string& reason)
{
    return "Unable to save " + Quoted(path) + ".\n" + reason;
}

ExportResult Done(ExportFormat format, const std::string& error = {})
{
    ExportResult r;
    r.format = format;
    r.outcome = error.empty() ? ExportResult::Written : ExportResult::Failed;
    r.error = error;
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

// Writes the prepared texture as a picture; an empty string, else the
// system's reason.  TGA and the bitmap dump store the bottom row first, the
// PPM the top row first: each shows the texture upright.
std::string WritePicture(const std::filesystem::path& path, const Texture& texture, PictureKind kind, int width,
                         int height, ExportHost* progress, Durability durability = Durability::Synced)
{
    ReplacingFile file(path, durability);
    if (!file.ok()) return file.Error();

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

bool SizeIsEmpty(const Texture& texture)
{
    const RenderSize size = RenderSizeOf(texture);
    return size.width <= 0 || size.height <= 0;
}

// ---------------------------------------------------------------------------
// Movies

bool IsMpeg(ExportFormat format) { return format == ExportFormat::Mpeg1 || format == ExportFormat::Mpeg2; }

int FramesPerSecond(int videoFormat) { return videoFormat == kVideoNtsc ? kNtscFramesPerSecond : kFramesPerSecond; }

// The texture at frame `frame` of a movie of `fps` frames per second: the
// first layer interpolated between its keys, and its movie (when its
// picture is one) at that frame; a movie without that frame keeps the
// picture it showed.
void SetFrame(Texture& texture, int frame, int fps)
{
    Layer& driving = texture.layers[0].layer;
    if (driving.rec.animated != 0) InterpolateLayerAt(driving, FrameTime(frame, driving.rec.duration, fps));
    ShowMovieFrame(driving, frame);
}

// Renders every frame of the movie into the folder at the texture's render
// size as it is before the first frame; an empty string, else the message.
// The first layer is restored whole afterwards.
std::string RenderFrames(Texture& texture, const std::filesystem::path& path, FrameFolder& folder, int count,
                         int fps, bool mpeg, ExportHost& host)
{
    const auto [width, height] = RenderSizeOf(texture);
    Layer saved = texture.layers[0].layer;
    std::string error;
    for (int f = 0; f < count && error.empty(); ++f) {
        SetFrame(texture, f, fps);
        const std::string name = FrameFileName(f, mpeg ? ".ppm" : ".tga");
        host.ShowStatus(name);
        host.FrameProgress(0);
        PrepareForRender(texture);
        // Nobody else sees the folder: frames need neither a sync nor a rename.
        const std::string reason = WritePicture(folder.Add(name), texture, mpeg ? PictureKind::PpmFrame : PictureKind::Tga,
                                                width, height, &host, Durability::Scratch);
        if (!reason.empty()) {
            error = UnableToSave(path, "The frame " + name + " could not be written: " + reason + ".");
            break;
        }
        host.FrameFinished(FrameTime(f, saved.rec.duration, fps) * saved.rec.duration);
    }
    CloseMovieSources();
    texture.layers[0].layer = std::move(saved);
    host.FramesFinished(texture.layers[0].layer.rec.duration);
    return error;
}

ExportResult ExportMovie(Texture& texture, const ExportRequest& request, ExportFormat format, ExportHost& host)
{
    const std::filesystem::path& path = request.path;
    const bool mpeg = IsMpeg(format);
    if (!mpeg && !MovieWriterAvailable(format)) return Done(format, WriteMovieFromFrames(format, path, {}, {}, host));

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

    // A size the encoder refuses is said before any frame is rendered.
    MessageSink sink;
    if (mpeg) {
        EncoderParameters params;
        FillEncoderParameters(params, videoFormat, width, height, count);
        if (!CheckEncoderParameters(params, sink)) return Done(format, UnableToSave(path, sink.Text()));
    } else if (SizeIsEmpty(texture)) {
        return Done(format, UnableToSave(path, "The image is empty."));
    }

    // So is a place where the movie cannot be written.
    {
        const ReplacingFile probe(path);
        if (!probe.ok()) return Done(format, UnableToSave(path, probe.Error() + "."));
    }

    std::string reason;
    std::optional<FrameFolder> folder = FrameFolder::Create(&reason);
    if (!folder) return Done(format, UnableToSave(path, "No folder for the frames could be made: " + reason + "."));

    const std::string error = RenderFrames(texture, path, *folder, count, FramesPerSecond(videoFormat), mpeg, host);
    if (!error.empty()) return Done(format, error);

    if (!mpeg) {
        const MovieFrames frames{folder->Path(), count, width, height};
        return Done(format, WriteMovieFromFrames(format, path, frames, avi, host));
    }
    EncodeRequest encode;
    encode.outputPath = path.string();
    encode.videoFormat = videoFormat;
    encode.width = width;
    encode.height = height;
    encode.frameCount = count;
    encode.frameFolder = folder->Path().string();
    if (!EncodeMovie(encode, sink)) return Done(format, UnableToSave(path, sink.Text()));
    return Done(format);
}

}  // namespace

ExportFormat ExportFormatOf(const std::filesystem::path& path)
{
    const std::string name = path.filename().string();
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos) return ExportFormat::None;
    std::string ext = name.substr(dot + 1);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    static const std::pair<const char*, ExportFormat> kExtensions[] = {
        {"zyv", ExportFormat::Texture}, {"kvo", ExportFormat::Layer}, {"tpr", ExportFormat::Tpr},
        {"tga", ExportFormat::Tga},     {"bmp", ExportFormat::Bmp},   {"jpg", ExportFormat::Jpeg},
        {"mpg", ExportFormat::Mpeg1},   {"m2v", ExportFormat::Mpeg2}, {"avi", ExportFormat::Avi},
        {"fli", ExportFormat::Fli},
    };
    for (const auto& [text, format] : kExtensions)
        if (ext == text) return format;
    return ExportFormat::None;
}

std::string WriteViewPicture(const std::filesystem::path& path, const Texture& texture, int width, int height)
{
    const std::string reason = WritePicture(path, texture, PictureKind::PpmFrame, width, height, nullptr);
    return reason.empty() ? reason : UnableToSave(path, reason + ".");
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
    if (format == ExportFormat::None) return ExportResult{};
    if (texture.layers.empty()) return Done(format, UnableToSave(request.path, "The texture has no layers."));
    const std::filesystem::path& path = request.path;
    const int current = request.currentLayer >= 1 && request.currentLayer <= texture.LayerCount() ? request.currentLayer : 1;
    const Layer& layer = texture.layers[static_cast<size_t>(current - 1)].layer;

    auto saved = [&](const std::string& reason) {
        return Done(format, reason.empty() ? std::string() : UnableToSave(path, reason + "."));
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
        if (SizeIsEmpty(texture)) return saved("The image is empty");
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
