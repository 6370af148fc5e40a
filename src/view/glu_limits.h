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

// Largest distance in pixels, across or up the viewport, between the points in front of the
// eye, through the current matrices (0 when fewer than two such points).
double screenExtent(const PointH* points, size_t count);
