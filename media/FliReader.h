// Reading FLI movies (Autodesk Animator) for picture layers.
//
// An FLI file is a 128-byte header (int32 file size, uint16 magic, uint16
// frame count, uint16 width, uint16 height, ...) and frames from byte 128
// on, each a 16-byte header (int32 size, uint16 magic, uint16 chunk count)
// and its chunks (int32 size, uint16 type, data).  Frames and chunks are
// found by their size fields; chunk types other than 4 and 11 (colours),
// 12 (line delta), 13 (black), 15 (byte run) and 16 (copy) are skipped.
//
// A frame is decoded over the frame before it, starting from a black
// picture at frame 0.  Every colour index is turned into the colour that
// its palette entry has at the moment it is written.  FLI line 0 is the
// top line, so it lands in the last row of the picture.  Every packet is
// bounded by the picture and by the chunk it belongs to; decoding stops at
// the end of the data and keeps the last picture.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "engine/Result.h"
#include "media/Picture.h"

namespace morvane {

class InputFile;

struct FliMovie {
    std::vector<uint8_t> bytes;  // the whole file
    int frameCount = 0;
    int width = 0;
    int height = 0;
};

// Takes the bytes of an FLI file and checks its header; refused with a
// sentence without the file's name or its full stop.
Result<std::shared_ptr<const FliMovie>> OpenFliMovie(std::vector<uint8_t> bytes,
                                                     uint64_t maxPictureBytes = kMaxPictureBytes);

// Reads an FLI file: its header is read and checked first, then the whole
// file.
Result<std::shared_ptr<const FliMovie>> ReadFliMovie(InputFile& file, uint64_t maxPictureBytes = kMaxPictureBytes);

// Frame number to show for frame n of a layer whose duration is `duration`
// seconds: n modulo the frame count round(duration x 25), never negative;
// 0 when that count is below 1.
int FliFrameFor(int n, float duration);

// Decodes the frames of one movie in order; asking for a frame before the
// last one decoded starts again from frame 0.
class FliDecoder {
public:
    explicit FliDecoder(std::shared_ptr<const FliMovie> movie);

    // The picture after frames 0 .. f (fewer when the data ends first).
    const Picture& DecodeTo(int f);
    // The picture decoded so far, taken out of the decoder (which starts
    // again from frame 0 when it is next asked for a frame).
    Picture TakePicture();

private:
    void Restart();
    bool DecodeNextFrame();
    void ApplyChunk(int type, std::span<const uint8_t> data);
    void Colours(std::span<const uint8_t> data, int scale);
    void LineDelta(std::span<const uint8_t> data);
    void ByteRun(std::span<const uint8_t> data);
    void Copy(std::span<const uint8_t> data);
    uint8_t* Line(int y) { return picture_.Row(picture_.height - 1 - y); }
    void SetPixel(uint8_t* line, int x, uint8_t index);

    std::shared_ptr<const FliMovie> movie_;
    Picture picture_;
    std::array<uint8_t, 256 * 3> palette_{};
    size_t next_ = 0;      // offset of the next frame's header
    int decoded_ = -1;     // last frame decoded, -1 before frame 0
    bool ended_ = false;   // the data ended
};

}  // namespace morvane
