// Placeholder until the command line lands.
#include "cli/command_line.h"

bool isCommandLineInvocation(int, char**) { return false; }
int runCommandLine(int, char**) { return 2; }
