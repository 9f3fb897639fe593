#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/platform.h"
#include "run/run_labels.h"

namespace zandovir {
namespace {

platform::ClockReading gReading;
bool gClockAvailable = true;
bool fakeClock(platform::ClockReading* out) {
  *out = gReading;
  return gClockAvailable;
}

struct ClockOverride {
  platform::ClockOps saved = platform::clockOps();
  ClockOverride(platform::ClockReading reading, bool available) {
    gReading = reading;
    gClockAvailable = available;
    platform::clockOps().readLocal = fakeClock;
  }
  ~ClockOverride() { platform::clockOps() = saved; }
};

std::string field(const char* bytes, std::size_t width) { return std::string(bytes, width); }
std::string padded(const std::string& text, std::size_t blanks) { return text + std::string(blanks, ' '); }

struct StampRow {
  platform::ClockReading clock;
  bool available;
  const char* date;
  std::size_t dateBlanks;
  const char* time;
  std::size_t timeBlanks;
};

TEST(RunStamp, LabelsOfTheClockReadings) {
  const StampRow rows[] = {
      {{2024, 3, 5, 9, 7, 3},        true,  "(5/3/2024)",   2, "9:7:3",    3},
      {{2024, 11, 15, 14, 35, 42},   true,  "(15/11/2024)", 0, "14:35:42", 0},
      {{2025, 1, 1, 0, 0, 0},        true,  "(1/1/2025)",   2, "0:0:0",    3},
      {{2025, 6, 30, 10, 10, 5},     true,  "(30/6/2025)",  1, "10:10:5",  1},
      {{0, 0, 0, 0, 0, 0},           false, "(-2/-2/-214)", 0, "-2:-2:-2", 0},
  };
  for (const StampRow& row : rows) {
    ClockOverride clock(row.clock, row.available);
    RunLabels labels;
    buildRunStamp(labels);
    EXPECT_EQ(field(labels.dateLabel, 12), padded(row.date, row.dateBlanks));
    EXPECT_EQ(field(labels.timeLabel, 8), padded(row.time, row.timeBlanks));
  }
}

TEST(CaseLabel, TitleTrimmedThenTheDate) {
  const std::string hundred(100, 'x');
  struct Row {
    std::string title;
    platform::ClockReading clock;
    std::string label;
    std::size_t blanks;
  } rows[] = {
      {padded("Barra 1", 93),  {2024, 3, 5, 1, 1, 1},   "Barra 1 (5/3/2024)",             94},
      {hundred,                {2024, 11, 15, 1, 1, 1}, hundred + " (15/11/2024",           0},
      {hundred,                {2024, 3, 5, 1, 1, 1},   hundred + " (5/3/2024)",            1},
      {std::string(100, ' '),  {2024, 3, 5, 1, 1, 1},   " (5/3/2024)",                     101},
      {padded("a  b", 96),     {2024, 3, 5, 1, 1, 1},   "a  b (5/3/2024)",                  97},
  };
  for (const Row& row : rows) {
    ClockOverride clock(row.clock, true);
    RunLabels labels;
    buildRunStamp(labels);
    char title[100];
    std::memcpy(title, row.title.data(), 100);
    buildCaseLabel(labels, title);
    EXPECT_EQ(field(labels.caseLabel, 112), padded(row.label, row.blanks));
  }
}

TEST(CaseLabel, TrailingNulCharactersAreSignificant) {
  ClockOverride clock({2024, 3, 5, 1, 1, 1}, true);
  RunLabels labels;
  buildRunStamp(labels);
  char title[100] = {};  // 100 zero bytes: the title of a file whose title was null
  buildCaseLabel(labels, title);
  EXPECT_EQ(field(labels.caseLabel, 112), std::string(100, '\0') + " (5/3/2024)" + " ");
}

TEST(TextOperations, IntegerTextTrimAndAssign) {
  char out[12];
  struct {
    std::int32_t value;
    const char* text;
  } rows[] = {{0, "0"}, {7, "7"}, {-5, "-5"}, {2147483647, "2147483647"}, {-2147483647 - 1, "-2147483648"}};
  for (const auto& row : rows) EXPECT_EQ(std::string(out, integerText(row.value, out)), row.text);

  EXPECT_EQ(trimmedLength("ab  ", 4), 2u);
  EXPECT_EQ(trimmedLength("    ", 4), 0u);
  EXPECT_EQ(trimmedLength("ab\t ", 4), 3u) << "only the blank counts as trailing space";
  EXPECT_EQ(trimmedLength("ab\0 ", 4), 3u);

  char f[5];
  assignField(f, 5, "abcdefg", 7);
  EXPECT_EQ(field(f, 5), "abcde");
  assignField(f, 5, "ab", 2);
  EXPECT_EQ(field(f, 5), "ab   ");
}

}  // namespace
}  // namespace zandovir
