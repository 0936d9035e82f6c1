#include "engine/Animation.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "engine/FloatInt.h"

namespace morvane {

int KeyCount(const Layer& layer)
{
    const int32_t recorded = layer.rec.keyCount;
    const size_t held = layer.keys.size();
    if (recorded <= 0) return 0;
    return static_cast<int>(std::min<size_t>(static_cast<size_t>(recorded), held));
}

int InsertKey(Layer& layer, int current)
{
    if (current < 0 || current >= KeyCount(layer)) return -1;
    // Keys past the record's count (never written to a file) go first, so
    // that the count and the keys agree again.
    layer.keys.resize(static_cast<size_t>(KeyCount(layer)));
    Keyframe copy = layer.keys[static_cast<size_t>(current)];
    copy.gradient.head = Gradient{}.head;
    layer.keys.insert(layer.keys.begin() + current + 1, std::move(copy));
    layer.rec.keyCount = static_cast<int32_t>(layer.keys.size());
    return current + 1;
}

int DeleteKey(Layer& layer, int current)
{
    const int count = KeyCount(layer);
    if (count <= 2 || current < 0 || current >= count) return -1;
    layer.keys.resize(static_cast<size_t>(count));
    layer.keys.erase(layer.keys.begin() + current);
    layer.rec.keyCount = static_cast<int32_t>(layer.keys.size());
    return current > 0 ? current - 1 : 0;
}

bool LoadKeyIntoLayer(Layer& layer, int k)
{
    if (k < 0 || k >= KeyCount(layer)) return false;
    LoadKey(layer.keys[static_cast<size_t>(k)], layer);
    return true;
}

namespace {

float Lerp(float a, float b, float e) { return a + e * (b - a); }

template <class Int>
Int LerpTruncated(Int a, Int b, float e)
{
    // The difference of two 32-bit values needs more bits; in single
    // precision as the other fields, then truncated into the field's range.
    const auto diff = static_cast<float>(static_cast<int64_t>(b) - static_cast<int64_t>(a));
    return SatTrunc<Int>(static_cast<float>(a) + e * diff);
}

}  // namespace

void InterpolateLayerAt(Layer& layer, float t, InterpolationOptions options)
{
    const int count = KeyCount(layer);
    if (count < 2 || !std::isfinite(t)) return;

    int n = count - 2;  // past the last key: the last segment
    for (int k = 1; k < count; ++k) {
        if (layer.keys[static_cast<size_t>(k)].rec.time >= t) {
            n = k - 1;
            break;
        }
    }
    if (options.lastFrame && t >= layer.keys[static_cast<size_t>(count - 2)].rec.time) n = count - 2;

    const Keyframe& a = layer.keys[static_cast<size_t>(n)];
    const Keyframe& b = layer.keys[static_cast<size_t>(n) + 1];
    const float ta = a.rec.time;
    const float tb = b.rec.time;
    float e = (t - ta) / (tb - ta);
    if (!std::isfinite(e)) e = 0.0f;  // keys at one time: the earlier key

    for (const MirroredField& f : MirroredFields()) {
        switch (f.type) {
        case FieldType::Float:
            WriteField(layer.rec, f.layerOffset,
                       Lerp(ReadField<float>(a.rec, f.keyOffset), ReadField<float>(b.rec, f.keyOffset), e));
            break;
        case FieldType::Int16:
            WriteField(layer.rec, f.layerOffset,
                       LerpTruncated(ReadField<int16_t>(a.rec, f.keyOffset), ReadField<int16_t>(b.rec, f.keyOffset), e));
            break;
        case FieldType::Int32:
            if (options.reliefDetail) {
                WriteField(layer.rec, f.layerOffset,
                           LerpTruncated(ReadField<int32_t>(a.rec, f.keyOffset), ReadField<int32_t>(b.rec, f.keyOffset), e));
            }
            break;
        }
    }

    if (!layer.gradient) return;
    for (int j = 0; j < kGradientEntries; ++j) {
        const GradientEntry& ga = a.gradient.entries[j];
        const GradientEntry& gb = b.gradient.entries[j];
        GradientEntry& g = layer.gradient->entries[j];
        g.startR = Lerp(ga.startR, gb.startR, e);
        g.startG = Lerp(ga.startG, gb.startG, e);
        g.startB = Lerp(ga.startB, gb.startB, e);
        g.endR = Lerp(ga.endR, gb.endR, e);
        g.endG = Lerp(ga.endG, gb.endG, e);
        g.endB = Lerp(ga.endB, gb.endB, e);
    }
}

int FrameCount(FrameRun run, float duration, int fps)
{
    if (run == FrameRun::Movie) return std::max(0, SatTrunc(duration * static_cast<float>(fps)));
    const int64_t last = static_cast<int64_t>(SatTrunc(duration)) * fps;
    if (last < 0) return 0;
    return static_cast<int>(std::min<int64_t>(last + 1, std::numeric_limits<int>::max()));
}

float FrameTime(int i, float duration, int fps)
{
    const double span = static_cast<double>(fps) * static_cast<double>(duration);
    if (i <= 0 || !(span > 0.0) || !std::isfinite(span)) return 0.0f;
    return static_cast<float>(static_cast<double>(i) / span);
}

int MovieFrameAt(int i, int fps)
{
    if (i <= 0 || fps <= 0) return 0;
    return static_cast<int>(static_cast<int64_t>(i) * kFramesPerSecond / fps);
}

}  // namespace morvane
