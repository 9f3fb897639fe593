#include "textio/record_writer.h"

#include <cstring>

#include "textio/exponent_field.h"
#include "textio/failure.h"

namespace zandovir {
namespace {

constexpr int kMaxGroupDepth = 16;
constexpr std::size_t kMaxCachedLayout = 600;
// Nested repeat counts can ask for more steps than any record needs (16 levels of
// 9 already make 10^15), many of them writing nothing; a write operation that runs
// past this many control steps before its next field is refused as too large instead
// of running for ever. The count starts again at each field, so the number of items
// of a write operation is not limited.
constexpr std::int64_t kMaxControlSteps = std::int64_t{1} << 20;

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

struct Parser {
  const char* text;
  std::size_t length;
  std::size_t at = 0;

  void skipBlanks() {
    while (at < length && isBlank(text[at])) ++at;
  }
  bool atEnd() { skipBlanks(); return at >= length; }
  char peek() { skipBlanks(); return at < length ? text[at] : '\0'; }
  // An unsigned number, blanks allowed between its digits as elsewhere outside literals.
  bool number(std::int32_t* value) {
    skipBlanks();
    if (at >= length || !isDigit(text[at])) return false;
    std::int64_t result = 0;
    while (at < length && (isDigit(text[at]) || isBlank(text[at]))) {
      if (isDigit(text[at])) {
        result = result * 10 + (text[at] - '0');
        if (result > 1000000) result = 1000000;  // far beyond any record; keeps the count sane
      }
      ++at;
    }
    *value = static_cast<std::int32_t>(result);
    return true;
  }
};

int addStep(CompiledLayout* out, StepKind kind, std::int32_t a, std::int32_t b) {
  if (out->stepCount >= CompiledLayout::kMaxSteps) return kLayoutTooLarge;
  out->steps[out->stepCount++] = LayoutStep{kind, a, b};
  return kLayoutOk;
}

}  // namespace

int compileLayout(const char* layout, std::size_t length, CompiledLayout* out) {
  *out = CompiledLayout{};
  Parser p{layout, length};
  if (p.peek() != '(') return kLayoutNoOpening;
  ++p.at;
  int openGroups[kMaxGroupDepth + 1];
  int depth = 0;  // groups open inside the outer parentheses
  bool expectItem = true;
  for (;;) {
    if (p.atEnd()) return kLayoutUnbalanced;
    const char c = upper(p.peek());
    if (c == ',') {
      ++p.at;
      expectItem = true;
      continue;
    }
    if (c == ')') {
      ++p.at;
      if (depth == 0) break;  // the layout end: nothing after it counts
      const int start = openGroups[--depth];
      const int index = out->stepCount;
      if (int error = addStep(out, StepKind::groupEnd, 0, start); error != kLayoutOk) return error;
      out->steps[start].b = index;
      expectItem = false;
      continue;
    }
    if (c == '/') {
      ++p.at;
      if (int error = addStep(out, StepKind::recordEnd, 0, 0); error != kLayoutOk) return error;
      expectItem = true;
      continue;
    }
    if (!expectItem) return kLayoutBadCharacter;
    if (c == '\'' || c == '"') {
      const char quote = p.text[p.at++];
      const int offset = out->literalBytes;
      for (;;) {
        if (p.at >= p.length) return kLayoutOpenLiteral;
        const char ch = p.text[p.at++];
        if (ch == quote) {
          if (p.at < p.length && p.text[p.at] == quote) {
            ++p.at;  // two in a row stand for one
          } else {
            break;
          }
        }
        if (out->literalBytes >= CompiledLayout::kMaxLiteralBytes) return kLayoutTooLarge;
        out->literals[out->literalBytes++] = ch;
      }
      if (int error = addStep(out, StepKind::literal, offset, out->literalBytes - offset); error != kLayoutOk) {
        return error;
      }
      expectItem = false;
      continue;
    }
    // An optional count or scale factor in front of (, X, P.
    std::int32_t count = -1;
    bool negative = false;
    if (c == '-' || c == '+') {
      negative = c == '-';
      ++p.at;
      if (!p.number(&count)) return kLayoutBadCharacter;
      if (upper(p.peek()) != 'P') return kLayoutBadCharacter;
    } else if (isDigit(c)) {
      p.number(&count);
    }
    const char letter = upper(p.peek());
    if (letter == '(') {
      ++p.at;
      if (depth >= kMaxGroupDepth) return kLayoutTooDeep;
      if (count == 0) return kLayoutBadCharacter;
      if (depth == 0) out->reversionStep = out->stepCount;
      openGroups[depth++] = out->stepCount;
      if (int error = addStep(out, StepKind::groupStart, count < 0 ? 1 : count, 0); error != kLayoutOk) {
        return error;
      }
      expectItem = true;
      continue;
    }
    if (letter == 'X') {
      ++p.at;
      if (int error = addStep(out, StepKind::moveRight, count < 0 ? 1 : count, 0); error != kLayoutOk) return error;
      expectItem = false;
      continue;
    }
    if (letter == 'P') {
      ++p.at;
      if (count < 0) return kLayoutBadCharacter;
      if (int error = addStep(out, StepKind::scale, negative ? -count : count, 0); error != kLayoutOk) return error;
      expectItem = true;  // 1PE24.15 needs no comma
      continue;
    }
    if (count >= 0) return kLayoutBadCharacter;  // repeat counts on single fields are not supported
    if (letter == 'T') {
      ++p.at;
      std::int32_t column = 0;
      if (!p.number(&column)) return kLayoutBadCharacter;
      if (column == 0) return kLayoutTabToZero;
      if (int error = addStep(out, StepKind::tab, column, 0); error != kLayoutOk) return error;
      expectItem = false;
      continue;
    }
    if (letter == 'A') {
      ++p.at;
      std::int32_t width = -1;
      if (isDigit(p.peek()) && !p.number(&width)) return kLayoutBadCharacter;
      if (width == 0) return kLayoutBadCharacter;
      if (int error = addStep(out, StepKind::textField, width, 0); error != kLayoutOk) return error;
      out->hasDataStep = true;
      expectItem = false;
      continue;
    }
    if (letter == 'E') {
      ++p.at;
      std::int32_t width = 0;
      std::int32_t digits = 0;
      if (!p.number(&width) || width == 0) return kLayoutBadCharacter;
      if (p.peek() != '.') return kLayoutBadCharacter;
      ++p.at;
      if (!p.number(&digits)) return kLayoutBadCharacter;
      if (int error = addStep(out, StepKind::exponentField, width, digits); error != kLayoutOk) return error;
      out->hasDataStep = true;
      expectItem = false;
      continue;
    }
    return kLayoutBadCharacter;
  }
  return addStep(out, StepKind::layoutEnd, 0, 0);
}

namespace {

// Collects the bytes of a write operation in a caller's buffer.
struct BufferSink {
  char* out;
  std::size_t capacity;
  std::size_t used = 0;
  bool put(const char* bytes, std::size_t count) {
    if (count > capacity - used) return false;
    std::memcpy(out + used, bytes, count);
    used += count;
    return true;
  }
  bool blanks(std::size_t count) {
    if (count > capacity - used) return false;
    std::memset(out + used, ' ', count);
    used += count;
    return true;
  }
  bool endRecord() { return put("\r\n", 2); }
};

// Streams the bytes of a write operation into a text file.
struct FileSink {
  TextFile* file;
  bool put(const char* bytes, std::size_t count) {
    putBytes(*file, bytes, count);
    return true;
  }
  bool blanks(std::size_t count) {
    static const char kBlanks[64] = {' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',
                                     ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',
                                     ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',
                                     ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
    while (count > 0) {
      const std::size_t take = count < sizeof kBlanks ? count : sizeof kBlanks;
      putBytes(*file, kBlanks, take);
      count -= take;
    }
    return true;
  }
  bool endRecord() {
    zandovir::endRecord(*file);
    return true;
  }
};

template <typename Sink>
struct Writer {
  const CompiledLayout& layout;
  Sink& sink;
  std::int64_t column = 0;
  std::int64_t pending = 0;
  int scale = 0;
  int pc = 0;
  struct Open {
    int start;
    std::int32_t remaining;
  };
  Open stack[kMaxGroupDepth + 1] = {};
  int depth = 0;
  std::int64_t controlSteps = 0;

