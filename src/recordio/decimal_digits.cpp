#include "recordio/decimal_digits.h"

#include <array>
#include <bit>
#include <cstring>

namespace quelvar {
namespace {

__extension__ typedef unsigned __int128 Uint128;

// A value below one is scaled by 10^s with s from 10 to 63 (derived in `scaled_digits`); 5^63 is
// below 2^147, so every power fits three 64-bit limbs, and so does its product with a 24-bit
// mantissa (below 2^171).
inline constexpr int kPowersOfFive = 64;

struct Limbs192 {
  std::uint64_t limb[3];  // least significant first
};

constexpr std::array<Limbs192, kPowersOfFive> make_powers_of_five() {
  std::array<Limbs192, kPowersOfFive> table{};
  table[0] = Limbs192{{1, 0, 0}};
  for (int s = 1; s < kPowersOfFive; ++s) {
    Uint128 carry = 0;
    for (int i = 0; i < 3; ++i) {
      const Uint128 product = static_cast<Uint128>(table[s - 1].limb[i]) * 5u + carry;
      table[s].limb[i] = static_cast<std::uint64_t>(product);
      carry = product >> 64;
    }
  }
  return table;
}

constexpr std::array<Limbs192, kPowersOfFive> kPowersOfFiveTable = make_powers_of_five();
static_assert(kPowersOfFiveTable[27].limb[0] == 7450580596923828125u);
static_assert(kPowersOfFiveTable[63].limb[2] != 0 && kPowersOfFiveTable[63].limb[2] < (1u << 19));

constexpr std::array<Uint128, 22> make_powers_of_ten() {
  std::array<Uint128, 22> table{};
  table[0] = 1;
  for (size_t i = 1; i < table.size(); ++i) table[i] = table[i - 1] * 10u;
  return table;
}

// 10^0 to 10^21: a value of 2^64 and more is divided by at most 10^21 (39 digits down to 18).
constexpr std::array<Uint128, 22> kPowersOfTen = make_powers_of_ten();

constexpr std::uint64_t kTenTo16 = 10000000000000000u;
constexpr std::uint64_t kTenTo17 = 100000000000000000u;
constexpr std::uint64_t kTenTo18 = 1000000000000000000u;

// floor(e * log10(2)) for |e| < 1650; 78913 / 2^18 is log10(2) to within 3e-6 (the same bound
// that binary-to-decimal printers rely on). C++20 shifts negative values arithmetically.
constexpr int floor_log10_pow2(int e) { return (e * 78913) >> 18; }

// floor(m * 5^s / 2^shift) or (m * 5^s) << -shift, known to be below 10^19: the bits of the
// exact 192-bit product that the decimal scaling keeps.
std::uint64_t scaled_by_power_of_five(std::uint32_t m, int s, int shift) {
  const Limbs192& power = kPowersOfFiveTable[static_cast<size_t>(s)];
  std::uint64_t product[3];
  Uint128 carry = 0;
  for (int i = 0; i < 3; ++i) {
    const Uint128 part = static_cast<Uint128>(power.limb[i]) * m + carry;
    product[i] = static_cast<std::uint64_t>(part);
    carry = part >> 64;
  }
  if (shift <= 0) return product[0] << -shift;  // the product itself is below 2^64 here
  const int word = shift / 64;
  const int bit = shift % 64;
  std::uint64_t low = product[word] >> bit;
  if (bit != 0 && word < 2) low |= product[word + 1] << (64 - bit);
  return low;
}

// Step 2 of `decimal_digits`: for the magnitude v = m * 2^q (0 < m < 2^24, -149 <= q <= 104)
// returns floor(v * 10^(18 - point)), the first 18 significant digits of v cut (not rounded),
// and sets `point` so that v = 0.d1d2... x 10^point.
std::uint64_t first_eighteen_digits(std::uint32_t m, int q, std::int32_t& point) {
  // v lies in [2^b, 2^(b+1)), so floor(log10 v) is floor(b log10 2) or one more: `estimate` is
  // the point or one below it, and scaling by 10^(18 - estimate) gives 18 or 19 digits.
  const int b = std::bit_width(m) - 1 + q;
  const int estimate = floor_log10_pow2(b) + 1;
  const int s = 18 - estimate;
  std::uint64_t scaled;
  if (q < 0) {
    // v < 2^24 < 10^8 makes estimate <= 8, and v >= 2^-149 > 10^-45 makes estimate >= -45:
    // 10 <= s <= 63. v * 10^s = m * 5^s * 2^(q + s) exactly.
    scaled = scaled_by_power_of_five(m, s, -(q + s));
  } else if (s >= 0) {
    // An integer of at most 19 digits times 10^s stays below 10^19 < 2^64.
    scaled = (static_cast<std::uint64_t>(m) << q) *
             static_cast<std::uint64_t>(kPowersOfTen[static_cast<size_t>(s)]);
  } else if (q <= 40) {
    // Below 2^64: one 64-bit division by 10^(-s) <= 10^19.
    scaled = (static_cast<std::uint64_t>(m) << q) /
             static_cast<std::uint64_t>(kPowersOfTen[static_cast<size_t>(-s)]);
  } else {
    // Up to 39 digits (FLT_MAX), divided by up to 10^21.
    scaled =
        static_cast<std::uint64_t>((static_cast<Uint128>(m) << q) / kPowersOfTen[static_cast<size_t>(-s)]);
  }
  point = estimate;
  if (scaled >= kTenTo18) {
    // floor(floor(x) / 10) = floor(x / 10): dropping the 19th digit keeps the cut exact.
    scaled /= 10;
    point = estimate + 1;
  }
  return scaled;
}

constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "80818283848586878889909192939495969798999";

// Writes the `count` low digits of `value`, zero-padded, ending just before `end`.
void write_digits(char* end, std::uint32_t value, int count) {
  while (count >= 2) {
    end -= 2;
    std::memcpy(end, kDigitPairs + 2 * (value % 100), 2);
    value /= 100;
    count -= 2;
  }
  if (count == 1) end[-1] = static_cast<char>('0' + value % 10);
}

}  // namespace

DecimalDigits decimal_digits(float value) {
  DecimalDigits result;
  // Step 1: decode, unifying normal and subnormal values as m * 2^q with m < 2^24.
  const std::uint32_t bits = std::bit_cast<std::uint32_t>(value);
  const std::uint32_t exponent_field = (bits >> 23) & 0xFFu;
  const std::uint32_t fraction = bits & 0x7FFFFFu;
  const bool sign = (bits >> 31) != 0;
  if (exponent_field == 0xFFu) {
    result.negative = sign;
    return result;
  }
  if (exponent_field == 0 && fraction == 0) {
    result.digits[0] = '0';
    result.count = 1;
    return result;
  }
  result.negative = sign;
  const std::uint32_t m = exponent_field == 0 ? fraction : fraction | 0x800000u;
  const int q = exponent_field == 0 ? -149 : static_cast<int>(exponent_field) - 150;

  // Step 2: the first 18 digits, cut.
  std::int32_t point = 0;
  const std::uint64_t eighteen = first_eighteen_digits(m, q, point);

  // Step 3: round to 17. The discarded part is 0.d18 d19 ... units of digit 17, which is one
  // half or more exactly when d18 >= 5, so the cut 18 digits decide the rounding alone.
  std::uint64_t seventeen = eighteen / 10;
  if (eighteen % 10 >= 5) {
    ++seventeen;
    if (seventeen == kTenTo17) {
      seventeen = kTenTo16;
      ++point;
    }
  }

  // Step 4: spell the 17 digits (9 + 8) and drop trailing zeros.
  write_digits(result.digits + 9, static_cast<std::uint32_t>(seventeen / 100000000u), 9);
  write_digits(result.digits + 17, static_cast<std::uint32_t>(seventeen % 100000000u), 8);
  int count = kMaxDecimalDigits;
  while (result.digits[count - 1] == '0') --count;
  result.count = count;
  result.point = point;
  return result;
}

bool round_digits(DecimalDigits& decimal, int n) {
  if (decimal.count <= n) return false;
  const char decider = decimal.digits[n];
  for (int i = n; i < decimal.count; ++i) decimal.digits[i] = '\0';
  decimal.count = n;
  if (decider < '5') {
    bool all_zero = true;
    for (int i = 0; i < n; ++i) all_zero = all_zero && decimal.digits[i] == '0';
    if (all_zero) decimal.negative = false;
    return false;
  }
  int i = n - 1;
  while (i >= 0 && decimal.digits[i] == '9') decimal.digits[i--] = '0';
  if (i >= 0) {
    ++decimal.digits[i];
    return false;
  }
  // Every kept digit was 9: "1" and n zeros, one place higher. n < count <= 17 keeps the n + 1
  // digits within the 17.
  decimal.digits[0] = '1';
  decimal.digits[n] = '0';
  decimal.count = n + 1;
  ++decimal.point;
  return true;
}

}  // namespace quelvar
