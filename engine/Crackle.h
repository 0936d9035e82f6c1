// Feature points of the cellular (Crackle) patterns, cached per context.
//
// Every point of pattern space sees 81 feature points, one per cell of the
// 5 x 5 x 5 block around it without the cells that lie two steps away on
// more than one axis.  A cell's point is placed by the layer's fBm and by a
// generator seeded from the cell, so the list is a function of the block's
// cells and of the fBm parameters.  The cache keeps a few recent lists
// under exactly those inputs: a hit returns what a fresh build would, and
// what was evaluated before never shows in a pixel.
#pragma once

#include <array>
#include <cstdint>

namespace morvane {

constexpr int kCrackleCells = 81;

// The inputs of one build.  Cells are the floors of the coordinate shifted
// by -2..2 (each axis apart, as floats), so the key holds them all.
struct CrackleKey {
    float cellX[5];
    float cellY[5];
    float cellZ[5];
    float amplitude;   // factor of the fBm displacement
    int16_t octaves;
    float lacunarity;
    float omega;

    // Bitwise equality: equal keys give identical lists.
    bool operator==(const CrackleKey& other) const;
};

struct CrackleList {
    float points[kCrackleCells][3];
    int count = 0;
};

// The nearest and second nearest feature points of a point.
struct CrackleNearest {
    int first = 0, second = 0;   // indices into the list
    float d1 = 0.0f, d2 = 0.0f;  // their squared distances
};

class CrackleCache {
public:
    // The feature points around (x, y, z) for these fBm parameters.  The
    // reference stays valid until the next call.
    const CrackleList& Points(float x, float y, float z, float amplitude, int16_t octaves, float lacunarity,
                              float omega);

    // Number of builds so far (for tests).
    uint64_t Builds() const { return builds_; }

private:
    static constexpr int kSlots = 4;
    struct Slot {
        CrackleKey key;
        CrackleList list;
        bool used = false;
    };
    std::array<Slot, kSlots> slots_{};
    int next_ = 0;  // the slot the next build replaces
    int last_ = 0;  // the slot of the last hit, tried first
    uint64_t builds_ = 0;
};

// Builds the list for a key (what the cache stores).
void BuildCrackleList(const CrackleKey& key, CrackleList& list);

// Fills the cells of a key for the point (x, y, z).
void CrackleCells(float x, float y, float z, CrackleKey& key);

// The true nearest and second nearest points, by squared distance: the
// first two points seed the pair in order, a later point becomes the
// nearest when strictly nearer than it (the old nearest becomes the
// second), else the second when strictly nearer than the second.
CrackleNearest FindNearestTwo(const CrackleList& list, float x, float y, float z);

}  // namespace morvane
