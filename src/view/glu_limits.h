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

// GLU's step count, in each direction, for a patch it samples at fixed steps: its default, which
// a renderer keeps while it samples by path length.
constexpr double kGluFixedSteps = 100.0;

// An estimate of how many points GLU's path-length sampling (no edge longer than `tolerance`
// pixels) takes for the surface of `rows` rows of `columns` homogeneous points, of orders orderS
// along a row and orderT across, with knotsS (columns + orderS of them) and knotsT (rows +
// orderT), through the current matrices. GLU samples each Bezier patch by its own speed on the
// screen: about (order - 1) times the longest step between neighbouring projected points, times
// the ratio of the patch's farthest to its nearest depth (perspective speeds up its near end),
// over the tolerance, samples run across it in each direction. A patch wholly behind the eye
// takes none; one whose Bezier points lie on both sides of the eye plane, kGluFixedSteps each
// way. The sum is huge for a net that reaches far past the window or from near the eye to far
// away.
double pathLengthSamples(const PointH* net, int columns, int rows, int orderS, int orderT,
                         const float* knotsS, const float* knotsT, double tolerance);
