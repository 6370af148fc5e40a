// The exact formats, written by Open CASCADE into memory so that the file is replaced in one
// step: STEP AP214 (an advanced face on the B-spline surface) and IGES (a type 128 rational
// B-spline surface entity).
#pragma once

#include <string>

#include "model/surface_model.h"

// The STEP text of a surface that passed checkExportable. OCCT's STEP writer only writes to a
// named file, so it writes a temporary file in folder, which is read and removed. False with the
// reason in error.
bool formatStep(const SurfaceModel& surface, const std::string& folder, std::string& out,
                std::string& error);

// The IGES text of a surface that passed checkExportable. False with the reason in error.
bool formatIges(const SurfaceModel& surface, std::string& out, std::string& error);
