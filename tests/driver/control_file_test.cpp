#include "driver/control_file.h"

#include <gtest/gtest.h>

#include <memory>

#include "support/capture.h"

namespace quelvar {
namespace {

using testing::capture_run;

struct GridCase {
  const char* what;
  float start, step, end;
  int count;
  float last;
};

TEST(BuildGrid, CountsAndLastTemperatures) {
  const GridCase cases[] = {
      {"end temperature belongs to the grid", 300.0f, 0.5f, 302.0f, 5, 302.0f},
      {"start above end: the start alone", 310.0f, 1.0f, 300.0f, 1, 310.0f},
      {"zero step never passes the end", 300.0f, 0.0f, 310.0f, 100, 300.0f},
      {"negative step never passes the end", 300.0f, -1.0f, 310.0f, 100, 201.0f},
      {"zero step above the end: the start alone", 320.0f, 0.0f, 310.0f, 1, 320.0f},
      {"step beyond the end at once", 300.0f, 50.0f, 320.0f, 1, 300.0f},
      // A step below half an ulp of the start is lost at every addition: the grid never moves, so
      // each temperature is the previous stored one plus the step, not start + (i-1) * step.
      {"rounding accumulates from one temperature to the next", 1.0f, 1e-8f, 1.5f, 100, 1.0f},
  };
  for (const GridCase& c : cases) {
    auto state = std::make_unique<RunState>();
    state->grid_start = c.start;
    state->grid_step = c.step;
    state->grid_end = c.end;
    auto run = capture_run([&] { build_grid(*state); }, false);
    EXPECT_FALSE(run.ended) << c.what;
    EXPECT_EQ(state->grid_count, c.count) << c.what;
    EXPECT_EQ(state->grid_temp(state->grid_count), c.last) << c.what;
    EXPECT_EQ(state->grid_temp(1), c.start) << c.what;
  }
}

TEST(BuildGrid, HalfStepsAreExact) {
  auto state = std::make_unique<RunState>();
  state->grid_start = 300.0f;
  state->grid_step = 0.5f;
  state->grid_end = 302.0f;
  capture_run([&] { build_grid(*state); }, false);
  const float expected[] = {300.0f, 300.5f, 301.0f, 301.5f, 302.0f};
  for (int i = 1; i <= 5; ++i) EXPECT_EQ(state->grid_temp(i), expected[i - 1]);
}

TEST(BuildGrid, OverflowingTemperatureStopsTheRun) {
  auto state = std::make_unique<RunState>();
  state->grid_start = 1.0f;
  state->grid_step = 3e38f;
  state->grid_end = 3.4e38f;
  auto run = capture_run([&] { build_grid(*state); }, false);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.error, "\r\nrun-time error M6104: MATH\r\n- floating-point error: overflow\r\n");
}

TEST(ReadGrid, ExtraWordsAfterTheDivisorAreSkipped) {
  testing::TemporaryDirectory directory;
  testing::WorkingDirectory here(directory.path());
  testing::write_file("Quelvar.inp", "1.25 extra words\r\n300 0.5 302\r\n");
  auto state = std::make_unique<RunState>();
  auto run = capture_run([&] { read_grid(*state); });
  EXPECT_FALSE(run.ended) << run.error;
  EXPECT_EQ(state->divisor, 1.25f);
  EXPECT_EQ(state->grid_count, 5);
}

}  // namespace
}  // namespace quelvar
