// The grid, the fields of the solution and the tridiagonal system of one run.
// Arrays hold nodeCount doubles; node i (counted from 1) is element i - 1.
#pragma once

#include <cstdint>

#include "run/problem_data.h"

namespace zandovir {

struct SolutionFields {
  double* tNumeric = nullptr;
  double* tAnalytic = nullptr;
  double* uNumeric = nullptr;
  double* uAnalytic = nullptr;
  double* eNumeric = nullptr;
  double* eAnalytic = nullptr;
  double* sNumeric = nullptr;
  double* sAnalytic = nullptr;
  double* x = nullptr;
  double dx = 0.0;
  double c1 = 0.0;
  double c2 = 0.0;
  double forceLeftAnalytic = 0.0;
  double forceLeftNumeric = 0.0;
  double forceRightAnalytic = 0.0;
  double forceRightNumeric = 0.0;
};

// Row i stands for -lower*X(i-1) + diagonal*X(i) - upper*X(i+1) = rightHandSide(i).
struct TridiagonalSystem {
  double* coefficients = nullptr;  // n rows of {lower, diagonal, upper}
  double* rightHandSide = nullptr;
};

inline double& lowerOf(TridiagonalSystem& s, std::int32_t row) { return s.coefficients[3 * static_cast<std::int64_t>(row - 1)]; }
inline double& diagonalOf(TridiagonalSystem& s, std::int32_t row) { return s.coefficients[3 * static_cast<std::int64_t>(row - 1) + 1]; }
inline double& upperOf(TridiagonalSystem& s, std::int32_t row) { return s.coefficients[3 * static_cast<std::int64_t>(row - 1) + 2]; }

// Bytes the run's arrays take for n nodes, the solver's work arrays included.
std::uint64_t runStorageBytes(std::int32_t nodeCount);

// Creates the ten vectors and the coefficient table (F6772 when they cannot be had)
// and sets the four numerical fields to 0.0. Precondition: nodeCount >= 1.
void createFields(std::int32_t nodeCount, SolutionFields& fields, TridiagonalSystem& system);

// dx = L / (n - 1); x(i) = (i - 1) * dx; the last coordinate is 1.0 whatever the length.
void buildGrid(const ProblemData& data, SolutionFields& fields);
// The three-point system of k T'' + Q = 0 with both end temperatures prescribed.
void buildThermalSystem(const ProblemData& data, const SolutionFields& fields, TridiagonalSystem& system);
// The three-point system of u'' = alpha T' (central difference of tNumeric), both ends fixed.
void buildMechanicalSystem(const ProblemData& data, const SolutionFields& fields, TridiagonalSystem& system);
// Thomas elimination without pivoting; writes every element of solution.
// Precondition: n >= 1; the system is only read.
void solveTridiagonal(std::int32_t n, const TridiagonalSystem& system, double* solution);

// Second-order differences of uNumeric into eNumeric. Precondition: n >= 3.
void computeStrain(const ProblemData& data, SolutionFields& fields);
// sNumeric from the strain less the thermal strain about tNumeric(1).
void computeStress(const ProblemData& data, SolutionFields& fields);
// The numerical end forces from the end stresses.
void computeNumericForces(const ProblemData& data, SolutionFields& fields);
// c1, c2, the four closed-form fields and both closed-form end forces.
void computeClosedForm(const ProblemData& data, SolutionFields& fields);

}  // namespace zandovir
