#include "recordio/free_format_reader.h"

#include <array>
#include <cstdint>
#include <cstring>

#include "recordio/record_input.h"
#include "recordio/units.h"
#include "recordio/value_conversion.h"

namespace quelvar {
namespace {

constexpr int kCountTooLarge = 6100;
constexpr int kCountNotWhole = 6101;
constexpr int kMalformedValue = 6103;
constexpr int kSecondHash = 6302;
constexpr int kBadRadix = 6303;
constexpr int kZeroCount = 6502;
constexpr int kSecondAsterisk = 6503;
constexpr int kTextForReal = 6504;

// Characters that never end or steer a plain value. Runs of them are copied without going
// through the per-character rules, which keeps long junk words and long records cheap.
constexpr std::array<bool, 256> ordinary_characters() {
  std::array<bool, 256> table{};
  for (bool& entry : table) entry = true;
  for (unsigned char special : {kCarriageReturn, kLineFeed}) table[special] = false;
  for (char special : {' ', '\t', ',', '/', '*', '(', ')', '\'', '"'}) {
    table[static_cast<unsigned char>(special)] = false;
  }
  return table;
}
constexpr std::array<bool, 256> kOrdinary = ordinary_characters();

// `other`: the character after a closing quote that is none of the separators; it ends the
// value without being a blank, so a comma after it does not merge with it.
enum class Separator { blank, comma, slash, other };
enum class Mode { plain, parenthesised, quoted };

// What the input offers next.
enum class Event {
  character,    // a data byte at the position, not yet consumed
  record_end,   // a record's terminator, already consumed through its line feed
  end_of_file,  // the file has no bytes left at a record start
  read_failed,
};

// The digit value of a repeat-count character in bases up to 36, or 36 for anything else.
unsigned digit_value(char c) {
  if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
  if (c >= 'a' && c <= 'z') return static_cast<unsigned>(c - 'a') + 10;
  if (c >= 'A' && c <= 'Z') return static_cast<unsigned>(c - 'A') + 10;
  return 36;
}

// Reads the text before an asterisk as a repeat count: optional sign, then decimal digits, or a
// base from 2 to 36 (empty or zero meaning 16), "#" and digits of that base. Character faults are
// reported as they are met from the left; the magnitude is judged at the end.
int read_repeat_count(const char* text, size_t length, std::uint32_t& count) {
  constexpr std::uint64_t kLargestCount = 2147483647;
  // Saturating the accumulation above the largest count keeps it exact for every decision.
  constexpr std::uint64_t kSaturated = kLargestCount + 1;
  size_t i = 0;
  bool negative = false;
  if (i < length && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::uint64_t base = 10;
  bool radix = false;
  std::uint64_t magnitude = 0;
  for (; i < length; ++i) {
    if (text[i] == '#') {
      if (radix) return kSecondHash;
      base = magnitude == 0 ? 16 : magnitude;
      if (base < 2 || base > 36) return kBadRadix;
      radix = true;
      magnitude = 0;
      continue;
    }
    const unsigned digit = digit_value(text[i]);
    if (digit >= base) return kCountNotWhole;
    magnitude = magnitude * base + digit;
    if (magnitude > kSaturated) magnitude = kSaturated;
  }
  if (magnitude > kLargestCount) return kCountTooLarge;
  // A negative count has no meaning: rather than spread one value over every remaining target
  // (its unsigned reading), it is a malformed count like any other.
  if (negative && magnitude != 0) return kCountNotWhole;
  if (magnitude == 0) return kZeroCount;
  count = static_cast<std::uint32_t>(magnitude);
  return 0;
}

// One statement in progress: the statement state of the reader's rules plus `mid_record`, which
// says whether the bytes consumed since the last line feed make a record that is not yet ended.
// A file whose last byte is not a line feed reads as though one followed: the end of the file met
// in the middle of a record is that record's end, and only the end of the file met at a record
// start is the end of the file.
class Statement {
 public:
  explicit Statement(UnitConnection& unit) : unit_(unit) {}

  bool stops_at_slash() const { return last_separator_ == Separator::slash && pending_repeat_ == 0; }
  bool repeat_pending() const { return pending_repeat_ > 0; }
  void take_repeat() { --pending_repeat_; }

  // Collects the next value; 0, or the condition number (kEndOfFile for end of file).
  int collect_value();
  // Assigns the value collected last (again, for a repeat); 0 or the error number.
  int assign(float& target) const;
  // The end of a successful statement: discards the rest of the current record.
  int finish();

 private:
  Event next_event(unsigned char& c);
  int skip_through_line_feed();
  int collect_quoted(unsigned char quote);
  void consume() {
    ++unit_.position;
    mid_record_ = true;
  }
  void append(unsigned char c) {
    if (length_ < kMaxValueText) {
      text_[length_++] = static_cast<char>(c);
    } else {
      overflowed_ = true;
    }
  }
  bool text_empty() const { return length_ == 0; }

  UnitConnection& unit_;
  char text_[kMaxValueText];
  size_t length_ = 0;
  // The run of characters was longer than the value text holds: the value fails once it ends.
  bool overflowed_ = false;
  Separator last_separator_ = Separator::comma;
  std::uint32_t pending_repeat_ = 0;
  bool record_end_taken_ = false;
  Mode mode_ = Mode::plain;
  // At the start of a statement the position may be in the middle of a record (after an error),
  // but a fresh value skips a record end like a blank, so treating the end of the file there as
  // the end of the file gives the same result as an assumed line feed followed by it.
  bool mid_record_ = false;
};

int Statement::skip_through_line_feed() { return quelvar::skip_through_line_feed(unit_, mid_record_); }

Event Statement::next_event(unsigned char& c) {
  if (unit_.position == unit_.filled) {
    const FetchStatus status = fetch_input(unit_);
    if (status == FetchStatus::read_failed) return Event::read_failed;
    if (status == FetchStatus::end_of_file) {
      if (!mid_record_) return Event::end_of_file;
      unit_.end_reached = false;
      mid_record_ = false;
      return Event::record_end;
    }
  }
  c = unit_.record_buffer[unit_.position];
  if (c != kCarriageReturn && c != kLineFeed) return Event::character;
  // The position holds a byte, so the skip consumes at least it and cannot meet a record start.
  return skip_through_line_feed() == kReadFailed ? Event::read_failed : Event::record_end;
}

int Statement::collect_value() {
  length_ = 0;
  overflowed_ = false;
  record_end_taken_ = false;
  mode_ = Mode::plain;
  for (;;) {
    unsigned char c = 0;
    switch (next_event(c)) {
      case Event::end_of_file: return kEndOfFile;
      case Event::read_failed: return kReadFailed;
      case Event::record_end:
        if (!text_empty()) record_end_taken_ = true;
        // A record end counts as a blank.
        if (mode_ == Mode::parenthesised || (text_empty() && !repeat_pending())) continue;
        last_separator_ = Separator::blank;
        return 0;
      case Event::character: break;
    }
    if (kOrdinary[c]) {
      const unsigned char* buffer = unit_.record_buffer;
      size_t end = unit_.position + 1;
      while (end < unit_.filled && kOrdinary[buffer[end]]) ++end;
      const size_t run = end - unit_.position;
      const size_t room = kMaxValueText - length_;
      const size_t kept = run < room ? run : room;
      std::memcpy(text_ + length_, buffer + unit_.position, kept);
      length_ += kept;
      if (run > kept) overflowed_ = true;
      unit_.position = end;
      mid_record_ = true;
      continue;
    }
    consume();
    switch (c) {
      case ' ':
      case '\t':
        if (mode_ == Mode::parenthesised || (text_empty() && !repeat_pending())) continue;
        last_separator_ = Separator::blank;
        return 0;
      case ',':
        // A comma after blanks is one separator with them.
        if (text_empty() && last_separator_ == Separator::blank && !repeat_pending()) {
          last_separator_ = Separator::comma;
          continue;
        }
        if (mode_ == Mode::parenthesised) {
          append(c);
          continue;
        }
        last_separator_ = Separator::comma;
        return 0;
      case '/':
        last_separator_ = Separator::slash;
        return 0;
      case '*': {
        if (repeat_pending()) return kSecondAsterisk;
        if (overflowed_) return kMalformedValue;
        std::uint32_t count = 0;
        if (const int fault = read_repeat_count(text_, length_, count)) return fault;
        pending_repeat_ = count - 1;
        length_ = 0;
        continue;
      }
      case '(':
        if (text_empty()) {
          mode_ = Mode::parenthesised;
        } else {
          append(c);
        }
        continue;
      case ')':
        if (mode_ == Mode::parenthesised) {
          last_separator_ = Separator::blank;
          return 0;
        }
        append(c);
        continue;
      case '\'':
      case '"':
        if (text_empty()) return collect_quoted(c);
        append(c);
        continue;
      default: append(c); continue;  // not reached: every other byte is ordinary
    }
  }
}

// Collects a quoted value after its opening quote. Only record ends and the quote character are
// special. A record end inside the quotes takes the byte after the terminator with it.
int Statement::collect_quoted(unsigned char quote) {
  mode_ = Mode::quoted;
  for (;;) {
    unsigned char c = 0;
    switch (next_event(c)) {
      case Event::end_of_file: return kEndOfFile;
      case Event::read_failed: return kReadFailed;
      case Event::record_end:
        if (!text_empty()) record_end_taken_ = true;
        switch (next_event(c)) {
          case Event::end_of_file: return kEndOfFile;
          case Event::read_failed: return kReadFailed;
          case Event::record_end: continue;  // the discarded byte began a terminator of its own
          case Event::character: consume(); continue;
        }
        continue;
      case Event::character: break;
    }
    consume();
    if (c != quote) {
      append(c);
      continue;
    }
    // A doubled quote stands for one; anything else after the quote ends the value and is taken
    // as its separator, except a record end, which stays for the next read so that a
    // terminator is never read as data.
    if (unit_.position == unit_.filled) {
      const FetchStatus status = fetch_input(unit_);
      if (status == FetchStatus::read_failed) return kReadFailed;
      if (status == FetchStatus::end_of_file) {
        // The assumed line feed of the last record, which stays unread like a real one.
        unit_.end_reached = false;
        last_separator_ = Separator::blank;
        return 0;
      }
    }
    const unsigned char next = unit_.record_buffer[unit_.position];
    if (next == quote) {
      consume();
      append(quote);
      continue;
    }
    // The following character is the separator; a record end there counts as a blank and stays.
    last_separator_ = Separator::blank;
    if (next == kLineFeed || next == kCarriageReturn) return 0;
    consume();
    if (next == ',') last_separator_ = Separator::comma;
    if (next == '/') last_separator_ = Separator::slash;
    if (next != ' ' && next != '\t' && next != ',' && next != '/') last_separator_ = Separator::other;
    return 0;
  }
}

int Statement::assign(float& target) const {
  if (text_empty()) return 0;  // a null value: the target keeps its value
  if (mode_ != Mode::plain) return kTextForReal;
  if (overflowed_) return kMalformedValue;
  float value = 0.0f;
  if (const int fault = convert_real(text_, length_, value)) return fault;
  target = value;
  return 0;
}

// The record-end-taken flag is the one left by the last value collected: delivered repeats and
// targets passed over after a slash leave it as it was.
int Statement::finish() {
  if (record_end_taken_) return 0;
  const int status = skip_through_line_feed();
  // A file ending at a record start: every value was already taken, so the statement succeeds;
  // the fetch that returned nothing has set the end-of-file flag for the next statement.
  return status == kEndOfFile ? 0 : status;
}

}  // namespace

ReadOutcome read_free_format(int unit, std::span<float* const> targets, bool handles_end, bool handles_error) {
  UnitConnection* connection = connected_unit(unit);
  // A unit that is not connected has no records to read.
  if (connection == nullptr) return raise_io_condition(kEndOfFile, ErrorLabel::READ, {}, handles_end, handles_error);
  const auto fail = [&](int number) {
    return raise_io_condition(number, ErrorLabel::READ, connection->name_text(), handles_end, handles_error);
  };
  if (connection->end_reached) return fail(kReadAfterEndOfFile);

  Statement statement(*connection);
  for (float* target : targets) {
    if (statement.stops_at_slash()) break;
    if (statement.repeat_pending()) {
      statement.take_repeat();
    } else if (const int status = statement.collect_value()) {
      return fail(status);
    }
    if (const int fault = statement.assign(*target)) return fail(fault);
  }
  if (const int status = statement.finish()) return fail(status);
  return kReadSuccess;
}

}  // namespace quelvar
