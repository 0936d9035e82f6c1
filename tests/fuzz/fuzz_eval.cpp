// Texture evaluation of any layer contents: records as a file may carry
// them (any material, relief, blend mode, sizes, NaNs, huge scales), picture
// buffers of any length, gradients of any count.  Nothing may read outside
// its buffers or convert an out-of-range float to an integer.
#include <algorithm>
#include <cstdint>
#include <utility>
#include <cstring>
#include <vector>

#include "engine/Eval.h"
#include "engine/Noise.h"
#include "engine/Render.h"
#include "engine/Sphere.h"

using namespace morvane;

namespace {

class Reader {
public:
    Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    // Fills n bytes from the input, zeros once it is used up.
    void Bytes(void* out, size_t n)
    {
        const size_t take = std::min(n, size_ - at_);
        if (take > 0) std::memcpy(out, data_ + at_, take);
        std::memset(static_cast<uint8_t*>(out) + take, 0, n - take);
        at_ += take;
    }
    template <class T>
    T Get()
    {
        T v;
        Bytes(&v, sizeof v);
        return v;
    }
    bool Done() const { return at_ >= size_; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    NoiseInit();
    Reader in(data, size);
    Texture t;
    const int layers = 1 + in.Get<uint8_t>() % 4;
    for (int i = 0; i < layers; ++i) {
        LayerSlot s;
        in.Bytes(&s.layer.rec, sizeof s.layer.rec);
        s.blendCoef = in.Get<float>();
        s.blendMode = in.Get<int8_t>();
        in.Bytes(&s.colorKey, sizeof s.colorKey);
        s.orientation = in.Get<float>();
        s.reliefOrientation = in.Get<float>();
        const uint16_t pixels = in.Get<uint16_t>();
        std::vector<uint8_t> picture(pixels % 4096);
        for (size_t k = 0; k < picture.size(); ++k) picture[k] = static_cast<uint8_t>(k * 37 + i);
        s.layer.SetPicture(s.layer.rec.width, s.layer.rec.height, std::move(picture));
        if (in.Get<uint8_t>() & 1) {
            Gradient g;
            g.head.count = in.Get<int16_t>();
            for (GradientEntry& e : g.entries) {
                e.start = in.Get<float>();
                e.end = in.Get<float>();
                e.startR = in.Get<float>();
                e.endR = in.Get<float>();
            }
            s.layer.gradient = g;
        }
        t.layers.push_back(std::move(s));
    }

    float colour[3];
    EvalContext ctx;
    const int32_t mode = in.Get<int8_t>();
    const int32_t current = in.Get<int8_t>();
    for (int k = 0; k < 8; ++k) {
        const float u = in.Done() ? k * 0.13f : in.Get<float>();
        const float v = in.Done() ? k * 0.29f : in.Get<float>();
        EvalTexture(u, v, t, colour, mode, current, ctx);
        const Gradient& g = t.layers[0].layer.gradient ? *t.layers[0].layer.gradient : Gradient{};
        GradientLookup(colour, g, u);
    }

    // The same texture prepared and rendered small, and every layer shown
    // on the picker's sphere (whose table is all zero here).
    PrepareForRender(t);
    RenderOptions o;
    o.threads = 1;
    (void)RenderImage(t, 5, 3, mode, current, true, o);
    uint8_t preview[4 * 4 * 4];
    RenderLayerPreview(t.layers[0].layer, 4, 4, preview, 16);
    static const SphereTable zeroTable;
    SphereShader shader;
    shader.ShadeRows(zeroTable, t.layers[0].layer.rec, [](int) {});
    return 0;
}
