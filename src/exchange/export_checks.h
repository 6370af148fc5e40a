// What a surface must satisfy before it is exported, and the tolerance its meshes get when none
// is given.
#pragma once

#include <string>

#include "model/surface_model.h"

// True when the surface can be written as an exact B-spline and meshed: it is usable and finite,
// every weight is above 0, both degrees are at least 1, neither knot vector decreases, each
// direction's parameter range [U[p], U[n+1]] has some width and no knot inside that range is
// repeated more often than the degree (the surface would tear apart there). Otherwise false with
// a one-line reason in error.
bool checkExportable(const SurfaceModel& surface, std::string& error);

// True when tolerance is a positive finite number; otherwise false with the reason in error.
bool checkTolerance(double tolerance, std::string& error);

// Length of the diagonal of the box around the Cartesian control points. With positive weights
// the surface lies inside that box.
double controlBoxDiagonal(const SurfaceModel& surface);

// The tolerance of a mesh when none is given: 1/1000 of controlBoxDiagonal.
double defaultTolerance(const SurfaceModel& surface);
