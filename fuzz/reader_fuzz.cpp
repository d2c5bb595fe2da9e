// Fuzz target for the two readers: the input bytes are a curve file. It is read the way the curve
// loader reads it (the header with the text field reader, then the seven-value data statement
// repeated after every error until end of file), once with whole reads, once with reads cut into
// small pieces, and once with one read failing; and once by a two-target statement that hands
// back only end of file, as the field records are read.
//
// Invariants checked:
// - every outcome is 0, -1 or a number the reader produces; a report ends the run with status 1;
// - every statement that ends in 0 or an error has consumed at least one byte, so the retry loop
//   ends, within (file size + 1) statements;
// - how the platform cuts the bytes into reads changes nothing: same outcomes, same target bits,
//   same positions;
// - after -1 the unit's end-of-file flag is set and the next statement gives -1 at once;
// - the header read fails (ends the run) exactly when the file is empty.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "recordio/free_format_reader.h"
#include "recordio/text_field_reader.h"
#include "recordio/units.h"
#include "runtime/platform.h"
#include "runtime/termination.h"

namespace {

using namespace quelvar;

void check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
  }
}

bool known_outcome(ReadOutcome outcome) {
  switch (outcome) {
    case 0: case -1: case 6100: case 6101: case 6102: case 6103: case 6104:
    case 6302: case 6303: case 6500: case 6502: case 6503: case 6504: return true;
    default: return false;
  }
}

// One data statement as observed from outside.
struct Step {
  ReadOutcome outcome;
  std::uint32_t dummy, temperature, magnetisation;
  long long offset;  // file offset of the next unread byte
};

std::uint32_t bits(float value) {
  std::uint32_t b;
  std::memcpy(&b, &value, sizeof b);
  return b;
}

long long offset_of(int unit) {
  const UnitConnection* connection = connected_unit(unit);
  return static_cast<long long>(connection->buffer_origin) + static_cast<long long>(connection->position);
}

// The file's bytes are served from memory (an empty file on disk gives the unit its name and
// handle), so that each input costs no file writes. Read modes: whole reads as a regular file
// gives them, reads of 1 to 7 bytes, and whole reads of which one fails.
enum class ReadMode { whole, pieces, failing_once };
const std::uint8_t* file_bytes = nullptr;
size_t file_size = 0;
size_t file_offset = 0;
ReadMode read_mode = ReadMode::whole;
unsigned piece_counter = 0;
int reads_until_failure = 0;

ssize_t memory_read(int, void* buffer, size_t count) {
  if (read_mode == ReadMode::failing_once && --reads_until_failure == 0) {
    errno = EIO;
    return -1;
  }
  if (read_mode == ReadMode::pieces) {
    const size_t piece = 1 + (piece_counter++ * 5u) % 7u;
    if (count > piece) count = piece;
  }
  const size_t left = file_size - file_offset;
  if (count > left) count = left;
  if (count > 0) std::memcpy(buffer, file_bytes + file_offset, count);
  file_offset += count;
  return static_cast<ssize_t>(count);
}

const char* file_path() {
  static char path[64] = {};
  if (path[0] == '\0') {
    std::snprintf(path, sizeof path, "/tmp/quelvar-reader-fuzz-%d", static_cast<int>(::getpid()));
    const int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC, 0600);
    check(fd >= 0, "placeholder file opens");
    ::close(fd);
  }
  return path;
}

// The curve loader's reading of one file. Returns false when the header read ended the run.
bool load_curve(std::vector<Step>& steps, size_t size, ReadMode mode) {
  read_mode = mode;
  file_offset = 0;
  open_unit(kCurveUnit, file_path());
  char header[kTextFieldWidth];
  try {
    check(read_text_field(kCurveUnit, header) == 0, "header read succeeds or ends the run");
  } catch (const RunEnded& ended) {
    check(ended.status == 1, "a report ends with status 1");
    reset_end_of_run();
    close_unit(kCurveUnit);
    return false;
  }
  float dummy = 0.0f, temperature = 0.0f, magnetisation = 0.0f;
  float* const targets[] = {&dummy, &dummy, &temperature, &dummy, &dummy, &dummy, &magnetisation};
  long long before = offset_of(kCurveUnit);
  for (size_t statement = 0;; ++statement) {
    check(statement <= size + 2, "the retry loop ends");
    const ReadOutcome outcome = read_free_format(kCurveUnit, targets, true, true);
    check(known_outcome(outcome), "outcome is known");
    const long long after = offset_of(kCurveUnit);
    steps.push_back({outcome, bits(dummy), bits(temperature), bits(magnetisation), after});
    if (outcome == -1) {
      check(connected_unit(kCurveUnit)->end_reached, "end of file sets the flag");
      check(read_free_format(kCurveUnit, targets, true, true) == -1, "a read after end of file is -1");
      break;
    }
    if (outcome != 6500) check(after > before, "a statement consumes at least one byte");
    before = after;
  }
  close_unit(kCurveUnit);
  return true;
}

// The field-record statement: end of file handed back, errors reported.
void read_field_records(size_t size) {
  read_mode = ReadMode::whole;
  file_offset = 0;
  open_unit(kCurveUnit, file_path());
  float field = 0.0f, scale = 0.0f;
  float* const targets[] = {&field, &scale};
  try {
    for (size_t statement = 0; statement <= size + 2; ++statement) {
      const ReadOutcome outcome = read_free_format(kCurveUnit, targets, true, false);
      check(outcome == 0 || outcome == -1, "only success and end of file come back");
      if (outcome == -1) break;
    }
  } catch (const RunEnded& ended) {
    check(ended.status == 1, "a report ends with status 1");
    reset_end_of_run();
  }
  close_unit(kCurveUnit);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  static bool set_up = false;
  if (!set_up) {
    set_process_ender(&throw_run_ended);
    standard_streams().error = ::open("/dev/null", O_WRONLY);
    platform_calls().read = &memory_read;
    set_up = true;
  }
  file_bytes = data;
  file_size = size;

  std::vector<Step> whole;
  const bool header_read = load_curve(whole, size, ReadMode::whole);
  check(header_read == (size > 0), "the header read fails only on an empty file");

  piece_counter = static_cast<unsigned>(size);
  std::vector<Step> pieces;
  load_curve(pieces, size, ReadMode::pieces);
  check(pieces.size() == whole.size(), "read sizes do not change the number of statements");
  for (size_t i = 0; i < whole.size(); ++i) {
    const Step& a = whole[i];
    const Step& b = pieces[i];
    check(a.outcome == b.outcome && a.dummy == b.dummy && a.temperature == b.temperature &&
              a.magnetisation == b.magnetisation && a.offset == b.offset,
          "read sizes do not change outcomes, values or positions");
  }

  reads_until_failure = 2 + static_cast<int>(size % 5);
  std::vector<Step> failing;
  load_curve(failing, size, ReadMode::failing_once);

  read_field_records(size);
  return 0;
}
