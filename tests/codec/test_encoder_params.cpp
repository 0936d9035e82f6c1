// The encoder's parameter table per video format, the checks with their
// messages, and the normalisation.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "codec/EncoderParams.h"
#include "codec/MessageSink.h"

using namespace morvane;

namespace {

EncoderParameters Filled(int format, int w = 160, int h = 120, int frames = 100)
{
    EncoderParameters p;
    FillEncoderParameters(p, format, w, h, frames);
    return p;
}

// Runs the checks quietly; returns the one message ("" when they pass).
std::string CheckMessage(EncoderParameters p)
{
    MessageSink sink;
    sink.SetEcho(false);
    const bool ok = CheckEncoderParameters(p, sink);
    EXPECT_EQ(ok, sink.Messages().empty());
    EXPECT_LE(sink.Messages().size(), 1u);
    return sink.Messages().empty() ? "" : sink.Messages()[0];
}

}  // namespace

TEST(EncoderParams, TablePerFormat)
{
    const EncoderParameters m1 = Filled(kVideoMpeg1);
    EXPECT_EQ(m1.isMpeg1, 1);
    EXPECT_EQ(m1.frameRateCode, 3);
    EXPECT_EQ(m1.gopSize, 12);
    EXPECT_EQ(m1.ipDistance, 3);
    EXPECT_EQ(m1.aspectRatioCode, 8);
    EXPECT_EQ(m1.bitRate, 1852000.0);
    EXPECT_EQ(m1.vbvBufferSize, 20);
    EXPECT_EQ(m1.constrainedParameters, 1);
    EXPECT_EQ(m1.matrixCoefficients, 5);
    EXPECT_EQ(m1.frameNameTemplate, "mpeg%04d");
    EXPECT_EQ(m1.inputType, 2);
    EXPECT_EQ(m1.frameCount, 100);
    ASSERT_EQ(m1.motionSearch.size(), 3u);
    EXPECT_EQ(m1.motionSearch[0].forwardFcodeH, 2);
    EXPECT_EQ(m1.motionSearch[0].forwardRangeV, 11);
    EXPECT_EQ(m1.motionSearch[1].backwardRangeH, 7);
    EXPECT_EQ(m1.motionSearch[2].forwardRangeH, 7);
    EXPECT_EQ(m1.motionSearch[2].backwardRangeV, 3);

    const EncoderParameters pal = Filled(kVideoPal, 720, 576);
    EXPECT_EQ(pal.isMpeg1, 0);
    EXPECT_EQ(pal.gopSize, 12);
    EXPECT_EQ(pal.aspectRatioCode, 2);
    EXPECT_EQ(pal.bitRate, 5000000.0);
    EXPECT_EQ(pal.vbvBufferSize, 112);
    EXPECT_EQ(pal.videoFormatCode, 1);
    EXPECT_EQ(pal.matrixCoefficients, 5);
    EXPECT_EQ(pal.topFieldFirst, 1);
    EXPECT_EQ(pal.intraVlcFormat[0], 1);
    EXPECT_EQ(pal.intraVlcFormat[1], 0);
    EXPECT_EQ(pal.framePredFrameDct[2], 0);

    const EncoderParameters ntsc = Filled(kVideoNtsc, 720, 480);
    EXPECT_EQ(ntsc.frameRateCode, 5);
    EXPECT_EQ(ntsc.gopSize, 15);
    EXPECT_EQ(ntsc.videoFormatCode, 2);
    EXPECT_EQ(ntsc.matrixCoefficients, 4);

    const EncoderParameters secam = Filled(kVideoSecam, 720, 576);
    EXPECT_EQ(secam.frameRateCode, 3);
    EXPECT_EQ(secam.gopSize, 15);
    EXPECT_EQ(secam.videoFormatCode, 3);
    EXPECT_EQ(secam.matrixCoefficients, 4);

    // An unknown format leaves the set as it was: an empty set fails the
    // first check.
    EncoderParameters unknown;
    FillEncoderParameters(unknown, 7, 160, 120, 10);
    EXPECT_EQ(unknown.frameRateCode, 0);
    EXPECT_EQ(CheckMessage(unknown), "frame_rate code must be between 1 and 8");
}

