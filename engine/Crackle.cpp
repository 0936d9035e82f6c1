#include "engine/Crackle.h"

#include <cmath>
#include <cstring>

#include "engine/Noise.h"
#include "engine/PatternsInternal.h"
#include "engine/Random.h"

namespace morvane {

bool CrackleKey::operator==(const CrackleKey& other) const
{
    // Compared field by field as bytes: padding never takes part.
    return std::memcmp(cellX, other.cellX, sizeof cellX) == 0 &&
           std::memcmp(cellY, other.cellY, sizeof cellY) == 0 &&
           std::memcmp(cellZ, other.cellZ, sizeof cellZ) == 0 &&
           std::memcmp(&amplitude, &other.amplitude, sizeof amplitude) == 0 && octaves == other.octaves &&
           std::memcmp(&lacunarity, &other.lacunarity, sizeof lacunarity) == 0 &&
           std::memcmp(&omega, &other.omega, sizeof omega) == 0;
}

void CrackleCells(float x, float y, float z, CrackleKey& key)
{
    for (int d = -2; d <= 2; ++d) {
        const float fd = static_cast<float>(d);
        key.cellX[d + 2] = std::floor(x + fd - 0.00001f);
        key.cellY[d + 2] = std::floor(y + fd - 0.00001f);
        key.cellZ[d + 2] = std::floor(z + fd - 0.00001f);
    }
}

void BuildCrackleList(const CrackleKey& key, CrackleList& list)
{
    Lcg rng(0);
    list.count = 0;
    for (int dx = -2; dx <= 2; ++dx) {
        for (int dy = -2; dy <= 2; ++dy) {
            for (int dz = -2; dz <= 2; ++dz) {
                const int far = (dx == -2 || dx == 2) + (dy == -2 || dy == 2) + (dz == -2 || dz == 2);
                if (far > 1) continue;
                const float gx = key.cellX[dx + 2], gy = key.cellY[dy + 2], gz = key.cellZ[dz + 2];
                rng.Seed(patterns::LatticeHash(gx, gy, gz));
                const float s = Fbm(gx, gy, gz, key.octaves, key.lacunarity, key.omega) * key.amplitude;
                const int r1 = rng.Next() & 0x7FFF;
                const int r2 = rng.Next() & 0x7FFF;
                const int r3 = rng.Next() & 0x7FFF;
                float* p = list.points[list.count++];
                p[0] = gx + static_cast<float>(r1) * s / 32767.0f;
                p[1] = gy + static_cast<float>(r2) * s / 32767.0f;
                p[2] = gz + static_cast<float>(r3) * s / 32767.0f;
            }
        }
    }
}

const CrackleList& CrackleCache::Points(float x, float y, float z, float amplitude, int16_t octaves,
                                        float lacunarity, float omega)
{
    CrackleKey key;
    CrackleCells(x, y, z, key);
    key.amplitude = amplitude;
    key.octaves = octaves;
    key.lacunarity = lacunarity;
    key.omega = omega;

    if (slots_[last_].used && slots_[last_].key == key) return slots_[last_].list;
    for (int i = 0; i < kSlots; ++i) {
        if (slots_[i].used && slots_[i].key == key) {
            last_ = i;
            return slots_[i].list;
        }
    }
    Slot& slot = slots_[next_];
    slot.key = key;
    BuildCrackleList(key, slot.list);
    slot.used = true;
    ++builds_;
    last_ = next_;
    next_ = (next_ + 1) % kSlots;
    return slot.list;
}

CrackleNearest FindNearestTwo(const CrackleList& list, float x, float y, float z)
{
    CrackleNearest n;
    if (list.count < 2) return n;
    const auto dist2 = [&](int i) {
        const float dx = list.points[i][0] - x, dy = list.points[i][1] - y, dz = list.points[i][2] - z;
        return dx * dx + dy * dy + dz * dz;
    };
    n.first = 0;
    n.d1 = dist2(0);
    n.second = 1;
    n.d2 = dist2(1);
    if (n.d2 < n.d1) {
        std::swap(n.first, n.second);
        std::swap(n.d1, n.d2);
    }
    for (int i = 2; i < list.count; ++i) {
        const float d = dist2(i);
        if (d < n.d1) {
            n.second = n.first;
            n.d2 = n.d1;
            n.first = i;
            n.d1 = d;
        } else if (d < n.d2) {
            n.second = i;
            n.d2 = d;
        }
    }
    return n;
}

}  // namespace morvane