  bool emit(const char* bytes, std::size_t count) {
    if (pending > 0 && !sink.blanks(static_cast<std::size_t>(pending))) return false;
    if (!sink.put(bytes, count)) return false;
    column += pending + static_cast<std::int64_t>(count);
    pending = 0;
    return true;
  }
  bool emitBlanks(std::size_t count) {
    if (!sink.blanks(static_cast<std::size_t>(pending) + count)) return false;
    column += pending + static_cast<std::int64_t>(count);
    pending = 0;
    return true;
  }
  bool recordEnd() {
    pending = 0;
    column = 0;
    return sink.endRecord();
  }

  // Executes control steps from pc until a data step (left unexecuted, pc on it) or
  // the layout end. Returns 0 or a failure number.
  int runControls() {
    controlSteps = 0;
    for (;;) {
      const LayoutStep& step = layout.steps[pc];
      if (++controlSteps > kMaxControlSteps) return kLayoutTooLarge;
      switch (step.kind) {
        case StepKind::groupStart:
          stack[depth++] = Open{pc, step.a};
          ++pc;
          break;
        case StepKind::groupEnd: {
          Open& top = stack[depth - 1];
          if (--top.remaining > 0) {
            pc = top.start + 1;
          } else {
            --depth;
            ++pc;
          }
          break;
        }
        case StepKind::recordEnd:
          if (!recordEnd()) return kLayoutTooLarge;
          ++pc;
          break;
        case StepKind::moveRight:
          pending += step.a;
          ++pc;
          break;
        case StepKind::tab: {
          const std::int64_t target = static_cast<std::int64_t>(step.a) - 1;
          pending = target > column ? target - column : 0;
          ++pc;
          break;
        }
        case StepKind::literal:
          if (!emit(layout.literals + step.a, static_cast<std::size_t>(step.b))) return kLayoutTooLarge;
          ++pc;
          break;
        case StepKind::scale:
          scale = step.a;
          ++pc;
          break;
        case StepKind::textField:
        case StepKind::exponentField:
        case StepKind::layoutEnd:
          return kLayoutOk;
      }
    }
  }

