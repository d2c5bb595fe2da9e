#include "output/console_log.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>

#include "runtime/termination.h"
#include "support/capture.h"
#include "support/expected_text.h"

namespace quelvar {
namespace {

using testing::capture_run;

// Expected texts are written with ␣ for each blank that matters.
std::string blanks(std::string text) { return testing::with_blanks(std::move(text)); }

// What the console shows for one log line written as the first output of a run.
std::string shown(const std::function<void()>& line) {
  const auto run = capture_run(line);
  EXPECT_FALSE(run.ended) << run.error;
  return run.output;
}

TEST(ConsoleLog, EachLineWithExampleValues) {
  const struct {
    int line;
    std::function<void()> write;
    std::string console;
  } cases[] = {
      {1, [] { log_curve_field(1.0f); }, blanks("␣Campo:␣␣␣␣␣␣␣␣1.000000")},
      {2, [] { log_point_read(1, 300.5f, 12.345f); }, blanks("␣␣␣␣␣␣␣␣␣␣1␣␣␣␣␣␣300.500000␣␣␣␣␣␣␣12.345000")},
      {3, [] { log_points_in_file(50); }, blanks("␣␣␣␣␣␣␣␣␣50␣puntos␣en␣el␣fichero")},
      {4, [] { log_empty_line(); }, ""},
      {5, [] { log_ordered_heading(); }, " datos ordenados por temperatura"},
      {6, [] { log_ordered_point(300.75f, -0.0421f); }, blanks("␣␣␣␣␣300.750000␣␣␣-4.210000E-02")},
      {7, [] { log_difference_field(2.0f); }, blanks("Campo:␣␣␣␣␣␣␣␣2.000000")},
      {8, [] { log_difference_heading(); }, "    Tmedia     dM/dT_B"},
      {9, [] { log_difference_row(300.75f, -0.0421f); }, blanks("␣␣␣␣␣300.750000␣␣␣-4.210000E-02")},
      // The accented letter is the one byte 0xF3.
      {10, [] { log_check_temperature(305.0f); },
       blanks("Comprobamos␣Interpolaci\xF3n␣a␣␣␣␣␣␣305.000000␣K")},
      {11, [] { log_interpolation_heading(); }, "T lista, B, DMDT inter"},
      {12, [] { log_bracket(302.0f, 3, 1); }, blanks("␣␣␣␣␣302.000000␣i=␣␣␣␣␣␣␣␣␣␣␣3␣j␣=␣␣␣␣␣␣␣␣␣␣␣1")},
      {13, [] { log_interpolation_points(305.0f, 304.5f, 1.2345f, 305.5f, -0.5f, 303.5f, 0.0f); },
       blanks("␣␣305.0000␣␣␣304.5000␣␣␣␣␣1.2345␣␣␣305.5000␣␣␣␣␣-.5000␣␣␣303.5000␣␣␣␣␣␣.0000")},
      {14, [] { log_interpolated_slope(302.0f, 1.0f, -0.0421f); },
       blanks("␣␣␣␣␣302.000000␣␣␣␣␣␣␣␣1.000000␣␣␣-4.210000E-02")},
      {15, [] { log_check_heading(305.0f); }, blanks("␣Derivadas␣interpoladas␣a␣␣␣␣␣␣305.000000␣K")},
      {16, [] { log_check_slope(302.0f, 1.0f, -0.0421f); },
       blanks("␣␣␣␣␣302.000000␣␣␣␣␣␣␣␣1.000000␣␣␣-4.210000E-02")},
      {17, [] { log_check_integral(-0.0015f); }, blanks("␣Integral:␣␣␣-1.500000E-03")},
  };
  for (const auto& c : cases) EXPECT_EQ(shown(c.write), c.console) << "line " << c.line;
}

struct Point {
  float temperature;
  float magnetisation;
};

// The two-curve worked run, as the phases log it, ending the run so that the last line end is
// written too.
TEST(ConsoleLog, WorkedRunByteForByte) {
  const float fields[2] = {1.0f, 2.0f};
  const Point curves[2][4] = {{{300, 10}, {301, 9}, {302, 7}, {303, 4}}, {{300, 20}, {301, 18}, {302, 14}, {303, 8}}};
  const float grid[3] = {300.5f, 301.5f, 302.5f};
  const int thirds[3] = {2, 0, 1};
  const auto run = capture_run([&] {
    for (int c = 0; c < 2; ++c) {
      log_curve_field(fields[c]);
      for (int p = 0; p < 4; ++p) log_point_read(p + 1, curves[c][p].temperature, curves[c][p].magnetisation);
      log_points_in_file(4);
    }
    for (int c = 0; c < 2; ++c) {
      log_empty_line();
      log_ordered_heading();
      for (const Point& point : curves[c]) log_ordered_point(point.temperature, point.magnetisation);
    }
    for (int c = 0; c < 2; ++c) {
      log_difference_field(fields[c]);
      log_difference_heading();
      for (int p = 0; p < 3; ++p) {
        const Point& a = curves[c][p];
        const Point& b = curves[c][p + 1];
        log_difference_row(static_cast<float>((static_cast<double>(a.temperature) + b.temperature) / 2.0),
                           b.magnetisation - a.magnetisation);
      }
    }
    log_check_temperature(305.0f);
    log_interpolation_heading();
    for (int i = 0; i < 3; ++i) {
      for (int c = 0; c < 2; ++c) {
        // The three points: the interval's two ends and the third point the interpolation picked.
        const int third = thirds[i];
        const Point* curve = curves[c];
        log_bracket(grid[i], i + 1, c + 1);
        log_interpolation_points(grid[i], curve[i].temperature, curve[i].magnetisation, curve[i + 1].temperature,
                                 curve[i + 1].magnetisation, curve[third].temperature, curve[third].magnetisation);
        log_interpolated_slope(grid[i], fields[c], curve[i + 1].magnetisation - curve[i].magnetisation);
      }
    }
    end_of_run(0);
  });
  ASSERT_TRUE(run.ended);
  EXPECT_EQ(run.status, 0);
  const char* const lines[] = {
      " Campo:        1.000000",
      "          1      300.000000       10.000000",
      "          2      301.000000        9.000000",
      "          3      302.000000        7.000000",
      "          4      303.000000        4.000000",
      "          4 puntos en el fichero",
      " Campo:        2.000000",
      "          1      300.000000       20.000000",
      "          2      301.000000       18.000000",
      "          3      302.000000       14.000000",
      "          4      303.000000        8.000000",
      "          4 puntos en el fichero",
      "",
      " datos ordenados por temperatura",
      "     300.000000       10.000000",
      "     301.000000        9.000000",
      "     302.000000        7.000000",
      "     303.000000        4.000000",
      "",
      " datos ordenados por temperatura",
      "     300.000000       20.000000",
      "     301.000000       18.000000",
      "     302.000000       14.000000",
      "     303.000000        8.000000",
      "Campo:        1.000000",
      "    Tmedia     dM/dT_B",
      "     300.500000       -1.000000",
      "     301.500000       -2.000000",
      "     302.500000       -3.000000",
      "Campo:        2.000000",
      "    Tmedia     dM/dT_B",
      "     300.500000       -2.000000",
      "     301.500000       -4.000000",
      "     302.500000       -6.000000",
      "Comprobamos Interpolaci\xF3n a      305.000000 K",  // \xF3 then n: n is not a hex digit
      "T lista, B, DMDT inter",
      "     300.500000 i=           1 j =           1",
      "  300.5000   300.0000    10.0000   301.0000     9.0000   302.0000     7.0000",
      "     300.500000        1.000000       -1.000000",
      "     300.500000 i=           1 j =           2",
      "  300.5000   300.0000    20.0000   301.0000    18.0000   302.0000    14.0000",
      "     300.500000        2.000000       -2.000000",
      "     301.500000 i=           2 j =           1",
      "  301.5000   301.0000     9.0000   302.0000     7.0000   300.0000    10.0000",
      "     301.500000        1.000000       -2.000000",
      "     301.500000 i=           2 j =           2",
      "  301.5000   301.0000    18.0000   302.0000    14.0000   300.0000    20.0000",
      "     301.500000        2.000000       -4.000000",
      "     302.500000 i=           3 j =           1",
      "  302.5000   302.0000     7.0000   303.0000     4.0000   301.0000     9.0000",
      "     302.500000        1.000000       -3.000000",
      "     302.500000 i=           3 j =           2",
      "  302.5000   302.0000    14.0000   303.0000     8.0000   301.0000    18.0000",
      "     302.500000        2.000000       -6.000000",

  };
  std::string expected;
  for (const char* line : lines) expected += std::string(line) + "\r\n";
  EXPECT_EQ(run.output, expected);
}

}  // namespace
}  // namespace quelvar
