// What the GLU NURBS renderer can be given: nets and knots whose numbers it can work with, and
// how it should sample a surface that reaches far past the window.
#pragma once

#include <cstddef>

#include "model/editor_state.h"

// True when every value of the count homogeneous points and of the knots lies within
// kGluLargestValue, and so does every point taken through the current model-view and projection
// matrices. GLU computes in single precision: given values near the float range it overflows
// to infinities and NaN, and a renderer that did so misbehaves on later surfaces too (it has
// been seen to take gigabytes for a single point afterwards), so such a net is not drawn.
constexpr double kGluLargestValue = 1e15;
bool fitsGluRange(const PointH* points, size_t count, const float* knots, size_t knotCount);

// A bound, in pixels, on how far the surface can run on the screen between two neighbouring
// control points, through the current matrices: for clip coordinates (x, y, w) of the points in
// front of the eye, the change of x / w and y / w is at most 4 S W / m^2, with S the largest
// |x| + |y|, W the largest w and m the smallest. GLU's own sampling takes about this many pixels
// over its tolerance samples across a patch, so the bound is huge for a net that reaches far
// past the window or that comes close to the eye while other points lie far away. 0 when no
// point lies in front of the eye.
double screenSpeedBound(const PointH* points, size_t count);
