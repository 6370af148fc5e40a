// The "import" subcommand of the command line.
#pragma once

// Runs "loftwork import IN OUT.surf [--face N]" or "loftwork import IN --list". argv[0] is
// "import" and argv[1 .. argc-1] are its arguments. Returns the exit status: 0 done, 1 refused,
// 2 usage error.
int importCommand(int argc, char** argv);
