#include "recordio/layout_writer.h"

#include <algorithm>
#include <cmath>

#include "recordio/decimal_digits.h"
#include "recordio/free_format_writer.h"
#include "recordio/units.h"

namespace quelvar {
namespace {

constexpr int kMaxSignificantDigits = 7;

// Reads the layout text left to right; letters are compared in lower case, blanks between
// tokens are passed over.
class LayoutScanner {
 public:
  explicit LayoutScanner(std::string_view text) : text_(text) {}

  void skip_blanks() {
    while (position_ < text_.size() && text_[position_] == ' ') ++position_;
  }
  bool at_end() {
    skip_blanks();
    return position_ == text_.size();
  }
  bool take(char wanted) {
    skip_blanks();
    if (position_ < text_.size() && lower(text_[position_]) == wanted) {
      ++position_;
      return true;
    }
    return false;
  }
  char next() {
    skip_blanks();
    return position_ < text_.size() ? lower(text_[position_++]) : '\0';
  }
  // An unsigned number, if digits follow. Values above `limit` set `too_large` (the digits are
  // still consumed, so the caller reports the number rather than a stray digit).
  bool number(int limit, int& value, bool& too_large) {
    skip_blanks();
    const size_t start = position_;
    long long accumulated = 0;
    while (position_ < text_.size() && text_[position_] >= '0' && text_[position_] <= '9') {
      if (accumulated <= limit) accumulated = accumulated * 10 + (text_[position_] - '0');
      ++position_;
    }
    if (accumulated > limit) too_large = true;
    value = static_cast<int>(std::min<long long>(accumulated, limit));
    return position_ != start;
  }

 private:
  static char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