TEST(EncoderParams, NormalisationAndConstrainedParameters)
{
    MessageSink sink;
    sink.SetEcho(false);
    EncoderParameters m1 = Filled(kVideoMpeg1);
    ASSERT_TRUE(CheckEncoderParameters(m1, sink));
    EXPECT_EQ(m1.frameRate, 25.0);
    EXPECT_EQ(m1.constrainedParameters, 1);
    EXPECT_EQ(m1.progressiveFrame, 1);
    EXPECT_EQ(m1.topFieldFirst, 0);
    // Ranges are cut to what the f_codes carry: (4 << f) - 1.
    EXPECT_EQ(m1.motionSearch[0].forwardRangeH, 11);
    EXPECT_EQ(m1.motionSearch[1].forwardRangeH, 3);
    EXPECT_EQ(m1.motionSearch[1].backwardRangeH, 7);

    EncoderParameters big = Filled(kVideoMpeg1, 800, 600);
    ASSERT_TRUE(CheckEncoderParameters(big, sink));
    EXPECT_EQ(big.constrainedParameters, 0);

    EncoderParameters cut = Filled(kVideoMpeg1);
    cut.motionSearch[1].backwardRangeH = 50;
    cut.motionSearch[0].forwardRangeV = 40;
    ASSERT_TRUE(CheckEncoderParameters(cut, sink));
    EXPECT_EQ(cut.motionSearch[1].backwardRangeH, 7);
    EXPECT_EQ(cut.motionSearch[0].forwardRangeV, 15);

    EncoderParameters pal = Filled(kVideoPal, 720, 576);
    pal.constrainedParameters = 5;
    pal.alternateScan[1] = 9;
    ASSERT_TRUE(CheckEncoderParameters(pal, sink));
    EXPECT_EQ(pal.constrainedParameters, 0);
    EXPECT_EQ(pal.alternateScan[1], 1);
    EXPECT_EQ(pal.progressiveFrame, 0);
    EXPECT_EQ(pal.framePredFrameDct[0], 0);

    EncoderParameters progressive = Filled(kVideoPal, 720, 576);
    progressive.progressiveFrame = 1;
    ASSERT_TRUE(CheckEncoderParameters(progressive, sink));
    EXPECT_EQ(progressive.framePredFrameDct[1], 1);
    EXPECT_EQ(progressive.topFieldFirst, 1);
    EXPECT_TRUE(sink.Messages().empty());
}

