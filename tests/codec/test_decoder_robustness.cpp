// Damaged streams: truncated at many places and a few hundred fixed-seed
// mutations of valid streams decode or stop cleanly (run this under the
// sanitizer build to see every read and write stay in its buffer).
#include <gtest/gtest.h>

#include "codec/DecoderOutput.h"
#include "tests/codec/DecoderTestSupport.h"

namespace {

using namespace dectest;

// Decodes everything (to RGB as well) and returns the number of frames.
int DecodeToRgb(const std::vector<uint8_t>& stream, morvane::DecoderMessageSink sink)
{
    morvane::MpegVideoDecoder decoder(std::move(sink));
    decoder.Start(stream.data(), stream.size());
    int frames = 0;
    while (const morvane::DecodedPlanes* f = decoder.NextFrame()) {
        const std::vector<uint8_t> rgb = morvane::FrameToRgbx(*f, decoder.OutputKernels());
        EXPECT_EQ(rgb.size(), size_t(f->width) * f->height * 4);
        ++frames;
    }
    EXPECT_LE(frames, decoder.DecodedFrameCount());
    return frames;
}

class Robustness : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
        ASSERT_TRUE(MakeStream(dir / "a.mpg", "64x48", 8, "-c:v mpeg1video -b:v 300k -bf 2 -g 6 -f mpeg1video"));
        ASSERT_TRUE(MakeStream(dir / "b.m2v", "80x64", 8,
                               "-c:v mpeg2video -b:v 400k -bf 2 -g 6 -flags +ildct+ilme -intra_vlc 1 "
                               "-alternate_scan 1 -f mpeg2video"));
        streams = {ReadFile(dir / "a.mpg"), ReadFile(dir / "b.m2v")};
    }
    TempDir dir;
    std::vector<std::vector<uint8_t>> streams;
    MessageCapture quiet;
};

TEST_F(Robustness, TruncatedStreams)
{
    for (const auto& full : streams) {
        const int complete = DecodeToRgb(full, quiet.Sink());
        EXPECT_EQ(complete, 8);
        int previous = 0;
        for (size_t len = 0; len < full.size(); len += 1 + full.size() / 60) {
            const std::vector<uint8_t> cut(full.begin(), full.begin() + static_cast<ptrdiff_t>(len));
            const int frames = DecodeToRgb(cut, quiet.Sink());
            EXPECT_LE(frames, complete);
            EXPECT_GE(frames + 1, previous);  // a longer prefix loses at most the held frame
            previous = frames;
        }
    }
}

TEST_F(Robustness, MutatedStreams)
{
    uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 214013u + 2531011u;
        return (seed >> 16) & 0x7FFF;
    };
    for (int round = 0; round < 300; ++round) {
        std::vector<uint8_t> s = streams[round % 2];
        const int edits = 1 + static_cast<int>(next() % 8);
        for (int e = 0; e < edits; ++e) {
            const size_t at = (next() << 15 | next()) % s.size();
            switch (next() % 4) {
            case 0: s[at] ^= static_cast<uint8_t>(1 << (next() % 8)); break;
            case 1: s[at] = static_cast<uint8_t>(next()); break;
            case 2:  // a start code where none belongs
                if (at + 4 < s.size()) {
                    s[at] = 0;
                    s[at + 1] = 0;
                    s[at + 2] = 1;
                    s[at + 3] = static_cast<uint8_t>(next());
                }
                break;
            default: s.erase(s.begin() + static_cast<ptrdiff_t>(at), s.begin() + static_cast<ptrdiff_t>(std::min(s.size(), at + next() % 64))); break;
            }
            if (s.empty()) break;
        }
        DecodeToRgb(s, quiet.Sink());
    }
}

}  // namespace
