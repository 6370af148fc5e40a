// The largest surfaces the editor takes: sizes are computed in 64 bits and checked against these
// limits before anything is allocated, skinned or handed to the renderer.
#pragma once

#include <string>

#include "model/surface_model.h"

// GLU's NURBS renderer refuses orders above 24 ("spline order un-supported").
constexpr int kMostDrawnOrder = 24;

// Most points of a net the editor takes (control, skinned or expanded net): a 1000 x 1000 net.
// The main view draws nets past GLU's own bound from its grid, whose size follows the window,
// so what such a net costs is its copies: 16 MB each (the net, the skinned net, an undo
// snapshot, the grid's key), and 64 MB for the points as file text.
constexpr long long kMostNetPoints = 1000000;

// Refuses, with the reason in error, a surface the editor could not draw or edit: a net of more
// than kMostNetPoints points, or an order above kMostDrawnOrder.
bool editorCanTake(const SurfaceModel& surface, std::string& error);

// Floating-point operations skinning takes for R sections of `columns` points at order `order`:
// the banded elimination (pivoting doubles the band) and the solves for every coordinate.
double skinningWork(long long R, long long columns, long long order);

// Most work skinning may take on the GUI thread: 41 ms at this limit in bench/skinning_bench
// (SkinningAtTheWorkLimit), where 2000 sections of degree 1999 took 7.6 s.
constexpr double kMostSkinningWork = 2e8;

// Why a surface whose arrays match its counts is still not usable: the degree of a direction
// needs more points than it has ("degree s is 3 but there are only 2 points in s ..."). Its knot
// vector then has no parameter range, which is not to be printed as one.
std::string degreePastPoints(const SurfaceModel& surface);
