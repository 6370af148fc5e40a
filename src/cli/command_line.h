// Command-line subcommands over the core: no window is opened and no display is needed.
#pragma once

// True when argv names a subcommand (or asks for help): no window is opened then.
bool isCommandLineInvocation(int argc, char** argv);

// Runs the subcommand; returns the process exit status (0 done, 1 bad input, 2 usage error).
int runCommandLine(int argc, char** argv);
