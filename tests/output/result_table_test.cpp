#include "output/result_table.h"

#include <gtest/gtest.h>

#include <memory>

#include "support/capture.h"

namespace quelvar {
namespace {

using testing::capture_run;

std::string write_table(const RunState& state, const std::string& old_contents = "") {
  testing::TemporaryDirectory directory;
  testing::WorkingDirectory here(directory.path());
  if (!old_contents.empty()) testing::write_file("Quelvar.dat", old_contents);
  auto run = capture_run([&] { write_result_table(state); });
  EXPECT_FALSE(run.ended) << run.error;
  return testing::read_file("Quelvar.dat");
}

std::unique_ptr<RunState> two_curves() {
  auto state = std::make_unique<RunState>();
  state->curve_count = 2;
  state->field_value(1) = 0.5f;
  state->field_value(2) = 1.0f;
  state->grid_count = 2;
  state->grid_temp(1) = 300.0f;
  state->grid_temp(2) = 301.0f;
  state->entropy(1, 1) = -1.0f;
  state->entropy(1, 2) = -2.5f;
  state->entropy(2, 1) = 0.0f;
  state->entropy(2, 2) = 0.25f;
  return state;
}

TEST(ResultTable, HeaderColumnsStandOneToTheLeftAndZeroHasNoSign) {
  EXPECT_EQ(write_table(*two_curves()),
            "   T/B        .5000      1.0000\r\n"
            " 300.000     1.00000     2.50000\r\n"
            " 301.000      .00000     -.25000\r\n");
}

TEST(ResultTable, LongerOldFileIsReplacedCompletely) {
  EXPECT_EQ(write_table(*two_curves(), std::string(5000, 'x')),
            "   T/B        .5000      1.0000\r\n"
            " 300.000     1.00000     2.50000\r\n"
            " 301.000      .00000     -.25000\r\n");
}

TEST(ResultTable, NoCurvesGivesTheLabelAndTemperaturesOnly) {
  auto state = two_curves();
  state->curve_count = 0;
  EXPECT_EQ(write_table(*state), "   T/B\r\n 300.000\r\n 301.000\r\n");
}

TEST(ResultTable, ValuesTooWideForTheirFieldsShowAsterisks) {
  auto state = two_curves();
  state->field_value(1) = 100000.0f;
  state->grid_temp(1) = 10000.0f;
  state->entropy(1, 1) = -10000.0f;
  state->entropy(1, 2) = 1000.0f;  // written as -1000.00000: eleven characters
  EXPECT_EQ(write_table(*state),
            "   T/B   **********      1.0000\r\n"
            "********  **********  **********\r\n"
            " 301.000      .00000     -.25000\r\n");
}

}  // namespace
}  // namespace quelvar
