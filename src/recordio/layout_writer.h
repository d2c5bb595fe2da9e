// The layout-driven record writer: write statements under layouts such as "(2x,f10.4,$)" with
// skips, text fields, fixed-point fields, repeat groups and the "$" that leaves a record open.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace quelvar {

struct LayoutValue {
  enum class Kind { real, text };
  Kind kind = Kind::real;
  float real = 0.0f;
  std::string_view text;

  static LayoutValue of(float value) { return {Kind::real, value, {}}; }
  static LayoutValue of(std::string_view value) { return {Kind::text, 0.0f, value}; }
};

// Executes one write statement on `unit` (a connected unit or kConsoleUnitNumber).
//
// Guarantees: the layout is parsed afresh at every statement (a few dozen nanoseconds for the
// program's layouts), into a fixed table; nothing is allocated. Skips and the justification
// blanks of fields add to `owed_blanks` (free_format_writer.h), which is placed just before the
// next characters; a statement that ends on "$" leaves the record open and the count as it is,
// any other statement ends the record and drops the count to 0. A value that does not fit its
// F field writes w asterisks and the statement goes on.
// Not part of the language, and what happens then: an infinity or NaN in an F field gives w
// asterisks; a real given to an A field or a text to an F field gives w asterisks; values left
// over when the layout ends are not written (the layout is not restarted). A layout that does
// not parse (parse_layout below) is a defect of the program text, not of its input: the
// statement then writes nothing and leaves the unit's record as it was. The program's own
// layouts are checked by the writers' tests.
void write_with_layout(int unit, std::string_view layout, std::span<const LayoutValue> values);

// The field text of value under Fw.d, with w = field.size(): the value right-justified with
// d decimals and at most 7 significant digits, halves away from zero; no "0" before the point;
// no sign on a value that rounds to zero; w asterisks when it does not fit (or is not finite).
//   F10.5: -0.123456 -> "   -.12346", 0.000004 -> "    .00000", 1.0E6 -> "**********"
//   F10.4: 9.99996 -> "   10.0000", 0.03125 -> "     .0313"
void fixed_field_text(float value, int decimals, std::span<char> field);

// The parsed form of a layout. Capacities: the program's longest layout, "(7(x,f10.4))", has 4
// elements; 32 leaves room for any layout a record of the program could need.
inline constexpr int kMaxLayoutElements = 32;
// Groups inside groups, counting the innermost; the program uses one level.
inline constexpr int kMaxLayoutGroupDepth = 4;
// Widest A or F field: beyond any record the program writes (77 characters); a field is built
// in a stack buffer of this size.
inline constexpr int kMaxFieldWidth = 128;
// Largest skip or repeat count accepted.
inline constexpr int kMaxLayoutCount = 32767;

enum class LayoutElementKind : std::uint8_t {
  skip,
  text_field,
  fixed_field,
  continuation,
  group_open,
  group_close
};

struct LayoutElement {
  LayoutElementKind kind = LayoutElementKind::skip;
  int count = 0;     // skip: columns; group_open: repetitions; text_field, fixed_field: width
  int decimals = 0;  // fixed_field only
  int partner = 0;   // group_open: index of its group_close; group_close: index of its group_open
};

struct ParsedLayout {
  LayoutElement elements[kMaxLayoutElements];
  int size = 0;
};

enum class LayoutStatus { ok, malformed, too_many_elements, groups_too_deep, number_too_large };

// Parses a layout: "(" elements separated by commas ")", where an element is nX or X, Aw, Fw.d,
// "$" or r(elements); letters in either case, blanks ignored, "()" has no elements. Counts and
// widths are at least 1 (d may be 0); a group's count may be left out (once through).
LayoutStatus parse_layout(std::string_view layout, ParsedLayout& parsed);

}  // namespace quelvar
