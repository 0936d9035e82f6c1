// texturetool: renders and exports textures without the editor's windows.
//
//   texturetool render IN OUT.ppm [--size WxH] [--time SECONDS]
//       IN (a texture ".zyv" or layer ".kvo" file) rendered as the view shows
//       it, at its image size or WxH (1 to 65500 a side), its first layer's
//       animation at the time given, as a binary PPM (top row first).  OUT
//       ends in ".ppm", unless it is a pipe, a device or one of the
//       program's own descriptors (/dev/stdout, /dev/fd/N, /proc/self/fd/N),
//       which takes the picture at its offset: `>> log` appends to the log.
//   texturetool export IN OUT.EXT [--video pal|ntsc|secam] [--avi full|rle]
//       what Save As writes for OUT's extension; the MPEG-2 video format
//       (NTSC unless given) and the AVI compressor come from the options.
//
// Exit status 0 on success; 1 after a failure, whose message (the one the
// editor shows) goes to stderr, and no output file is left (memory that
// runs out is such a failure); 2 for a command line it does not
// understand.  OUT is never IN.  Interrupted or
// terminated, it leaves no frame files behind.
#include <strings.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <tuple>
#include <utility>

#include "codec/EncoderParams.h"
#include "engine/Noise.h"
#include "engine/Render.h"
#include "engine/SafeFile.h"
#include "engine/TextureFile.h"
#include "media/Export.h"
#include "media/FrameFolder.h"
#include "media/LayerPicture.h"
#include "tools/SizeArgument.h"

using namespace morvane;

namespace {

int Usage()
{
    std::fprintf(stderr,
                 "usage: texturetool render IN OUT.ppm [--size WxH] [--time SECONDS]\n"
                 "       texturetool export IN OUT.EXT [--video pal|ntsc|secam] [--avi full|rle]\n");
    return 2;
}

int Fail(const std::string& message)
{
    std::fprintf(stderr, "%s\n", message.c_str());
    return 1;
}

// Answers the export's questions from the command line.
class OptionHost : public ExportHost {
public:
    int videoFormat = kVideoNtsc;
    AviSettings avi;

    std::optional<int> AskVideoFormat(int) override { return videoFormat; }
    std::optional<AviSettings> ChooseCompressor() override { return avi; }
};

struct Options {
    std::string command, in, out;
    int width = 0, height = 0;
    std::optional<float> time;
    OptionHost host;
};

bool ParseOptions(int argc, char** argv, Options& o)
{
    if (argc < 4) return false;
    o.command = argv[1];
    o.in = argv[2];
    o.out = argv[3];
    const bool render = o.command == "render";
    if (!render && o.command != "export") return false;
    for (int i = 4; i < argc; ++i) {
        const std::string a = argv[i];
        const char* v = i + 1 < argc ? argv[i + 1] : nullptr;
        if (!v) return false;
        ++i;
        const std::string value = v;
        if (render && a == "--size") {
            const std::optional<std::pair<int, int>> size = ParseSizeArgument(value, kLargestPictureSide);
            if (!size) {
                std::fprintf(stderr, "--size takes 1 to %d pixels a side.\n", kLargestPictureSide);
                return false;
            }
            std::tie(o.width, o.height) = *size;
        } else if (render && a == "--time") {
            char* end = nullptr;
            o.time = std::strtof(v, &end);
            if (end == v || *end != '\0') return false;
        } else if (!render && a == "--video") {
            if (value == "pal") o.host.videoFormat = kVideoPal;
            else if (value == "ntsc") o.host.videoFormat = kVideoNtsc;
            else if (value == "secam") o.host.videoFormat = kVideoSecam;
            else return false;
        } else if (!render && a == "--avi") {
            if (value == "full") o.host.avi.rle = false;
            else if (value == "rle") o.host.avi.rle = true;
            else return false;
        } else {
            return false;
        }
    }
    return true;
}

// Refuses an OUT that may not be written: IN itself (under any name), or a
// file that render would fill with a PPM without its being named so (pipes,
// the devices of /dev and this process's own descriptors, standard output
// among them, take the picture whatever their name).
Result<> CheckOutput(const Options& o)
{
    struct stat in {}, out {};
    const bool exists = ::stat(o.out.c_str(), &out) == 0;
    if (exists && ::stat(o.in.c_str(), &in) == 0 && in.st_dev == out.st_dev && in.st_ino == out.st_ino)
        return Failure("\"" + o.out + "\" is the file being read; the output needs another name.");
    const bool ppm = o.out.size() >= 4 && ::strcasecmp(o.out.c_str() + o.out.size() - 4, ".ppm") == 0;
    const bool file = o.out.rfind("/dev/", 0) != 0 && !OwnDescriptor(o.out) && (!exists || S_ISREG(out.st_mode));
    if (o.command == "render" && !ppm && file)
        return Failure("render writes PPM pictures: the name of its output ends in \".ppm\".");
    return {};
}

// Reads, renders and writes as the options say; the exit status.
int Run(Options& o)
{
    Result<Texture> parsed = ReadTextureFile(o.in);
    if (!parsed.ok()) return Fail(parsed.error);
    Texture& texture = *parsed.value;
    // A picture or movie that cannot be used is said on stderr.
    LoadLayerPictures(texture, [](const std::string& text) { std::fprintf(stderr, "%s\n", text.c_str()); });

    NoiseInit();

    if (o.command == "render") {
        const LayerRecord& first = texture.layers[0].layer.rec;
        const int width = o.width > 0 ? o.width : StoredImageWidth(first);
        const int height = o.height > 0 ? o.height : StoredImageHeight(first);
        if (width <= 0 || height <= 0) return Fail("Unable to save \"" + o.out + "\".\nThe image is empty.");
        if (o.time) SetAnimationTime(texture, *o.time);
        PrepareForRender(texture);
        const Result<> written = WriteViewPicture(o.out, texture, width, height);
        return written.ok() ? 0 : Fail(written.error);
    }

    ExportRequest request;
    request.path = o.out;
    const ExportResult result = ExportTexture(texture, request, o.host);
    switch (result.outcome) {
    case ExportResult::Written:
        return 0;
    case ExportResult::Failed:
    case ExportResult::Ignored:
        return Fail(result.error);
    case ExportResult::Cancelled:
        break;
    }
    return Fail("\"" + o.out + "\" was not saved.");
}

}  // namespace

int main(int argc, char** argv)
{
    Options o;
    if (!ParseOptions(argc, argv, o)) return Usage();
    if (const Result<> output = CheckOutput(o); !output.ok())
        return Fail("Unable to save \"" + o.out + "\".\n" + output.error);
    RemoveFrameFolderOnSignals();
    // Memory that runs out anywhere (a picture, a movie's frames, the
    // render) ends the work with a message; what was being written is
    // removed as its writer goes.
    try {
        return Run(o);
    } catch (const std::bad_alloc&) {
        return Fail("Unable to " + o.command + " \"" + o.in + "\".\nThere is not enough memory.");
    }
}
