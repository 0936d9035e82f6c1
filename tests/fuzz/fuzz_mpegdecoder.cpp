// The MPEG video decoder reads movie files the user picks: any bytes must
// decode or stop without harm.
#include <cstdint>
#include <vector>

#include "codec/DecoderCore.h"
#include "codec/DecoderMessages.h"
#include "codec/DecoderOutput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    morvane::MpegVideoDecoder decoder([](morvane::DecoderMessageKind, const std::string&) {});
    decoder.Start(data, size);
    int frames = 0;
    while (const morvane::DecodedPlanes* f = decoder.NextFrame()) {
        // Convert the first frames to RGB as playback does.
        if (frames++ < 2) (void)morvane::FrameToRgbx(*f, decoder.OutputKernels());
    }
    return 0;
}
