// The surface as a value: counts, orders, knot vectors and the control net of one rational
// B-spline surface. This is the document the editor edits, the file format reads and writes,
// and the undo history keeps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A control point in homogeneous form: the Cartesian coordinates already multiplied by the
// weight. The Cartesian point is (x / w, y / w, z / w).
struct PointH {
    float x, y, z, w;
};

// Nets are section-major: point j of section s is element j + s * countU. U runs along a
// section (GLU's s), V across the sections (GLU's t). Until a surface is loaded the counts and
// orders are -1 and the knot counts -2.
struct SurfaceModel {
    int32_t countU = -1;  // control points per section
    int32_t countV = -1;  // number of sections
    int32_t orderU = -1;
    int32_t orderV = -1;
    int32_t knotCountU = countU + orderU;
    int32_t knotCountV = countV + orderV;
    std::vector<float> knotsU;
    std::vector<float> knotsV;
    std::vector<PointH> controlNet;
    // The file this surface was loaded from or last saved to, as the user named it; empty when
    // it has none. Not part of the shape: sameSurface ignores it.
    std::string fileName;
};

// True when the control net holds exactly countU x countV points (both at least 1), so every
// index a loop over sections and points forms lies inside it.
bool netMatchesCounts(const SurfaceModel& surface);

// True when the counts, orders and knot counts agree and every array has the size they give:
// the arrays can be indexed as the counts say. A surface with more order than points passes.
bool surfaceArraysMatch(const SurfaceModel& surface);

// True when the surface can be evaluated and drawn: its arrays match, counts and orders are at
// least 1 and no order exceeds its count.
bool surfaceIsUsable(const SurfaceModel& surface);

// True when the arrays match the counts and section is one of its sections. Its points can be
// moved, turned or revolved even when the surface has more order than points.
bool hasSection(const SurfaceModel& surface, int section);

// Points of section `section` (countU of them); the caller checks hasSection first.
PointH* sectionPoints(SurfaceModel& surface, int section);
const PointH* sectionPoints(const SurfaceModel& surface, int section);

// Bit-for-bit equality of every count, knot and control-point float (so -0 differs from 0 and
// a NaN equals itself when its bits do). The file names are not compared.
bool sameSurface(const SurfaceModel& a, const SurfaceModel& b);

// True when every coordinate and weight of the net and every knot is a finite number.
bool allFinite(const float* values, size_t count);
bool surfaceIsFinite(const SurfaceModel& surface);

// The diagonal of the box around the surface's Cartesian control points (0 for an empty net): its
// size, against which tolerances and roundings are measured.
double controlBoxDiagonal(const SurfaceModel& surface);
