#pragma once
// Remote reference: the magnetic field of a second station, recorded at the
// same time, whose noise is independent of the local channels'. Per band the
// tensor is Z = <E R*><H R*>⁻¹ with R the remote Hx, Hy spectra, which noise
// on the local H does not bias downwards as it does least squares.
//
// The remote's Hx and Hy are read at the page's own sample times (the remote
// must hold the page's whole time span at the same sample rate) and go through
// the page's spectrum pipeline: trend, window, transform, notch, and the coil
// correction by the remote's own sensor serials.

#include <complex>
#include <cstdint>
#include <vector>

/// Band cross-spectra of the local Hx, Hy, Ex, Ey and the remote Rx, Ry spectra
/// (A[0 … 5], a missing local channel null) with the remote: per band b,
/// 24 doubles, [24·b + 4·a + 2·r + {0 re, 1 im}] = mean of A_a·conj(R_r) over the
/// bins the local bands averaged (notched ones, when given, left out); NaN for
/// a missing channel and a band without bins. Empty when the bands do not fit
/// the transform of N points.
std::vector<double> AccumulateRemoteCrossSpectra(const double* const A[6], int bands, long long M, unsigned long N,
                                                 const std::vector<uint8_t>* notched);

/// The remote-referenced tensor of band b into Z (Zxx, Zxy, Zyx, Zyy) and the
/// matrix <H R*>⁻ᴴ<R R*><H R*>⁻¹ whose diagonal scales the elements' variances
/// into errorMatrix (four entries, row by row), from the cross-spectra of
/// AccumulateRemoteCrossSpectra over remoteBands bands. Returns false (Z
/// untouched) when there are no remote cross-spectra for the band.
bool RemoteReferenceTensor(const std::vector<double>& remoteCross, int remoteBands, int b, std::complex<double> Z[4],
                           std::complex<double> errorMatrix[4]);
