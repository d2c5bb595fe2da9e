// A slow, exact reference for the value conversion tests: decimal texts as big rationals, for any
// single result the exact set of reals that the two rounding stages send to it, and text makers.
#pragma once

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "recordio/value_conversion.h"

namespace quelvar::reference {

// A natural number in little-endian 32-bit limbs; no leading zero limbs (zero is empty).
class Natural {
 public:
  Natural() = default;
  explicit Natural(std::uint64_t value) {
    while (value != 0) {
      limbs_.push_back(static_cast<std::uint32_t>(value));
      value >>= 32;
    }
  }

  bool is_zero() const { return limbs_.empty(); }

  void multiply(std::uint32_t factor) {
    std::uint64_t carry = 0;
    for (std::uint32_t& limb : limbs_) {
      const std::uint64_t product = static_cast<std::uint64_t>(limb) * factor + carry;
      limb = static_cast<std::uint32_t>(product);
      carry = product >> 32;
    }
    if (carry != 0) limbs_.push_back(static_cast<std::uint32_t>(carry));
    trim();
  }

  void add(std::uint32_t term) {
    std::uint64_t carry = term;
    for (std::size_t i = 0; carry != 0; ++i) {
      if (i == limbs_.size()) limbs_.push_back(0);
      const std::uint64_t sum = static_cast<std::uint64_t>(limbs_[i]) + carry;
      limbs_[i] = static_cast<std::uint32_t>(sum);
      carry = sum >> 32;
    }
  }

  Natural times(const Natural& other) const {
    if (is_zero() || other.is_zero()) return Natural();
    Natural result;
    result.limbs_.assign(limbs_.size() + other.limbs_.size(), 0);
    for (std::size_t i = 0; i < limbs_.size(); ++i) {
      std::uint64_t carry = 0;
      for (std::size_t j = 0; j < other.limbs_.size(); ++j) {
        const std::uint64_t current = static_cast<std::uint64_t>(limbs_[i]) * other.limbs_[j] +
                                      result.limbs_[i + j] + carry;
        result.limbs_[i + j] = static_cast<std::uint32_t>(current);
        carry = current >> 32;
      }
      result.limbs_[i + other.limbs_.size()] = static_cast<std::uint32_t>(carry);
    }
    result.trim();
    return result;
  }

  void shift_left(long bits) {
    if (is_zero() || bits == 0) return;
    const std::size_t whole = static_cast<std::size_t>(bits / 32);
    const int part = static_cast<int>(bits % 32);
    limbs_.insert(limbs_.begin(), whole, 0);
    if (part != 0) {
      std::uint32_t carry = 0;
      for (std::size_t i = whole; i < limbs_.size(); ++i) {
        const std::uint32_t limb = limbs_[i];
        limbs_[i] = (limb << part) | carry;
        carry = limb >> (32 - part);
      }
      if (carry != 0) limbs_.push_back(carry);
    }
  }

  // Divides by a small divisor, returning the remainder.
  std::uint32_t divide(std::uint32_t divisor) {
    std::uint64_t remainder = 0;
    for (std::size_t i = limbs_.size(); i-- > 0;) {
      const std::uint64_t current = (remainder << 32) | limbs_[i];
      limbs_[i] = static_cast<std::uint32_t>(current / divisor);
      remainder = current % divisor;
    }
    trim();
    return static_cast<std::uint32_t>(remainder);
  }

  // Decimal digits, most significant first; "0" for zero.
  std::string decimal() const {
    if (is_zero()) return "0";
    Natural rest = *this;
    std::string reversed;
    while (!rest.is_zero()) {
      std::uint32_t chunk = rest.divide(1000000000);
      for (int i = 0; i < 9; ++i) {
        reversed.push_back(static_cast<char>('0' + chunk % 10));
        chunk /= 10;
      }
    }
    while (reversed.size() > 1 && reversed.back() == '0') reversed.pop_back();
    return std::string(reversed.rbegin(), reversed.rend());
  }

  friend int compare(const Natural& a, const Natural& b) {
    if (a.limbs_.size() != b.limbs_.size()) return a.limbs_.size() < b.limbs_.size() ? -1 : 1;
    for (std::size_t i = a.limbs_.size(); i-- > 0;) {
      if (a.limbs_[i] != b.limbs_[i]) return a.limbs_[i] < b.limbs_[i] ? -1 : 1;
    }
    return 0;
  }

