// Command-line subcommands over the core: no window is opened and no display is needed.
#pragma once

#include <string>

#include "model/surface_model.h"

// True when argv names a subcommand (or asks for help) rather than the editor.
bool isCommandLineInvocation(int argc, char** argv);

// Runs the subcommand; returns the process exit status (0 done, 1 bad input, 2 usage error).
int runCommandLine(int argc, char** argv);

// Writes line and a newline to standard error with every byte a terminal would act on escaped:
// the one way the subcommands print their messages, which carry file names and arguments.
void printMessage(const std::string& line);

// Reads the surface file at path into surface, or says on standard error why it cannot.
bool loadForCommand(const char* path, SurfaceModel& surface);

// Writes surface to path as a surface file, or says on standard error why it cannot. The
// previous file survives any failure.
bool saveForCommand(const char* path, const SurfaceModel& surface);
