// Clamped uniform knot vectors, knot-span search, B-spline basis functions and the rational
// point of the edited surface (The NURBS Book, A2.1, A2.2 and A4.3), in single precision.
#pragma once

#include "model/surface_model.h"

// Fills U[0 .. knotCount-1] with a clamped uniform knot vector on [0, 1] for the given order:
// order-1 zeros, the interior knots evenly spaced, then ones.
void fillUniformKnots(float* U, int knotCount, int order);

// Replaces knotsU (direction 1) or knotsV (direction 2) of the surface by a clamped uniform
// vector of knotCountU or knotCountV knots. Any other direction does nothing. The caller sets
// the knot count first and rebuilds the knot controls afterwards.
void generateUniformKnots(SurfaceModel& surface, int direction);

// 1-based span I of u, with U[I-1] <= u < U[I]; n = last control point index, p = degree.
// u == U[n+1] gives the last span; u outside the knot range gives the first or last span.
int findKnotSpan(int n, int p, float u, const float* U);

// findKnotSpan for evaluating a curve or surface: at the end of the range, u == U[n+1], whose
// knot is repeated so often that span n+1 is empty (0 0 0 .5 .5 .5 1 1 with five points ends at
// .5), the last span that is not empty, where the curve ends. Elsewhere findKnotSpan's span.
int findEvaluationSpan(int n, int p, float u, const float* U);

// Writes the p+1 non-zero basis functions of degree p at u into N, for the 1-based span I.
void evaluateBasis(float* N, int I, float u, int p, const float* U);

// The homogeneous point sum N_v[l] N_u[k] P over the orderU x orderV control points of spans Iu
// and Iv (1-based), given their basis values: the sum every surface point is made of, in one
// fixed order so that all callers get the same floats.
PointH weightedNetSum(const SurfaceModel& surface, int Iu, const float* Nu, int Iv,
                      const float* Nv);

// The Cartesian point of a surface (controlNet with knotsU, knotsV) at (u, v). Returns false
// and leaves x, y, z alone when the surface is not usable, when (u, v) falls outside the spans
// of the knot vectors, or when the point is not finite (the weights it touches sum to zero).
bool evaluateSurfacePoint(const SurfaceModel& surface, float& x, float& y, float& z, float u,
                          float v);
