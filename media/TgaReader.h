// Reading TGA pictures for picture layers.
//
// True-colour TGA files of 24 or 32 bits per pixel, uncompressed or
// run-length encoded (image type 10; every other type is read as
// uncompressed).  The identification field and a colour map are skipped by
// their declared sizes; the origin bit is honoured, so a top-left file
// lands upright like a bottom-left one; the alpha byte of a 32-bit file is
// dropped.  A file that ends early leaves the rest of the picture black;
// run-length packets never reach past the picture.
#pragma once

#include <cstdint>
#include <span>

#include "media/Picture.h"

namespace morvane {

class InputFile;

// Decodes the bytes of a TGA file.  Pictures of more than `maxBytes` bytes
// of pixels (or 32767 pixels on a side) are refused; the error says why (a
// sentence without the file's name or its full stop).
Result<Picture> ReadTgaPicture(std::span<const uint8_t> file, uint64_t maxBytes = kMaxPictureBytes);

// The same from a file open for reading: its header is read and checked
// first, then no more of the file than the pixels it declares can take.
Result<Picture> ReadTgaPicture(InputFile& file, uint64_t maxBytes = kMaxPictureBytes);

}  // namespace morvane
