// PPM frame files come from the disk: any bytes must give a picture or a
// message, never a read or write outside the buffers.
#include <cstdint>
#include <cstdio>

#include "codec/EncoderCore.h"
#include "engine/Cpu.h"

using namespace morvane;
using namespace morvane::mpeg;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The first byte chooses the format and the picture size.
    if (size < 1) return 0;
    const int format = (data[0] & 3) - 1;
    const int w = 16 + 2 * ((data[0] >> 2) & 7), h = 16 + 2 * ((data[0] >> 5) & 7);
    EncoderParameters p;
    FillEncoderParameters(p, format, w, h, 1);
    MessageSink sink;
    sink.SetEcho(false);
    if (!CheckEncoderParameters(p, sink)) return 0;
    const int W = (w + 15) / 16 * 16;
    const int H = p.progressiveSequence ? (h + 15) / 16 * 16 : (h + 31) / 32 * 32;
    FrameReader reader;
    reader.Configure(p, W, H, EncoderKernelsFor(CpuFlags()));
    Picture pic;
    pic.plane[0].assign(static_cast<size_t>(W) * H, 0);
    pic.plane[1].assign(static_cast<size_t>(W) * H / 4, 0);
    pic.plane[2].assign(static_cast<size_t>(W) * H / 4, 0);
    std::FILE* f = fmemopen(const_cast<uint8_t*>(data + 1), size - 1 > 0 ? size - 1 : 1, "rb");
    if (!f) return 0;
    (void)reader.ReadPpmStream(f, "frame.ppm", pic, sink);
    std::fclose(f);
    return 0;
}
