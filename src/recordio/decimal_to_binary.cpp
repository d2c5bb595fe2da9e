#include "recordio/decimal_to_binary.h"

#include <algorithm>
#include <array>
#include <bit>

namespace quelvar {
namespace {

// 64 x 64 -> 128-bit products and 128 / 64-bit quotients. GCC and Clang provide this type on
// every 64-bit target; __extension__ keeps -Wpedantic quiet about it.
__extension__ typedef unsigned __int128 Uint128;

constexpr std::uint64_t kTwoTo52 = std::uint64_t{1} << 52;
constexpr std::uint64_t kTwoTo53 = std::uint64_t{1} << 53;

// 10^0 to 10^22 are exact doubles: 10^22 = 2^22 * 5^22 and 5^22 < 2^53.
constexpr double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr int kMaxExactPowerOfTen = 22;

// 5^27 < 2^63 is the largest power of five that fits a word (5^28 > 2^64), so the big-integer
// steps multiply and divide by at most 5^27 at a time.
constexpr int kMaxFivePowerInWord = 27;
constexpr std::array<std::uint64_t, kMaxFivePowerInWord + 1> kPowersOfFive = [] {
  std::array<std::uint64_t, kMaxFivePowerInWord + 1> powers{};
  powers[0] = 1;
  for (int k = 1; k <= kMaxFivePowerInWord; ++k) powers[k] = powers[k - 1] * 5;
  return powers;
}();

// The scales that need arithmetic. The significand w is in [1, 10^24):
// - scale > 308: x >= 10^309 > 2^1024, beyond the double range. This includes every scale above
//   +5200, which the value syntax also calls an overflow.
// - scale < -69: x < 10^24 * 10^-70 = 10^-46 < 2^-151 (about 3.5e-46), so x rounds to a double of
//   at most 2^-151 and that to a single zero. This includes every scale below -5200.
// - scale >= -69: x >= 10^-69 > 2^-1022, so every result is a normal double.
constexpr int kMaxScale = 308;
constexpr int kMinScale = -69;

// Word capacities, derived from the scale range:
// - product path (scale 0 to 308): w * 5^scale < 2^80 * 2^716 = 2^796 (308 * log2(5) = 715.2),
//   at most 13 words.
// - quotient path (scale -1 to -69): the numerator w * 2^shift has at most 216 bits (see
//   `divide_path`), at most 4 words.
constexpr int kProductWords = 13;
constexpr int kQuotientWords = 4;

int bit_length(std::uint64_t high, std::uint64_t low) {
  return high != 0 ? 128 - std::countl_zero(high) : 64 - std::countl_zero(low);
}

// Rounds x to a double, given q = words[0, count) (little-endian, top word nonzero) with
// q = floor(x / 2^exponent), and q = x / 2^exponent exactly when q has fewer than 54 bits.
//
// Why the top 54 bits of q and nothing else decide: truncating q to its top 54 bits gives
// h = floor(x / 2^e') for the matching e' (a floor of a floor by a power of two is one floor).
// The double's significand truncated is h >> 1, and the first bit below it is h & 1. Ties go
// away from zero, so the magnitude rounds up exactly when that bit is 1: x is then at or above
// the midpoint, and whether it is above (the sticky bits) does not matter.
bool round_to_double(const std::uint64_t* words, int count, int exponent, double& magnitude) {
  const std::uint64_t top = words[count - 1];
  const int leading_zeros = std::countl_zero(top);
  std::uint64_t window = top << leading_zeros;  // the top 64 bits of q
  if (leading_zeros != 0 && count > 1) window |= words[count - 2] >> (64 - leading_zeros);
  const std::uint64_t head = window >> 10;  // the top 54 bits (shifted left, and exact, if q is short)
  // The weight of head's lowest bit is 2^(exponent + bit length of q - 54); the significand's
  // unit is twice that.
  int unit_exponent = exponent + 64 * count - leading_zeros - 54 + 1;
  std::uint64_t significand = (head >> 1) + (head & 1);
  if (significand == kTwoTo53) {  // rounded up to the next binade
    significand = kTwoTo52;
    ++unit_exponent;
  }
  // A significand in [2^52, 2^53) with unit 2^u has the biased exponent u + 52 + 1023.
  const int biased_exponent = unit_exponent + 1075;
  if (biased_exponent >= 2047) return false;
  magnitude = std::bit_cast<double>((static_cast<std::uint64_t>(biased_exponent) << 52) |
                                    (significand - kTwoTo52));
  return true;
}

// scale 0 to 308: x = (w * 5^scale) * 2^scale is an integer times a power of two, formed exactly.
bool multiply_path(std::uint64_t high, std::uint64_t low, int scale, double& magnitude) {
  std::uint64_t words[kProductWords] = {low, high};
  int count = high != 0 ? 2 : 1;
  for (int remaining = scale; remaining > 0;) {
    const int step = std::min(remaining, kMaxFivePowerInWord);
    const std::uint64_t factor = kPowersOfFive[static_cast<std::size_t>(step)];
    std::uint64_t carry = 0;
    for (int i = 0; i < count; ++i) {
      const Uint128 product = static_cast<Uint128>(words[i]) * factor + carry;
      words[i] = static_cast<std::uint64_t>(product);
      carry = static_cast<std::uint64_t>(product >> 64);
    }
    if (carry != 0) words[count++] = carry;
    remaining -= step;
  }
  return round_to_double(words, count, scale, magnitude);
}

// scale -1 to -69, k = -scale: x = w / 10^k = (w * 2^shift / 5^k) * 2^(-shift - k).
// q = floor(w * 2^shift / 5^k) is found by dividing by 5^27 and then by the rest of 5^k one
// word at a time: floor(floor(n / a) / b) = floor(n / (a * b)) for positive integers, so the
// chain of word divisions gives the exact floor.
bool divide_path(std::uint64_t high, std::uint64_t low, int scale, double& magnitude) {
  const int k = -scale;
  // shift is chosen so that q >= 2^54 (round_to_double needs 54 bits of a floor): with
  // w >= 2^(b-1) (b = bit length of w) and 5^k < 2^c, w * 2^shift / 5^k > 2^(b - 1 + shift - c),
  // which is >= 2^54 once shift >= 55 + c - b. c = floor(k * 2378 / 1024) + 1 is at least the
  // bit length floor(k * log2(5)) + 1 of 5^k, because 2378 / 1024 = 2.32227 > log2(5) = 2.32193;
  // for k = 69 it is 161. So w * 2^shift has at most max(80, 55 + 161) = 216 bits: 4 words.
  const int five_bits = (k * 2378 >> 10) + 1;
  const int shift = std::max(0, 55 + five_bits - bit_length(high, low));
  const Uint128 w = static_cast<Uint128>(high) << 64 | low;
  const int count = (bit_length(high, low) + shift + 63) / 64;
  std::uint64_t words[kQuotientWords];
  for (int i = 0; i < count; ++i) {
    const int position = 64 * i - shift;  // bit of w that lands at bit 0 of word i
    if (position >= 0) {
      words[i] = position < 128 ? static_cast<std::uint64_t>(w >> position) : 0;
    } else {
      words[i] = position > -64 ? static_cast<std::uint64_t>(w << -position) : 0;
    }
  }
  int top = count;
  for (int remaining = k; remaining > 0;) {
    const int step = std::min(remaining, kMaxFivePowerInWord);
    const std::uint64_t divisor = kPowersOfFive[static_cast<std::size_t>(step)];
    std::uint64_t remainder = 0;
    for (int i = top - 1; i >= 0; --i) {
      // remainder < divisor, so the quotient word fits 64 bits. A zero remainder (always so at
      // the top word) needs only a 64-bit division, much cheaper than the 128-bit one.
      std::uint64_t quotient;
      if (remainder == 0) {
        quotient = words[i] / divisor;
        remainder = words[i] - quotient * divisor;
      } else {
        const Uint128 current = static_cast<Uint128>(remainder) << 64 | words[i];
        quotient = static_cast<std::uint64_t>(current / divisor);
        remainder = static_cast<std::uint64_t>(current - static_cast<Uint128>(quotient) * divisor);
      }
      words[i] = quotient;
    }
    while (words[top - 1] == 0) --top;  // q >= 2^54 keeps a nonzero word
    remaining -= step;
  }
  return round_to_double(words, top, -shift - k, magnitude);
}

}  // namespace

bool decimal_to_double(std::uint64_t high, std::uint64_t low, int scale, double& magnitude) {
  if (high == 0 && low == 0) {
    magnitude = 0.0;
    return true;
  }
  if (scale > kMaxScale) return false;
  if (scale < kMinScale) {
    magnitude = 0.0;
    return true;
  }
  if (scale >= 0) return multiply_path(high, low, scale, magnitude);

  // Fast path: w <= 2^53 and 10^k with k <= 22 are exact doubles, so the hardware quotient (the
  // run keeps the default rounding, to nearest) is x rounded to nearest with ties to even. It is
  // also x rounded with ties away, because x is never a tie. A tie is m * 2^j with m an odd
  // integer of 54 bits (2^53 < m < 2^54). From w / (2^k * 5^k) = m * 2^j, w = m * 5^k * 2^(j + k);
  // m * 5^k is odd, so w can be an integer only with j + k >= 0, and then its odd part is
  // m * 5^k > 2^53 >= w, which is impossible. x >= 10^-22 is a normal double, so no subnormal
  // rounding enters either.
  if (high == 0 && low <= kTwoTo53 && scale >= -kMaxExactPowerOfTen) {
    magnitude = static_cast<double>(low) / kExactPowersOfTen[-scale];
    return true;
  }
  return divide_path(high, low, scale, magnitude);
}

}  // namespace quelvar
