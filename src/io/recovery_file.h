// The recovery file: where unsaved changes go when the editor quits.
#pragma once

#include <string>

#include "model/surface_model.h"

// NAME.recovered.surf beside the surface file (its last extension replaced), or
// "recovered.surf" in the working folder when the editor has no file name.
std::string recoveryPath(const char* surfaceFileName);

// Writes the surface to the recovery path of surfaceFileName, replacing an older recovery file
// only once the new one is complete; when that path cannot be written, to "recovered.surf" in
// the working folder instead (error then says why the first failed). path receives where; false
// with each path tried and its reason in error when none could be written.
bool writeRecoveryFile(const SurfaceModel& surface, const char* surfaceFileName, std::string& path,
                       std::string& error);
