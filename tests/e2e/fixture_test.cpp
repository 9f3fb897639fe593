// Whole runs compared byte for byte with expected files. The expected files come
// from fixtures/make_expected.py, an independent implementation of the output rules,
// and were checked by hand: sizes 752 + 296n and 74n, the headings and column
// positions, the closed-form stress 5.6e7 and the forces 5600 and 5760 of the heated bar.
#include <gtest/gtest.h>

#include <string>

#include "harness.h"

namespace zandovir::e2e {
namespace {

struct FixtureCase {
  const char* folder;
  const char* clock;  // arguments of the fixed-clock program
};

class Fixtures : public ::testing::TestWithParam<FixtureCase> {};

TEST_P(Fixtures, EveryOutputFileIsByteExact) {
  const FixtureCase& c = GetParam();
  const fs::path fixture = fs::path(ZANDOVIR_SOURCE_DIR) / "tests/e2e/fixtures" / c.folder;
  Scratch s;
  for (const auto& entry : fs::directory_iterator(fixture / "input")) {
    fs::copy_file(entry.path(), s.dir / entry.path().filename());
  }
  // Stale tables of an earlier, longer run must not survive.
  s.put("T.dat", std::string(74 * 200, 'x'));
  const RunResult r = s.run(fixedClockBinary(), c.clock);
  ASSERT_EQ(r.status, 0) << r.errors;
  for (const char* name : {"saida.txt", "T.dat", "u.dat", "e.dat", "s.dat", "T.gnu", "u.gnu", "e.gnu", "s.gnu"}) {
    SCOPED_TRACE(name);
    EXPECT_BYTES_EQ(readFile(fixture / "expected" / name), s.get(name));
  }
  EXPECT_EQ(s.get("dados.ent"), readFile(fixture / "input" / "dados.ent")) << "the data file is only read";
}

INSTANTIATE_TEST_SUITE_P(Cases, Fixtures,
                         ::testing::Values(FixtureCase{"example", "2024 3 5 9 7 3"},
                                           FixtureCase{"heated_bar", "2024 11 15 14 35 42"},
                                           FixtureCase{"long_bar", "2025 6 30 10 10 5"}),
                         [](const ::testing::TestParamInfo<FixtureCase>& info) {
                           return std::string(info.param.folder);
                         });

TEST(Fixtures, RepeatedRunsDoNotGrowThePlotScripts) {
  const fs::path fixture = fs::path(ZANDOVIR_SOURCE_DIR) / "tests/e2e/fixtures/heated_bar";
  Scratch s;
  for (const auto& entry : fs::directory_iterator(fixture / "input")) {
    fs::copy_file(entry.path(), s.dir / entry.path().filename());
  }
  for (int run = 0; run < 3; ++run) ASSERT_EQ(s.run(fixedClockBinary(), "2024 11 15 14 35 42").status, 0);
  EXPECT_BYTES_EQ(readFile(fixture / "expected" / "T.gnu"), s.get("T.gnu"));
}

TEST(Fixtures, ClockNotAvailable) {
  const fs::path fixture = fs::path(ZANDOVIR_SOURCE_DIR) / "tests/e2e/fixtures/heated_bar";
  Scratch s;
  for (const auto& entry : fs::directory_iterator(fixture / "input")) {
    fs::copy_file(entry.path(), s.dir / entry.path().filename());
  }
  ASSERT_EQ(s.run(fixedClockBinary(), "none").status, 0);
  const std::string report = s.get("saida.txt");
  EXPECT_EQ(report.rfind("\r\n     Caso e Dia = Barra aquecida (-2/-2/-214)  ", 0), 0u);
  EXPECT_NE(report.find("     Hora = -2:-2:-2\r\n"), std::string::npos);
}

}  // namespace
}  // namespace zandovir::e2e
