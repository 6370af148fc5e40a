// Commands that change the surface as a whole: a surface of revolution from the current
// section, copying a section onto another, and the outline / fill switch.
#pragma once

#include <string>

#include "model/editor_state.h"
#include "model/point_vector.h"
#include "model/surface_model.h"

// Rational quadratic sweep of the profile P[0 .. m] (weights w) about the line S + t T by theta
// radians, in arcs of at most 90 degrees (The NURBS Book, A8.1). Writes n (= 2 * arcs), the
// n + 4 knots, and (n + 1) * (m + 1) points and weights, row r of profile point j at
// r * (m + 1) + j. The caller provides room for four arcs.
void makeRevolvedSurface(Point3 S, Vector3 T, float theta, int m, const Point3* P, const float* w,
                         int* n, float* knots, Point3* points, float* weights);

// The point where the lines P0 + s T0 and P2 + t T2 meet, or come closest (the midpoint of their
// nearest points), computed in double. Parallel or zero directions give the midpoint of P0 and
// P2. The corner of an arc when intersectLines' exact test misses through rounding.
Point3 closestPointOfLines(Point3 P0, Vector3 T0, Point3 P2, Vector3 T2);

// The full revolution of section `section` of surface about the y axis, into out. False, with
// the reason in error and out unspecified, when there is no such section or its points cannot
// be revolved (a weight of 0, or coordinates so large the new surface would overflow).
bool revolveSection(const SurfaceModel& surface, int section, SurfaceModel& out,
                    std::string& error);

// The shape of section from onto section to (y, z and weights; each destination point keeps its
// Cartesian x). False, with the reason in error and the surface unchanged, when either section
// does not exist or a value would overflow.
bool copySection(SurfaceModel& surface, int from, int to, std::string& error);

// Replaces the state's surface by the full revolution of its current section about the y axis,
// as one undoable step. False, with a message on the state's status line and the state exactly
// as it was, when there is no current section or its points cannot be revolved (a weight of 0,
// or coordinates so large the new surface would overflow).
bool revolveCurrentSection(EditorState& state);

// "copy": the current section's shape onto section destPlane.
void copyCurrentSection(EditorState& state);

// "fill surf": surfaceDisplayMode follows fillSurface.
void fillSurfaceChanged(EditorState& state);
