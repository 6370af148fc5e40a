// The exact formats, written by Open CASCADE into memory so that the file is replaced in one
// step: STEP AP214 (advanced faces on the B-spline surfaces, a half and its mirror image in one
// shell of one product) and IGES (faces on rational B-spline surface entities, with their edges
// and shells).
#pragma once

#include <string>
#include <vector>

#include "model/mirror_plane.h"
#include "model/surface_model.h"

// What one model unit is, as the file declares it. The numbers are written as they are.
enum class LengthUnit { mm, cm, m, in };

// "mm", "cm", "m", "in".
const char* lengthUnitName(LengthUnit unit);

// The unit text names (one of the names above); false for any other text.
bool parseLengthUnit(const char* text, LengthUnit& unit);

// OCCT's translators report to standard output; this program keeps standard output for its own
// messages, so their printers are removed, once, before any of them runs.
void silenceOcct();

// What an exact file holds: surfaces that passed checkExportable, one face each, and with a
// mirror plane each one's mirror image too, turned to face the same way as its half. Faces that
// meet (a half and its image along the plane) are sewn into one shell, and a direction in which
// a surface closes on itself gets a seam edge. name is the STEP product's name and the IGES
// sender's product name ("surface" when empty); fileName the name the file's header gives it.
struct CadContent {
    std::vector<const SurfaceModel*> faces;
    const MirrorPlane* mirror = nullptr;
    std::string name;
    std::string fileName;
    LengthUnit unit = LengthUnit::mm;
};

// The STEP text of the content. OCCT's STEP writer only writes to a named file, so it writes a
// temporary file in folder, which is read and removed. False with the reason in error.
bool formatStep(const CadContent& content, const std::string& folder, std::string& out,
                std::string& error);
bool formatStep(const std::vector<const SurfaceModel*>& faces, const std::string& folder,
                std::string& out, std::string& error);

// The IGES text of the content. False with the reason in error.
bool formatIges(const CadContent& content, std::string& out, std::string& error);
bool formatIges(const std::vector<const SurfaceModel*>& faces, std::string& out,
                std::string& error);
