// The free-form value reader, fed exact bytes through an in-memory file table,
// and readProblemData on the fake table and on the real disk.
#include <fenv.h>
#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "run/problem_data.h"
#include "textio/failure.h"
#include "textio/text_file.h"

namespace zandovir {
namespace {

using namespace std::literals;
using platform::NativeFile;
using platform::SysError;

constexpr std::uint64_t kAnyPosition = UINT64_MAX;

// --- An in-memory file table ---------------------------------------------------

struct FakeDisk {
  std::map<std::string, std::string> files;
  std::size_t chunk = 0;  // most bytes one read call hands out; 0: as many as asked
  long failingRead = -1;  // number (from 0) of the read call that fails
  long readCalls = 0;
  struct Handle {
    std::string name;
    std::uint64_t offset = 0;
    bool open = false;
  };
  std::vector<Handle> handles;
};
FakeDisk gDisk;

NativeFile newHandle(const char* name) {
  gDisk.handles.push_back(FakeDisk::Handle{name, 0, true});
  return NativeFile{static_cast<std::intptr_t>(gDisk.handles.size() - 1)};
}

FakeDisk::Handle& handleOf(NativeFile file) { return gDisk.handles.at(static_cast<std::size_t>(file.value)); }

SysError fakeOpenExisting(const char* name, platform::OpenAccess, NativeFile* out) {
  if (gDisk.files.count(name) == 0) return SysError::notFound;
  *out = newHandle(name);
  return SysError::none;
}

SysError fakeCreateNew(const char* name, NativeFile* out) {
  if (gDisk.files.count(name) != 0) return SysError::exists;
  gDisk.files[name] = "";
  *out = newHandle(name);
  return SysError::none;
}

bool fakeExists(const char* name) { return gDisk.files.count(name) != 0; }

SysError fakeRead(NativeFile file, void* buffer, std::size_t size, std::size_t* got) {
  *got = 0;
  if (gDisk.readCalls++ == gDisk.failingRead) return SysError::other;
  FakeDisk::Handle& handle = handleOf(file);
  const std::string& bytes = gDisk.files[handle.name];
  std::size_t count = handle.offset < bytes.size() ? bytes.size() - handle.offset : 0;
  if (count > size) count = size;
  if (gDisk.chunk != 0 && count > gDisk.chunk) count = gDisk.chunk;
  std::memcpy(buffer, bytes.data() + handle.offset, count);
  handle.offset += count;
  *got = count;
  return SysError::none;
}

SysError fakeWrite(NativeFile file, const void* data, std::size_t size) {
  FakeDisk::Handle& handle = handleOf(file);
  std::string& bytes = gDisk.files[handle.name];
  if (bytes.size() < handle.offset + size) bytes.resize(handle.offset + size);
  std::memcpy(bytes.data() + handle.offset, data, size);
  handle.offset += size;
  return SysError::none;
}

SysError fakeSeek(NativeFile file, std::uint64_t offset) {
  handleOf(file).offset = offset;
  return SysError::none;
}

SysError fakeSetLength(NativeFile file, std::uint64_t length) {
  gDisk.files[handleOf(file).name].resize(length);
  return SysError::none;
}

SysError fakeIdentify(NativeFile file, platform::FileIdentity* out) {
  out->volume = 7;
  out->index = std::hash<std::string>{}(handleOf(file).name) | 1u;
  return SysError::none;
}

SysError fakeClose(NativeFile file) {
  handleOf(file).open = false;
  return SysError::none;
}

const platform::FileOps kFakeOps{fakeOpenExisting, fakeCreateNew, fakeExists,   fakeRead, fakeWrite,
                                 fakeSeek,         fakeSetLength, fakeIdentify, fakeClose};

// --- Failure reports seen by the tests ------------------------------------------

struct Intercepted {
  char letter;
  int number;
  StatementKind kind;
  std::string message;
};

[[noreturn]] void throwReport(const FailureReport& report) {
  throw Intercepted{report.letter, report.number, report.kind,
                    report.message != nullptr ? report.message : ""};
}

// Runs body with the interceptor; the report it ends with, if any.
std::optional<Intercepted> captureFailure(const std::function<void()>& body) {
  setFailureInterceptor(throwReport);
  std::optional<Intercepted> seen;
  try {
    body();
  } catch (const Intercepted& report) {
    seen = report;
  }
  setFailureInterceptor(nullptr);
  // A failed read leaves its file open, as the exit sequence would find it.
  closeAllTextFilesAtExit();
  return seen;
}

std::string printable(std::string_view bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (c >= 32 && c < 127) {
      out += static_cast<char>(c);
    } else {
      char code[8];
      std::snprintf(code, sizeof code, "\\x%02X", c);
      out += code;
    }
  }
  return out;
}

class ReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = platform::fileOps();
    platform::fileOps() = kFakeOps;
    gDisk = FakeDisk{};
    file_ = std::make_unique<TextFile>();
  }
  void TearDown() override {
    setFailureInterceptor(nullptr);
    closeAllTextFilesAtExit();
    platform::fileOps() = saved_;
  }

  // Opens a file holding exactly bytes; reads hand out at most chunk bytes each.
  TextFile& open(std::string_view bytes, std::size_t chunk = 0) {
    if (file_->mode != FileMode::closed) closeTextFile(*file_);
    gDisk.files["case.dat"] = std::string(bytes);
    gDisk.chunk = chunk;
    gDisk.readCalls = 0;
    bool alreadyOpen = false;
    EXPECT_EQ(tryOpenTextFile(*file_, "case.dat", &alreadyOpen), SysError::none);
    return *file_;
  }

  platform::FileOps saved_{};
  std::unique_ptr<TextFile> file_;
};

// Every table runs with whole reads and with reads cut to a few bytes, so records
// and values run across buffer refills.
constexpr std::size_t kChunks[] = {0, 1, 3};

// --- Integers ------------------------------------------------------------------

struct IntegerCase {
  std::string_view bytes;
  int code;
  std::int32_t value;       // expected target; kUnchanged for a null value
  std::uint64_t position;   // where the next read starts
};
constexpr std::int32_t kUnchanged = -77;

void checkIntegers(const std::vector<IntegerCase>& cases,
                   const std::function<TextFile&(std::string_view, std::size_t)>& open) {
  for (std::size_t chunk : kChunks) {
    for (const IntegerCase& row : cases) {
      SCOPED_TRACE("bytes \"" + printable(row.bytes) + "\", chunk " + std::to_string(chunk));
      TextFile& file = open(row.bytes, chunk);
      std::int32_t target = kUnchanged;
      EXPECT_EQ(scanInteger(file, &target), row.code);
      if (row.code == 0) {
        EXPECT_EQ(target, row.value);
        if (row.position != kAnyPosition) {
          EXPECT_EQ(logicalPosition(file), row.position);
        }
      }
    }
  }
}

