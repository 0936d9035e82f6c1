// Texture libraries: the library file (".jxw"), the stored form of a
// library entry's name and path, reading an entry's texture, the default
// entry, the 50 x 44 thumbnail of the library strip and the copy of a
// library texture into a document's texture.  No GUI.
//
// Library file, little-endian, no magic number, version or checksum:
//   int16 count, then per entry an 80-byte name field and an 80-byte path
//   field.  Size = 2 + 160 x count.  A field holds its string from the
//   start, ended by a NUL or by the end of the field; the bytes after the
//   terminator mean nothing (written as zeros).
//
// A name is a backslash and the texture's file name ("\marble.zyv"); a path
// is the full path of the texture file, either native ("/home/u/marble.zyv")
// or drive-rooted ("\kvo\marble.zyv", mapped below the root folder, see
// engine/Paths.h), or a path relative to the library's folder (the shipped
// library names its textures so: "marble.zyv").
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/Presets.h"
#include "engine/Records.h"
#include "engine/TextureFile.h"

namespace morvane {

constexpr size_t kLibraryFieldSize = 80;
constexpr uint64_t kLibraryHeadSize = 2;
constexpr uint64_t kLibraryEntrySize = 2 * kLibraryFieldSize;  // 160
constexpr int kMaxLibraryEntries = 32767;                        // the int16 count

struct LibraryEntry {
    std::string name;
    std::string path;

    bool operator==(const LibraryEntry&) const = default;
};

uint64_t LibraryFileSize(size_t entryCount);

// Reads the entries of a library file.  A negative count, or a count with
// more entries than the file holds whole, is refused; bytes after the last
// entry are ignored.
Result<std::vector<LibraryEntry>> ParseLibraryFile(std::span<const uint8_t> bytes);

// The bytes of a library file.  A string of up to 79 characters is written
// with its terminator; a longer one (only read from a file whose field had
// no terminator) fills its field and stops there.  At most
// kMaxLibraryEntries entries are written.
std::vector<uint8_t> EncodeLibraryFile(std::span<const LibraryEntry> entries);

// Reading and writing library files on disk.  Errors are whole sentences
// naming the file; writing goes through a temporary file that replaces
// `path` only when every byte is written.
Result<std::vector<LibraryEntry>> ReadLibraryFile(const std::filesystem::path& path);
Result<> WriteLibraryFile(const std::filesystem::path& path, std::span<const LibraryEntry> entries);

// True when `s` fits a field with its terminator (at most 79 bytes).
bool FitsLibraryField(std::string_view s);

// The entry name of a texture file: a backslash and the text after the
// last slash or backslash of `path` ("\marble.zyv").
std::string LibraryEntryName(std::string_view path);

// The path to store for a texture file: the path as it stands when it fits
// its field; else, when it lies below the root folder, its drive-rooted
// form ("\kvo\textures\marble.zyv") if that fits; else nothing.
std::optional<std::string> StoredLibraryPath(const std::filesystem::path& file);

// Finds the texture file of an entry of the library in `libraryFolder`:
// its stored path, which when relative is looked for in the library's
// folder first and then in the current folder; then, when `searchByName`
// is set, its name as a drive-rooted path and the data-file search for the
// bare file name.
std::optional<std::filesystem::path> FindLibraryTexture(const LibraryEntry& entry, bool searchByName,
                                                       const std::filesystem::path& libraryFolder);

// Reads a library texture: the file is read as a texture file whatever its
// extension.  Pictures are not loaded.
Result<Texture> ReadLibraryTexture(const std::filesystem::path& file);

// The texture of an entry whose file cannot be read: one layer copied from
// preset 1 with its own gradient, blend mode 1, blend coefficient 1,
// orientations 0 and a zero colour key.
Texture DefaultLibraryTexture(const MaterialPresets& presets);

// ---------------------------------------------------------------------------
// The library strip's thumbnails

constexpr int kLibraryThumbnailWidth = 50;
constexpr int kLibraryThumbnailHeight = 44;

// Renders the thumbnail of a library texture: the texture is first prepared
// in place (light directions made unit length, see PrepareForRender), then
// evaluated over all layers at u = c x 0.02 and v = r x (1/44) (floats).
// 50 x 44 pixels of blue, green, red, 0, bottom row first.
std::vector<uint8_t> RenderLibraryThumbnail(Texture& texture);

// ---------------------------------------------------------------------------
// Copying a library texture into a document

// Replaces the layer stack of `document` with a deep copy of the library
// texture's layers: per-layer blend values, colour keys, layer records,
// gradients and keys; the pictures (never changed in place) are shared.
// The document keeps its own reserved block and, in the layers it already
// had, its reserved words at 18 and 22.
// Layer gradients keep the count of the library's gradient head; key
// gradients get count 24.
void CopyLibraryTexture(const Texture& library, Texture& document);

}  // namespace morvane
