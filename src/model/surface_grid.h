// A rational surface evaluated on a grid of (u, v) parameters: the grid's density chosen from
// the control net's extent on the screen and its turning, per-direction tables of basis values,
// and the points, unit normals and curvatures of every grid vertex, evaluated separably (a pass
// over the net per grid row, then short sums along u) on two threads.
#pragma once

#include <functional>
#include <vector>

#include "model/surface_model.h"
#include "model/two_threads.h"

// A rational surface as arrays: the editor's surface, or the skinned or expanded net the main
// view draws in its place. The net is section-major, countU x countV points (as SurfaceModel's).
struct NetSurface {
    const PointH* net = nullptr;
    int countU = 0, countV = 0;
    int orderU = 0, orderV = 0;
    const float* knotsU = nullptr;  // countU + orderU knots
    const float* knotsV = nullptr;  // countV + orderV knots
};

// The surface's own net and knots; counts 0 (not usable) when its arrays do not match.
NetSurface netSurfaceOf(const SurfaceModel& surface);

// True when the arrays are there, every count and order is at least 1, no order exceeds its
// count and each direction's knot range [U[p], U[n+1]] has a positive, finite width.
bool netSurfaceUsable(const NetSurface& surface);

// Model coordinates to window pixels: clip = matrix * (x, y, z, 1) (GL column order, projection
// times model-view), then the viewport transform (x, y, width, height).
struct ScreenProjection {
    float matrix[16];
    float viewport[4];
};

// How dense a grid is asked to be, and its bounds. A step of the grid covers at most about
// pixelsPerStep pixels of the control polygon's length on the screen and radiansPerStep of its
// turning. The steps per direction lie in [minSteps, maxSteps], and maxSteps is further held to
// stepsPerWindowPixel times the viewport's larger side, so the grid follows what the window
// shows, never the number of patches. Of a direction's polygons (the sections along u, the
// columns along v), at most mostLines spread evenly over the net are measured, so choosing the
// grid of a 1000 x 1000 net costs about what it costs for a 64 x 1000 one.
struct GridDensity {
    float pixelsPerStep = 6.0f;
    float radiansPerStep = 0.1f;
    int minSteps = 4;
    int maxSteps = 512;
    float stepsPerWindowPixel = 0.5f;
    int mostLines = 64;
};

// Grid parameters per direction, ascending, from the start to the end of the knot range.
struct GridParameters {
    std::vector<float> u, v;
};

// Parameters whose spacing follows the density: each knot span asks for the steps its share of
// the control polygons gives (its legs' screen length over order - 1, or its corners' turning
// over order - 2, whichever asks more), taken over the measured polygons of that direction
// (the sections along u, the columns along v); the steps of a direction are then spread over
// the spans in proportion, evenly inside a span. Empty when the surface is not usable.
GridParameters chooseGridParameters(const NetSurface& surface, const ScreenProjection& screen,
                                    const GridDensity& density);

// Basis values of one direction at every grid parameter: span[i] is the 1-based span of
// findKnotSpan (0 where the parameter has no valid span), and values[(i * (derivatives + 1) + d)
// * order + k] the d-th derivative of basis function k of that span. The values themselves come
// from evaluateBasis, so a grid point sums the same basis floats as evaluateSurfacePoint.
struct BasisTable {
    int order = 0;
    int derivatives = 0;  // 0, 1 or 2
    std::vector<int> span;
    std::vector<float> values;
};

BasisTable makeBasisTable(const float* knots, int count, int order,
                          const std::vector<float>& parameters, int derivatives);

// What a grid evaluation computes; each includes the ones before it.
enum class GridQuantity { points, normals, curvature };

// The evaluated grid: vertex i + j * columns lies at (u[i], v[j]).
struct SurfaceGrid {
    int columns = 0, rows = 0;
    std::vector<float> positions;        // x, y, z per vertex
    std::vector<float> normals;          // unit Su x Sv per vertex (normals, curvature)
    std::vector<float> gaussian;         // K per vertex (curvature)
    std::vector<float> mean;             // H per vertex, signs as in curvature.h (curvature)
    std::vector<unsigned char> defined;  // 1 where every asked quantity is set and finite
};

// Evaluates the surface at every (u, v) of the grid. Vertices where evaluateSurfacePoint has no
// point, or (asked for normals) where the tangent plane is lost, are left undefined with zeros.
void evaluateSurfaceGrid(const NetSurface& surface, const GridParameters& parameters,
                         GridQuantity quantity, SurfaceGrid& grid,
                         const JobRunner& run = runOnTwoThreads);

// A rectangle of grid vertices: columns [firstColumn, endColumn), rows [firstRow, endRow).
struct GridRegion {
    int firstColumn = 0, endColumn = 0;
    int firstRow = 0, endRow = 0;
};

// The grid vertices that net points firstU .. lastU (along a section) of sections firstV ..
// lastV weigh on: those whose parameters lie in the supports of their basis functions. Empty
// when the surface is not usable or the ranges are empty.
GridRegion gridRegionOfNetChange(const NetSurface& surface, const GridParameters& parameters,
                                 int firstU, int lastU, int firstV, int lastV);

// Evaluates again the vertices of `region` in a grid evaluateSurfaceGrid made with the same
// parameters and quantity, after the net changed only where `region` says: the grid then holds
// what a whole evaluation of the changed net gives. Nothing is done when the grid does not
// match the parameters and quantity.
void evaluateSurfaceGridRegion(const NetSurface& surface, const GridParameters& parameters,
                               GridQuantity quantity, const GridRegion& region, SurfaceGrid& grid,
                               const JobRunner& run = runOnTwoThreads);
