// The recovery file: where unsaved changes go when the editor quits or loads another surface.
#pragma once

#include <string>
#include <vector>

#include "model/surface_model.h"

// Recovery files of one surface file: NAME.recovered.surf, then NAME.recovered-2.surf and so
// on, so that two editors leaving unsaved changes of the same file keep both.
constexpr int kMostRecoveryFiles = 100;

// NAME.recovered.surf beside the surface file (its last extension replaced), or
// "recovered.surf" in the working folder when the editor has no file name.
std::string recoveryPath(const char* surfaceFileName);

// The recovery path with its number (path itself for 1): "vase.recovered-2.surf".
std::string numberedRecoveryPath(const std::string& path, int number);

// The recovery files of surfaceFileName that exist, in the order of their numbers.
std::vector<std::string> existingRecoveryFiles(const char* surfaceFileName);

// Writes the surface to a recovery file of surfaceFileName: one this editor wrote before is
// replaced (once the new one is complete); one left by another editor, or anything else of that
// name (a link, even one to a file), is kept and the next number is taken. When none can be
// written beside the surface file, "recovered.surf" (numbered likewise) in the working folder is
// (error then says why the first failed). path receives where; false with each path tried and
// its reason in error when none could be written.
bool writeRecoveryFile(const SurfaceModel& surface, const char* surfaceFileName, std::string& path,
                       std::string& error);
