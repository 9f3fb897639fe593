// The file layer against the real file system of a scratch folder, and against
// failing stubs swapped into the platform table.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "textio/failure.h"
#include "textio/text_file.h"

namespace zandovir {
namespace {

namespace fs = std::filesystem;

struct Reported {
  char letter;
  int number;
  StatementKind kind;
  std::string message;
};

void throwReport(const FailureReport& report) {
  throw Reported{report.letter, report.number, report.kind, report.message};
}

class TextFileTest : public ::testing::Test {
 protected:
  fs::path folder;
  fs::path previous;
  platform::FileOps savedOps = platform::fileOps();

  void SetUp() override {
    std::random_device device;
    folder = fs::temp_directory_path() / ("zandovir-textfile-" + std::to_string(device()));
    fs::create_directories(folder);
    previous = fs::current_path();
    fs::current_path(folder);
    setFailureInterceptor(throwReport);
  }
  void TearDown() override {
    platform::fileOps() = savedOps;
    setFailureInterceptor(nullptr);
    closeAllTextFilesAtExit();
    fs::current_path(previous);
    fs::remove_all(folder);
  }
  static void put(const std::string& name, const std::string& bytes) {
    std::ofstream(name, std::ios::binary) << bytes;
  }
  static std::string get(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
  }
  static Reported failureOf(void (*action)()) {
    try {
      action();
    } catch (const Reported& reported) {
      return reported;
    }
    return Reported{'-', 0, StatementKind::none, "no failure"};
  }
};

TEST_F(TextFileTest, FirstWriteCutsAtTheLastConsumedByteNotTheLastBuffered) {
  put("f.txt", "one\r\ntwo\r\nthree\r\n");
  static TextFile file;
  openTextFile(file, "f.txt");
  EXPECT_EQ(file.mode, FileMode::reading);
  skipRecord(file);
  putBytes(file, "X", 1);
  endRecord(file);
  closeTextFile(file);
  EXPECT_EQ(get("f.txt"), "one\r\nX\r\n");
}

TEST_F(TextFileTest, SixSkippedRecordsKeepTheirOwnLineEnds) {
  const std::string six = "a\nb\r\nc\nd\r\ne\nf\r\n";
  for (const std::string& tail : {std::string(), std::string("g\r\nh\r\n")}) {
    put("p.gnu", six + tail);
    static TextFile file;
    openTextFile(file, "p.gnu");
    for (int i = 0; i < 6; ++i) skipRecord(file);
    putBytes(file, "new", 3);
    endRecord(file);
    closeTextFile(file);
    EXPECT_EQ(get("p.gnu"), six + "new\r\n");
  }
}

TEST_F(TextFileTest, OpenedAndClosedWithoutWritingKeepsItsBytes) {
  put("t.dat", "old table\r\n");
  static TextFile file;
  openTextFile(file, "t.dat");
  closeTextFile(file);
  EXPECT_EQ(get("t.dat"), "old table\r\n");
}

TEST_F(TextFileTest, AMissingFileIsCreatedEmptyInWritingMode) {
  static TextFile file;
  openTextFile(file, "new.txt");
  EXPECT_EQ(file.mode, FileMode::writing);
  closeTextFile(file);
  EXPECT_TRUE(fs::exists("new.txt"));
  EXPECT_EQ(get("new.txt"), "");
}

TEST_F(TextFileTest, ALastRecordWithoutLineFeedIsCompleteAndTheSuppliedLineFeedIsNotWritten) {
  put("f.txt", "a\r\nlast");
  static TextFile file;
  openTextFile(file, "f.txt");
  skipRecord(file);
  skipRecord(file);  // the reader supplies the LF after "last"
  putBytes(file, "next", 4);
  endRecord(file);
  closeTextFile(file);
  EXPECT_EQ(get("f.txt"), "a\r\nlastnext\r\n");
  EXPECT_EQ(failureOf([] {
              put("g.txt", "only");
              static TextFile g;
              openTextFile(g, "g.txt");
              skipRecord(g);
              skipRecord(g);
            }).number,
            6501);
}

TEST_F(TextFileTest, BytesOfEveryValueSurviveRecordsLongerThanTheBuffer) {
  std::string record;
  std::mt19937 random(7);
  for (std::size_t i = 0; i < 3 * TextFile::kBufferSize + 17; ++i) {
    const char byte = static_cast<char>(random() % 256);
    record += byte == '\n' ? 'x' : byte;
  }
  put("long.txt", record + "\n" + record + "\r\n");
  static TextFile file;
  openTextFile(file, "long.txt");
  skipRecord(file);
  putBytes(file, record.data(), record.size());
  endRecord(file);
  closeTextFile(file);
  EXPECT_EQ(get("long.txt"), record + "\n" + record + "\r\n");
}

TEST_F(TextFileTest, TheSameFileUnderAnotherNameIsAnOpenFailure) {
  put("a.txt", "x\n");
  fs::create_hard_link("a.txt", "b.txt");
  const Reported reported = failureOf([] {
    static TextFile first;
    static TextFile second;
    openTextFile(first, "a.txt");
    openTextFile(second, "./b.txt");
  });
  EXPECT_EQ(reported.letter, 'F');
  EXPECT_EQ(reported.number, 6414);
  EXPECT_EQ(reported.kind, StatementKind::open);
}

struct StubCase {
  const char* name;
  platform::SysError error;
  int number;
};

TEST_F(TextFileTest, WriteFailuresCarryTheSystemsReason) {
  static platform::SysError injected;
  const StubCase cases[] = {
      {"disk full",    platform::SysError::diskFull,     6422},
      {"refused",      platform::SysError::writeRefused, 6421},
      {"access",       platform::SysError::accessDenied, 6421},
      {"other",        platform::SysError::other,        6421},
  };
  for (const StubCase& c : cases) {
    injected = c.error;
    platform::fileOps().write = [](platform::NativeFile, const void*, std::size_t) { return injected; };
    const Reported reported = failureOf([] {
      static TextFile file;
      openTextFile(file, "w.txt");
      putBytes(file, "abc", 3);
      closeTextFile(file);
    });
    platform::fileOps() = savedOps;
    closeAllTextFilesAtExit();
    EXPECT_EQ(reported.number, c.number) << c.name;
    EXPECT_EQ(reported.kind, StatementKind::close) << c.name << ": the last block is written at close";
  }
}

TEST_F(TextFileTest, OpenFailuresAreToldApart) {
  static platform::SysError injected;
  const StubCase cases[] = {
      {"access",   platform::SysError::accessDenied, 6414},
      {"appeared", platform::SysError::exists,       6415},
      {"missing",  platform::SysError::notFound,     6416},
      {"handles",  platform::SysError::tooManyFiles, 6417},
  };
  for (const StubCase& c : cases) {
    injected = c.error;
    platform::fileOps().createNew = [](const char*, platform::NativeFile*) { return injected; };
    const Reported reported = failureOf([] {
      static TextFile file;
      openTextFile(file, "absent.txt");
    });
    EXPECT_EQ(reported.number, c.number) << c.name;
    EXPECT_EQ(reported.kind, StatementKind::open) << c.name;
  }
}

TEST_F(TextFileTest, AReadErrorIsF6500) {
  put("r.txt", "abc\n");
  platform::fileOps().read = [](platform::NativeFile, void*, std::size_t, std::size_t* got) {
    *got = 0;
    return platform::SysError::other;
  };
  const Reported reported = failureOf([] {
    static TextFile file;
    openTextFile(file, "r.txt");
    skipRecord(file);
  });
  EXPECT_EQ(reported.number, 6500);
  EXPECT_EQ(reported.kind, StatementKind::read);
}

TEST(FailureText, FileFamilyHasEmptyParenthesesOtherFamilyTwoLines) {
  struct Row {
    FailureReport report;
    const char* text;
  } rows[] = {
      {{'F', 6501, StatementKind::read,  "end"},                                  "F6501: READ() - end"},
      {{'F', 6414, StatementKind::open,  "refused"},                              "F6414: OPEN() - refused"},
      {{'F', 6422, StatementKind::close, "full"},                                 "F6422: CLOSE() - full"},
      {{'F', 6981, StatementKind::write, "layout"},                               "F6981: WRITE() - layout"},
      {{'M', 6103, StatementKind::math,  "floating-point error: divide by zero"}, "M6103: MATH\r\n- floating-point error: divide by zero"},
      {{'F', 6772, StatementKind::none,  "memory"},                               "F6772\r\n- memory"},
  };
  for (const Row& row : rows) {
    char text[256];
    const std::size_t length = composeFailureText(row.report, text, sizeof text);
    EXPECT_EQ(std::string(text, length), row.text);
  }
}

}  // namespace
}  // namespace zandovir