 private:
  void trim() {
    while (!limbs_.empty() && limbs_.back() == 0) limbs_.pop_back();
  }
  std::vector<std::uint32_t> limbs_;
};

inline const Natural& power_of_five(long k) {
  static std::vector<Natural> powers{Natural(1)};
  while (static_cast<long>(powers.size()) <= k) {
    Natural next = powers.back();
    next.multiply(5);
    powers.push_back(std::move(next));
  }
  return powers[static_cast<std::size_t>(k)];
}

// mantissa * 2^exponent.
struct Dyadic {
  std::uint64_t mantissa;
  long exponent;
};

inline Dyadic dyadic_of(double value) {
  int exponent = 0;
  const double fraction = std::frexp(value, &exponent);  // value = fraction * 2^exponent
  return {static_cast<std::uint64_t>(std::ldexp(fraction, 53)), static_cast<long>(exponent) - 53};
}

// (a + b) / 2 exactly, for positive doubles a and b.
inline Dyadic halfway(double a, double b) {
  const Dyadic x = dyadic_of(a);
  const Dyadic y = dyadic_of(b);
  const long low = std::min(x.exponent, y.exponent);
  return {(x.mantissa << (x.exponent - low)) + (y.mantissa << (y.exponent - low)), low - 1};
}

// A decimal number digits * 10^scale as the value syntax defines it, or zero.
struct Decimal {
  bool negative = false;
  std::string digits;  // significant digits kept (at most 24, no leading zero); empty for zero
  long scale = 0;
};

// Reads a text already known to be of the real form, by a different route than the scanner:
// the mantissa without its point is one digit string D with f digits after the point, so the
// value is D * 10^(exponent - f); keeping D's first 24 significant digits and counting each dropped
// one as a factor ten gives exactly the syntax's rule (a dropped digit before the point is a
// factor ten; a dropped digit after the point was never a factor at all, and it also did not move
// the point, which the factor ten undoes).
inline Decimal read_decimal(std::string_view text) {
  Decimal result;
  std::size_t i = 0;
  if (text[i] == '+' || text[i] == '-') result.negative = text[i++] == '-';
  std::string all_digits;
  long after_point = 0;
  bool seen_point = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '.') {
      seen_point = true;
    } else if (c >= '0' && c <= '9') {
      all_digits.push_back(c);
      if (seen_point) ++after_point;
    } else {
      break;
    }
  }
  long exponent = 0;
  if (i < text.size()) {
    bool exponent_negative = false;
    if (text[i] != '+' && text[i] != '-') ++i;  // the letter
    if (text[i] == '+' || text[i] == '-') exponent_negative = text[i++] == '-';
    std::string_view exponent_digits = text.substr(i);
    while (exponent_digits.size() > 1 && exponent_digits.front() == '0') exponent_digits.remove_prefix(1);
    if (exponent_digits.size() > 4) {
      exponent = 5201;
    } else {
      for (char c : exponent_digits) exponent = exponent * 10 + (c - '0');
      exponent = std::min(exponent, 5201L);
    }
    if (exponent_negative) exponent = -exponent;
  }
  const std::size_t first = all_digits.find_first_not_of('0');
  if (first == std::string::npos) return result;  // zero
  std::string significant = all_digits.substr(first);
  long dropped = 0;
  if (significant.size() > 24) {
    dropped = static_cast<long>(significant.size()) - 24;
    significant.resize(24);
  }
  result.digits = significant;
  result.scale = exponent - after_point + dropped;
  return result;
}

// Sign of x - b for x = digits * 10^scale > 0 and b = mantissa * 2^exponent.
inline int compare_exact(const Decimal& x, const Dyadic& b) {
  Natural left;
  for (char c : x.digits) {
    left.multiply(10);
    left.add(static_cast<std::uint32_t>(c - '0'));
  }
  Natural right(b.mantissa);
  long left_twos = 0;
  long right_twos = b.exponent;
  if (x.scale >= 0) {
    left = left.times(power_of_five(x.scale));
    left_twos = x.scale;
  } else {
    right = right.times(power_of_five(-x.scale));
    right_twos -= x.scale;
  }
  if (left_twos > right_twos) {
    left.shift_left(left_twos - right_twos);
  } else {
    right.shift_left(right_twos - left_twos);
  }
  return compare(left, right);
}

