// The fixed-layout record writer: a layout string and a list of items make one or
// more complete records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "textio/text_file.h"

namespace zandovir {

struct LayoutItem {
  enum class Kind : std::uint8_t { text, real };
  Kind kind;
  const char* text;    // text items: all `length` bytes are significant
  std::size_t length;
  double value;        // real items

  static LayoutItem ofText(const char* bytes, std::size_t count) { return {Kind::text, bytes, count, 0.0}; }
  static LayoutItem ofReal(double number) { return {Kind::real, nullptr, 0, number}; }
};

enum class StepKind : std::uint8_t {
  groupStart, groupEnd, recordEnd, moveRight, tab, literal, scale, textField, exponentField, layoutEnd
};

struct LayoutStep {
  StepKind kind;
  std::int32_t a;  // group: repeat count; move/tab: n; literal: offset; scale: k; A: width (-1 none); E: w
  std::int32_t b;  // group start/end: index of its partner; literal: length; E: d
};

// A layout compiled once; literal bytes are kept with it (doubled apostrophes undone).
struct CompiledLayout {
  static constexpr int kMaxSteps = 128;
  static constexpr int kMaxLiteralBytes = 512;
  LayoutStep steps[kMaxSteps];
  int stepCount = 0;
  int reversionStep = 0;  // start of the last group directly inside the outer parentheses, or 0
  bool hasDataStep = false;
  char literals[kMaxLiteralBytes];
  int literalBytes = 0;
};

// Layout failures (reported with kind WRITE); 0 is success.
enum LayoutFailure : int {
  kLayoutOk = 0,
  kLayoutNoOpening = 6981,        // does not start with "("
  kLayoutUnbalanced = 6982,       // a parenthesis without its partner
  kLayoutTabToZero = 6983,        // T0
  kLayoutTooDeep = 6984,          // more than 16 nested groups
  kLayoutOpenLiteral = 6985,      // a literal without its closing apostrophe
  kLayoutBadCharacter = 6986,     // a character that belongs to no layout element
  kLayoutItemMismatch = 6987,     // an item of the wrong kind for its field
  kLayoutNoDataStep = 6988,       // items left over and no data step to take them
  kLayoutTooLarge = 6989,         // more steps or literal bytes than a layout may have
};

// Compiles `layout` up to the parenthesis that closes its first "("; what follows
// is ignored. Returns 0 or a layout failure number.
int compileLayout(const char* layout, std::size_t length, CompiledLayout* out);

// Formats the records of one write operation into out[0..capacity), CR LF after
// each; returns the number of bytes, or -failure (also -kLayoutTooLarge when the
// records do not fit). Never allocates.
std::int64_t formatWithLayout(const CompiledLayout& layout, std::span<const LayoutItem> items,
                              char* out, std::size_t capacity);

// The record of "(3(1P,E24.15))" with three doubles, laid out without interpreting
// the layout: 72 columns and CR LF into out[0..74). Returns 74.
std::size_t formatThreeFieldRow(double first, double second, double third, char* out);

// Writes the records of one write operation to the file; failures end the run.
void writeCompiled(TextFile& file, const CompiledLayout& layout, std::span<const LayoutItem> items);

// Compiles (once per distinct layout text) and writes; failures end the run.
void writeWithLayout(TextFile& file, const char* layout, std::span<const LayoutItem> items);

}  // namespace zandovir
