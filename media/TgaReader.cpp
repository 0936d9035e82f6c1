#include "media/TgaReader.h"

#include <algorithm>

#include "engine/SafeFile.h"

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

namespace {

struct TgaHeader {
    int imageType = 0;
    int width = 0;
    int height = 0;
    int depth = 0;
    bool topOrigin = false;
    uint64_t dataStart = 0;  // past the identification field and a colour map

    int BytesPerPixel() const { return depth / 8; }
    // The most bytes the pixels can take: a run-length file spends at most
    // one packet header on each pixel.
    uint64_t MostDataBytes() const
    {
        const uint64_t perPixel = BytesPerPixel() + (imageType == kRunLengthTrueColour ? 1 : 0);
        return static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * perPixel;
    }
};

// Reads the 18-byte header; refused with the reason the picture is not read.
Result<TgaHeader> ReadHeader(std::span<const uint8_t> file, uint64_t maxBytes)
{
    if (file.size() < kHeaderSize) return Failure("The file is too short to be a TGA picture");
    TgaHeader h;
    const int idLength = file[0];
    const int colourMapType = file[1];
    const int colourMapLength = U16(file, 5);
    const int colourMapEntryBits = file[7];
    h.imageType = file[2];
    h.width = U16(file, 12);
    h.height = U16(file, 14);
    h.depth = file[16];
    h.topOrigin = (file[17] & kTopOrigin) != 0;

    if (h.depth != 24 && h.depth != 32) {
        return Failure("Only TGA pictures of 24 or 32 bits per pixel are read; this one has " + std::to_string(h.depth));
    }
    if (Result<> size = CheckPictureSize(h.width, h.height, maxBytes); !size.ok()) return Failure(size.error);
    h.dataStart = kHeaderSize + idLength;
    if (colourMapType == 1) h.dataStart += static_cast<uint64_t>(colourMapLength) * ((colourMapEntryBits + 7) / 8);
    return h;
}

}  // namespace

Result<Picture> ReadTgaPicture(std::span<const uint8_t> file, uint64_t maxBytes)
{
    const Result<TgaHeader> header = ReadHeader(file, maxBytes);
    if (!header.ok()) return Failure(header.error);
    const TgaHeader& h = *header.value;

    const std::span<const uint8_t> data = file.subspan(std::min<uint64_t>(h.dataStart, file.size()));
    Picture picture = BlankPicture(h.width, h.height);
    SlotWriter out(picture, h.topOrigin);
    if (h.imageType == kRunLengthTrueColour) {
        ReadRunLength(data, h.BytesPerPixel(), out);
    } else {
        ReadUncompressed(data, h.BytesPerPixel(), out);
    }
    return picture;
}

Result<Picture> ReadTgaPicture(InputFile& file, uint64_t maxBytes)
{
    Result<std::vector<uint8_t>> bytes = file.Read(kHeaderSize);
    if (!bytes.ok()) return Failure(bytes.error);
    const Result<TgaHeader> header = ReadHeader(*bytes.value, maxBytes);
    if (!header.ok()) return Failure(header.error);
    bytes = file.Read(header.value->dataStart + header.value->MostDataBytes());
    if (!bytes.ok()) return Failure(bytes.error);
    return ReadTgaPicture(*bytes.value, maxBytes);
}

}  // namespace morvane
