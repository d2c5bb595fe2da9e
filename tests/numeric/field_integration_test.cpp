#include "numeric/field_integration.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "support/capture.h"

namespace quelvar {
namespace {

using testing::capture_run;

std::unique_ptr<RunState> fields(std::initializer_list<float> field_values, std::initializer_list<float> slopes,
                                 float divisor, float grid = 300.0f) {
  auto state = std::make_unique<RunState>();
  int c = 0;
  for (float f : field_values) state->field_value(++c) = f;
  state->curve_count = c;
  c = 0;
  for (float s : slopes) state->slope_at(++c) = s;
  state->divisor = divisor;
  state->grid_count = 1;
  state->grid_temp(1) = grid;
  state->check_temp = 305.0f;
  return state;
}

TEST(IntegrateStep, RectangleThenCumulativeTrapezoids) {
  auto state = fields({1.0f, 2.0f}, {-2.0f, -4.0f}, 2.0f);
  capture_run([&] {
    integrate_step(*state, 1, 1);
    integrate_step(*state, 1, 2);
  }, false);
  EXPECT_EQ(state->entropy(1, 1), -1.0f);
  EXPECT_EQ(state->entropy(1, 2), -2.5f);
}

TEST(IntegrateStep, UnevenAndDecreasingFieldsAreUsedAsRead) {
  auto state = fields({2.0f, 1.0f, 4.0f}, {1.0f, 3.0f, 5.0f}, 1.0f);
  capture_run([&] {
    for (int c = 1; c <= 3; ++c) integrate_step(*state, 1, c);
  }, false);
  EXPECT_EQ(state->entropy(1, 1), 2.0f);
  EXPECT_EQ(state->entropy(1, 2), 2.0f + (-1.0f) * 4.0f * 0.5f);  // 0
  EXPECT_EQ(state->entropy(1, 3), 0.0f + 3.0f * 8.0f * 0.5f);     // 12
}

TEST(IntegrateStep, TinyResultUnderflowsSilently) {
  auto state = fields({1e-30f}, {-1e-30f}, 1.0f);
  auto run = capture_run([&] { integrate_step(*state, 1, 1); }, false);
  EXPECT_FALSE(run.ended);
  EXPECT_EQ(state->entropy(1, 1), 0.0f);
  EXPECT_TRUE(std::signbit(state->entropy(1, 1)));
}

TEST(IntegrateStep, ZeroDivisorStops) {
  struct Case {
    float field, slope;
    const char* report;
  } cases[] = {
      {1.0f, -2.0f, "\r\nrun-time error M6103: MATH\r\n- floating-point error: divide by zero\r\n"},
      {1.0f, 0.0f, "\r\nrun-time error M6101: MATH\r\n- floating-point error: invalid\r\n"},
      {0.0f, -2.0f, "\r\nrun-time error M6101: MATH\r\n- floating-point error: invalid\r\n"},
  };
  for (const Case& c : cases) {
    auto state = fields({c.field}, {c.slope}, 0.0f);
    auto run = capture_run([&] { integrate_step(*state, 1, 1); }, false);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.error, c.report);
  }
}

TEST(CheckIntegral, TrapezoidWithUniformStepLeavesOutTheFirstStretch) {
  // Slopes -1, -2, -3 at fields 1, 2, 3: ((-6) - (-4)/2) * (3/3) = -4, divided by 2.
  auto state = fields({1.0f, 2.0f, 3.0f}, {-1.0f, -2.0f, -3.0f}, 2.0f, 305.0f);
  auto run = capture_run([&] { check_integral(*state, 1); });
  EXPECT_EQ(state->check_sum, -4.0f);
  EXPECT_EQ(run.output,
            " Derivadas interpoladas a      305.000000 K\r\n"
            "     305.000000        1.000000       -1.000000\r\n"
            "     305.000000        2.000000       -2.000000\r\n"
            "     305.000000        3.000000       -3.000000\r\n"
            " Integral:       -2.000000");
}

TEST(CheckIntegral, OnlyTemperaturesStrictlyInsideTheWindow) {
  const struct {
    float grid;
    bool logged;
  } cases[] = {{304.5f, false}, {304.51f, true}, {305.0f, true}, {305.49f, true}, {305.5f, false}, {300.0f, false}};
  for (const auto& c : cases) {
    auto state = fields({1.0f}, {-1.0f}, 1.0f, c.grid);
    auto run = capture_run([&] { check_integral(*state, 1); });
    EXPECT_EQ(!run.output.empty(), c.logged) << c.grid;
  }
}

}  // namespace
}  // namespace quelvar
