#include "media/LayerPicture.h"

#include <utility>

#include "engine/PatternNames.h"
#include "engine/SafeFile.h"
#include "media/JpegGlue.h"
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

}  // namespace

bool LoadLayerPicture(Layer& layer, MovieOpener opener, const PictureReport& report)
{
    const std::string path = layer.PicturePath();
    if (path.empty()) return false;
    // A layer whose material shows no picture keeps a picture path from an
    // earlier choice; its picture is loaded all the same, but a missing one
    // is nothing the user needs to hear about.
    const PictureReport tell = IsPictureMaterial(layer.rec.material) ? report : PictureReport();
    const std::string extension = PathExtension(path);
    if (extension == "avi" || extension == "fli" || extension == "mpg" || extension == "m2v") {
        return OpenMovieSource(layer, opener, tell);
    }
    if (extension != "jpg" && extension != "tga") return false;
    Result<Picture> picture = extension == "jpg" ? ReadJpeg(path) : ReadTga(path);
    if (!picture.ok()) {
        if (tell) tell(picture.error);
        return false;
    }
    PutPictureIntoLayer(std::move(*picture.value), layer);
    return true;
}

void LoadLayerPictures(Texture& texture, const PictureReport& report)
{
    for (LayerSlot& slot : texture.layers) LoadLayerPicture(slot.layer, MovieOpener::Application, report);
}

}  // namespace morvane
