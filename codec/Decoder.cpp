#include "codec/Decoder.h"

#include <cstdio>
#include <memory>
#include <utility>

#include "codec/DecoderCore.h"
#include "codec/DecoderMessages.h"
#include "codec/DecoderOutput.h"
#include "engine/SafeFile.h"

namespace morvane {

DecodedFrame DecodedFrameBuffer;
int decodedFrameCount = 0;

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const
    {
        if (f) std::fclose(f);
    }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// The open input of the frame-by-frame mode; its decoder is made at open
// with the caller's sink.
struct ReaderState {
    std::string path;
    FileHandle file;
    std::unique_ptr<MpegVideoDecoder> decoder;
    int nextFrame = 0;  // display number the next delivered frame will have
};

ReaderState& Reader()
{
    static ReaderState state;
    return state;
}

// Only a regular file is read, of at most the size of any picture file: a
// named pipe or a device (/dev/zero) would be waited on or read for ever.
FileHandle OpenStream(const std::string& path, const DecoderMessageSink& sink)
{
    InputFile in(path);
    FileHandle f(in.TakeStream());
    if (in.Refused()) {
        DecoderMessage(sink, DecoderMessageKind::Alert, "Unable to read the movie \"" + path + "\".\n" + in.Error() + ".");
    } else if (!f) {
        DecoderMessage(sink, DecoderMessageKind::Alert, "Input file " + path + "not found");
    }
    return f;
}

}  // namespace

void mpeg_reset_decoder()
{
    ReaderState& r = Reader();
    r.decoder.reset();
    r.file.reset();
    r.path.clear();
    r.nextFrame = 0;
    DecodedFrameBuffer = DecodedFrame{};
}

int mpeg_open_input(const std::string& path, DecoderMessageSink sink)
{
    mpeg_reset_decoder();
    ReaderState& r = Reader();
    r.file = OpenStream(path, sink);
    if (!r.file) return 1;
    r.path = path;
    r.decoder = std::make_unique<MpegVideoDecoder>(std::move(sink));
    r.decoder->Start(r.file.get());
    decodedFrameCount = 0;
    return 0;
}

int mpeg_decode_frame(const std::string& /*path*/, int n)
{
    DecodedFrameBuffer = DecodedFrame{};
    ReaderState& r = Reader();
    if (!r.file || n < 0) return 0;
    if (n < r.nextFrame) {
        // Back to the start of the file.
        std::rewind(r.file.get());
        r.decoder->Start(r.file.get());
        r.nextFrame = 0;
    }
    while (const DecodedPlanes* frame = r.decoder->NextFrame()) {
        decodedFrameCount = r.decoder->DecodedFrameCount();
        if (r.nextFrame++ < n) continue;
        DecodedFrameBuffer.width = frame->width;
        DecodedFrameBuffer.height = frame->height;
        DecodedFrameBuffer.pixels = FrameToRgbx(*frame, r.decoder->OutputKernels());
        return 0;
    }
    decodedFrameCount = r.decoder->DecodedFrameCount();
    return 0;
}

void mpeg_close_input()
{
    ReaderState& r = Reader();
    r.decoder.reset();
    r.file.reset();
    r.path.clear();
    r.nextFrame = 0;
}

std::filesystem::path DecodedFrameFileName(const std::filesystem::path& folder, int number)
{
    char name[32];
    std::snprintf(name, sizeof name, "mpeg%04d.tga", number);
    return folder / name;
}

namespace {

// Decodes every picture of the file, hands the first frame to `first` and
// sets decodedFrameCount.
template <class FirstFrame>
int DecodeWholeFile(const std::string& path, DecoderMessageSink sink, FirstFrame first)
{
    mpeg_reset_decoder();
    decodedFrameCount = 0;
    FileHandle file = OpenStream(path, sink);
    if (!file) return 1;
    MpegVideoDecoder decoder(std::move(sink));
    decoder.Start(file.get());
    bool isFirst = true;
    while (const DecodedPlanes* frame = decoder.NextFrame()) {
        if (isFirst) first(decoder, *frame);
        isFirst = false;
    }
    decodedFrameCount = decoder.DecodedFrameCount();
    return 0;
}

}  // namespace

int mpeg_decode_to_frames(const std::string& path, const std::filesystem::path& folder, DecoderMessageSink sink)
{
    return DecodeWholeFile(path, std::move(sink), [&](const MpegVideoDecoder& decoder, const DecodedPlanes& frame) {
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
        WriteFrameTga(frame, DecodedFrameFileName(folder, 0), decoder.OutputKernels(), decoder.Sink());
    });
}

int mpeg_decode_first_frame(const std::string& path, DecodedFrame& first, DecoderMessageSink sink)
{
    first = DecodedFrame{};
    return DecodeWholeFile(path, std::move(sink), [&](const MpegVideoDecoder& decoder, const DecodedPlanes& frame) {
        first.width = frame.width;
        first.height = frame.height;
        first.pixels = FrameToRgbx(frame, decoder.OutputKernels());
    });
}

}  // namespace morvane