TEST_F(ReaderTest, IntegerSyntax) {
  auto opener = [this](std::string_view b, std::size_t c) -> TextFile& { return open(b, c); };
  checkIntegers({
      // bytes                              code  value        next record at
      {"51\n7\n",                             0,  51,           3},
      {"51   numero de pontos\n7\n",          0,  51,          22},
      {"51 pontos\n",                         0,  51,          10},
      {"51,pontos\n",                         0,  51,          10},
      {"51/pontos\n",                         0,  51,          10},
      {"51\tpontos\n",                        0,  51,          10},
      {"+7\n",                                0,  7,            3},
      {"-7\n",                                0,  -7,           3},
      {"007\n",                               0,  7,            4},
      {"-\n",                                 0,  0,            2},
      {"+\n",                                 0,  0,            2},
      {"2147483647\n",                        0,  2147483647,  11},
      {"-2147483647\n",                       0,  -2147483647, 12},
      {"-2147483648\n",                       0,  INT32_MIN,   12},
      {"\n\n   \n\t \n51\n",                  0,  51,          12},
      {"\r\n  \r\n51\r\n7\r\n",               0,  51,          10},
      {"51\r\n7\r\n",                         0,  51,           4},
      {"51",                                  0,  51,           2},
      {"   51",                               0,  51,           5},
      {"51 \x1A\n7\n",                        0,  51,           5},
      {"2*51\n",                              0,  51,           5},
      {"1*51\n",                              0,  51,           5},
      {"#3*51\n",                             0,  51,           6},
  }, opener);
}

TEST_F(ReaderTest, IntegerBasedForm) {
  auto opener = [this](std::string_view b, std::size_t c) -> TextFile& { return open(b, c); };
  checkIntegers({
      // bytes                 code  value          next record at
      {"16#FF\n",                0,  255,            6},
      {"16#ff\n",                0,  255,            6},
      {"#FF\n",                  0,  255,            4},
      {"-#FF\n",                 0,  -255,           5},
      {"+16#FF\n",               0,  255,            7},
      {"-16#FF\n",               0,  -255,           7},
      {"2#1010\n",               0,  10,             7},
      {"8#777\n",                0,  511,            6},
      {"36#Zz\n",                0,  35 * 36 + 35,   6},
      {"016#10\n",               0,  16,             7},
      {"10#2147483647\n",        0,  2147483647,    14},
      {"16#7FFFFFFF\n",          0,  2147483647,    12},
      {"16#FFFFFFFF\n",          0,  -1,            12},
      {"16#80000000\n",          0,  INT32_MIN,     12},
      {"-16#FFFFFFFF\n",         0,  1,             13},
      {"-16#80000000\n",         0,  INT32_MIN,     13},
      {"2#11111111111111111111111111111111\n", 0, -1, 35},
      {"16#\n",                  0,  0,              4},
      {"#\n",                    0,  0,              2},
  }, opener);
}

TEST_F(ReaderTest, IntegerFailures) {
  auto opener = [this](std::string_view b, std::size_t c) -> TextFile& { return open(b, c); };
  checkIntegers({
      // a character other than sign and digits
      {"51pontos\n",             6101, 0, kAnyPosition},
      {"100.\n",                 6101, 0, kAnyPosition},
      {"1E2\n",                  6101, 0, kAnyPosition},
      {"10.5\n",                 6101, 0, kAnyPosition},
      {"5-\n",                   6101, 0, kAnyPosition},
      {"+-5\n",                  6101, 0, kAnyPosition},
      {"\xEF\xBB\xBF" "51\n",    6101, 0, kAnyPosition},
      {"51\x1A\n",               6101, 0, kAnyPosition},
      {"99999999999x\n",         6101, 0, kAnyPosition},
      {"2#102\n",                6101, 0, kAnyPosition},
      {"16#G\n",                 6101, 0, kAnyPosition},
      {"16#-1\n",                6101, 0, kAnyPosition},
      {"1x#5\n",                 6101, 0, kAnyPosition},
      {"Caso*1\n",               6101, 0, kAnyPosition},
      // outside -2147483648 to 2147483647
      {"2147483648\n",           6100, 0, kAnyPosition},
      {"+2147483648\n",          6100, 0, kAnyPosition},
      {"-2147483649\n",          6100, 0, kAnyPosition},
      {"-02147483648\n",         6100, 0, kAnyPosition},
      {"99999999999999999999999\n", 6100, 0, kAnyPosition},
      {"10#2147483648\n",        6100, 0, kAnyPosition},
      {"-10#2147483648\n",       6100, 0, kAnyPosition},
      {"16#100000000\n",         6100, 0, kAnyPosition},
      {"2#111111111111111111111111111111111\n", 6100, 0, kAnyPosition},
      // based form
      {"37#1\n",                 6303, 0, kAnyPosition},
      {"1#1\n",                  6303, 0, kAnyPosition},
      {"0#0\n",                  6303, 0, kAnyPosition},
      {"99999999999999#1\n",     6303, 0, kAnyPosition},
      {"16#FF#\n",               6302, 0, kAnyPosition},
      {"16##1\n",                6302, 0, kAnyPosition},
      {"##\n",                   6302, 0, kAnyPosition},
      // quoted or parenthesised
      {"'51'\n",                 6504, 0, kAnyPosition},
      {"\"51\"\n",               6504, 0, kAnyPosition},
      {"(51)\n",                 6504, 0, kAnyPosition},
      // repeat counts
      {"0*51\n",                 6502, 0, kAnyPosition},
      {"*51\n",                  6502, 0, kAnyPosition},
      {"-2*51\n",                6502, 0, kAnyPosition},
      {"2*3*51\n",               6503, 0, kAnyPosition},
      {"2**\n",                  6503, 0, kAnyPosition},
      {"x*51\n",                 6101, 0, kAnyPosition},
      // the end of the data before a value or before the end of its record
      {"",                       6501, 0, kAnyPosition},
      {"\n",                     6501, 0, kAnyPosition},
      {"  \n\t\n   ",            6501, 0, kAnyPosition},
      {"\r\n\r\n",               6501, 0, kAnyPosition},
      {"(51",                    6501, 0, kAnyPosition},
      {"'51",                    6501, 0, kAnyPosition},
      {"3*\n",                   6501, 0, kAnyPosition},
  }, opener);
}

TEST_F(ReaderTest, IntegerNullValues) {
  auto opener = [this](std::string_view b, std::size_t c) -> TextFile& { return open(b, c); };
  checkIntegers({
      // bytes            code  value       next record at
      {",\n7\n",            0,  kUnchanged,  2},
      {"  ,  51\n7\n",      0,  kUnchanged,  8},
      {"/\n7\n",            0,  kUnchanged,  2},
      {"''\n7\n",           0,  kUnchanged,  3},
      {"\"\"\n7\n",         0,  kUnchanged,  3},
      {"()\n7\n",           0,  kUnchanged,  3},
      {"( )\n7\n",          0,  kUnchanged,  4},
      {"3*,\n7\n",          0,  kUnchanged,  4},
      {"3* 51\n7\n",        0,  kUnchanged,  6},
      {"3*/\n7\n",          0,  kUnchanged,  4},
      // a count at the end of its line is null and takes the next line with it
      {"3*\n5\n7\n",        0,  kUnchanged,  5},
      {"3*\r\n5\r\n7\n",    0,  kUnchanged,  7},
  }, opener);
}

// --- Reals ---------------------------------------------------------------------

struct RealCase {
  std::string_view bytes;
  int code;
  double value;  // compared bit for bit; kUnchangedReal for a null value
  std::uint64_t position;
};
constexpr double kUnchangedReal = -77.0;

