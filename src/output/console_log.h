// The console log: one operation per kind of log line, each writing exactly one console record.
// The numerical phases call only these.
#pragma once

// Guarantees: each operation is one console statement and writes exactly one record (no line of
// the log reaches the free-format room of 79 columns, so none is continued); texts go out byte for
// byte, the 0xF3 of line 10 included; nothing is allocated. Line 13 is laid out by
// "(7(x,f10.4))", every other line by the free-format writer.

#include <cstdint>

namespace quelvar {

void log_curve_field(float field_value);                                   // 1 " Campo: "
void log_point_read(std::int32_t point, float temperature, float magnetisation);  // 2
void log_points_in_file(std::int32_t count);                               // 3
void log_empty_line();                                                     // 4
void log_ordered_heading();                                                // 5
void log_ordered_point(float temperature, float magnetisation);            // 6
void log_difference_field(float field_value);                              // 7 "Campo: "
void log_difference_heading();                                             // 8
void log_difference_row(float mid_temperature, float slope);               // 9
void log_check_temperature(float check_temp);                              // 10
void log_interpolation_heading();                                          // 11
void log_bracket(float now_temp, std::int32_t interval, std::int32_t curve);  // 12
void log_interpolation_points(float now_temp, float x1, float y1, float x2, float y2, float x3,
                              float y3);                                   // 13 "(7(x,f10.4))"
void log_interpolated_slope(float grid_temp, float field_value, float slope);  // 14
void log_check_heading(float check_temp);                                  // 15
void log_check_slope(float grid_temp, float field_value, float slope);     // 16
void log_check_integral(float value);                                      // 17

}  // namespace quelvar
