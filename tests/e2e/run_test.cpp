// The built program, run as a user runs it, in a scratch folder.
#include <gtest/gtest.h>

#include <vector>

#include "harness.h"

namespace zandovir::e2e {
namespace {

std::string dataFile(const std::string& n, const std::string& length, const std::string& tl, const std::string& tr,
                     const std::string& k, const std::string& q, const std::string& title = "'Caso'") {
  return n + "\r\n" + length + "\r\n" + tl + "\r\n" + tr + "\r\n" + k + "\r\n" + q +
         "\r\n1.2E-5\r\n2.1e11\r\n1.0E-4\r\n" + title + "\r\n";
}

void putScripts(const Scratch& s) {
  for (const char* field : {"T", "u", "e", "s"}) {
    s.put(std::string(field) + ".gnu", sixUserRecords(std::string(field) + ".dat"));
  }
}

TEST(Run, NormalRunWritesEveryFileAndLaunchesTheSixCommandsInOrder) {
  Scratch s;
  s.put("dados.ent", "51 pontos\r\n1.0\r\n0\r\n1.0D2\r\n45.0, condutividade\r\n0.0\r\n1.2E-5\r\n2.1e11\r\n1.0E-4\r\n"
                     "'Barra de teste'\r\n");
  putScripts(s);
  const RunResult r = s.run(programBinary());
  EXPECT_EQ(r.status, 0) << r.errors;
  EXPECT_EQ(r.errors, "") << "nothing is printed on a run without a terminal";
  EXPECT_EQ(r.output, "");
  EXPECT_EQ(r.launches,
            "notepad dados.ent\nwgnuplot T.gnu\nwgnuplot u.gnu\nwgnuplot e.gnu\nwgnuplot s.gnu\nnotepad saida.txt\n");
  EXPECT_EQ(s.get("saida.txt").size(), 752u + 296u * 51u);
  for (const char* table : {"T.dat", "u.dat", "e.dat", "s.dat"}) EXPECT_EQ(s.get(table).size(), 74u * 51u) << table;
  for (const char* field : {"T", "u", "e", "s"}) {
    const std::string script = s.get(std::string(field) + ".gnu");
    const std::string user = sixUserRecords(std::string(field) + ".dat");
    ASSERT_EQ(script.substr(0, user.size()), user) << field;
    const std::string tail = script.substr(user.size());
    ASSERT_EQ(tail.size(), 123u + 2u + 6u + 2u) << field;
    EXPECT_EQ(tail.substr(0, 26), "set title 'Barra de teste ");
    EXPECT_EQ(tail.substr(123), "\r\nreplot\r\n");
  }
  // The rows of the report are the rows of the tables.
  const std::string report = s.get("saida.txt");
  for (const char* table : {"T.dat", "u.dat", "e.dat", "s.dat"}) {
    EXPECT_NE(report.find(s.get(table)), std::string::npos) << table;
  }
}

TEST(Run, TheEditorRunsBeforeTheDataAreRead) {
  Scratch s;
  s.put("dados.ent", dataFile("3", "1.0", "0", "100", "45", "0"));
  putScripts(s);
  // The fake editor changes the node count; the run must use the saved value.
  writeFile(s.bin / "edit.sh", "sed -i 's/^3\\r$/7\\r/' dados.ent\n");
  const RunResult r = s.run(programBinary());
  EXPECT_EQ(r.status, 0) << r.errors;
  EXPECT_EQ(s.get("T.dat").size(), 74u * 7u);
}

struct FailureCase {
  const char* name;
  std::string data;         // dados.ent, or "-" for none
  bool scripts;             // put the four plot scripts
  const char* box;          // the box text as the terminal shows it
  std::vector<std::string> present;  // files that must exist afterwards
  std::vector<std::string> absent;   // files that must not exist
  std::string prefix = "";
};

void PrintTo(const FailureCase& c, std::ostream* out) { *out << c.name; }

class Failures : public ::testing::TestWithParam<FailureCase> {};

TEST_P(Failures, EndWithTheirReportExitStatusOneAndTheFilesLeft) {
  const FailureCase& c = GetParam();
  if (c.prefix.find("ulimit -v") != std::string::npos && builtWithAddressSanitizer()) {
    GTEST_SKIP() << "an AddressSanitizer build cannot start under ulimit -v";
  }
  Scratch s;
  if (c.data != "-") s.put("dados.ent", c.data);
  if (c.scripts) putScripts(s);
  const RunResult r = s.run(programBinary(), "", c.prefix);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.errors, std::string("run-time error\n") + c.box + "\n");
  for (const std::string& name : c.present) EXPECT_TRUE(s.has(name)) << name;
  for (const std::string& name : c.absent) EXPECT_FALSE(s.has(name)) << name;
}

const std::vector<std::string> kAllOutputs = {"saida.txt", "T.dat", "u.dat", "e.dat", "s.dat"};

INSTANTIATE_TEST_SUITE_P(
    Cases, Failures,
    ::testing::Values(
        FailureCase{"MissingData", "-", true, "F6501: READ() - end of file dados.ent reached during a read",
                    {"dados.ent"}, kAllOutputs},
        FailureCase{"NineValues", "51\n1.0\n0\n100\n45\n0\n1.2e-5\n2.1e11\n1e-4\n", true,
                    "F6501: READ() - end of file dados.ent reached during a read", {}, kAllOutputs},
        FailureCase{"RealNodeCount", dataFile("10.5", "1", "0", "100", "45", "0"), true,
                    "F6101: READ() - invalid character in an integer value in file dados.ent", {}, kAllOutputs},
        FailureCase{"TwoNodes", dataFile("2", "1", "0", "100", "45", "0"), true,
                    "F6100: READ() - the number of grid points must be at least 3", {}, kAllOutputs},
        FailureCase{"NoNodes", dataFile("0", "1", "0", "100", "45", "0"), true,
                    "F6100: READ() - the number of grid points must be at least 3", {}, kAllOutputs},
        FailureCase{"OneNode", dataFile("1", "1", "0", "100", "45", "0"), true,
                    "M6103: MATH\n- floating-point error: divide by zero", {"saida.txt"},
                    {"T.dat", "u.dat", "e.dat", "s.dat"}},
        FailureCase{"OneNodeNoLength", dataFile("1", "0", "0", "100", "45", "0"), true,
                    "M6101: MATH\n- floating-point error: invalid", {"saida.txt"}, {"T.dat"}},
        FailureCase{"NoConductivity", dataFile("11", "1", "0", "100", "0", "5"), true,
                    "M6103: MATH\n- floating-point error: divide by zero", {"saida.txt"}, {"T.dat"}},
        FailureCase{"NoConductivityNoSource", dataFile("11", "1", "0", "100", "0", "0"), true,
                    "M6101: MATH\n- floating-point error: invalid", {"saida.txt"}, {"T.dat"}},
        FailureCase{"NoLength", dataFile("11", "0", "0", "100", "45", "0"), true,
                    "M6101: MATH\n- floating-point error: invalid", {"saida.txt", "T.dat", "u.dat"},
                    {"e.dat", "s.dat"}},
        FailureCase{"StressOverflow", "11\n1\n0\n100\n45\n0\n1\n1e308\n1\n'x'\n", true,
                    "M6104: MATH\n- floating-point error: overflow", {"saida.txt"}, {"T.dat"}},
        FailureCase{"SquareOverflow", dataFile("11", "1e160", "0", "100", "45", "0"), true,
                    "M6203: MATH\n- **: OVERFLOW error", {"saida.txt"}, {"T.dat"}},
        FailureCase{"MissingPlotScript", dataFile("5", "1", "0", "100", "45", "0"), false,
                    "F6501: READ() - end of file T.gnu reached during a read", {"saida.txt", "T.dat", "T.gnu"},
                    {"u.dat"}},
        FailureCase{"HugeNodeCount", dataFile("2000000000", "1", "0", "100", "45", "0"), true,
                    "F6772\n- insufficient memory: 240000000000 bytes of arrays cannot be obtained", {"saida.txt"},
                    {"T.dat"}},
        FailureCase{"AddressSpaceLimit", dataFile("10000000", "1", "0", "100", "45", "0"), true,
                    "F6772\n- insufficient memory: 1200000000 bytes of arrays cannot be obtained", {"saida.txt"},
                    {"T.dat"}, "ulimit -v 400000;"}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

TEST(Run, OneNodeLeavesTheReportWithItsHeaderOnly) {
  Scratch s;
  s.put("dados.ent", dataFile("1", "1", "0", "100", "45", "0"));
  putScripts(s);
  const RunResult r = s.run(programBinary());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(s.get("saida.txt").size(), 156u);
}

TEST(Run, ZeroLengthCompletesTheTemperatureAndDisplacementStages) {
  Scratch s;
  s.put("dados.ent", dataFile("4", "0", "0", "100", "45", "0"));
  putScripts(s);
  const RunResult r = s.run(programBinary());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(s.get("T.dat").size(), 4u * 74u);
  EXPECT_EQ(s.get("u.dat").size(), 4u * 74u);
  EXPECT_EQ(r.launches, "notepad dados.ent\nwgnuplot T.gnu\nwgnuplot u.gnu\n");
  EXPECT_EQ(s.get("saida.txt").size(), 156u + 95u + 96u + 2u * 4u * 74u);
}

TEST(Run, AShortPlotScriptIsLeftAsItWas) {
  Scratch s;
  s.put("dados.ent", dataFile("5", "1", "0", "100", "45", "0"));
  putScripts(s);
  const std::string five = "a\r\nb\r\nc\r\nd\ne\r\n";
  s.put("u.gnu", five);
  const RunResult r = s.run(programBinary());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.errors, "run-time error\nF6501: READ() - end of file u.gnu reached during a read\n");
  EXPECT_EQ(s.get("u.gnu"), five);
  EXPECT_EQ(s.get("T.dat").size(), 5u * 74u);
  EXPECT_EQ(s.get("u.dat").size(), 5u * 74u) << "the table is complete before the script is refreshed";
  EXPECT_EQ(r.launches, "notepad dados.ent\nwgnuplot T.gnu\n");
}

TEST(Run, ThreeNodesMakeTheSmallestReport) {
  Scratch s;
  s.put("dados.ent", dataFile("3", "1", "0", "100", "45", "10"));
  putScripts(s);
  ASSERT_EQ(s.run(programBinary()).status, 0);
  const std::string report = s.get("saida.txt");
  EXPECT_EQ(report.size(), 1640u);
  std::size_t records = 0;
  for (std::size_t at = report.find("\r\n"); at != std::string::npos; at = report.find("\r\n", at + 2)) ++records;
  EXPECT_EQ(records, 37u);
  for (const char* table : {"T.dat", "u.dat", "e.dat", "s.dat"}) EXPECT_EQ(s.get(table).size(), 222u) << table;
}

TEST(Terminal, TheBoxWaitsForOkThenTheExitPromptDefaultsToNo) {
  Scratch s;  // no dados.ent: the first read meets the end of the file
  putScripts(s);
  const RunResult r = runInTerminal(s, programBinary(), "\r\r\r");
  EXPECT_EQ(r.status, 1) << r.output;
  const std::string& shown = r.output;
  const std::size_t box = shown.find("run-time error");
  const std::size_t text = shown.find("F6501: READ() - end of file dados.ent reached during a read");
  const std::size_t ok = shown.find("[OK]");
  const std::size_t caption = shown.find("zandovir", ok == std::string::npos ? 0 : ok);
  const std::size_t prompt = shown.find("Program Terminated with exit code 1");
  const std::size_t question = shown.find("Exit Window? [y/N]");
  const std::size_t open = shown.find("stays open");
  ASSERT_NE(box, std::string::npos) << shown;
  EXPECT_LT(box, text) << shown;
  EXPECT_LT(text, ok) << shown;
  EXPECT_LT(ok, caption) << shown;
  EXPECT_LT(caption, prompt) << shown;
  EXPECT_LT(prompt, question) << shown;
  EXPECT_LT(question, open) << "Enter answers No: " << shown;
  EXPECT_NE(shown.find("ZANDOVIR"), std::string::npos) << "the terminal's title: " << shown;
}

TEST(Terminal, YesClosesAtOnce) {
  Scratch s;
  putScripts(s);
  const RunResult r = runInTerminal(s, programBinary(), "\ry\r");
  EXPECT_EQ(r.status, 1) << r.output;
  EXPECT_NE(r.output.find("Exit Window? [y/N]"), std::string::npos) << r.output;
  EXPECT_EQ(r.output.find("stays open"), std::string::npos) << r.output;
}

TEST(Terminal, ANormalRunShowsRunningThenFinished) {
  Scratch s;
  s.put("dados.ent", dataFile("5", "1", "0", "100", "45", "10"));
  putScripts(s);
  const RunResult r = runInTerminal(s, programBinary(), "");
  EXPECT_EQ(r.status, 0) << r.output;
  const std::size_t running = r.output.find("Running");
  const std::size_t finished = r.output.find("Finished");
  ASSERT_NE(running, std::string::npos) << r.output;
  EXPECT_LT(running, finished) << r.output;
  EXPECT_EQ(r.output.find("Exit Window"), std::string::npos) << "no prompt at the end of a normal run";
}

}  // namespace
}  // namespace zandovir::e2e
