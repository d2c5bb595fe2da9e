// The layout-driven record writer: write statements under layouts such as "(2x,f10.4,$)" with
// skips, text fields, fixed-point fields, repeat groups and the "$" that leaves a record open.
#pragma once

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
void write_with_layout(int unit, std::string_view layout, std::span<const LayoutValue> values);

}  // namespace quelvar
