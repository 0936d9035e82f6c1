#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>
#include <random>

#include "engine/Eval.h"
#include "engine/Noise.h"
#include "engine/Patterns.h"
#include "engine/Render.h"
#include "engine/SafeFile.h"
#include "engine/TextureFile.h"
#include "engine/LibraryFile.h"
#include "support/FileSizeLimit.h"
#include "support/PeakMemory.h"
#include "support/SampleTextures.h"
#include "support/TimeLimit.h"

namespace fs = std::filesystem;
using namespace morvane;
using morvane::test::BytesOf;
using morvane::test::SameLayer;
using morvane::test::SameTexture;
using morvane::test::SampleLayer;
using morvane::test::SampleTexture;

namespace {

uint32_t U32At(const std::vector<uint8_t>& b, size_t off)
{
    uint32_t v;
    std::memcpy(&v, b.data() + off, 4);
    return v;
}

void PutAt(std::vector<uint8_t>& b, size_t off, int32_t v) { std::memcpy(b.data() + off, &v, 4); }

Texture MustParse(const std::vector<uint8_t>& bytes, FileKind kind)
{
    Result<Texture> r = ParseTextureFile(bytes, kind);
    EXPECT_TRUE(r.ok()) << r.error;
    return r.ok() ? *r.value : Texture{};
}

// Offset of layer i's block in a texture file whose layers before i are not
// animated.
size_t LayerBlockAt(int layers, int i) { return 284 + 32 * layers + 1414 * i; }

}  // namespace

TEST(TextureFile, SizesFollowTheFormulaAndReadBackEqual)
{
    const Texture plain = SampleTexture(2);
    EXPECT_EQ(TextureFileSize(plain), 3176u);
    EXPECT_EQ(EncodeTextureFile(plain).size(), 3176u);

    const Texture animated = SampleTexture(2, 1, 3);
    const std::vector<uint8_t> bytes = EncodeTextureFile(animated);
    EXPECT_EQ(bytes.size(), 6578u);
    EXPECT_EQ(TextureFileSize(animated), 6578u);
    const Texture back = MustParse(bytes, FileKind::Texture);
    EXPECT_TRUE(SameTexture(back, animated));
    ASSERT_EQ(back.layers[1].layer.keys.size(), 3u);
    EXPECT_EQ(+back.layers[1].layer.keys[2].rec.time, 1.0f);
    EXPECT_EQ(back.layers[1].layer.PicturePath(), "C:\\kvo\\pictures\\stone2.tga");

    // The arrays lie in file order, not in the order of the head's pointers.
    float coef, orient;
    int32_t mode;
    std::memcpy(&coef, bytes.data() + 284 + 4, 4);
    std::memcpy(&mode, bytes.data() + 284 + 8 + 4, 4);
    std::memcpy(&orient, bytes.data() + 284 + 16 + 4, 4);
    EXPECT_EQ(coef, +animated.layers[1].blendCoef);
    EXPECT_EQ(mode, animated.layers[1].blendMode);
    EXPECT_EQ(orient, +animated.layers[1].orientation);

    // Layer files.
    EXPECT_EQ(EncodeLayerFile(SampleLayer(1)).size(), 1414u);
    EXPECT_EQ(EncodeLayerFile(SampleLayer(1, 2)).size(), 3682u);
}

TEST(TextureFile, PointerSlotsAreNeverUsedAndWrittenCanonically)
{
    Texture t = SampleTexture(2, 1, 2);
    t.layers[0].layer.keys.push_back(MakeKey(t.layers[0].layer));  // not animated: not stored
    t.layers[0].layer.rec.keyCount = 5;
    t.layers[0].layer.SetPicture(4, 4, std::vector<uint8_t>(64, 9));
    const Texture clean = t;
    for (LayerSlot& s : t.layers) {
        s.layer.rec.gradient = 0xDEADBEEF;
        s.layer.rec.keys = 0x12345678;
        s.layer.rec.pixels = 0xFFFFFFFF;
        s.layer.gradient->head.entries = 0xCAFEBABE;
        for (Keyframe& k : s.layer.keys) {
            k.rec.gradient = 0x0BADF00D;
            k.gradient.head.entries = 0x11111111;
        }
    }
    const std::vector<uint8_t> bytes = EncodeTextureFile(t);
    EXPECT_EQ(bytes, EncodeTextureFile(clean));
    ASSERT_EQ(bytes.size(), 284u + 64 + 1414 * 2 + 1134 * 2);

    for (size_t off = 260; off < 284; off += 4) EXPECT_EQ(U32At(bytes, off), kStoredBlockRef);
    const size_t l0 = LayerBlockAt(2, 0), l1 = LayerBlockAt(2, 1);
    EXPECT_EQ(U32At(bytes, l0 + 42), kStoredBlockRef);   // gradient follows
    EXPECT_EQ(U32At(bytes, l0 + 166), 0u);               // keys not stored
    EXPECT_EQ(U32At(bytes, l0 + 430), 0u);               // pixels never stored
    EXPECT_EQ(U32At(bytes, l0 + 446 + 2), kStoredBlockRef);
    EXPECT_EQ(U32At(bytes, l1 + 166), kStoredBlockRef);  // keys follow
    EXPECT_EQ(U32At(bytes, l1 + 1414 + 40), kStoredBlockRef);
    EXPECT_EQ(U32At(bytes, l1 + 1414 + 166 + 2), kStoredBlockRef);

    // Whatever the stored slots hold, the texture reads back the same.
    std::vector<uint8_t> junk = bytes;
    for (size_t off : {size_t(260), size_t(272), l0 + 42, l0 + 166, l0 + 430, l0 + 446 + 2, l1 + 1414 + 40}) {
        PutAt(junk, off, 0x7F00FF00);
    }
    const Texture back = MustParse(junk, FileKind::Texture);
    Texture expected = clean;
    expected.layers[0].layer.keys.clear();  // a layer that is not animated gets no keys
    EXPECT_TRUE(SameTexture(back, expected));
    EXPECT_EQ(+back.layers[0].layer.rec.keyCount, 5);
    EXPECT_FALSE(back.layers[0].layer.picture);
    EXPECT_EQ(EncodeTextureFile(back), bytes);
}

