#include "media/LayerPicture.h"

#include <optional>
#include <string>
#include <utility>

#include "engine/PatternNames.h"
#include "engine/SafeFile.h"
#include "media/JpegGlue.h"
#include "media/PictureStore.h"
#include "media/TgaReader.h"

namespace morvane {

namespace {

Failure NotFound(const std::string& stored)
{
    return Failure("Unable to open the picture " + Quoted(stored) + ".\nThe file was not found.");
}

Result<Picture> ReadTga(const std::string& stored)
{
    const auto file = FindPictureFile(stored);
    if (!file) return NotFound(stored);
    InputFile in(*file);
    if (!in.ok()) return Failure("Unable to open the picture " + Quoted(stored) + ".\n" + in.Error() + ".");
    Result<Picture> read = ReadTgaPicture(in);
    if (!read.ok()) return Failure("Unable to read the picture " + Quoted(stored) + ".\n" + read.error + ".");
    return read;
}

Result<Picture> ReadJpeg(const std::string& stored)
{
    const auto file = FindPictureFile(stored);
    if (!file) return NotFound(stored);
    Result<JpegImage> jpeg = LoadJpegImage(*file);
    if (!jpeg.ok()) return Failure(jpeg.error);
    // Blue, green, red becomes red, green, blue; rows stay bottom first.
    Picture picture;
    picture.width = jpeg.value->width;
    picture.height = jpeg.value->height;
    picture.pixels = std::move(jpeg.value->pixels);
    for (size_t i = 0; i + 3 < picture.pixels.size(); i += 4) std::swap(picture.pixels[i], picture.pixels[i + 2]);
    return picture;
}

// What a file gave: a picture, and the number of frames of a movie.
struct Read {
    Picture picture;
    int frames = 0;
};

std::optional<Read> ReadFile(const std::string& stored, const std::string& extension, MovieKind movie,
                             const PictureReport& tell)
{
    if (movie != MovieKind::None) {
        std::optional<MovieStart> start = ReadMovieStart(stored, tell);
        if (!start) return std::nullopt;
        return Read{std::move(start->first), start->frames};
    }
    Result<Picture> picture = extension == "jpg" ? ReadJpeg(stored) : ReadTga(stored);
    if (!picture.ok()) {
        if (tell) tell(picture.error);
        return std::nullopt;
    }
    return Read{std::move(*picture.value), 0};
}

// The picture enters the layer; a movie's length becomes the layer's
// duration (an AVI movie's only when the command panel opens it).
void Show(Layer& layer, std::shared_ptr<const Picture> picture, MovieKind movie, int frames, MovieOpener opener)
{
    if (movie == MovieKind::Fli || movie == MovieKind::Mpeg ||
        (movie == MovieKind::Avi && opener == MovieOpener::CommandPanel)) {
        layer.rec.duration = static_cast<float>(frames * 0.04);
    }
    PutPictureIntoLayer(std::move(picture), layer);
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

bool LoadPicture(Layer& layer, int layerNumber, const std::string& stored, const std::string& extension,
                 MovieKind movie, MovieOpener opener, const PictureReport& tell)
{
    // The picture of the same file, unchanged, when a layer holds it already.
    const auto file = FindPictureFile(stored, movie == MovieKind::Fli);
    std::optional<FileIdentity> identity = file ? IdentityOf(*file) : std::nullopt;
    if (identity) {
        if (std::optional<PictureStore::Held> held = PictureStore::Find(*identity)) {
            Show(layer, std::move(held->picture), movie, held->frames, opener);
            return true;
        }
    }

    std::optional<Read> read = ReadFile(stored, extension, movie, tell);
    if (!read) return false;
    // A file that changed while it was read is not offered to other layers.
    if (identity && IdentityOf(*file) != identity) identity.reset();
    Result<std::shared_ptr<const Picture>> kept =
        PictureStore::Keep(std::move(read->picture), layer.picture, identity, read->frames);
    if (!kept.ok()) {
        if (tell) {
            tell("Unable to load the picture " + Quoted(stored) + " of layer " + std::to_string(layerNumber) + ".\n" +
                 kept.error + ".");
        }
        return false;
    }
    Show(layer, std::move(*kept.value), movie, read->frames, opener);
    return true;
}

}  // namespace

bool LoadLayerPicture(Layer& layer, int layerNumber, MovieOpener opener, const PictureReport& report)
{
    const std::string path = layer.PicturePath();
    if (path.empty()) return false;
    // A layer whose material shows no picture keeps a picture path from an
    // earlier choice; its picture is loaded all the same, but a missing one
    // is nothing the user needs to hear about.
    const PictureReport tell = IsPictureMaterial(layer.rec.material) ? report : PictureReport();
    const std::string extension = PathExtension(path);
    const bool still = extension == "jpg" || extension == "tga";
    const bool movie = extension == "avi" || extension == "fli" || extension == "mpg" || extension == "m2v";
    if (!still && !movie) return false;
    const MovieKind kind = movie ? MovieKindOf(path) : MovieKind::None;
    const bool shown = LoadPicture(layer, layerNumber, path, extension, kind, opener, tell);
    if (movie && opener == MovieOpener::CommandPanel) SetUpMovieAnimation(layer);
    return shown;
}

void LoadLayerPictures(Texture& texture, const PictureReport& report)
{
    for (size_t i = 0; i < texture.layers.size(); ++i) {
        LoadLayerPicture(texture.layers[i].layer, static_cast<int>(i + 1), MovieOpener::Application, report);
    }
}

}  // namespace morvane
