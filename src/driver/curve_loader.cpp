#include "driver/curve_loader.h"

#include <string_view>

#include "output/console_log.h"
#include "recordio/free_format_reader.h"
#include "recordio/record_input.h"
#include "recordio/text_field_reader.h"
#include "recordio/units.h"
#include "runtime/float_environment.h"
#include "runtime/termination.h"

namespace quelvar {
void read_curve_list(RunState& state) {
  int loaded = kMaxCurves;
  for (int curve = 1; curve <= kMaxCurves; ++curve) {
    float* const field_record[] = {&state.field_value(curve), &state.scale_factor};
    if (read_free_format(kControlUnit, field_record, true, false) == kReadEndOfFile) {
      loaded = curve - 1;
      break;
    }
    read_text_field(kControlUnit, state.curve_name);
    load_curve(state, curve);
  }
  close_unit(kControlUnit);
  state.curve_count = loaded;
}

void load_curve(RunState& state, int curve) {
  open_unit(kCurveUnit, std::string_view(state.curve_name, kNameLength));
  read_text_field(kCurveUnit, state.curve_header);
  log_curve_field(state.field_value(curve));

  int points = kMaxPointsLoaded;
  for (int point = 1; point <= kMaxPointsLoaded; ++point) {
    float* const data_record[] = {&state.skip_value, &state.skip_value, &state.curve_temp(point, curve),
                                  &state.skip_value, &state.skip_value, &state.skip_value,
                                  &state.curve_mag(point, curve)};
    // Every error outcome except a failed platform read consumes the failing value, so the
    // retries end at the latest when the file does.
    ReadOutcome outcome;
    do {
      outcome = read_free_format(kCurveUnit, data_record, true, true);
    } while (outcome > 0 && outcome != kReadFailed);
    if (outcome == kReadFailed) {
      const UnitConnection* unit = connected_unit(kCurveUnit);
      report_run_error('F', kReadFailed, io_condition_description(kReadFailed), ErrorLabel::READ,
                       unit != nullptr ? unit->name_text() : std::string_view());
    }
    if (outcome == kReadEndOfFile) {
      points = point - 1;
      break;
    }
    log_point_read(point, state.curve_temp(point, curve), state.curve_mag(point, curve));
    state.curve_mag(point, curve) =
        store_single(as_double(state.curve_mag(point, curve)) * as_double(state.scale_factor));
  }
  state.curve_points(curve) = points;
  log_points_in_file(points);
  close_unit(kCurveUnit);
}

void order_curves(RunState& state) {
  for (int curve = 1; curve <= state.curve_count; ++curve) {
    const int points = state.curve_points(curve);
    if (points > 0 && !(state.curve_temp(points, curve) >= state.curve_temp(1, curve))) {
      for (int i = 1; i <= points; ++i) {
        state.rev_temp(i) = state.curve_temp(i, curve);
        state.rev_mag(i) = state.curve_mag(i, curve);
      }
      for (int i = 1; i <= points; ++i) {
        state.curve_temp(i, curve) = state.rev_temp(points - i + 1);
        state.curve_mag(i, curve) = state.rev_mag(points - i + 1);
      }
    }
    log_empty_line();
    log_ordered_heading();
    for (int i = 1; i <= points; ++i) log_ordered_point(state.curve_temp(i, curve), state.curve_mag(i, curve));
  }
}

}  // namespace quelvar
