// The picture colour patterns: materials 25 ("Perturbed Image") to 35
// ("Swirled Image").  Each turns the point back into picture coordinates,
// displaces them and samples the layer's picture, mirrored on every other
// repeat.  They never read the gradient.
#include <algorithm>
#include <cmath>

#include "engine/PatternsInternal.h"

namespace morvane::patterns {

void PictureSample(const Layer& layer, float px, float py, float out[3])
{
    if (!layer.HasPicture()) return;
    const int width = layer.picture->width, height = layer.picture->height;
    if (!std::isfinite(px) || !std::isfinite(py)) return;

    px = std::fabs(px);
    py = std::fabs(py);
    const float fx = FracFloor(px);
    const float fy = FracFloor(py);
    const float cx = TruncIsOdd(px) ? 1.0f - fx : fx;
    const float cy = TruncIsOdd(py) ? 1.0f - fy : fy;
    const int column = std::clamp(SatTrunc(static_cast<float>(width - 1) * cx), 0, width - 1);
    const int row = std::clamp(SatTrunc(static_cast<float>(height) * cy), 0, height - 1);

    const uint8_t* p = layer.picture->pixels.data() + (static_cast<size_t>(row) * width + column) * 4u;
    Add(out, p[0] * 0.003921569f, p[1] * 0.003921569f, p[2] * 0.003921569f);
}

namespace {

// The base picture coordinates: the point with the layer's scale and offset
// undone.  False where a scale of 0 leaves no picture coordinate.
bool BaseCoordinates(float x, float y, const LayerRecord& r, float& bx, float& by)
{
    const float sx = r.scaleX, sy = r.scaleY;
    if (sx == 0.0f || sy == 0.0f) return false;
    bx = x / sx - r.offsetX;
    by = y / sy - r.offsetY;
    return true;
}

// "Ripples Image" and "Waves Image": the picture moved by the waves around
// the first `detail` sources.
template <bool Scaled>
void WaveImage(float x, float y, float z, const Layer& layer, float out[3])
{
    float bx, by;
    if (!BaseCoordinates(x, y, layer.rec, bx, by)) return;
    const LayerRecord& r = layer.rec;
    const float t = r.turbulence, frequency = r.frequency, phase = r.phase;
    float d[3] = {0.0f, 0.0f, 0.0f};
    SumWaves(
        x, y, z, WaveSourceCount(LimitedDetail(r)),
        [&](int i, float dist) {
            if constexpr (Scaled) {
                const float f = WaveScales[i];
                return TableSin(dist * frequency * f + phase) * t / f / dist * 0.05f;
            } else {
                return TableSin(dist * frequency + phase) * t / dist * 0.05f;
            }
        },
        d);
    PictureSample(layer, bx + t * d[0], by + t * d[1], out);
}

}  // namespace

// 25 "Perturbed Image"
void MaterialPerturbedImage(float x, float y, float z, const Layer& layer, float out[3], EvalContext&)
{
    float bx, by;
    if (!BaseCoordinates(x, y, layer.rec, bx, by)) return;
    const float t = layer.rec.turbulence;
    float v[3];
    VNoise3(v, x, y, z);
    PictureSample(layer, bx + t * v[0], by + t * v[1], out);
}

// 26 "Ripples Image"
void MaterialRipplesImage(float x, float y, float z, const Layer& layer, float out[3], EvalContext&)
{
    WaveImage<false>(x, y, z, layer, out);
}

// 27 "Waves Image"
void MaterialWavesImage(float x, float y, float z, const Layer& layer, float out[3], EvalContext&)
{
    WaveImage<true>(x, y, z, layer, out);
}

// 28 "Dents Image"
void MaterialDentsImage(float x, float y, float z, const Layer& layer, float out[3], EvalContext&)
{
    float bx, by;
    if (!BaseCoordinates(x, y, layer.rec, bx, by)) return;
    const float t = layer.rec.turbulence;
    const float n = Noise3(x, y, z);
    const float k = n * n * n * t;
    float v[3];
    VNoise3(v, x, y, z);
    PictureSample(layer, bx + t * (k * v[0]), by + t * (k * v[1]), out);
}

// 29 "Wrinkles Image"
void MaterialWrinklesImage(float x, float y, float z, const Layer& layer, float out[3], EvalContext&)
{
    float bx, by;
    if (!BaseCoordinates(x, y, layer.rec, bx, by)) return;
    const LayerRecord& r = layer.rec;
    const FbmParams f = FbmOf(r);
    float a[3];
    VNoise3(a, x, y, z);
    float frequency = f.lacunarity;
    float amplitude = f.omega;
    for (int i = 1; i < f.detail; ++i) {
        float v[3];
        VNoise3(v, frequency * x, frequency * y, frequency * z);
        a[0] += std::fabs(amplitude * v[0]);
        a[1] += std::fabs(amplitude * v[1]);
        a[2] += std::fabs(amplitude * v[2]);
        frequency *= f.lacunarity;
        amplitude *= f.omega;
    }
    const float t = r.turbulence;
    PictureSample(layer, bx + t * a[0], by + t * a[1], out);
}

// 30 "Quilted Image"
void MaterialQuiltedImage(float x, float y, float, const Layer& layer, float out[3], EvalContext&)
{
    float bx, by;
    if (!BaseCoordinates(x, y, layer.rec, bx, by)) return;
    const float t = layer.rec.turbulence;
    const float fx = x - static_cast<float>(CellIndex(x)) - 0.5f;
    const float fy = y - static_cast<float>(CellIndex(y)) - 0.5f;
    const float u = QuiltCell(std::sqrt(fx * fx + 2.0f * fy * fy), 0.1f * t, 0.2f * t);
    PictureSample(layer, bx + t * u * fx, by + t * u * fy, out);
}

// 31 "Marble Image": moves the picture along x only.
void MaterialMarbleImage(float x, float y, float z, const Layer& layer, float out[3], EvalContext&)
{
    float bx, by;
    if (!BaseCoordinates(x, y, layer.rec, bx, by)) return;
    const float m = TriangleWave(layer.rec.turbulence * FbmAt(x, y, z, FbmOf(layer.rec)) + x);
    PictureSample(layer, bx + m, by, out);
}

// 32 "Wood Image"
void MaterialWoodImage(float x, float y, float z, const Layer& layer, float out[3], EvalContext&)
{
    float bx, by;
    if (!BaseCoordinates(x, y, layer.rec, bx, by)) return;
    const FbmParams f = FbmOf(layer.rec);
    const float t = layer.rec.turbulence;
    float d[3];
    VFbm(d, x, y, z, f.detail, f.lacunarity, f.omega);
    PictureSample(layer, bx + TableSin((d[0] + x) * t), by + TableSin((d[1] + y) * t), out);
}

// 33 "Leopard Image": the offset is taken off before the division here;
// sines in radians.
void MaterialLeopardImage(float x, float y, float z, const Layer& layer, float out[3], EvalContext&)
{
    const LayerRecord& r = layer.rec;
    const float sx = r.scaleX, sy = r.scaleY;
    if (sx == 0.0f || sy == 0.0f) return;
    const float t = r.turbulence;
    float xd = x, yd = y;
    if (t != 0.0f) {
        const FbmParams f = FbmOf(r);
        float d[3];
        VFbm(d, x, y, z, f.detail, f.lacunarity, f.omega);
        xd = x + t * d[0];
        yd = y + t * d[1];
    }
    const float px = static_cast<float>((x - r.offsetX) / sx + std::sin(static_cast<double>(xd)));
    const float py = static_cast<float>((y - r.offsetY) / sy + std::sin(static_cast<double>(yd)));
    PictureSample(layer, px, py, out);
}

// 34 "Onion Image"
void MaterialOnionImage(float x, float y, float z, const Layer& layer, float out[3], EvalContext&)
{
    float bx, by;
    if (!BaseCoordinates(x, y, layer.rec, bx, by)) return;
    const FbmParams f = FbmOf(layer.rec);
    const float t = layer.rec.turbulence;
    float d[3];
    VFbm(d, x, y, z, f.detail, f.lacunarity, f.omega);
    const float px = x + t * d[0], py = y + t * d[1], pz = z + t * d[2];
    const float s = t * std::fmod(std::sqrt(px * px + py * py + pz * pz), 1.0f);
    PictureSample(layer, bx + s, by + s, out);
}

// 35 "Swirled Image": ten octaves of noise at the vector noise of the
// point (which is the same in every octave).
void MaterialSwirledImage(float x, float y, float z, const Layer& layer, float out[3], EvalContext&)
{
    float bx, by;
    if (!BaseCoordinates(x, y, layer.rec, bx, by)) return;
    float v[3];
    VNoise3(v, x, y, z);
    float a = 0.0f;
    float f = 1.0f;
    for (int i = 0; i < 10; ++i) {
        const float k = 4.0f * f;
        a += std::fabs(Noise3(k * v[0], k * v[1], k * v[2])) / f;
        f *= 2.0f;
    }
    const float t = layer.rec.turbulence;
    PictureSample(layer, bx + t * a, by + t * a, out);
}

}  // namespace morvane::patterns
