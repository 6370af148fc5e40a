// Surfaces from other programs: one face of a STEP or IGES file, read through Open CASCADE's
// readers, as the editor's B-spline surface.
#pragma once

#include <string>
#include <vector>

#include "model/surface_model.h"

// Largest STEP or IGES file read: a 1000 x 1000 net written by Open CASCADE takes about 150 MB.
constexpr long long kMostCadFileBytes = 256LL << 20;

// One face of a file, as --list prints it.
struct CadFace {
    std::string kind;            // "B-spline surface", "plane", "cylinder", ...
    double size[3] = {0, 0, 0};  // extents of the box around the face, in the file's unit
    double area = -1.0;          // in the file's unit squared; -1 while not measured
};

// What an import read and took.
struct ImportReport {
    const char* format = "";  // "STEP" or "IGES"
    std::string unit;         // the length unit of the coordinates taken, "millimetres", ...
    std::string unitSymbol;   // "mm", ...
    std::string unknownUnit;  // a file unit OCCT converted to millimetres, as the file names it
    std::vector<CadFace> faces;
    int face = 0;              // the face taken, numbered from 1
    bool converted = false;    // its surface was another kind, converted to a B-spline
    bool trimDropped = false;  // its boundary is not its parameter rectangle
};

// True for the names import reads: .step, .stp, .igs, .iges in any letter case.
bool isCadFileName(const std::string& path);

// Reads the file and lists its faces with their kinds, sizes and areas, in the order import
// numbers them. False with the reason in error.
bool listCadFaces(const std::string& path, ImportReport& report, std::string& error);

// Reads face `face` of the file (numbered from 1; 0 takes the largest by area) as a surface:
// its B-spline surface, or the rational B-spline Open CASCADE converts another kind to, over the
// face's parameter bounds. Poles become control points with U along OCCT's u (a section's
// points) and V along its v (the sections), as export writes them; degrees, knots (with their
// multiplicities written out) and weights are kept. Coordinates stay in the file's length unit.
// Refuses, leaving out unspecified, a name or contents that are not STEP or IGES, an empty or
// unreadable file, one with no face or fewer faces than `face`, a surface that cannot be
// converted exactly or is unbounded, and one past the editor's limits (more points than it
// takes, a degree above the highest it draws): false with the reason in error.
bool importCadSurface(const std::string& path, int face, SurfaceModel& out, ImportReport& report,
                      std::string& error);

// "imported face 2 of 3 (cylinder) from PATH: ..." with the size, degrees, unit, a conversion
// and a dropped trim.
std::string importMessage(const std::string& path, const SurfaceModel& surface,
                          const ImportReport& report);
