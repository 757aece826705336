#pragma once
// Choosing the remote reference of the MT estimates (mt/remote.h).

#include <string>
#include <vector>

#include "app/state.h"
#include "datafile/file_io.h"

/// Chooses path as the remote reference after checking that it opens and has
/// enabled Hx and Hy channels; returns "" or the message saying why not.
std::string SetRemoteReference(AppState& s, const std::string& path);
/// No remote reference: the estimates use the page's own magnetic field.
void ClearRemoteReference(AppState& s);

/// Adds the remote recording to the inputs an output must not overwrite.
void AddRemoteInput(const AppState& s, std::vector<FileId>& inputs);
