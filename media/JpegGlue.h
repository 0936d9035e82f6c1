// JPEG pictures through libjpeg: a texture saved as a baseline JFIF file,
// and a JFIF file decoded into a picture for a layer.
//
// libjpeg's errors never end the program: they come back as the error of
// the result, and only there (the library's warnings, after which decoding
// goes on, are written to stderr).
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "engine/Records.h"
#include "engine/Result.h"
#include "media/Picture.h"

namespace morvane {

// A decoded picture: width x height pixels of 4 bytes, blue, green, red and
// 0, the BOTTOM row first (the file's top row is the last row in memory).
struct JpegImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;
};

// Bounds on what a file may make the library do: the number of scans of a
// progressive picture, and the library's own memory per byte of the
// largest picture accepted.
constexpr int kMaxJpegScans = 100;
constexpr uint64_t kJpegMemoryPerPictureByte = 2;

// Decodes a JPEG file.  Colour files are read as RGB, greyscale files as
// three equal channels; CMYK files are refused, and so are pictures outside
// the picture limits (media/Picture.h), as soon as the file's header is
// read.  The error is a whole sentence naming the file.
Result<JpegImage> LoadJpegImage(const std::filesystem::path& path);

// The same for the bytes of a file, with a picture limit of `maxBytes`;
// the error is a sentence without a file's name or its full stop.
Result<JpegImage> DecodeJpegImage(std::span<const uint8_t> bytes, uint64_t maxBytes = kMaxPictureBytes);

// Writes the texture at its render size (its first layer's width x height)
// as a JFIF file: quality 75, the library's default sampling (2 x 2 for the
// colour differences), the top row first, row r being the texture at
// v = (height - 1 - r) / height with all layers shown, as the view shows
// it.  The texture must be prepared for rendering.  The file is written
// through a temporary file; on failure nothing is left at `path`, and the
// error is a sentence naming the file.
Result<> SaveTextureJpeg(const std::filesystem::path& path, const Texture& texture);

constexpr int kJpegQuality = 75;

}  // namespace morvane
