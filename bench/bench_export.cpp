// The cost of a movie export: a 100-frame (4 s) 320 x 240 MPEG-1 movie of a
// three-layer texture (Marble, Granite, Wood) whose first layer is
// animated, through the export that Save As runs, split into rendering the
// frames (written as PPM files in the private frame folder) and encoding
// them.  The median of three runs.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "codec/EncoderParams.h"
#include "engine/Noise.h"
#include "engine/Render.h"
#include "media/Export.h"
#include "tests/support/PresetTextures.h"

using namespace morvane;
using Clock = std::chrono::steady_clock;

namespace {

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// Notes when the first frame starts and when the last one is written.
class TimingHost : public ExportHost {
public:
    Clock::time_point firstFrame{}, framesDone{};
    int frames = 0;

    std::optional<int> AskVideoFormat(int preselected) override { return preselected; }
    std::optional<AviSettings> ChooseCompressor() override { return AviSettings{}; }
    void ShowStatus(const std::string&) override
    {
        if (frames++ == 0) firstFrame = Clock::now();
    }
    void FramesFinished(float) override { framesDone = Clock::now(); }
};

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main()
{
    NoiseInit();
    const std::filesystem::path out =
        std::filesystem::temp_directory_path() / ("bench-export-" + std::to_string(::getpid()) + ".mpg");
    std::vector<double> total, render, encode;
    for (int run = 0; run < 3; ++run) {
        Texture t = test::ThreeLayers(320, 240);
        test::AnimateFirstLayer(t, 4.0f);
        TimingHost host;
        ExportRequest request;
        request.path = out;
        const Clock::time_point start = Clock::now();
        const ExportResult r = ExportTexture(t, request, host);
        const Clock::time_point end = Clock::now();
        if (!r.written()) {
            std::fprintf(stderr, "%s\n", r.error.c_str());
            return 1;
        }
        total.push_back(Seconds(end - start));
        render.push_back(Seconds(host.framesDone - host.firstFrame));
        encode.push_back(Seconds(end - host.framesDone));
        if (host.frames != 100) std::fprintf(stderr, "%d frames instead of 100\n", host.frames);
    }
    std::filesystem::remove(out);
    std::printf("MPEG-1 export, 100 frames of 320 x 240, three layers, %d threads\n", HardwareThreads());
    std::printf("  rendering the frames: %7.3f s  (%.1f frames per second)\n", Median(render), 100.0 / Median(render));
    std::printf("  encoding:             %7.3f s  (%.1f frames per second)\n", Median(encode), 100.0 / Median(encode));
    std::printf("  whole export:         %7.3f s\n", Median(total));
    return 0;
}
