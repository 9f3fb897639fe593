#include <gtest/gtest.h>

#include <cstring>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "outputs/outputs.h"
#include "textio/record_writer.h"

namespace zandovir {
namespace {

// Formats one write operation; a failure comes back as "FAIL <number>".
std::string run(const std::string& layout, const std::vector<LayoutItem>& items) {
  CompiledLayout compiled;
  const int error = compileLayout(layout.data(), layout.size(), &compiled);
  if (error != 0) return "FAIL " + std::to_string(error);
  char out[4096];
  const std::int64_t length = formatWithLayout(compiled, items, out, sizeof out);
  if (length < 0) return "FAIL " + std::to_string(-length);
  return std::string(out, static_cast<std::size_t>(length));
}

LayoutItem text(const std::string& s) { return LayoutItem::ofText(s.data(), s.size()); }
// Literals keep their bytes for the whole test: an item built from a temporary
// string would point at freed storage by the time a table row is written.
LayoutItem text(const char* s) { return LayoutItem::ofText(s, std::strlen(s)); }
LayoutItem real(double v) { return LayoutItem::ofReal(v); }

TEST(ProgramLayouts, HeaderRecords) {
  const std::string caseLabel = std::string("Barra 1 (5/3/2024)") + std::string(94, ' ');
  const std::string timeLabel = "9:7:3   ";
  const std::string out = run(kHeaderLayout, {text(caseLabel), text(timeLabel)});
  EXPECT_EQ(out, "\r\n     Caso e Dia = " + caseLabel + "\r\n     Hora = " + timeLabel + "\r\n");
  EXPECT_EQ(out.size(), 156u);
}

TEST(ProgramLayouts, HeadingsAreFourRecordsWithColumnNamesAt28And52) {
  struct Row {
    Field field;
    const char* title;
    char letter;
    std::size_t bytes;
  } rows[] = {
      {Field::temperature, "TEMPERATURAS (T)", 'T', 95},
      {Field::displacement, "DESLOCAMENTOS (u)", 'u', 96},
      {Field::strain, "DEFORMA\xC7\xD5" "ES (e)", 'e', 94},
      {Field::stress, "TENS\xD5" "ES (s)", 's', 90},
  };
  for (const Row& row : rows) {
    const std::string columns = std::string("   X") + std::string(23, ' ') + row.letter + " anal\xEDtico" +
                                std::string(13, ' ') + row.letter + " num\xE9rico";
    ASSERT_EQ(columns.size(), 61u);
    const std::string expected = "\r\n          " + std::string(row.title) + "\r\n" + columns + "\r\n\r\n";
    const std::string out = run(headingLayout(row.field), {});
    EXPECT_EQ(out, expected) << row.title;
    EXPECT_EQ(out.size(), row.bytes) << row.title;
  }
}

TEST(ProgramLayouts, TheTemperatureHeadingIgnoresTheLayoutStoredAfterIt) {
  const std::string joined = std::string(headingLayout(Field::temperature)) + kRowLayout;
  EXPECT_EQ(run(joined, {}), run(headingLayout(Field::temperature), {}));
}

TEST(ProgramLayouts, RowIsThreeFieldsOf24Columns) {
  const std::string out = run(kRowLayout, {real(0.0), real(1.0), real(-2.5e-7)});
  EXPECT_EQ(out, "   0.000000000000000E+00   1.000000000000000E+00  -2.500000000000000E-07\r\n");
}

TEST(ProgramLayouts, CompiledRowEqualsTheInterpretedRowLayout) {
  const unsigned seed = std::random_device{}();
  std::mt19937_64 random(seed);
  CompiledLayout compiled;
  ASSERT_EQ(compileLayout(kRowLayout, std::strlen(kRowLayout), &compiled), 0);
  for (int i = 0; i < 20000; ++i) {
    double v[3];
    for (double& value : v) {
      const std::uint64_t bits = random();
      std::memcpy(&value, &bits, sizeof value);
    }
    const LayoutItem items[] = {real(v[0]), real(v[1]), real(v[2])};
    char interpreted[256];
    char direct[74];
    const std::int64_t length = formatWithLayout(compiled, items, interpreted, sizeof interpreted);
    ASSERT_EQ(formatThreeFieldRow(v[0], v[1], v[2], direct), 74u);
    ASSERT_EQ(std::string(interpreted, static_cast<std::size_t>(length)), std::string(direct, 74))
        << "seed " << seed << std::hexfloat << " values " << v[0] << " " << v[1] << " " << v[2];
  }
}

TEST(ProgramLayouts, PlotTitleRecordHasNoClosingApostrophe) {
  const std::string label = std::string("Barra 1 (5/3/2024)") + std::string(94, ' ');
  const std::string layoutAndCommand = std::string(kPlotTitleLayout) + "wgnuplot T.gnu";
  const std::string out = run(layoutAndCommand, {text(label)});
  EXPECT_EQ(out, "set title '" + label + "\r\nreplot\r\n");
  EXPECT_EQ(out.find("\r\n"), 123u);
}

TEST(ProgramLayouts, ForceBlock) {
  const std::string out = run(kForceLayout, {real(5600.0), real(-5760.0), real(5600.0), real(0.0)});
  const std::string expected = std::string("\r\n     FOR\xC7" "AS NOS CONTORNOS\r\n") +
                               "   5.600000000000000E+03 = esquerdo (anal\xEDtico)\r\n" +
                               "  -5.760000000000000E+03 = esquerdo (num\xE9rico)\r\n" +
                               "   5.600000000000000E+03 = direito (anal\xEDtico)\r\n" +
                               "   0.000000000000000E+00 = direito (num\xE9rico)\r\n";
  EXPECT_EQ(out, expected);
  EXPECT_EQ(out.size(), 221u) << "the minus sign takes one of the blanks";
}

struct Row {
  const char* layout;
  std::vector<LayoutItem> items;
  std::string expected;
};

TEST(LayoutRules, MovesTabsTextFieldsAndRecords) {
  const std::string five = "abcde";
  const std::string longer(120, 'z');
  const Row rows[] = {
      // A move at the very end of a record yields nothing.
      {"('a',5X,/,'b',3X)",          {},                  "a\r\nb\r\n"},
      {"(5X,'a')",                   {},                  "     a\r\n"},
      {"(T3,'a',T6,'b')",            {},                  "  a  b\r\n"},
      {"(X,'a')",                    {},                  " a\r\n"},
      {"(A8)",                       {text("12345678")},  "12345678\r\n"},
      {"(A112)",                     {text(five)},        std::string(107, ' ') + five + "\r\n"},
      {"(A112)",                     {text(longer)},      longer.substr(0, 112) + "\r\n"},
      {"(A)",                        {text(five)},        "abcde\r\n"},
      {"(A3)",                       {text(five)},        "abc\r\n"},
      {"('it''s')",                  {},                  "it's\r\n"},
      {"(/)",                        {},                  "\r\n\r\n"},
      {"()",                         {},                  "\r\n"},
      {"  ( 'a' , 2 x , 'b' )",      {},                  "a  b\r\n"},
      {"(a2,x,a2)",                  {text("pq"), text("rs")}, "pq rs\r\n"},
  };
  for (const Row& row : rows) EXPECT_EQ(run(row.layout, row.items), row.expected) << row.layout;
}

TEST(LayoutRules, GroupsRepetitionAndReversion) {
  const Row rows[] = {
      {"(2('a',A1))",                {text("x"), text("y")},                  "axay\r\n"},
      // Reversion: back to the last group directly inside the outer parentheses.
      {"('h',2(A1))",                {text("1"), text("2"), text("3")},       "h12\r\n3\r\n"},
      // Without a group: back to the layout start.
      {"('<',A1,'>')",               {text("1"), text("2")},                  "<1>\r\n<2>\r\n"},
      // After the last item the control steps up to the next data step still run.
      {"(A1,'-',A1,'=')",            {text("a")},                             "a-\r\n"},
      {"(2(2(A1),'|'))",             {text("a"), text("b"), text("c"), text("d")}, "ab|cd|\r\n"},
  };
  for (const Row& row : rows) EXPECT_EQ(run(row.layout, row.items), row.expected) << row.layout;
}

TEST(LayoutRules, ScaleFactorBelongsToOneWriteOperation) {
  EXPECT_EQ(run("(E12.4)", {real(1.5)}), "   .1500E+01\r\n");
  EXPECT_EQ(run("(1P,E12.4)", {real(1.5)}), "  1.5000E+00\r\n");
  EXPECT_EQ(run("(1PE12.4,E12.4)", {real(1.5), real(2.5)}), "  1.5000E+00  2.5000E+00\r\n");
  EXPECT_EQ(run("(E5.1)", {real(1.5e10)}), "*****\r\n") << "a number that does not fit is asterisks";
}

TEST(LayoutRules, ManyItemsAreNotLimitedByTheStepGuard) {
  // Each item costs a few control steps; a long write operation must still go through.
  std::vector<LayoutItem> items(400000, LayoutItem::ofText("a", 1));
  CompiledLayout compiled;
  ASSERT_EQ(compileLayout("(1000000(1X,A1))", 16, &compiled), 0);
  std::vector<char> out(1000000);
  EXPECT_EQ(formatWithLayout(compiled, items, out.data(), out.size()), 800002);
}

TEST(LayoutRules, MalformedLayoutsAreFailures) {
  std::string deep = "(";
  for (int i = 0; i < 17; ++i) deep += "(";
  deep += "'a'";
  for (int i = 0; i < 17; ++i) deep += ")";
  deep += ")";
  std::string sixteen = "(";
  for (int i = 0; i < 16; ++i) sixteen += "(";
  sixteen += "'a'";
  for (int i = 0; i < 16; ++i) sixteen += ")";
  sixteen += ")";
  const Row rows[] = {
      {"'a'",            {},               "FAIL 6981"},
      {"('a'",           {},               "FAIL 6982"},
      {"(('a')",         {},               "FAIL 6982"},
      {"(T0,'a')",       {},               "FAIL 6983"},
      {"('abc)",         {},               "FAIL 6985"},
      {"(Q5)",           {},               "FAIL 6986"},
      {"('a' 'b')",      {},               "FAIL 6986"},
      {"(E24)",          {},               "FAIL 6986"},
      {"(E24.15)",       {text("ab")},     "FAIL 6987"},
      {"('a')",          {text("ab")},     "FAIL 6988"},
  };
  for (const Row& row : rows) EXPECT_EQ(run(row.layout, row.items), row.expected) << row.layout;
  EXPECT_EQ(run(deep, {}), "FAIL 6984");
  EXPECT_EQ(run(sixteen, {}), "a\r\n");
}

TEST(LayoutRules, ItemsLeftOverWithNoDataStepAfterTheReversionPointAreRefused) {
  const Row rows[] = {
      // The only field stands before the last group, where reversion restarts.
      {"(E12.4,2(X))",      {real(1.5), real(2.5)},    "FAIL 6988"},
      {"(A1,'-',(X))",      {text("a"), text("b")},    "FAIL 6988"},
      // With a field inside the last group, reversion takes the items there.
      {"(A1,'-',(A1))",     {text("a"), text("b"), text("c")},  "a-b\r\nc\r\n"},
  };
  for (const Row& row : rows) EXPECT_EQ(run(row.layout, row.items), row.expected) << row.layout;
}

TEST(LayoutRules, RepetitionsBeyondAnyRecordAreRefusedNotRunForEver) {
  std::string nested = "(";
  for (int i = 0; i < 16; ++i) nested += "9(";
  for (int i = 0; i < 16; ++i) nested += ")";
  nested += ")";
  std::string thousand;
  for (int i = 0; i < 1000; ++i) thousand += "ab";
  const Row rows[] = {
      // Moves and scale factors alone write nothing, so no buffer ever fills.
      {"(999999(999999(999999(X))))",  {},  "FAIL 6989"},
      {"(999999(999999(1P)),'a')",     {},  "FAIL 6989"},
      {nested.c_str(),                 {},  "FAIL 6989"},
      // A large repetition that does end is still written.
      {"(1000('ab'))",                 {},  thousand + "\r\n"},
  };
  for (const Row& row : rows) EXPECT_EQ(run(row.layout, row.items), row.expected) << row.layout;
}

}  // namespace
}  // namespace zandovir
