#pragma once
// The three passes of PolyFit over the points, portable and with AVX2
// (spectral/polyfit_avx2.cpp). Both make every sum in the order of the points,
// with the same operations, so they give the same bits; tests run both.

#include "spectral/polyfit.h"

/// The least and greatest x (a NaN among them may or may not be kept) and Σx.
using PolyFitExtent = void (*)(const double* x, int npts, double* lo, double* hi, double* sum);
/// Σu^q (q = 0 … 2·order) into su and Σy·u^q (q = 0 … order) into sy, added
/// to what they hold, u = (x − c)/h; either may be null and is then not made.
using PolyFitSums = void (*)(const double* x, const double* y, int npts, double c, double h, int order, double su[],
                             double sy[]);
/// Σ(y − f)², f = Σ b[j]·u^(j−1) (j = 1 … m) by Horner's rule, u = (x − c)/h.
using PolyFitMisfit = double (*)(const double* x, const double* y, int npts, double c, double h, const double b[],
                                 int m);
/// The curve at xi = x0 + i·step (i = 0 … nout − 1): xi into xout (when not
/// null) and f((xi − c)/h) into yout.
using PolyFitCurve = void (*)(double x0, double step, int nout, double c, double h, const double b[], int m,
                              double* xout, double* yout);

struct PolyFitKernels {
  PolyFitExtent extent;
  PolyFitSums sums;
  PolyFitMisfit misfit;
  PolyFitCurve curve;
};

/// The kernels for any processor.
const PolyFitKernels& PortablePolyFitKernels();

/// The AVX2 kernels, or nullptr when the program was built without them. Use
/// them only when the processor has AVX2.
const PolyFitKernels* Avx2PolyFitKernels();

/// PolyFitAbscissas and PolyFit through the given kernels.
PolyAbscissas PolyFitAbscissasWith(const PolyFitKernels& kernels, const double x[], int npts, int order);
int PolyFitWith(const PolyFitKernels& kernels, const PolyAbscissas& a, const double x[], const double y[],
                double xout[], double yout[], double coeffs[], int nout, double* rms);
