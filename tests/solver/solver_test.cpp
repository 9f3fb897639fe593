// Physics checks of the difference schemes: where the scheme is exact the numerical
// fields must equal the closed form to rounding; elsewhere the known error terms.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "solver/fields.h"
#include "textio/storage.h"

namespace zandovir {
namespace {

struct Case {
  ProblemData data;
  SolutionFields fields;
  TridiagonalSystem system;

  Case(std::int32_t n, double length, double tl, double tr, double k, double q, double alpha = 1.2e-5,
       double modulus = 2e11, double area = 1e-4) {
    data.nodeCount = n;
    data.length = length;
    data.leftTemperature = tl;
    data.rightTemperature = tr;
    data.conductivity = k;
    data.heatSource = q;
    data.expansionCoefficient = alpha;
    data.youngsModulus = modulus;
    data.sectionArea = area;
    createFields(n, fields, system);
  }
  ~Case() {
    for (double* array : {fields.tNumeric, fields.tAnalytic, fields.uNumeric, fields.uAnalytic, fields.eNumeric,
                          fields.eAnalytic, fields.sNumeric, fields.sAnalytic, fields.x, system.rightHandSide,
                          system.coefficients}) {
      releaseArray(array);
    }
  }
  Case(const Case&) = delete;
  Case& operator=(const Case&) = delete;
  // The run's order: grid, closed form, thermal solve, mechanical solve, strain, stress, forces.
  void solveAll() {
    buildGrid(data, fields);
    computeClosedForm(data, fields);
    buildThermalSystem(data, fields, system);
    solveTridiagonal(data.nodeCount, system, fields.tNumeric);
    buildMechanicalSystem(data, fields, system);
    solveTridiagonal(data.nodeCount, system, fields.uNumeric);
    computeStrain(data, fields);
    computeStress(data, fields);
    computeNumericForces(data, fields);
  }
};

// |a - b| within `ulps` units of the larger magnitude involved (scale), for rounding checks.
::testing::AssertionResult closeTo(double a, double b, double scale, double ulps) {
  const double tolerance = ulps * std::ldexp(1.0, -52) * (scale == 0.0 ? 1.0 : std::fabs(scale));
  if (std::fabs(a - b) <= tolerance) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << std::hexfloat << a << " vs " << b << " (tolerance " << tolerance << ")";
}

TEST(Grid, LastCoordinateIsOneWhateverTheLength) {
  Case c(5, 2.0, 0, 0, 1, 0);
  buildGrid(c.data, c.fields);
  const double expected[] = {0.0, 0.5, 1.0, 1.5, 1.0};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(c.fields.x[i], expected[i]) << "node " << i + 1;
  EXPECT_EQ(c.fields.dx, 0.5);
}

TEST(Grid, CoordinatesComeFromTheirOwnIndex) {
  Case c(11, 1.0, 0, 0, 1, 0);
  buildGrid(c.data, c.fields);
  for (int i = 2; i <= 10; ++i) EXPECT_EQ(c.fields.x[i - 1], static_cast<double>(i - 1) * 0.1) << i;
}

TEST(Thomas, SingleAndTwoRowSystems) {
  double coefficients1[3] = {7.0, 4.0, 9.0};
  double rhs1[1] = {3.0};
  TridiagonalSystem one{coefficients1, rhs1};
  double x1[1] = {0};
  solveTridiagonal(1, one, x1);
  EXPECT_EQ(x1[0], 3.0 / 4.0);

  // -l*X0 + d*X1 - u*X2 = r with the negated off-diagonals of the storage.
  double coefficients2[6] = {0.0, 2.0, 1.0, 1.0, 3.0, 0.0};
  double rhs2[2] = {1.0, 2.0};
  TridiagonalSystem two{coefficients2, rhs2};
  double x2[2] = {0, 0};
  solveTridiagonal(2, two, x2);
  // 2a - b = 1, -a + 3b = 2  =>  a = 1, b = 1
  EXPECT_DOUBLE_EQ(x2[0], 1.0);
  EXPECT_DOUBLE_EQ(x2[1], 1.0);
  EXPECT_EQ(coefficients2[1], 2.0) << "the solver must not modify the system";
}

struct ExactCase {
  std::int32_t n;
  double tl, tr, k, q;
};

class UnitLength : public ::testing::TestWithParam<ExactCase> {};

TEST_P(UnitLength, SchemeIsExactForTheQuadraticTemperatureAndCubicDisplacement) {
  const ExactCase& p = GetParam();
  Case c(p.n, 1.0, p.tl, p.tr, p.k, p.q);
  c.solveAll();
  const int n = p.n;
  EXPECT_EQ(c.fields.tNumeric[0], p.tl);
  EXPECT_EQ(c.fields.tNumeric[n - 1], p.tr);
  EXPECT_EQ(c.fields.uNumeric[0], 0.0);
  EXPECT_EQ(c.fields.uNumeric[n - 1], 0.0);
  double tScale = std::fabs(p.tl) + std::fabs(p.tr) + std::fabs(p.q / p.k);
  double uScale = 0;
  for (int i = 0; i < n; ++i) uScale = std::fmax(uScale, std::fabs(c.fields.uAnalytic[i]));
  for (int i = 0; i < n; ++i) {
    EXPECT_TRUE(closeTo(c.fields.tNumeric[i], c.fields.tAnalytic[i], tScale, 16.0 * n)) << "T node " << i + 1;
    EXPECT_TRUE(closeTo(c.fields.uNumeric[i], c.fields.uAnalytic[i], uScale, 64.0 * n * n)) << "u node " << i + 1;
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, UnitLength,
                         ::testing::Values(ExactCase{3, 0, 100, 45, 0}, ExactCase{11, 100, 20, 50, 10000},
                                           ExactCase{51, 0, 100, 45, 0}, ExactCase{101, -5, 7, 2, 300},
                                           ExactCase{4, 20, 20, 1, 0}),
                         [](const ::testing::TestParamInfo<ExactCase>& info) {
                           std::string name = "Case";
                           name += std::to_string(info.index);
                           return name;
                         });

TEST(Thermal, WithoutSourceTheTemperatureIsLinear) {
  Case c(21, 3.0, 10, 90, 5, 0);
  c.solveAll();
  for (int i = 1; i <= 21; ++i) {
    const double expected = 10 + (i - 1) * (90.0 - 10.0) / 20.0;
    EXPECT_TRUE(closeTo(c.fields.tNumeric[i - 1], expected, 90, 64)) << i;
  }
}

TEST(Thermal, EqualEndsWithoutSourceGiveAUniformBarAtRest) {
  Case c(17, 2.5, 42, 42, 3, 0);
  c.solveAll();
  for (int i = 0; i < 17; ++i) {
    EXPECT_TRUE(closeTo(c.fields.tNumeric[i], 42.0, 42.0, 8)) << i;
    EXPECT_TRUE(closeTo(c.fields.uNumeric[i], 0.0, 1.2e-5 * 42 * 2.5, 64)) << i;  // rounding of alpha T L
  }
}

TEST(Mechanical, CoefficientTableIsTheSameAsTheThermalOne) {
  Case c(9, 1.0, 0, 100, 45, 1000);
  buildGrid(c.data, c.fields);
  computeClosedForm(c.data, c.fields);
  buildThermalSystem(c.data, c.fields, c.system);
  std::vector<double> thermal(c.system.coefficients, c.system.coefficients + 27);
  solveTridiagonal(9, c.system, c.fields.tNumeric);
  buildMechanicalSystem(c.data, c.fields, c.system);
  for (int i = 0; i < 27; ++i) EXPECT_EQ(c.system.coefficients[i], thermal[i]) << i;
  EXPECT_EQ(c.system.rightHandSide[0], 0.0);
  EXPECT_EQ(c.system.rightHandSide[8], 0.0);
}

TEST(Strain, ExactForTheQuadraticDisplacementWithoutSource) {
  Case c(13, 1.0, 100, 20, 50, 0);
  c.solveAll();
  const double scale = std::fabs(c.fields.eAnalytic[0]) + std::fabs(c.fields.eAnalytic[12]);
  for (int i = 0; i < 13; ++i) {
    EXPECT_TRUE(closeTo(c.fields.eNumeric[i], c.fields.eAnalytic[i], scale, 4096)) << "e node " << i + 1;
    EXPECT_TRUE(closeTo(c.fields.sNumeric[i], c.fields.sAnalytic[i], 2e11 * scale, 4096)) << "s node " << i + 1;
  }
}

TEST(Strain, KnownErrorTermsWithASource) {
  const double alpha = 1.2e-5, q = 10000, k = 50;
  Case c(11, 1.0, 100, 20, k, q, alpha);
  c.solveAll();
  const double dx = c.fields.dx;
  const double interior = -alpha * q * dx * dx / (6 * k);
  const double ends = alpha * q * dx * dx / (3 * k);
  const double scale = 1e-3;
  EXPECT_TRUE(closeTo(c.fields.eNumeric[0] - c.fields.eAnalytic[0], ends, scale, 1e5));
  EXPECT_TRUE(closeTo(c.fields.eNumeric[10] - c.fields.eAnalytic[10], ends, scale, 1e5));
  for (int i = 1; i < 10; ++i) {
    EXPECT_TRUE(closeTo(c.fields.eNumeric[i] - c.fields.eAnalytic[i], interior, scale, 1e5)) << i + 1;
  }
}

TEST(HeatedBar, ClosedFormStressAndForcesOfTheExample) {
  Case c(11, 1.0, 100, 20, 50, 10000);
  c.solveAll();
  EXPECT_TRUE(closeTo(c.fields.c1, 2.4e-4, 2.4e-4, 8));
  EXPECT_TRUE(closeTo(c.fields.c2, -2.4e-3, 2.4e-3, 8));
  for (int i = 0; i < 11; ++i) EXPECT_TRUE(closeTo(c.fields.sAnalytic[i], 5.6e7, 5.6e7, 64)) << i + 1;
  EXPECT_TRUE(closeTo(c.fields.forceLeftAnalytic, 5600, 5600, 8));
  EXPECT_EQ(c.fields.forceRightAnalytic, c.fields.forceLeftAnalytic);
  EXPECT_TRUE(closeTo(c.fields.forceLeftNumeric, 5760, 5760, 1e4));
  EXPECT_TRUE(closeTo(c.fields.forceRightNumeric, 5760, 5760, 1e4));
  EXPECT_EQ(c.fields.sNumeric[0], c.fields.eNumeric[0] * 2e11) << "no thermal term at node 1";
}

TEST(ClosedForm, EndValuesAndConstantStressWhateverTheLength) {
  Case c(5, 2.0, 100, 20, 50, 10000);
  c.solveAll();
  EXPECT_EQ(c.fields.tAnalytic[0], 100.0);
  EXPECT_EQ(c.fields.uAnalytic[0], 0.0);
  EXPECT_EQ(c.fields.uAnalytic[4], 0.0);
  EXPECT_NE(c.fields.uAnalytic[3], 0.0) << "x = 1.5 continues the polynomial outside the bar";
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(closeTo(c.fields.sAnalytic[i], 5.6e7, 5.6e7, 256)) << i + 1;
}

TEST(Strain, ThreeNodesLeaveTheMiddleUnstrained) {
  Case c(3, 1.0, 0, 100, 45, 500);
  c.solveAll();
  EXPECT_EQ(c.fields.eNumeric[1], 0.0);
}

TEST(Storage, ArraysNeedWhatTheRunPrescribes) {
  EXPECT_EQ(runStorageBytes(1000), 120u * 1000u);
  EXPECT_EQ(runStorageBytes(2000000000), 120ull * 2000000000ull);
}

}  // namespace
}  // namespace zandovir
