#include "output/result_table.h"

#include "recordio/layout_writer.h"
#include "recordio/units.h"

namespace quelvar {
namespace {

void write_one(const char* layout, LayoutValue value) {
  write_with_layout(kResultUnit, layout, std::span<const LayoutValue>(&value, 1));
}

void end_row() { write_with_layout(kResultUnit, "()", {}); }

}  // namespace

void write_result_table(const RunState& state) {
  open_unit(kResultUnit, kResultFileName);
  write_one("(2x,a4,x,$)", LayoutValue::of(std::string_view("T/B")));
  for (int c = 1; c <= state.curve_count; ++c) write_one("(2x,f10.4,$)", LayoutValue::of(state.field_value(c)));
  end_row();
  for (int row = 1; row <= state.grid_count; ++row) {
    write_one("(f8.3,$)", LayoutValue::of(state.grid_temp(row)));
    // The sign is inverted on the stored value: a stored 0.0 becomes -0.0, written like zero.
    for (int c = 1; c <= state.curve_count; ++c) write_one("(2x,f10.5,$)", LayoutValue::of(-state.entropy(row, c)));
    end_row();
  }
  close_unit(kResultUnit);
}

}  // namespace quelvar
