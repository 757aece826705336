#pragma once
// What zorvan spectra and zorvan mt share: the spectral options and loading the page.

#include <string>

#include "app/open_file.h"
#include "app/state.h"
#include "cli/args.h"
#include "cli/commands.h"
#include "cli/session.h"

/// Reads --window, --notch and --fit-order into the state; returns an error message or "".
inline std::string ReadSpectralOptions(const Args& args, AppState& s) {
  if (auto t = args.Get("window")) {
    static const char* const kNames[4] = {"none", "hanning", "hamming", "slepian"};
    int type = -1;
    for (int i = 0; i < 4; ++i)
      if (*t == kNames[i]) type = i;
    if (type < 0) return "--window takes none, hanning, hamming or slepian";
    s.WindowType = type;
  }
  if (args.Has("notch")) s.NotchOn = 1;
  if (auto t = args.Get("fit-order")) {
    long long order = 0;
    if (!ParseInt(*t, order) || order < 1 || order > 20) return "--fit-order takes a whole number from 1 to 20";
    s.FitOrder = static_cast<int>(order);
  }
  return {};
}

/// Opens path and loads the page of the page options; returns an error message or "".
inline std::string LoadPage(Session& session, const std::string& path, const PageOptions& page) {
  AppState& s = session.state;
  if (!session.Open(path, page)) return session.OpenFailure(path);
  if (page.record > 1 && !LoadPageAt(s, page.record - 1)) return path + " has no record " + std::to_string(page.record);
  if (s.NumPlotPoints == 0) return path + " has no samples on that page";
  return {};
}