  std::string_view text_;
  size_t position_ = 0;
};

bool add_element(ParsedLayout& parsed, LayoutElement element) {
  if (parsed.size == kMaxLayoutElements) return false;
  parsed.elements[parsed.size++] = element;
  return true;
}

// Places characters into the unit's record, the owed blanks first.
void place(int unit, const char* characters, size_t count) {
  static constexpr char kBlanks[] = "                                ";
  constexpr size_t kBlankChunk = sizeof kBlanks - 1;
  int& owed = owed_blanks();
  size_t blanks = static_cast<size_t>(owed);
  while (blanks > 0) {
    const size_t take = std::min(blanks, kBlankChunk);
    append_to_record(unit, kBlanks, take);
    blanks -= take;
  }
  owed = 0;
  append_to_record(unit, characters, count);
}

void place_asterisks(int unit, int width) {
  char field[kMaxFieldWidth];
  std::fill_n(field, width, '*');
  place(unit, field, static_cast<size_t>(width));
}

void edit_text_field(int unit, int width, const LayoutValue& value) {
  if (value.kind != LayoutValue::Kind::text) return place_asterisks(unit, width);
  const size_t w = static_cast<size_t>(width);
  if (value.text.size() >= w) return place(unit, value.text.data(), w);
  owed_blanks() += width - static_cast<int>(value.text.size());
  place(unit, value.text.data(), value.text.size());
}

void edit_fixed_field(int unit, int width, int decimals, const LayoutValue& value) {
  if (value.kind != LayoutValue::Kind::real) return place_asterisks(unit, width);
  // The field's own justification blanks come out just as owed blanks would: placed right
  // before the field's text.
  char field[kMaxFieldWidth];
  fixed_field_text(value.real, decimals, std::span<char>(field, static_cast<size_t>(width)));
  place(unit, field, static_cast<size_t>(width));
}

}  // namespace

LayoutStatus parse_layout(std::string_view layout, ParsedLayout& parsed) {
  parsed.size = 0;
  LayoutScanner scanner(layout);
  if (!scanner.take('(')) return LayoutStatus::malformed;
  if (scanner.take(')')) return scanner.at_end() ? LayoutStatus::ok : LayoutStatus::malformed;

  int open_groups[kMaxLayoutGroupDepth];
  int depth = 0;
  bool too_large = false;
  while (true) {
    // One element.
    int count = 0;
    const bool has_count = scanner.number(kMaxLayoutCount, count, too_large);
    if (has_count && count == 0) return LayoutStatus::malformed;
    LayoutElement element;
    switch (scanner.next()) {
      case 'x':
        element = {LayoutElementKind::skip, has_count ? count : 1, 0, 0};
        break;
      case '$':
        if (has_count) return LayoutStatus::malformed;
        element = {LayoutElementKind::continuation, 0, 0, 0};
        break;
      case 'a': {
        int width = 0;
        if (has_count || !scanner.number(kMaxFieldWidth, width, too_large) || width == 0) {
          return too_large ? LayoutStatus::number_too_large : LayoutStatus::malformed;
        }
        element = {LayoutElementKind::text_field, width, 0, 0};
        break;
      }
      case 'f': {
        int width = 0;
        int decimals = 0;
        if (has_count || !scanner.number(kMaxFieldWidth, width, too_large) || width == 0 ||
            !scanner.take('.') || !scanner.number(kMaxFieldWidth, decimals, too_large)) {
          return too_large ? LayoutStatus::number_too_large : LayoutStatus::malformed;
        }
        element = {LayoutElementKind::fixed_field, width, decimals, 0};
        break;
      }
      case '(':
        if (depth == kMaxLayoutGroupDepth) return LayoutStatus::groups_too_deep;
        open_groups[depth++] = parsed.size;
        if (!add_element(parsed, {LayoutElementKind::group_open, has_count ? count : 1, 0, 0})) {
          return LayoutStatus::too_many_elements;
        }
        continue;  // the group's first element follows at once
      default:
        return LayoutStatus::malformed;
    }
    if (too_large) return LayoutStatus::number_too_large;
    if (!add_element(parsed, element)) return LayoutStatus::too_many_elements;

    // A separator, after any number of closing parentheses.
    while (!scanner.take(',')) {
      if (!scanner.take(')')) return LayoutStatus::malformed;
      if (depth == 0) return scanner.at_end() ? LayoutStatus::ok : LayoutStatus::malformed;
      const int opening = open_groups[--depth];
      if (!add_element(parsed, {LayoutElementKind::group_close, 0, 0, opening})) {
        return LayoutStatus::too_many_elements;
      }
      parsed.elements[opening].partner = parsed.size - 1;
    }
  }
}

void fixed_field_text(float value, int decimals, std::span<char> field) {
  const size_t width = field.size();
  if (!std::isfinite(value)) {
    std::fill(field.begin(), field.end(), '*');
    return;
  }
  DecimalDigits decimal = decimal_digits(value);
  // Step 1: rounded to d decimals with at most 7 significant digits; `zero` when nothing is left.
  bool zero = decimal.digits[0] == '0';
  if (!zero) {
    const int kept = decimal.point + decimals;  // significant digits down to the d-th decimal
    if (kept < 0) {
      zero = true;
    } else if (kept == 0) {
      // Only D1 decides: below one half of the d-th decimal's unit, or one unit there.
      if (decimal.digits[0] <= '4') {
        zero = true;
      } else {
        decimal.digits[0] = '1';
        decimal.count = 1;
        ++decimal.point;
      }
    } else {
      round_digits(decimal, std::min(kept, kMaxSignificantDigits));
    }
  }

  // Step 2: the text's length decides between the text and asterisks.
  const bool minus = !zero && decimal.negative;
  const int integer_digits = zero ? 0 : std::max(decimal.point, 0);
  const size_t length =
      static_cast<size_t>(minus) + static_cast<size_t>(integer_digits) + 1 + static_cast<size_t>(decimals);
  if (length > width) {
    std::fill(field.begin(), field.end(), '*');
    return;
  }

  // Step 3: blanks, sign, integer digits, point, decimals; places past the kept digits are "0".
  // The digit at 0-based index i stands for 10^(point - 1 - i).
  auto digit = [&](int index) {
    return zero || index < 0 || index >= decimal.count ? '0' : decimal.digits[index];
  };
  size_t position = 0;
  while (position < width - length) field[position++] = ' ';
  if (minus) field[position++] = '-';
  for (int i = 0; i < integer_digits; ++i) field[position++] = digit(i);
  field[position++] = '.';
  for (int place = 1; place <= decimals; ++place) field[position++] = digit(decimal.point + place - 1);
}

void write_with_layout(int unit, std::string_view layout, std::span<const LayoutValue> values) {
  ParsedLayout parsed;
  if (parse_layout(layout, parsed) != LayoutStatus::ok) return;
  begin_write_statement(unit);

  struct ActiveGroup {
    int open_index;
    int remaining;
  };
  ActiveGroup groups[kMaxLayoutGroupDepth];
  int depth = 0;
  size_t next_value = 0;
  bool continuation = false;
  int index = 0;
  // Runs until the end of the layout, or a field with no value left. Every group count is at
  // least 1 and the parse bounds the counts, so the walk ends.
  while (index < parsed.size) {
    const LayoutElement& element = parsed.elements[index];
    switch (element.kind) {
      case LayoutElementKind::skip:
        owed_blanks() += element.count;
        break;
      case LayoutElementKind::continuation:
        // Only a mark met after the last value keeps the record open.
        if (next_value == values.size()) continuation = true;
        break;
      case LayoutElementKind::group_open:
        groups[depth++] = {index, element.count};
        break;
      case LayoutElementKind::group_close:
        if (--groups[depth - 1].remaining > 0) {
          index = groups[depth - 1].open_index;
        } else {
          --depth;
        }
        break;
      case LayoutElementKind::text_field:
      case LayoutElementKind::fixed_field:
        if (next_value == values.size()) {
          index = parsed.size;
          continue;
        }
        if (element.kind == LayoutElementKind::text_field) {
          edit_text_field(unit, element.count, values[next_value]);
        } else {
          edit_fixed_field(unit, element.count, element.decimals, values[next_value]);
        }
        ++next_value;
        break;
    }
    ++index;
  }

  if (continuation) return;
  // Blanks owed by skips at the end of a record are never written.
  owed_blanks() = 0;
  end_record(unit);
}

}  // namespace quelvar
