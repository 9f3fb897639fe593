// The run's files and viewers: the report, the result tables, the plot scripts and
// the command runner.
#pragma once

#include <cstddef>

#include "run/run_labels.h"
#include "solver/fields.h"
#include "textio/text_file.h"

namespace zandovir {

enum class Field { temperature, displacement, strain, stress };

// Opens saida.txt and writes its header from the case label and the time label.
void openReport(TextFile& report, const RunLabels& labels);
// Writes the four heading records of a field to the report.
void writeFieldHeading(TextFile& report, Field field);
// Writes the end-force block and closes the report.
void finishReport(TextFile& report, const SolutionFields& fields);

// Writes the table file of a field (one row per node) and the same rows, after the
// field's heading, to the report. The arrays hold n doubles.
void writeResultTable(const char* fileName, TextFile& report, Field field, std::int32_t n,
                      const double* coordinates, const double* closedForm, const double* numerical);

// Keeps the first six records of a plot script and writes the title record and
// "replot" after them.
void refreshPlotScript(const char* fileName, const RunLabels& labels);

// Runs a command text (trailing blanks dropped) through the command interpreter and
// waits; false when the interpreter could not start or returned -1.
bool runCommand(const char* command, std::size_t length);

// The layouts of the output records, as the program stores them (code page 1252).
extern const char kHeaderLayout[];
extern const char kRowLayout[];
extern const char kPlotTitleLayout[];
extern const char kForceLayout[];
const char* headingLayout(Field field);

}  // namespace zandovir