TEST(TextureFile, ReadThenWriteIsByteIdentical)
{
    for (const Texture& t : {SampleTexture(1), SampleTexture(3, 0, 2), SampleTexture(8, 7, 5)}) {
        const std::vector<uint8_t> bytes = EncodeTextureFile(t);
        EXPECT_EQ(EncodeTextureFile(MustParse(bytes, FileKind::Texture)), bytes);
    }
    // Odd but valid values: gradient counts other than 24 are kept and never
    // used.  An animated layer with a negative key count describes no file:
    // it is written as not animated, and a file that says so is refused.
    Texture odd = SampleTexture(2, 0, 2);
    odd.layers[1].layer.rec.animated = 1;
    odd.layers[1].layer.rec.keyCount = -3;
    odd.layers[0].layer.gradient->head.count = -5;
    odd.layers[1].layer.gradient->head.count = 30000;
    odd.layers[0].layer.keys[1].gradient.head.count = 7;
    std::vector<uint8_t> bytes = EncodeTextureFile(odd);
    EXPECT_EQ(bytes.size(), 284u + 64 + 1414 * 2 + 1134 * 2);
    const Texture back = MustParse(bytes, FileKind::Texture);
    EXPECT_EQ(+back.layers[0].layer.gradient->head.count, -5);
    EXPECT_EQ(+back.layers[0].layer.keys[1].gradient.head.count, 7);
    EXPECT_EQ(+back.layers[1].layer.rec.animated, 0);
    EXPECT_EQ(+back.layers[1].layer.rec.keyCount, -3);
    EXPECT_TRUE(back.layers[1].layer.keys.empty());
    EXPECT_EQ(EncodeTextureFile(back), bytes);

    PutAt(bytes, LayerBlockAt(2, 1) + 154 + 2 * 1134, 1);  // layer 2 animated again
    const Result<Texture> refused = ParseTextureFile(bytes, FileKind::Texture);
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.error, "Its layer 2 is animated with a negative key count (-3)");
    std::vector<uint8_t> kvo = EncodeLayerFile(SampleLayer(1, 2));
    PutAt(kvo, 158, -1);
    EXPECT_EQ(ParseLayerFile(kvo).error, "The layer is animated with a negative key count (-1)");

    // Layer files made by the program read back and write the same bytes.
    for (int keys : {0, 2, 4}) {
        const Layer layer = SampleLayer(3, keys, true);
        const std::vector<uint8_t> kvo = EncodeLayerFile(layer);
        const Result<Layer> read = ParseLayerFile(kvo);
        ASSERT_TRUE(read.ok()) << read.error;
        EXPECT_TRUE(SameLayer(*read.value, layer));
        EXPECT_EQ(EncodeLayerFile(*read.value), kvo);
    }
}

namespace {

// Random bytes: with 32-bit and wider fields, every field of a file gets a
// value of its own, reserved bytes included (floats may be NaNs: they are
// copied, never computed).
void FillDistinct(std::vector<uint8_t>& bytes, size_t from, size_t to, uint32_t seed)
{
    std::mt19937 rng(seed);
    for (size_t i = from; i < to; ++i) bytes[i] = static_cast<uint8_t>(rng());
}

void PutRef(std::vector<uint8_t>& b, size_t off, uint32_t v) { std::memcpy(b.data() + off, &v, 4); }

// The pointer slots of a layer block at `at` with `keys` key blocks, as the
// writer fills them (they hold no data and are never read).
void CanonicalLayerSlots(std::vector<uint8_t>& b, size_t at, int keys)
{
    PutRef(b, at + 42, kStoredBlockRef);
    PutRef(b, at + 166, keys > 0 ? kStoredBlockRef : 0);
    PutRef(b, at + 430, 0);
    PutRef(b, at + 446 + 2, kStoredBlockRef);
    for (int k = 0; k < keys; ++k) {
        const size_t key = at + 1414 + 1134 * static_cast<size_t>(k);
        PutRef(b, key + 40, kStoredBlockRef);
        PutRef(b, key + 166 + 2, kStoredBlockRef);
    }
}

}  // namespace

