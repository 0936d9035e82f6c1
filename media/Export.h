// Save As: the texture written in the format its file name's extension
// asks for.  The program's own texture and layer files, the parameter file
// of Tarnvale 3D (".tpr"), still pictures (TGA, the bitmap dump ".bmp",
// JPEG) and movies (MPEG-1 ".mpg", MPEG-2 ".m2v", AVI, FLI) of the
// animation of the texture's first layer.
//
// Every picture and movie shows the texture as the view shows it (all
// layers), at the render size: the width x height of the first layer.
//
// A movie is rendered frame by frame into numbered frame files ("mpeg0000"
// and up: PPM frames for MPEG, TGA frames for AVI and FLI) in a private
// folder made for the export, then turned into the movie, and the frame
// files are removed, also after a failure.  Frame i shows the first layer
// interpolated between its keys at FrameTime(i) (engine/Animation.h), and
// the frame of its movie for that time when its picture is one
// (MovieFrameAt, media/MovieSource.h); the
// layer is restored whole afterwards.
//
// Every file is written through a temporary file and renamed into place
// only when complete: a failure leaves nothing at the chosen path.  A movie
// is refused before its first frame is rendered when anything known
// beforehand would refuse it later: its size, its length, the limits of
// its format, a named pipe or a device as the place of an AVI or FLI movie
// (an MPEG stream can flow into a pipe), the room for its frames and for
// itself (an MPEG stream's size from its bit rate and length).
//
// This code asks nothing of the user itself: the MPEG-2 video format and
// the AVI compressor come from the ExportHost, which also hears of the
// frames' progress (the editor shows it in its status bar and panels;
// tools/texturetool takes the answers from its options).
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "engine/Records.h"
#include "engine/Result.h"
#include "media/MovieWriters.h"

namespace morvane {

enum class ExportFormat { Texture, Layer, Tpr, Tga, Bmp, Jpeg, Mpeg1, Mpeg2, Avi, Fli, None };

// The largest side of a picture or movie saved (what the Free Format
// dialog allows), and the longest animation made into a movie (what the
// key-frame panel allows).
constexpr int kLargestPictureSide = 65500;
constexpr float kLongestMovieSeconds = 1000.0f;

// The format of a chosen name: the text after the last "." of its file
// name, compared without regard to case with "zyv", "kvo", "tpr", "tga",
// "bmp", "jpg", "mpg", "m2v", "avi" and "fli"; None for anything else.
ExportFormat ExportFormatOf(const std::filesystem::path& path);

class ExportHost {
public:
    virtual ~ExportHost() = default;

    // The video format of an MPEG-2 movie: 0 PAL, 1 NTSC, 2 SECAM, asked
    // with `preselected` chosen; nullopt when the user cancels.
    virtual std::optional<int> AskVideoFormat(int preselected) = 0;
    // The compression of an AVI movie; nullopt when the user cancels.
    virtual std::optional<AviSettings> ChooseCompressor() = 0;

    // A short text of what is being done: the name of the frame file being
    // written, or a movie writer's step (the editor's status bar).
    virtual void ShowStatus(const std::string& text) { (void)text; }
    // Rows of the frame done so far, 0..1000.
    virtual void FrameProgress(int permille) { (void)permille; }
    // The frame is written; `seconds` is its time in the animation.
    virtual void FrameFinished(float seconds) { (void)seconds; }
    // Every frame is written; the animation has `duration` seconds.
    virtual void FramesFinished(float duration) { (void)duration; }
};

struct ExportRequest {
    std::filesystem::path path;
    // The layer that the layer file and the parameter file take (1-based);
    // out of range means the first.
    int currentLayer = 1;
};

// What an export gives back.  Besides written or failed (the two a Result
// tells), the user may have said no to a question, and a name may have no
// known extension; the last carries its message in `error`, as a failure
// does.
struct ExportResult {
    enum Outcome {
        Written,    // the file is complete at the chosen path
        Cancelled,  // the user said no to a question; nothing written
        Ignored,    // not one of the extensions; nothing written, `error` names them
        Failed,     // nothing written; `error` says why
    };
    Outcome outcome = Ignored;
    ExportFormat format = ExportFormat::None;
    std::string error;  // whole sentences naming the file (Failed, Ignored)

    bool written() const { return outcome == Written; }
};

// Writes `texture` to request.path.  Pictures and movies prepare the
// texture for rendering first (every layer's light direction becomes a unit
// vector, as when the view draws it); nothing else in it changes.
ExportResult ExportTexture(Texture& texture, const ExportRequest& request, ExportHost& host);

// The first layer set to its animation at `seconds` (interpolated between
// its keys when it is animated, and the frame of its movie at that time
// when its picture is a movie), as the movie frame of that time shows it.
void SetAnimationTime(Texture& texture, float seconds);

// The prepared texture as a binary PPM picture of width x height pixels,
// the top row first, exactly as the view shows it (the frames of an MPEG
// movie are these pictures).  Refused with the message.
Result<> WriteViewPicture(const std::filesystem::path& path, const Texture& texture, int width, int height);

// The number of frames of a movie of `format`: the first layer's duration
// times 25 (times 30 for an MPEG-2 movie in NTSC), truncated.
int MovieFrameCount(const Texture& texture, int videoFormat);

}  // namespace morvane
