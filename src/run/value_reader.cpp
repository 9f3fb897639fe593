// The free-form value reader: one value per read operation, taken from the start of
// a record, and the reading of the problem data file with it.
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "run/problem_data.h"
#include "textio/failure.h"

namespace zandovir {
namespace {

// Characters of an undelimited value beyond the work area are dropped: no valid
// value of the problem data file comes near this length, the value still ends at
// its separator, and a title is cut far below it anyway.
constexpr int kWorkAreaSize = 520;

// Only the first 25 significant digits of a real take part in its conversion.
constexpr int kSignificantDigits = 25;

// The first 25 digits of the midpoint between the largest double and 2^1024, read as
// 0.d1d2...d25 times 10^309. The midpoint itself goes on with nonzero digits, so a
// 25-digit value is either at most this (finite) or above the midpoint (overflow).
constexpr char kOverflowDigits[] = "1797693134862315807937289";

enum class ScanMode { plain, parenthesised, quoted };

struct ReaderState {
  char lastSeparator = ',';
  int repeatCount = 0;
  bool endedAtRecordEnd = false;
  bool repeatTaken = false;  // a repeat count was taken in this value
  ScanMode mode = ScanMode::plain;
  unsigned char quote = 0;
  int workLength = 0;
  int quotedLength = 0;  // characters of a quoted value, stored or dropped
  char workArea[kWorkAreaSize];
};

// Where the characters of a quoted value go: straight into a text target, up to its
// width. Numbers take none (a quoted number is refused after the scan).
struct QuotedTarget {
  char* chars = nullptr;
  int width = 0;
};

int statusNumber(IoStatus status) { return status == IoStatus::end ? 6501 : 6500; }

// Takes the next byte; 0, or the failure number at the end of the data or a read error.
int fetch(TextFile& file, unsigned char* byte) {
  const IoStatus status = tryNextByte(file, byte);
  return status == IoStatus::ok ? 0 : statusNumber(status);
}

// The byte just taken is a CR or LF: it is given back and the record is consumed
// through its LF, so the scan goes on at the start of the next record.
int passRecordEnd(TextFile& file) {
  ungetByte(file);
  const IoStatus status = trySkipRecord(file);
  return status == IoStatus::ok ? 0 : statusNumber(status);
}

bool isRecordEnd(unsigned char byte) { return byte == '\r' || byte == '\n'; }

void appendToWorkArea(ReaderState& state, unsigned char byte) {
  if (state.workLength < kWorkAreaSize) state.workArea[state.workLength++] = static_cast<char>(byte);
}

// 0..35 for 0-9, a-z, A-Z; -1 for anything else.
int digitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'z') return c - 'a' + 10;
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  return -1;
}

// Converts chars[0..length) by the integer rules (sign, decimal digits, based form).
// Character faults are found from left to right; the range is judged last.
// Precondition: length >= 0.
int convertInteger(const char* chars, int length, std::int32_t* out) {
  if (length == 11 && std::memcmp(chars, "-2147483648", 11) == 0) {
    *out = INT32_MIN;
    return 0;
  }
  int i = 0;
  bool negative = false;
  if (i < length && (chars[i] == '+' || chars[i] == '-')) {
    negative = chars[i] == '-';
    ++i;
  }
  const int digitsStart = i;
  // Saturates far above every limit, so no digit string can wrap it.
  constexpr std::uint64_t kSaturated = std::uint64_t{1} << 40;
  std::uint64_t value = 0;
  int base = 10;
  bool based = false;
  for (; i < length; ++i) {
    const char c = chars[i];
    if (c == '#') {
      if (based) return 6302;
      if (i > digitsStart) {
        if (value < 2 || value > 36) return 6303;
        base = static_cast<int>(value);
      } else {
        base = 16;
      }
      based = true;
      value = 0;
      continue;
    }
    const int digit = digitValue(c);
    const int limit = based ? base : 10;
    if (digit < 0 || digit >= limit) return 6101;
    value = value * static_cast<std::uint64_t>(limit) + static_cast<std::uint64_t>(digit);
    if (value > kSaturated) value = kSaturated;
  }
  std::uint32_t pattern = 0;
  if (!based || base == 10) {
    if (value > 2147483647u) return 6100;
    pattern = static_cast<std::uint32_t>(value);
  } else {
    // Other bases give the bits of the integer, the sign bit included.
    if (value > 0xFFFFFFFFu) return 6100;
    pattern = static_cast<std::uint32_t>(value);
  }
  if (negative) pattern = 0u - pattern;
  *out = static_cast<std::int32_t>(pattern);
  return 0;
}

