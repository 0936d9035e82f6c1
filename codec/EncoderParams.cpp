#include "codec/EncoderParams.h"

#include <algorithm>

#include "codec/MessageSink.h"
#include "codec/VlcTables.h"

namespace morvane {

void FillEncoderParameters(EncoderParameters& p, int videoFormat, int width, int height, int frameCount)
{
    if (videoFormat < kVideoMpeg1 || videoFormat > kVideoSecam) return;
    const bool mpeg1 = videoFormat == kVideoMpeg1;
    const bool ntsc = videoFormat == kVideoNtsc;
    p.frameNameTemplate = "mpeg%04d";
    p.reconNameTemplate = "-";
    p.intraMatrixName = "-";
    p.nonIntraMatrixName = "-";
    p.inputType = 2;
    p.frameCount = frameCount;
    p.firstFrameNumber = 0;
    p.timeCodeStart = 0;
    p.gopSize = (mpeg1 || videoFormat == kVideoPal) ? 12 : 15;
    p.ipDistance = 3;
    p.isMpeg1 = mpeg1 ? 1 : 0;
    p.horizontalSize = width;
    p.verticalSize = height;
    p.aspectRatioCode = mpeg1 ? 8 : 2;
    p.frameRateCode = ntsc ? 5 : 3;
    p.bitRate = mpeg1 ? 1852000.0 : 5000000.0;
    p.vbvBufferSize = mpeg1 ? 20 : 112;
    p.lowDelay = 0;
    p.constrainedParameters = mpeg1 ? 1 : 0;
    p.profile = 4;
    p.level = 8;
    p.progressiveSequence = mpeg1 ? 1 : 0;
    p.videoFormatCode = mpeg1 ? 1 : (videoFormat == kVideoPal ? 1 : (ntsc ? 2 : 3));
    p.colourPrimaries = 5;
    p.transferCharacteristics = 5;
    p.matrixCoefficients = (mpeg1 || videoFormat == kVideoPal) ? 5 : 4;
    p.displayHorizontalSize = width;
    p.displayVerticalSize = height;
    p.intraDcPrecision = 0;
    p.topFieldFirst = mpeg1 ? 0 : 1;
    p.framePredFrameDct = mpeg1 ? std::array<int, 3>{1, 1, 1} : std::array<int, 3>{0, 0, 0};
    p.concealmentVectors = {0, 0, 0};
    p.intraVlcFormat = mpeg1 ? std::array<int, 3>{0, 0, 0} : std::array<int, 3>{1, 0, 0};
    p.alternateScan = {0, 0, 0};
    p.repeatFirstField = 0;
    p.progressiveFrame = mpeg1 ? 1 : 0;
    p.reaction = p.averageActivity = p.xi = p.xp = p.xb = p.d0i = p.d0p = p.d0b = 0.0;
    p.motionSearch.assign(3, MotionSearchEntry{});
    p.motionSearch[0] = {2, 2, 11, 11, 0, 0, 0, 0};
    p.motionSearch[1] = {1, 1, 3, 3, 1, 1, 7, 7};
    p.motionSearch[2] = {1, 1, 7, 7, 1, 1, 3, 3};
}

namespace {

struct LevelLimits {
    int level;
    const char* name;
    int width, height;
    double sampleRate;
    double bitRate;
    double vbvBits;
    int maxFcodeH, maxFcodeV;
};

constexpr LevelLimits kLevels[] = {
    {4, "High", 1920, 1152, 62668800.0, 80000000.0, 9781248.0, 9, 5},
    {6, "High 1440", 1440, 1152, 47001600.0, 60000000.0, 7340032.0, 9, 5},
    {8, "Main", 720, 576, 10368000.0, 15000000.0, 1835008.0, 8, 5},
    {10, "Low", 352, 288, 3041280.0, 4000000.0, 475136.0, 7, 4},
};

int Flag(int v) { return v ? 1 : 0; }

bool Fail(MessageSink& sink, const std::string& text)
{
    sink.Report(text);
    return false;
}

}  // namespace

bool CheckEncoderParameters(EncoderParameters& p, MessageSink& sink)
{
    const bool mpeg1 = p.isMpeg1 != 0;
    const int m = p.ipDistance;

    // 1. Frame rate and flags.
    if (p.frameRateCode < 1 || p.frameRateCode > 8) return Fail(sink, "frame_rate code must be between 1 and 8");
    p.frameRate = mpeg::FrameRateValue(p.frameRateCode);
    p.timeCodeStart = 0;
    p.constrainedParameters = Flag(p.constrainedParameters);
    p.progressiveSequence = Flag(p.progressiveSequence);
    p.topFieldFirst = Flag(p.topFieldFirst);
    for (int t = 0; t < 3; ++t) {
        p.framePredFrameDct[t] = Flag(p.framePredFrameDct[t]);
        p.intraVlcFormat[t] = Flag(p.intraVlcFormat[t]);
        p.alternateScan[t] = Flag(p.alternateScan[t]);
    }
    p.repeatFirstField = Flag(p.repeatFirstField);
    p.progressiveFrame = Flag(p.progressiveFrame);

    // 2. Width.
    if ((p.horizontalSize & 0xFFF) == 0) return Fail(sink, "horizontal_size must not be a multiple of 4096");
    if (p.horizontalSize < 1 || p.horizontalSize > 16383) return Fail(sink, "horizontal_size must be between 1 and 16383");
    if (mpeg1 && p.horizontalSize > 4095) return Fail(sink, "horizontal_size must be less than 4096");
    if (p.horizontalSize & 1) return Fail(sink, "horizontal_size must be a even (4:2:0)");

    // 3. Height.
    if ((p.verticalSize & 0xFFF) == 0) return Fail(sink, "vertical_size must not be a multiple of 4096");
    if (p.verticalSize < 1 || p.verticalSize > 16383) return Fail(sink, "vertical_size must be between 1 and 16383");
    if (mpeg1 && p.verticalSize > 4095) return Fail(sink, "vertical size must be less than 4096");
    // MPEG-1 slice start codes number the macroblock rows up to 175.
    if (mpeg1 && p.verticalSize > 2800) return Fail(sink, "vertical_size must not exceed 2800 in MPEG-1");
    if (p.verticalSize & 1) return Fail(sink, "vertical_size must be a even (4:2:0)");

    // 4. Aspect ratio.
    if (mpeg1) {
        if (p.aspectRatioCode < 1 || p.aspectRatioCode > 14) return Fail(sink, "pel_aspect_ratio must be between 1 and 14");
    } else if (p.aspectRatioCode < 1 || p.aspectRatioCode > 4) {
        return Fail(sink, "aspect_ratio_information must be 1, 2, 3 or 4");
    }

    // 5. Rate and buffer.
    if (!(p.bitRate > 0.0)) return Fail(sink, "bit_rate must be positive");
    if (p.vbvBufferSize < 1 || p.vbvBufferSize > 262143) return Fail(sink, "vbv_buffer_size must be in range 1..(2^18-1)");
    if (mpeg1 && p.vbvBufferSize > 1023) return Fail(sink, "vbv_buffer_size must be less than 1024");
    if (p.intraDcPrecision < 0 || p.intraDcPrecision > 3) return Fail(sink, "intra_dc_precision must be in range 0...3");

    // 6. Motion search entries.
    if (m < 1 || static_cast<int>(p.motionSearch.size()) < m) return Fail(sink, "f_code must be between 1 and 9");
    auto checkDirection = [&](int fh, int fv, int rh, int rv) {
        for (int f : {fh, fv}) {
            if (f < 1 || f > 9) return Fail(sink, "f_code must be between 1 and 9");
            if (mpeg1 && f > 7) return Fail(sink, "f_code must be le less than 8");
        }
        if (rh < 1 || rv < 1) return Fail(sink, "search window must be positive");
        return true;
    };
    for (int i = 0; i < m; ++i) {
        const MotionSearchEntry& e = p.motionSearch[i];
        if (!checkDirection(e.forwardFcodeH, e.forwardFcodeV, e.forwardRangeH, e.forwardRangeV)) return false;
        if (i > 0 && !checkDirection(e.backwardFcodeH, e.backwardFcodeV, e.backwardRangeH, e.backwardRangeV)) return false;
    }

    // 7. MPEG-2 profile and level.
    if (!mpeg1) {
        if (p.profile < 1 || p.profile > 5) return Fail(sink, "undefined Profile");
        if (p.level != 4 && p.level != 6 && p.level != 8 && p.level != 10) return Fail(sink, "undefined Level");
        if (p.profile < 4) return Fail(sink, "This encoder currently generates only Simple and Main profile bitstreams");
        if (p.profile < 1 || p.profile > 5) return Fail(sink, "Profile out of legal range");
        if (p.profile == 5 && m != 1) return Fail(sink, "Simple profile does not allow B pictures");
        if (p.frameRateCode > 5 && (p.level == 8 || p.level == 10))
            return Fail(sink, "Picture rate greater than permitted in specified Level");
        const LevelLimits* lim = nullptr;
        for (const LevelLimits& l : kLevels)
            if (l.level == p.level) lim = &l;
        for (int i = 0; i < m; ++i) {
            const MotionSearchEntry& e = p.motionSearch[i];
            if (e.forwardFcodeH > lim->maxFcodeH || e.forwardFcodeV > lim->maxFcodeV)
                return Fail(sink, "forward vertical f_code greater than permitted in specified Level");
            if (i > 0) {
                if (e.backwardFcodeH > lim->maxFcodeH)
                    return Fail(sink, "backward horizontal f_code greater than permitted in specified Level");
                if (e.backwardFcodeV > lim->maxFcodeV)
                    return Fail(sink, "backward vertical f_code greater than permitted in specified Level");
            }
        }
        const std::string name = lim->name;
        if (p.horizontalSize > lim->width) return Fail(sink, "Horizontal size is greater than " + name + " Level limit");
        if (p.verticalSize > lim->height) return Fail(sink, "Vertical size is greater than " + name + " Level limit");
        if (static_cast<double>(p.horizontalSize) * p.verticalSize * p.frameRate > lim->sampleRate)
            return Fail(sink, "Sample rate is greater than " + name + " Level limit");
        if (p.bitRate > lim->bitRate) return Fail(sink, "Bit rate exceeds " + name + " Level limit");
        if (static_cast<double>(p.vbvBufferSize) * 16384.0 > lim->vbvBits)
            return Fail(sink, "vbv_buffer_size exceeds " + name + " Level limit");
    }

    // 8. MPEG-1 constrained parameters.
    if (mpeg1) {
        const long mbs = static_cast<long>((p.horizontalSize + 15) / 16) * ((p.verticalSize + 15) / 16);
        bool within = p.horizontalSize <= 768 && p.verticalSize <= 576 && mbs <= 396 && mbs * p.frameRate <= 9900.0 &&
                      p.frameRate <= 30.0;
        for (int i = 0; i < m; ++i) {
            const MotionSearchEntry& e = p.motionSearch[i];
            if (e.forwardFcodeH > 4 || e.forwardFcodeV > 4) within = false;
            if (i > 0 && (e.backwardFcodeH > 4 || e.backwardFcodeV > 4)) within = false;
        }
        if (!within) p.constrainedParameters = 0;
    }

    // 9. Normalisation.
    if (mpeg1) {
        p.progressiveSequence = 1;
        p.intraDcPrecision = 0;
        p.intraVlcFormat = {0, 0, 0};
        p.alternateScan = {0, 0, 0};
    } else {
        p.constrainedParameters = 0;
    }
    if (p.progressiveSequence || p.progressiveFrame) {
        p.progressiveFrame = 1;
        p.framePredFrameDct = {1, 1, 1};
        if (p.progressiveSequence && !p.repeatFirstField && p.topFieldFirst) p.topFieldFirst = 0;
    } else {
        p.repeatFirstField = 0;
    }

    // 10. Search ranges within what the f_codes can carry.
    for (int i = 0; i < m; ++i) {
        MotionSearchEntry& e = p.motionSearch[i];
        auto cut = [](int& range, int fcode) {
            const int limit = (4 << fcode) - 1;
            if (range > limit) range = limit;
        };
        cut(e.forwardRangeH, e.forwardFcodeH);
        cut(e.forwardRangeV, e.forwardFcodeV);
        if (i > 0) {
            cut(e.backwardRangeH, e.backwardFcodeH);
            cut(e.backwardRangeV, e.backwardFcodeV);
        }
    }
    return true;
}

uint64_t ExpectedStreamBytes(const EncoderParameters& p)
{
    if (p.frameCount <= 0 || p.frameRate <= 0.0) return 0;
    const double frames = p.frameCount;
    const double spent = p.bitRate / 8.0 * frames / p.frameRate;
    const double samples = frames * p.horizontalSize * p.verticalSize * 1.5;
    return static_cast<uint64_t>(std::min(spent, samples));
}

}  // namespace morvane
