#include "media/MovieSource.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <utility>

#include "codec/Decoder.h"
#include "codec/DecoderMessages.h"
#include "engine/SafeFile.h"
#include "media/AviReader.h"
#include "media/FliReader.h"

namespace morvane {

namespace {

// The movies held open between frames, by file.
struct OpenAvi {
    std::unique_ptr<AviReader> reader;
};
struct OpenFli {
    std::shared_ptr<const FliMovie> movie;
    std::unique_ptr<FliDecoder> decoder;
};
struct OpenMpeg {
    std::string path;  // the file open in the decoder's frame-by-frame reader
    int shown = -1;    // the frame delivered last, kept in `frame`
    DecodedFrame frame;
};
struct MovieState {
    std::map<std::string, OpenAvi> avi;
    std::map<std::string, OpenFli> fli;
    OpenMpeg mpeg;
    // Files that could not be opened for a frame: not tried again for every
    // later frame of the same run.
    std::set<std::string> failed;
};

MovieState& Movies()
{
    static MovieState state;
    return state;
}

void CloseMpeg()
{
    OpenMpeg& m = Movies().mpeg;
    if (!m.path.empty()) mpeg_close_input();
    m = OpenMpeg{};
}

// The decoded frame (top row first) as a picture (bottom row first).
Picture Flipped(const DecodedFrame& frame)
{
    Picture p = BlankPicture(frame.width, frame.height);
    const size_t row = static_cast<size_t>(frame.width) * 4u;
    for (int y = 0; y < frame.height; ++y) {
        std::copy_n(frame.pixels.data() + static_cast<size_t>(y) * row, row, p.Row(frame.height - 1 - y));
    }
    return p;
}

// The decoder's sink: its own alerts ("Input file ...not found") go to
// `report` (dropped without one), its diagnostics to stderr.
DecoderMessageSink DecoderAlerts(PictureReport report)
{
    return [report = std::move(report)](DecoderMessageKind kind, const std::string& text) {
        if (kind == DecoderMessageKind::Alert) {
            if (report) report(text);
        } else {
            DecoderMessage({}, kind, text);
        }
    };
}

// The movie held open for `file`, opened now if it is not; refused with
// the reason it cannot be read.
Result<OpenAvi*> FindAvi(const std::filesystem::path& file)
{
    auto& avi = Movies().avi;
    auto it = avi.find(file.string());
    if (it != avi.end()) return &it->second;
    Result<std::unique_ptr<ByteSource>> source = OpenFileSource(file);
    if (!source.ok()) return Failure(source.error);
    Result<std::unique_ptr<AviReader>> opened = AviReader::Open(std::move(*source.value));
    if (!opened.ok()) return Failure(opened.error);
    OpenAvi& entry = avi[file.string()];
    entry.reader = std::move(*opened.value);
    return &entry;
}

Result<OpenFli*> FindFli(const std::filesystem::path& file)
{
    auto& fli = Movies().fli;
    auto it = fli.find(file.string());
    if (it != fli.end()) return &it->second;
    InputFile in(file);
    Result<std::shared_ptr<const FliMovie>> opened = ReadFliMovie(in);
    if (!opened.ok()) return Failure(opened.error);
    OpenFli& entry = fli[file.string()];
    entry.movie = *opened.value;
    entry.decoder = std::make_unique<FliDecoder>(entry.movie);
    return &entry;
}

// --- Opening ---------------------------------------------------------------

bool OpenAviSource(Layer& layer, MovieOpener opener, const PictureReport& report)
{
    const std::string stored = layer.PicturePath();
    const auto file = FindPictureFile(stored);
    Movies().avi.erase(file ? file->string() : std::string());
    OpenAvi* avi = file ? FindAvi(*file).value.value_or(nullptr) : nullptr;
    if (!avi) {
        if (report) report("Unable to Open AVI File");
        return false;
    }
    if (!avi->reader->FormatProblem().empty()) {
        if (report) report("Unable to read the movie " + Quoted(stored) + ".\n" + avi->reader->FormatProblem() + ".");
        return false;
    }
    if (opener == MovieOpener::CommandPanel) {
        layer.rec.duration = static_cast<float>(avi->reader->FrameCount() * 0.04);
    }
    Picture picture;
    avi->reader->ReadFrame(0, picture);
    PutPictureIntoLayer(std::move(picture), layer);
    return true;
}

bool OpenFliSource(Layer& layer, const PictureReport& report)
{
    const std::string stored = layer.PicturePath();
    const auto file = FindPictureFile(stored, true);
    if (!file) {
        if (report) report("Unable to open the movie " + Quoted(stored) + ".\nThe file was not found.");
        return false;
    }
    Movies().fli.erase(file->string());
    const Result<OpenFli*> found = FindFli(*file);
    if (!found.ok()) {
        if (report) report("Unable to read the movie " + Quoted(stored) + ".\n" + found.error + ".");
        return false;
    }
    OpenFli* fli = *found.value;
    layer.rec.duration = static_cast<float>(fli->movie->frameCount * 0.04);
    PutPictureIntoLayer(fli->decoder->DecodeTo(0), layer);
    return true;
}

bool OpenMpegSource(Layer& layer, const PictureReport& report)
{
    const std::string stored = layer.PicturePath();
    const auto file = FindPictureFile(stored);
    CloseMpeg();
    DecodedFrame first;
    if (mpeg_decode_first_frame(file ? file->string() : stored, first, DecoderAlerts(report)) != 0) return false;
    if (first.empty()) {
        if (report) report("Unable to read the movie " + Quoted(stored) + ".\nThe file holds no MPEG video picture.");
        return false;
    }
    layer.rec.duration = static_cast<float>(decodedFrameCount * 0.04);
    PutPictureIntoLayer(Flipped(first), layer);
    return true;
}

// The layer becomes an animation of two keys holding the layer as it is.
void SetUpMovieAnimation(Layer& layer)
{
    layer.rec.animated = 1;
    layer.rec.keyCount = 2;
    layer.keys.assign(2, MakeKey(layer));
    layer.keys[0].rec.time = 0.0f;
    layer.keys[1].rec.time = 1.0f;
}

}  // namespace

MovieKind LayerMovieKind(const Layer& layer)
{
    const std::string path = layer.PicturePath();
    if (path.size() < 3) return MovieKind::None;
    const std::string last = path.substr(path.size() - 3);
    if (last == "avi") return MovieKind::Avi;
    if (last == "fli") return MovieKind::Fli;
    if (last == "mpg" || last == "m2v") return MovieKind::Mpeg;
    return MovieKind::None;
}

bool OpenMovieSource(Layer& layer, MovieOpener opener, const PictureReport& report)
{
    if (const auto file = FindPictureFile(layer.PicturePath(), LayerMovieKind(layer) == MovieKind::Fli)) {
        Movies().failed.erase(file->string());
    }
    bool shown = false;
    switch (LayerMovieKind(layer)) {
    case MovieKind::Avi: shown = OpenAviSource(layer, opener, report); break;
    case MovieKind::Mpeg: shown = OpenMpegSource(layer, report); break;
    case MovieKind::Fli: shown = OpenFliSource(layer, report); break;
    case MovieKind::None: return false;
    }
    if (opener == MovieOpener::CommandPanel) SetUpMovieAnimation(layer);
    return shown;
}

bool ShowMovieFrame(Layer& layer, int n)
{
    const MovieKind kind = LayerMovieKind(layer);
    if (kind == MovieKind::None) return false;
    const auto file = FindPictureFile(layer.PicturePath(), kind == MovieKind::Fli);
    if (!file || Movies().failed.count(file->string())) return false;
    auto failed = [&] {
        Movies().failed.insert(file->string());
        return false;
    };

    switch (kind) {
    case MovieKind::Avi: {
        OpenAvi* avi = FindAvi(*file).value.value_or(nullptr);
        if (!avi) return failed();
        Picture picture;
        if (!avi->reader->ReadFrame(n, picture)) return false;
        ShowPictureInLayer(std::move(picture), layer);
        return true;
    }
    case MovieKind::Fli: {
        OpenFli* fli = FindFli(*file).value.value_or(nullptr);
        if (!fli) return failed();
        ShowPictureInLayer(fli->decoder->DecodeTo(FliFrameFor(n, layer.rec.duration)), layer);
        return true;
    }
    case MovieKind::Mpeg: {
        OpenMpeg& m = Movies().mpeg;
        if (m.path != file->string()) {
            CloseMpeg();
            if (mpeg_open_input(file->string(), DecoderAlerts(nullptr)) != 0) return failed();
            m.path = file->string();
        }
        if (n != m.shown || m.frame.empty()) {
            mpeg_decode_frame(m.path, n);
            m.frame = std::move(DecodedFrameBuffer);
            DecodedFrameBuffer = DecodedFrame{};
            m.shown = n;
        }
        if (m.frame.empty()) return false;
        ShowPictureInLayer(Flipped(m.frame), layer);
        return true;
    }
    case MovieKind::None: break;
    }
    return false;
}

void CloseMovieSources()
{
    CloseMpeg();
    Movies().avi.clear();
    Movies().fli.clear();
    Movies().failed.clear();
}

}  // namespace morvane
