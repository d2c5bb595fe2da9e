// The working data of one run: fixed-capacity tables, zeroed at start, read and written directly
// by every phase. Indices are 1-based, as in the log and in the reports.
#pragma once

#include <cstdint>

namespace quelvar {

inline constexpr int kMaxGridTemps = 100;
inline constexpr int kMaxCurves = 50;
// Storage holds 100 points per curve; the loader fills at most the first 50.
inline constexpr int kPointStorage = 100;
inline constexpr int kMaxPointsLoaded = 50;
inline constexpr int kNameLength = 30;

// A table of reals with 1-based (row, column) indexing and the first index running fastest.
template <int Rows, int Columns>
struct RealTable {
  float cells[Columns][Rows] = {};
  float& operator()(int row, int column) { return cells[column - 1][row - 1]; }
  float operator()(int row, int column) const { return cells[column - 1][row - 1]; }
};

// A 1-based vector of reals or integers.
template <typename T, int Size>
struct OneBased {
  T cells[Size] = {};
  T& operator()(int index) { return cells[index - 1]; }
  T operator()(int index) const { return cells[index - 1]; }
};

struct RunState {
  float divisor = 0.0f;
  float grid_start = 0.0f;
  float grid_step = 0.0f;
  float grid_end = 0.0f;
  OneBased<float, kMaxGridTemps> grid_temp;
  std::int32_t grid_count = 0;
  OneBased<float, kMaxCurves> field_value;
  float scale_factor = 0.0f;
  char curve_name[kNameLength] = {' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',
                                  ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
  char curve_header[kNameLength] = {' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',
                                    ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
  float skip_value = 0.0f;
  RealTable<kPointStorage, kMaxCurves> curve_temp;  // (point, curve)
  RealTable<kPointStorage, kMaxCurves> curve_mag;   // (point, curve)
  OneBased<std::int32_t, kMaxCurves> curve_points;
  std::int32_t curve_count = 0;
  OneBased<float, kPointStorage> rev_temp;
  OneBased<float, kPointStorage> rev_mag;
  RealTable<kPointStorage, kMaxCurves> diff_slope;     // (interval, curve)
  RealTable<kPointStorage, kMaxCurves> diff_mid_temp;  // (interval, curve)
  float check_temp = 0.0f;
  float now_temp = 0.0f;
  float x1 = 0.0f, y1 = 0.0f, x2 = 0.0f, y2 = 0.0f, x3 = 0.0f, y3 = 0.0f;
  OneBased<float, kMaxCurves> slope_at;
  RealTable<kMaxGridTemps, kMaxCurves> entropy;  // (grid temperature, curve)
  float check_sum = 0.0f;
};

}  // namespace quelvar
