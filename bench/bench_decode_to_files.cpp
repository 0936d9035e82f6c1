// Decoding an MPEG-2 stream to frame files on the disk: "mpegtool decode"
// (each PPM file put in place whole, the frames synced once at the end)
// beside ffmpeg decoding the same stream to PPM files with one thread, in
// the same folder and the same run, turn about.  The stream is 36 PAL
// frames (720 x 576, 5 Mbit/s) made by ffmpeg; the folder is below the
// current directory unless one is given:
//   bench_decode_to_files [FOLDER]
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Seconds the command takes, or a negative number when it fails.
double Seconds(const std::string& command)
{
    const auto t0 = std::chrono::steady_clock::now();
    const int rc = std::system(command.c_str());
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    return rc == 0 ? s : -1.0;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    const fs::path dir = fs::absolute(argc > 1 ? fs::path(argv[1]) : fs::path("bench-decode-to-files"));
    fs::create_directories(dir);
    const std::string stream = (dir / "pal.m2v").string();
    if (Seconds("ffmpeg -v error -y -f lavfi -i testsrc2=size=720x576:rate=25 -frames:v 36 -c:v mpeg2video -b:v 5M "
                "-bf 2 -g 12 -f mpeg2video '" + stream + "'") < 0) {
        std::printf("(ffmpeg could not make the stream)\n");
        return 1;
    }
    const std::string ours = (dir / "ours").string(), theirs = (dir / "theirs").string();
    std::vector<double> own, ffmpeg;
    for (int run = 0; run < 7; ++run) {
        fs::remove_all(ours);
        fs::remove_all(theirs);
        fs::create_directories(theirs);
        // Whatever an earlier run left unwritten goes to the disk first.
        ::sync();
        const double a = Seconds(std::string(MORVANE_MPEGTOOL) + " decode '" + stream + "' --out '" + ours + "' > /dev/null");
        ::sync();
        const double b = Seconds("ffmpeg -v error -threads 1 -i '" + stream + "' '" + theirs + "/mpeg%04d.ppm'");
        if (a < 0 || b < 0) {
            std::printf("(a decoder failed)\n");
            return 1;
        }
        own.push_back(a);
        ffmpeg.push_back(b);
    }
    const double a = Median(own), b = Median(ffmpeg);
    std::printf("36 PAL frames to PPM files in %s (median of 7 runs)\n", dir.string().c_str());
    std::printf("  mpegtool decode            %7.3f s\n", a);
    std::printf("  ffmpeg -threads 1          %7.3f s\n", b);
    std::printf("  ratio                      %7.2f\n", a / b);
    fs::remove_all(ours);
    fs::remove_all(theirs);
    fs::remove(stream);
    std::error_code ec;
    fs::remove(dir, ec);  // when it is empty
    return 0;
}
