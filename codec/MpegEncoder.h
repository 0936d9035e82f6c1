// The MPEG-1 / MPEG-2 video encoder's front end.  It turns numbered frame
// files ("mpeg0000.ppm", "mpeg0001.ppm", ... in one folder) into one video
// elementary stream: MPEG-1 (".mpg") or MPEG-2 Main profile, Main level in
// the PAL, NTSC or SECAM setting (".m2v").
//
// Messages (bad parameters, unreadable frames, values the syntax cannot
// carry, files that cannot be written) go to the caller's MessageSink,
// which writes them to stderr and keeps them.  A run that stops, or a
// process that dies, leaves no output file behind: the stream is written
// through the shared writer (engine/SafeFile.h) and put in place only when
// complete.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "codec/EncoderParams.h"
#include "codec/MessageSink.h"

namespace morvane {

// One reconstructed picture, as a decoder of the stream reconstructs it:
// Y, Cb, Cr 4:2:0 planes of the coded size (width and height rounded up to
// macroblocks; rows of `codedWidth` and `codedWidth / 2` bytes).  Pictures
// are delivered in CODING order, each with its display number (0 for the
// first frame file), right after it has been coded.
struct ReconstructedPicture {
    int displayNumber = 0;
    int codingNumber = 0;
    int pictureCodingType = 0;  // 1 I, 2 P, 3 B
    int codedWidth = 0, codedHeight = 0;
    const uint8_t* y = nullptr;
    const uint8_t* cb = nullptr;
    const uint8_t* cr = nullptr;
};

struct EncodeRequest {
    std::string outputPath;
    int videoFormat = kVideoMpeg1;  // -1 MPEG-1, 0 PAL, 1 NTSC, 2 SECAM
    int width = 0, height = 0;      // picture size in pixels
    int frameCount = 0;             // frames to code: mpeg0000 .. mpeg<N-1>
    std::string frameFolder = ".";  // folder of the frame files
    // Frame file kind: 2 = PPM ("mpeg0000.ppm", the export's frames);
    // 1 = one planar file per frame ("mpeg0000.yuv": Y, then Cb, then Cr,
    // 4:2:0 at the picture size); 0 = three planar files (".Y", ".U", ".V").
    int inputType = 2;
    // Optional: receives every reconstructed picture (see above).
    std::function<void(const ReconstructedPicture&)> onReconstructed;
};

// Encodes the movie.  True when the stream was written completely; false
// after a message in `sink` (nothing is left at the output path then).
bool EncodeMovie(const EncodeRequest& request, MessageSink& sink);

// The same with a parameter set prepared by the caller (filled and not yet
// checked); the request's format, size and frame count are not used.
bool EncodeWithParameters(EncoderParameters params, const EncodeRequest& request, MessageSink& sink);

}  // namespace morvane
