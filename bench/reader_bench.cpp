// The free-format reader on large inputs, read as the curve loader reads its data records: the
// seven-value statement with end of file and errors handled, executed again after every error,
// until end of file. Shapes: many records of junk words, one record of junk words, one record of
// numbers (seven values, then the rest skipped) and one word as long as the file. Time must grow
// linearly with the size and memory must not grow at all: see the cpu_ns_per_byte and
// peak_rss_mb counters for 1, 10, 50 and 100 MB.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "recordio/free_format_reader.h"
#include "recordio/units.h"

namespace {

using namespace quelvar;

constexpr long long kMegabyte = 1 << 20;

enum Shape { junk_records, junk_single_record, numbers_single_record, one_long_word };

const char* const kWords[] = {"T(K)", "M(emu)", "abc", "x", "junkword", "data1.dat", "K", "temperature", "emu/g"};

// Writes the file once per shape and size; returns its path.
std::string input_file(Shape shape, long long megabytes) {
  char path[96];
  std::snprintf(path, sizeof path, "/tmp/quelvar-reader-bench-%d-%d-%lld", static_cast<int>(::getpid()),
                static_cast<int>(shape), megabytes);
  if (::access(path, F_OK) == 0) return path;
  const int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (fd < 0) std::abort();
  const long long total = megabytes * kMegabyte;
  std::string chunk;
  std::uint32_t random = 12345;
  long long written = 0;
  int line_length = 0;
  while (written < total) {
    chunk.clear();
    while (chunk.size() < 65536) {
      random = random * 1664525u + 1013904223u;
      switch (shape) {
        case junk_records:
        case junk_single_record:
          chunk += kWords[(random >> 16) % (sizeof kWords / sizeof kWords[0])];
          chunk += ' ';
          line_length += 8;
          if (shape == junk_records && line_length > 60) {
            chunk += "\r\n";
            line_length = 0;
          }
          break;
        case numbers_single_record:
          chunk += std::to_string((random >> 16) % 1000);
          chunk += ".5 ";
          break;
        case one_long_word: chunk.append(4096, 'w'); break;
      }
    }
    long long take = static_cast<long long>(chunk.size());
    if (take > total - written - 2) take = total - written - 2;
    if (take <= 0) break;
    if (::write(fd, chunk.data(), static_cast<size_t>(take)) != take) std::abort();
    written += take;
  }
  if (::write(fd, "\r\n", 2) != 2) std::abort();
  ::close(fd);
  return path;
}

double processor_time() {
  timespec now{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double peak_rss_megabytes() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // ru_maxrss is in kilobytes
}

void read_like_the_curve_loader(benchmark::State& state, Shape shape) {
  const long long megabytes = state.range(0);
  const std::string path = input_file(shape, megabytes);
  long long statements = 0;
  // The machine is shared: processor time per byte is the steadier measure, wall time is shown too.
  double processor_seconds = 0.0;
  for (auto _ : state) {
    const double processor_start = processor_time();
    open_unit(kCurveUnit, path);
    float dummy = 0.0f, temperature = 0.0f, magnetisation = 0.0f;
    float* const targets[] = {&dummy, &dummy, &temperature, &dummy, &dummy, &dummy, &magnetisation};
    statements = 0;
    for (;;) {
      ++statements;
      if (read_free_format(kCurveUnit, targets, true, true) == kReadEndOfFile) break;
    }
    close_unit(kCurveUnit);
    processor_seconds += processor_time() - processor_start;
    benchmark::DoNotOptimize(temperature);
  }
  const double bytes = static_cast<double>(megabytes * kMegabyte);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
  state.counters["cpu_ns_per_byte"] = processor_seconds * 1e9 / (bytes * static_cast<double>(state.iterations()));
  state.counters["statements"] = static_cast<double>(statements);
  state.counters["peak_rss_mb"] = peak_rss_megabytes();
  ::unlink(path.c_str());
}

void BM_JunkRecords(benchmark::State& state) { read_like_the_curve_loader(state, junk_records); }
void BM_JunkSingleRecord(benchmark::State& state) { read_like_the_curve_loader(state, junk_single_record); }
void BM_NumbersSingleRecord(benchmark::State& state) { read_like_the_curve_loader(state, numbers_single_record); }
void BM_OneLongWord(benchmark::State& state) { read_like_the_curve_loader(state, one_long_word); }

void reader_sizes(benchmark::internal::Benchmark* benchmark) {
  for (long long megabytes : {1, 10, 50, 100}) benchmark->Arg(megabytes);
  benchmark->Unit(benchmark::kMillisecond)->Iterations(2);
}
BENCHMARK(BM_JunkRecords)->Apply(reader_sizes);
BENCHMARK(BM_JunkSingleRecord)->Apply(reader_sizes);
BENCHMARK(BM_NumbersSingleRecord)->Apply(reader_sizes);
BENCHMARK(BM_OneLongWord)->Apply(reader_sizes);

}  // namespace

BENCHMARK_MAIN();
