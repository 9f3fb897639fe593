// Any bytes as the problem data file and as a plot script. The free-form reader
// must end every input with a value or one of its failure numbers, never touch a
// byte outside its work area or its targets, never hang and never trap; and what
// it reads must not depend on how many bytes each system read hands out.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "fuzz_support.h"
#include "memory_disk.h"
#include "outputs/outputs.h"
#include "run/problem_data.h"
#include "run/run_labels.h"

namespace zandovir::fuzz {
namespace {

struct Outcome {
  int failure = 0;  // 0 or the failure number of the read that failed
  int reads = 0;    // read operations that completed
  ProblemData data;
  std::uint64_t position = 0;
};

bool sameData(const ProblemData& a, const ProblemData& b) {
  const double left[] = {a.length, a.leftTemperature, a.rightTemperature, a.conductivity, a.heatSource,
                         a.expansionCoefficient, a.youngsModulus, a.sectionArea};
  const double right[] = {b.length, b.leftTemperature, b.rightTemperature, b.conductivity, b.heatSource,
                          b.expansionCoefficient, b.youngsModulus, b.sectionArea};
  for (int i = 0; i < 8; ++i) {
    if (std::bit_cast<std::uint64_t>(left[i]) != std::bit_cast<std::uint64_t>(right[i])) return false;
  }
  return a.nodeCount == b.nodeCount && std::memcmp(a.title, b.title, sizeof a.title) == 0;
}

bool isReaderFailure(int number) {
  switch (number) {
    case 6501: case 6100: case 6101: case 6102: case 6103:
    case 6302: case 6303: case 6502: case 6503: case 6504:
      return true;
    default:
      return false;
  }
}

// A read operation leaves the file at the start of a record: after an LF, or at the
// end of a last record that had none.
bool atRecordStart(const std::string& bytes, std::uint64_t position) {
  if (position == 0 || position == bytes.size()) return true;
  return position < bytes.size() && bytes[static_cast<std::size_t>(position) - 1] == '\n';
}

// The ten read operations of the problem data file with the scan functions.
Outcome scanTen(const std::string& bytes, std::size_t chunk) {
  resetMemoryDisk();
  disk().files["dados.ent"] = bytes;
  disk().chunk = chunk;
  static TextFile file;
  bool alreadyOpen = false;
  require(tryOpenTextFile(file, "dados.ent", &alreadyOpen) == platform::SysError::none, "open dados.ent");
  Outcome outcome;
  // The title goes to a block of exactly its width, so a byte beyond it is caught.
  const std::unique_ptr<char[]> title(new char[100]());
  const TrapsOn traps;
  // A parenthesised text continued on the next record takes that record end as a
  // blank and still counts it as the end of the record, so its read may stop inside
  // the next record; the title is the last value read, so nothing follows it. Numbers
  // refuse parentheses, so their reads always end at a record start.
  auto step = [&](int failure, bool text = false) {
    if (outcome.failure != 0) return;
    if (failure != 0) {
      require(isReaderFailure(failure), "a failure number the reader does not give");
      outcome.failure = failure;
      return;
    }
    ++outcome.reads;
    require(text || atRecordStart(bytes, logicalPosition(file)), "a read ended inside a record");
  };
  step(scanInteger(file, &outcome.data.nodeCount));
  double* reals[] = {&outcome.data.length,       &outcome.data.leftTemperature,      &outcome.data.rightTemperature,
                     &outcome.data.conductivity, &outcome.data.heatSource,           &outcome.data.expansionCoefficient,
                     &outcome.data.youngsModulus, &outcome.data.sectionArea};
  for (double* target : reals) {
    if (outcome.failure == 0) step(scanReal(file, target));
  }
  if (outcome.failure == 0) step(scanText(file, title.get(), 100), true);
  std::memcpy(outcome.data.title, title.get(), 100);
  outcome.position = logicalPosition(file);
  closeTextFile(file);
  return outcome;
}

// readProblemData itself: the same values, or the same failure, and the file unchanged.
void checkProblemData(const std::string& bytes, const Outcome& scanned) {
  resetMemoryDisk();
  disk().files["dados.ent"] = bytes;
  ProblemData data;
  int failure = 0;
  try {
    const TrapsOn traps;
    data = readProblemData();
  } catch (const Reported& report) {
    failure = report.number;
    require(report.letter == 'F' && report.kind == StatementKind::read, "a reader failure of kind READ");
  }
  closeLeftOpenFiles();
  require(disk().files["dados.ent"] == bytes, "the problem data file was changed");
  if (scanned.failure != 0) {
    require(failure == scanned.failure, "readProblemData and the scans disagree on the failure");
    return;
  }
  const std::int32_t n = scanned.data.nodeCount;
  if (n == 2 || n <= 0) {
    require(failure == 6100, "a node count below 3 is refused");
    return;
  }
  require(failure == 0, "readProblemData failed where the scans did not");
  require(sameData(data, scanned.data), "readProblemData and the scans disagree on the values");
}

// The records of bytes, as the reader sees them: every LF ends one, and a last
// record without LF counts too. Returns the offset just after record `count`, or
// SIZE_MAX when there are fewer records.
std::size_t afterRecords(const std::string& bytes, int count) {
  std::size_t at = 0;
  for (int record = 0; record < count; ++record) {
    if (at >= bytes.size()) return SIZE_MAX;
    const std::size_t lineFeed = bytes.find('\n', at);
    at = lineFeed == std::string::npos ? bytes.size() : lineFeed + 1;
  }
  return at;
}

// The plot script refresh: the user's six records kept byte for byte and the two
// new records after them, or the end-of-file failure and the script unchanged.
void checkPlotScript(const std::string& bytes, std::size_t chunk) {
  resetMemoryDisk();
  disk().files["T.gnu"] = bytes;
  disk().chunk = chunk;
  RunLabels labels{};
  assignField(labels.caseLabel, sizeof labels.caseLabel, "Caso (1/2/2024)", 15);
  int failure = 0;
  try {
    const TrapsOn traps;
    refreshPlotScript("T.gnu", labels);
  } catch (const Reported& report) {
    failure = report.number;
  }
  closeLeftOpenFiles();
  const std::string& after = disk().files["T.gnu"];
  const std::size_t kept = afterRecords(bytes, 6);
  if (kept == SIZE_MAX) {
    require(failure == 6501, "a script of fewer than six records ends with F6501");
    require(after == bytes, "a short script is left as it was");
    return;
  }
  require(failure == 0, "a script of six records or more is refreshed");
  const std::string tail = "set title '" + std::string(labels.caseLabel, sizeof labels.caseLabel) + "\r\nreplot\r\n";
  const std::string user = bytes.substr(0, kept);
  // After a last record without LF the new records may start with a record end.
  const bool plain = after == user + tail;
  const bool withLineEnd = user.back() != '\n' && after == user + "\r\n" + tail;
  require(plain || withLineEnd, "the refreshed script is not the six user records and the two new ones");
}

}  // namespace
}  // namespace zandovir::fuzz

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  zandovir::fuzz::setUpFuzzing();
  zandovir::fuzz::useMemoryDisk();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zandovir::fuzz;
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  // Whole reads, then reads of a few bytes each, so that values and records run
  // across refills at every offset the input can reach.
  const std::size_t smallChunk = 1 + size % 7;
  const Outcome whole = scanTen(bytes, 0);
  const Outcome pieces = scanTen(bytes, smallChunk);
  require(whole.failure == pieces.failure && whole.reads == pieces.reads, "the failure depends on the read sizes");
  require(sameData(whole.data, pieces.data), "the values depend on the read sizes");
  require(whole.position == pieces.position, "the position depends on the read sizes");
  checkProblemData(bytes, whole);
  checkPlotScript(bytes, 0);
  checkPlotScript(bytes, smallChunk);
  return 0;
}
