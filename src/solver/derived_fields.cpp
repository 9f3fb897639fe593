// Strain, stress and end forces from the numerical displacement and temperature,
// and the closed-form reference fields.
#include "solver/fields.h"
#include "textio/failure.h"

namespace zandovir {

void computeStrain(const ProblemData& data, SolutionFields& fields) {
  const std::int32_t n = data.nodeCount;
  const double* u = fields.uNumeric;
  double* e = fields.eNumeric;
  const double dx = fields.dx;
  // Ends first, as the scheme lists them; with dx = 0 the first one is 0/0.
  e[0] = ((4 * u[1] - 3 * u[0]) - u[2]) / (dx * 2);
  e[n - 1] = ((-(4 * u[n - 2]) + 3 * u[n - 1]) + u[n - 3]) / (dx * 2);
  for (std::int32_t i = 2; i <= n - 1; ++i) {
    e[i - 1] = (u[i] - u[i - 2]) / (dx * 2);
  }
}

void computeStress(const ProblemData& data, SolutionFields& fields) {
  const std::int32_t n = data.nodeCount;
  const double* t = fields.tNumeric;
  const double* e = fields.eNumeric;
  double* s = fields.sNumeric;
  const double alpha = data.expansionCoefficient;
  const double modulus = data.youngsModulus;
  const double reference = t[0];  // the numerical temperature at node 1
  for (std::int32_t i = 0; i < n; ++i) {
    s[i] = (e[i] - ((t[i] - reference) * alpha)) * modulus;
  }
}

void computeNumericForces(const ProblemData& data, SolutionFields& fields) {
  const std::int32_t n = data.nodeCount;
  fields.forceLeftNumeric = fields.sNumeric[0] * data.sectionArea;
  fields.forceRightNumeric = fields.sNumeric[n - 1] * data.sectionArea;
}

void computeClosedForm(const ProblemData& data, SolutionFields& fields) {
  const std::int32_t n = data.nodeCount;
  const double tl = data.leftTemperature;
  const double tr = data.rightTemperature;
  const double k = data.conductivity;
  const double q = data.heatSource;
  const double alpha = data.expansionCoefficient;
  const double modulus = data.youngsModulus;
  const double area = data.sectionArea;
  const double c1 = ((q / (k * 2)) + (tr - tl)) * alpha;
  const double c2 = -((alpha * q) / k);
  fields.c1 = c1;
  fields.c2 = c2;
  for (std::int32_t i = 0; i < n; ++i) {
    const double x = fields.x[i];
    const double ta = (((((1 - x) * q) / (k * 2)) + (tr - tl)) * x) + tl;
    fields.tAnalytic[i] = ta;
    // Both the displacement and the strain square x; pow gives the same value twice.
    const double square = runPow(x, 2.0);
    fields.uAnalytic[i] = ((((square - 1) * c2) + (((x - 1) * c1) * 3)) * x) / 6;
    const double ea = ((((square * 3) - 1) * c2) + ((((x * 2) - 1) * c1) * 3)) / 6;
    fields.eAnalytic[i] = ea;
    fields.sAnalytic[i] = (ea - ((ta - tl) * alpha)) * modulus;
  }
  const double force = ((((((tl - tr) * 3) - (q / (k * 2))) * area) * modulus) * alpha) / 6;
  fields.forceLeftAnalytic = force;
  fields.forceRightAnalytic = force;
}

}  // namespace zandovir
