// Skinning: a surface through every section, by global interpolation of each U column of the
// control net across the sections (The NURBS Book, A9.1, with chord-length parameters averaged
// over the columns).
//
// Two solvers give the same floats. The reference path (interpolateCurve, solveLinearSystem)
// eliminates the dense collocation matrix anew for every coordinate. The production path
// (interpolateCurveBanded, solveBanded) eliminates the matrix once, for every right-hand side at
// a time, and only inside the band of the matrix; computeSkinning uses it.
#pragma once

#include <string>

#include "model/banded_solver.h"
#include "model/editor_state.h"

// Square root of the sum of squares of v[0 .. n-1], summed in single precision.
float vectorNorm(const float* v, int n);

// Gaussian elimination with partial pivoting: solves A x = b for the n x n row-major A, which
// is left unchanged; b is overwritten. A zero pivot is not caught: it gives non-finite x.
void solveLinearSystem(const float* A, float* b, float* x, int n);

// Writes into A (m x m, row-major, m = n + 1) the collocation matrix of the degree-p B-spline
// basis on U at params[0 .. n]: row i holds the basis functions of the control points at
// params[i].
void buildCollocationMatrix(float* A, int n, int p, const float* U, const float* params);

// Control points P[0 .. n] (dim floats each) of the degree-p B-spline on knots U that passes
// through Q[k] at params[k]. Reference path: one elimination per coordinate.
void interpolateCurve(float* P, int n, const float* Q, int dim, int p, const float* U,
                      const float* params);

// interpolateCurve with one banded elimination shared by all dim coordinates: the same floats.
// The matrix is kept in band form, so the memory grows with (n + 1) * p, not (n + 1)^2. Returns
// false (P undefined) when the collocation matrix is singular.
bool interpolateCurveBanded(float* P, int n, const float* Q, int dim, int p, const float* U,
                            const float* params);

// Section parameters v[0 .. R-1] of a net of R sections of cols homogeneous points each
// (4 floats a point, section-major): chord lengths in every column, averaged over the columns,
// v[0] = 0 and v[R-1] = 1 (a single section gets 1). A column whose point is the same in every
// section has no chord length and is left out of the average. Returns false when every column
// is like that while the interior parameters need one (R >= 3): all sections coincide.
bool computeSectionParameters(const float* net, int cols, int R, float* v);

// V knots V[0 .. R + order - 1] for interpolation at the parameters v[0 .. R-1]: order zeros,
// the averages of order - 1 consecutive parameters, order ones. For order 1 (degree 0) the
// interior knots lie halfway between consecutive parameters, so each section owns the stretch
// of V around its parameter.
void averageKnots(const float* v, int R, int order, float* V);

// The skinned net by the reference path: each column gathered and passed to interpolateCurve,
// the result written back in the net's layout. Same arguments as the net of
// computeSectionParameters; out has R * cols points.
void skinNetReference(float* out, const float* net, int cols, int R, int p, const float* V,
                      const float* v);

// Rebuilds derived.skinnedNet and derived.skinnedKnotsV from the surface's control net. Returns
// false, with the reason in refusal and both arrays unchanged, when the sections admit no
// interpolating surface (no usable surface, coinciding sections, a singular system or numbers
// out of range).
bool skinSurface(const SurfaceModel& surface, DerivedNets& derived, std::string& refusal);

// skinSurface on the editor: a refusal goes to the status line (once, however often it
// repeats); a success clears a refusal shown there.
bool computeSkinning();
void reportSkinningRefusal(PanelVariables& panel, const std::string& reason);
void clearSkinningRefusal(PanelVariables& panel);

// Callback of the "skinning" check box, also run after every move of section points while
// skinning is on: skins, refreshes the panel and draws the main view. The id is ignored.
void skinningCallback(int id);
