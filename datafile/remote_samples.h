#pragma once
// The remote reference's magnetic field read at the page's sample times: a
// second station's Hx and Hy, recorded at the same time (mt/remote.h).

#include <string>
#include <vector>

#include "datafile/header.h"

/// The enabled channels labelled Hx and Hy (a later one replaces an earlier one); false without both.
bool MagneticChannels(const RecorderHeader& h, int chans[2]);

/// The remote's Hx and Hy (pT) at the n sample times of the page that starts at
/// record firstRecord (0-based) of the recording at localPath, read from the
/// records of remotePath that cover those times. Returns "" or why they cannot
/// be had (another sample rate, the span not covered, samples that fall between
/// the page's, a file that cannot be read); hx, hy are then unusable.
std::string ReadRemoteSamples(const std::string& localPath, int firstRecord, int n, const std::string& remotePath,
                              double adcSpanMilliVolts, std::vector<double>& hx, std::vector<double>& hy,
                              std::string serials[2]);

/// The sentence ending every message about a remote that cannot serve a page.
extern const char* const kRemoteWithout;  // "; the page is estimated without it."
