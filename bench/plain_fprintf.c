/* A plain C program that computes the same fields as ZANDOVIR and writes the same
 * files with fprintf("%24.15E") (rounded once, so not byte-identical in rare last
 * digits): the yardstick of the whole-run benchmark.  Usage: plain_fprintf N */
#include <math.h>
#include <stdio.h>
#include <stdlib.h>

static void rows(FILE* table, FILE* report, long n, const double* x, const double* a, const double* b) {
  for (long i = 0; i < n; ++i) {
    fprintf(table, "%24.15E%24.15E%24.15E\r\n", x[i], a[i], b[i]);
    fprintf(report, "%24.15E%24.15E%24.15E\r\n", x[i], a[i], b[i]);
  }
}

static void thomas(long n, const double* rhs, double* X) {
  double* P = malloc(n * sizeof *P);
  double* V = malloc(n * sizeof *V);
  P[0] = 0.0;
  V[0] = rhs[0];
  for (long i = 1; i < n; ++i) {
    double l = (i == n - 1) ? 0.0 : 1.0, d = (i == n - 1) ? 1.0 : 2.0, u = (i == n - 1) ? 0.0 : 1.0;
    double den = d - l * P[i - 1];
    P[i] = u / den;
    V[i] = (l * V[i - 1] + rhs[i]) / den;
  }
  X[n - 1] = V[n - 1];
  for (long i = n - 2; i >= 0; --i) X[i] = P[i] * X[i + 1] + V[i];
  free(P);
  free(V);
}

int main(int argc, char** argv) {
  long n = argc > 1 ? atol(argv[1]) : 1000000;
  double L = 1, TL = 100, TR = 20, k = 50, Q = 1e4, al = 1.2e-5, E = 2e11, A = 1e-4;
  double *x = malloc(n * 8), *Ta = malloc(n * 8), *ua = malloc(n * 8), *ea = malloc(n * 8), *sa = malloc(n * 8);
  double *Tn = malloc(n * 8), *un = malloc(n * 8), *en = malloc(n * 8), *sn = malloc(n * 8), *r = malloc(n * 8);
  double dx = L / (n - 1);
  for (long i = 0; i < n; ++i) x[i] = i * dx;
  x[n - 1] = 1.0;
  double c1 = (Q / (k * 2) + (TR - TL)) * al, c2 = -(al * Q / k);
  for (long i = 0; i < n; ++i) {
    double xi = x[i];
    Ta[i] = (((1 - xi) * Q) / (k * 2) + (TR - TL)) * xi + TL;
    ua[i] = ((pow(xi, 2.0) - 1) * c2 + (xi - 1) * c1 * 3) * xi / 6;
    ea[i] = ((pow(xi, 2.0) * 3 - 1) * c2 + (xi * 2 - 1) * c1 * 3) / 6;
    sa[i] = (ea[i] - (Ta[i] - TL) * al) * E;
  }
  FILE* report = fopen("saida.txt", "wb");
  fprintf(report, "\r\n     Caso e Dia = %-112s\r\n     Hora = %-8s\r\n", "Grande", "0:0:0");
  const char* names[] = {"T.dat", "u.dat", "e.dat", "s.dat"};
  for (long i = 0; i < n; ++i) r[i] = (i == 0) ? TL : (i == n - 1) ? TR : pow(dx, 2.0) * (Q / k);
  thomas(n, r, Tn);
  for (int f = 0; f < 4; ++f) {
    if (f == 1) {
      r[0] = r[n - 1] = 0;
      for (long i = 1; i < n - 1; ++i) r[i] = -((Tn[i + 1] - Tn[i - 1]) * dx * al / 2);
      thomas(n, r, un);
    }
    if (f == 2) {
      en[0] = (4 * un[1] - 3 * un[0] - un[2]) / (dx * 2);
      en[n - 1] = (-(4 * un[n - 2]) + 3 * un[n - 1] + un[n - 3]) / (dx * 2);
      for (long i = 1; i < n - 1; ++i) en[i] = (un[i + 1] - un[i - 1]) / (dx * 2);
    }
    if (f == 3)
      for (long i = 0; i < n; ++i) sn[i] = (en[i] - (Tn[i] - Tn[0]) * al) * E;
    FILE* table = fopen(names[f], "wb");
    fprintf(report, "\r\n          FIELD\r\n   X\r\n\r\n");
    const double* a = f == 0 ? Ta : f == 1 ? ua : f == 2 ? ea : sa;
    const double* b = f == 0 ? Tn : f == 1 ? un : f == 2 ? en : sn;
    rows(table, report, n, x, a, b);
    fclose(table);
  }
  fprintf(report, "\r\n     FORCAS\r\n%24.15E\r\n%24.15E\r\n", sa[0] * A, sn[0] * A);
  fclose(report);
  return 0;
}
