// The limits every picture reader keeps, and putting pictures into layers.
//
// A picture (engine/Records.h) is width x height pixels of four bytes
// (red, green, blue, a spare byte), rows packed, the bottom row first.  The
// readers (TGA, JPEG, AVI, FLI, MPEG) all deliver this form; a picture
// enters a layer only whole, so a reader that fails leaves the layer as it
// was.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/Records.h"
#include "engine/Result.h"

namespace morvane {

// Largest side a layer record can hold (16-bit signed) and the largest
// picture accepted, in bytes.
constexpr int kMaxPictureSide = 32767;
constexpr uint64_t kMaxPictureBytes = uint64_t(1) << 28;

// The most frames a movie source plays: 1000 seconds at 25 frames a second,
// the longest animation (kLongestMovieSeconds in media/Export.h).
constexpr int kMaxMovieFrames = 25000;

// Accepts a picture of this size: sides of 1 to 32767 and at most
// `maxBytes` bytes of pixels; else the error says why (a sentence without
// its full stop).
Result<> CheckPictureSize(int64_t width, int64_t height, uint64_t maxBytes = kMaxPictureBytes);

// Tells the user why a picture or movie could not be used: a message box
// in the editor, a line on stderr in the command-line tool.  The messages
// come while the pictures load: one for each layer whose picture cannot be
// used, the MPEG decoder's own as it opens the movie.
using PictureReport = std::function<void(const std::string&)>;

// A zero-filled picture; the caller has checked the size.
Picture BlankPicture(int width, int height);

// The picture becomes the layer's picture, and its size the layer's image
// size (`width` and `height`): a picture or movie loaded into a layer.
void PutPictureIntoLayer(std::shared_ptr<const Picture> picture, Layer& layer);

// The file a stored picture path names on this machine (see
// ResolveStoredPath); with `alongDataPath`, a file of that name found by
// the data-file search when the path itself is not there.
std::optional<std::filesystem::path> FindPictureFile(const std::string& stored, bool alongDataPath = false);

// The text after the last "." of a path, or the whole path without a ".".
std::string PathExtension(const std::string& path);

}  // namespace morvane
