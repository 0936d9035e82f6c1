#include "engine/LibraryFile.h"

#include <algorithm>
#include <cstring>

#include "engine/Eval.h"
#include "engine/Paths.h"
#include "engine/Render.h"
#include "engine/SafeFile.h"

namespace morvane {

namespace {

// A library file is small: 2 + 160 x 32767 bytes at most.  Anything much
// larger is not one.
constexpr uint64_t kMaxLibraryFileSize = uint64_t(1) << 24;

std::string FieldString(const uint8_t* field)
{
    const auto* text = reinterpret_cast<const char*>(field);
    return std::string(text, std::find(text, text + kLibraryFieldSize, '\0'));
}

void PutField(std::vector<uint8_t>& out, const std::string& s)
{
    uint8_t field[kLibraryFieldSize] = {};
    std::memcpy(field, s.data(), std::min(s.size(), kLibraryFieldSize));
    out.insert(out.end(), field, field + kLibraryFieldSize);
}

}  // namespace

uint64_t LibraryFileSize(size_t entryCount) { return kLibraryHeadSize + kLibraryEntrySize * entryCount; }

Result<std::vector<LibraryEntry>> ParseLibraryFile(std::span<const uint8_t> bytes)
{
    if (bytes.size() < kLibraryHeadSize) return Failure("The file is shorter than a library head");
    int16_t count;
    std::memcpy(&count, bytes.data(), sizeof count);
    if (count < 0) return Failure("Its entry count (" + std::to_string(count) + ") is negative");
    const uint64_t whole = (bytes.size() - kLibraryHeadSize) / kLibraryEntrySize;
    if (whole < static_cast<uint64_t>(count)) {
        return Failure("It lists " + std::to_string(count) + " textures but holds only " + std::to_string(whole));
    }
    std::vector<LibraryEntry> entries(static_cast<size_t>(count));
    const uint8_t* p = bytes.data() + kLibraryHeadSize;
    for (LibraryEntry& e : entries) {
        e.name = FieldString(p);
        e.path = FieldString(p + kLibraryFieldSize);
        p += kLibraryEntrySize;
    }
    return entries;
}

std::vector<uint8_t> EncodeLibraryFile(std::span<const LibraryEntry> entries)
{
    const size_t count = std::min(entries.size(), static_cast<size_t>(kMaxLibraryEntries));
    std::vector<uint8_t> out;
    out.reserve(static_cast<size_t>(LibraryFileSize(count)));
    const int16_t stored = static_cast<int16_t>(count);
    const auto* head = reinterpret_cast<const uint8_t*>(&stored);
    out.insert(out.end(), head, head + sizeof stored);
    for (size_t i = 0; i < count; ++i) {
        PutField(out, entries[i].name);
        PutField(out, entries[i].path);
    }
    return out;
}

Result<std::vector<LibraryEntry>> ReadLibraryFile(const std::filesystem::path& path)
{
    const Result<std::vector<uint8_t>> file = ReadFileBytes(path, kMaxLibraryFileSize);
    if (!file.ok()) return Failure("Unable to open " + Quoted(path) + ".\n" + file.error + ".");
    Result<std::vector<LibraryEntry>> r = ParseLibraryFile(*file.value);
    if (!r.ok()) r.error = "Unable to read " + Quoted(path) + ": it is not a valid library file.\n" + r.error + ".";
    return r;
}

Result<> WriteLibraryFile(const std::filesystem::path& path, std::span<const LibraryEntry> entries)
{
    if (entries.size() > static_cast<size_t>(kMaxLibraryEntries)) {
        return Failure("Unable to save " + Quoted(path) + ".\nA library holds at most " +
                       std::to_string(kMaxLibraryEntries) + " textures.");
    }
    const Result<> written = WriteFileReplacing(path, EncodeLibraryFile(entries));
    if (written.ok()) return {};
    return Failure("Unable to save " + Quoted(path) + ".\n" + written.error + ".");
}

bool FitsLibraryField(std::string_view s) { return s.size() < kLibraryFieldSize; }

std::string LibraryEntryName(std::string_view path)
{
    const size_t last = path.find_last_of("/\\");
    return "\\" + std::string(last == std::string_view::npos ? path : path.substr(last + 1));
}

std::optional<std::string> StoredLibraryPath(const std::filesystem::path& file)
{
    const std::string native = file.string();
    if (FitsLibraryField(native)) return native;

    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(file, ec);
    if (ec) return std::nullopt;
    const std::filesystem::path relative = absolute.lexically_normal().lexically_relative(RootFolder().lexically_normal());
    if (relative.empty() || *relative.begin() == "..") return std::nullopt;
    std::string rooted;
    for (const std::filesystem::path& part : relative) rooted += "\\" + part.string();
    if (!FitsLibraryField(rooted)) return std::nullopt;
    return rooted;
}

std::optional<std::filesystem::path> FindLibraryTexture(const LibraryEntry& entry, bool searchByName,
                                                       const std::filesystem::path& libraryFolder)
{
    auto regular = [](const std::optional<std::filesystem::path>& p) {
        std::error_code ec;
        return p && std::filesystem::is_regular_file(*p, ec);
    };
    if (const std::filesystem::path mapped = MapStoredPath(entry.path); mapped.is_relative() && !libraryFolder.empty()) {
        if (auto found = FindCaseInsensitive(libraryFolder / mapped); regular(found)) return found;
    }
    if (auto found = ResolveStoredPath(entry.path); regular(found)) return found;
    if (!searchByName) return std::nullopt;
    if (auto found = ResolveStoredPath(entry.name); regular(found)) return found;
    const std::string bare = LibraryEntryName(entry.name).substr(1);
    if (bare.empty()) return std::nullopt;
    return FindDataFile(bare);
}

Result<Texture> ReadLibraryTexture(const std::filesystem::path& file)
{
    return ReadTextureFile(file, FileKind::Texture);
}

Texture DefaultLibraryTexture(const MaterialPresets& presets) { return NewTexture(presets); }

std::vector<uint8_t> RenderLibraryThumbnail(Texture& texture)
{
    constexpr int w = kLibraryThumbnailWidth;
    constexpr int h = kLibraryThumbnailHeight;
    std::vector<uint8_t> pixels(static_cast<size_t>(w) * h * 4, 0);
    if (texture.layers.empty()) return pixels;
    PrepareForRender(texture);
    std::vector<float> u(w), v(h);
    for (int c = 0; c < w; ++c) u[static_cast<size_t>(c)] = static_cast<float>(c) * 0.02f;
    const float step = 1.0f / 44.0f;
    for (int r = 0; r < h; ++r) v[static_cast<size_t>(r)] = static_cast<float>(r) * step;
    Render(texture, kDisplayAllLayers, 0, u, v, pixels.data(), static_cast<std::ptrdiff_t>(w) * 4);
    return pixels;
}

void CopyLibraryTexture(const Texture& library, Texture& document)
{
    std::vector<LayerSlot> layers(library.layers.size());
    for (size_t i = 0; i < layers.size(); ++i) {
        const LayerSlot& from = library.layers[i];
        LayerSlot& to = layers[i];
        to.blendCoef = from.blendCoef;
        to.blendMode = from.blendMode;
        to.orientation = from.orientation;
        to.reliefOrientation = from.reliefOrientation;
        to.colorKey = from.colorKey;

        Layer& layer = to.layer;
        layer.rec = from.layer.rec;
        layer.rec.gradient = 0;
        layer.rec.keys = 0;
        layer.rec.pixels = 0;
        if (i < document.layers.size()) {
            const LayerRecord& kept = document.layers[i].layer.rec;
            std::memcpy(layer.rec.reserved18, kept.reserved18, sizeof kept.reserved18);
            std::memcpy(layer.rec.reserved22, kept.reserved22, sizeof kept.reserved22);
        } else {
            std::memset(layer.rec.reserved18, 0, sizeof layer.rec.reserved18);
            std::memset(layer.rec.reserved22, 0, sizeof layer.rec.reserved22);
        }

        Gradient gradient;
        const Gradient& source = from.layer.gradient ? *from.layer.gradient : Gradient::Tiled();
        gradient.head.count = source.head.count;
        gradient.entries = source.entries;
        layer.gradient = gradient;

        layer.keys = from.layer.keys;
        for (Keyframe& key : layer.keys) {
            key.gradient.head = GradientTable{kGradientEntries, 0, {0, 0}};
            key.rec.gradient = 0;
        }
        layer.picture = from.layer.picture;
    }
    document.layers = std::move(layers);
}

}  // namespace morvane
