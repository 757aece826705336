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
#include <string>
#include <vector>

#include "datafile/file_io.h"

struct AppState;

/// Chooses path as the remote reference after checking that it opens and has
/// enabled Hx and Hy channels; returns "" or the message saying why not.
std::string SetRemoteReference(AppState& s, const std::string& path);
/// No remote reference: the estimates use the page's own magnetic field.
void ClearRemoteReference(AppState& s);

/// The remote's Hx and Hy (pT) at the n sample times of the page that starts at
/// record firstRecord (0-based) of the recording at localPath, read from the
/// records of remotePath that cover those times. Returns "" or why they cannot
/// be had (another sample rate, the span not covered, samples that fall between
/// the page's, a file that cannot be read); hx, hy are then unusable.
std::string ReadRemoteSamples(const std::string& localPath, int firstRecord, int n, const std::string& remotePath,
                              double adcSpanMilliVolts, std::vector<double>& hx, std::vector<double>& hy,
                              std::string serials[2]);

/// In MT mode (least squares) with a remote reference set: the remote spectra of the current
/// page and their band cross-spectra with the local channels (RemoteCrossSpec,
/// RemoteBands). Called after the spectrum pipeline. When the remote cannot
/// serve the page, says why once for that page and leaves RemoteBands 0, so
/// the page is estimated without it.
void ComputeRemoteSpectra(AppState& s);

/// The remote-referenced tensor of band b into Z (Zxx, Zxy, Zyx, Zyy) and the
/// matrix <H R*>⁻ᴴ<R R*><H R*>⁻¹ whose diagonal scales the elements' variances
/// into errorMatrix (four entries, row by row). Returns false (Z untouched)
/// when the page has no remote spectra for the band.
bool RemoteReferenceTensor(const AppState& s, int b, std::complex<double> Z[4], std::complex<double> errorMatrix[4]);

/// Adds the remote recording to the inputs an output must not overwrite.
void AddRemoteInput(const AppState& s, std::vector<FileId>& inputs);
