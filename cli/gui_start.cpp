#include "cli/gui_start.h"

#include <iostream>

#ifdef ZORVAN_HAVE_QT
#include "platform/qt/desktop.h"
#endif

bool HasDesktop() {
#ifdef ZORVAN_HAVE_QT
  return true;
#else
  return false;
#endif
}

int StartDesktop(const std::string& file) {
#ifdef ZORVAN_HAVE_QT
  return RunDesktop(file);
#else
  (void)file;
  std::cerr << "zorvan: this build has no desktop program (built without Qt); give a command (see zorvan --help)\n";
  return 1;
#endif
}
