// Any layout string with a few items. The record writer must compile it or name
// its fault, write within the caller's buffer or say the records do not fit, end
// every write operation with a record end, never hang and never trap; and the file
// sink must write exactly the bytes of the buffer sink.
//
// Input: the layout bytes, then a zero byte, then one byte per item: bit 0 picks a
// text (0) or a double (1); a text's length is picked by bits 1-3; a double takes
// its bits from the next eight bytes.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "memory_disk.h"
#include "textio/record_writer.h"

namespace zandovir::fuzz {
namespace {

constexpr std::size_t kMaxItems = 16;
constexpr std::size_t kCapacity = 1 << 16;
constexpr std::size_t kTextLengths[] = {0, 1, 5, 8, 24, 112, 120, 700};

bool isLayoutFailure(std::int64_t number) { return number >= 6981 && number <= 6989; }

const std::string& textBytes() {
  static const std::string bytes = [] {
    std::string s;
    for (int i = 0; i < 700; ++i) s += static_cast<char>('a' + i % 26);
    s[3] = '\'';
    s[10] = ' ';
    return s;
  }();
  return bytes;
}

std::vector<LayoutItem> decodeItems(const std::uint8_t* data, std::size_t size) {
  std::vector<LayoutItem> items;
  std::size_t at = 0;
  while (at < size && items.size() < kMaxItems) {
    const std::uint8_t selector = data[at++];
    if ((selector & 1) == 0) {
      items.push_back(LayoutItem::ofText(textBytes().data(), kTextLengths[(selector >> 1) & 7]));
      continue;
    }
    std::uint64_t bits = 0;
    for (int i = 0; i < 8 && at < size; ++i) bits |= std::uint64_t{data[at++]} << (8 * i);
    items.push_back(LayoutItem::ofReal(std::bit_cast<double>(bits)));
  }
  return items;
}

// The same write operation through a text file on the memory disk.
std::string writeToFile(const CompiledLayout& layout, const std::vector<LayoutItem>& items, int* failure) {
  resetMemoryDisk();
  static TextFile file;
  bool alreadyOpen = false;
  require(tryOpenTextFile(file, "out.txt", &alreadyOpen) == platform::SysError::none, "open out.txt");
  *failure = 0;
  try {
    const TrapsOn traps;
    writeCompiled(file, layout, items);
    closeTextFile(file);
  } catch (const Reported& report) {
    *failure = report.number;
    require(report.letter == 'F' && report.kind == StatementKind::write, "a layout failure of kind WRITE");
    closeLeftOpenFiles();
  }
  return disk().files["out.txt"];
}

}  // namespace
}  // namespace zandovir::fuzz

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  zandovir::fuzz::setUpFuzzing();
  zandovir::fuzz::useMemoryDisk();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zandovir;
  using namespace zandovir::fuzz;
  const std::uint8_t* zero = static_cast<const std::uint8_t*>(std::memchr(data, 0, size));
  const std::size_t layoutLength = zero != nullptr ? static_cast<std::size_t>(zero - data) : size;
  // The layout in a block of exactly its length: compiling must not read past it.
  const std::unique_ptr<char[]> layoutText(new char[layoutLength > 0 ? layoutLength : 1]);
  std::memcpy(layoutText.get(), data, layoutLength);
  const std::vector<LayoutItem> items =
      zero != nullptr ? decodeItems(zero + 1, size - layoutLength - 1) : std::vector<LayoutItem>{};

  static CompiledLayout compiled;
  int compileResult = 0;
  {
    const TrapsOn traps;
    compileResult = compileLayout(layoutText.get(), layoutLength, &compiled);
  }
  if (compileResult != 0) {
    require(isLayoutFailure(compileResult), "compileLayout returned no layout failure number");
    return 0;
  }
  require(compiled.stepCount >= 1 && compiled.stepCount <= CompiledLayout::kMaxSteps, "step count");
  require(compiled.steps[compiled.stepCount - 1].kind == StepKind::layoutEnd, "a compiled layout ends");

  // The records in a block of exactly the capacity: a byte beyond it is caught.
  const std::unique_ptr<char[]> out(new char[kCapacity]);
  std::int64_t length = 0;
  {
    const TrapsOn traps;
    length = formatWithLayout(compiled, items, out.get(), kCapacity);
  }
  if (length < 0) {
    require(isLayoutFailure(-length), "formatWithLayout returned no layout failure number");
    return 0;
  }
  require(static_cast<std::size_t>(length) <= kCapacity, "more bytes than the capacity");
  require(length >= 2 && out[length - 2] == '\r' && out[length - 1] == '\n', "a write operation ends its record");
  const std::string records(out.get(), static_cast<std::size_t>(length));

  // One byte too few: the same records do not fit, and that is all that is said.
  {
    const std::unique_ptr<char[]> shorter(new char[static_cast<std::size_t>(length) - 1]);
    const TrapsOn traps;
    const std::int64_t cut = formatWithLayout(compiled, items, shorter.get(), static_cast<std::size_t>(length) - 1);
    require(cut == -kLayoutTooLarge, "records one byte longer than the buffer are refused");
  }

  int failure = 0;
  const std::string written = writeToFile(compiled, items, &failure);
  require(failure == 0, "the file sink failed where the buffer sink did not");
  require(written == records, "the file sink wrote other bytes than the buffer sink");
  return 0;
}
