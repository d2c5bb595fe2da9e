// Whole runs of the built binary: the worked runs byte for byte, and every way a run can stop.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "runtime/termination.h"
#include "support/capture.h"
#include "support/expected_text.h"
#include "support/process_runner.h"

namespace quelvar {
namespace {

using testing::ProcessResult;
using testing::ProcessSetup;
using testing::read_file;
using testing::run_quelvar;
using testing::source_path;

std::string golden(const std::string& name) { return read_file(source_path("tests/e2e/golden/" + name)); }

using testing::io_report;
using testing::math_report;

// One point per record: seven columns, temperature third and moment seventh.
std::string curve_file(const std::vector<std::pair<std::string, std::string>>& points) {
  std::string text = "Time Field Temperature X Y Z Moment\r\n";
  for (const auto& [temperature, moment] : points) text += "1 2 " + temperature + " 4 5 6 " + moment + "\r\n";
  return text;
}

TEST(WorkedRun, ConsoleLogAndResultTableByteForByte) {
  ProcessSetup setup;
  for (const char* name : {"Quelvar.inp", "a.txt", "b.txt"}) setup.files[name] = golden(std::string("worked_run/") + name);
  ProcessResult result = run_quelvar(setup);
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.error, "");
  EXPECT_EQ(result.output, golden("worked_run/expected_output"));
  EXPECT_EQ(result.files["Quelvar.dat"], golden("worked_run/expected_Quelvar.dat"));
}

TEST(WorkedRun, CheckBlockFromTheCheckTemperatureOn) {
  ProcessSetup setup;
  for (const char* name : {"Quelvar.inp", "c1.txt", "c2.txt", "c3.txt"}) {
    setup.files[name] = golden(std::string("check_block/") + name);
  }
  ProcessResult result = run_quelvar(setup);
  EXPECT_EQ(result.exit_status, 0);
  const std::string from_line_10 = golden("check_block/expected_output_from_line_10");
  const size_t start = result.output.find("Comprobamos");
  ASSERT_NE(start, std::string::npos) << result.output;
  EXPECT_EQ(result.output.substr(start), from_line_10);
  EXPECT_EQ(result.files["Quelvar.dat"], golden("check_block/expected_Quelvar.dat"));
}

struct StopCase {
  const char* what;
  std::map<std::string, std::string> files;
  std::string expected_error;
  bool table_written;
};

TEST(RunStops, EveryFailurePathReportsAndWritesNoTable) {
  const std::string two_points = curve_file({{"300", "10"}, {"301", "9"}});
  const StopCase cases[] = {
      {"control file holding only the divisor", {{"Quelvar.inp", "2.0\r\n"}},
       io_report(6501, "READ", "Quelvar.inp"), false},
      {"grid record ends early: the third value is taken from the next record, which does not exist",
       {{"Quelvar.inp", "2.0\r\n300 1\r\n"}}, io_report(6501, "READ", "Quelvar.inp"), false},
      {"malformed divisor", {{"Quelvar.inp", "abc\r\n300 1 302\r\n"}},
       io_report(6103, "READ", "Quelvar.inp"), false},
      {"malformed field record", {{"Quelvar.inp", "1\r\n300 1 302\r\n1.0x 1\r\na.txt\r\n"}},
       io_report(6103, "READ", "Quelvar.inp"), false},
      {"field record with no name record after it", {{"Quelvar.inp", "1\r\n300 1 302\r\n1 1\r\n"}},
       io_report(6501, "READ", "Quelvar.inp"), false},
      {"curve directory that does not exist", {{"Quelvar.inp", "1\r\n300 1 302\r\n1 1\r\nnodir/a.txt\r\n"}},
       io_report(6416, "OPEN", "nodir/a.txt"), false},
      {"curve file that is the control file itself", {{"Quelvar.inp", "1\r\n300 1 302\r\n1 1\r\nQuelvar.inp\r\n"}},
       io_report(6413, "OPEN", "Quelvar.inp"), false},
      {"equal consecutive temperatures stop the difference table",
       {{"Quelvar.inp", "1\r\n300 1 302\r\n1 1\r\na.txt\r\n"}, {"a.txt", curve_file({{"300", "10"}, {"300", "9"}})}},
       math_report(6103, "divide by zero"), false},
      {"equal temperatures and equal moments are invalid",
       {{"Quelvar.inp", "1\r\n300 1 302\r\n1 1\r\na.txt\r\n"}, {"a.txt", curve_file({{"300", "10"}, {"300", "10"}})}},
       math_report(6101, "invalid"), false},
      {"zero divisor with a nonzero first stretch",
       {{"Quelvar.inp", "0\r\n300.5 1 300.5\r\n1 1\r\na.txt\r\n"}, {"a.txt", two_points}},
       math_report(6103, "divide by zero"), false},
      {"zero divisor over a zero first stretch (field 0)",
       {{"Quelvar.inp", "0\r\n300.5 1 300.5\r\n0 1\r\na.txt\r\n"}, {"a.txt", two_points}},
       math_report(6101, "invalid"), false},
      {"scale factor that overflows a moment",
       {{"Quelvar.inp", "1\r\n300 1 302\r\n1 1E30\r\na.txt\r\n"}, {"a.txt", curve_file({{"300", "1E10"}})}},
       math_report(6104, "overflow"), false},
      {"grid step that overflows before it passes the end",
       {{"Quelvar.inp", "1\r\n1 3E38 3.4E38\r\n"}}, math_report(6104, "overflow"), false},
  };
  for (const StopCase& c : cases) {
    ProcessSetup setup;
    setup.files = c.files;
    ProcessResult result = run_quelvar(setup);
    EXPECT_EQ(result.exit_status, 1) << c.what;
    EXPECT_EQ(result.error, c.expected_error) << c.what;
    EXPECT_EQ(result.files.count("Quelvar.dat"), 0u) << c.what;
  }
}

TEST(RunStops, MissingCurveFileIsCreatedEmptyAndEndsWithEndOfFileOnIt) {
  ProcessSetup setup;
  setup.files["Quelvar.inp"] = "1\r\n300 1 302\r\n0.5 1\r\nfield_0p5.txt\r\n";
  ProcessResult result = run_quelvar(setup);
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(result.error, io_report(6501, "READ", "field_0p5.txt"));
  EXPECT_EQ(result.files["field_0p5.txt"], "");
  EXPECT_EQ(result.files.count("Quelvar.dat"), 0u);
  EXPECT_EQ(result.output, "");
}

TEST(RunStops, OverflowingScaleComesAfterThePointsEchoLine) {
  ProcessSetup setup;
  setup.files["Quelvar.inp"] = "1\r\n300 1 302\r\n1 1E30\r\na.txt\r\n";
  setup.files["a.txt"] = curve_file({{"300", "1E10"}});
  ProcessResult result = run_quelvar(setup);
  // Line 1, then the echo of point 1 before its scaling overflows; the owed line end comes last.
  EXPECT_EQ(result.output,
            " Campo:        1.000000\r\n"
            "          1      300.000000    1.000000E+10\r\n");
}

TEST(RunStops, EqualTemperaturesEndTheLogBeforeThatCurvesTable) {
  ProcessSetup setup;
  setup.files["Quelvar.inp"] = "1\r\n300 1 302\r\n1 1\r\na.txt\r\n2 1\r\nb.txt\r\n";
  setup.files["a.txt"] = curve_file({{"300", "10"}, {"301", "9"}});
  setup.files["b.txt"] = curve_file({{"300", "10"}, {"300", "9"}});
  ProcessResult result = run_quelvar(setup);
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_NE(result.output.find("Campo:        1.000000\r\n    Tmedia     dM/dT_B\r\n"), std::string::npos);
  EXPECT_EQ(result.output.find("Campo:        2.000000\r\n    Tmedia"), std::string::npos);
  EXPECT_EQ(result.output.substr(result.output.size() - 2), "\r\n");
}

TEST(RunStops, ReadOnlyResultTableKeepsItsOldContents) {
  ProcessSetup setup;
  for (const char* name : {"Quelvar.inp", "a.txt", "b.txt"}) setup.files[name] = golden(std::string("worked_run/") + name);
  setup.files["Quelvar.dat"] = "old table\r\n";
  setup.read_only = {"Quelvar.dat"};
  ProcessResult result = run_quelvar(setup);
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(result.error, io_report(6421, "WRITE", "Quelvar.dat"));
  EXPECT_EQ(result.files["Quelvar.dat"], "old table\r\n");
}

TEST(RunLimits, OnlyTheFirstFiftyCurvesAreLoaded) {
  ProcessSetup setup;
  std::string control = "1\r\n300.5 1 300.5\r\n";
  for (int j = 1; j <= 60; ++j) control += std::to_string(j) + " 1\r\nc.txt\r\n";
  // The pairs after the fiftieth are never read, so a malformed one does no harm.
  control += "not a number\r\n";
  setup.files["Quelvar.inp"] = control;
  setup.files["c.txt"] = curve_file({{"300", "10"}, {"301", "9"}, {"302", "7"}});
  ProcessResult result = run_quelvar(setup);
  EXPECT_EQ(result.exit_status, 0) << result.error;
  const std::string& table = result.files["Quelvar.dat"];
  const std::string header = table.substr(0, table.find("\r\n"));
  EXPECT_EQ(header.size(), 6u + 1u + 50u * 12u) << header;  // label piece, carried blank, 50 fields
  EXPECT_NE(header.find("50.0000"), std::string::npos);
  EXPECT_EQ(header.find("51.0000"), std::string::npos);
}

TEST(RunLimits, OnlyTheFirstFiftyPointsOfACurveAreLoaded) {
  ProcessSetup setup;
  setup.files["Quelvar.inp"] = "1\r\n300.5 1 300.5\r\n1 1\r\na.txt\r\n";
  std::vector<std::pair<std::string, std::string>> points;
  for (int k = 0; k < 80; ++k) points.push_back({std::to_string(300 + k), std::to_string(100 - k)});
  setup.files["a.txt"] = curve_file(points);
  ProcessResult result = run_quelvar(setup);
  EXPECT_EQ(result.exit_status, 0) << result.error;
  EXPECT_NE(result.output.find("         50      349.000000       51.000000\r\n"), std::string::npos);
  EXPECT_EQ(result.output.find("         51      350.000000"), std::string::npos);
  EXPECT_NE(result.output.find("         50 puntos en el fichero\r\n"), std::string::npos);
}

TEST(RunChoices, TwoPointCurveUsesTheSecantAndShowsTheSecondPointTwice) {
  ProcessSetup setup;
  setup.files["Quelvar.inp"] = "1\r\n300.5 1 300.5\r\n1 1\r\na.txt\r\n";
  setup.files["a.txt"] = curve_file({{"300", "10"}, {"302", "6"}});
  ProcessResult result = run_quelvar(setup);
  EXPECT_EQ(result.exit_status, 0) << result.error;
  EXPECT_NE(result.output.find("  300.5000   300.0000    10.0000   302.0000     6.0000   302.0000     6.0000\r\n"
                               "     300.500000        1.000000       -2.000000\r\n"),
            std::string::npos)
      << result.output;
  EXPECT_EQ(result.files["Quelvar.dat"], "   T/B       1.0000\r\n 300.500     2.00000\r\n");
}

TEST(RunChoices, CheckBlockWithoutCurvesLogsAZeroIntegralAndCompletes) {
  ProcessSetup setup;
  setup.files["Quelvar.inp"] = "0\r\n304.5 0.5 305.5\r\n";
  ProcessResult result = run_quelvar(setup);
  EXPECT_EQ(result.exit_status, 0) << result.error;
  EXPECT_EQ(result.output,
            "Comprobamos Interpolaci\xF3n a      305.000000 K\r\n"
            "T lista, B, DMDT inter\r\n"
            " Derivadas interpoladas a      305.000000 K\r\n"
            " Integral:    0.000000E+00\r\n");
  EXPECT_EQ(result.files["Quelvar.dat"], "   T/B\r\n 304.500\r\n 305.000\r\n 305.500\r\n");
}

TEST(RunChoices, NoCurvesOutsideTheCheckWindowWritesTemperaturesOnly) {
  ProcessSetup setup;
  setup.files["Quelvar.inp"] = "1\r\n310 1 300\r\n";
  ProcessResult result = run_quelvar(setup);
  EXPECT_EQ(result.exit_status, 0) << result.error;
  EXPECT_EQ(result.files["Quelvar.dat"], "   T/B\r\n 310.000\r\n");
}

}  // namespace
}  // namespace quelvar