  int writeItem(const LayoutStep& step, const LayoutItem& item) {
    if (step.kind == StepKind::textField) {
      if (item.kind != LayoutItem::Kind::text) return kLayoutItemMismatch;
      const std::size_t length = item.length;
      if (step.a < 0) return emit(item.text, length) ? kLayoutOk : kLayoutTooLarge;
      const std::size_t width = static_cast<std::size_t>(step.a);
      if (width >= length) {
        // Right-aligned: the blanks go in front of the text.
        if (width > length && !emitBlanks(width - length)) return kLayoutTooLarge;
        return emit(item.text, length) ? kLayoutOk : kLayoutTooLarge;
      }
      return emit(item.text, width) ? kLayoutOk : kLayoutTooLarge;
    }
    if (item.kind != LayoutItem::Kind::real) return kLayoutItemMismatch;
    char field[256];
    const int width = step.a;
    if (width == 24 && step.b == 15 && scale == 1) {
      formatE24_15(item.value, field);
      return emit(field, 24) ? kLayoutOk : kLayoutTooLarge;
    }
    if (width <= static_cast<int>(sizeof field)) {
      const std::size_t count = formatExponentField(item.value, width, step.b, scale, field);
      return emit(field, count) ? kLayoutOk : kLayoutTooLarge;
    }
    // A field wider than the scratch area: its leading part is blanks or asterisks.
    const std::size_t count = formatExponentField(item.value, static_cast<int>(sizeof field), step.b, scale, field);
    if (field[0] == '*') {
      for (int i = 0; i < width; ++i) {
        if (!emit("*", 1)) return kLayoutTooLarge;
      }
      return kLayoutOk;
    }
    if (!emitBlanks(static_cast<std::size_t>(width) - count)) return kLayoutTooLarge;
    return emit(field, count) ? kLayoutOk : kLayoutTooLarge;
  }