// Traps as the run has them, so a conversion that raised one would end the test.
struct TrapsOn {
  TrapsOn() {
    feclearexcept(FE_ALL_EXCEPT);
    feenableexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);
  }
  ~TrapsOn() {
    fedisableexcept(FE_ALL_EXCEPT);
    feclearexcept(FE_ALL_EXCEPT);
  }
};

// The guard must really trap, or the conversions under it prove nothing. Without
// the trap the body exits normally; a sanitizer turns the signal into exit code 1.
TEST(TrapGuard, TrapsDivisionByZero) {
  EXPECT_DEATH(
      {
        TrapsOn traps;
        volatile double zero = 0.0;
        volatile double quotient = 1.0 / zero;
        (void)quotient;
        std::_Exit(0);
      },
      "");
}

int scanRealTrapped(TextFile& file, double* target) {
  TrapsOn traps;
  return scanReal(file, target);
}

std::string hex(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%a", value);
  return text;
}

void checkReals(const std::vector<RealCase>& cases,
                const std::function<TextFile&(std::string_view, std::size_t)>& open) {
  for (std::size_t chunk : kChunks) {
    for (const RealCase& row : cases) {
      SCOPED_TRACE("bytes \"" + printable(row.bytes) + "\", chunk " + std::to_string(chunk));
      TextFile& file = open(row.bytes, chunk);
      double target = kUnchangedReal;
      EXPECT_EQ(scanRealTrapped(file, &target), row.code);
      if (row.code == 0) {
        EXPECT_EQ(std::bit_cast<std::uint64_t>(target), std::bit_cast<std::uint64_t>(row.value))
            << hex(target) << " instead of " << hex(row.value);
        if (row.position != kAnyPosition) {
          EXPECT_EQ(logicalPosition(file), row.position);
        }
      }
    }
  }
}

TEST_F(ReaderTest, RealSyntax) {
  auto opener = [this](std::string_view b, std::size_t c) -> TextFile& { return open(b, c); };
  checkReals({
      // bytes                      code  value                 next record at
      {"1.0\n",                       0,  1.0,                   4},
      {"0\n",                         0,  0.0,                   2},
      {"3\n",                         0,  3.0,                   2},
      {"5.\n",                        0,  5.0,                   3},
      {".5\n",                        0,  0.5,                   3},
      {"-.5\n",                       0,  -0.5,                  4},
      {"+2.5\n",                      0,  2.5,                   5},
      {"-0\n",                        0,  -0.0,                  3},
      {"1.0D2\n",                     0,  100.0,                 6},
      {"1.0d2\n",                     0,  100.0,                 6},
      {"1.2E-5\n",                    0,  1.2e-5,                7},
      {"1.2e+5\n",                    0,  1.2e5,                 7},
      {"2.1e11\n",                    0,  2.1e11,                7},
      {"1.0E-4\n",                    0,  1.0e-4,                7},
      {"1.5+3\n",                     0,  1500.0,                6},
      {"1.5-3\n",                     0,  1.5e-3,                6},
      {"2.+1\n",                      0,  20.0,                  5},
      {".5D-0001\n",                  0,  0.05,                  9},
      {"0.1\n",                       0,  0x1.999999999999ap-4,  4},
      {"45.0, condutividade\n",       0,  45.0,                 20},
      {"0,5\n",                       0,  0.0,                   4},
      {"1,5\n7\n",                    0,  1.0,                   4},
      {"1.5/\n",                      0,  1.5,                   5},
      {"\t1.5\tx\n",                  0,  1.5,                   7},
      {"2*1.5\n",                     0,  1.5,                   6},
      {"\n\n1.5",                     0,  1.5,                   5},
      {"1.5\r\n",                     0,  1.5,                   5},
      {"1.5\r7\r",                    0,  1.5,                   6},
      {"000000000000000000000000000001.5\n", 0, 1.5,            33},
      {"0.000000000000000000000000000012345\n", 0, 1.2345e-29,  36},
      {"0e999999999999\n",            0,  0.0,                  15},
      // null values
      {",\n",                         0,  kUnchangedReal,        2},
      {"/\n",                         0,  kUnchangedReal,        2},
      {"''\n",                        0,  kUnchangedReal,        3},
      {"()\n",                        0,  kUnchangedReal,        3},
      {"4*,\n",                       0,  kUnchangedReal,        4},
  }, opener);
}

TEST_F(ReaderTest, RealRange) {
  auto opener = [this](std::string_view b, std::size_t c) -> TextFile& { return open(b, c); };
  checkReals({
      // bytes                                  code  value                      next at
      {"1e400\n",                               6102,  0.0,                     kAnyPosition},
      {"-1e400\n",                              6102,  0.0,                     kAnyPosition},
      {"1e99999999999999999999\n",              6102,  0.0,                     kAnyPosition},
      {"-1.7976931348623159e308\n",             6102,  0.0,                     kAnyPosition},
      {"1.79769313486231580793729e308\n",       6102,  0.0,                     kAnyPosition},
      {"17976931348623158079372900e283\n",      6102,  0.0,                     kAnyPosition},
      {"1.7976931348623157e308\n",                 0,  DBL_MAX,                 23},
      {"-1.7976931348623158e308\n",                0,  -DBL_MAX,                24},
      {"1.797693134862315807937289e308\n",         0,  DBL_MAX,                 31},
      // digits past the 25th cannot reach the overflow midpoint
      {"1.797693134862315807937289999e308\n",      0,  DBL_MAX,                 34},
      {"2.2250738585072014e-308\n",                0,  DBL_MIN,                 24},
      {"2.2250738585072009e-308\n",                0,  0x0.fffffffffffffp-1022, 24},
      {"4.9e-324\n",                               0,  0x1p-1074,                9},
      {"2.4703282292062328e-324\n",                0,  0x1p-1074,               24},
      {"2.4703282292062327e-324\n",                0,  0.0,                     24},
      {"-2.4703282292062327e-324\n",               0,  -0.0,                    25},
      {"1e-330\n",                                 0,  0.0,                      7},
      {"1e-400\n",                                 0,  0.0,                      7},
      {"-1e-400\n",                                0,  -0.0,                     8},
      {"1e-99999999999999999999\n",                0,  0.0,                     24},
  }, opener);
}

TEST_F(ReaderTest, RealUsesFirstTwentyFiveDigits) {
  auto opener = [this](std::string_view b, std::size_t c) -> TextFile& { return open(b, c); };
  // 1 + 2^-53 = 1.00000000000000011102230246251565404236316680908203125 lies halfway
  // between 1 and the next double: the rounding hangs on digits past the 25th.
  checkReals({
      // bytes                                              code  value                    next at
      {"1.000000000000000111022302462515654\n",                0,  1.0,                    36},
      {"1.00000000000000011102230246251565404236316680908203125\n", 0, 1.0,                56},
      {"1000000000000000111022302462515654e-33\n",             0,  1.0,                    39},
      {"1.000000000000000111022303\n",                         0,  0x1.0000000000001p+0,   27},
      {"1.0000000000000001110223030000000\n",                  0,  0x1.0000000000001p+0,   34},
      // 2^53 + 1 is halfway between 2^53 and 2^53 + 2: truncated to the tie it is even
      {"9007199254740993.0000000001\n",                        0,  9007199254740992.0,     28},
      {"9007199254740993.000000001\n",                         0,  9007199254740994.0,     27},
      // a truncated digit before the point still counts in the magnitude
      {"123456789012345678901234567890\n",                     0,  1234567890123456789012345e5, 31},
  }, opener);
}