TEST(TextureFile, EveryStoredValueIsWrittenBackAsRead)
{
    // Texture file: two layers, the second animated with two keys; every
    // byte but the counts that give the file its shape is random.
    {
        std::vector<uint8_t> file = EncodeTextureFile(SampleTexture(2, 1, 2));
        ASSERT_EQ(file.size(), 5444u);
        FillDistinct(file, 0, file.size(), 1);
        const size_t l0 = LayerBlockAt(2, 0), l1 = LayerBlockAt(2, 1);
        PutAt(file, 256, 2);
        PutAt(file, l0 + 154, 0);           // not animated (its key count is random)
        PutAt(file, l1 + 154, 0x35A7C1E9);  // animated: any value but 0
        PutAt(file, l1 + 158, 2);
        std::vector<uint8_t> expected = file;
        for (size_t off = 260; off < 284; off += 4) PutRef(expected, off, kStoredBlockRef);
        CanonicalLayerSlots(expected, l0, 0);
        CanonicalLayerSlots(expected, l1, 2);

        const Texture t = MustParse(file, FileKind::Texture);
        EXPECT_EQ(EncodeTextureFile(t), expected);
    }
    // Layer file, current form: the same, except what the layer-file rules
    // never take (the reserved words at 18 and 22, the pointers).  The
    // picture path is 255 random characters and its NUL.
    {
        std::vector<uint8_t> file = EncodeLayerFile(SampleLayer(3, 2));
        ASSERT_EQ(file.size(), 3682u);
        FillDistinct(file, 0, file.size(), 2);
        PutAt(file, 154, -7);  // animated
        PutAt(file, 158, 2);
        for (size_t i = 174; i < 429; ++i) file[i] = static_cast<uint8_t>(file[i] | 1);
        file[429] = 0;
        std::vector<uint8_t> expected = file;
        std::memset(expected.data() + 18, 0, 8);
        CanonicalLayerSlots(expected, 0, 2);

        const Result<Layer> layer = ParseLayerFile(file);
        ASSERT_TRUE(layer.ok()) << layer.error;
        EXPECT_EQ(EncodeLayerFile(*layer.value), expected);
    }
    // Older layer form (1122 bytes): what it holds is written back in the
    // current form, with the defaults of what it does not hold.
    {
        std::vector<uint8_t> file(1122);
        FillDistinct(file, 0, file.size(), 3);
        LayerRecord rec{};
        std::memcpy(&rec, file.data(), 154);
        std::memset(rec.reserved18, 0, 4);
        std::memset(rec.reserved22, 0, 4);
        rec.lacunarity = 2.0f;
        rec.omega = 0.5f;
        rec.reliefDetail = 10;
        std::vector<uint8_t> expected = BytesOf(rec);
        expected.insert(expected.end(), file.begin() + 154, file.end());
        CanonicalLayerSlots(expected, 0, 0);

        const Result<Layer> layer = ParseLayerFile(file);
        ASSERT_TRUE(layer.ok()) << layer.error;
        EXPECT_EQ(EncodeLayerFile(*layer.value), expected);
    }
}

TEST(TextureFile, LayerFileTakesOnlyTheNamedFields)
{
    Layer layer = SampleLayer(4, 2);  // reserved words set, junk after the path
    char longPath[256];
    std::memset(longPath, 'p', sizeof longPath);  // no NUL at all
    std::memcpy(layer.rec.picturePath, longPath, sizeof longPath);
    const std::vector<uint8_t> kvo = EncodeLayerFile(layer);

    const Texture t = MustParse(kvo, FileKind::Layer);
    ASSERT_EQ(t.LayerCount(), 1);
    const LayerSlot& slot = t.layers[0];
    EXPECT_EQ(+slot.blendCoef, 0.0f);
    EXPECT_EQ(slot.blendMode, 0);
    EXPECT_EQ(+slot.orientation, 0.0f);
    EXPECT_EQ(+slot.reliefOrientation, 0.0f);
    EXPECT_EQ(BytesOf(slot.colorKey), BytesOf(ColorKeyRecord{}));

    Layer expected = layer;
    std::memset(expected.rec.reserved18, 0, 4);
    std::memset(expected.rec.reserved22, 0, 4);
    std::memset(expected.rec.picturePath + 255, 0, 1);  // 255 characters at most
    EXPECT_TRUE(SameLayer(slot.layer, expected));
    EXPECT_EQ(slot.layer.PicturePath(), std::string(255, 'p'));
    EXPECT_EQ(+slot.layer.keys[1].gradient.head.count, 24);

    // Bytes after the path's NUL are not taken either.
    const Layer ordinary = SampleLayer(5);
    const Result<Layer> read = ParseLayerFile(EncodeLayerFile(ordinary));
    ASSERT_TRUE(read.ok());
    EXPECT_EQ(read.value->rec.picturePath[250], 0);
    EXPECT_EQ(read.value->PicturePath(), ordinary.PicturePath());
}

