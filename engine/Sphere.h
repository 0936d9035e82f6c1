// The shaded sphere of the light picker: the table of sphere normals
// ("sphere.par", one quarter of a disc of radius 75) and the shading of one
// point of it by a layer's light, brilliance, reflection and light colour.
//
// Table layout, little-endian, no header, read as one block of
// kSphereTableBytes: for each row r = 0..75 (d = 75 - r rows from the
// centre) an int16 start column c, then, when c <= 75, one 53-byte record
// per column c..75 whose first three floats are the point's unit normal in
// the order z (towards the viewer), y, x.  The stored y points left and the
// stored x up: the picker mirrors the quarter by negating them.
#pragma once

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <span>
#include <vector>

#include "engine/Records.h"

namespace morvane {

constexpr size_t kSphereTableBytes = 244376;
constexpr int kSphereRows = 76;
constexpr int kSphereLastColumn = 75;
constexpr size_t kSphereRecordBytes = 53;
constexpr int kShadingLinePixels = 100;  // 400 bytes: blue, green, red, 0

class SphereTable {
public:
    SphereTable();  // all zero, as when no file was found

    // Finds "sphere.par" among the data files and reads it.  A missing file
    // leaves the table all zero; a short file leaves the rest zero; bytes
    // past the table's size are ignored.  Returns whether a file was read.
    bool Load();
    bool LoadFile(const std::filesystem::path& path);
    void LoadBytes(std::span<const uint8_t> bytes);

    std::span<const uint8_t> Bytes() const { return bytes_; }

    // One point of the table: its row distance d (75 - row), its column j
    // and its normal as stored (z, y, x).
    struct Point {
        int d;
        int column;
        float stored[3];
    };
    // Calls visit(point) for every record in table order, then rowEnd(d)
    // after each row (also after a row without records).  The walk never
    // leaves the table: it ends where the bytes end, whatever the row heads
    // say; records of negative columns are passed over.
    template <class Visit, class RowEnd>
    void Walk(Visit&& visit, RowEnd&& rowEnd) const;

private:
    std::vector<uint8_t> bytes_;
};

// The shading of one sphere point (formerly process-wide state): the
// normal and eye vector of the point, the resulting colour, and the
// picker's two line buffers.
class SphereShader {
public:
    float normal[3] = {0, 0, 0};  // (x, y, z) of the current point
    float eye[3] = {0, 0, 0};     // the point seen from the eye at (0, 0, 10)
    float colour[3] = {0, 0, 0};  // the last shaded colour, not clamped

    // Two lines of blue, green, red, 0 bytes: a row of the upper (A) and of
    // the lower (B) half of the sphere.
    uint8_t lineA[kShadingLinePixels * 4];
    uint8_t lineB[kShadingLinePixels * 4];

    SphereShader() { AllocShadingLines(); }

    // Fills both line buffers with grey 192.
    void AllocShadingLines();
    // eye = normal - (0, 0, 10), then ShadePoint.
    void ShadeSpherePoint(const LayerRecord& layer);
    // ShadePoint with the current normal and eye.
    void SetShadingNormal(const LayerRecord& layer) { ShadePoint(layer); }
    // Computes colour from normal, eye and the layer's light.
    void ShadePoint(const LayerRecord& layer);

    // Shades the sphere as the light picker shows it, 75 x 75 pixels from
    // the quarter table and its three mirror images: for every even d
    // (75..0) the even columns j of that row are shaded into lineA at
    // j / 2 (as stored) and 75 - j / 2 (stored y negated), into lineB at
    // 75 - j / 2 (y and x negated) and j / 2 (x negated); then
    // drawRows(d) is called so the caller can draw lineA at d / 2 above the
    // centre and lineB at d / 2 below it.  Lines start grey and keep what
    // earlier rows left where a row has no point.
    template <class DrawRows>
    void ShadeRows(const SphereTable& table, const LayerRecord& layer, DrawRows&& drawRows);

    // The byte of a shaded channel: at most 1.0 (and at least 0) times 255,
    // truncated.
    static uint8_t ChannelByte(float c);

private:
    void Store(uint8_t* line, int position);
};

// ---------------------------------------------------------------------------

template <class Visit, class RowEnd>
void SphereTable::Walk(Visit&& visit, RowEnd&& rowEnd) const
{
    const uint8_t* data = bytes_.data();
    const size_t size = bytes_.size();
    size_t at = 0;
    for (int r = 0; r < kSphereRows; ++r) {
        const int d = kSphereLastColumn - r;
        if (at + 2 > size) return;
        int16_t head;
        std::memcpy(&head, data + at, 2);
        at += 2;
        for (int j = head; j <= kSphereLastColumn; ++j) {
            if (at + kSphereRecordBytes > size) return;
            if (j >= 0) {
                Point p{d, j, {0, 0, 0}};
                std::memcpy(p.stored, data + at, sizeof p.stored);
                visit(p);
            }
            at += kSphereRecordBytes;
        }
        rowEnd(d);
    }
}

template <class DrawRows>
void SphereShader::ShadeRows(const SphereTable& table, const LayerRecord& layer, DrawRows&& drawRows)
{
    AllocShadingLines();
    table.Walk(
        [&](const SphereTable::Point& p) {
            if (p.d % 2 != 0 || p.column % 2 != 0) return;
            const int f = p.column / 2;
            normal[0] = p.stored[2];
            normal[1] = p.stored[1];
            normal[2] = p.stored[0];
            ShadeSpherePoint(layer);
            Store(lineA, f);
            normal[1] = -normal[1];  // mirrored left to right
            eye[1] = -eye[1];
            SetShadingNormal(layer);
            Store(lineA, kSphereLastColumn - f);
            normal[0] = -normal[0];  // and top to bottom
            eye[0] = -eye[0];
            SetShadingNormal(layer);
            Store(lineB, kSphereLastColumn - f);
            normal[1] = -normal[1];  // top to bottom only
            eye[1] = -eye[1];
            SetShadingNormal(layer);
            Store(lineB, f);
        },
        [&](int d) {
            if (d % 2 == 0) drawRows(d);
        });
}

}  // namespace morvane
