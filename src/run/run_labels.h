// The texts that mark a run: its date and time, and the case label.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zandovir {

struct RunLabels {
  char dateLabel[12];
  char timeLabel[8];
  char caseLabel[112];
};

// The decimal text of value into out (at least 12 bytes, not terminated); returns its length.
std::size_t integerText(std::int32_t value, char* out);
// Characters up to the last one that is not a blank (code 32); 0 for all blanks.
std::size_t trimmedLength(const char* text, std::size_t length);
// Stores text into a field of width characters: cut when longer, blank-padded when shorter.
void assignField(char* field, std::size_t width, const char* text, std::size_t length);

// Reads the clock once and fills dateLabel and timeLabel; an unavailable clock gives
// -2147483647 for all six values.
void buildRunStamp(RunLabels& labels);
// caseLabel = trimmed title, a blank, trimmed dateLabel, cut to 112.
// Precondition: buildRunStamp has filled the date label.
void buildCaseLabel(RunLabels& labels, const char (&title)[100]);

}  // namespace zandovir
