// Exact decimal-to-binary conversion: a significand of up to 24 decimal digits times a power of
// ten, rounded to double precision to nearest with a tie going away from zero.
#pragma once

#include <cstdint>

namespace quelvar {

// The significand is high * 2^64 + low and must be below 2^80 (24 decimal digits).
//
// Guarantees, for x = significand * 10^scale:
// - Exact: the result is x rounded to the nearest double, a value exactly halfway between two
//   doubles going to the one of larger magnitude. No floating-point library conversion is used;
//   the one floating-point operation (a quotient of two exact doubles) is proven tie-free.
// - Returns false, leaving `magnitude` alone, when x rounds beyond the largest double, that is
//   when x >= 2^1024 - 2^970 (the largest double plus half its spacing): 1E309 does,
//   1.7976931348623158E308 does not.
// - A zero significand gives +0.0 whatever the scale.
// - A scale below -69 gives +0.0 instead of the (tiny) double: the magnitude is then below
//   10^24 x 10^-70 = 10^-46 < 2^-151, so it rounds to zero in single precision either way, and
//   single precision is the only use of the result. Every other result is a normal double
//   (x >= 10^-69 > 2^-1022).
// - Does not allocate; fixed arrays of at most 13 64-bit words; any int scale is accepted.
//
// Examples: (3005, -1) -> 300.5; (9007199254740993, 0) -> 9007199254740994 (2^53 + 1 is a tie);
// (1, 309) -> false; (1, -50) -> 0.0.
bool decimal_to_double(std::uint64_t high, std::uint64_t low, int scale, double& magnitude);

}  // namespace quelvar
