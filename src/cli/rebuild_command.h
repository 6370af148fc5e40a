// The "rebuild" subcommand of the command line.
#pragma once

// Runs "loftwork rebuild ...". argv[0] is "rebuild" and argv[1 .. argc-1] are its arguments.
// Returns the exit status: 0 done, 1 refused, 2 usage error.
int rebuildCommand(int argc, char** argv);
