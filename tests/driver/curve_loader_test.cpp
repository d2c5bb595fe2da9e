#include "driver/curve_loader.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "recordio/units.h"
#include "support/capture.h"

namespace quelvar {
namespace {

using testing::capture_run;

struct Loaded {
  std::unique_ptr<RunState> state = std::make_unique<RunState>();
  testing::CapturedRun run;
};

// Loads `contents` as curve 1 with the given scale factor.
Loaded load(const std::string& contents, float scale = 1.0f) {
  testing::TemporaryDirectory directory;
  testing::WorkingDirectory here(directory.path());
  testing::write_file("c.txt", contents);
  Loaded loaded;
  RunState& state = *loaded.state;
  state.field_value(1) = 1.0f;
  state.scale_factor = scale;
  std::string name = "c.txt";
  name.resize(kNameLength, ' ');
  std::copy(name.begin(), name.end(), state.curve_name);
  loaded.run = capture_run([&] { load_curve(state, 1); });
  return loaded;
}

TEST(LoadCurve, HeadingThenOnePointPerRecord) {
  Loaded l = load("Time Field Temp X Y Z Moment\r\n1 2 300 4 5 6 10\r\n1 2 301 4 5 6 9\r\n");
  EXPECT_FALSE(l.run.ended) << l.run.error;
  EXPECT_EQ(l.state->curve_points(1), 2);
  EXPECT_EQ(l.state->curve_temp(2, 1), 301.0f);
  EXPECT_EQ(l.state->curve_mag(2, 1), 9.0f);
  EXPECT_EQ(l.run.output,
            " Campo:        1.000000\r\n"
            "          1      300.000000       10.000000\r\n"
            "          2      301.000000        9.000000\r\n"
            "          2 puntos en el fichero");  // its line end comes with the next record
}

TEST(LoadCurve, SecondHeadingOfWordsIsPassedOverWordByWord) {
  Loaded l = load("Title line\r\nTime Field Temp X Y Z Moment\r\n1 2 300 4 5 6 10\r\n");
  EXPECT_EQ(l.state->curve_points(1), 1);
  EXPECT_EQ(l.state->curve_temp(1, 1), 300.0f);
  EXPECT_EQ(l.state->curve_mag(1, 1), 10.0f);
}

TEST(LoadCurve, RetryResumesAfterTheFailedValue) {
  // The first statement fails at x; the retry takes 5, 6, 7.25 and then 1, 2, 301.0, 4.
  Loaded l = load("h\r\n1 2 300.5 x 5 6 7.25\r\n1 2 301.0 4 5 6 7.5\r\n", 2.0f);
  EXPECT_EQ(l.state->curve_points(1), 1);
  EXPECT_EQ(l.state->curve_temp(1, 1), 7.25f);
  EXPECT_EQ(l.state->curve_mag(1, 1), 8.0f);
}

TEST(LoadCurve, ScaleIsAppliedAfterTheEcho) {
  Loaded l = load("h\r\n1 2 300 4 5 6 1.5\r\n", 2.0f);
  EXPECT_EQ(l.state->curve_mag(1, 1), 3.0f);
  EXPECT_NE(l.run.output.find("       1.500000\r\n"), std::string::npos);
}

TEST(LoadCurve, FiftyPointsAtMost) {
  std::string contents = "h\r\n";
  for (int k = 0; k < 80; ++k) contents += "1 2 " + std::to_string(200 + k) + " 4 5 6 1\r\n";
  Loaded l = load(contents);
  EXPECT_EQ(l.state->curve_points(1), 50);
  EXPECT_EQ(l.state->curve_temp(50, 1), 249.0f);
  EXPECT_EQ(l.state->curve_temp(51, 1), 0.0f);
  EXPECT_NE(l.run.output.find("         50 puntos en el fichero"), std::string::npos);
}

TEST(LoadCurve, OnlyTheHeaderGivesNoPoints) {
  Loaded l = load("1 2 300 4 5 6 10\r\n");
  EXPECT_EQ(l.state->curve_points(1), 0);
  EXPECT_NE(l.run.output.find("          0 puntos en el fichero"), std::string::npos);
}

TEST(LoadCurve, SlashAndEmptyValuesLeaveTargetsAsTheyWere) {
  // The slash ends the first statement after four values; in the second, the last comma ends an
  // empty seventh value (a single trailing comma would send the seventh value to the next record).
  Loaded l = load("h\r\n1 2 300 4/\r\n1,2,,4,5,6,,\r\n");
  EXPECT_EQ(l.state->curve_points(1), 2);
  EXPECT_EQ(l.state->curve_temp(1, 1), 300.0f);
  EXPECT_EQ(l.state->curve_mag(1, 1), 0.0f);
  EXPECT_EQ(l.state->curve_temp(2, 1), 0.0f);
  EXPECT_EQ(l.state->curve_mag(2, 1), 0.0f);
}

TEST(LoadCurve, EmptyCurveFileStopsWithEndOfFile) {
  Loaded l = load("");
  EXPECT_EQ(l.run.status, 1);
  EXPECT_EQ(l.run.error.rfind("\r\nrun-time error F6501: READ(c.txt)\r\n", 0), 0u) << l.run.error;
}

struct OrderCase {
  const char* what;
  std::vector<float> temps;
  std::vector<float> expected;
};

TEST(OrderCurves, OnlyTheEndsDecide) {
  const OrderCase cases[] = {
      {"decreasing curve is reversed", {350, 300, 250}, {250, 300, 350}},
      {"increasing curve keeps its order", {250, 300, 350}, {250, 300, 350}},
      {"up and down keeps its order (last not below first)", {250, 300, 280}, {250, 300, 280}},
      {"down and up with a lower end is reversed, not sorted", {300, 350, 250}, {250, 350, 300}},
      {"one point", {300}, {300}},
  };
  for (const OrderCase& c : cases) {
    auto state = std::make_unique<RunState>();
    state->curve_count = 1;
    const int n = static_cast<int>(c.temps.size());
    state->curve_points(1) = n;
    for (int i = 1; i <= n; ++i) {
      state->curve_temp(i, 1) = c.temps[static_cast<size_t>(i - 1)];
      state->curve_mag(i, 1) = c.temps[static_cast<size_t>(i - 1)] / 10.0f;
    }
    capture_run([&] { order_curves(*state); });
    for (int i = 1; i <= n; ++i) {
      EXPECT_EQ(state->curve_temp(i, 1), c.expected[static_cast<size_t>(i - 1)]) << c.what;
      EXPECT_EQ(state->curve_mag(i, 1), c.expected[static_cast<size_t>(i - 1)] / 10.0f) << c.what;
    }
  }
}

TEST(OrderCurves, EmptyCurveLogsTheTwoHeadingLinesOnly) {
  auto state = std::make_unique<RunState>();
  state->curve_count = 1;
  auto run = capture_run([&] { order_curves(*state); });
  EXPECT_EQ(run.output, "\r\n datos ordenados por temperatura");
}

}  // namespace
}  // namespace quelvar
