#include "output/console_log.h"

#include <string_view>

#include "recordio/free_format_writer.h"
#include "recordio/layout_writer.h"
#include "recordio/units.h"

namespace quelvar {
namespace {

// The accented letter is the single byte 0xF3 (Windows-1252), written as it stands.
constexpr std::string_view kCheckTemperatureText = "Comprobamos Interpolaci\xF3n a ";
static_assert(kCheckTemperatureText.size() == 28);

constexpr std::string_view kInterpolationLayout = "(7(x,f10.4))";

void log_three_reals(float first, float second, float third) {
  FreeFormatWriter writer;
  writer.put_real(first);
  writer.put_real(second);
  writer.put_real(third);
  writer.finish();
}

void log_text_and_real(std::string_view text, float value) {
  FreeFormatWriter writer;
  writer.put_text(text);
  writer.put_real(value);
  writer.finish();
}

void log_text_real_text(std::string_view before, float value, std::string_view after) {
  FreeFormatWriter writer;
  writer.put_text(before);
  writer.put_real(value);
  writer.put_text(after);
  writer.finish();
}

void log_text(std::string_view text) {
  FreeFormatWriter writer;
  writer.put_text(text);
  writer.finish();
}

void log_two_reals(float first, float second) {
  FreeFormatWriter writer;
  writer.put_real(first);
  writer.put_real(second);
  writer.finish();
}

}  // namespace

void log_curve_field(float field_value) { log_text_and_real(" Campo: ", field_value); }

void log_point_read(std::int32_t point, float temperature, float magnetisation) {
  FreeFormatWriter writer;
  writer.put_integer(point);
  writer.put_real(temperature);
  writer.put_real(magnetisation);
  writer.finish();
}

void log_points_in_file(std::int32_t count) {
  FreeFormatWriter writer;
  writer.put_integer(count);
  writer.put_text(" puntos en el fichero");
  writer.finish();
}

void log_empty_line() { FreeFormatWriter().finish(); }

void log_ordered_heading() { log_text(" datos ordenados por temperatura"); }

void log_ordered_point(float temperature, float magnetisation) { log_two_reals(temperature, magnetisation); }

void log_difference_field(float field_value) { log_text_and_real("Campo: ", field_value); }

void log_difference_heading() { log_text("    Tmedia     dM/dT_B"); }

void log_difference_row(float mid_temperature, float slope) { log_two_reals(mid_temperature, slope); }

void log_check_temperature(float check_temp) { log_text_real_text(kCheckTemperatureText, check_temp, " K"); }

void log_interpolation_heading() { log_text("T lista, B, DMDT inter"); }

void log_bracket(float now_temp, std::int32_t interval, std::int32_t curve) {
  FreeFormatWriter writer;
  writer.put_real(now_temp);
  writer.put_text(" i= ");
  writer.put_integer(interval);
  writer.put_text(" j = ");
  writer.put_integer(curve);
  writer.finish();
}

void log_interpolation_points(float now_temp, float x1, float y1, float x2, float y2, float x3, float y3) {
  const LayoutValue values[] = {LayoutValue::of(now_temp), LayoutValue::of(x1), LayoutValue::of(y1),
                                LayoutValue::of(x2),       LayoutValue::of(y2), LayoutValue::of(x3),
                                LayoutValue::of(y3)};
  write_with_layout(kConsoleUnitNumber, kInterpolationLayout, values);
}

void log_interpolated_slope(float grid_temp, float field_value, float slope) {
  log_three_reals(grid_temp, field_value, slope);
}

void log_check_heading(float check_temp) {
  log_text_real_text(" Derivadas interpoladas a ", check_temp, " K");
}

void log_check_slope(float grid_temp, float field_value, float slope) {
  log_three_reals(grid_temp, field_value, slope);
}

void log_check_integral(float value) { log_text_and_real(" Integral: ", value); }

}  // namespace quelvar
