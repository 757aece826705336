#include "cli/cli.h"
#ifdef ZORVAN_HAVE_QT
#include "cli/qt/front_end.h"
#endif

int main(int argc, char** argv) {
#ifdef ZORVAN_HAVE_QT
  InstallQtFrontEnd();
#endif
  return RunZorvan(argc, argv);
}
