#include "recordio/free_format_writer.h"

#include <bit>
#include <cstring>

#include "recordio/console_unit.h"
#include "recordio/decimal_digits.h"

namespace quelvar {
namespace {

int shared_owed_blanks = 0;

constexpr int kRealSignificantDigits = 7;
constexpr int kFixedDecimals = 6;

size_t copy_text(std::string_view text, char (&out)[kMaxRealText]) {
  std::memcpy(out, text.data(), text.size());
  return text.size();
}

}  // namespace

int& owed_blanks() { return shared_owed_blanks; }

size_t integer_text(std::int32_t value, char (&out)[kMaxIntegerText]) {
  // Unsigned negation keeps -2147483648 exact.
  std::uint32_t magnitude =
      value < 0 ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
  char reversed[kMaxIntegerText];
  size_t count = 0;
  do {
    reversed[count++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  size_t length = 0;
  if (value < 0) out[length++] = '-';
  while (count > 0) out[length++] = reversed[--count];
  return length;
}

size_t real_free_text(float value, char (&out)[kMaxRealText]) {
  const std::uint32_t bits = std::bit_cast<std::uint32_t>(value);
  if ((bits & 0x7F800000u) == 0x7F800000u) {
    if ((bits & 0x7FFFFFu) != 0) return copy_text("NaN", out);
    return copy_text((bits >> 31) != 0 ? "-Infinity" : "Infinity", out);
  }
  DecimalDigits decimal = decimal_digits(value);
  const bool zero = decimal.digits[0] == '0';
  // The form is chosen on the unrounded 17 digits; rounding may then carry into a new digit.
  const std::int32_t point = decimal.point;
  round_digits(decimal, kRealSignificantDigits);
  auto digit = [&](int index) { return index < decimal.count ? decimal.digits[index] : '0'; };

  size_t length = 0;
  if (decimal.negative) out[length++] = '-';
  if (point >= 1 && point <= kRealSignificantDigits) {
    const int integer_digits = decimal.point;  // point, or point + 1 after a carry
    int index = 0;
    for (; index < integer_digits; ++index) out[length++] = digit(index);
    out[length++] = '.';
    for (int i = 0; i < kFixedDecimals; ++i) out[length++] = digit(index++);
    return length;
  }
  out[length++] = digit(0);
  out[length++] = '.';
  for (int index = 1; index <= kFixedDecimals; ++index) out[length++] = digit(index);
  out[length++] = 'E';
  // Single-precision exponents run from -45 to +38: two digits always suffice.
  const int exponent = zero ? 0 : decimal.point - 1;
  const int magnitude = exponent < 0 ? -exponent : exponent;
  out[length++] = exponent < 0 ? '-' : '+';
  out[length++] = static_cast<char>('0' + magnitude / 10);
  out[length++] = static_cast<char>('0' + magnitude % 10);
  return length;
}

FreeFormatWriter::FreeFormatWriter() {
  console_unit().begin_statement();
  owed_blanks() = 1;
}

void FreeFormatWriter::put_integer(std::int32_t value) {
  char text[kMaxIntegerText];
  const size_t length = integer_text(value, text);
  put_numeric(text, length, kIntegerFieldWidth);
}

void FreeFormatWriter::put_real(float value) {
  char text[kMaxRealText];
  const size_t length = real_free_text(value, text);
  put_numeric(text, length, kRealFieldWidth);
}

void FreeFormatWriter::put_numeric(const char* text, size_t length, int width) {
  if (after_number_) ++width;
  after_number_ = true;
  int& owed = owed_blanks();
  owed += width - static_cast<int>(length);
  ConsoleUnit& console = console_unit();
  if (width >= room_) {
    // Widths are at most 16, so one new record always takes the item.
    console.end_record();
    room_ = kFreeFormatRoom;
    // The new record's first character is carriage control: it must be a blank, so a text that
    // fills its whole field gets one in front of it.
    if (owed == 0) owed = 1;
  }
  console.put_blanks(static_cast<size_t>(owed));
  console.put_bytes(text, length);
  owed = 0;
  room_ -= width;
}

void FreeFormatWriter::put_text(std::string_view text) {
  after_number_ = false;
  ConsoleUnit& console = console_unit();
  int& owed = owed_blanks();
  while (!text.empty()) {
    const size_t room = static_cast<size_t>(room_);
    if (text.size() < room) {
      console.put_blanks(static_cast<size_t>(owed));
      console.put_bytes(text.data(), text.size());
      owed = 0;
      room_ -= static_cast<int>(text.size());
      return;
    }
    // Fill the record to its last item column and go on in a new one.
    console.put_blanks(static_cast<size_t>(owed));
    console.put_bytes(text.data(), room);
    console.end_record();
    room_ = kFreeFormatRoom;
    owed = 1;
    text.remove_prefix(room);
  }
}

void FreeFormatWriter::finish() { console_unit().end_record(); }

}  // namespace quelvar
