// Grid parameters from the net's extent on the screen, basis tables and the separable grid
// evaluation of points, normals and curvature.
#include "model/surface_grid.h"

#include <algorithm>
#include <cmath>

#include "model/finite_values.h"
#include "model/knots.h"
#include "model/rational_derivatives.h"

namespace {

// Where a control point lands in the window; not valid behind the eye or for a weight of 0.
struct ScreenPoint {
    float x, y;
    bool valid;
};

struct D3 {
    double x, y, z;
};

D3 operator-(D3 a, D3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
double dot(D3 a, D3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
D3 cross(D3 a, D3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// The Cartesian point (x, y, z) through the screen projection.
ScreenPoint projectPlace(const ScreenProjection& screen, const D3& p) {
    const float* m = screen.matrix;
    const double cx = m[0] * p.x + m[4] * p.y + m[8] * p.z + m[12];
    const double cy = m[1] * p.x + m[5] * p.y + m[9] * p.z + m[13];
    const double cw = m[3] * p.x + m[7] * p.y + m[11] * p.z + m[15];
    if (!(cw > 0.0)) return {0.0f, 0.0f, false};
    const double px = screen.viewport[0] + (cx / cw + 1.0) * 0.5 * screen.viewport[2];
    const double py = screen.viewport[1] + (cy / cw + 1.0) * 0.5 * screen.viewport[3];
    if (!finite(px, py)) return {0.0f, 0.0f, false};
    return {static_cast<float>(px), static_cast<float>(py), true};
}

// P's Cartesian point and where it lands in the window: placed is false for a weight of 0 (a
// direction, not a place) or a point out of range.
struct PlacedPoint {
    D3 place{0.0, 0.0, 0.0};
    bool placed = false;
    ScreenPoint screen{0.0f, 0.0f, false};
};

PlacedPoint placePoint(const ScreenProjection& screen, const PointH& P) {
    PlacedPoint out;
    if (P.w == 0.0f) return out;
    const double w = P.w;
    out.place = {P.x / w, P.y / w, P.z / w};
    out.placed = finite(out.place.x, out.place.y, out.place.z);
    out.screen = projectPlace(screen, out.place);
    return out;
}

// Steps each span of one direction asks for: demand[I] for the 1-based span I in [order, n].
// Along u the polygons are the sections (rows of the net), along v the columns. A leg that runs
// behind the eye, or far past the window, counts as `farLeg` pixels.
// Of many polygons, density.mostLines spread evenly are measured (the first and last always).
std::vector<double> spanDemand(const NetSurface& S, const ScreenProjection& projection, bool alongU,
                               double farLeg, const GridDensity& density) {
    const int n = alongU ? S.countU : S.countV;
    const int order = alongU ? S.orderU : S.orderV;
    const int lines = alongU ? S.countV : S.countU;
    const size_t stride = alongU ? 1 : static_cast<size_t>(S.countU);
    const size_t lineStride = alongU ? static_cast<size_t>(S.countU) : 1;
    std::vector<double> demand(static_cast<size_t>(n) + 1, 0.0);
    // Prefix sums along the polygon: pixels[j] over legs 0 .. j-1, turning[j] over the corners
    // at points 1 .. j-1, so each span's share is one difference whatever its order.
    std::vector<double> pixels(static_cast<size_t>(n), 0.0);
    std::vector<double> turning(static_cast<size_t>(n), 0.0);
    std::vector<D3> leg(static_cast<size_t>(n), D3{0.0, 0.0, 0.0});
    std::vector<unsigned char> hasLeg(static_cast<size_t>(n), 0);
    // The line's points, each worked out once for both legs it ends.
    std::vector<PlacedPoint> point(static_cast<size_t>(n));
    const int measured = std::max(2, density.mostLines);
    const bool allLines = lines <= measured;
    for (int k = 0; k < (allLines ? lines : measured); ++k) {
        const int line =
            allLines ? k
                     : static_cast<int>(static_cast<long long>(k) * (lines - 1) / (measured - 1));
        const size_t base = static_cast<size_t>(line) * lineStride;
        for (int j = 0; j < n; ++j) {
            point[static_cast<size_t>(j)] =
                placePoint(projection, S.net[base + static_cast<size_t>(j) * stride]);
        }
        for (int j = 0; j + 1 < n; ++j) {
            const PlacedPoint& a = point[static_cast<size_t>(j)];
            const PlacedPoint& b = point[static_cast<size_t>(j) + 1];
            const ScreenPoint& sa = a.screen;
            const ScreenPoint& sb = b.screen;
            double length = farLeg;
            if (sa.valid && sb.valid) {
                length = std::min(farLeg, std::hypot(static_cast<double>(sb.x) - sa.x,
                                                     static_cast<double>(sb.y) - sa.y));
            }
            pixels[static_cast<size_t>(j) + 1] = pixels[static_cast<size_t>(j)] + length;
            hasLeg[static_cast<size_t>(j)] = a.placed && b.placed;
            if (hasLeg[static_cast<size_t>(j)]) leg[static_cast<size_t>(j)] = b.place - a.place;
        }
        for (int j = 1; j < n; ++j) {
            double angle = 0.0;
            if (j + 1 < n && hasLeg[static_cast<size_t>(j) - 1] && hasLeg[static_cast<size_t>(j)]) {
                const D3 a = leg[static_cast<size_t>(j) - 1], b = leg[static_cast<size_t>(j)];
                const D3 c = cross(a, b);
                angle = std::atan2(std::sqrt(dot(c, c)), dot(a, b));
                if (!std::isfinite(angle)) angle = 0.0;
            }
            turning[static_cast<size_t>(j)] = turning[static_cast<size_t>(j) - 1] + angle;
        }
        for (int I = order; I <= n; ++I) {
            const size_t first = static_cast<size_t>(I - order), last = static_cast<size_t>(I - 1);
            // Each leg lies in order - 1 spans and each corner in order - 2, so a span's share
            // of the polygon is its legs' and corners' sums divided by those counts.
            const double byPixels =
                (pixels[last] - pixels[first]) / (density.pixelsPerStep * std::max(1, order - 1));
            const double byTurning = last > first + 1
                                         ? (turning[last - 1] - turning[first]) /
                                               (density.radiansPerStep * std::max(1, order - 2))
                                         : 0.0;
            demand[static_cast<size_t>(I)] =
                std::max(demand[static_cast<size_t>(I)], std::max(byPixels, byTurning));
        }
    }
    return demand;
}

// steps + 1 parameters over the knot range, each span's share of the steps in proportion to
// its demand and spread evenly inside it.
std::vector<float> placeParameters(const float* U, int n, int order, std::vector<double> demand,
                                   int mostSteps, const GridDensity& density) {
    const float start = U[order - 1], end = U[n];
    double total = 0.0;
    for (int I = order; I <= n; ++I) {
        const double width = static_cast<double>(U[I]) - U[I - 1];
        if (!(width > 0.0) || !std::isfinite(demand[static_cast<size_t>(I)])) {
            demand[static_cast<size_t>(I)] = 0.0;
        }
        total += demand[static_cast<size_t>(I)];
    }
    if (!(total > 0.0)) {  // a net that covers no pixel: steps evenly over the range
        total = 0.0;
        for (int I = order; I <= n; ++I) {
            demand[static_cast<size_t>(I)] = std::max(0.0, static_cast<double>(U[I]) - U[I - 1]);
            total += demand[static_cast<size_t>(I)];
        }
    }
    // The interior knots join the grid while the spans are few against its steps, so a crease
    // or a jump in curvature at a patch boundary falls on a grid line, not inside a cell; the
    // steps between them shrink by as many, so the grid keeps to its bound.
    std::vector<float> knots;
    for (int I = order; I < n; ++I) {
        if (U[I] > start && U[I] < end && (knots.empty() || U[I] > knots.back())) {
            knots.push_back(U[I]);
        }
    }
    const int most = std::max(density.minSteps, mostSteps);
    int steps =
        std::clamp(static_cast<int>(std::ceil(std::min(total, 1e9))), density.minSteps, most);
    const int knotCount = static_cast<int>(knots.size());
    const bool withKnots = knotCount > 0 && 2 * knotCount <= steps;
    if (withKnots) steps = std::max(1, std::min(steps, most - knotCount));
    std::vector<float> parameters;
    parameters.reserve(static_cast<size_t>(steps) + 1);
    parameters.push_back(start);
    int I = order;
    double before = 0.0;  // demand of the spans before span I
    for (int i = 1; i < steps; ++i) {
        const double target = total * i / steps;
        while (I < n && before + demand[static_cast<size_t>(I)] < target) {
            before += demand[static_cast<size_t>(I)];
            ++I;
        }
        const double share = demand[static_cast<size_t>(I)];
        const double t = share > 0.0 ? std::clamp((target - before) / share, 0.0, 1.0) : 0.0;
        const float u = static_cast<float>(U[I - 1] + t * (static_cast<double>(U[I]) - U[I - 1]));
        if (u > parameters.back() && u < end) parameters.push_back(u);
    }
    parameters.push_back(end);
    if (withKnots) {
        std::vector<float> merged(parameters.size() + knots.size());
        merged.erase(std::set_union(parameters.begin(), parameters.end(), knots.begin(),
                                    knots.end(), merged.begin()),
                     merged.end());
        parameters.swap(merged);
    }
    return parameters;
}

// A homogeneous point or derivative, summed in float like the surface's points; the rational
// quotients below are formed in double.
struct H4 {
    float x, y, z, w;
};

// One row of the grid: the v-derivatives of the net's columns at the row's v (the pass over the
// net), then per vertex the short sums along u and the rational quotient rule (A4.4).
// Only the grid columns [firstColumn, endColumn) are evaluated, and the pass over the net covers
// only the net columns their spans reach (firstNet .. endNet - 1).
void evaluateRow(const NetSurface& S, const BasisTable& tu, const BasisTable& tv, int row,
                 int derivatives, int firstColumn, int endColumn, size_t firstNet, size_t endNet,
                 std::vector<H4>& Q, SurfaceGrid& grid) {
    const int d = derivatives;
    const int Iv = tv.span[static_cast<size_t>(row)];
    const size_t countU = static_cast<size_t>(S.countU);
    if (Iv == 0) return;
    for (int dv = 0; dv <= d; ++dv) {
        const float* Nv = &tv.values[(static_cast<size_t>(row) * (d + 1) + dv) * S.orderV];
        H4* q = &Q[static_cast<size_t>(dv) * countU];
        for (size_t k = firstNet; k < endNet; ++k) q[k] = {0.0f, 0.0f, 0.0f, 0.0f};
        for (int l = 0; l < S.orderV; ++l) {
            const PointH* P = S.net + static_cast<size_t>(Iv - S.orderV + l) * countU;
            const float b = Nv[l];
            for (size_t k = firstNet; k < endNet; ++k) {
                q[k].x += b * P[k].x;
                q[k].y += b * P[k].y;
                q[k].z += b * P[k].z;
                q[k].w += b * P[k].w;
            }
        }
    }
    for (int column = firstColumn; column < endColumn; ++column) {
        const int Iu = tu.span[static_cast<size_t>(column)];
        if (Iu == 0) continue;
        // A[du][dv]: derivative du along u, dv along v, of the homogeneous surface.
        H4 A[3][3] = {};
        for (int du = 0; du <= d; ++du) {
            const float* Nu = &tu.values[(static_cast<size_t>(column) * (d + 1) + du) * S.orderU];
            for (int dv = 0; du + dv <= d; ++dv) {
                const H4* q = &Q[static_cast<size_t>(dv) * countU + (Iu - S.orderU)];
                H4 sum = {0.0f, 0.0f, 0.0f, 0.0f};
                for (int k = 0; k < S.orderU; ++k) {
                    sum.x += Nu[k] * q[k].x;
                    sum.y += Nu[k] * q[k].y;
                    sum.z += Nu[k] * q[k].z;
                    sum.w += Nu[k] * q[k].w;
                }
                A[du][dv] = sum;
            }
        }
        const size_t vertex = static_cast<size_t>(row) * grid.columns + column;
        const float px = A[0][0].x / A[0][0].w, py = A[0][0].y / A[0][0].w,
                    pz = A[0][0].z / A[0][0].w;
        if (!finite(px, py, pz)) continue;
        if (d == 0) {
            grid.positions[3 * vertex] = px;
            grid.positions[3 * vertex + 1] = py;
            grid.positions[3 * vertex + 2] = pz;
            grid.defined[vertex] = 1;
            continue;
        }
        const double w = A[0][0].w;
        const D3 p = {px, py, pz};
        auto xyz = [](const H4& h) { return D3{h.x, h.y, h.z}; };
        auto combine = [w](D3 a, double s1, D3 b, double s2, D3 c, double s3, D3 e) {
            return D3{(a.x - s1 * b.x - s2 * c.x - s3 * e.x) / w,
                      (a.y - s1 * b.y - s2 * c.y - s3 * e.y) / w,
                      (a.z - s1 * b.z - s2 * c.z - s3 * e.z) / w};
        };
        const D3 zero = {0.0, 0.0, 0.0};
        const D3 Su = combine(xyz(A[1][0]), A[1][0].w, p, 0.0, zero, 0.0, zero);
        const D3 Sv = combine(xyz(A[0][1]), A[0][1].w, p, 0.0, zero, 0.0, zero);
        const D3 c = cross(Su, Sv);
        const double area = std::sqrt(dot(c, c));
        const double E = dot(Su, Su), F = dot(Su, Sv), G = dot(Sv, Sv);
        // The tangent plane is lost as curvature.h says: parallel or vanishing tangents.
        if (!(area > 1e-5 * (E + G)) || !std::isfinite(area)) continue;
        const D3 N = {c.x / area, c.y / area, c.z / area};
        float K = 0.0f, H = 0.0f;
        if (d == 2) {
            const D3 Suu = combine(xyz(A[2][0]), 2.0 * A[1][0].w, Su, A[2][0].w, p, 0.0, zero);
            const D3 Suv = combine(xyz(A[1][1]), A[1][0].w, Sv, A[0][1].w, Su, A[1][1].w, p);
            const D3 Svv = combine(xyz(A[0][2]), 2.0 * A[0][1].w, Sv, A[0][2].w, p, 0.0, zero);
            const double L = dot(Suu, N), M = dot(Suv, N), Nn = dot(Svv, N);
            const double EGF = area * area;
            K = static_cast<float>((L * Nn - M * M) / EGF);
            H = static_cast<float>((E * Nn - 2.0 * F * M + G * L) / (2.0 * EGF));
            if (!finite(K, H)) continue;
            grid.gaussian[vertex] = K;
            grid.mean[vertex] = H;
        }
        grid.positions[3 * vertex] = px;
        grid.positions[3 * vertex + 1] = py;
        grid.positions[3 * vertex + 2] = pz;
        grid.normals[3 * vertex] = static_cast<float>(N.x);
        grid.normals[3 * vertex + 1] = static_cast<float>(N.y);
        grid.normals[3 * vertex + 2] = static_cast<float>(N.z);
        grid.defined[vertex] = 1;
    }
}

}  // namespace

NetSurface netSurfaceOf(const SurfaceModel& surface) {
    NetSurface S;
    if (!surfaceArraysMatch(surface) || !netMatchesCounts(surface)) return S;
    S.net = surface.controlNet.data();
    S.countU = surface.countU;
    S.countV = surface.countV;
    S.orderU = surface.orderU;
    S.orderV = surface.orderV;
    S.knotsU = surface.knotsU.data();
    S.knotsV = surface.knotsV.data();
    return S;
}

bool netSurfaceUsable(const NetSurface& S) {
    if (S.net == nullptr || S.knotsU == nullptr || S.knotsV == nullptr) return false;
    if (S.countU < 1 || S.countV < 1 || S.orderU < 1 || S.orderV < 1) return false;
    if (S.orderU > S.countU || S.orderV > S.countV) return false;
    const double widthU = static_cast<double>(S.knotsU[S.countU]) - S.knotsU[S.orderU - 1];
    const double widthV = static_cast<double>(S.knotsV[S.countV]) - S.knotsV[S.orderV - 1];
    return widthU > 0.0 && widthV > 0.0 && finite(widthU, widthV);
}

GridParameters chooseGridParameters(const NetSurface& S, const ScreenProjection& screen,
                                    const GridDensity& density) {
    GridParameters result;
    if (!netSurfaceUsable(S)) return result;
    const double windowSide =
        std::max(1.0f, std::max(std::fabs(screen.viewport[2]), std::fabs(screen.viewport[3])));
    const double farLeg = 2.0 * windowSide;
    const int mostSteps = std::min(
        density.maxSteps, static_cast<int>(std::ceil(density.stepsPerWindowPixel * windowSide)));
    result.u = placeParameters(S.knotsU, S.countU, S.orderU,
                               spanDemand(S, screen, true, farLeg, density), mostSteps, density);
    result.v = placeParameters(S.knotsV, S.countV, S.orderV,
                               spanDemand(S, screen, false, farLeg, density), mostSteps, density);
    return result;
}

BasisTable makeBasisTable(const float* knots, int count, int order,
                          const std::vector<float>& parameters, int derivatives) {
    BasisTable table;
    table.order = order;
    table.derivatives = derivatives;
    const size_t rowSize = static_cast<size_t>(derivatives + 1) * order;
    table.span.assign(parameters.size(), 0);
    table.values.assign(parameters.size() * rowSize, 0.0f);
    std::vector<double> ders(rowSize);
    const int p = order - 1;
    for (size_t i = 0; i < parameters.size(); ++i) {
        const float u = parameters[i];
        const int I = findKnotSpan(count - 1, p, u, knots);
        // Knots edited out of order can send the span outside the range, as for a single point.
        if (I < order || I > count) continue;
        table.span[i] = I;
        float* row = &table.values[i * rowSize];
        evaluateBasis(row, I, u, p, knots);
        if (derivatives > 0) {
            evaluateBasisDerivatives(ders.data(), I, u, p, derivatives, knots);
            for (size_t k = static_cast<size_t>(order); k < rowSize; ++k) {
                row[k] = static_cast<float>(ders[k]);
            }
        }
    }
    return table;
}

void evaluateSurfaceGrid(const NetSurface& S, const GridParameters& parameters,
                         GridQuantity quantity, SurfaceGrid& grid, const JobRunner& run) {
    const bool usable = netSurfaceUsable(S) && !parameters.u.empty() && !parameters.v.empty();
    grid.columns = usable ? static_cast<int>(parameters.u.size()) : 0;
    grid.rows = usable ? static_cast<int>(parameters.v.size()) : 0;
    const size_t vertices = static_cast<size_t>(grid.columns) * static_cast<size_t>(grid.rows);
    const int d = quantity == GridQuantity::points ? 0 : quantity == GridQuantity::normals ? 1 : 2;
    grid.positions.assign(3 * vertices, 0.0f);
    grid.normals.assign(d >= 1 ? 3 * vertices : 0, 0.0f);
    grid.gaussian.assign(d == 2 ? vertices : 0, 0.0f);
    grid.mean.assign(d == 2 ? vertices : 0, 0.0f);
    grid.defined.assign(vertices, 0);
    if (!usable) return;
    evaluateSurfaceGridRegion(S, parameters, quantity, {0, grid.columns, 0, grid.rows}, grid, run);
}

GridRegion gridRegionOfNetChange(const NetSurface& S, const GridParameters& parameters, int firstU,
                                 int lastU, int firstV, int lastV) {
    GridRegion region;
    if (!netSurfaceUsable(S) || firstU > lastU || firstV > lastV) return region;
    // Net point k of a direction weighs on the parameters in [U[k], U[k + order]]: the support
    // of its basis function.
    auto range = [](const std::vector<float>& t, const float* U, int count, int order, int first,
                    int last, int& begin, int& end) {
        first = std::clamp(first, 0, count - 1);
        last = std::clamp(last, 0, count - 1);
        const float low = U[first], high = U[last + order];
        begin = static_cast<int>(std::lower_bound(t.begin(), t.end(), low) - t.begin());
        end = static_cast<int>(std::upper_bound(t.begin(), t.end(), high) - t.begin());
        if (begin > end) begin = end;
    };
    range(parameters.u, S.knotsU, S.countU, S.orderU, firstU, lastU, region.firstColumn,
          region.endColumn);
    range(parameters.v, S.knotsV, S.countV, S.orderV, firstV, lastV, region.firstRow,
          region.endRow);
    return region;
}

void evaluateSurfaceGridRegion(const NetSurface& S, const GridParameters& parameters,
                               GridQuantity quantity, const GridRegion& region, SurfaceGrid& grid,
                               const JobRunner& run) {
    const int d = quantity == GridQuantity::points ? 0 : quantity == GridQuantity::normals ? 1 : 2;
    const size_t vertices = static_cast<size_t>(grid.columns) * static_cast<size_t>(grid.rows);
    const bool fits = netSurfaceUsable(S) &&
                      grid.columns == static_cast<int>(parameters.u.size()) &&
                      grid.rows == static_cast<int>(parameters.v.size()) &&
                      grid.defined.size() == vertices && grid.positions.size() == 3 * vertices &&
                      grid.normals.size() == (d >= 1 ? 3 * vertices : 0) &&
                      grid.gaussian.size() == (d == 2 ? vertices : 0);
    const int c0 = std::max(0, region.firstColumn), c1 = std::min(grid.columns, region.endColumn);
    const int r0 = std::max(0, region.firstRow), r1 = std::min(grid.rows, region.endRow);
    if (!fits || c0 >= c1 || r0 >= r1) return;
    const BasisTable tu = makeBasisTable(S.knotsU, S.countU, S.orderU, parameters.u, d);
    const BasisTable tv = makeBasisTable(S.knotsV, S.countV, S.orderV, parameters.v, d);
    // The net columns the region's spans reach.
    size_t firstNet = static_cast<size_t>(S.countU), endNet = 0;
    for (int column = c0; column < c1; ++column) {
        const int Iu = tu.span[static_cast<size_t>(column)];
        if (Iu == 0) continue;
        firstNet = std::min(firstNet, static_cast<size_t>(Iu - S.orderU));
        endNet = std::max(endNet, static_cast<size_t>(Iu));
    }
    // Bands of rows, more than two so that the thread that finishes first takes another.
    const int rows = r1 - r0;
    const int jobs = std::min(rows, 16);
    run(jobs, [&](int job) {
        std::vector<H4> Q(static_cast<size_t>(d + 1) * static_cast<size_t>(S.countU));
        const int first = r0 + static_cast<int>(static_cast<long long>(rows) * job / jobs);
        const int last = r0 + static_cast<int>(static_cast<long long>(rows) * (job + 1) / jobs);
        for (int row = first; row < last; ++row) {
            // What the row held before is cleared, so a vertex that is now undefined shows so.
            for (int column = c0; column < c1; ++column) {
                const size_t vertex = static_cast<size_t>(row) * grid.columns + column;
                grid.defined[vertex] = 0;
                std::fill_n(&grid.positions[3 * vertex], 3, 0.0f);
                if (d >= 1) std::fill_n(&grid.normals[3 * vertex], 3, 0.0f);
                if (d == 2) grid.gaussian[vertex] = grid.mean[vertex] = 0.0f;
            }
            evaluateRow(S, tu, tv, row, d, c0, c1, firstNet, endNet, Q, grid);
        }
    });
}
