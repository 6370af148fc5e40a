// Triangle meshes of a surface within a tolerance: a grid of parameter lines chosen for each
// direction, every cell cut along the diagonal that follows the surface better, and the grid's
// boundary welded where the surface closes on itself (seams) or collapses to a point (poles).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "model/surface_model.h"

struct SurfaceMesh {
    std::vector<float> positions;         // x, y, z of each vertex
    std::vector<float> normals;           // unit normal of each vertex, x, y, z
    std::vector<uint32_t> triangles;      // three vertex indices each, counter-clockwise about the
                                          // normals: the direction of S_u x S_v, or outwards when
                                          // the mesh is closed
    std::vector<float> cornerParameters;  // u, v of each triangle's three corners (a seam
                                          // vertex has one position but two parameters)
    // Along a crease (a knot of multiplicity = degree where the surface turns a corner) a vertex
    // has one normal for each side: sideNormals holds them (x, y, z), and cornerNormals names,
    // for each triangle corner, the one it takes, or kVertexNormal for the vertex's own. Both
    // stay empty on a surface without creases.
    std::vector<float> sideNormals;
    std::vector<uint32_t> cornerNormals;

    size_t vertexCount() const { return positions.size() / 3; }
    size_t triangleCount() const { return triangles.size() / 3; }
};

constexpr uint32_t kVertexNormal = UINT32_MAX;

// The most vertices a mesh may have before the tolerance is called too fine for the surface.
constexpr size_t kMaxMeshVertices = size_t{2} << 20;

// How far welding may move a vertex: a twentieth of the tolerance, and no more than the float
// rounding by which the points of a seam or a pole differ (2^-16 of controlBoxDiagonal), so that
// a tolerance past the surface's size does not weld distinct vertices into one.
double meshWeld(const SurfaceModel& surface, double tolerance);

// Meshes the surface so that every vertex is a surface point (as evaluateSurfacePoint gives it,
// moved by welding no farther than meshWeld) and the surface at the midpoints of the
// triangles' edges, at their centres and at the grid points they replaced lies within tolerance
// of the mesh. The caller checks the surface with checkExportable and the tolerance with
// checkTolerance first. False, with the reason in error and mesh unspecified, when the tolerance
// cannot be met: below 2^-20 of controlBoxDiagonal, finer than single precision can follow, or
// needing more than kMaxMeshVertices.
bool meshSurface(const SurfaceModel& surface, double tolerance, SurfaceMesh& mesh,
                 std::string& error);

// A closed mesh (every edge shared by two triangles) bounds a solid: its triangles, their corner
// parameters and its normals turn to face outwards, as slicers and mesh tools expect, whichever
// way the surface's parameters run. An open mesh is left as it is.
void faceOutwards(SurfaceMesh& mesh);