TEST(TextureFile, OlderLayerFormOf1122Bytes)
{
    const Layer source = SampleLayer(6, 0, true);
    const std::vector<uint8_t> current = EncodeLayerFile(source);
    std::vector<uint8_t> old(current.begin(), current.begin() + 154);
    old.insert(old.end(), current.begin() + 446, current.begin() + 1414);
    ASSERT_EQ(old.size(), 1122u);

    const Texture t = MustParse(old, FileKind::Layer);
    ASSERT_EQ(t.LayerCount(), 1);
    const Layer& l = t.layers[0].layer;
    EXPECT_EQ(+l.rec.animated, 0);
    EXPECT_EQ(+l.rec.lacunarity, 2.0f);
    EXPECT_EQ(+l.rec.omega, 0.5f);
    EXPECT_EQ(+l.rec.reliefDetail, 10);
    EXPECT_EQ(+l.rec.keyCount, 0);
    EXPECT_EQ(+l.rec.reliefOffsetZ, 0.0f);
    EXPECT_EQ(l.PicturePath(), "");
    EXPECT_TRUE(l.keys.empty());
    // The first 154 bytes are the stored ones (no pointer, no reserved18/22).
    LayerRecord expected{};
    std::memcpy(&expected, &source.rec, 154);
    expected.gradient = 0;
    std::vector<uint8_t> got = BytesOf(l.rec), want = BytesOf(expected);
    got.resize(154);
    want.resize(154);
    EXPECT_EQ(got, want);
    EXPECT_EQ(BytesOf(l.gradient->entries), BytesOf(source.gradient->entries));

    // The length alone decides: 1121 and 1123 bytes are current-form files
    // that are too short; an animated layer file cut to 1122 bytes reads as
    // the older form.  A texture file is never read in the older form.
    EXPECT_FALSE(ParseTextureFile(std::span(old).first(1121), FileKind::Layer).ok());
    std::vector<uint8_t> longer = old;
    longer.push_back(0);
    EXPECT_FALSE(ParseTextureFile(longer, FileKind::Layer).ok());
    const std::vector<uint8_t> animated = EncodeLayerFile(SampleLayer(6, 3, true));
    const Result<Layer> cut = ParseLayerFile(std::span(animated).first(1122));
    ASSERT_TRUE(cut.ok());
    EXPECT_EQ(+cut.value->rec.animated, 0);
    EXPECT_FALSE(ParseTextureFile(old, FileKind::Texture).ok());
}

TEST(TextureFile, ALayerFileIsExactlyAsLongAsItsRecordDeclares)
{
    // What the editor writes, and the older form, read.
    const std::vector<uint8_t> plain = EncodeLayerFile(SampleLayer(3, 0, true));
    const std::vector<uint8_t> animated = EncodeLayerFile(SampleLayer(4, 2, true));
    std::vector<uint8_t> old(plain.begin(), plain.begin() + 154);
    old.insert(old.end(), plain.begin() + 446, plain.end());
    for (const std::vector<uint8_t>* file : std::initializer_list<const std::vector<uint8_t>*>{&plain, &animated, &old})
        EXPECT_TRUE(ParseLayerFile(*file).ok()) << file->size();

    // Bytes after the layer, or a key block more than the record counts.
    auto longer = [](std::vector<uint8_t> b, size_t extra) {
        b.resize(b.size() + extra, 0x5A);
        return b;
    };
    EXPECT_EQ(ParseLayerFile(longer(plain, 100)).error,
              "It is 1514 bytes long, but a layer without animation makes a file of 1414 bytes");
    EXPECT_EQ(ParseLayerFile(longer(animated, 1134)).error,
              "It is 4816 bytes long, but a layer with 2 key frames makes a file of 3682 bytes");
    EXPECT_FALSE(ParseTextureFile(longer(animated, 1), FileKind::Layer).ok());

    // Texture files, as the editor writes them (a zero reserved block) and
    // with any reserved bytes, are told apart by their layout.
    Texture zeroed = SampleTexture(2, 1, 3);
    zeroed.reserved.fill(0);
    for (const Texture& t : {SampleTexture(1), SampleTexture(3, 2, 2), zeroed}) {
        const std::vector<uint8_t> zyv = EncodeTextureFile(t);
        EXPECT_EQ(ParseLayerFile(zyv).error, "It is a texture file, not a layer file") << zyv.size();
        EXPECT_FALSE(ParseTextureFile(zyv, FileKind::Layer).ok());
    }

    // Load Layer's reader: a texture file by its name too, and an
    // animation of one key; each message names the file.
    const std::string expected = "Unable to read \"/d/a.zyv\": it is not a valid layer file.\nIt is a texture file, not a layer file.";
    EXPECT_EQ(ReadLayerFile("/d/a.zyv", plain).error, expected);
    EXPECT_EQ(ReadLayerFile("/d/a.kvo", EncodeTextureFile(zeroed)).error,
              "Unable to read \"/d/a.kvo\": it is not a valid layer file.\nIt is a texture file, not a layer file.");
    EXPECT_EQ(ReadLayerFile("/d/one.kvo", EncodeLayerFile(SampleLayer(5, 1, true))).error,
              "Unable to read \"/d/one.kvo\": it is not a valid layer file.\nIts animation has fewer than two keys.");
    const Result<Layer> read = ReadLayerFile("/d/b.KVO", animated);
    ASSERT_TRUE(read.ok()) << read.error;
    EXPECT_EQ(EncodeLayerFile(*read.value), animated);
}

