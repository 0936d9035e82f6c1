// Texture files (".zyv") and layer files (".kvo"): raw little-endian images
// of the packed records, record after record, without magic number, version
// or checksum.
//
// Texture file: the 284-byte TextureRecord, the per-layer arrays in the
// order blend coefficients, blend modes, orientations, relief orientations,
// colour keys, then one layer block per layer.  A layer block is the
// 446-byte LayerRecord, the 8-byte gradient head, 24 gradient entries and,
// only when the layer is animated, `keyCount` keys of 1134 bytes each (the
// 166-byte KeyframeRecord, its gradient head and its 24 entries).
//
// Layer file: one layer block.  A layer file of exactly 1122 bytes is the
// older form: the first 154 bytes of the LayerRecord, the gradient head and
// the 24 entries, no keys.
//
// The parser is strict about structure (every count is checked against the
// bytes left before anything is allocated; an animated layer with a negative
// key count is refused) and keeps every value as stored, so that a file
// read and written again keeps its bytes (pointer slots aside, which are
// written canonically).  Counts that drive evaluation loops are limited
// where they are used, not here.  It does no I/O and loads no pictures:
// whoever reads a file for the user loads them afterwards
// (LoadLayerPictures in media/LayerPicture.h).
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/Records.h"
#include "engine/Result.h"

namespace morvane {

enum class FileKind { Texture, Layer, Other };

// The kind a path names by its extension: the text after the last ".",
// compared without regard to case with "zyv" and "kvo".
FileKind FileKindOf(std::string_view path);

constexpr uint64_t kTextureHeadSize = sizeof(TextureRecord);                // 284
constexpr uint64_t kPerLayerArraysSize = 4 + 4 + 4 + 4 + sizeof(ColorKeyRecord);  // 32
constexpr uint64_t kGradientBlockSize = sizeof(GradientTable) + kGradientEntries * sizeof(GradientEntry);  // 968
constexpr uint64_t kLayerBlockSize = sizeof(LayerRecord) + kGradientBlockSize;       // 1414
constexpr uint64_t kKeyBlockSize = sizeof(KeyframeRecord) + kGradientBlockSize;      // 1134
constexpr uint64_t kOldLayerRecordSize = 154;
constexpr uint64_t kOldLayerFileSize = kOldLayerRecordSize + kGradientBlockSize;     // 1122

// The value written into a pointer slot behind which a block follows in the
// file (a slot with nothing behind it is written as 0).  Readers never use
// stored pointer values.
constexpr FileRef kStoredBlockRef = 0x00400000u;

// Number of key blocks a layer contributes to a file: its key count when it
// is animated (none for a negative count), else none.
uint64_t StoredKeyCount(const LayerRecord& rec);

// Byte counts of the written files.
uint64_t LayerBlockSize(const Layer& layer);
uint64_t TextureFileSize(const Texture& texture);

// Reads a texture from the bytes of a texture file (FileKind::Texture) or a
// layer file (FileKind::Layer; it becomes a one-layer texture whose blend
// coefficient, blend mode, orientations and colour key are 0).  Any other
// kind is refused.  Pointer slots of the result hold 0.
Result<Texture> ParseTextureFile(std::span<const uint8_t> bytes, FileKind kind);

// Reads the one layer of a layer file, by the layer-file reading rules:
// only the named fields of the stored record are taken; the older form gets
// animated 0, lacunarity 2.0, omega 0.5 and relief detail 10.  A file of
// the current form must be exactly as long as its record declares (1414
// bytes, and 1134 more for each key of an animated layer); a file of
// another length is refused, and one laid out as a whole texture file is
// refused as such.
Result<Layer> ParseLayerFile(std::span<const uint8_t> bytes);

// The layer that Load Layer adds from the layer file at `path`, whose bytes
// the caller has read (a file that cannot be opened is the caller's
// concern).  Refused with a whole sentence naming the file: a texture file
// (by its ".zyv" extension or its layout), a file that is not a layer file
// by the rules of ParseLayerFile, and an animation with fewer than two
// keys.  Pictures are not loaded.
Result<Layer> ReadLayerFile(const std::filesystem::path& path, std::span<const uint8_t> bytes);

// The bytes of a texture file and of a layer file.  Pointer slots are
// written as kStoredBlockRef where a block follows and 0 elsewhere; the
// reserved bytes are written as held, so reading a file and writing it again
// gives the same bytes.  A layer without a gradient is written with the
// standard tiling; an animated layer holding fewer keys than its key count
// is padded with zero-filled keys so that the file stays readable, and one
// with a negative key count is written as not animated.
std::vector<uint8_t> EncodeTextureFile(const Texture& texture);
std::vector<uint8_t> EncodeLayerFile(const Layer& layer);

// ---------------------------------------------------------------------------
// Files on disk

// Reads the texture or layer file at `path` (the kind from its extension).
// The error, if any, is a whole sentence naming the file.  Pictures are not
// loaded.
Result<Texture> ReadTextureFile(const std::filesystem::path& path);
// The same with the kind given (Texture or Layer), whatever the extension.
Result<Texture> ReadTextureFile(const std::filesystem::path& path, FileKind kind);

// Writes the texture as a texture file, or a layer as a layer file, through
// a temporary file in the same folder that replaces `path` only when every
// byte is written.  The message of a failure is a sentence naming the file.
Result<> WriteTextureFile(const std::filesystem::path& path, const Texture& texture);
Result<> WriteLayerFile(const std::filesystem::path& path, const Layer& layer);

}  // namespace morvane
