#include "numeric/difference_table.h"

#include <gtest/gtest.h>

#include <memory>

#include "support/capture.h"

namespace quelvar {
namespace {

using testing::capture_run;

TEST(DifferenceTable, MidTemperatureAndSlopePerInterval) {
  auto state = std::make_unique<RunState>();
  state->curve_count = 2;
  state->field_value(1) = 1.0f;
  state->field_value(2) = 2.0f;
  state->curve_points(1) = 2;
  state->curve_temp(1, 1) = 300.0f;
  state->curve_mag(1, 1) = 10.0f;
  state->curve_temp(2, 1) = 302.0f;
  state->curve_mag(2, 1) = 6.0f;
  state->curve_points(2) = 1;  // one point: headings only
  state->curve_temp(1, 2) = 300.0f;
  auto run = capture_run([&] { difference_table(*state); });
  EXPECT_EQ(state->diff_mid_temp(1, 1), 301.0f);
  EXPECT_EQ(state->diff_slope(1, 1), -2.0f);
  EXPECT_EQ(run.output,
            "Campo:        1.000000\r\n"
            "    Tmedia     dM/dT_B\r\n"
            "     301.000000       -2.000000\r\n"
            "Campo:        2.000000\r\n"
            "    Tmedia     dM/dT_B");
}

}  // namespace
}  // namespace quelvar
