// The one inverse DCT of the MPEG encoder and decoder: a fast integer
// Chen-Wang transform at a 12-bit coefficient scale, exact and bit-identical
// wherever it runs, so that the encoder's reconstruction equals what a
// decoder built on it produces.
//
// Intermediates are 64-bit where 32-bit products can overflow (blocks with
// coefficients beyond the -2048..2047 that a legal stream carries); for
// every block whose 32-bit computation does not overflow the result is the
// same as the 32-bit computation.
#pragma once

#include <cstdint>

namespace morvane {

// Prepares the output clip table (-512..511 clamped to -256..255).  The
// table is a process-wide constant; calling this is cheap, idempotent and
// safe from any thread.  fast_idct works without it as well.
void init_fast_idct();

// Inverse transform of one 8 x 8 block of coefficients in raster order, in
// place.  Outputs are clamped to -256..255.
void fast_idct(int16_t* block);

// The clamp that fast_idct applies to its outputs (index -512..511 maps to
// -256..255; indices beyond clamp the same way).
int16_t IdctClip(int64_t v);

}  // namespace morvane
