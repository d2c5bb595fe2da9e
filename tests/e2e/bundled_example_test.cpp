// The bundled ferromagnet example, run by the built binary and checked against a plain
// double-precision recomputation of the same interpolation and field integration.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "support/capture.h"
#include "support/process_runner.h"

namespace quelvar {
namespace {

using testing::ProcessSetup;
using testing::read_file;
using testing::run_quelvar;
using testing::source_path;

struct Curve {
  double field = 0;
  std::vector<double> temps, moments;
};

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// The derivative at t of the quadratic through three points, in Newton's divided-difference form
// (a different formula from the program's two-term one).
double quadratic_slope(double t, double x1, double y1, double x2, double y2, double x3, double y3) {
  const double s12 = (y2 - y1) / (x2 - x1);
  const double s23 = (y3 - y2) / (x3 - x2);
  return s12 + (s23 - s12) / (x3 - x1) * (2 * t - x1 - x2);
}

TEST(BundledExample, TableAgreesWithAnIndependentRecomputation) {
  const std::string folder = source_path("examples/ferromagnet");
  ProcessSetup setup;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    setup.files[entry.path().filename().string()] = read_file(entry.path().string());
  }
  auto result = run_quelvar(setup);
  ASSERT_EQ(result.exit_status, 0) << result.error;

  // The control file: divisor, grid, then field/name pairs.
  const auto control = lines_of(setup.files["Quelvar.inp"]);
  const double divisor = std::stod(control[0]);
  std::vector<Curve> curves;
  for (size_t i = 2; i + 1 < control.size(); i += 2) {
    Curve curve;
    std::istringstream field_record(control[i]);
    double scale = 0;
    field_record >> curve.field >> scale;
    const auto data = lines_of(setup.files[control[i + 1]]);
    for (size_t k = 1; k < data.size() && curve.temps.size() < 50; ++k) {
      std::istringstream record(data[k]);
      std::vector<double> columns(7);
      for (double& column : columns) record >> column;
      // The inputs as the tool stores them (single precision); everything after is double.
      curve.temps.push_back(static_cast<float>(columns[2]));
      curve.moments.push_back(static_cast<float>(static_cast<float>(columns[6]) * scale));
    }
    if (curve.temps.back() < curve.temps.front()) {
      std::reverse(curve.temps.begin(), curve.temps.end());
      std::reverse(curve.moments.begin(), curve.moments.end());
    }
    curves.push_back(curve);
  }

  const auto table = lines_of(result.files["Quelvar.dat"]);
  ASSERT_GT(table.size(), 30u);
  std::vector<double> slopes(curves.size(), 0.0);
  double peak = 0, peak_temperature = 0;
  for (size_t row = 1; row < table.size(); ++row) {
    std::istringstream cells(table[row]);
    double t;
    cells >> t;
    double integral = 0;
    for (size_t c = 0; c < curves.size(); ++c) {
      const Curve& curve = curves[c];
      const size_t n = curve.temps.size();
      for (size_t d = 0; d + 1 < n; ++d) {
        if (!(curve.temps[d] < t && curve.temps[d + 1] >= t)) continue;
        size_t third = d == 0 ? 2 : d - 1;
        if (d >= 1 && d + 2 < n && std::fabs(curve.temps[d + 2] - t) < std::fabs(curve.temps[d - 1] - t)) third = d + 2;
        slopes[c] = quadratic_slope(t, curve.temps[d], curve.moments[d], curve.temps[d + 1], curve.moments[d + 1],
                                    curve.temps[third], curve.moments[third]);
        break;
      }
      integral += c == 0 ? slopes[0] * curve.field
                         : (curve.field - curves[c - 1].field) * (slopes[c - 1] + slopes[c]) / 2;
      double printed;
      cells >> printed;
      const double expected = -integral / divisor;
      // Five printed decimals, and single-precision storage of the slopes and running sums.
      EXPECT_NEAR(printed, expected, 6e-6 + 1e-6 * std::fabs(expected)) << "T = " << t << ", curve " << c + 1;
      if (c + 1 == curves.size() && printed > peak) {
        peak = printed;
        peak_temperature = t;
      }
    }
  }
  // The entropy change of a ferromagnet peaks near its Curie temperature (294 K).
  EXPECT_GT(peak, 1.0);
  EXPECT_NEAR(peak_temperature, 294.0, 8.0);
}

}  // namespace
}  // namespace quelvar
