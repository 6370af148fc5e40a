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

// Most points of a net handed to GLU, whatever its measured cost: GLU's tessellation recurses
// once per few patches, about 11 bytes of stack and 2.4 KB of memory a patch, so a 1000 x 1000
// grid overflows an 8 MiB stack and a 700 x 700 one takes 1.3 GB. This many points make at
// most as many patches, about 2.8 MiB of stack and 760 MB in all.
constexpr long long kMostGluNetPoints = 250000;

// GLU's tessellation and drawing of a surface may take this long before the main view draws
// that surface from its own grid instead: one frame at 60 Hz.
constexpr double kGluFrameMilliseconds = 16.0;

// A tessellation of at least this many patches measures GLU's cost per patch well enough to
// predict larger nets (fixed costs dominate below).
constexpr long long kPatchesToRate = 1000;

// Nets of fewer patches stay with GLU whatever its measured cost: a 50 x 50 cubic net (2209
// patches) tessellates in 9-13 ms on this machine, inside the frame, and a slower run on a busy
// machine should not change the picture of the nets people edit most.
constexpr long long kFewestGridPatches = 2500;

// Nets of more patches go to the grid while GLU's cost per patch is not yet measured: a trial
// tessellation of a 500 x 500 cubic net (247,009 patches) held its first frame for 2 to 3 s on
// this machine, and one of 200 x 200 (38,809) a quarter to a third of a second.
constexpr long long kMostUntriedPatches = 40000;

// GLU's cost per patch: the lowest measured on a tessellation of at least kPatchesToRate
// patches (0 while none was measured; the lowest, since other work on the machine only ever
// slows a run down), and the fewest patches of a tessellation that took longer than a frame
// (0 while none did), which catches a view that costs GLU more per patch than the rate says.
struct GluCost {
    double millisecondsPerPatch = 0.0;
    long long slowPatches = 0;
};

// Adds one tessellation of `patches` patches that took `milliseconds`.
void recordGluTessellation(GluCost& cost, long long patches, double milliseconds);

// True when GLU is expected to draw a net of `points` points and `patches` patches within a
// frame: at most kMostGluNetPoints points, and fewer than kFewestGridPatches patches, or fewer
// patches than a tessellation measured too slow and a cost predicted from the measured cost
// per patch of at most kGluFrameMilliseconds, or, before any cost is measured, at most
// kMostUntriedPatches patches.
bool gluHoldsFrame(const GluCost& cost, long long points, long long patches);

// The Bezier patches of a net: the products of the knot spans of positive width in each
// direction, within the knot ranges (countU + orderU and countV + orderV knots).
long long bezierPatches(const float* knotsU, int countU, int orderU, const float* knotsV,
                        int countV, int orderV);