TEST_F(ReaderTest, RealFailures) {
  auto opener = [this](std::string_view b, std::size_t c) -> TextFile& { return open(b, c); };
  checkReals({
      {"1.0.0\n",        6103, 0.0, kAnyPosition},
      {"e5\n",           6103, 0.0, kAnyPosition},
      {"E5\n",           6103, 0.0, kAnyPosition},
      {"+\n",            6103, 0.0, kAnyPosition},
      {"-\n",            6103, 0.0, kAnyPosition},
      {".\n",            6103, 0.0, kAnyPosition},
      {".e5\n",          6103, 0.0, kAnyPosition},
      {"1e\n",           6103, 0.0, kAnyPosition},
      {"1e+\n",          6103, 0.0, kAnyPosition},
      {"1+\n",           6103, 0.0, kAnyPosition},
      {"1.5x\n",         6103, 0.0, kAnyPosition},
      {"1..5\n",         6103, 0.0, kAnyPosition},
      {"1e5.0\n",        6103, 0.0, kAnyPosition},
      {"1e5e5\n",        6103, 0.0, kAnyPosition},
      {"1e+-5\n",        6103, 0.0, kAnyPosition},
      {"--1\n",          6103, 0.0, kAnyPosition},
      {"1.5q3\n",        6103, 0.0, kAnyPosition},
      {"inf\n",          6103, 0.0, kAnyPosition},
      {"nan\n",          6103, 0.0, kAnyPosition},
      {"0x1p3\n",        6103, 0.0, kAnyPosition},
      {"1.5pontos\n",    6103, 0.0, kAnyPosition},
      {"\xEF\xBB\xBF" "1.5\n", 6103, 0.0, kAnyPosition},
      {"'1.5'\n",        6504, 0.0, kAnyPosition},
      {"(1.5)\n",        6504, 0.0, kAnyPosition},
      {"(1.5, 2.5)\n",   6504, 0.0, kAnyPosition},
      {"0*1.5\n",        6502, 0.0, kAnyPosition},
      {"2*2*1.5\n",      6503, 0.0, kAnyPosition},
      {"",               6501, 0.0, kAnyPosition},
      {"\n \n",          6501, 0.0, kAnyPosition},
  }, opener);
}

// --- Texts ---------------------------------------------------------------------

std::string padded(std::string_view text, int width) {
  std::string out(text.substr(0, static_cast<std::size_t>(width)));
  out.resize(static_cast<std::size_t>(width), ' ');
  return out;
}

struct TextCase {
  std::string bytes;
  int width;
  int code;
  std::string text;  // the whole field after the read
  std::uint64_t position;
};

TEST_F(ReaderTest, Texts) {
  const std::string unchanged10(10, '\0');
  const std::string longTitle(130, 'x');
  const std::string quotedLong = "'" + std::string(60, 'a') + std::string(70, 'b') + "'\n";
  const std::vector<TextCase> cases = {
      // bytes                               width code  field                          next at
      {"Barra de teste\n",                    10,   0,  padded("Barra", 10),            15},
      {"'Barra de teste'\n",                  20,   0,  padded("Barra de teste", 20),   17},
      {"'Barra de teste'  remark\n",          20,   0,  padded("Barra de teste", 20),   25},
      {"'d''agua'\n",                         10,   0,  padded("d'agua", 10),           10},
      {"\"say \"\"hi\"\"\"\n",                10,   0,  padded("say \"hi\"", 10),       13},
      {"\"d'agua\"\n",                        10,   0,  padded("d'agua", 10),            9},
      {"'a, b/c (d)'\n",                      12,   0,  padded("a, b/c (d)", 12),       13},
      {"'abc'def\n",                          10,   0,  padded("abc", 10),               9},
      {"'abc'\r\n",                           10,   0,  padded("abc", 10),               7},
      {"'abc'",                               10,   0,  padded("abc", 10),               5},
      {"d'agua x\n",                          10,   0,  padded("d'agua", 10),            9},
      {"a(b)c\n",                             10,   0,  padded("a(b)c", 10),             6},
      {"abcdefghijkl\n",                      10,   0,  "abcdefghij",                   13},
      {"'abcdefghijkl'\n",                    10,   0,  "abcdefghij",                   15},
      {"2*Caso\n",                            10,   0,  padded("Caso", 10),              7},
      {"(a b, c)\n",                          10,   0,  padded("ab,c", 10),              9},
      {"(a\tb)x\n",                           10,   0,  padded("ab", 10),                7},
      {"(a/b)\n",                             10,   0,  padded("a", 10),                 6},
      {"abc,def\n",                           10,   0,  padded("abc", 10),               8},
      {"abc/def\n",                           10,   0,  padded("abc", 10),               8},
      {"A\xE7\xE3o\n",                        10,   0,  padded("A\xE7\xE3o", 10),        5},
      {"ab\x1A" "cd\n",                       10,   0,  padded("ab\x1A" "cd", 10),       6},
      {"\xEF\xBB\xBFtitle\n",                 10,   0,  padded("\xEF\xBB\xBFtitle", 10), 9},
      {"\n  \n  Barra\n",                     10,   0,  padded("Barra", 10),            12},
      // a quoted value goes on in the next record, without that record's first character
      {"'Barra de\n  teste'\n",               20,   0,  padded("Barra de teste", 20),   19},
      {"'Barra de\r\n#teste'\r\n",            20,   0,  padded("Barra deteste", 20),    20},
      {"'abc\n\nXdef'\n",                     10,   0,  padded("abcdef", 10),           12},
      {"'abc\r\n\r\nXdef'\r\n",               10,   0,  padded("abcdef", 10),           15},
      {"'abc\n'def'\n",                       10,   0,  padded("abcdef", 10),           11},
      {longTitle + "\n",                     100,   0,  std::string(100, 'x'),         131},
      {quotedLong,                           100,   0,  std::string(60, 'a') + std::string(40, 'b'), 133},
      // null values leave the field as it was, without padding
      {",\n",                                 10,   0,  unchanged10,                     2},
      {"/\n",                                 10,   0,  unchanged10,                     2},
      {"''\n",                                10,   0,  unchanged10,                     3},
      {"()\n",                                10,   0,  unchanged10,                     3},
      {"2*,\n",                               10,   0,  unchanged10,                     4},
      // failures
      {"Caso*1\n",                            10, 6101, "",                             kAnyPosition},
      {"0*Caso\n",                            10, 6502, "",                             kAnyPosition},
      {"2*3*Caso\n",                          10, 6503, "",                             kAnyPosition},
      {"'Barra de teste\n",                   20, 6501, "",                             kAnyPosition},
      {"'Barra de teste",                     20, 6501, "",                             kAnyPosition},
      {"(Barra\n",                            20, 6501, "",                             kAnyPosition},
      {"",                                    10, 6501, "",                             kAnyPosition},
  };
  for (std::size_t chunk : kChunks) {
    for (const TextCase& row : cases) {
      SCOPED_TRACE("bytes \"" + printable(row.bytes) + "\", chunk " + std::to_string(chunk));
      TextFile& file = open(row.bytes, chunk);
      std::string field(static_cast<std::size_t>(row.width), '\0');
      EXPECT_EQ(scanText(file, field.data(), row.width), row.code);
      if (row.code == 0) {
        EXPECT_EQ(printable(field), printable(row.text));
        if (row.position != kAnyPosition) {
          EXPECT_EQ(logicalPosition(file), row.position);
        }
      }
    }
  }
}