TEST(TextureFile, ExtensionsAreComparedWithoutCase)
{
    EXPECT_EQ(FileKindOf("a.zyv"), FileKind::Texture);
    EXPECT_EQ(FileKindOf("C:\\kvo\\MARBLE.ZYV"), FileKind::Texture);
    EXPECT_EQ(FileKindOf("/x/y.Kvo"), FileKind::Layer);
    EXPECT_EQ(FileKindOf("/x/y.kvo.bak"), FileKind::Other);
    EXPECT_EQ(FileKindOf("/x.zyv/readme"), FileKind::Other);
    EXPECT_EQ(FileKindOf("zyv"), FileKind::Other);
    EXPECT_EQ(FileKindOf("a.tga"), FileKind::Other);
    EXPECT_FALSE(ParseTextureFile(EncodeTextureFile(SampleTexture(1)), FileKind::Other).ok());
}

TEST(TextureFile, HostileCountsAreRefusedBeforeAllocating)
{
    const std::vector<uint8_t> good = EncodeTextureFile(SampleTexture(2, 1, 2));
    auto refused = [](std::vector<uint8_t> b) { return !ParseTextureFile(b, FileKind::Texture).ok(); };

    for (int32_t count : {0, -1, INT32_MIN, INT32_MAX, 3, 1 << 20}) {
        std::vector<uint8_t> b = good;
        PutAt(b, 256, count);
        EXPECT_TRUE(refused(b)) << count;
    }
    // Key counts on the animated layer: too many for the bytes left.
    for (int32_t count : {3, 1000, INT32_MAX}) {
        std::vector<uint8_t> b = good;
        PutAt(b, LayerBlockAt(2, 1) + 158, count);
        EXPECT_TRUE(refused(b)) << count;
    }
    // The keys of the first layer would eat the second layer.
    {
        std::vector<uint8_t> b = EncodeTextureFile(SampleTexture(2, 0, 1));
        PutAt(b, LayerBlockAt(2, 0) + 158, 2);
        EXPECT_TRUE(refused(b));
    }
    // Not animated: any key count is a value, not a structure.
    {
        std::vector<uint8_t> b = EncodeTextureFile(SampleTexture(2));
        PutAt(b, LayerBlockAt(2, 0) + 158, INT32_MAX);
        const Texture t = MustParse(b, FileKind::Texture);
        EXPECT_TRUE(t.layers[0].layer.keys.empty());
        EXPECT_EQ(EncodeTextureFile(t), b);
    }
    // Trailing bytes are ignored.
    {
        std::vector<uint8_t> b = good;
        b.resize(b.size() + 100, 0xEE);
        EXPECT_TRUE(SameTexture(MustParse(b, FileKind::Texture), MustParse(good, FileKind::Texture)));
    }
    // Layer files.
    const std::vector<uint8_t> kvo = EncodeLayerFile(SampleLayer(2, 2));
    for (int32_t count : {3, INT32_MAX}) {
        std::vector<uint8_t> b = kvo;
        PutAt(b, 158, count);
        EXPECT_FALSE(ParseLayerFile(b).ok());
    }
    EXPECT_FALSE(ParseLayerFile({}).ok());
    const Result<Texture> empty = ParseTextureFile({}, FileKind::Texture);
    EXPECT_FALSE(empty.ok());
    EXPECT_FALSE(empty.error.empty());
}

TEST(TextureFile, EveryPrefixIsRefusedOrRead)
{
    const std::vector<uint8_t> full = EncodeTextureFile(SampleTexture(2, 1, 3));
    ASSERT_EQ(full.size(), 6578u);
    for (size_t n = 0; n < full.size(); ++n) {
        const std::span<const uint8_t> prefix(full.data(), n);
        const Result<Texture> t = ParseTextureFile(prefix, FileKind::Texture);
        ASSERT_FALSE(t.ok()) << n;
        ASSERT_FALSE(t.error.empty()) << n;
        // The same bytes named as a layer file must not harm either.
        (void)ParseTextureFile(prefix, FileKind::Layer);
    }
    EXPECT_TRUE(ParseTextureFile(full, FileKind::Texture).ok());

    const std::vector<uint8_t> kvo = EncodeLayerFile(SampleLayer(2, 3));
    for (size_t n = 0; n < kvo.size(); ++n) {
        EXPECT_EQ(ParseLayerFile(std::span(kvo.data(), n)).ok(), n == 1122) << n;
    }
}

TEST(TextureFile, ImageSizesAboveInt16StayPositive)
{
    LayerRecord rec{};
    for (int size : {1, 160, 32767, 32768, 40000, 65500, 65535}) {
        rec.width = static_cast<int16_t>(static_cast<uint16_t>(size));
        rec.height = static_cast<int16_t>(static_cast<uint16_t>(size));
        EXPECT_EQ(StoredImageWidth(rec), size);
        EXPECT_EQ(StoredImageHeight(rec), size);
    }
}

// ---------------------------------------------------------------------------
// Files on disk

