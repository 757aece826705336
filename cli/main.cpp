#include "cli/cli.h"

int main(int argc, char** argv) { return RunZorvan(argc, argv); }
