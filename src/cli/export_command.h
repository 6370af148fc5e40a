// The "export" subcommand of the command line.
#pragma once

// Runs "loftwork export IN OUT [--tolerance T]". argv[0] is "export" and argv[1 .. argc-1] are
// its arguments. Returns the exit status: 0 done, 1 refused, 2 usage error.
int exportCommand(int argc, char** argv);
