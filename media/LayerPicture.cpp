#include "media/LayerPicture.h"

#include <utility>

#include "engine/PatternNames.h"
#include "engine/SafeFile.h"
#include "media/JpegGlue.h"
#include "media/TgaReader.h"

namespace morvane {

namespace {

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

bool LoadTga(Layer& layer, const PictureReport& report)
{
    const std::string stored = layer.PicturePath();
    auto tell = [&](const std::string& text) {
        if (report) report(text);
        return false;
    };
    const auto file = FindPictureFile(stored);
    if (!file) return tell("Unable to open the picture " + Quoted(stored) + ".\nThe file was not found.");
    InputFile in(*file);
    if (!in.ok()) return tell("Unable to open the picture " + Quoted(stored) + ".\n" + in.Error() + ".");
    PictureRead read = ReadTgaPicture(in);
    if (!read.ok()) return tell("Unable to read the picture " + Quoted(stored) + ".\n" + read.error + ".");
    PutPictureIntoLayer(std::move(read.picture), layer);
    return true;
}

bool LoadJpeg(Layer& layer, const PictureReport& report)
{
    const std::string stored = layer.PicturePath();
    const auto file = FindPictureFile(stored);
    if (!file) {
        if (report) report("Unable to open the picture " + Quoted(stored) + ".\nThe file was not found.");
        return false;
    }
    JpegLoadResult jpeg = LoadJpegImage(*file);
    if (!jpeg.ok()) {
        if (report) report(jpeg.error);
        return false;
    }
    // Blue, green, red becomes red, green, blue; rows stay bottom first.
    Picture picture;
    picture.width = jpeg.image.width;
    picture.height = jpeg.image.height;
    picture.pixels = std::move(jpeg.image.pixels);
    for (size_t i = 0; i + 3 < picture.pixels.size(); i += 4) std::swap(picture.pixels[i], picture.pixels[i + 2]);
    PutPictureIntoLayer(std::move(picture), layer);
    return true;
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
    if (extension == "jpg") return LoadJpeg(layer, tell);
    if (extension == "tga") return LoadTga(layer, tell);
    if (extension == "avi" || extension == "fli" || extension == "mpg" || extension == "m2v") {
        return OpenMovieSource(layer, opener, tell);
    }
    return false;
}

void LoadLayerPictures(Texture& texture, const PictureReport& report)
{
    for (LayerSlot& slot : texture.layers) LoadLayerPicture(slot.layer, MovieOpener::Application, report);
}

}  // namespace morvane
