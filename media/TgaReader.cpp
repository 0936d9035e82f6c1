#include "media/TgaReader.h"

#include <algorithm>

namespace morvane {

namespace {

constexpr size_t kHeaderSize = 18;
constexpr int kRunLengthTrueColour = 10;
constexpr uint8_t kTopOrigin = 0x20;

int U16(std::span<const uint8_t> b, size_t at) { return b[at] | (b[at + 1] << 8); }

// Places the file's pixels, in file order, into the picture: slot i is
// column i mod width of file row i / width.
class SlotWriter {
public:
    SlotWriter(Picture& picture, bool topOrigin) : picture_(picture), topOrigin_(topOrigin) { StartRow(); }

    bool Full() const { return row_ >= picture_.height; }

    // Writes `count` copies of the file pixel b, g, r (stops at the end of
    // the picture).
    void Put(const uint8_t* bgr, int count)
    {
        while (count-- > 0 && !Full()) {
            out_[0] = bgr[2];
            out_[1] = bgr[1];
            out_[2] = bgr[0];
            out_ += 4;
            if (++column_ == picture_.width) {
                column_ = 0;
                ++row_;
                StartRow();
            }
        }
    }

private:
    void StartRow()
    {
        if (Full()) return;
        out_ = picture_.Row(topOrigin_ ? picture_.height - 1 - row_ : row_);
    }

    Picture& picture_;
    bool topOrigin_;
    int row_ = 0;
    int column_ = 0;
    uint8_t* out_ = nullptr;
};

void ReadRunLength(std::span<const uint8_t> data, int bytesPerPixel, SlotWriter& out)
{
    size_t pos = 0;
    while (!out.Full() && pos < data.size()) {
        const int header = data[pos++];
        const int count = (header & 0x7F) + 1;
        if (header & 0x80) {
            if (data.size() - pos < static_cast<size_t>(bytesPerPixel)) return;
            out.Put(data.data() + pos, count);
            pos += bytesPerPixel;
        } else {
            for (int i = 0; i < count; ++i) {
                if (data.size() - pos < static_cast<size_t>(bytesPerPixel)) return;
                out.Put(data.data() + pos, 1);
                pos += bytesPerPixel;
            }
        }
    }
}

void ReadUncompressed(std::span<const uint8_t> data, int bytesPerPixel, SlotWriter& out)
{
    for (size_t pos = 0; !out.Full() && data.size() - pos >= static_cast<size_t>(bytesPerPixel); pos += bytesPerPixel) {
        out.Put(data.data() + pos, 1);
    }
}

}  // namespace

PictureRead ReadTgaPicture(std::span<const uint8_t> file, uint64_t maxBytes)
{
    PictureRead r;
    if (file.size() < kHeaderSize) {
        r.error = "The file is too short to be a TGA picture";
        return r;
    }
    const int idLength = file[0];
    const int colourMapType = file[1];
    const int imageType = file[2];
    const int colourMapLength = U16(file, 5);
    const int colourMapEntryBits = file[7];
    const int width = U16(file, 12);
    const int height = U16(file, 14);
    const int depth = file[16];
    const bool topOrigin = (file[17] & kTopOrigin) != 0;

    if (depth != 24 && depth != 32) {
        r.error = "Only TGA pictures of 24 or 32 bits per pixel are read; this one has " + std::to_string(depth);
        return r;
    }
    if (std::string why = PictureSizeProblem(width, height, maxBytes); !why.empty()) {
        r.error = std::move(why);
        return r;
    }

    uint64_t start = kHeaderSize + idLength;
    if (colourMapType == 1) start += static_cast<uint64_t>(colourMapLength) * ((colourMapEntryBits + 7) / 8);
    const std::span<const uint8_t> data = file.subspan(std::min<uint64_t>(start, file.size()));

    r.picture = BlankPicture(width, height);
    SlotWriter out(r.picture, topOrigin);
    if (imageType == kRunLengthTrueColour) {
        ReadRunLength(data, depth / 8, out);
    } else {
        ReadUncompressed(data, depth / 8, out);
    }
    return r;
}

}  // namespace morvane