// --- Read sequences ------------------------------------------------------------

// Runs reads ('i' integer, 'r' real, 't' text of width 8) and lists what each gave:
// the value, "-" for a target left unchanged, or the failure code, which ends the list.
std::string traceReads(TextFile& file, std::string_view reads) {
  std::string trace;
  for (char kind : reads) {
    if (!trace.empty()) trace += ' ';
    int code = 0;
    char item[64] = "";
    if (kind == 'i') {
      std::int32_t value = kUnchanged;
      code = scanInteger(file, &value);
      if (value == kUnchanged) {
        std::snprintf(item, sizeof item, "-");
      } else {
        std::snprintf(item, sizeof item, "%" PRId32, value);
      }
    } else if (kind == 'r') {
      double value = kUnchangedReal;
      code = scanRealTrapped(file, &value);
      if (value == kUnchangedReal) {
        std::snprintf(item, sizeof item, "-");
      } else {
        std::snprintf(item, sizeof item, "%.17g", value);
      }
    } else {
      char field[8] = {};
      code = scanText(file, field, 8);
      std::string shown(1, '[');
      shown += printable(std::string_view(field, 8));
      shown += ']';
      std::snprintf(item, sizeof item, "%s", shown.c_str());
    }
    if (code != 0) {
      trace += 'F';
      trace += std::to_string(code);
      break;
    }
    trace += item;
  }
  return trace;
}

TEST_F(ReaderTest, ReadSequences) {
  struct SequenceCase {
    std::string_view bytes;
    const char* reads;
    const char* trace;
  };
  const SequenceCase cases[] = {
      // every value must start a record of its own
      {"51 1.0 0 100 45 0 1e-5 2e11 1e-4 'T'\n",  "ir",   "51 F6501"},
      {"51\n1.0\n'T'\n",                          "irt",  "51 1 [T       ]"},
      // records ended by a CR alone are one record
      {"51\r1.0\r'T'\r",                          "ir",   "51 F6501"},
      {"51\r\n1.0\r\n'T'\r\n",                    "irt",  "51 1 [T       ]"},
      {"51\n1.0\n'T'",                            "irti", "51 1 [T       ] F6501"},
      // a null repeat count at the end of its line takes the next line along
      {"3*\n5\n7\n",                              "ii",   "- 7"},
      {"3*\n5\n",                                 "ii",   "- F6501"},
      {",\n/\n''\n7\n",                           "irti", "- - [\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00] 7"},
      // a forgotten value shifts the later ones up by one record
      {"51\n\n1.0\n",                             "irr",  "51 1 F6501"},
      // Ctrl-Z is an ordinary byte, also at the end
      {"51\n\x1A\n7\n\x1A",                       "itit", "51 [\\x1A       ] 7 [\\x1A       ]"},
      // a value ended by its record end has consumed it: nothing more is skipped
      {"51\n7\n",                                 "ii",   "51 7"},
      // a parenthesised value across a record end counts as ended there, so the rest
      // of its last record is the next read's
      {"(ab\ncd) x\ny\n",                         "tt",   "[abcd    ] [x       ]"},
      {"'ab\ncd' x\ny\n",                         "tt",   "[abd     ] [y       ]"},
  };
  for (std::size_t chunk : kChunks) {
    for (const SequenceCase& row : cases) {
      SCOPED_TRACE("bytes \"" + printable(row.bytes) + "\", chunk " + std::to_string(chunk));
      TextFile& file = open(row.bytes, chunk);
      EXPECT_EQ(traceReads(file, row.reads), row.trace);
    }
  }
}

TEST_F(ReaderTest, WorkAreaKeepsFirst520Characters) {
  // The surplus of an undelimited value is dropped; the value still ends at its
  // separator and the next read is not disturbed.
  const std::string zeros519 = std::string(519, '0');
  struct Case {
    std::string bytes;
    const char* reads;
    const char* trace;
  } cases[] = {
      {zeros519 + "7\n5\n",                    "ii", "7 5"},
      {zeros519 + "07\n5\n",                   "ii", "0 5"},
      {zeros519 + "1.5\n5\n",                  "ri", "1 5"},
      {"(" + std::string(600, 'a') + " x)\n5\n", "ti", "[aaaaaaaa] 5"},
      {std::string(600, 'b') + " x\n5\n",      "ti", "[bbbbbbbb] 5"},
      {std::string(600, '1') + "\n5\n",        "ii", "F6100"},
  };
  for (const Case& row : cases) {
    SCOPED_TRACE(row.bytes.substr(0, 40));
    TextFile& file = open(row.bytes, 7);
    EXPECT_EQ(traceReads(file, row.reads), row.trace);
  }
}

TEST_F(ReaderTest, ReadErrors) {
  // The read call that fails: before any byte, inside a value, in the record skip
  // after a value, and while a quoted value goes on in the next record.
  struct Case {
    std::string_view bytes;
    std::size_t chunk;
    long failingRead;
    const char* reads;
    const char* trace;
  } cases[] = {
      {"51\n7\n",            0, 0, "i",  "F6500"},
      {"51234\n",            2, 1, "i",  "F6500"},
      {"51 remark\n7\n",     3, 1, "i",  "F6500"},
      {"51\n7\n",            3, 1, "ii", "51 F6500"},
      {"'abc\nXdef'\n",      5, 1, "t",  "F6500"},
      {"1.5 remark\n",       4, 1, "r",  "F6500"},
  };
  for (const Case& row : cases) {
    SCOPED_TRACE("bytes \"" + printable(row.bytes) + "\"");
    TextFile& file = open(row.bytes, row.chunk);
    gDisk.failingRead = row.failingRead;
    EXPECT_EQ(traceReads(file, row.reads), row.trace);
  }
}

// --- An exact oracle for the real conversion ---------------------------------

// Unsigned big integers, little-endian 32-bit limbs, enough for 10^400 * 2^1100.
struct Big {
  std::vector<std::uint32_t> limbs;
};

void trim(Big& n) {
  while (!n.limbs.empty() && n.limbs.back() == 0) n.limbs.pop_back();
}

void mulAdd(Big& n, std::uint32_t factor, std::uint32_t addend) {
  std::uint64_t carry = addend;
  for (std::uint32_t& limb : n.limbs) {
    const std::uint64_t product = std::uint64_t{limb} * factor + carry;
    limb = static_cast<std::uint32_t>(product);
    carry = product >> 32;
  }
  if (carry != 0) n.limbs.push_back(static_cast<std::uint32_t>(carry));
  trim(n);
}

void mulPow10(Big& n, int count) {
  for (int i = 0; i < count; ++i) mulAdd(n, 10, 0);
}

void shiftLeft(Big& n, int bits) {
  const int words = bits / 32;
  const int rest = bits % 32;
  if (rest != 0) mulAdd(n, std::uint32_t{1} << rest, 0);
  n.limbs.insert(n.limbs.begin(), static_cast<std::size_t>(words), 0);
  trim(n);
}

