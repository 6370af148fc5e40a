// Derivatives of the rational curves and surfaces of the model: basis function derivatives
// (The NURBS Book, A2.3), derivatives of the homogeneous curve and net (A3.2, A3.6) and of the
// Cartesian rational ones (A4.2, A4.4), up to second order.
#pragma once

#include "model/point_vector.h"
#include "model/surface_model.h"

// Writes the derivatives of order 0 .. d of the p+1 non-zero basis functions of degree p at u,
// for the 1-based span I of findKnotSpan: ders[k * (p + 1) + j] is the k-th derivative of basis
// function j of the span. Orders above p are zero. Computed in double: knot differences divide
// the second derivatives twice, and curvature subtracts nearly equal products of them.
void evaluateBasisDerivatives(double* ders, int I, float u, int p, int d, const float* U);

// The Cartesian point of a rational curve and its first two derivatives at u.
struct CurveDerivatives {
    Point3 point;
    Vector3 Cu, Cuu;
};

// Derivatives of the rational curve of n+1 homogeneous points Pw, degree p, knots U[0 .. n+p+1]
// at u. False, with out unspecified, when u falls outside the spans of U or a result is not
// finite (the weights at u sum to zero).
bool evaluateCurveDerivatives(int n, int p, const float* U, const PointH* Pw, float u,
                              CurveDerivatives& out);

// The Cartesian point of a rational surface and its first and second partial derivatives.
struct SurfaceDerivatives {
    Point3 point;
    Vector3 Su, Sv, Suu, Suv, Svv;
};

// Derivatives of the surface at (u, v), parameters as evaluateSurfacePoint takes them. False,
// with out unspecified, where evaluateSurfacePoint has no point.
bool evaluateSurfaceDerivatives(const SurfaceModel& surface, float u, float v,
                                SurfaceDerivatives& out);
