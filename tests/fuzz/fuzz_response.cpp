// The coil response reader on a fuzzed response file, then a lookup over the
// frequency range and the correction of a spectrum.

#include <cmath>
#include <filesystem>

#include "app/analysis.h"
#include "spectral/response.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Started& started = fuzz::State();
  AppState& s = started.s;
  started.Reset();
  std::filesystem::create_directories(fuzz::Folder() + "LEMI");
  std::memset(s.OutHeader.SensorSerial[0], 0, sizeof s.OutHeader.SensorSerial[0]);
  std::memcpy(s.OutHeader.SensorSerial[0], "F1", 2);
  fuzz::WriteFile("LEMI/" + ResponseFileName("F1"), data, size);
  s.ResponseDir = fuzz::Folder() + "LEMI/";
  ForgetResponseMessages(s);
  if (LoadResponse(s, 0) != 1) std::abort();  // the coil's own file is there
  {
    double amplitude = 0, phase = 0;
    for (double f = 1e-4; f < 1e5; f *= 1.7) ResponseAt(s.Response, f, &amplitude, &phase);
    std::vector<double> X(2 * 64 + 1, 1.0);
    CorrectSpectrum(s.Response, X.data(), 64, 1.5);
  }
  return 0;
}
