// The MPEG encoder's parameter set: filled from a fixed table per video
// format, then checked against the limits of MPEG-1 (ISO/IEC 11172-2) and of
// MPEG-2 Main profile (ISO/IEC 13818-2) and normalised.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace morvane {

class MessageSink;

// Values of the export's video format choice.
enum VideoFormat : int {
    kVideoMpeg1 = -1,
    kVideoPal = 0,
    kVideoNtsc = 1,
    kVideoSecam = 2,
};

struct MotionSearchEntry {
    int forwardFcodeH = 0, forwardFcodeV = 0;
    int forwardRangeH = 0, forwardRangeV = 0;  // whole pixels, each way
    int backwardFcodeH = 0, backwardFcodeV = 0;
    int backwardRangeH = 0, backwardRangeV = 0;
};

struct EncoderParameters {
    std::string frameNameTemplate;  // "mpeg%04d"
    std::string reconNameTemplate;  // "-": none written
    std::string intraMatrixName, nonIntraMatrixName;  // "-": built-in
    int inputType = 0;  // 0 = .Y/.U/.V files, 1 = one .yuv file, 2 = PPM
    int frameCount = 0;
    int firstFrameNumber = 0;
    int timeCodeStart = 0;
    int gopSize = 0;     // N
    int ipDistance = 0;  // M
    int isMpeg1 = 0;
    int horizontalSize = 0, verticalSize = 0;
    int aspectRatioCode = 0;
    int frameRateCode = 0;
    double frameRate = 0.0;
    double bitRate = 0.0;
    int vbvBufferSize = 0;  // units of 16384 bits
    int lowDelay = 0;
    int constrainedParameters = 0;
    int profile = 0, level = 0;
    int progressiveSequence = 0;
    int videoFormatCode = 0;
    int colourPrimaries = 0, transferCharacteristics = 0, matrixCoefficients = 0;
    int displayHorizontalSize = 0, displayVerticalSize = 0;
    int intraDcPrecision = 0;
    int topFieldFirst = 0;
    std::array<int, 3> framePredFrameDct{};  // per picture type I, P, B
    std::array<int, 3> concealmentVectors{};
    std::array<int, 3> intraVlcFormat{};
    std::array<int, 3> alternateScan{};
    int repeatFirstField = 0;
    int progressiveFrame = 0;
    // Rate control start values; 0 lets the rate control use its defaults.
    double reaction = 0, averageActivity = 0, xi = 0, xp = 0, xb = 0, d0i = 0, d0p = 0, d0b = 0;
    std::vector<MotionSearchEntry> motionSearch;  // M entries
};

// Fills the parameter set for a video format (-1 MPEG-1, 0 PAL, 1 NTSC,
// 2 SECAM) and a picture size and frame count.  Any other format leaves the
// set as given.
void FillEncoderParameters(EncoderParameters& p, int videoFormat, int width, int height, int frameCount);

// Runs the checks in order; the first that fails reports its message and
// gives false.  On success the set is normalised (constrained parameters,
// progressive flags, search ranges cut to their f_codes).
bool CheckEncoderParameters(EncoderParameters& p, MessageSink& sink);

// The size the stream of a checked parameter set is expected to take: what
// the rate control aims to spend, the bit rate over the movie's length, but
// no more than a byte per 4:2:0 sample of its pictures, which is more than
// pictures too small to take the bit rate use even at the finest quantiser.
uint64_t ExpectedStreamBytes(const EncoderParameters& p);

}  // namespace morvane