Big fromDecimal(std::string_view digits) {
  Big n;
  for (char c : digits) mulAdd(n, 10, static_cast<std::uint32_t>(c - '0'));
  return n;
}

Big fromUnsigned(std::uint64_t value) {
  Big n;
  n.limbs = {static_cast<std::uint32_t>(value), static_cast<std::uint32_t>(value >> 32)};
  trim(n);
  return n;
}

int compare(const Big& a, const Big& b) {
  if (a.limbs.size() != b.limbs.size()) return a.limbs.size() < b.limbs.size() ? -1 : 1;
  for (std::size_t i = a.limbs.size(); i-- > 0;) {
    if (a.limbs[i] != b.limbs[i]) return a.limbs[i] < b.limbs[i] ? -1 : 1;
  }
  return 0;
}

std::string toDecimal(Big n) {
  std::string digits;
  while (!n.limbs.empty()) {
    std::uint64_t remainder = 0;
    for (std::size_t i = n.limbs.size(); i-- > 0;) {
      const std::uint64_t current = (remainder << 32) | n.limbs[i];
      n.limbs[i] = static_cast<std::uint32_t>(current / 10);
      remainder = current % 10;
    }
    digits += static_cast<char>('0' + remainder);
    trim(n);
  }
  if (digits.empty()) digits = "0";
  return std::string(digits.rbegin(), digits.rend());
}

// Compares digits * 10^exp10 with mantissa * 2^exp2, exactly.
int compareDecimalBinary(const std::string& digits, int exp10, std::uint64_t mantissa, int exp2) {
  Big left = fromDecimal(digits);
  Big right = fromUnsigned(mantissa);
  if (exp10 > 0) mulPow10(left, exp10);
  if (exp10 < 0) mulPow10(right, -exp10);
  if (exp2 > 0) shiftLeft(right, exp2);
  if (exp2 < 0) shiftLeft(left, -exp2);
  return compare(left, right);
}

// The decimal the conversion must see: its first 25 significant digits, truncated.
struct Decimal {
  std::string digits;  // no leading zeros; empty for zero
  int exp10 = 0;       // value = digits * 10^exp10
};

Decimal significant(const std::string& integerDigits, const std::string& fractionDigits, int exponent) {
  std::string all = integerDigits + fractionDigits;
  std::size_t first = all.find_first_not_of('0');
  Decimal d;
  if (first == std::string::npos) return d;
  d.digits = all.substr(first);
  int dropped = 0;
  if (d.digits.size() > 25) {
    dropped = static_cast<int>(d.digits.size()) - 25;
    d.digits.resize(25);
  }
  d.exp10 = exponent - static_cast<int>(fractionDigits.size()) + dropped;
  return d;
}

