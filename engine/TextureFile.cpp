#include "engine/TextureFile.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cstring>
#include <utility>

#include "engine/SafeFile.h"

static_assert(std::endian::native == std::endian::little, "the file records are little-endian byte images");

namespace morvane {

namespace {

// Files larger than this are neither read nor written.
constexpr uint64_t kMaxFileSize = uint64_t(1) << 31;

// ---------------------------------------------------------------------------
// Reading

class ByteReader {
public:
    explicit ByteReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    uint64_t Left() const { return bytes_.size() - pos_; }

    // Copies the next `size` bytes; the caller has checked Left().
    void Take(void* out, size_t size)
    {
        std::memcpy(out, bytes_.data() + pos_, size);
        pos_ += size;
    }
    template <class T>
    void Take(T& out)
    {
        Take(&out, sizeof out);
    }

private:
    std::span<const uint8_t> bytes_;
    uint64_t pos_ = 0;
};

// The head's count and reserved bytes as stored; the entries slot is a
// pointer and is not kept.
void TakeGradient(ByteReader& in, Gradient& g)
{
    GradientTable head;
    in.Take(head);
    g.head.count = head.count;
    g.head.entries = 0;
    std::memcpy(g.head.reserved, head.reserved, sizeof head.reserved);
    in.Take(g.entries.data(), sizeof(GradientEntry) * kGradientEntries);
}

// Reads `count` key blocks; the caller has checked the bytes.  The head of
// a key's gradient is kept as stored too (nothing reads a key's count: a
// key lends the layer its 24 entries), so that it is written back as read.
void TakeKeys(ByteReader& in, uint64_t count, std::vector<Keyframe>& keys)
{
    keys.assign(static_cast<size_t>(count), Keyframe{});
    for (Keyframe& key : keys) {
        in.Take(key.rec);
        key.rec.gradient = 0;
        TakeGradient(in, key.gradient);
    }
}

// An animated layer stores keyCount key blocks; a negative count cannot
// describe any file, so such a layer is refused rather than read as one
// without keys (which would be written back as a file the format forbids).
// The message says what the layer is.
Result<> CheckKeyCount(const LayerRecord& rec)
{
    const int32_t animated = rec.animated;
    const int32_t count = rec.keyCount;
    if (animated == 0 || count >= 0) return {};
    return Failure("animated with a negative key count (" + std::to_string(count) + ")");
}

void ClearPointers(LayerRecord& rec)
{
    rec.gradient = 0;
    rec.keys = 0;
    rec.pixels = 0;
}

std::string LayerName(int64_t index) { return "layer " + std::to_string(index + 1); }

// Whether a texture file of `fileSize` bytes that begins with `head` can be
// read; the message says why not.
Result<> CheckTextureHead(std::span<const uint8_t> head, uint64_t fileSize)
{
    if (head.size() < kTextureHeadSize || fileSize < kTextureHeadSize) {
        return Failure("The file is shorter than a texture head");
    }
    TextureRecord record;
    std::memcpy(&record, head.data(), sizeof record);
    const int64_t n = record.layerCount;
    if (n < 1) return Failure("Its layer count (" + std::to_string(n) + ") is below 1");
    // Every layer needs its five array entries and at least one layer block.
    if ((fileSize - kTextureHeadSize) / (kPerLayerArraysSize + kLayerBlockSize) < static_cast<uint64_t>(n)) {
        return Failure("The file is too short for its " + std::to_string(n) + " layers");
    }
    return {};
}

Result<Texture> ParseTexture(std::span<const uint8_t> bytes)
{
    if (Result<> head = CheckTextureHead(bytes, bytes.size()); !head.ok()) return Failure(std::move(head.error));
    ByteReader in(bytes);
    TextureRecord head;
    in.Take(head);
    const int64_t n = head.layerCount;

    Texture t;
    std::memcpy(t.reserved.data(), head.reserved, sizeof head.reserved);
    t.layers.resize(static_cast<size_t>(n));
    for (LayerSlot& s : t.layers) in.Take(s.blendCoef);
    for (LayerSlot& s : t.layers) in.Take(s.blendMode);
    for (LayerSlot& s : t.layers) in.Take(s.orientation);
    for (LayerSlot& s : t.layers) in.Take(s.reliefOrientation);
    for (LayerSlot& s : t.layers) in.Take(s.colorKey);

    for (int64_t i = 0; i < n; ++i) {
        const uint64_t later = static_cast<uint64_t>(n - 1 - i) * kLayerBlockSize;
        if (in.Left() < kLayerBlockSize + later) return Failure("The file ends inside " + LayerName(i));
        Layer& layer = t.layers[static_cast<size_t>(i)].layer;
        in.Take(layer.rec);
        ClearPointers(layer.rec);
        if (Result<> keys = CheckKeyCount(layer.rec); !keys.ok()) {
            return Failure("Its " + LayerName(i) + " is " + keys.error);
        }
        layer.gradient.emplace();
        TakeGradient(in, *layer.gradient);

        const uint64_t keys = StoredKeyCount(layer.rec);
        // Compared by division so that no product can overflow.
        if ((in.Left() - later) / kKeyBlockSize < keys) {
            return Failure("The file ends inside the key frames of " + LayerName(i));
        }
        TakeKeys(in, keys, layer.keys);
    }
    return t;
}

// Whether the bytes are a whole texture file: a texture that reads and
// ends where the file ends.
bool IsTextureLayout(std::span<const uint8_t> bytes)
{
    const Result<Texture> t = ParseTexture(bytes);
    return t.ok() && TextureFileSize(*t.value) == bytes.size();
}

constexpr const char* kTextureNotLayer = "It is a texture file, not a layer file";

void CopyBytes(LayerRecord& to, const LayerRecord& from, size_t begin, size_t end)
{
    std::memcpy(reinterpret_cast<uint8_t*>(&to) + begin, reinterpret_cast<const uint8_t*>(&from) + begin, end - begin);
}

}  // namespace

// ---------------------------------------------------------------------------

FileKind FileKindOf(std::string_view path)
{
    const size_t dot = path.rfind('.');
    if (dot == std::string_view::npos) return FileKind::Other;
    std::string ext(path.substr(dot + 1));
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (ext == "zyv") return FileKind::Texture;
    if (ext == "kvo") return FileKind::Layer;
    return FileKind::Other;
}

uint64_t StoredKeyCount(const LayerRecord& rec)
{
    const int32_t animated = rec.animated;
    const int32_t count = rec.keyCount;
    return animated != 0 && count > 0 ? static_cast<uint64_t>(count) : 0;
}

uint64_t LayerBlockSize(const Layer& layer) { return kLayerBlockSize + kKeyBlockSize * StoredKeyCount(layer.rec); }

uint64_t TextureFileSize(const Texture& texture)
{
    uint64_t size = kTextureHeadSize + kPerLayerArraysSize * texture.layers.size();
    for (const LayerSlot& s : texture.layers) size += LayerBlockSize(s.layer);
    return size;
}

Result<Layer> ParseLayerFile(std::span<const uint8_t> bytes)
{
    ByteReader in(bytes);
    const bool older = bytes.size() == kOldLayerFileSize;

    LayerRecord stored{};
    if (older) {
        in.Take(&stored, kOldLayerRecordSize);
    } else {
        if (in.Left() < kLayerBlockSize) return Failure("The file is shorter than a layer");
        in.Take(stored);
    }

    // Only the named fields: never reserved18, reserved22 or a pointer.
    Layer layer;
    CopyBytes(layer.rec, stored, offsetof(LayerRecord, material), offsetof(LayerRecord, reserved18));
    CopyBytes(layer.rec, stored, offsetof(LayerRecord, turbulence), offsetof(LayerRecord, gradient));
    CopyBytes(layer.rec, stored, offsetof(LayerRecord, detail), offsetof(LayerRecord, animated));
    if (older) {
        layer.rec.animated = 0;
        layer.rec.lacunarity = 2.0f;
        layer.rec.omega = 0.5f;
        layer.rec.reliefDetail = 10;
    } else {
        CopyBytes(layer.rec, stored, offsetof(LayerRecord, animated), offsetof(LayerRecord, keys));
        CopyBytes(layer.rec, stored, offsetof(LayerRecord, reliefOffsetZ), offsetof(LayerRecord, picturePath));
        CopyBytes(layer.rec, stored, offsetof(LayerRecord, lacunarity), sizeof(LayerRecord));
        // At most 255 characters, so that the field stays NUL-terminated.
        const char* path = stored.picturePath;
        const size_t length = std::find(path, path + sizeof stored.picturePath - 1, '\0') - path;
        std::memcpy(layer.rec.picturePath, path, length);
    }

    // A layer file is exactly as long as its record declares: a file of
    // another length is something else (the first bytes of a texture file
    // read as a layer are its reserved block, not a layer).
    const uint64_t keys = older ? 0 : StoredKeyCount(layer.rec);
    const uint64_t declared = kLayerBlockSize + kKeyBlockSize * keys;
    if (!older && bytes.size() != declared && IsTextureLayout(bytes)) return Failure(kTextureNotLayer);
    if (Result<> count = CheckKeyCount(layer.rec); !count.ok()) return Failure("The layer is " + count.error);
    if (!older && bytes.size() < declared) return Failure("The file ends inside the key frames");
    if (!older && bytes.size() > declared) {
        const std::string what = keys == 0 ? "a layer without animation" : "a layer with " + std::to_string(keys) + " key frames";
        return Failure("It is " + std::to_string(bytes.size()) + " bytes long, but " + what + " makes a file of " +
                       std::to_string(declared) + " bytes");
    }
    layer.gradient.emplace();
    TakeGradient(in, *layer.gradient);
    TakeKeys(in, keys, layer.keys);
    return layer;
}

Result<Layer> ReadLayerFile(const std::filesystem::path& path, std::span<const uint8_t> bytes)
{
    auto refused = [&](const std::string& why) {
        return Failure("Unable to read " + Quoted(path) + ": it is not a valid layer file.\n" + why + ".");
    };
    if (FileKindOf(path.string()) == FileKind::Texture) return refused(kTextureNotLayer);
    Result<Layer> layer = ParseLayerFile(bytes);
    if (!layer.ok()) return refused(layer.error);
    // An animation runs between two keys at least.
    if (layer.value->rec.animated != 0 && StoredKeyCount(layer.value->rec) < 2) {
        return refused("Its animation has fewer than two keys");
    }
    return layer;
}

Result<Texture> ParseTextureFile(std::span<const uint8_t> bytes, FileKind kind)
{
    switch (kind) {
    case FileKind::Texture:
        return ParseTexture(bytes);
    case FileKind::Layer: {
        Result<Layer> layer = ParseLayerFile(bytes);
        if (!layer.ok()) return Failure(std::move(layer.error));
        LayerSlot slot;
        slot.blendCoef = 0.0f;
        slot.blendMode = 0;
        slot.colorKey = ColorKeyRecord{};
        slot.orientation = 0.0f;
        slot.reliefOrientation = 0.0f;
        slot.layer = std::move(*layer.value);
        Texture t;
        t.layers.push_back(std::move(slot));
        return t;
    }
    case FileKind::Other:
        break;
    }
    return Failure("It is neither a texture file (.zyv) nor a layer file (.kvo)");
}

// ---------------------------------------------------------------------------
// Writing

namespace {

class ByteWriter {
public:
    explicit ByteWriter(uint64_t expected) { bytes_.reserve(static_cast<size_t>(expected)); }