namespace {

class TextureFileDisk : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() / ("morvane-tf-" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    static std::vector<uint8_t> Slurp(const fs::path& p)
    {
        Result<std::vector<uint8_t>> f = ReadFileBytes(p);
        EXPECT_TRUE(f.ok()) << f.error;
        return f.value.value_or(std::vector<uint8_t>{});
    }
    size_t EntryCount() const
    {
        return static_cast<size_t>(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()));
    }
    fs::path dir_;
};

}  // namespace

TEST_F(TextureFileDisk, WritesReadBackAndKindComesFromTheExtension)
{
    const Texture t = SampleTexture(2, 1, 3);
    const fs::path zyv = dir_ / "Marble.ZYV";
    ASSERT_EQ(WriteTextureFile(zyv, t).error, "");
    EXPECT_EQ(fs::file_size(zyv), 6578u);
    Result<Texture> back = ReadTextureFile(zyv);
    ASSERT_TRUE(back.ok()) << back.error;
    EXPECT_TRUE(SameTexture(*back.value, t));

    const fs::path kvo = dir_ / "layer.Kvo";
    ASSERT_EQ(WriteLayerFile(kvo, t.layers[1].layer).error, "");
    back = ReadTextureFile(kvo);
    ASSERT_TRUE(back.ok()) << back.error;
    EXPECT_EQ(back.value->LayerCount(), 1);
    EXPECT_EQ(back.value->layers[0].layer.keys.size(), 3u);

    EXPECT_EQ(EntryCount(), 2u);  // no temporary file left behind
}

TEST_F(TextureFileDisk, FailuresNameTheFileAndChangeNothing)
{
    const fs::path missing = dir_ / "missing.zyv";
    Result<Texture> r = ReadTextureFile(missing);
    EXPECT_FALSE(r.ok());
    EXPECT_NE(r.error.find(missing.string()), std::string::npos) << r.error;

    const fs::path other = dir_ / "picture.tga";
    std::ofstream(other) << "not a texture";
    r = ReadTextureFile(other);
    EXPECT_FALSE(r.ok());
    EXPECT_NE(r.error.find(other.string()), std::string::npos);

    const fs::path shortFile = dir_ / "short.zyv";
    std::ofstream(shortFile) << "abc";
    r = ReadTextureFile(shortFile);
    EXPECT_FALSE(r.ok());
    EXPECT_NE(r.error.find("short.zyv"), std::string::npos);
    EXPECT_NE(r.error.find("not a valid texture file"), std::string::npos) << r.error;

    const fs::path folder = dir_ / "folder.zyv";
    fs::create_directory(folder);
    EXPECT_FALSE(ReadTextureFile(folder).ok());
    EXPECT_NE(WriteTextureFile(folder, SampleTexture(1)).error, "");

    const fs::path nowhere = dir_ / "no/such/folder/x.zyv";
    const std::string err = WriteTextureFile(nowhere, SampleTexture(1)).error;
    EXPECT_NE(err.find(nowhere.string()), std::string::npos) << err;
    EXPECT_FALSE(fs::exists(nowhere));

    EXPECT_NE(WriteTextureFile(dir_ / "empty.zyv", Texture{}).error, "");
    EXPECT_FALSE(fs::exists(dir_ / "empty.zyv"));
}

TEST_F(TextureFileDisk, AFailedWriteKeepsTheOldFile)
{
    const fs::path path = dir_ / "keep.zyv";
    ASSERT_EQ(WriteTextureFile(path, SampleTexture(1)).error, "");
    ::chmod(path.c_str(), 0640);
    const std::vector<uint8_t> before = Slurp(path);

    // A disk that fills up after 4000 bytes.
    std::string err;
    {
        const test::FileSizeLimit full(4000);
        ASSERT_TRUE(full.ok());
        err = WriteTextureFile(path, SampleTexture(3, 2, 4)).error;
    }

    EXPECT_NE(err, "");
    EXPECT_NE(err.find(path.string()), std::string::npos) << err;
    EXPECT_EQ(Slurp(path), before);
    EXPECT_EQ(EntryCount(), 1u);

    // A successful replacement keeps the file's permissions.
    ASSERT_EQ(WriteTextureFile(path, SampleTexture(3, 2, 4)).error, "");
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::mask,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(fs::file_size(path), TextureFileSize(SampleTexture(3, 2, 4)));
    EXPECT_EQ(EntryCount(), 1u);
}

TEST_F(TextureFileDisk, ASaveThatDiesLeavesTheOldFileAndNothingElse)
{
    const fs::path path = dir_ / "kept.zyv";
    ASSERT_EQ(WriteTextureFile(path, SampleTexture(1)).error, "");
    const std::vector<uint8_t> before = Slurp(path);

    // The child dies in the middle of writing the new content: its file
    // size limit stops it after 4000 bytes with SIGXFSZ, which kills.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_DFL);
        struct rlimit small {};
        small.rlim_cur = small.rlim_max = 4000;
        ::setrlimit(RLIMIT_FSIZE, &small);
        (void)WriteTextureFile(path, SampleTexture(3, 2, 4));
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGXFSZ);
    EXPECT_EQ(Slurp(path), before);
    EXPECT_EQ(EntryCount(), 1u);  // no temporary file beside it
}