// The last double that passes the single range test, one step above the largest single.
inline constexpr double kSingleRangeLimit = 0x1.fffffe0000001p127;

// What the conversion must give for x: an outcome and, for outcome 0, a result whose region
// contains x. Regions: a single s is the result for exactly those reals that round (ties away) to
// a double which rounds (ties to even) to s. Its upper end is the double halfway point next to
// the single halfway point above s, on the side decided by which single that halfway point goes to
// (an even s keeps it); likewise below. Returns an empty string when the result is right.
inline std::string check_result(const Decimal& x, int outcome, float value) {
  auto describe = [&](const std::string& what) {
    return what + " (digits " + (x.digits.empty() ? "0" : x.digits) + " scale " +
           std::to_string(x.scale) + ", outcome " + std::to_string(outcome) + ", value " +
           std::to_string(static_cast<double>(value)) + ")";
  };
  const bool sign_ok = std::signbit(value) == x.negative;
  if (x.digits.empty() || x.scale < -5200) {
    if (outcome != 0 || value != 0.0f || !sign_ok) return describe("expected a signed zero");
    return "";
  }
  // The largest double plus half its spacing: (2^54 - 1) * 2^970.
  if (x.scale > 5200 || compare_exact(x, {(std::uint64_t{1} << 54) - 1, 970}) >= 0) {
    return outcome == 6102 ? "" : describe("expected 6102");
  }
  // Halfway from the limit to the next double: from here on the double is above the limit.
  const Dyadic single_limit = halfway(kSingleRangeLimit, std::nextafter(kSingleRangeLimit, INFINITY));
  if (compare_exact(x, single_limit) >= 0) return outcome == 6104 ? "" : describe("expected 6104");
  if (outcome != 0) return describe("expected a value");
  if (!sign_ok || !std::isfinite(value)) return describe("wrong sign or not finite");
  const float s = std::fabs(value);
  const bool even = (std::bit_cast<std::uint32_t>(s) & 1) == 0;
  // Upper end, exclusive.
  Dyadic upper;
  if (s == 0x1.fffffep127f) {
    upper = single_limit;
  } else {
    const double mid = (static_cast<double>(s) + static_cast<double>(std::nextafter(s, INFINITY))) / 2;
    upper = even ? halfway(mid, std::nextafter(mid, INFINITY)) : halfway(std::nextafter(mid, 0.0), mid);
  }
  if (compare_exact(x, upper) >= 0) return describe("value too small for x");
  // Lower end, inclusive (zero: everything above zero, which x is).
  if (s != 0.0f) {
    const double mid = (static_cast<double>(std::nextafter(s, 0.0f)) + static_cast<double>(s)) / 2;
    const Dyadic lower = even ? halfway(std::nextafter(mid, 0.0), mid) : halfway(mid, std::nextafter(mid, INFINITY));
    if (compare_exact(x, lower) < 0) return describe("value too large for x");
  }
  return "";
}

// The exact decimal expansion of mantissa * 2^exponent: digits and the power of ten of the last.
inline Decimal exact_decimal(Dyadic d) {
  Decimal result;
  Natural n(d.mantissa);
  if (d.exponent >= 0) {
    n.shift_left(d.exponent);
    result.scale = 0;
  } else {
    n = n.times(power_of_five(-d.exponent));
    result.scale = d.exponent;
  }
  result.digits = n.decimal();
  return result;
}

// Writes digits * 10^scale as a text with a point inside or an exponent, varying the notation.
inline std::string write_text(bool negative, const std::string& digits, long scale, std::mt19937_64& random) {
  std::string text = negative ? "-" : "";
  const long n = static_cast<long>(digits.size());
  switch (random() % 3) {
    case 0:  // d.ddd E exponent
      text += digits.substr(0, 1) + "." + digits.substr(1) + "E" + std::to_string(scale + n - 1);
      break;
    case 1:  // integer digits and an exponent
      text += digits + (scale < 0 ? "-" : "+") + std::to_string(std::labs(scale));
      break;
    default:  // positional when the point falls within reach
      if (scale >= 0 && scale <= 30) {
        text += digits + std::string(static_cast<std::size_t>(scale), '0');
      } else if (scale < 0 && -scale < n) {
        text += digits.substr(0, static_cast<std::size_t>(n + scale)) + "." + digits.substr(static_cast<std::size_t>(n + scale));
      } else if (scale < 0 && -scale - n <= 40) {
        text += "0." + std::string(static_cast<std::size_t>(-scale - n), '0') + digits;
      } else {
        text += digits + "d" + std::to_string(scale);
      }
  }
  return text;
}

