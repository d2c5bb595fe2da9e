#include "numeric/slope_interpolation.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "support/capture.h"

namespace quelvar {
namespace {

using testing::capture_run;

std::unique_ptr<RunState> curve_state(const std::vector<float>& temps, const std::vector<float>& mags, float grid) {
  auto state = std::make_unique<RunState>();
  state->curve_count = 1;
  state->field_value(1) = 1.0f;
  state->curve_points(1) = static_cast<int>(temps.size());
  for (size_t i = 0; i < temps.size(); ++i) {
    state->curve_temp(static_cast<int>(i) + 1, 1) = temps[i];
    state->curve_mag(static_cast<int>(i) + 1, 1) = mags[i];
  }
  state->grid_count = 1;
  state->grid_temp(1) = grid;
  return state;
}

struct SlopeCase {
  const char* what;
  float grid;
  float slope;
  float x3;  // the third point chosen
  const char* bracket_line;
};

TEST(InterpolateSlope, ThirdPointChoiceAndSlope) {
  // Curve 300, 301, 302, 303 K with moments 10, 9, 7, 4.
  const SlopeCase cases[] = {
      {"first interval takes point 3", 300.5f, -1.0f, 302.0f, "     300.500000 i=           1 j =           1\r\n"},
      {"equal distances keep point d-1", 301.5f, -2.0f, 300.0f, "     301.500000 i=           2 j =           1\r\n"},
      {"no point d+2 takes point d-1", 302.5f, -3.0f, 301.0f, "     302.500000 i=           3 j =           1\r\n"},
      {"grid temperature equal to the upper end of an interval; point d+2 is nearer", 302.0f, -2.5f, 303.0f,
       "     302.000000 i=           2 j =           1\r\n"},
  };
  for (const SlopeCase& c : cases) {
    auto state = curve_state({300, 301, 302, 303}, {10, 9, 7, 4}, c.grid);
    auto run = capture_run([&] { interpolate_slope(*state, 1, 1); });
    EXPECT_FALSE(run.ended) << c.what;
    EXPECT_EQ(state->slope_at(1), c.slope) << c.what;
    EXPECT_EQ(state->x3, c.x3) << c.what;
    EXPECT_EQ(run.output.substr(0, run.output.find("\r\n") + 2), c.bracket_line) << c.what;
  }
}

TEST(InterpolateSlope, NearerPointAfterTheIntervalWins) {
  // Interval 2 (301..302) at 301.9: point 4 (302.5) is 0.6 away, point 1 (300) 1.9 away.
  auto state = curve_state({300, 301, 302, 302.5f}, {10, 9, 7, 4}, 301.9f);
  capture_run([&] { interpolate_slope(*state, 1, 1); });
  EXPECT_EQ(state->x3, 302.5f);
  EXPECT_EQ(state->y3, 4.0f);
}

TEST(InterpolateSlope, LogsThePointsUsedAndTheSlope) {
  auto state = curve_state({300, 301, 302, 303}, {10, 9, 7, 4}, 301.5f);
  auto run = capture_run([&] { interpolate_slope(*state, 1, 1); });
  EXPECT_EQ(run.output,
            "     301.500000 i=           2 j =           1\r\n"
            "  301.5000   301.0000     9.0000   302.0000     7.0000   300.0000    10.0000\r\n"
            "     301.500000        1.000000       -2.000000");
}

TEST(InterpolateSlope, UnbracketedTemperaturesKeepTheOldSlopeAndLogNothing) {
  const float grids[] = {300.0f /* equal to T(1) */, 310.0f /* beyond the end */, 299.0f /* below */};
  for (float grid : grids) {
    auto state = curve_state({300, 301, 302, 303}, {10, 9, 7, 4}, grid);
    state->slope_at(1) = -7.5f;
    auto run = capture_run([&] { interpolate_slope(*state, 1, 1); });
    EXPECT_EQ(state->slope_at(1), -7.5f) << grid;
    EXPECT_EQ(run.output, "") << grid;
  }
}

TEST(InterpolateSlope, CurvesWithOnePointOrNoneAreNeverBracketed) {
  for (int points : {0, 1}) {
    auto state = curve_state({300}, {10}, 300.0f);
    state->curve_points(1) = points;
    auto run = capture_run([&] { interpolate_slope(*state, 1, 1); });
    EXPECT_EQ(state->slope_at(1), 0.0f);
    EXPECT_EQ(run.output, "");
  }
}

TEST(InterpolateSlope, TwoPointCurveTakesTheSecant) {
  auto state = curve_state({300, 302}, {10, 6}, 301.5f);
  auto run = capture_run([&] { interpolate_slope(*state, 1, 1); });
  EXPECT_FALSE(run.ended);
  EXPECT_EQ(state->slope_at(1), -2.0f);
  EXPECT_EQ(state->x3, 302.0f);
  EXPECT_EQ(state->y3, 6.0f);
}

TEST(InterpolateSlope, NonMonotonicCurveRepeatingATemperatureStopsTheRun) {
  // Stored order 301, 302, 301: interval 1 brackets 301.25, and its third point repeats x1.
  auto state = curve_state({301, 302, 301}, {9, 7, 8}, 301.25f);
  auto run = capture_run([&] { interpolate_slope(*state, 1, 1); });
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.error, "\r\nrun-time error M6103: MATH\r\n- floating-point error: divide by zero\r\n");
  // Lines 12 and 13 were logged before the division.
  EXPECT_NE(run.output.find("  301.2500   301.0000"), std::string::npos);
}

}  // namespace
}  // namespace quelvar
