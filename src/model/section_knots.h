// Changes of the sections that keep the curves' shapes by working on their knots: knot insertion
// (The NURBS Book, A5.1) into every section, and turning the start of a closed section along its
// curve. Every section shares knotsU, so a knot one section needs is inserted into all of them.
// Computed in double precision, stored as floats.
#pragma once

#include <string>

#include "model/point_vector.h"
#include "model/surface_model.h"

// Adds a point at index `index` (1 .. countU - 1) of every section, with one knot inserted into
// knotsU between the Greville parameters of points index - 1 and index: section `section` gets u
// (weight 1) between those points and keeps its other points, so it changes only near them;
// every other section gets the knot inserted, so its curve keeps its shape. False, with the
// surface unchanged, when no knot can be inserted there exactly (the surface is not usable, the
// knot would pass the degree's multiplicity or fall outside those points' reach); the caller
// then adds the point another way.
bool insertPointByKnot(SurfaceModel& surface, int index, int section, Point3 u);

// Moves the start of a closed section (first and last points the same four floats, knotsU
// clamped at both ends) along its curve, keeping its shape: step > 0 to its first interior knot,
// step < 0 to its last one (to the middle of the range when there is none). The curve is cut
// there and its two pieces joined the other way round; knotsU becomes the union of the knots
// the other sections have and those the turned section needs, each section gaining the knots it
// lacks by insertion, so every section keeps its shape and countU may grow. Knots the union
// then holds beyond what every section needs are removed again where that leaves every shape
// within a millionth of its size. False, with the reason and the surface unchanged, for a
// missing, open or unclamped section, or when the net would grow past the editor's limit.
bool turnSectionStart(SurfaceModel& surface, int section, int step, std::string& error);
