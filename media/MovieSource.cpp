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
#include "media/PictureStore.h"

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

// A reader of the AVI movie `file`; refused with the reason it cannot be
// read.
Result<std::unique_ptr<AviReader>> OpenAviReader(const std::filesystem::path& file)
{
    Result<std::unique_ptr<ByteSource>> source = OpenFileSource(file);
    if (!source.ok()) return Failure(source.error);
    return AviReader::Open(std::move(*source.value));
}

// The movie held open for `file`, opened now if it is not; refused with
// the reason it cannot be read.
Result<OpenAvi*> FindAvi(const std::filesystem::path& file)
{
    auto& avi = Movies().avi;
    auto it = avi.find(file.string());
    if (it != avi.end()) return &it->second;
    Result<std::unique_ptr<AviReader>> opened = OpenAviReader(file);
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

// A frame of a movie, shown by the layer when the pictures' budget has room
// for it.
bool ShowFrame(Layer& layer, Picture frame)
{
    Result<std::shared_ptr<const Picture>> kept = PictureStore::Keep(std::move(frame), layer.picture);
    if (!kept.ok()) return false;
    layer.picture = std::move(*kept.value);
    return true;
}

// --- Opening ---------------------------------------------------------------

std::optional<MovieStart> ReadAviStart(const std::string& stored, const PictureReport& report)
{
    const auto file = FindPictureFile(stored);
    auto refused = [&](const std::string& reason) -> std::optional<MovieStart> {
        if (report) report("Unable to Open AVI File " + Quoted(stored) + ".\n" + reason + ".");
        return std::nullopt;
    };
    if (!file) return refused("The file was not found");
    Movies().avi.erase(file->string());
    Result<std::unique_ptr<AviReader>> opened = OpenAviReader(*file);
    if (!opened.ok()) return refused(opened.error);
    AviReader& reader = **opened.value;
    if (!reader.FormatProblem().empty()) {
        if (report) report("Unable to read the movie " + Quoted(stored) + ".\n" + reader.FormatProblem() + ".");
        return std::nullopt;
    }
    MovieStart start;
    reader.ReadFrame(0, start.first);
    start.frames = reader.FrameCount();
    return start;
}

std::optional<MovieStart> ReadFliStart(const std::string& stored, const PictureReport& report)
{
    const auto file = FindPictureFile(stored, true);
    if (!file) {
        if (report) report("Unable to open the movie " + Quoted(stored) + ".\nThe file was not found.");
        return std::nullopt;
    }
    Movies().fli.erase(file->string());
    InputFile in(*file);
    const Result<std::shared_ptr<const FliMovie>> movie = ReadFliMovie(in);
    if (!movie.ok()) {
        if (report) report("Unable to read the movie " + Quoted(stored) + ".\n" + movie.error + ".");
        return std::nullopt;
    }
    FliDecoder decoder(*movie.value);
    decoder.DecodeTo(0);
    return MovieStart{decoder.TakePicture(), (*movie.value)->frameCount};
}

std::optional<MovieStart> ReadMpegStart(const std::string& stored, const PictureReport& report)
{
    const auto file = FindPictureFile(stored);
    CloseMpeg();
    DecodedFrame first;
    if (mpeg_decode_first_frame(file ? file->string() : stored, first, DecoderAlerts(report)) != 0) return std::nullopt;
    if (first.empty()) {
        if (report) report("Unable to read the movie " + Quoted(stored) + ".\nThe file holds no MPEG video picture.");
        return std::nullopt;
    }
    return MovieStart{Flipped(first), decodedFrameCount};
}

}  // namespace

MovieKind MovieKindOf(const std::string& stored)
{
    if (stored.size() < 3) return MovieKind::None;
    const std::string last = stored.substr(stored.size() - 3);
    if (last == "avi") return MovieKind::Avi;
    if (last == "fli") return MovieKind::Fli;
    if (last == "mpg" || last == "m2v") return MovieKind::Mpeg;
    return MovieKind::None;
}

MovieKind LayerMovieKind(const Layer& layer) { return MovieKindOf(layer.PicturePath()); }

std::optional<MovieStart> ReadMovieStart(const std::string& stored, const PictureReport& report)
{
    const MovieKind kind = MovieKindOf(stored);
    if (const auto file = FindPictureFile(stored, kind == MovieKind::Fli)) Movies().failed.erase(file->string());
    switch (kind) {
    case MovieKind::Avi: return ReadAviStart(stored, report);
    case MovieKind::Mpeg: return ReadMpegStart(stored, report);
    case MovieKind::Fli: return ReadFliStart(stored, report);
    case MovieKind::None: break;
    }
    return std::nullopt;
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
        return ShowFrame(layer, std::move(picture));
    }
    case MovieKind::Fli: {
        OpenFli* fli = FindFli(*file).value.value_or(nullptr);
        if (!fli) return failed();
        return ShowFrame(layer, fli->decoder->DecodeTo(FliFrameFor(n, layer.rec.duration)));
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
        return ShowFrame(layer, Flipped(m.frame));
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
