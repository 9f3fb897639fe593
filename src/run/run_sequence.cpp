#include "run/run_sequence.h"

#include <cstring>

#include "outputs/outputs.h"
#include "platform/platform.h"
#include "run/problem_data.h"
#include "run/run_labels.h"
#include "solver/fields.h"
#include "textio/failure.h"
#include "textio/text_file.h"

namespace zandovir {
namespace {

// The records of the run: one of each for the whole run.
ProblemData gData;
RunLabels gLabels;
SolutionFields gFields;
TridiagonalSystem gSystem;
TextFile gReport;

// Table, then plot script and gnuplot, for one field.
void fieldStage(Field field, const char* table, const char* script, const char* command,
                const double* closedForm, const double* numerical) {
  writeResultTable(table, gReport, field, gData.nodeCount, gFields.x, closedForm, numerical);
  refreshPlotScript(script, gLabels);
  const bool launched = runCommand(command, std::strlen(command));
  static_cast<void>(launched);  // stored, never tested
}

}  // namespace

int runProgram() {
  platform::setStatus("Running");
  setUpRunArithmetic();
  const bool captionSet = platform::setCaption("ZANDOVIR");                       // 1
  static_cast<void>(captionSet);
  buildRunStamp(gLabels);                                                          // 2
  const bool editorRan = runCommand("notepad dados.ent", 17);                       // 3
  static_cast<void>(editorRan);
  gData = readProblemData();                                                       // 4
  buildCaseLabel(gLabels, gData.title);                                            // 5
  openReport(gReport, gLabels);                                                    // 6
  createFields(gData.nodeCount, gFields, gSystem);                                 // 7
  buildGrid(gData, gFields);                                                       // 8
  computeClosedForm(gData, gFields);                                               // 9
  buildThermalSystem(gData, gFields, gSystem);                                     // 10
  solveTridiagonal(gData.nodeCount, gSystem, gFields.tNumeric);
  fieldStage(Field::temperature, "T.dat", "T.gnu", "wgnuplot T.gnu",               // 11
             gFields.tAnalytic, gFields.tNumeric);
  buildMechanicalSystem(gData, gFields, gSystem);                                  // 12
  solveTridiagonal(gData.nodeCount, gSystem, gFields.uNumeric);
  fieldStage(Field::displacement, "u.dat", "u.gnu", "wgnuplot u.gnu",              // 13
             gFields.uAnalytic, gFields.uNumeric);
  computeStrain(gData, gFields);                                                   // 14
  fieldStage(Field::strain, "e.dat", "e.gnu", "wgnuplot e.gnu",                    // 15
             gFields.eAnalytic, gFields.eNumeric);
  computeStress(gData, gFields);                                                   // 16
  fieldStage(Field::stress, "s.dat", "s.gnu", "wgnuplot s.gnu",                    // 17
             gFields.sAnalytic, gFields.sNumeric);
  computeNumericForces(gData, gFields);                                            // 18
  finishReport(gReport, gFields);                                                  // 19
  char reportViewerCommand[70];                                                    // 20
  assignField(reportViewerCommand, sizeof reportViewerCommand, "notepad saida.txt", 17);
  const bool viewerRan = runCommand(reportViewerCommand, sizeof reportViewerCommand);
  static_cast<void>(viewerRan);
  const bool modeSet = platform::requestExitMode(2);                              // 21
  static_cast<void>(modeSet);
  platform::suspendTraps(true);
  platform::setStatus("Finished");
  return 0;                                                                        // 22
}

}  // namespace zandovir
