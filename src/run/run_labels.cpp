#include "run/run_labels.h"

#include <cstring>

#include "platform/platform.h"

namespace zandovir {

std::size_t integerText(std::int32_t value, char* out) {
  char digits[12];
  std::size_t count = 0;
  // Work on the magnitude as unsigned so that the most negative value has one too.
  std::uint32_t magnitude = value < 0 ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
  do {
    digits[count++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  std::size_t length = 0;
  if (value < 0) out[length++] = '-';
  while (count > 0) out[length++] = digits[--count];
  return length;
}

std::size_t trimmedLength(const char* text, std::size_t length) {
  while (length > 0 && text[length - 1] == ' ') --length;
  return length;
}

void assignField(char* field, std::size_t width, const char* text, std::size_t length) {
  const std::size_t copied = length < width ? length : width;
  std::memmove(field, text, copied);
  std::memset(field + copied, ' ', width - copied);
}

namespace {

// A clock value's text stored in its field: through the 50-character scratch field,
// so the field holds the digits followed by blanks, cut to the field's width.
void storeValue(std::int32_t value, char* field, std::size_t width) {
  char scratch[50];
  char digits[12];
  const std::size_t length = integerText(value, digits);
  assignField(scratch, sizeof scratch, digits, length);
  assignField(field, width, scratch, trimmedLength(scratch, sizeof scratch));
}

struct Builder {
  char text[160];
  std::size_t length = 0;
  void add(const char* bytes, std::size_t count) {
    std::memcpy(text + length, bytes, count);
    length += count;
  }
};

}  // namespace

void buildRunStamp(RunLabels& labels) {
  platform::ClockReading clock{};
  if (!platform::clockOps().readLocal(&clock)) {
    constexpr std::int32_t kUnavailable = -2147483647;
    clock = platform::ClockReading{kUnavailable, kUnavailable, kUnavailable,
                                   kUnavailable, kUnavailable, kUnavailable};
  }
  char day[2], month[2], year[4], hour[2], minute[2], second[4];
  storeValue(clock.day, day, sizeof day);
  storeValue(clock.month, month, sizeof month);
  storeValue(clock.year, year, sizeof year);
  Builder date;
  date.add("(", 1);
  date.add(day, trimmedLength(day, sizeof day));
  date.add("/", 1);
  date.add(month, trimmedLength(month, sizeof month));
  date.add("/", 1);
  date.add(year, sizeof year);  // the whole field, blanks included
  date.add(")", 1);
  assignField(labels.dateLabel, sizeof labels.dateLabel, date.text, date.length);

  storeValue(clock.hour, hour, sizeof hour);
  storeValue(clock.minute, minute, sizeof minute);
  storeValue(clock.second, second, sizeof second);
  Builder time;
  time.add(hour, trimmedLength(hour, sizeof hour));
  time.add(":", 1);
  time.add(minute, trimmedLength(minute, sizeof minute));
  time.add(":", 1);
  time.add(second, sizeof second);
  assignField(labels.timeLabel, sizeof labels.timeLabel, time.text, time.length);
}

void buildCaseLabel(RunLabels& labels, const char (&title)[100]) {
  Builder label;
  label.add(title, trimmedLength(title, sizeof title));
  label.add(" ", 1);
  label.add(labels.dateLabel, trimmedLength(labels.dateLabel, sizeof labels.dateLabel));
  assignField(labels.caseLabel, sizeof labels.caseLabel, label.text, label.length);
}

}  // namespace zandovir
