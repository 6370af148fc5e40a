// Export of a surface to another program's format, chosen by the file name's extension: STEP
// and IGES keep the exact B-spline surface, STL and OBJ carry a mesh within a tolerance.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "exchange/cad_files.h"
#include "model/mirror_plane.h"
#include "model/surface_model.h"

enum class ExportFormat { unknown, step, iges, stl, obj };

// The format a path's extension names, in any letter case: .step/.stp, .igs/.iges, .stl, .obj.
ExportFormat exportFormatOf(const std::string& path);

// "STEP", "IGES", "STL", "OBJ" (or "unknown").
const char* exportFormatName(ExportFormat format);

// What an export wrote.
struct ExportReport {
    ExportFormat format = ExportFormat::unknown;
    bool exact = false;      // the B-spline surface itself (STEP, IGES)
    size_t triangles = 0;    // meshes: triangles written
    double tolerance = 0.0;  // meshes: the tolerance kept
};

// Writes surface to path in the format of path's extension. Meshes keep tolerance, or
// defaultTolerance(surface) when none is given. The file is replaced only once its whole new
// contents exist, as saving does. Refuses, writing nothing and leaving any file at path as it
// was, an unknown extension, a surface that fails checkExportable (a weight of 0 or below, no
// usable surface, ...) and a tolerance that is not a positive finite number. message says what
// was written or why not. With a mirror plane the surface's mirror image is written too: a
// second face in STEP and IGES, facing the same way and sewn to the first along the plane into
// one shell, the reflected half of one mesh in STL and OBJ, joined along the plane with the
// vertices on it shared; a plane that is not sound is refused. STEP and IGES name the part after
// the surface's file (after path when it has none) and declare unit as the length of one model
// unit, writing the numbers as they are.
bool exportSurface(const std::string& path, const SurfaceModel& surface,
                   std::optional<double> tolerance, ExportReport& report, std::string& message,
                   const MirrorPlane* mirror = nullptr, LengthUnit unit = LengthUnit::mm);