// Checks that code/result is the correctly rounded double of d (or F6102 past the
// range), with the sign given.
::testing::AssertionResult roundedCorrectly(const Decimal& d, bool negative, int code, double result) {
  // (2^54 - 1) * 2^970: halfway between the largest double and 2^1024.
  const bool beyond =
      !d.digits.empty() && compareDecimalBinary(d.digits, d.exp10, (std::uint64_t{1} << 54) - 1, 970) >= 0;
  if (beyond) {
    if (code == 6102) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "expected F6102, got code " << code << " value " << hex(result);
  }
  if (code != 0) return ::testing::AssertionFailure() << "unexpected code " << code;
  if (std::signbit(result) != negative) return ::testing::AssertionFailure() << "wrong sign " << hex(result);
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(result) & ~(std::uint64_t{1} << 63);
  const int field = static_cast<int>(bits >> 52);
  if (field == 0x7FF) return ::testing::AssertionFailure() << "not finite " << hex(result);
  const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
  const std::uint64_t m = field == 0 ? fraction : fraction | (std::uint64_t{1} << 52);
  const int q = field == 0 ? -1074 : field - 1075;
  if (d.digits.empty()) {
    if (m == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "zero read as " << hex(result);
  }
  const bool even = (m & 1) == 0;
  // Upper half-way point (2m+1) * 2^(q-1); the value must not pass it (ties: even m).
  const int above = compareDecimalBinary(d.digits, d.exp10, 2 * m + 1, q - 1);
  if (above > 0 || (above == 0 && !even)) {
    return ::testing::AssertionFailure() << hex(result) << " is too small";
  }
  if (m != 0) {
    // Lower half-way point: the gap below is half as wide at the bottom of a binade.
    const bool binadeBottom = m == (std::uint64_t{1} << 52) && field > 1;
    const int below = binadeBottom ? compareDecimalBinary(d.digits, d.exp10, 4 * m - 1, q - 2)
                                   : compareDecimalBinary(d.digits, d.exp10, 2 * m - 1, q - 1);
    if (below < 0 || (below == 0 && !even)) {
      return ::testing::AssertionFailure() << hex(result) << " is too large";
    }
  }
  return ::testing::AssertionSuccess();
}

// The exact decimal digits of the half-way point above a double of the given bits:
// digits * 10^exp10.
Decimal upperHalfway(std::uint64_t bits) {
  const int field = static_cast<int>(bits >> 52);
  const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
  const std::uint64_t m = field == 0 ? fraction : fraction | (std::uint64_t{1} << 52);
  const int q = (field == 0 ? -1074 : field - 1075) - 1;
  Big n = fromUnsigned(2 * m + 1);
  Decimal d;
  if (q >= 0) {
    shiftLeft(n, q);
  } else {
    for (int i = 0; i < -q; ++i) mulAdd(n, 5, 0);
    d.exp10 = q;
  }
  d.digits = toDecimal(n);
  return d;
}

std::uint64_t seedFromEnvironment() {
  const char* text = std::getenv("ZANDOVIR_SEED");
  return text != nullptr ? std::strtoull(text, nullptr, 10) : 20261211u;
}

TEST_F(ReaderTest, RealConversionMatchesExactOracle) {
  const std::uint64_t seed = seedFromEnvironment();
  SCOPED_TRACE("seed " + std::to_string(seed) + " (set ZANDOVIR_SEED to repeat another)");
  std::mt19937_64 random(seed);
  auto below = [&](std::uint64_t bound) { return random() % bound; };
  auto digitString = [&](std::size_t length) {
    std::string s;
    for (std::size_t i = 0; i < length; ++i) s += static_cast<char>('0' + below(10));
    return s;
  };
  const std::uint64_t landmarks[] = {0, 1, 0x000FFFFFFFFFFFFFu, 0x0010000000000000u,
                                    0x3FF0000000000000u, 0x7FEFFFFFFFFFFFFFu, 0x7FEFFFFFFFFFFFFEu};
  const char exponentForms[] = {'E', 'e', 'D', 'd', 0};
  for (int round = 0; round < 3000; ++round) {
    std::string integerDigits, fractionDigits;
    int exponent = 0;
    bool hasPoint = below(2) == 0;
    if (round % 2 == 0) {
      // Random digits over the whole range and beyond.
      integerDigits = digitString(below(hasPoint ? 20 : 35));
      if (hasPoint) fractionDigits = digitString(below(20));
      if (integerDigits.empty() && fractionDigits.empty()) integerDigits = "1";
      exponent = static_cast<int>(below(700)) - 360;
    } else {
      // Cut or extended near a half-way point, where the rounding is decided.
      const std::uint64_t bits = below(4) == 0 ? landmarks[below(std::size(landmarks))]
                                               : below(0x7FF0000000000000u);
      Decimal halfway = upperHalfway(bits);
      std::size_t keep = 1 + below(32);
      std::string digits = halfway.digits.substr(0, keep);
      const std::size_t kept = digits.size();
      const int lost = static_cast<int>(halfway.digits.size() - kept);
      switch (below(3)) {
        case 0: break;
        case 1: digits += std::string(below(6), '0') + "1"; break;
        default: digits += std::string(below(6), '9'); break;
      }
      const int added = static_cast<int>(digits.size() - kept);
      // digits * 10^(exp10 + lost - added) is the value; write it as integer.fraction.
      const std::size_t split = below(digits.size() + 1);
      integerDigits = digits.substr(0, split);
      fractionDigits = digits.substr(split);
      hasPoint = true;
      exponent = halfway.exp10 + lost - added + static_cast<int>(fractionDigits.size());
      if (integerDigits.empty() && fractionDigits.empty()) integerDigits = "0";
    }
    const bool negative = below(4) == 0;
    std::string text = negative ? "-" : (below(4) == 0 ? "+" : "");
    text += integerDigits;
    if (hasPoint) text += "." + fractionDigits;
    const char form = exponentForms[below(std::size(exponentForms))];
    if (exponent != 0 || below(2) == 0) {
      if (form != 0) text += form;
      if (exponent < 0) {
        text += "-";
      } else if (form == 0 || below(2) == 0) {
        text += "+";
      }
      text += std::to_string(exponent < 0 ? -exponent : exponent);
    }
    if (text.size() > 500) continue;
    SCOPED_TRACE("value " + text);
    TextFile& file = open(text + " remark\n");
    double result = kUnchangedReal;
    const int code = scanRealTrapped(file, &result);
    ASSERT_TRUE(roundedCorrectly(significant(integerDigits, fractionDigits, exponent), negative, code, result));
  }
}

// The oracle itself must tell rounding faults apart.
TEST(RealOracle, RejectsNeighbours) {
  const Decimal one{"1", 0};
  EXPECT_TRUE(roundedCorrectly(one, false, 0, 1.0));
  EXPECT_FALSE(roundedCorrectly(one, false, 0, 0x1.0000000000001p+0));
  EXPECT_FALSE(roundedCorrectly(one, false, 0, 0x1.fffffffffffffp-1));
  EXPECT_FALSE(roundedCorrectly(one, true, 0, 1.0));
  const Decimal tie = upperHalfway(std::bit_cast<std::uint64_t>(1.0));  // 1 + 2^-53
  EXPECT_TRUE(roundedCorrectly(tie, false, 0, 1.0));
  EXPECT_FALSE(roundedCorrectly(tie, false, 0, 0x1.0000000000001p+0));
  const Decimal top = upperHalfway(std::bit_cast<std::uint64_t>(DBL_MAX));
  EXPECT_TRUE(roundedCorrectly(top, false, 6102, 0.0));
  EXPECT_FALSE(roundedCorrectly(top, false, 0, DBL_MAX));
  const Decimal tiny = upperHalfway(0);  // 2^-1075: a tie between zero and the least subnormal
  EXPECT_TRUE(roundedCorrectly(tiny, false, 0, 0.0));
  EXPECT_FALSE(roundedCorrectly(tiny, false, 0, 0x1p-1074));
  EXPECT_EQ(toDecimal(fromUnsigned(0)), "0");
  EXPECT_EQ(upperHalfway(std::bit_cast<std::uint64_t>(1.0)).digits,
            "100000000000000011102230246251565404236316680908203125");
}

// --- Run level ---------------------------------------------------------------

TEST_F(ReaderTest, RunLevelReadsReportTheirFailures) {
  struct Case {
    std::string_view bytes;
    char kind;
    int number;
    const char* box;
  } cases[] = {
      {"",        'i', 6501, "F6501: READ() - end of file case.dat reached during a read"},
      {"51x\n",   'i', 6101, "F6101: READ() - invalid character in an integer value in file case.dat"},
      {"9999999999\n", 'i', 6100, "F6100: READ() - integer value out of range in file case.dat"},
      {"1e999\n", 'r', 6102, "F6102: READ() - real value out of range in file case.dat"},
      {"1.5x\n",  'r', 6103, "F6103: READ() - invalid real value in file case.dat"},
      {"'1'\n",   'r', 6504, "F6504: READ() - quoted or parenthesised value for a number in file case.dat"},
      {"0*x\n",   't', 6502, "F6502: READ() - repeat count of zero in file case.dat"},
      {"1*2*x\n", 't', 6503, "F6503: READ() - two repeat counts in one value in file case.dat"},
      {"40#1\n",  'i', 6303, "F6303: READ() - base of an integer outside 2 to 36 in file case.dat"},
      {"#1#\n",   'i', 6302, "F6302: READ() - second number sign in a based integer in file case.dat"},
      {"'abc",    't', 6501, "F6501: READ() - end of file case.dat reached during a read"},
  };
  for (const Case& row : cases) {
    SCOPED_TRACE("bytes \"" + printable(row.bytes) + "\"");
    TextFile& file = open(row.bytes);
    const std::optional<Intercepted> report = captureFailure([&] {
      std::int32_t integer = 0;
      double real = 0.0;
      char text[10];
      if (row.kind == 'i') readInteger(file, &integer);
      if (row.kind == 'r') readReal(file, &real);
      if (row.kind == 't') readText(file, text, 10);
    });
    ASSERT_TRUE(report.has_value());
    EXPECT_EQ(report->letter, 'F');
    EXPECT_EQ(report->number, row.number);
    EXPECT_EQ(report->kind, StatementKind::read);
    char box[512];
    const FailureReport composed{report->letter, report->number, report->kind, report->message.c_str()};
    composeFailureText(composed, box, sizeof box);
    EXPECT_STREQ(box, row.box);
  }
}

TEST_F(ReaderTest, RunLevelReadErrorNamesTheReason) {
  TextFile& file = open("51\n");
  gDisk.failingRead = 0;
  const std::optional<Intercepted> report = captureFailure([&] {
    std::int32_t value = 0;
    readInteger(file, &value);
  });
  ASSERT_TRUE(report.has_value());
  EXPECT_EQ(report->number, 6500);
  EXPECT_EQ(report->kind, StatementKind::read);
  EXPECT_EQ(report->message, "cannot read file case.dat: input/output error");
}

TEST_F(ReaderTest, RunLevelReadsTakeTheValues) {
  TextFile& file = open("16#FF\n2.5d1\n'Caso'\n");
  std::int32_t integer = 0;
  double real = 0.0;
  char text[6];
  const std::optional<Intercepted> report = captureFailure([&] {
    readInteger(file, &integer);
    readReal(file, &real);
    readText(file, text, 6);
  });
  EXPECT_FALSE(report.has_value());
  EXPECT_EQ(integer, 255);
  EXPECT_EQ(real, 25.0);
  EXPECT_EQ(std::string(text, 6), "Caso  ");
}

// --- readProblemData -----------------------------------------------------------

const char kExampleFile[] =
    "51   numero de pontos\r\n"
    "1.0\r\n"
    "0\r\n"
    "1.0D2\r\n"
    "45.0, condutividade\r\n"
    "0.0\r\n"
    "1.2E-5\r\n"
    "2.1e11\r\n"
    "1.0E-4\r\n"
    "'Barra de teste'\r\n";

void expectExampleValues(const ProblemData& data) {
  EXPECT_EQ(data.nodeCount, 51);
  EXPECT_EQ(data.length, 1.0);
  EXPECT_EQ(data.leftTemperature, 0.0);
  EXPECT_EQ(data.rightTemperature, 100.0);
  EXPECT_EQ(data.conductivity, 45.0);
  EXPECT_EQ(data.heatSource, 0.0);
  EXPECT_EQ(data.expansionCoefficient, 1.2e-5);
  EXPECT_EQ(data.youngsModulus, 2.1e11);
  EXPECT_EQ(data.sectionArea, 1.0e-4);
  EXPECT_EQ(std::string(data.title, sizeof data.title), "Barra de teste" + std::string(86, ' '));
}

TEST_F(ReaderTest, ProblemDataExample) {
  gDisk.files["dados.ent"] = kExampleFile;
  ProblemData data;
  EXPECT_FALSE(captureFailure([&] { data = readProblemData(); }).has_value());
  expectExampleValues(data);
  // Read only, closed, and left as it was.
  EXPECT_EQ(gDisk.files["dados.ent"], kExampleFile);
  for (const FakeDisk::Handle& handle : gDisk.handles) EXPECT_FALSE(handle.open);
}

TEST_F(ReaderTest, ProblemDataNullValuesKeepTheInitialContent) {
  gDisk.files["dados.ent"] = "5\n,\n/\n''\n()\n3*,\n2.5\n,\n,\n''\n";
  ProblemData data;
  EXPECT_FALSE(captureFailure([&] { data = readProblemData(); }).has_value());
  EXPECT_EQ(data.nodeCount, 5);
  const double nulls[] = {data.length, data.leftTemperature, data.rightTemperature,
                          data.conductivity, data.heatSource};
  for (double value : nulls) EXPECT_EQ(std::bit_cast<std::uint64_t>(value), 0u);
  EXPECT_EQ(data.expansionCoefficient, 2.5);
  EXPECT_EQ(std::bit_cast<std::uint64_t>(data.youngsModulus), 0u);
  EXPECT_EQ(std::bit_cast<std::uint64_t>(data.sectionArea), 0u);
  EXPECT_EQ(std::string(data.title, sizeof data.title), std::string(100, '\0'));
}

TEST_F(ReaderTest, ProblemDataFailures) {
  struct Case {
    std::string bytes;
    int number;
  } cases[] = {
      {"51 1.0 0 1.0D2 45.0 0.0 1.2E-5 2.1e11 1.0E-4 'Barra de teste'\n", 6501},
      {"51\n1.0\n0\n1.0D2\n45.0\n0.0\n1.2E-5\n2.1e11\n1.0E-4\n", 6501},
      // a forgotten value: the blank record is passed over and the quoted title
      // reaches the last real read
      {"51\n1.0\n\n1.0D2\n45.0\n0.0\n1.2E-5\n2.1e11\n1.0E-4\n'T'\n", 6504},
      {"51\n1.0\n\n1.0D2\n45.0\n0.0\n1.2E-5\n2.1e11\n1.0E-4\n7\n", 6501},
      {"10.5\n1.0\n0\n1.0D2\n45.0\n0.0\n1.2E-5\n2.1e11\n1.0E-4\n'T'\n", 6101},
      {"51\n1.0\n0\n1.0D2\n45.0\n0.0\n1.2E-5\n2.1e11\n1.0E-4\n'Barra\n", 6501},
      {"2\n1.0\n0\n1.0D2\n45.0\n0.0\n1.2E-5\n2.1e11\n1.0E-4\n'T'\n", 6100},
      {"0\n1.0\n0\n1.0D2\n45.0\n0.0\n1.2E-5\n2.1e11\n1.0E-4\n'T'\n", 6100},
      {"-4\n1.0\n0\n1.0D2\n45.0\n0.0\n1.2E-5\n2.1e11\n1.0E-4\n'T'\n", 6100},
      {",\n1.0\n0\n1.0D2\n45.0\n0.0\n1.2E-5\n2.1e11\n1.0E-4\n'T'\n", 6100},
  };
  for (const Case& row : cases) {
    SCOPED_TRACE(printable(row.bytes));
    gDisk.files["dados.ent"] = row.bytes;
    const std::optional<Intercepted> report = captureFailure([] { readProblemData(); });
    ASSERT_TRUE(report.has_value());
    EXPECT_EQ(report->letter, 'F');
    EXPECT_EQ(report->number, row.number);
    EXPECT_EQ(report->kind, StatementKind::read);
    if (row.number == 6100) {
      EXPECT_EQ(report->message, "the number of grid points must be at least 3");
    }
  }
}

TEST_F(ReaderTest, ProblemDataTakesOneOrThreePoints) {
  for (const char* count : {"1", "3"}) {
    gDisk.files["dados.ent"] = std::string(count) + "\n1\n2\n3\n4\n5\n6\n7\n8\nT\n";
    ProblemData data;
    EXPECT_FALSE(captureFailure([&] { data = readProblemData(); }).has_value());
    EXPECT_EQ(data.nodeCount, std::atoi(count));
    EXPECT_EQ(data.sectionArea, 8.0);
    EXPECT_EQ(std::string(data.title, 3), "T  ");
  }
}

TEST_F(ReaderTest, ProblemDataMissingFileIsCreatedEmpty) {
  const std::optional<Intercepted> report = captureFailure([] { readProblemData(); });
  ASSERT_TRUE(report.has_value());
  EXPECT_EQ(report->number, 6501);
  EXPECT_EQ(report->kind, StatementKind::read);
  EXPECT_EQ(report->message, "end of file dados.ent reached during a read");
  ASSERT_EQ(gDisk.files.count("dados.ent"), 1u);
  EXPECT_EQ(gDisk.files["dados.ent"], "");
}

// On the real disk, through the platform's own file table.
class ProblemDataOnDisk : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = std::filesystem::current_path();
    folder_ = std::filesystem::temp_directory_path() /
              ("zandovir-reader-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
               "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
    std::filesystem::current_path(folder_);
  }
  void TearDown() override {
    setFailureInterceptor(nullptr);
    closeAllTextFilesAtExit();
    std::filesystem::current_path(saved_);
    std::filesystem::remove_all(folder_);
  }
  std::filesystem::path saved_, folder_;
};

TEST_F(ProblemDataOnDisk, ExampleFile) {
  {
    std::ofstream out("dados.ent", std::ios::binary);
    out << kExampleFile;
  }
  ProblemData data;
  EXPECT_FALSE(captureFailure([&] { data = readProblemData(); }).has_value());
  expectExampleValues(data);
  std::ifstream in("dados.ent", std::ios::binary);
  const std::string kept((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(kept, kExampleFile);
}

TEST_F(ProblemDataOnDisk, MissingFileIsCreatedEmpty) {
  const std::optional<Intercepted> report = captureFailure([] { readProblemData(); });
  ASSERT_TRUE(report.has_value());
  EXPECT_EQ(report->number, 6501);
  ASSERT_TRUE(std::filesystem::exists("dados.ent"));
  EXPECT_EQ(std::filesystem::file_size("dados.ent"), 0u);
}

}  // namespace
}  // namespace zandovir
