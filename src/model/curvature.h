// Curvature of the surface (unit normal, Gaussian, mean and principal curvatures) and of its
// section curves, from the first and second derivatives of rational_derivatives.h.
#pragma once

#include "model/point_vector.h"
#include "model/surface_model.h"

enum class CurvatureStatus {
    Defined,    // every value of the result is set
    Undefined,  // there is a point but no tangent plane (surface) or no tangent (curve) there
    NoPoint,    // no point at that parameter: no usable geometry, outside the knots, weights 0
};

// Curvature of the surface at one (u, v). The normal is Su x Sv made unit; mean and principal
// curvatures are positive where the surface bends toward that normal (a sphere whose normal
// points outward has H = -1/r), so that H N is the mean curvature vector whatever the
// parametrization. The Gaussian curvature does not depend on the normal's side.
struct SurfaceCurvature {
    Point3 point;
    Vector3 normal;
    float gaussian;  // K = k1 k2
    float mean;      // H = (k1 + k2) / 2
    float kMax;      // k1 >= k2, the principal curvatures
    float kMin;
};

// Point, normal and curvatures at (u, v), parameters as evaluateSurfacePoint takes them.
// Undefined, with only the point set, where the tangent plane is lost: at a pole, or where the
// patch degenerates (|Su x Sv| below 1e-5 (|Su|^2 + |Sv|^2), i.e. parallel or vanishing
// tangents). NoPoint, with nothing set, where evaluateSurfacePoint has no point.
CurvatureStatus evaluateSurfaceCurvature(const SurfaceModel& surface, float u, float v,
                                         SurfaceCurvature& out);

// Curvature of a rational curve at one parameter.
struct CurveCurvature {
    Point3 point;
    Vector3 tangent;          // unit C'
    Vector3 binormal;         // unit C' x C''; zero where the curve is straight
    Vector3 curvatureVector;  // curvature times the unit normal, toward the centre of curvature
    float curvature;          // |C' x C''| / |C'|^3, never negative
};

// Curvature of the rational curve of n+1 homogeneous points Pw, degree p, knots U, at u.
// Undefined, with only the point set, where C' vanishes (|C'| times the parameter range below
// 1e-6 of the extent of the span's control points). NoPoint where the curve has no point.
CurvatureStatus evaluateCurveCurvature(int n, int p, const float* U, const PointH* Pw, float u,
                                       CurveCurvature& out);

// The same for section `section` of the surface (its countU points along U with knotsU). NoPoint
// when the surface is not usable or has no such section.
CurvatureStatus evaluateSectionCurvature(const SurfaceModel& surface, int section, float u,
                                         CurveCurvature& out);
