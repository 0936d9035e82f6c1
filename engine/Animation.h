// Key-frame animation of a layer: the keys' insertion and removal, loading a
// key into its layer, the interpolation of a layer between its keys, and
// the frame times and counts of playback and of the movie export.
//
// A layer's keys are `layer.keys`; `rec.keyCount` is kept equal to their
// number by every function here.  Key times are fractions 0..1 of the
// layer's `duration`; key k's fields mirror the layer's animated fields
// (MirroredFields in engine/Records.h) and each key owns its gradient.
//
// Frames.  Playback and the movie export take frame i at the time
// FrameTime(i, duration, fps), computed afresh for every frame, so a frame
// played and a frame exported at the same index show the same texture.
// Time runs at kFramesPerSecond; only the NTSC movie counts
// kNtscFramesPerSecond.
#pragma once

#include "engine/Records.h"

namespace morvane {

constexpr int kFramesPerSecond = 25;
constexpr int kNtscFramesPerSecond = 30;

// The number of keys that really exist: the smaller of the record's count
// and the keys held, never below 0.  Every key index is checked against it.
int KeyCount(const Layer& layer);

// Inserts after key `current` a copy of it (same fields and time, a
// gradient of its own).  Returns the index of the copy, which becomes the
// current key, or -1 (nothing changed) when `current` is not a key.
int InsertKey(Layer& layer, int current);

// Removes key `current` when more than two keys exist.  Returns the new
// current key (the one before the removed key, or 0), or -1 (nothing
// changed) when the key does not exist or only two are left.
int DeleteKey(Layer& layer, int current);

// Copies key k's animated fields (MirroredFields) and the positions and
// colours of its gradient entries into the layer; the layer keeps its own
// gradient table, material, relief, size, picture and animation fields.
// Returns false (nothing changed) when k is not a key.
bool LoadKeyIntoLayer(Layer& layer, int k);

struct InterpolationOptions {
    // The last frame of a playback: taken from the last segment when the
    // time lies at or past that segment's first key.
    bool lastFrame = false;
    // The relief detail follows the keys too (the time ramp's scrubbing);
    // playback and export leave the layer's own value.
    bool reliefDetail = false;
};

// Sets the layer's animated fields and the start and end colours of its
// gradient entries for the time t (a fraction of the duration) by linear
// interpolation between the two keys of the segment around t.  The
// segment ends at the first key, from key 1 on, whose time is at or after
// t; past the last key the last segment is used.  Times outside the
// segment extrapolate.  Integer fields are truncated toward zero and
// limited to their type's range; two keys at the same time give the
// earlier key's values.  With fewer than two keys nothing changes.
void InterpolateLayerAt(Layer& layer, float t, InterpolationOptions options = {});

// Which run of frames a count is for.
enum class FrameRun {
    // Playback: frames 0 .. trunc(duration) x fps, the last one included;
    // none when the duration is negative.
    Play,
    // The movie export: trunc(duration x fps) frames, at least 0.
    Movie,
};

int FrameCount(FrameRun run, float duration, int fps = kFramesPerSecond);

// The time of frame i as a fraction of the duration: i / (fps x duration),
// 0 for frame 0 and for a duration that is zero, negative or not finite.
float FrameTime(int i, float duration, int fps = kFramesPerSecond);

// The frame of a layer's movie picture, which counts kFramesPerSecond
// frames a second, shown in frame i of a run of fps frames a second: the
// movie frame begun by that frame's time, trunc(i x kFramesPerSecond / fps);
// 0 for i or fps not above 0.
int MovieFrameAt(int i, int fps = kFramesPerSecond);

}  // namespace morvane
