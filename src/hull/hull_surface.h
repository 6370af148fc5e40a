// The stored surface in double precision for the hull's figures: knots and homogeneous control
// points widened from their floats, the point and first derivatives of the rational surface
// (The NURBS Book, A2.3 and A4.4 to first order), and its patches (one per non-empty knot span
// pair) with the box of their control points.
#pragma once

#include <string>
#include <vector>

#include "model/surface_model.h"

// The highest degree the evaluator takes; nothing a designer draws comes near it.
constexpr int kHullMaxDegree = 24;

// The highest degree whose basis functions are kept as polynomials: the conversion loses no
// more than a few hundred units in the last place up to it.
constexpr int kHullPowerDegree = 7;

// A point of the surface with its partial derivatives along u and v.
struct HullSample {
    double x, y, z;
    double xu, yu, zu;
    double xv, yv, zv;
};

// One span pair [u0, u1] x [v0, v1] with the 0-based spans i, j (U[i] <= u < U[i+1]) and the
// box of its Bezier points, which holds the patch since every weight is positive.
struct HullPatch {
    int i, j;
    double u0, u1, v0, v1;
    double lo[3], hi[3];
};

struct HullSurface {
    int p = 0, q = 0;    // degrees along u and v
    int nu = 0, nv = 0;  // control points along u (per section) and v (sections)
    std::vector<double> U, V;
    std::vector<double> Pw;          // 4 doubles per point, x*w y*w z*w w, section-major as the net
    std::vector<double> invU, invV;  // reciprocal knot differences, (degree + 1)^2 per span
    // Per span, up to degree kHullPowerDegree: the basis functions as polynomials in the span's
    // own parameter (0 at its first knot, 1 at its last), (degree + 1)^2 coefficients, and the
    // reciprocal of the span's length. Empty for higher degrees, which use the recurrence.
    std::vector<double> powerU, powerV, spanScaleU, spanScaleV;
    std::vector<HullPatch> patches;
    double lo[3] = {0, 0, 0}, hi[3] = {0, 0, 0};  // box of all control points
    // Added to every evaluated coordinate: the figures are integrated about a point near the hull
    // so that no moment loses digits to a hull far from the origin.
    double shift[3] = {0, 0, 0};
};

// Builds the double-precision surface from the stored one. False with a message for a surface
// that cannot bound anything: arrays that disagree with the counts, degrees above
// kHullMaxDegree, knots out of order or with an empty range, non-finite numbers, or a weight of
// zero or below.
bool buildHullSurface(const SurfaceModel& surface, HullSurface& out, std::string& error);

// The point and derivatives at (u, v) in the patch's spans, shifted by out.shift.
void evaluateHull(const HullSurface& s, int i, int j, double u, double v, HullSample& out);

// The surface along one parameter line of patch (i, j): along u at v = t (alongU) or along v at
// u = t. It holds the homogeneous points of that curve and of its derivative across the line, so
// that a point on it costs one set of basis functions and a few sums.
struct HullLine {
    const HullSurface* surface;
    bool alongU;
    int i, j;
    double t;
    int count;  // points of the curve: the degree along the line + 1
    double C[kHullMaxDegree + 1][4], D[kHullMaxDegree + 1][4];
    // Up to degree kHullPowerDegree along the line, the same two curves as polynomials in the
    // span's own parameter x = (s - origin) * scale: coefficients of x^0 .. x^(count - 1).
    // A line made from a patch's polynomials has these only, with C its Bezier points on the
    // span (which bound its sign changes as well as the B-spline points do) and D unset.
    bool power;
    double origin, scale;
    double PC[kHullPowerDegree + 1][4], PD[kHullPowerDegree + 1][4];
};
void makeHullLine(const HullSurface& s, int i, int j, bool alongU, double t, HullLine& out);

// One patch as a polynomial in its own parameters x (along u) and y (along v), each 0 at the
// span's first knot and 1 at its last: the homogeneous point is the sum of A[m][n] x^m y^n.
// Lines of a patch are cheaper made from it than from the net when there are more than a few.
struct HullPatchForm {
    const HullSurface* surface;
    int i, j;
    double A[kHullPowerDegree + 1][kHullPowerDegree + 1][4];
};
// False (and nothing made) when a degree is above kHullPowerDegree.
bool makeHullPatchForm(const HullSurface& s, int i, int j, HullPatchForm& out);
// The same line as makeHullLine gives, up to rounding, in its polynomial form only.
void makeHullLine(const HullPatchForm& form, bool alongU, double t, HullLine& out);

// The point and derivatives at parameter s along the line, as evaluateHull gives them.
void evaluateHullLine(const HullLine& line, double s, HullSample& out);

// Coordinate axis (0 x, 1 y, 2 z) of the point at s along the line and its derivative along
// the line, exactly as evaluateHullLine gives them, at less than half its cost.
void evaluateHullLineCoordinate(const HullLine& line, double s, int axis, double& value,
                                double& slope);

// The span holding u in a knot vector of n points and degree p (the last span for the end).
int hullSpan(const std::vector<double>& knots, int n, int p, double t);

// The first and last parameter of each direction.
inline double hullU0(const HullSurface& s) {
    return s.U[static_cast<size_t>(s.p)];
}
inline double hullU1(const HullSurface& s) {
    return s.U[static_cast<size_t>(s.nu)];
}
inline double hullV0(const HullSurface& s) {
    return s.V[static_cast<size_t>(s.q)];
}
inline double hullV1(const HullSurface& s) {
    return s.V[static_cast<size_t>(s.nv)];
}
