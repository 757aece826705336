#include "cli/front_end.h"

#include <iostream>

namespace {
FrontEnd installed;
}

void InstallFrontEnd(const FrontEnd& front_end) { installed = front_end; }

const FrontEnd& InstalledFrontEnd() { return installed; }

bool HasDesktop() { return installed.start_desktop != nullptr; }

int StartDesktop(const std::string& file) {
  if (installed.start_desktop) return installed.start_desktop(file);
  std::cerr << "zorvan: this build has no desktop program (built without Qt); give a command (see zorvan --help)\n";
  return 1;
}
