#pragma once
// File, Export EDI...: the page's estimate written as an EDI file (mt/edi.h).

#include <string>
#include <vector>

#include "app/state.h"
#include "datafile/file_io.h"
#include "mt/edi.h"

/// What the EDI text is made of, taken from the state (and the remote's first header).
EdiInput EdiInputOf(const AppState& s);

/// The inputs an export must not overwrite: the open recording and the remote reference.
std::vector<FileId> ExportInputs(const AppState& s);

/// Writes the current estimate to path; returns "" or a message saying why not.
std::string WriteEdi(AppState& s, const std::string& path);

/// File, Export EDI...: estimates the page (in MT mode, least squares), asks
/// for the file (a save dialog offering EdiFileName) and writes it. Returns 1
/// when a file was written.
int ExportEdi(AppState& s);
