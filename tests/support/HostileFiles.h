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
    using hostile::Append;
    std::vector<uint8_t> b;
    Append(b, "RIFF", 0);
    b.insert(b.end(), {'A', 'V', 'I', ' '});

    const size_t hdrl = b.size();
    Append(b, "LIST", 0);
    b.insert(b.end(), {'h', 'd', 'r', 'l'});
    Append(b, "avih", 56);
    const size_t avih = b.size();
    b.resize(b.size() + 56, 0);
    hostile::Put32(b, avih + 16, frames);
    hostile::Put32(b, avih + 24, 1);  // streams
    hostile::Put32(b, avih + 32, static_cast<uint32_t>(width));
    hostile::Put32(b, avih + 36, static_cast<uint32_t>(height));
    const size_t strl = b.size();
    Append(b, "LIST", 0);
    b.insert(b.end(), {'s', 't', 'r', 'l'});
    Append(b, "strh", 56);
    const size_t strh = b.size();
    b.resize(b.size() + 56, 0);
    std::copy_n("vids", 4, b.begin() + static_cast<std::ptrdiff_t>(strh));
    hostile::Put32(b, strh + 32, frames);  // length
    Append(b, "strf", 40);
    const size_t strf = b.size();
    b.resize(b.size() + 40, 0);
    hostile::Put32(b, strf, 40);
    hostile::Put32(b, strf + 4, static_cast<uint32_t>(width));
    hostile::Put32(b, strf + 8, static_cast<uint32_t>(height));
    hostile::Put16(b, strf + 12, 1);
    hostile::Put16(b, strf + 14, 24);
    hostile::Put32(b, strl + 4, static_cast<uint32_t>(b.size() - strl - 8));
    hostile::Put32(b, hdrl + 4, static_cast<uint32_t>(b.size() - hdrl - 8));

    const size_t movi = b.size();
    Append(b, "LIST", 0);
    b.insert(b.end(), {'m', 'o', 'v', 'i'});
    for (uint32_t f = 0; f < frames; ++f) Append(b, "00dc", 0);
    hostile::Put32(b, movi + 4, static_cast<uint32_t>(b.size() - movi - 8));
    if (indexed) {
        Append(b, "idx1", frames * 16);
        for (uint32_t f = 0; f < frames; ++f) {
            b.insert(b.end(), {'0', '0', 'd', 'c'});
            const uint32_t entry[3] = {f == 0 ? 0x10u : 0u, 4 + 8 * f, 0};  // flags, offset from 'movi', size
            for (uint32_t v : entry) {
                for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
            }
        }
    }
    hostile::Put32(b, 4, static_cast<uint32_t>(b.size() - 8));
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
