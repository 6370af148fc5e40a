// The "revolve" subcommand: not available in this build yet.
#include "cli/revolve_command.h"

#include <cstdio>

int revolveCommand(int /*argc*/, char** /*argv*/) {
    fprintf(stderr, "loftwork: the revolve subcommand is not available in this build\n");
    return 2;
}
