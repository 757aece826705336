#pragma once
// The three passes of PolyFit over the points, portable and with AVX2
// (spectral/polyfit_avx2.cpp). Both make every sum in the order of the points,
// with the same operations, so they give the same bits; tests run both.

/// Σu^q (q = 0 … 2·order) into su and Σy·u^q (q = 0 … order) into sy, added
/// to what they hold, u = (x − c)/h.
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
  PolyFitSums sums;
  PolyFitMisfit misfit;
  PolyFitCurve curve;
};

/// The kernels for any processor.
const PolyFitKernels& PortablePolyFitKernels();

/// The AVX2 kernels, or nullptr when the program was built without them. Use
/// them only when the processor has AVX2.
const PolyFitKernels* Avx2PolyFitKernels();

/// PolyFit through the given kernels.
int PolyFitWith(const PolyFitKernels& kernels, const double x[], const double y[], double xout[], double yout[],
                double coeffs[], int order, int npts, int nout, double* rms);
