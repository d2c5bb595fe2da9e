// Value conversion speed: convert_real against std::from_chars (float) on the same texts, for the
// kinds of values the program reads. Reported as time per value ("per_value") and as a rate.
#include <benchmark/benchmark.h>

#include <charconv>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "recordio/value_conversion.h"

namespace {

constexpr int kTextsPerSet = 1024;

// `digits` significant digits, point after the first, exponent in [low, high]; or, with
// positional set, a plain fixed-point number.
std::vector<std::string> make_texts(int digits, int exponent_low, int exponent_high, bool positional,
                                    unsigned seed) {
  std::mt19937 random(seed);
  std::vector<std::string> texts;
  for (int i = 0; i < kTextsPerSet; ++i) {
    std::string mantissa(1, static_cast<char>('1' + random() % 9));
    for (int d = 1; d < digits; ++d) mantissa += static_cast<char>('0' + random() % 10);
    const int exponent = exponent_low + static_cast<int>(random() % static_cast<unsigned>(exponent_high - exponent_low + 1));
    if (positional) {
      // digits with the point `exponent` places from the end: 300.5, 12.25
      texts.push_back(mantissa.substr(0, mantissa.size() - static_cast<size_t>(exponent)) + "." +
                      mantissa.substr(mantissa.size() - static_cast<size_t>(exponent)));
    } else {
      texts.push_back(mantissa.substr(0, 1) + "." + mantissa.substr(1) + "E" +
                      (exponent < 0 ? "-" : "+") + (std::abs(exponent) < 10 ? "0" : "") +
                      std::to_string(std::abs(exponent)));
    }
  }
  return texts;
}

const std::vector<std::string>& texts_for(int kind) {
  static const std::vector<std::string> sets[] = {
      make_texts(4, 1, 1, true, 1),       // temperatures: 300.5
      make_texts(7, -6, 2, false, 2),     // magnetisations: 1.234567E-03
      make_texts(17, -12, 12, false, 3),  // 17 digits: 1.2345678901234567E-05
      make_texts(24, -12, 12, false, 4),  // 24 digits
  };
  return sets[kind];
}

const char* const kKindNames[] = {"temperature_4_digits", "magnetisation_7_digits", "17_digits", "24_digits"};

void report(benchmark::State& state, int kind) {
  state.SetItemsProcessed(state.iterations() * kTextsPerSet);
  // Seconds per value (CPU time), printed with an SI prefix: "15.5n" is 15.5 ns.
  state.counters["per_value"] = benchmark::Counter(
      kTextsPerSet, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  state.SetLabel(kKindNames[kind]);
}

void BM_convert_real(benchmark::State& state) {
  const int kind = static_cast<int>(state.range(0));
  const std::vector<std::string>& texts = texts_for(kind);
  for (auto _ : state) {
    for (const std::string& text : texts) {
      float value = 0.0f;
      const int outcome = quelvar::convert_real(text.data(), text.size(), value);
      benchmark::DoNotOptimize(outcome);
      benchmark::DoNotOptimize(value);
    }
  }
  report(state, kind);
}

void BM_from_chars_float(benchmark::State& state) {
  const int kind = static_cast<int>(state.range(0));
  const std::vector<std::string>& texts = texts_for(kind);
  for (auto _ : state) {
    for (const std::string& text : texts) {
      float value = 0.0f;
      const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
      benchmark::DoNotOptimize(result);
      benchmark::DoNotOptimize(value);
    }
  }
  report(state, kind);
}

BENCHMARK(BM_convert_real)->DenseRange(0, 3);
BENCHMARK(BM_from_chars_float)->DenseRange(0, 3);

}  // namespace

BENCHMARK_MAIN();
