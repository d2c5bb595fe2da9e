// Cost per value of the writers' number formatting, next to std::to_chars on the same values.
// Two value sets: "log" values like those of the console log and result table (temperatures,
// magnetisations, slopes and integrals), and random finite bit patterns (every exponent).
#include <benchmark/benchmark.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <random>
#include <span>
#include <vector>

#include "recordio/decimal_digits.h"
#include "recordio/free_format_writer.h"
#include "recordio/layout_writer.h"

namespace {

constexpr size_t kValueCount = 4096;

std::vector<float> make_values(int set) {
  std::mt19937 generator(12345);
  std::vector<float> values;
  values.reserve(kValueCount);
  if (set == 0) {
    std::uniform_real_distribution<float> temperature(250.0f, 350.0f);
    std::uniform_real_distribution<float> magnetisation(0.0f, 120.0f);
    std::uniform_real_distribution<float> slope(-2.0f, 0.5f);
    std::uniform_real_distribution<float> small(-0.01f, 0.01f);
    while (values.size() < kValueCount) {
      values.push_back(temperature(generator));
      values.push_back(magnetisation(generator));
      values.push_back(slope(generator));
      values.push_back(small(generator));
    }
  } else {
    while (values.size() < kValueCount) {
      const float value = std::bit_cast<float>(static_cast<std::uint32_t>(generator()));
      if (std::isfinite(value)) values.push_back(value);
    }
  }
  return values;
}

const char* set_name(int set) { return set == 0 ? "log values" : "random bits"; }

template <typename Format>
void run(benchmark::State& state, Format format) {
  const std::vector<float> values = make_values(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    for (float value : values) format(value);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(values.size()));
  state.SetLabel(set_name(static_cast<int>(state.range(0))));
}

void BM_DecimalDigits(benchmark::State& state) {
  run(state, [](float value) {
    quelvar::DecimalDigits digits = quelvar::decimal_digits(value);
    benchmark::DoNotOptimize(digits);
  });
}

void BM_RealFreeText(benchmark::State& state) {
  run(state, [](float value) {
    char text[quelvar::kMaxRealText];
    benchmark::DoNotOptimize(quelvar::real_free_text(value, text));
    benchmark::DoNotOptimize(text);
  });
}

void BM_FixedFieldF10_4(benchmark::State& state) {
  run(state, [](float value) {
    char field[10];
    quelvar::fixed_field_text(value, 4, field);
    benchmark::DoNotOptimize(field);
  });
}

// std::to_chars for comparison: shortest round-trip form of the float; 17 significant digits of
// its double value (what decimal_digits computes, but with ties to even); and a fixed form
// with four decimals.
void BM_ToCharsShortest(benchmark::State& state) {
  run(state, [](float value) {
    char text[64];
    benchmark::DoNotOptimize(std::to_chars(text, text + sizeof text, value));
    benchmark::DoNotOptimize(text);
  });
}

void BM_ToCharsSeventeenDigits(benchmark::State& state) {
  run(state, [](float value) {
    char text[64];
    benchmark::DoNotOptimize(std::to_chars(text, text + sizeof text, static_cast<double>(value),
                                           std::chars_format::scientific, 16));
    benchmark::DoNotOptimize(text);
  });
}

void BM_ToCharsFixed4(benchmark::State& state) {
  run(state, [](float value) {
    char text[64];
    benchmark::DoNotOptimize(std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 4));
    benchmark::DoNotOptimize(text);
  });
}

BENCHMARK(BM_DecimalDigits)->Arg(0)->Arg(1);
BENCHMARK(BM_RealFreeText)->Arg(0)->Arg(1);
BENCHMARK(BM_FixedFieldF10_4)->Arg(0)->Arg(1);
BENCHMARK(BM_ToCharsShortest)->Arg(0)->Arg(1);
BENCHMARK(BM_ToCharsSeventeenDigits)->Arg(0)->Arg(1);
BENCHMARK(BM_ToCharsFixed4)->Arg(0)->Arg(1);

}  // namespace

BENCHMARK_MAIN();
