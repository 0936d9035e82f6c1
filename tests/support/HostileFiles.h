// Small files that declare large pictures, and textures and libraries that
// name them many times over: what a hostile or damaged download looks like
// to the picture loaders.  Header only.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/Eval.h"
#include "engine/LibraryFile.h"
#include "engine/Presets.h"
#include "engine/Records.h"

namespace morvane::test {

namespace hostile {

inline void Put16(std::vector<uint8_t>& b, size_t at, uint32_t v)
{
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}

inline void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i) b[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}

inline void Append(std::vector<uint8_t>& b, const char* id, uint32_t size)
{
    b.insert(b.end(), id, id + 4);
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(size >> (8 * i)));
}

// A chunk of `size` zero bytes at the end of b; gives where its bytes begin.
inline size_t ZeroChunk(std::vector<uint8_t>& b, const char* id, uint32_t size)
{
    Append(b, id, size);
    const size_t at = b.size();
    b.resize(at + size, 0);
    return at;
}

// A 'LIST' of `type` begun at the end of b; CloseList gives it its size.
inline size_t OpenList(std::vector<uint8_t>& b, const char* type)
{
    const size_t at = b.size();
    Append(b, "LIST", 0);
    b.insert(b.end(), type, type + 4);
    return at;
}

inline void CloseList(std::vector<uint8_t>& b, size_t list) { Put32(b, list + 4, static_cast<uint32_t>(b.size() - list - 8)); }

}  // namespace hostile

// An FLI movie of 144 bytes: the 128-byte header declaring one frame of
// width x height, and that frame without chunks (a black picture).
inline std::vector<uint8_t> BlackFli(int width, int height)
{
    std::vector<uint8_t> b(144, 0);
    hostile::Put32(b, 0, 144);
    hostile::Put16(b, 4, 0xAF11);
    hostile::Put16(b, 6, 1);
    hostile::Put16(b, 8, static_cast<uint32_t>(width));
    hostile::Put16(b, 10, static_cast<uint32_t>(height));
    hostile::Put32(b, 128, 16);
    hostile::Put16(b, 132, 0xF1FA);
    return b;
}

// An AVI movie of `frames` empty frame chunks ('00dc', no bytes: each
// repeats the frame before, the first is black) of width x height pixels
// of 24 bits, with an index ('idx1') of them when `indexed`.  With one
// frame and no index, 232 bytes.
inline std::vector<uint8_t> EmptyFramesAvi(int width, int height, uint32_t frames, bool indexed = false)
{
    using namespace hostile;
    std::vector<uint8_t> b;
    Append(b, "RIFF", 0);
    b.insert(b.end(), {'A', 'V', 'I', ' '});

    const size_t hdrl = OpenList(b, "hdrl");
    const size_t avih = ZeroChunk(b, "avih", 56);
    Put32(b, avih + 16, frames);
    Put32(b, avih + 24, 1);  // streams
    Put32(b, avih + 32, static_cast<uint32_t>(width));
    Put32(b, avih + 36, static_cast<uint32_t>(height));
    const size_t strl = OpenList(b, "strl");
    const size_t strh = ZeroChunk(b, "strh", 56);
    std::copy_n("vids", 4, b.begin() + static_cast<std::ptrdiff_t>(strh));
    Put32(b, strh + 32, frames);  // length
    const size_t strf = ZeroChunk(b, "strf", 40);
    Put32(b, strf, 40);
    Put32(b, strf + 4, static_cast<uint32_t>(width));
    Put32(b, strf + 8, static_cast<uint32_t>(height));
    Put16(b, strf + 12, 1);
    Put16(b, strf + 14, 24);
    CloseList(b, strl);
    CloseList(b, hdrl);

    const size_t movi = OpenList(b, "movi");
    for (uint32_t f = 0; f < frames; ++f) Append(b, "00dc", 0);
    CloseList(b, movi);
    if (indexed) {
        const size_t idx1 = ZeroChunk(b, "idx1", frames * 16);
        for (uint32_t f = 0; f < frames; ++f) {
            const size_t entry = idx1 + 16 * size_t{f};
            std::copy_n("00dc", 4, b.begin() + static_cast<std::ptrdiff_t>(entry));
            Put32(b, entry + 4, f == 0 ? 0x10u : 0u);  // flags
            Put32(b, entry + 8, 4 + 8 * f);            // offset from 'movi'
        }
    }
    Put32(b, 4, static_cast<uint32_t>(b.size() - 8));
    return b;
}

// A JPEG file with the size in its frame header replaced: the coded data of
// a small picture under the header of a large one.
inline std::vector<uint8_t> JpegDeclaringSize(std::vector<uint8_t> jpeg, int width, int height)
{
    for (size_t i = 0; i + 9 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && (jpeg[i + 1] == 0xC0 || jpeg[i + 1] == 0xC2)) {
            jpeg[i + 5] = uint8_t(height >> 8), jpeg[i + 6] = uint8_t(height);
            jpeg[i + 7] = uint8_t(width >> 8), jpeg[i + 8] = uint8_t(width);
            break;
        }
    }
    return jpeg;
}

// A texture of `count` "Image" layers that all name the picture `path`, at
// an image size of 64 x 64 (a picture loaded gives the layers its size).
inline Texture TextureNaming(const std::string& path, int count)
{
    Texture t = PresetTexture(MaterialPresetTable(), kImageMaterial);
    Layer& layer = t.layers[0].layer;
    layer.SetPicturePath(path);
    layer.rec.width = 64;
    layer.rec.height = 64;
    t.layers.resize(static_cast<size_t>(count), t.layers[0]);
    return t;
}

// A library of `count` entries that all list the texture file `path`.
inline std::vector<LibraryEntry> LibraryListing(const std::string& path, int count)
{
    return std::vector<LibraryEntry>(static_cast<size_t>(count), LibraryEntry{LibraryEntryName(path), path});
}

}  // namespace morvane::test
