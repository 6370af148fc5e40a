// What a surface must satisfy before it is exported, and the tolerance its meshes get when none
// is given.
#pragma once

#include <string>

#include "exchange/surface_mesh.h"
#include "model/surface_model.h"

// True when the surface can be written as an exact B-spline and meshed: it is usable and finite,
// every weight is above 0, both degrees are at least 1, neither knot vector decreases, each
// direction's parameter range [U[p], U[n+1]] has some width and no knot inside that range is
// repeated more often than the degree (the surface would tear apart there). Otherwise false with
// a one-line reason in error.
bool checkExportable(const SurfaceModel& surface, std::string& error);

// True when tolerance is a positive finite number; otherwise false with the reason in error.
bool checkTolerance(double tolerance, std::string& error);

// The tolerance of a mesh when none is given: 1/1000 of controlBoxDiagonal.
double defaultTolerance(const SurfaceModel& surface);

// True when text is a whole STEP file holding faces B-spline faces: it ends with the closing
// "END-ISO-10303-21;" (a writer stopped by a full disk, a file-size limit or lack of memory
// leaves it out) and holds one B_SPLINE_SURFACE_WITH_KNOTS entity and one ADVANCED_FACE per face.
// Otherwise false with the reason in error.
bool checkStepText(const std::string& text, size_t faces, std::string& error);

// True when a mesh made by meshSurface within tolerance is worth writing: it has triangles, its
// vertices are finite numbers, and its triangles have area, more than a strip of single
// precision's resolution (2^-20 of the mesh's size) along the mesh's diagonal; a surface that
// collapses to a curve or a point has none, nor one drawn out into a needle. With defaultTolerance
// (the tolerance was not given) the tolerance must not exceed the mesh's size either: control
// points far off the surface (a weight near 0 throws its point there) make the default say nothing
// about the surface. Otherwise false with the reason in error.
bool checkMesh(const SurfaceMesh& mesh, double tolerance, bool defaultTolerance,
               std::string& error);
