// What the analysis shadings show at each vertex of an evaluated grid (surface_grid.h): the
// stripe coordinate of zebra light bands reflected in the surface, and curvature as a colour on
// a diverging scale.
#pragma once

#include <cstdint>
#include <vector>

#include "model/point_vector.h"
#include "model/surface_grid.h"

// Zebra stripes: the surface mirrors a room of straight light bands parallel to the camera's up
// direction. The view ray from `eye` to each vertex is reflected about the vertex normal, and
// the stripe coordinate is bandsAcross times the reflected direction's component along `across`
// (the camera's right direction, unit length): one stripe pair per unit of the coordinate. The
// stripes run on where the surface is smooth, kink where its tangent plane jumps and bend where
// its curvature does. Undefined vertices get 0. Needs a grid evaluated with normals.
void zebraCoordinates(const SurfaceGrid& grid, Point3 eye, Vector3 across, float bandsAcross,
                      std::vector<float>& coordinates);

// The value the curvature map shows: Gaussian curvature K, or mean curvature H.
enum class CurvatureKind { gaussian, mean };

// The half-width of the colour scale for the values of the grid's defined vertices: the
// 95th percentile of their magnitudes, so that a few extreme vertices (near a pole, a cusp)
// do not wash the rest out to the middle colour. 0 when every value is 0 or none is defined.
float curvatureScaleRange(const SurfaceGrid& grid, CurvatureKind kind);

// Red, green, blue (0 .. 255) of value on the diverging scale [-range, range]: blue for
// negative values, a light grey for 0, red for positive; values past the range take the ends.
// A range of 0 shows everything as 0.
void divergingColour(float value, float range, uint8_t rgb[3]);

// The colour of every vertex of the grid, 3 bytes each; undefined vertices get the middle colour.
void curvatureColours(const SurfaceGrid& grid, CurvatureKind kind, float range,
                      std::vector<uint8_t>& colours);
