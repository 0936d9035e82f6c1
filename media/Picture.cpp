#include "media/Picture.h"

#include <utility>

#include "engine/Paths.h"

namespace morvane {

Result<> CheckPictureSize(int64_t width, int64_t height, uint64_t maxBytes)
{
    if (width <= 0 || height <= 0) return Failure("The picture has no pixels");
    if (width > kMaxPictureSide || height > kMaxPictureSide) {
        return Failure("The picture is " + std::to_string(width) + " x " + std::to_string(height) +
                       " pixels; pictures of more than 32767 pixels on a side are not read");
    }
    if (static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * 4u > maxBytes) {
        return Failure("The picture is " + std::to_string(width) + " x " + std::to_string(height) +
                       " pixels, more than this program reads");
    }
    return {};
}

Picture BlankPicture(int width, int height)
{
    Picture p;
    p.width = width;
    p.height = height;
    p.pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height) * 4u, 0);
    return p;
}

void PutPictureIntoLayer(std::shared_ptr<const Picture> picture, Layer& layer)
{
    layer.rec.width = static_cast<int16_t>(picture->width);
    layer.rec.height = static_cast<int16_t>(picture->height);
    layer.picture = std::move(picture);
}

std::optional<std::filesystem::path> FindPictureFile(const std::string& stored, bool alongDataPath)
{
    if (stored.empty()) return std::nullopt;
    if (auto found = ResolveStoredPath(stored)) return found;
    if (!alongDataPath) return std::nullopt;
    const std::string name = MapStoredPath(stored).filename().string();
    if (name.empty()) return std::nullopt;
    return FindDataFile(name);
}

std::string PathExtension(const std::string& path)
{
    const size_t dot = path.rfind('.');
    return dot == std::string::npos ? path : path.substr(dot + 1);
}

}  // namespace morvane
