// Grid, the two difference systems and the Thomas solve. Every formula keeps the
// grouping of the scheme as written; squares come from the math library's pow.
#include "solver/fields.h"
#include "textio/failure.h"
#include "textio/storage.h"

namespace zandovir {

std::uint64_t runStorageBytes(std::int32_t nodeCount) {
  const std::uint64_t n = nodeCount > 0 ? static_cast<std::uint64_t>(nodeCount) : 0;
  // Nine fields, the right-hand side and three coefficient columns; two work arrays
  // during a solve.
  return (13 + 2) * n * sizeof(double);
}

void createFields(std::int32_t nodeCount, SolutionFields& fields, TridiagonalSystem& system) {
  requireStorage(runStorageBytes(nodeCount));
  const std::size_t n = static_cast<std::size_t>(nodeCount);
  fields.tNumeric = obtainArray(n);
  fields.tAnalytic = obtainArray(n);
  fields.uNumeric = obtainArray(n);
  fields.uAnalytic = obtainArray(n);
  fields.eNumeric = obtainArray(n);
  fields.eAnalytic = obtainArray(n);
  fields.sNumeric = obtainArray(n);
  fields.sAnalytic = obtainArray(n);
  fields.x = obtainArray(n);
  system.rightHandSide = obtainArray(n);
  system.coefficients = obtainArray(3 * n);
  for (std::size_t i = 0; i < n; ++i) {
    fields.tNumeric[i] = 0.0;
    fields.uNumeric[i] = 0.0;
    fields.eNumeric[i] = 0.0;
    fields.sNumeric[i] = 0.0;
  }
}

void buildGrid(const ProblemData& data, SolutionFields& fields) {
  const std::int32_t n = data.nodeCount;
  fields.dx = data.length / static_cast<double>(n - 1);
  double* x = fields.x;
  x[0] = 0.0;
  for (std::int32_t i = 2; i <= n - 1; ++i) {
    x[i - 1] = static_cast<double>(i - 1) * fields.dx;  // from its own index, never accumulated
  }
  x[n - 1] = 1.0;
}

namespace {

// Identity rows at both ends, (1, 2, 1) inside; only the right-hand sides differ
// between the two systems.
void writeCoefficients(std::int32_t n, TridiagonalSystem& system) {
  lowerOf(system, 1) = 0.0;
  diagonalOf(system, 1) = 1.0;
  upperOf(system, 1) = 0.0;
  for (std::int32_t i = 2; i <= n - 1; ++i) {
    lowerOf(system, i) = 1.0;
    diagonalOf(system, i) = 2.0;
    upperOf(system, i) = 1.0;
  }
  lowerOf(system, n) = 0.0;
  diagonalOf(system, n) = 1.0;
  upperOf(system, n) = 0.0;
}

}  // namespace

void buildThermalSystem(const ProblemData& data, const SolutionFields& fields, TridiagonalSystem& system) {
  const std::int32_t n = data.nodeCount;
  writeCoefficients(n, system);
  double* rhs = system.rightHandSide;
  rhs[0] = data.leftTemperature;
  rhs[n - 1] = data.rightTemperature;
  const double quotient = data.heatSource / data.conductivity;  // formed before the square
  const double interior = runPow(fields.dx, 2.0) * quotient;
  for (std::int32_t i = 2; i <= n - 1; ++i) rhs[i - 1] = interior;
}

void buildMechanicalSystem(const ProblemData& data, const SolutionFields& fields, TridiagonalSystem& system) {
  const std::int32_t n = data.nodeCount;
  writeCoefficients(n, system);
  double* rhs = system.rightHandSide;
  const double* t = fields.tNumeric;
  const double dx = fields.dx;
  const double alpha = data.expansionCoefficient;
  rhs[0] = 0.0;
  for (std::int32_t i = 2; i <= n - 1; ++i) {
    rhs[i - 1] = -((((t[i] - t[i - 2]) * dx) * alpha) / 2);
  }
  rhs[n - 1] = 0.0;
}

void solveTridiagonal(std::int32_t n, const TridiagonalSystem& system, double* solution) {
  const std::size_t count = static_cast<std::size_t>(n);
  double* sweepFactor = obtainArray(count);
  double* sweepValue = obtainArray(count);
  const double* c = system.coefficients;
  const double* rhs = system.rightHandSide;
  sweepFactor[0] = c[2] / c[1];
  sweepValue[0] = rhs[0] / c[1];
  for (std::size_t i = 1; i < count; ++i) {
    const double lower = c[3 * i];
    const double d = c[3 * i + 1] - (lower * sweepFactor[i - 1]);
    sweepFactor[i] = c[3 * i + 2] / d;
    sweepValue[i] = ((lower * sweepValue[i - 1]) + rhs[i]) / d;
  }
  solution[count - 1] = sweepValue[count - 1];
  for (std::size_t i = count - 1; i-- > 0;) {
    solution[i] = (sweepFactor[i] * solution[i + 1]) + sweepValue[i];
  }
  releaseArray(sweepValue);
  releaseArray(sweepFactor);
}

}  // namespace zandovir