    void Put(const void* data, size_t size)
    {
        const auto* p = static_cast<const uint8_t*>(data);
        bytes_.insert(bytes_.end(), p, p + size);
    }
    template <class T>
    void Put(const T& value)
    {
        Put(&value, sizeof value);
    }

    std::vector<uint8_t> Finish() { return std::move(bytes_); }

private:
    std::vector<uint8_t> bytes_;
};

void PutGradient(ByteWriter& out, const Gradient& g)
{
    GradientTable head = g.head;
    head.entries = kStoredBlockRef;
    out.Put(head);
    out.Put(g.entries.data(), sizeof(GradientEntry) * kGradientEntries);
}

void PutLayerBlock(ByteWriter& out, const Layer& layer)
{
    const uint64_t keys = StoredKeyCount(layer.rec);
    LayerRecord rec = layer.rec;
    // Never an animated layer with a negative key count (see the reader):
    // such a layer is written as not animated, which is what it shows.
    if (!CheckKeyCount(rec).ok()) rec.animated = 0;
    rec.gradient = kStoredBlockRef;
    rec.keys = keys > 0 ? kStoredBlockRef : 0;
    rec.pixels = 0;
    out.Put(rec);
    PutGradient(out, layer.gradient ? *layer.gradient : Gradient::Tiled());

    const Keyframe blank{};
    for (uint64_t k = 0; k < keys; ++k) {
        const Keyframe& key = k < layer.keys.size() ? layer.keys[static_cast<size_t>(k)] : blank;
        KeyframeRecord krec = key.rec;
        krec.gradient = kStoredBlockRef;
        out.Put(krec);
        PutGradient(out, key.gradient);
    }
}

}  // namespace

std::vector<uint8_t> EncodeTextureFile(const Texture& texture)
{
    ByteWriter out(TextureFileSize(texture));
    const bool arrays = !texture.layers.empty();
    TextureRecord head{};
    std::memcpy(head.reserved, texture.reserved.data(), sizeof head.reserved);
    head.layerCount = texture.LayerCount();
    const FileRef ref = arrays ? kStoredBlockRef : 0;
    head.blendCoef = ref;
    head.blendMode = ref;
    head.colorKey = ref;
    head.layers = ref;
    head.orientation = ref;
    head.reliefOrientation = ref;
    out.Put(head);
    for (const LayerSlot& s : texture.layers) out.Put(s.blendCoef);
    for (const LayerSlot& s : texture.layers) out.Put(s.blendMode);
    for (const LayerSlot& s : texture.layers) out.Put(s.orientation);
    for (const LayerSlot& s : texture.layers) out.Put(s.reliefOrientation);
    for (const LayerSlot& s : texture.layers) out.Put(s.colorKey);
    for (const LayerSlot& s : texture.layers) PutLayerBlock(out, s.layer);
    return out.Finish();
}

std::vector<uint8_t> EncodeLayerFile(const Layer& layer)
{
    ByteWriter out(LayerBlockSize(layer));
    PutLayerBlock(out, layer);
    return out.Finish();
}

// ---------------------------------------------------------------------------
// Files on disk

namespace {

Result<> WriteBytes(const std::filesystem::path& path, uint64_t size, const std::vector<uint8_t>& bytes)
{
    if (size > kMaxFileSize) return Failure("Unable to save " + Quoted(path) + ".\nThe texture is too large.");
    const Result<> written = WriteFileReplacing(path, bytes);
    if (written.ok()) return {};
    return Failure("Unable to save " + Quoted(path) + ".\n" + written.error + ".");
}

}  // namespace

Result<Texture> ReadTextureFile(const std::filesystem::path& path)
{
    const FileKind kind = FileKindOf(path.string());
    if (kind == FileKind::Other) {
        return Failure(Quoted(path) + " is neither a texture file (.zyv) nor a layer file (.kvo).");
    }
    return ReadTextureFile(path, kind);
}

Result<Texture> ReadTextureFile(const std::filesystem::path& path, FileKind kind)
{
    const char* what = kind == FileKind::Texture ? "texture" : "layer";
    auto invalid = [&](const std::string& why) {
        return "Unable to read " + Quoted(path) + ": it is not a valid " + what + " file.\n" + why + ".";
    };
    InputFile in(path, kMaxFileSize);
    // A texture's head tells the least it can hold before the rest is read.
    Result<std::vector<uint8_t>> file = in.Read(kind == FileKind::Texture ? kTextureHeadSize : in.Size());
    if (file.ok() && kind == FileKind::Texture) {
        if (Result<> head = CheckTextureHead(*file.value, in.Size()); !head.ok()) return Failure(invalid(head.error));
        file = in.Read(in.Size());
    }
    if (!file.ok()) return Failure("Unable to open " + Quoted(path) + ".\n" + file.error + ".");
    Result<Texture> r = ParseTextureFile(*file.value, kind);
    if (!r.ok()) r.error = invalid(r.error);
    return r;
}

Result<> WriteTextureFile(const std::filesystem::path& path, const Texture& texture)
{
    if (texture.layers.empty()) return Failure("Unable to save " + Quoted(path) + ".\nThe texture has no layers.");
    const uint64_t size = TextureFileSize(texture);
    if (size > kMaxFileSize) return WriteBytes(path, size, {});
    return WriteBytes(path, size, EncodeTextureFile(texture));
}

Result<> WriteLayerFile(const std::filesystem::path& path, const Layer& layer)
{
    const uint64_t size = LayerBlockSize(layer);
    if (size > kMaxFileSize) return WriteBytes(path, size, {});
    return WriteBytes(path, size, EncodeLayerFile(layer));
}

}  // namespace morvane