TEST_F(TextureFileDisk, SavesKilledAtAnyMomentLeaveTheOldOrTheNewFile)
{
    const fs::path path = dir_ / "busy.zyv";
    const Texture a = SampleTexture(8, 7, 5), b = SampleTexture(6, 2, 9);
    ASSERT_EQ(WriteTextureFile(path, a).error, "");
    const std::vector<uint8_t> bytesA = Slurp(path), bytesB = EncodeTextureFile(b);
    std::mt19937 rng(5);
    for (int round = 0; round < 20; ++round) {
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(ready[0]);
            const char go = 1;
            (void)!::write(ready[1], &go, 1);
            for (int i = 0;; ++i) (void)WriteTextureFile(path, i % 2 ? a : b);
        }
        ::close(ready[1]);
        char go = 0;
        (void)!::read(ready[0], &go, 1);
        ::close(ready[0]);
        std::this_thread::sleep_for(std::chrono::microseconds(rng() % 4000));
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        const std::vector<uint8_t> now = Slurp(path);
        EXPECT_TRUE(now == bytesA || now == bytesB) << "round " << round;
        // Nothing else, or at most the file of the child just killed, had it
        // died in the instant between naming its file and moving it into
        // place; the next save (the next child's) removes that.
        EXPECT_LE(EntryCount(), 2u) << "round " << round;
    }
    ASSERT_EQ(WriteTextureFile(path, a).error, "");
    EXPECT_EQ(EntryCount(), 1u);
}

TEST_F(TextureFileDisk, TemporariesOfEndedProcessesGoAtTheNextSave)
{
    // Where no unnamed file can be made, a save writes a short hidden file
    // named after its process.  Those of this user's processes that no
    // longer run are removed by the next save into the same folder; those of
    // processes that may still run, of other boots, hosts or PID namespaces
    // (another tag), and the untagged ones of older versions stay.
    const pid_t ended = ::fork();
    ASSERT_GE(ended, 0);
    if (ended == 0) ::_exit(0);
    ASSERT_EQ(::waitpid(ended, nullptr, 0), ended);
    const std::string mine = LeftoverStem(".morvane-", ended);
    const fs::path stale = dir_ / (mine + "3");
    std::string otherTag = mine;
    otherTag[9] = otherTag[9] == '0' ? '1' : '0';
    const std::vector<fs::path> kept = {
        dir_ / (LeftoverStem(".morvane-", ::getppid()) + "0"),  // still runs
        dir_ / (otherTag + "0"),
        dir_ / (mine + "x"),
        dir_ / (".old.zyv.tmp" + std::to_string(ended) + "-3"),
    };
    std::ofstream(stale) << "partial";
    for (const fs::path& p : kept) std::ofstream(p) << "partial";

    ASSERT_EQ(WriteTextureFile(dir_ / "old.zyv", SampleTexture(1)).error, "");
    EXPECT_FALSE(fs::exists(stale));
    for (const fs::path& p : kept) EXPECT_TRUE(fs::exists(p)) << p;
    EXPECT_EQ(EntryCount(), 5u);
}

TEST_F(TextureFileDisk, OnlyRegularFilesAreReadAndNeverWaitedOn)
{
    // A named pipe would make an open wait for a writer for ever; a device
    // (/dev/zero) would be read for ever.  Each is refused at once with a
    // sentence naming the file.
    const fs::path pipeTexture = dir_ / "pipe.zyv", pipeLayer = dir_ / "pipe.kvo", pipeLibrary = dir_ / "pipe.jxw";
    for (const fs::path& p : {pipeTexture, pipeLayer, pipeLibrary}) ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0);
    const fs::path zero = dir_ / "zero.zyv";
    fs::create_symlink("/dev/zero", zero);
    const fs::path folder = dir_ / "folder.kvo";
    fs::create_directory(folder);

    test::WithinSeconds(10, [&] {
        for (const fs::path& p : {pipeTexture, pipeLayer}) {
            EXPECT_EQ(ReadTextureFile(p).error, "Unable to open \"" + p.string() + "\".\nIt is a named pipe, not a file.");
        }
        EXPECT_EQ(ReadLibraryFile(pipeLibrary).error,
                  "Unable to open \"" + pipeLibrary.string() + "\".\nIt is a named pipe, not a file.");
        EXPECT_EQ(ReadTextureFile(zero).error, "Unable to open \"" + zero.string() + "\".\nIt is a device, not a file.");
        EXPECT_EQ(ReadTextureFile(folder).error, "Unable to open \"" + folder.string() + "\".\nIt is a folder, not a file.");
    });
    for (const fs::path& p : {pipeTexture, pipeLayer, pipeLibrary}) EXPECT_TRUE(fs::is_fifo(p));
}

