// The ten values of the problem data file and the reader that fills them.
#pragma once

#include <cstdint>

#include "textio/text_file.h"

namespace zandovir {

struct ProblemData {
  std::int32_t nodeCount = 0;
  double length = 0.0;
  double leftTemperature = 0.0;
  double rightTemperature = 0.0;
  double conductivity = 0.0;
  double heatSource = 0.0;
  double expansionCoefficient = 0.0;
  double youngsModulus = 0.0;
  double sectionArea = 0.0;
  char title[100] = {};  // 100 zero bytes until a value is read
};

// Free-form read operations on an open file. Each starts at the file's position,
// takes at most one value and leaves the file at the start of the next record.
// They return 0, or the number of the failure (6501, 6500, 6101, ...), never throw;
// a target that receives a null value is left unchanged.
int scanInteger(TextFile& file, std::int32_t* target);
int scanReal(TextFile& file, double* target);
int scanText(TextFile& file, char* target, int width);

// The same operations at run level: any failure ends the run (kind READ).
void readInteger(TextFile& file, std::int32_t* target);
void readReal(TextFile& file, double* target);
void readText(TextFile& file, char* target, int width);

// Opens dados.ent in the current folder, reads the ten values and closes it.
// A node count of 2, 0 or less is refused here, before any output exists.
ProblemData readProblemData();

}  // namespace zandovir