// Converts chars[0..length) by the real rules. The range is decided from the decimal
// digits before any floating-point operation, so no conversion can overflow.
// Precondition: length >= 0.
int convertReal(const char* chars, int length, double* out) {
  int i = 0;
  bool negative = false;
  if (i < length && (chars[i] == '+' || chars[i] == '-')) {
    negative = chars[i] == '-';
    ++i;
  }
  char kept[kSignificantDigits];
  int keptCount = 0;
  int scale = 0;  // the value is kept * 10^scale * 10^exponent
  int mantissaDigits = 0;
  bool afterPoint = false;
  for (; i < length; ++i) {
    const char c = chars[i];
    if (c == '.') {
      if (afterPoint) return 6103;
      afterPoint = true;
      continue;
    }
    if (c < '0' || c > '9') break;
    ++mantissaDigits;
    if (keptCount == 0 && c == '0') {
      if (afterPoint) --scale;
      continue;
    }
    if (keptCount < kSignificantDigits) {
      kept[keptCount++] = c;
      if (afterPoint) --scale;
    } else if (!afterPoint) {
      ++scale;  // a truncated digit before the point still counts in the magnitude
    }
  }
  if (mantissaDigits == 0) return 6103;
  // Far beyond every exponent that can matter, and far from int's limits.
  constexpr long kExponentLimit = 100000000;
  long exponent = 0;
  if (i < length) {
    const char c = chars[i];
    if (c == 'E' || c == 'e' || c == 'D' || c == 'd') {
      ++i;
      if (i < length && (chars[i] == '+' || chars[i] == '-')) ++i;
    } else if (c == '+' || c == '-') {
      ++i;
    } else {
      return 6103;
    }
    const bool exponentNegative = chars[i - 1] == '-';
    const int exponentStart = i;
    for (; i < length; ++i) {
      const char d = chars[i];
      if (d < '0' || d > '9') return 6103;
      exponent = exponent * 10 + (d - '0');
      if (exponent > kExponentLimit) exponent = kExponentLimit;
    }
    if (i == exponentStart) return 6103;
    if (exponentNegative) exponent = -exponent;
  }
  double magnitude = 0.0;
  if (keptCount > 0) {
    const long decimalExponent = static_cast<long>(scale) + exponent;
    // The value is 0.kept times 10^leading.
    const long leading = decimalExponent + keptCount;
    if (leading > 309) return 6102;
    if (leading == 309) {
      char padded[kSignificantDigits];
      std::memset(padded, '0', sizeof padded);
      std::memcpy(padded, kept, static_cast<std::size_t>(keptCount));
      if (std::memcmp(padded, kOverflowDigits, kSignificantDigits) > 0) return 6102;
    }
    // from_chars rounds correctly, raises no floating-point exception, and reports
    // a result that rounds to zero as out of range.
    char text[kSignificantDigits + 16];
    std::memcpy(text, kept, static_cast<std::size_t>(keptCount));
    char* end = text + keptCount;
    *end++ = 'e';
    end = std::to_chars(end, text + sizeof text, decimalExponent).ptr;
    double converted = 0.0;
    const std::from_chars_result result =
        std::from_chars(text, end, converted, std::chars_format::scientific);
    if (result.ec == std::errc{}) {
      magnitude = converted;
    } else if (result.ec != std::errc::result_out_of_range || leading > 0) {
      return 6103;  // cannot happen for digits and an exponent
    }
  }
  *out = negative ? -magnitude : magnitude;
  return 0;
}

