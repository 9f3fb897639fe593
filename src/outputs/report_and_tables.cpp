#include <cstring>

#include "outputs/outputs.h"
#include "textio/record_writer.h"

namespace zandovir {

// Accented letters are single bytes of code page 1252; the string pieces are split
// where a hexadecimal escape would otherwise swallow the next letter.
const char kHeaderLayout[] = "(/,5X,'Caso e Dia = ',A112,/,5X,'Hora = ',A8)";
const char kRowLayout[] = "(3(1P,E24.15))";
const char kPlotTitleLayout[] = "('set title ''',A112,/,'replot')";
const char kForceLayout[] =
    "(/,5X,'FOR\xC7" "AS NOS CONTORNOS',/,1P,E24.15,' = esquerdo (anal\xEDtico)',/,1P,E24.15,"
    "' = esquerdo (num\xE9rico)',/,1P,E24.15,' = direito (anal\xEDtico)',/,1P,E24.15,"
    "' = direito (num\xE9rico)')";

namespace {

const char kTemperatureHeading[] =
    "(/,10X,'TEMPERATURAS (T)',/,T4,'X',T28,'T anal\xEDtico',T52,'T num\xE9rico',/)";
const char kDisplacementHeading[] =
    "(/,10X,'DESLOCAMENTOS (u)',/,T4,'X',T28,'u anal\xEDtico',T52,'u num\xE9rico',/)";
const char kStrainHeading[] =
    "(/,10X,'DEFORMA\xC7\xD5" "ES (e)',/,T4,'X',T28,'e anal\xEDtico',T52,'e num\xE9rico',/)";
const char kStressHeading[] =
    "(/,10X,'TENS\xD5" "ES (s)',/,T4,'X',T28,'s anal\xEDtico',T52,'s num\xE9rico',/)";

}  // namespace

const char* headingLayout(Field field) {
  switch (field) {
    case Field::temperature: return kTemperatureHeading;
    case Field::displacement: return kDisplacementHeading;
    case Field::strain: return kStrainHeading;
    case Field::stress: return kStressHeading;
  }
  return kTemperatureHeading;
}

void openReport(TextFile& report, const RunLabels& labels) {
  openTextFile(report, "saida.txt");
  const LayoutItem items[] = {LayoutItem::ofText(labels.caseLabel, sizeof labels.caseLabel),
                              LayoutItem::ofText(labels.timeLabel, sizeof labels.timeLabel)};
  writeWithLayout(report, kHeaderLayout, items);
}

void writeFieldHeading(TextFile& report, Field field) {
  writeWithLayout(report, headingLayout(field), {});
}

void finishReport(TextFile& report, const SolutionFields& fields) {
  const LayoutItem items[] = {LayoutItem::ofReal(fields.forceLeftAnalytic), LayoutItem::ofReal(fields.forceLeftNumeric),
                              LayoutItem::ofReal(fields.forceRightAnalytic),
                              LayoutItem::ofReal(fields.forceRightNumeric)};
  writeWithLayout(report, kForceLayout, items);
  closeTextFile(report);
}

void writeResultTable(const char* fileName, TextFile& report, Field field, std::int32_t n,
                      const double* coordinates, const double* closedForm, const double* numerical) {
  static TextFile table;
  openTextFile(table, fileName);
  writeFieldHeading(report, field);
  // Each row is laid out once, by the compiled form of the row layout, and the same
  // bytes go to the table and to the report.
  char row[74];
  for (std::int32_t i = 0; i < n; ++i) {
    formatThreeFieldRow(coordinates[i], closedForm[i], numerical[i], row);
    putBytes(table, row, sizeof row);
    putBytes(report, row, sizeof row);
  }
  closeTextFile(table);
}

}  // namespace zandovir
