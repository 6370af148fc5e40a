// Skinning: a surface through every section, by global interpolation of each U column of the
// control net across the sections (The NURBS Book, A9.1, with chord-length, centripetal or
// uniform parameters averaged over the columns), or by periodic interpolation for a loft that
// closes back into its first section.
//
// Two solvers give the same floats. The reference path (interpolateCurve, solveLinearSystem)
// eliminates the dense collocation matrix anew for every coordinate. The production path
// (interpolateCurveBanded, solveBanded) eliminates the matrix once, for every right-hand side at
// a time, and only inside the band of the matrix; computeSkinning uses it.
#pragma once

#include <string>
#include <vector>

#include "model/banded_solver.h"
#include "model/editor_state.h"
#include "model/loft_options.h"
#include "model/loft_parameters.h"

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

// The skinned net by the reference path: each column gathered and passed to interpolateCurve,
// the result written back in the net's layout. Same arguments as the net of
// computeSectionParameters; out has R * cols points.
void skinNetReference(float* out, const float* net, int cols, int R, int p, const float* V,
                      const float* v);

// Knots of a closed loft through R sections at the parameters v (one period, v[0] = 0): the
// averages of order - 1 consecutive parameters continued periodically (midpoints for order 1),
// R + 2 * (order - 1) + 1 of them, moved so the drawn stretch U[order - 1] .. U[R + order - 1]
// starts at 0 and is one period long. sectionParameters[k] receives where in that stretch the
// surface passes through section k.
void closedLoftKnots(const float* v, int R, int order, float* U, float* sectionParameters);

// Periodic interpolation (wrapped control points on periodic
// averaged knots): the R + p
// control points P (dim floats each) of the degree-p B-spline on the unclamped knots U whose
// last p control points repeat the first p, so that the curve closes with p - 1 continuous
// derivatives, and passes through Q[k] at sectionParameters[k]. One cyclic banded elimination
// shared by all dim coordinates. False (P undefined) when the system is singular or p >= R.
bool interpolateClosedLoft(float* P, int R, const float* Q, int dim, int p, const float* U,
                           const float* sectionParameters);

// Rebuilds derived.skinnedNet and derived.skinnedKnotsV from the surface's control net. Returns
// false, with the reason in refusal and both arrays unchanged, when the sections admit no
// interpolating surface (no usable surface, coinciding sections, a singular system or numbers
// out of range).
// The loft options choose the parameters and whether the loft closes. An open loft gives
// countV rows of control points and countV + orderV knots; a closed one countV + orderV - 1
// rows (the first orderV - 1 repeated at the end) and countV + 2 * orderV - 1 unclamped knots.
// A closed loft of fewer than three sections, and sections at the same place, are refused; so is
// a loft whose weight function would reach 0 anywhere (weightsStayPositive). With compatible
// rational sections the Cartesian points are interpolated and every row takes the weights of
// commonWeightSection's section, exactly.
bool skinSurface(const SurfaceModel& surface, const LoftOptions& options, DerivedNets& derived,
                 std::string& refusal);
bool skinSurface(const SurfaceModel& surface, DerivedNets& derived, std::string& refusal);

// skinSurface on a state, with its panel's loft options: a refusal goes to its status line
// (once, however often it repeats); a success clears a refusal shown there.
bool computeSkinning(EditorState& state);
void reportSkinningRefusal(PanelVariables& panel, const std::string& reason);
void clearSkinningRefusal(PanelVariables& panel);

// What the "skinning" check box does once switched: says what is drawn and saved now, skins,
// refreshes the panel and redraws the views.
void skinningSwitched(EditorState& state);