// Scans one value (see the rules of the reader); on return the work area or the
// quoted target holds its characters. Returns 0 or the failure number.
int scanValue(TextFile& file, ReaderState& state, QuotedTarget quoted) {
  // Every read operation takes a single value, so the repetitions a repeat count
  // announces are never delivered; only the count's own checks matter.
  state.workLength = 0;
  state.quotedLength = 0;
  state.mode = ScanMode::plain;
  state.endedAtRecordEnd = false;
  state.repeatTaken = false;
  char separator = ' ';
  for (;;) {
    unsigned char c = 0;
    if (int failure = fetch(file, &c)) return failure;
    if (isRecordEnd(c)) {
      if (int failure = passRecordEnd(file)) return failure;
      if (state.mode == ScanMode::quoted) {
        // The value goes on in the next record, whose first character is dropped;
        // an empty record there is passed the same way, whatever its line end.
        for (;;) {
          if (int failure = fetch(file, &c)) return failure;
          if (!isRecordEnd(c)) break;
          if (int failure = passRecordEnd(file)) return failure;
        }
        continue;
      }
      if (state.workLength > 0) state.endedAtRecordEnd = true;
      c = ' ';
    }
    if (state.mode == ScanMode::quoted) {
      if (c == state.quote) {
        unsigned char next = 0;
        if (int failure = fetch(file, &next)) return failure;
        if (next != state.quote) {
          // The finishing step must still find the record end.
          if (next == '\n') ungetByte(file);
          separator = static_cast<char>(next);
          break;
        }
      }
      if (state.quotedLength < quoted.width) quoted.chars[state.quotedLength] = static_cast<char>(c);
      if (state.quotedLength < INT32_MAX) ++state.quotedLength;
      continue;
    }
    const bool empty = state.workLength == 0;
    if (c == ' ' || c == '\t') {
      if (state.mode == ScanMode::parenthesised) continue;
      if (empty && !state.repeatTaken) continue;
      separator = ' ';
      break;
    }
    if (c == '(' && empty) {
      state.mode = ScanMode::parenthesised;
      continue;
    }
    if (c == ')' && state.mode == ScanMode::parenthesised) {
      separator = ' ';
      break;
    }
    if ((c == '\'' || c == '"') && empty) {
      state.mode = ScanMode::quoted;
      state.quote = c;
      continue;
    }
    if (c == '*') {
      if (state.repeatTaken) return 6503;
      std::int32_t count = 0;
      if (int failure = convertInteger(state.workArea, state.workLength, &count)) return failure;
      // A count below one repeats nothing; 0 (also an empty count) is the case the
      // reader is known for, a negative count is refused alike.
      if (count <= 0) return 6502;
      state.repeatCount = count - 1;
      state.repeatTaken = true;
      state.workLength = 0;
      continue;
    }
    if (c == ',' && state.mode == ScanMode::plain) {
      if (empty && !state.repeatTaken && state.lastSeparator == ' ') continue;
      separator = ',';
      break;
    }
    if (c == '/') {
      separator = '/';
      break;
    }
    appendToWorkArea(state, c);
  }
  state.lastSeparator = separator;
  return 0;
}

bool isNull(const ReaderState& state) {
  return state.mode == ScanMode::quoted ? state.quotedLength == 0 : state.workLength == 0;
}

// The finishing step of a read operation: the rest of the record in which the value
// ended, unless the record end that ended it was consumed already.
int finishRead(TextFile& file, const ReaderState& state) {
  if (state.endedAtRecordEnd) return 0;
  const IoStatus status = trySkipRecord(file);
  return status == IoStatus::ok ? 0 : statusNumber(status);
}

