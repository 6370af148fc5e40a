// The exact formats, written by Open CASCADE into memory so that the file is replaced in one
// step: STEP AP214 (an advanced face on the B-spline surface) and IGES (a type 128 rational
// B-spline surface entity).
#pragma once

#include <string>
#include <vector>

#include "model/surface_model.h"

// OCCT's translators report to standard output; this program keeps standard output for its own
// messages, so their printers are removed, once, before any of them runs.
void silenceOcct();

// The STEP text of surfaces that passed checkExportable, one face each (a half-model and its
// mirror image are two). OCCT's STEP writer only writes to a named file, so it writes a
// temporary file in folder, which is read and removed. False with the reason in error.
bool formatStep(const std::vector<const SurfaceModel*>& faces, const std::string& folder,
                std::string& out, std::string& error);

// The IGES text of surfaces that passed checkExportable, one entity each. False with the reason
// in error.
bool formatIges(const std::vector<const SurfaceModel*>& faces, std::string& out,
                std::string& error);
