// Texture and layer files come from anywhere: any bytes must be refused or
// read without harm, and whatever is read must write and read back to the
// same bytes.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "engine/TextureFile.h"

namespace {

void Check(bool condition)
{
    if (!condition) std::abort();
}

void RoundTrip(const uint8_t* data, size_t size, morvane::FileKind kind)
{
    using namespace morvane;
    const std::span<const uint8_t> bytes(data, size);
    const Result<Texture> first = ParseTextureFile(bytes, kind);
    Check(first.ok() != !first.error.empty());
    if (!first.ok()) return;
    const Texture& t = *first.value;
    Check(t.LayerCount() >= 1);

    if (kind == FileKind::Texture) {
        const std::vector<uint8_t> written = EncodeTextureFile(t);
        Check(written.size() == TextureFileSize(t));
        Check(written.size() <= size);  // trailing bytes are dropped, nothing is added
        const Result<Texture> second = ParseTextureFile(written, kind);
        Check(second.ok());
        Check(EncodeTextureFile(*second.value) == written);
    } else {
        Check(t.LayerCount() == 1);
        const std::vector<uint8_t> written = EncodeLayerFile(t.layers[0].layer);
        Check(written.size() == LayerBlockSize(t.layers[0].layer));
        const Result<Texture> second = ParseTextureFile(written, kind);
        Check(second.ok());
        Check(EncodeLayerFile(second.value->layers[0].layer) == written);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    RoundTrip(data, size, morvane::FileKind::Texture);
    RoundTrip(data, size, morvane::FileKind::Layer);
    return 0;
}
