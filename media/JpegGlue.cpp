#include "media/JpegGlue.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>

// jpeglib.h needs FILE and size_t declared first.
#include <jerror.h>
#include <jpeglib.h>

#include "engine/SafeFile.h"
#include "engine/TextureFile.h"
#include "media/RowRenderer.h"

namespace morvane {

namespace {

// The library's error handler: an error jumps back to the Guarded call that
// was running, with the library's message kept for the result (and not
// written anywhere: whoever gets the result tells it); warnings and trace
// messages go to stderr.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void WriteMessage(j_common_ptr cinfo)
{
    char text[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, text);
    std::fprintf(stderr, "%s\n", text);
}

[[noreturn]] void ErrorExit(j_common_ptr cinfo)
{
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

void InstallErrorManager(ErrorManager& err)
{
    jpeg_std_error(&err.pub);
    err.pub.error_exit = ErrorExit;
    err.pub.output_message = WriteMessage;
    err.message[0] = '\0';
}

// Runs `call` (libjpeg calls only, nothing with a destructor); false when
// the library reported an error during it.
template <class Call>
bool Guarded(ErrorManager& err, Call&& call)
{
    if (setjmp(err.jump) != 0) return false;
    call();
    return true;
}

// ---------------------------------------------------------------------------
// Writing

// The compressed bytes go to the file through a buffer; a write error stops
// the library (the file keeps the reason).
struct Destination {
    jpeg_destination_mgr pub;
    ReplacingFile* file;
    JOCTET buffer[1 << 16];
};

void InitDestination(j_compress_ptr cinfo)
{
    auto* dest = reinterpret_cast<Destination*>(cinfo->dest);
    dest->pub.next_output_byte = dest->buffer;
    dest->pub.free_in_buffer = sizeof dest->buffer;
}

boolean EmptyOutputBuffer(j_compress_ptr cinfo)
{
    auto* dest = reinterpret_cast<Destination*>(cinfo->dest);
    if (!dest->file->Write(dest->buffer, sizeof dest->buffer)) ERREXIT(cinfo, JERR_FILE_WRITE);
    dest->pub.next_output_byte = dest->buffer;
    dest->pub.free_in_buffer = sizeof dest->buffer;
    return TRUE;
}

void TermDestination(j_compress_ptr cinfo)
{
    auto* dest = reinterpret_cast<Destination*>(cinfo->dest);
    const size_t used = sizeof dest->buffer - dest->pub.free_in_buffer;
    if (!dest->file->Write(dest->buffer, used)) ERREXIT(cinfo, JERR_FILE_WRITE);
}

}  // namespace

Result<> SaveTextureJpeg(const std::filesystem::path& path, const Texture& texture)
{
    auto failed = [&](const std::string& reason) { return Failure("Unable to save " + Quoted(path) + ".\n" + reason + "."); };
    if (texture.layers.empty()) return failed("The texture has no layers");
    const LayerRecord& first = texture.layers[0].layer.rec;
    const int width = StoredImageWidth(first);
    const int height = StoredImageHeight(first);
    if (width <= 0 || height <= 0) return failed("The image is empty");

    ReplacingFile file(path);
    if (!file.ok()) return failed(file.Error());

    ErrorManager err;
    jpeg_compress_struct cinfo;
    std::memset(&cinfo, 0, sizeof cinfo);
    cinfo.err = &err.pub;
    InstallErrorManager(err);
    auto dest = std::make_unique<Destination>();
    dest->pub.init_destination = InitDestination;
    dest->pub.empty_output_buffer = EmptyOutputBuffer;
    dest->pub.term_destination = TermDestination;
    dest->file = &file;

    struct Destroy {
        jpeg_compress_struct& cinfo;
        ~Destroy() { jpeg_destroy_compress(&cinfo); }
    } destroy{cinfo};
    bool ok = Guarded(err, [&] {
        jpeg_create_compress(&cinfo);
        cinfo.dest = &dest->pub;
        cinfo.image_width = static_cast<JDIMENSION>(width);
        cinfo.image_height = static_cast<JDIMENSION>(height);
        cinfo.input_components = 3;
        cinfo.in_color_space = JCS_RGB;
        jpeg_set_defaults(&cinfo);
        jpeg_set_quality(&cinfo, kJpegQuality, FALSE);
        jpeg_start_compress(&cinfo, TRUE);
    });

    // The top row first, as the view shows it: row r is the texture at
    // v = (height - 1 - r) / height.
    if (ok) {
        const std::vector<float> v = TopDownRows(height);
        ok = RenderRows(texture, width, v, PixelOrder::RedGreenBlue, [&](int, std::span<const uint8_t> pixels) {
            JSAMPROW row = const_cast<JSAMPROW>(pixels.data());
            return Guarded(err, [&] { jpeg_write_scanlines(&cinfo, &row, 1); });
        });
    }
    if (ok) ok = Guarded(err, [&] { jpeg_finish_compress(&cinfo); });

    if (!ok) return failed(file.ok() ? std::string(err.message) : file.Error());
    const Result<> committed = file.Commit();
    if (!committed.ok()) return failed(committed.error);
    return {};
}

// ---------------------------------------------------------------------------
// Reading

namespace {

// Called by the library while it reads a file's scans: a file of many tiny
// scans would have the whole picture worked over again for each.  The
// decode ends with our own reason, through the same jump as the library's
// errors (so nothing here may need a destructor).
void CountScans(j_common_ptr cinfo)
{
    if (reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxJpegScans) {
        auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
        std::snprintf(err->message, sizeof err->message, "The picture has more than %d scans", kMaxJpegScans);
        std::longjmp(err->jump, 1);
    }
}

// Decodes the JPEG data that `attach` hands to the library (the library's
// data source).  The picture's declared size is checked against the
// limits before anything is decoded, and the library's own memory (the
// coefficients of a progressive picture) is bounded by the same limit.
template <class Attach>
Result<JpegImage> Decode(Attach attach, uint64_t maxBytes)
{
    JpegImage image;
    ErrorManager err;
    jpeg_decompress_struct cinfo;
    std::memset(&cinfo, 0, sizeof cinfo);
    cinfo.err = &err.pub;
    InstallErrorManager(err);
    jpeg_progress_mgr progress{};
    progress.progress_monitor = CountScans;

    // The library's memory goes whichever way this ends, memory that runs
    // out for the picture included.
    struct Destroy {
        jpeg_decompress_struct& cinfo;
        ~Destroy() { jpeg_destroy_decompress(&cinfo); }
    } destroy{cinfo};
    bool ok = Guarded(err, [&] {
        jpeg_create_decompress(&cinfo);
        cinfo.mem->max_memory_to_use = static_cast<long>(std::min<uint64_t>(kJpegMemoryPerPictureByte * maxBytes, LONG_MAX));
        cinfo.progress = &progress;
        attach(&cinfo);
        jpeg_read_header(&cinfo, TRUE);
    });
    std::string refusal;
    if (ok) {
        if (cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK) {
            refusal = "CMYK pictures are not supported";
        } else if (Result<> size = CheckPictureSize(cinfo.image_width, cinfo.image_height, maxBytes); !size.ok()) {
            refusal = size.error;
        } else {
            const bool grey = cinfo.jpeg_color_space == JCS_GRAYSCALE;
            cinfo.out_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
            ok = Guarded(err, [&] { jpeg_start_decompress(&cinfo); });
        }
    }
    if (ok && refusal.empty()) {
        const int w = static_cast<int>(cinfo.output_width);
        const int h = static_cast<int>(cinfo.output_height);
        const int components = cinfo.output_components;
        if (components != 1 && components != 3) {
            refusal = "Its colour format is not supported";
        } else {
            image.width = w;
            image.height = h;
            image.pixels.assign(static_cast<size_t>(w) * static_cast<size_t>(h) * 4, 0);
            std::vector<uint8_t> line(static_cast<size_t>(w) * static_cast<size_t>(components));
            // The file's top row is the last row in memory.
            for (int k = 0; ok && k < h; ++k) {
                JSAMPROW row = line.data();
                ok = Guarded(err, [&] { jpeg_read_scanlines(&cinfo, &row, 1); });
                if (!ok) break;
                uint8_t* dst = image.pixels.data() + static_cast<size_t>(h - 1 - k) * static_cast<size_t>(w) * 4;
                const uint8_t* src = line.data();
                for (int x = 0; x < w; ++x, dst += 4, src += components) {
                    const uint8_t red = src[0];
                    const uint8_t green = components == 3 ? src[1] : src[0];
                    const uint8_t blue = components == 3 ? src[2] : src[0];
                    dst[0] = blue;
                    dst[1] = green;
                    dst[2] = red;
                }
            }
            if (ok) ok = Guarded(err, [&] { jpeg_finish_decompress(&cinfo); });
        }
    }

    if (refusal.empty() && !ok) {
        const bool outOfMemory = err.pub.msg_code == JERR_NO_BACKING_STORE || err.pub.msg_code == JERR_OUT_OF_MEMORY;
        refusal = outOfMemory ? "Decoding the picture would take more memory than this program allows" : err.message;
    }
    if (!refusal.empty()) return Failure(refusal);
    return image;
}

}  // namespace

Result<JpegImage> DecodeJpegImage(std::span<const uint8_t> bytes, uint64_t maxBytes)
{
    if (bytes.empty()) return Failure("The file is empty");
    return Decode([&](j_decompress_ptr cinfo) { jpeg_mem_src(cinfo, bytes.data(), static_cast<unsigned long>(bytes.size())); },
                  maxBytes);
}

Result<JpegImage> LoadJpegImage(const std::filesystem::path& path)
{
    auto failed = [&](const std::string& reason) {
        return Failure("Unable to read the JPEG picture " + Quoted(path) + ".\n" + reason + ".");
    };

    // The file is read as the library asks for it, never whole.
    InputFile in(path);
    if (!in.ok()) return failed(in.Error());
    if (in.Size() == 0) return failed("The file is empty");
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> stream(in.TakeStream(), std::fclose);
    if (!stream) return failed(std::strerror(errno));
    Result<JpegImage> result =
        Decode([&](j_decompress_ptr cinfo) { jpeg_stdio_src(cinfo, stream.get()); }, kMaxPictureBytes);
    if (!result.ok()) return failed(result.error);
    return result;
}

}  // namespace morvane