TEST_F(TextureFileDisk, AHugeTextureIsRefusedByItsHeadBeforeItIsRead)
{
    // 2 GiB of zeros: the head's layer count of 0 refuses it, and only the
    // head is read.  One byte more is refused by its size alone.
    const fs::path huge = dir_ / "huge.zyv", larger = dir_ / "larger.zyv";
    for (const auto& [p, size] : {std::pair(huge, uint64_t(1) << 31), std::pair(larger, (uint64_t(1) << 31) + 1)}) {
        std::ofstream(p).close();
        fs::resize_file(p, size);  // sparse: no disk space taken
    }
    std::string error, largerError;
    const uint64_t extra = test::PeakExtraBytes([&] { (void)ReadTextureFile(huge); });
    test::WithinSeconds(10, [&] {
        error = ReadTextureFile(huge).error;
        largerError = ReadTextureFile(larger).error;
    });
    EXPECT_LT(extra, uint64_t(64) << 20);
    EXPECT_EQ(error, "Unable to read \"" + huge.string() + "\": it is not a valid texture file.\nIts layer count (0) is below 1.");
    EXPECT_EQ(largerError, "Unable to open \"" + larger.string() + "\".\nThe file is larger than the 2048 MiB this program reads.");
}

TEST(TextureFile, IterationCountsAreKeptAsStoredAndLimitedWhereUsed)
{
    // Counts far above the sliders' range are values of the file: they are
    // read and written back as they are, and evaluation takes at most
    // kMaxDetail of them.
    NoiseInit();
    Texture t = SampleTexture(1, 0, 2);
    Layer& layer = t.layers[0].layer;
    layer.rec.detail = 32767;
    layer.rec.reliefDetail = INT32_MAX;
    layer.keys[1].rec.reliefDetail = 1 << 30;
    layer.keys[0].rec.detail = 300;
    const std::vector<uint8_t> bytes = EncodeTextureFile(t);
    const Texture back = MustParse(bytes, FileKind::Texture);
    const Layer& read = back.layers[0].layer;
    EXPECT_EQ(+read.rec.detail, 32767);
    EXPECT_EQ(+read.rec.reliefDetail, INT32_MAX);
    EXPECT_EQ(+read.keys[1].rec.reliefDetail, 1 << 30);
    EXPECT_EQ(+read.keys[0].rec.detail, 300);
    EXPECT_EQ(EncodeTextureFile(back), bytes);
    Result<Layer> single = ParseLayerFile(EncodeLayerFile(layer));
    ASSERT_TRUE(single.ok());
    EXPECT_EQ(+single.value->rec.reliefDetail, INT32_MAX);

    EXPECT_EQ(LimitedDetail(read.rec), kMaxDetail);
    EXPECT_EQ(LimitedReliefDetail(read.rec), kMaxDetail);
    LayerRecord small{};
    small.detail = -4;
    small.reliefDetail = 20;
    EXPECT_EQ(LimitedDetail(small), -4);
    EXPECT_EQ(LimitedReliefDetail(small), 20);

    // A layer with the hostile counts looks exactly like one with the limit.
    EvalContext ctx;
    for (int m = 0; m < kMaterialCount; m += 3) {
        Layer hostile = SampleLayer(2);
        hostile.rec.material = static_cast<int8_t>(m);
        hostile.rec.relief = static_cast<int8_t>(m % kReliefCount);
        hostile.rec.detail = 32767;
        hostile.rec.reliefDetail = INT32_MAX;
        Layer limited = hostile;
        limited.rec.detail = kMaxDetail;
        limited.rec.reliefDetail = kMaxDetail;
        float c1[3] = {}, n1[3] = {}, c2[3] = {}, n2[3] = {};
        EvalLayer(0.3f, 0.6f, hostile, c1, n1, 0.0f, 0.0f, ctx);
        EvalLayer(0.3f, 0.6f, limited, c2, n2, 0.0f, 0.0f, ctx);
        EXPECT_EQ(std::memcmp(c1, c2, sizeof c1), 0) << m;
        EXPECT_EQ(std::memcmp(n1, n2, sizeof n1), 0) << m;
    }
}

TEST(TextureFile, HostileIterationCountsRenderInBoundedTime)
{
    // Every material and every relief with the largest counts a file can
    // hold: without the limit a single pixel would take hours.
    NoiseInit();
    Texture t;
    for (int m = 0; m < kMaterialCount; ++m) {
        LayerSlot slot;
        slot.layer = SampleLayer(m + 1);
        slot.layer.rec.material = static_cast<int8_t>(m);
        slot.layer.rec.relief = static_cast<int8_t>(m % kReliefCount);
        slot.layer.rec.detail = INT16_MAX;
        slot.layer.rec.reliefDetail = INT32_MAX;
        slot.layer.rec.lacunarity = 1.0f;  // no octave ever adds nothing
        slot.layer.rec.omega = 1.0f;
        slot.layer.rec.phase = 1.0f;
        slot.layer.rec.frequency = 1.0f;
        t.layers.push_back(std::move(slot));
    }
    const Texture hostile = MustParse(EncodeTextureFile(t), FileKind::Texture);
    const auto start = std::chrono::steady_clock::now();
    RenderResult result;
    RenderImage(hostile, 6, 4, kDisplayAllLayers, 0, true, {}, &result);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_TRUE(result.complete);
    EXPECT_LT(seconds, 30.0);  // well under a second, even with the sanitizers
}
