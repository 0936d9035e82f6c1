// Front end of the MPEG video decoder, as the movie sources, playback and
// the export use it.  Input is a bare MPEG-1 or MPEG-2 video elementary
// stream (no systems layer), 4:2:0.
//
// Two ways of use:
//   - frame by frame into memory: mpeg_open_input, then mpeg_decode_frame
//     with n = 0, 1, 2, ... (call n leaves display frame n in
//     DecodedFrameBuffer, or an empty buffer after the last frame), then
//     mpeg_close_input;
//   - one pass over the whole file: mpeg_decode_to_frames writes the first
//     frame as "mpeg0000.tga" in the given folder (the caller passes the
//     working folder) and counts the frames (decodedFrameCount; a pair of
//     field pictures counts one); mpeg_decode_first_frame makes the same
//     pass but keeps the first frame in memory.
//
// The decoder state is process-wide and used from one thread.  Messages
// go to the sink the caller hands in (codec/DecoderMessages.h; stderr when
// it is empty): the open input keeps its sink until it is closed.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "codec/DecoderMessages.h"

namespace morvane {

// The last frame delivered by mpeg_decode_frame: width x height pixels of
// 4 bytes (red, green, blue, a spare byte set to 0), top row first, rows
// packed.  Empty when no frame was delivered.  The caller may take the
// pixels (std::move); every call replaces them.
struct DecodedFrame {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;

    bool empty() const { return pixels.empty(); }
};
extern DecodedFrame DecodedFrameBuffer;

// Complete frames decoded so far in the current file.
extern int decodedFrameCount;

// Back to the start-up options; the next stream starts as MPEG-1.
void mpeg_reset_decoder();

// 0: opened; 1: not opened, after the alert "Input file <path>not found"
// (or, for what is not a regular file of at most kMaxInputFileSize bytes,
// "Unable to read the movie" and the reason).
int mpeg_open_input(const std::string& path, DecoderMessageSink sink = {});

// Leaves display frame n of the open file in DecodedFrameBuffer (empty past
// the end of the stream, or when no file is open).  Calls normally come in
// order n = 0, 1, 2, ...; a lower n than the last one starts the file
// again, a higher one skips the frames between.  Always 0.
int mpeg_decode_frame(const std::string& path, int n);

void mpeg_close_input();

// Decodes the whole file, writes its first frame as "mpeg0000.tga" in
// `folder` and sets decodedFrameCount.  0 after the file was read (also
// when it held no picture); 1 when it could not be opened (after the
// alert).
int mpeg_decode_to_frames(const std::string& path, const std::filesystem::path& folder,
                          DecoderMessageSink sink = {});

// The same pass as mpeg_decode_to_frames, with the first frame left in
// `first` (empty when the file holds no picture) instead of a file.
int mpeg_decode_first_frame(const std::string& path, DecodedFrame& first, DecoderMessageSink sink = {});

// The name of frame `number` in `folder`: "mpeg%04d.tga".
std::filesystem::path DecodedFrameFileName(const std::filesystem::path& folder, int number);

}  // namespace morvane