const char* valueFailureText(int number) {
  switch (number) {
    case 6100: return "integer value out of range";
    case 6101: return "invalid character in an integer value";
    case 6102: return "real value out of range";
    case 6103: return "invalid real value";
    case 6302: return "second number sign in a based integer";
    case 6303: return "base of an integer outside 2 to 36";
    case 6502: return "repeat count of zero";
    case 6503: return "two repeat counts in one value";
    case 6504: return "quoted or parenthesised value for a number";
    default: return "invalid value";
  }
}

[[noreturn]] void failRead(const TextFile& file, int number) {
  static char message[512];
  if (number == 6501) {
    std::snprintf(message, sizeof message, "end of file %s reached during a read", file.name);
  } else if (number == 6500) {
    fileFailureMessage(message, sizeof message, "cannot read file", file.name, file.lastError);
  } else {
    std::snprintf(message, sizeof message, "%s in file %s", valueFailureText(number), file.name);
  }
  reportFailure('F', number, StatementKind::read, message);
}

}  // namespace

int scanInteger(TextFile& file, std::int32_t* target) {
  ReaderState state;
  int failure = scanValue(file, state, QuotedTarget{});
  if (failure == 0 && !isNull(state)) {
    if (state.mode != ScanMode::plain) return 6504;
    failure = convertInteger(state.workArea, state.workLength, target);
  }
  return failure != 0 ? failure : finishRead(file, state);
}

int scanReal(TextFile& file, double* target) {
  ReaderState state;
  int failure = scanValue(file, state, QuotedTarget{});
  if (failure == 0 && !isNull(state)) {
    if (state.mode != ScanMode::plain) return 6504;
    failure = convertReal(state.workArea, state.workLength, target);
  }
  return failure != 0 ? failure : finishRead(file, state);
}

int scanText(TextFile& file, char* target, int width) {
  ReaderState state;
  const int failure = scanValue(file, state, QuotedTarget{target, width});
  if (failure != 0) return failure;
  if (!isNull(state)) {
    int stored = 0;
    if (state.mode == ScanMode::quoted) {
      stored = state.quotedLength < width ? state.quotedLength : width;
    } else {
      stored = state.workLength < width ? state.workLength : width;
      std::memcpy(target, state.workArea, static_cast<std::size_t>(stored));
    }
    std::memset(target + stored, ' ', static_cast<std::size_t>(width - stored));
  }
  return finishRead(file, state);
}

void readInteger(TextFile& file, std::int32_t* target) {
  if (const int failure = scanInteger(file, target)) failRead(file, failure);
}

void readReal(TextFile& file, double* target) {
  if (const int failure = scanReal(file, target)) failRead(file, failure);
}

void readText(TextFile& file, char* target, int width) {
  if (const int failure = scanText(file, target, width)) failRead(file, failure);
}

ProblemData readProblemData() {
  // Static: its buffer is large, and the exit sequence of a failure closes it.
  static TextFile file;
  ProblemData data;
  openTextFile(file, "dados.ent");
  readInteger(file, &data.nodeCount);
  readReal(file, &data.length);
  readReal(file, &data.leftTemperature);
  readReal(file, &data.rightTemperature);
  readReal(file, &data.conductivity);
  readReal(file, &data.heatSource);
  readReal(file, &data.expansionCoefficient);
  readReal(file, &data.youngsModulus);
  readReal(file, &data.sectionArea);
  readText(file, data.title, static_cast<int>(sizeof data.title));
  closeTextFile(file);
  // One point still reaches the grid, where its spacing divides by zero.
  if (data.nodeCount == 2 || data.nodeCount <= 0) {
    reportFailure('F', 6100, StatementKind::read, "the number of grid points must be at least 3");
  }
  return data;
}

}  // namespace zandovir
