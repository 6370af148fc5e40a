// The "revolve" subcommand of the command line.
#pragma once

// Runs "loftwork revolve ...". argv[0] is "revolve" and argv[1 .. argc-1] are its arguments.
// Returns the exit status: 0 done, 1 bad input, 2 usage error.
int revolveCommand(int argc, char** argv);
