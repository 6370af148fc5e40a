// What the subcommands share: their one way of printing a message, and the surface file read
// and written with the editor's checks.
#pragma once

#include <string>

#include "model/surface_model.h"

// Writes line and a newline to standard error with every byte a terminal would act on escaped:
// the one way the subcommands print their messages, which carry file names and arguments.
void printMessage(const std::string& line);

// Reads the surface file at path into surface, or says on standard error why it cannot.
bool loadForCommand(const char* path, SurfaceModel& surface);

// Writes surface to path as a surface file, or says on standard error why it cannot. The
// previous file survives any failure.
bool saveForCommand(const char* path, const SurfaceModel& surface);