  int run(std::span<const LayoutItem> items) {
    for (std::size_t i = 0; i < items.size(); ++i) {
      if (int error = runControls(); error != kLayoutOk) return error;
      if (layout.steps[pc].kind == StepKind::layoutEnd) {
        if (!layout.hasDataStep) return kLayoutNoDataStep;
        if (!recordEnd()) return kLayoutTooLarge;
        pc = layout.reversionStep;
        depth = 0;
        if (int error = runControls(); error != kLayoutOk) return error;
        // The data steps may all stand before the reversion point: then nothing
        // after it can take the item, however often the layout is run again.
        if (layout.steps[pc].kind == StepKind::layoutEnd) return kLayoutNoDataStep;
      }
      const LayoutStep& step = layout.steps[pc];
      if (int error = writeItem(step, items[i]); error != kLayoutOk) return error;
      ++pc;
    }
    if (int error = runControls(); error != kLayoutOk) return error;
    return recordEnd() ? kLayoutOk : kLayoutTooLarge;
  }
};

const char* layoutFailureMessage(int number) {
  switch (number) {
    case kLayoutNoOpening: return "the layout does not start with an opening parenthesis";
    case kLayoutUnbalanced: return "the layout has unbalanced parentheses";
    case kLayoutTabToZero: return "the layout tabs to column 0";
    case kLayoutTooDeep: return "the layout nests more than 16 groups";
    case kLayoutOpenLiteral: return "a literal of the layout has no closing apostrophe";
    case kLayoutBadCharacter: return "the layout holds a character that belongs to no layout element";
    case kLayoutItemMismatch: return "an item does not match the kind of its layout field";
    case kLayoutNoDataStep: return "items are left over and the layout has no field to take them";
    default: return "the layout is too large";
  }
}

[[noreturn]] void failLayout(int number) {
  reportFailure('F', number, StatementKind::write, layoutFailureMessage(number));
}

}  // namespace

std::size_t formatThreeFieldRow(double first, double second, double third, char* out) {
  formatE24_15(first, out);
  formatE24_15(second, out + 24);
  formatE24_15(third, out + 48);
  out[72] = '\r';
  out[73] = '\n';
  return 74;
}

std::int64_t formatWithLayout(const CompiledLayout& layout, std::span<const LayoutItem> items, char* out,
                              std::size_t capacity) {
  BufferSink sink{out, capacity};
  Writer<BufferSink> writer{layout, sink};
  const int error = writer.run(items);
  if (error != kLayoutOk) return -static_cast<std::int64_t>(error);
  return static_cast<std::int64_t>(sink.used);
}

void writeCompiled(TextFile& file, const CompiledLayout& layout, std::span<const LayoutItem> items) {
  FileSink sink{&file};
  Writer<FileSink> writer{layout, sink};
  if (const int error = writer.run(items); error != kLayoutOk) failLayout(error);
}

void writeWithLayout(TextFile& file, const char* layout, std::span<const LayoutItem> items) {
  // The program writes with a handful of layouts: compile each once.
  struct Entry {
    const char* text = nullptr;
    std::size_t length = 0;
    char copy[kMaxCachedLayout];
    CompiledLayout compiled;
  };
  static Entry cache[8];
  static int next = 0;
  const std::size_t length = std::strlen(layout);
  for (const Entry& entry : cache) {
    if (entry.text == layout && entry.length == length && std::memcmp(entry.copy, layout, length) == 0) {
      writeCompiled(file, entry.compiled, items);
      return;
    }
  }
  if (length > kMaxCachedLayout) {
    static CompiledLayout compiled;
    if (const int error = compileLayout(layout, length, &compiled); error != kLayoutOk) failLayout(error);
    writeCompiled(file, compiled, items);
    return;
  }
  Entry& entry = cache[next];
  next = (next + 1) % 8;
  entry.text = nullptr;
  if (const int error = compileLayout(layout, length, &entry.compiled); error != kLayoutOk) failLayout(error);
  entry.text = layout;
  entry.length = length;
  std::memcpy(entry.copy, layout, length);
  writeCompiled(file, entry.compiled, items);
}

}  // namespace zandovir
