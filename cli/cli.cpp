#include "cli/cli.h"

int RunZorvan(int, char**) { return 0; }
