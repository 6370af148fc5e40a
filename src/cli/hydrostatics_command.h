// The "hydrostatics" subcommand of the command line.
#pragma once

// Runs "loftwork hydrostatics ...". argv[0] is "hydrostatics" and argv[1 .. argc-1] are its
// arguments. Returns the exit status: 0 done, 1 refused, 2 usage error.
int hydrostaticsCommand(int argc, char** argv);
