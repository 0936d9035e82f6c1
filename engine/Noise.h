// Lattice gradient noise in 16-bit fixed point, its sums over octaves, and
// the small periodic helpers the patterns use.
//
// The tables are process-wide and read-only once NoiseInit has built them
// (only their builder writes them; everyone else sees const tables); every
// function here is then reentrant (the fixed-point offset vector of the
// corner being evaluated is local to each call).
//
// The noise and its octave sums are computed by the kernels of the
// processor's level (plain C++ or SSE2), chosen in NoiseInit from
// CpuFlags() (engine/Cpu.h); every level gives the same bits.  NoiseInit
// takes the dot-product path from the same flags (MmxPresent()).
#pragma once

#include <cstdint>

namespace morvane {

constexpr int kNoisePermSize = 4096;
constexpr int kNoiseLatticeSize = 267;
constexpr int kSineTableSize = 1000;
constexpr int kWaveSources = 20;

extern const int16_t (&NoisePerm)[kNoisePermSize];
extern const float (&NoiseLattice)[kNoiseLatticeSize];
extern const int16_t (&NoiseGradients)[kNoiseLatticeSize][4];  // rows 0..263 used
extern const float (&SineTable)[kSineTableSize];
extern const float (&WaveSources)[kWaveSources][3];
extern const float (&WaveScales)[kWaveSources];

// Builds every table (the same tables on every run and machine) and
// chooses the kernels and the dot-product path for CpuFlags(): the
// four-term packed product when MmxPresent(), else the plain three-term
// one.  Safe to call more than once: the tables are built once, the
// kernels and the path chosen again (after SetCpuMask).
void NoiseInit();
// Marks the tables as released; a later NoiseInit builds them again.
void NoiseFree();

// CRC-16/ARC (reflected polynomial 0xA001, initial value 0, no final xor).
uint16_t Crc16(const uint8_t* data, int length);

// Fixed-point dot product of a gradient row and a corner offset, by the
// path NoiseInit chose (four-term before any NoiseInit).  Bits 16..31 of
// the 32-bit wrap-around sum.
int16_t GradientDot(const int16_t row[4], const int16_t offset[4]);
int16_t GradientDot4(const int16_t row[4], const int16_t offset[4]);  // packed path
int16_t GradientDot3(const int16_t row[4], const int16_t offset[4]);  // plain path

float Noise3(float x, float y, float z);                 // 0..1
void VNoise3(float out[3], float x, float y, float z);  // about -1..1 each

float Fbm(float x, float y, float z, int16_t octaves, float lacunarity, float omega);
void VFbm(float out[3], float x, float y, float z, int16_t octaves, float lacunarity, float omega);
void VectorFbm(const float p[3], float gain, float lacunarity, int32_t octaves, float out[3]);

// The noise kernels of one processor level, each for both dot-product
// paths (index 1: the four-term path, 0: the three-term one).  Noise3,
// VNoise3, Fbm and VFbm call the ones NoiseInit chose; the kernel checker
// compares the levels.
struct NoiseKernels {
    float (*noise3[2])(float x, float y, float z);
    void (*vnoise3[2])(float out[3], float x, float y, float z);
    float (*fbm[2])(float x, float y, float z, int16_t octaves, float lacunarity, float omega);
    void (*vfbm[2])(float out[3], float x, float y, float z, int16_t octaves, float lacunarity, float omega);
};
// The kernels for a set of CpuFlag values (the highest level they allow).
NoiseKernels NoiseKernelsFor(uint32_t cpuFlags);

float TableSin(float x);      // sin(2 pi x) from the table
float TriangleWave(float x);  // 0 at integers, 1 at half-integers
float Clamp(float x, float lo, float hi);
float SmoothStep(float lo, float hi, float x);

}  // namespace morvane