// A random text of the real form: 1 to 30 mantissa digits with the point anywhere or nowhere, an
// exponent from -60 to 60 in any of its notations, and now and then an extreme exponent.
inline std::string random_text(std::mt19937_64& random) {
  std::string text;
  const auto pick = [&](std::uint64_t n) { return random() % n; };
  const std::uint64_t sign = pick(8);
  if (sign == 0) text += '+';
  if (sign >= 5) text += '-';
  const std::size_t digits = 1 + pick(30);
  std::string mantissa;
  if (pick(10) == 0) mantissa.append(1 + pick(4), '0');
  for (std::size_t i = 0; i < digits; ++i) mantissa += static_cast<char>('0' + pick(10));
  if (pick(3) != 0) mantissa.insert(pick(mantissa.size() + 1), 1, '.');
  text += mantissa;
  if (pick(5) == 0) return text;
  long exponent = static_cast<long>(pick(121)) - 60;
  switch (pick(50)) {
    case 0: exponent = static_cast<long>(pick(801)) - 400; break;
    case 1: exponent = static_cast<long>(pick(41)) + 5180; break;
    case 2: exponent = -static_cast<long>(pick(41)) - 5180; break;
    default: break;
  }
  static const char* const kLetters[] = {"E", "e", "D", "d", ""};
  const char* letter = kLetters[pick(5)];
  text += letter;
  if (exponent < 0) {
    text += '-';
  } else if (*letter == '\0' || pick(2) == 0) {
    text += '+';
  }
  if (pick(20) == 0) text.append(pick(4), '0');
  text += std::to_string(std::labs(exponent));
  return text;
}

// A text near a tie: a double tie m * 2^j (m odd, 54 bits) or a single tie (m odd, 25 bits) whose
// exact decimal has at most 24 digits, or a single tie moved by a unit in its 17th to 24th digit.
inline std::string random_tie_text(std::mt19937_64& random) {
  const auto pick = [&](std::uint64_t n) { return random() % n; };
  Decimal tie;
  if (pick(2) == 0) {
    const std::uint64_t m = (std::uint64_t{1} << 53) | random() | 1;
    tie = exact_decimal({m & ((std::uint64_t{1} << 54) - 1), static_cast<long>(pick(37)) - 11});
  } else {
    const std::uint64_t m = (std::uint64_t{1} << 24) | (random() & 0xFFFFFF) | 1;
    tie = exact_decimal({m, static_cast<long>(pick(78)) - 23});
  }
  std::string digits = tie.digits;
  long scale = tie.scale;
  if (pick(3) != 0) {
    // Pad to between 17 and 24 digits, then step the last one up or down.
    const std::size_t width = std::max<std::size_t>(digits.size(), 17 + pick(8));
    if (width > digits.size()) {
      scale -= static_cast<long>(width - digits.size());
      digits.append(width - digits.size(), '0');
    }
    if (digits.size() <= 24) {
      std::size_t i = digits.size() - 1;
      if (pick(2) == 0) {
        while (digits[i] == '9') digits[i--] = '0';
        ++digits[i];
      } else {
        while (digits[i] == '0') digits[i--] = '9';
        --digits[i];
      }
    }
  }
  return write_text(pick(4) == 0, digits, scale, random);
}

// Converts `count` generated texts and checks each against the reference; reports the first ten
// failures and their number.
inline void check_random_texts(std::string (*generate)(std::mt19937_64&), std::uint64_t seed, long count) {
  std::mt19937_64 random(seed);
  long failures = 0;
  for (long i = 0; i < count; ++i) {
    const std::string text = generate(random);
    float value = -12345.0f;
    const int outcome = convert_real(text.data(), text.size(), value);
    const std::string problem = check_result(read_decimal(text), outcome, value);
    if (!problem.empty() && ++failures <= 10) ADD_FAILURE() << text << ": " << problem;
  }
  EXPECT_EQ(failures, 0) << "of " << count << " texts";
}

}  // namespace quelvar::reference