TEST(EncoderParams, EveryCheckMessage)
{
    using Change = std::function<void(EncoderParameters&)>;
    struct Case {
        int format;
        Change change;
        const char* message;
    };
    const std::vector<Case> cases = {
        {kVideoMpeg1, [](auto& p) { p.frameRateCode = 9; }, "frame_rate code must be between 1 and 8"},
        {kVideoMpeg1, [](auto& p) { p.horizontalSize = 4096; }, "horizontal_size must not be a multiple of 4096"},
        {kVideoMpeg1, [](auto& p) { p.horizontalSize = 0; }, "horizontal_size must not be a multiple of 4096"},
        {kVideoMpeg1, [](auto& p) { p.horizontalSize = 16385; }, "horizontal_size must be between 1 and 16383"},
        {kVideoMpeg1, [](auto& p) { p.horizontalSize = 4098; }, "horizontal_size must be less than 4096"},
        {kVideoMpeg1, [](auto& p) { p.horizontalSize = 161; }, "horizontal_size must be a even (4:2:0)"},
        {kVideoMpeg1, [](auto& p) { p.verticalSize = 8192; }, "vertical_size must not be a multiple of 4096"},
        {kVideoMpeg1, [](auto& p) { p.verticalSize = -2; }, "vertical_size must be between 1 and 16383"},
        {kVideoMpeg1, [](auto& p) { p.verticalSize = 4100; }, "vertical size must be less than 4096"},
        {kVideoMpeg1, [](auto& p) { p.verticalSize = 2816; }, "vertical_size must not exceed 2800 in MPEG-1"},
        {kVideoMpeg1, [](auto& p) { p.verticalSize = 121; }, "vertical_size must be a even (4:2:0)"},
        {kVideoMpeg1, [](auto& p) { p.aspectRatioCode = 15; }, "pel_aspect_ratio must be between 1 and 14"},
        {kVideoPal, [](auto& p) { p.aspectRatioCode = 5; }, "aspect_ratio_information must be 1, 2, 3 or 4"},
        {kVideoMpeg1, [](auto& p) { p.bitRate = 0; }, "bit_rate must be positive"},
        {kVideoPal, [](auto& p) { p.vbvBufferSize = 262144; }, "vbv_buffer_size must be in range 1..(2^18-1)"},
        {kVideoMpeg1, [](auto& p) { p.vbvBufferSize = 1024; }, "vbv_buffer_size must be less than 1024"},
        {kVideoPal, [](auto& p) { p.intraDcPrecision = 4; }, "intra_dc_precision must be in range 0...3"},
        {kVideoPal, [](auto& p) { p.motionSearch[0].forwardFcodeV = 10; }, "f_code must be between 1 and 9"},
        {kVideoPal, [](auto& p) { p.motionSearch[2].backwardFcodeH = 0; }, "f_code must be between 1 and 9"},
        {kVideoMpeg1, [](auto& p) { p.motionSearch[1].forwardFcodeH = 8; }, "f_code must be le less than 8"},
        {kVideoMpeg1, [](auto& p) { p.motionSearch[1].backwardRangeV = 0; }, "search window must be positive"},
        {kVideoPal, [](auto& p) { p.profile = 6; }, "undefined Profile"},
        {kVideoPal, [](auto& p) { p.level = 7; }, "undefined Level"},
        {kVideoPal, [](auto& p) { p.profile = 2; }, "This encoder currently generates only Simple and Main profile bitstreams"},
        {kVideoPal, [](auto& p) { p.profile = 5; }, "Simple profile does not allow B pictures"},
        {kVideoPal, [](auto& p) { p.frameRateCode = 6; }, "Picture rate greater than permitted in specified Level"},
        {kVideoPal, [](auto& p) { p.motionSearch[0].forwardFcodeH = 9; }, "forward vertical f_code greater than permitted in specified Level"},
        {kVideoPal, [](auto& p) { p.motionSearch[0].forwardFcodeV = 6; }, "forward vertical f_code greater than permitted in specified Level"},
        {kVideoPal, [](auto& p) { p.motionSearch[1].backwardFcodeH = 9; }, "backward horizontal f_code greater than permitted in specified Level"},
        {kVideoPal, [](auto& p) { p.motionSearch[2].backwardFcodeV = 6; }, "backward vertical f_code greater than permitted in specified Level"},
        {kVideoPal, [](auto& p) { p.level = 4; p.horizontalSize = 1922; }, "Horizontal size is greater than High Level limit"},
        {kVideoPal, [](auto& p) { p.level = 6; p.horizontalSize = 1442; }, "Horizontal size is greater than High 1440 Level limit"},
        {kVideoPal, [](auto& p) { p.horizontalSize = 800; }, "Horizontal size is greater than Main Level limit"},
        {kVideoPal, [](auto& p) { p.level = 10; p.horizontalSize = 354; }, "Horizontal size is greater than Low Level limit"},
        {kVideoPal, [](auto& p) { p.level = 4; p.verticalSize = 1154; }, "Vertical size is greater than High Level limit"},
        {kVideoPal, [](auto& p) { p.level = 6; p.verticalSize = 1154; }, "Vertical size is greater than High 1440 Level limit"},
        {kVideoPal, [](auto& p) { p.verticalSize = 578; }, "Vertical size is greater than Main Level limit"},
        {kVideoPal, [](auto& p) { p.level = 10; p.horizontalSize = 352; p.verticalSize = 290; }, "Vertical size is greater than Low Level limit"},
        {kVideoPal, [](auto& p) { p.level = 4; p.horizontalSize = 1920; p.verticalSize = 1152; p.frameRateCode = 8; }, "Sample rate is greater than High Level limit"},
        {kVideoPal, [](auto& p) { p.level = 6; p.horizontalSize = 1440; p.verticalSize = 1152; p.frameRateCode = 8; }, "Sample rate is greater than High 1440 Level limit"},
        {kVideoNtsc, [](auto& p) { p.horizontalSize = 720; p.verticalSize = 576; }, "Sample rate is greater than Main Level limit"},
        // (At the Low level the largest picture at the fastest allowed rate
        // is exactly the sample-rate limit, so that message cannot occur.)
        {kVideoPal, [](auto& p) { p.level = 4; p.bitRate = 80000001; }, "Bit rate exceeds High Level limit"},
        {kVideoPal, [](auto& p) { p.level = 6; p.bitRate = 60000001; }, "Bit rate exceeds High 1440 Level limit"},
        {kVideoPal, [](auto& p) { p.bitRate = 15000001; }, "Bit rate exceeds Main Level limit"},
        {kVideoPal, [](auto& p) { p.level = 10; p.horizontalSize = 352; p.verticalSize = 288; }, "Bit rate exceeds Low Level limit"},
        {kVideoPal, [](auto& p) { p.level = 4; p.vbvBufferSize = 598; }, "vbv_buffer_size exceeds High Level limit"},
        {kVideoPal, [](auto& p) { p.level = 6; p.vbvBufferSize = 449; }, "vbv_buffer_size exceeds High 1440 Level limit"},
        {kVideoPal, [](auto& p) { p.vbvBufferSize = 113; }, "vbv_buffer_size exceeds Main Level limit"},
        {kVideoPal, [](auto& p) { p.level = 10; p.horizontalSize = 352; p.verticalSize = 288; p.bitRate = 4000000; }, "vbv_buffer_size exceeds Low Level limit"},
    };
    for (const Case& c : cases) {
        EncoderParameters p = Filled(c.format, c.format == kVideoMpeg1 ? 160 : 720, c.format == kVideoMpeg1 ? 120 : (c.format == kVideoNtsc ? 480 : 576));
        c.change(p);
        EXPECT_EQ(CheckMessage(p), c.message);
    }
    // Whole picture sizes: an odd width, one above the Main Level, and sizes that pass.
    EXPECT_EQ(CheckMessage(Filled(kVideoMpeg1, 161, 120)), "horizontal_size must be a even (4:2:0)");
    EXPECT_EQ(CheckMessage(Filled(kVideoPal, 800, 600)), "Horizontal size is greater than Main Level limit");
    EXPECT_EQ(CheckMessage(Filled(kVideoMpeg1, 800, 600)), "");
    EXPECT_EQ(CheckMessage(Filled(kVideoNtsc, 720, 480)), "");
    EXPECT_EQ(CheckMessage(Filled(kVideoSecam, 720, 576)), "");
    EXPECT_EQ(CheckMessage(Filled(kVideoMpeg1, 4094, 2800)), "");
}

TEST(MessageSink, KeepsLinesWithoutTheirNewline)
{
    MessageSink sink;
    sink.SetEcho(false);
    sink.Report("malloc failed\n");
    sink.Report("Couldn't open mpeg0000.ppm\n");
    sink.Report("plain");
    ASSERT_EQ(sink.Messages().size(), 3u);
    EXPECT_EQ(sink.Messages()[0], "malloc failed");
    EXPECT_EQ(sink.Text(), "malloc failed\nCouldn't open mpeg0000.ppm\nplain");
    sink.Clear();
    EXPECT_TRUE(sink.Messages().empty());
}
