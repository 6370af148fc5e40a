// Plane cuts of the surface by marching squares over a double-precision sample grid, crossings
// refined onto the plane, chords refined to the tolerance and pieces joined in space.
#include "model/plane_cuts.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_map>

#include "model/finite_values.h"
#include "model/surface_grid.h"

namespace {

// The surface in double: knots, homogeneous points and the basis of either direction.
struct Direction {
    int count = 0;   // control points
    int degree = 0;  // order - 1
    std::vector<double> knots;
    double first() const { return knots[static_cast<size_t>(degree)]; }
    double last() const { return knots[static_cast<size_t>(count)]; }

    // 0-based span i with knots[i] <= u < knots[i + 1], inside [degree, count - 1]; the end of
    // the range belongs to the last span (The NURBS Book, A2.1).
    int span(double u) const {
        const int n = count - 1;
        if (u >= knots[static_cast<size_t>(n + 1)]) {
            int i = n;
            while (i > degree && knots[static_cast<size_t>(i)] >= knots[static_cast<size_t>(n + 1)])
                --i;
            return i;
        }
        if (u <= knots[static_cast<size_t>(degree)]) {
            int i = degree;
            while (i < n && knots[static_cast<size_t>(i + 1)] <= u) ++i;
            return i;
        }
        int low = degree, high = n + 1;
        int mid = (low + high) / 2;
        while (u < knots[static_cast<size_t>(mid)] || u >= knots[static_cast<size_t>(mid + 1)]) {
            if (u < knots[static_cast<size_t>(mid)]) {
                high = mid;
            } else {
                low = mid;
            }
            mid = (low + high) / 2;
        }
        return mid;
    }

    // Basis functions of degree q at u on span i (A2.2) into N[0 .. q].
    void basis(int i, double u, int q, double* N) const {
        double left[32], right[32];
        N[0] = 1.0;
        for (int j = 1; j <= q; ++j) {
            left[j] = u - knots[static_cast<size_t>(i + 1 - j)];
            right[j] = knots[static_cast<size_t>(i + j)] - u;
            double saved = 0.0;
            for (int r = 0; r < j; ++r) {
                const double denominator = right[r + 1] + left[j - r];
                const double temp = denominator != 0.0 ? N[r] / denominator : 0.0;
                N[r] = saved + right[r + 1] * temp;
                saved = left[j - r] * temp;
            }
            N[j] = saved;
        }
    }

    // Basis values N[0 .. degree] and first derivatives D[0 .. degree] on span i: the
    // derivative of N_{r,p} is p N_{r,p-1} / (U[r+p] - U[r]) - p N_{r+1,p-1} / (U[r+p+1] - U[r+1]).
    void basisWithDerivative(int i, double u, double* N, double* D) const {
        const int p = degree;
        basis(i, u, p, N);
        if (p == 0) {
            D[0] = 0.0;
            return;
        }
        double M[32];
        basis(i, u, p - 1, M);  // M[j] = N_{i-p+1+j, p-1}
        for (int k = 0; k <= p; ++k) {
            const int r = i - p + k;
            double value = 0.0;
            if (k >= 1) {
                const double width = knots[static_cast<size_t>(r + p)] - knots[static_cast<size_t>(r)];
                if (width != 0.0) value += p * M[k - 1] / width;
            }
            if (k <= p - 1) {
                const double width =
                    knots[static_cast<size_t>(r + p + 1)] - knots[static_cast<size_t>(r + 1)];
                if (width != 0.0) value -= p * M[k] / width;
            }
            D[k] = value;
        }
    }
};

struct Evaluated {
    double point[3];
    double du[3], dv[3];
};

struct DoubleSurface {
    Direction u, v;
    std::vector<double> net;  // 4 per point, section-major as the model's

    // Point and first partial derivatives at (s, t); false where the weight vanishes.
    bool evaluate(double s, double t, Evaluated& out) const {
        const int iu = u.span(s), iv = v.span(t);
        double Nu[32], Du[32], Nv[32], Dv[32];
        u.basisWithDerivative(iu, s, Nu, Du);
        v.basisWithDerivative(iv, t, Nv, Dv);
        double A[4] = {0, 0, 0, 0}, Au[4] = {0, 0, 0, 0}, Av[4] = {0, 0, 0, 0};
        for (int l = 0; l <= v.degree; ++l) {
            const int row = iv - v.degree + l;
            double rowSum[4] = {0, 0, 0, 0}, rowDu[4] = {0, 0, 0, 0};
            for (int k = 0; k <= u.degree; ++k) {
                const double* P =
                    &net[4 * (static_cast<size_t>(row) * u.count + (iu - u.degree + k))];
                for (int c = 0; c < 4; ++c) {
                    rowSum[c] += Nu[k] * P[c];
                    rowDu[c] += Du[k] * P[c];
                }
            }
            for (int c = 0; c < 4; ++c) {
                A[c] += Nv[l] * rowSum[c];
                Au[c] += Nv[l] * rowDu[c];
                Av[c] += Dv[l] * rowSum[c];
            }
        }
        if (!(A[3] != 0.0) || !std::isfinite(A[3])) return false;
        for (int c = 0; c < 3; ++c) {
            out.point[c] = A[c] / A[3];
            out.du[c] = (Au[c] - Au[3] * out.point[c]) / A[3];
            out.dv[c] = (Av[c] - Av[3] * out.point[c]) / A[3];
        }
        return finite(out.point[0], out.point[1], out.point[2]);
    }
};

bool makeDoubleSurface(const SurfaceModel& surface, DoubleSurface& out, std::string& error) {
    if (!surfaceIsUsable(surface) || !surfaceIsFinite(surface)) {
        error = "the surface cannot be evaluated";
        return false;
    }
    if (surface.orderU > 31 || surface.orderV > 31) {
        error = "degrees above 30 are not cut";
        return false;
    }
    out.u.count = surface.countU;
    out.u.degree = surface.orderU - 1;
    out.u.knots.assign(surface.knotsU.begin(), surface.knotsU.end());
    out.v.count = surface.countV;
    out.v.degree = surface.orderV - 1;
    out.v.knots.assign(surface.knotsV.begin(), surface.knotsV.end());
    for (const Direction* d : {&out.u, &out.v}) {
        for (size_t k = 1; k < d->knots.size(); ++k) {
            if (d->knots[k] < d->knots[k - 1]) {
                error = "its knots are not in order";
                return false;
            }
        }
        if (!(d->last() > d->first())) {
            error = "a knot range is empty";
            return false;
        }
    }
    out.net.resize(surface.controlNet.size() * 4);
    for (size_t k = 0; k < surface.controlNet.size(); ++k) {
        const PointH& P = surface.controlNet[k];
        out.net[4 * k] = P.x;
        out.net[4 * k + 1] = P.y;
        out.net[4 * k + 2] = P.z;
        out.net[4 * k + 3] = P.w;
    }
    return true;
}

// Grid parameters of one direction: every distinct knot of the range, with the same number of
// evenly spaced samples inside each span, at least minimumTotal samples in all.
std::vector<double> gridParameters(const Direction& d) {
    std::vector<double> breaks;
    for (int k = d.degree; k <= d.count; ++k) {
        const double knot = d.knots[static_cast<size_t>(k)];
        if (breaks.empty() || knot > breaks.back()) breaks.push_back(knot);
    }
    const int spans = static_cast<int>(breaks.size()) - 1;
    // Past 1200 samples a direction, one sample per span: a 1000 x 1000 net's grid then has about
    // as many points as its net, some 35 MB of doubles at most for any net the editor takes.
    const int minimumTotal = 64, mostTotal = 1200;
    int perSpan = std::max(3, (minimumTotal + spans - 1) / spans);
    perSpan = std::max(1, std::min(perSpan, mostTotal / spans));
    std::vector<double> parameters;
    for (int s = 0; s < spans; ++s) {
        for (int k = 0; k < perSpan; ++k) {
            parameters.push_back(breaks[static_cast<size_t>(s)] +
                                 (breaks[static_cast<size_t>(s) + 1] - breaks[static_cast<size_t>(s)]) *
                                     k / perSpan);
        }
    }
    parameters.push_back(breaks.back());
    return parameters;
}

struct Grid {
    std::vector<double> u, v;
    std::vector<double> points;        // x, y, z per vertex i + j * u.size()
    std::vector<unsigned char> valid;  // 1 where the surface has a point
    // A surface closed along u (its first and last grid columns meet in space) or along v: the
    // last column (row) then stands for the first, so a curve crossing the seam, or running
    // along it, is found once and chained across it.
    bool closedU = false, closedV = false;

    // The vertex that stands for vertex i + j * columns.
    size_t canonical(size_t i, size_t j) const {
        if (closedU && i + 1 == u.size()) i = 0;
        if (closedV && j + 1 == v.size()) j = 0;
        return i + j * u.size();
    }
};

// True when the vertices a(k) and b(k) coincide within gap for every k < count, all valid.
template <typename A, typename B>
bool edgesMeet(const Grid& grid, size_t count, A a, B b, double gap) {
    for (size_t k = 0; k < count; ++k) {
        const size_t p = a(k), q = b(k);
        if (!grid.valid[p] || !grid.valid[q]) return false;
        const double* P = &grid.points[3 * p];
        const double* Q = &grid.points[3 * q];
        if (std::fabs(P[0] - Q[0]) > gap || std::fabs(P[1] - Q[1]) > gap ||
            std::fabs(P[2] - Q[2]) > gap) {
            return false;
        }
    }
    return true;
}

void findSeams(Grid& grid, double gap) {
    const size_t cols = grid.u.size(), rows = grid.v.size();
    grid.closedU = edgesMeet(
        grid, rows, [&](size_t j) { return j * cols; },
        [&](size_t j) { return cols - 1 + j * cols; }, gap);
    grid.closedV = edgesMeet(
        grid, cols, [&](size_t i) { return i; }, [&](size_t i) { return i + (rows - 1) * cols; },
        gap);
}

void sampleGrid(const DoubleSurface& S, Grid& grid) {
    grid.u = gridParameters(S.u);
    grid.v = gridParameters(S.v);
    const size_t cols = grid.u.size(), rows = grid.v.size();
    grid.points.assign(cols * rows * 3, 0.0);
    grid.valid.assign(cols * rows, 0);
    const int pu = S.u.degree, pv = S.v.degree;
    std::vector<int> spanU(cols);
    std::vector<double> basisU(cols * static_cast<size_t>(pu + 1));
    for (size_t i = 0; i < cols; ++i) {
        spanU[i] = S.u.span(grid.u[i]);
        S.u.basis(spanU[i], grid.u[i], pu, &basisU[i * static_cast<size_t>(pu + 1)]);
    }
    std::vector<double> rowPoints(static_cast<size_t>(S.u.count) * 4);
    for (size_t j = 0; j < rows; ++j) {
        double Nv[32];
        const int iv = S.v.span(grid.v[j]);
        S.v.basis(iv, grid.v[j], pv, Nv);
        // The curve of this row's v: one pass over the net, then short sums along u.
        std::fill(rowPoints.begin(), rowPoints.end(), 0.0);
        for (int l = 0; l <= pv; ++l) {
            const double* P = &S.net[4 * static_cast<size_t>(iv - pv + l) * S.u.count];
            for (size_t k = 0; k < rowPoints.size(); ++k) rowPoints[k] += Nv[l] * P[k];
        }
        for (size_t i = 0; i < cols; ++i) {
            const double* N = &basisU[i * static_cast<size_t>(pu + 1)];
            double A[4] = {0, 0, 0, 0};
            for (int k = 0; k <= pu; ++k) {
                const double* P = &rowPoints[4 * static_cast<size_t>(spanU[i] - pu + k)];
                for (int c = 0; c < 4; ++c) A[c] += N[k] * P[c];
            }
            const size_t at = i + j * cols;
            if (A[3] != 0.0 && std::isfinite(A[3])) {
                bool finite = true;
                for (int c = 0; c < 3; ++c) {
                    grid.points[3 * at + c] = A[c] / A[3];
                    finite = finite && std::isfinite(grid.points[3 * at + c]);
                }
                grid.valid[at] = finite ? 1 : 0;
            }
        }
    }
}

double planeValue(const CutPlane& plane, const double* p) {
    return plane.a * p[0] + plane.b * p[1] + plane.c * p[2] - plane.d;
}

struct Crossing {
    double s, t;  // parameters
    CutPoint point;
};

// One cut: the plane with its unit normal, and what refining needs.
class Cutter {
public:
    Cutter(const DoubleSurface& S, const Grid& grid, const CutPlane& plane, double tolerance,
           double scale)
        : S_(S), grid_(grid), tolerance_(tolerance) {
        const double length = std::sqrt(plane.a * plane.a + plane.b * plane.b + plane.c * plane.c);
        plane_ = {plane.a / length, plane.b / length, plane.c / length, plane.d / length};
        closeEnough_ = 1e-12 * scale;
        cellS_ = (S.u.last() - S.u.first()) / static_cast<double>(grid.u.size() - 1);
        cellT_ = (S.v.last() - S.v.first()) / static_cast<double>(grid.v.size() - 1);
    }

    std::vector<CutCurve> run();

private:
    int crossingOnEdge(size_t a, size_t b, int edgeKey);
    void markBoundariesInPlane();
    void refineSegment(const Crossing& A, const Crossing& B, int depth, std::vector<CutPoint>& out);
    bool projectOntoPlane(double& s, double& t, CutPoint& point) const;
    double value(const CutPoint& p) const {
        return plane_.a * p.x + plane_.b * p.y + plane_.c * p.z - plane_.d;
    }

    const DoubleSurface& S_;
    const Grid& grid_;
    CutPlane plane_;
    double tolerance_;
    double closeEnough_ = 0.0;
    double cellS_ = 0.0, cellT_ = 0.0;
    std::vector<double> values_;
    std::vector<unsigned char> positive_, onBoundaryInPlane_;
    std::unordered_map<int, int> crossingOfEdge_;
    std::vector<Crossing> crossings_;
};

// The crossing on the grid edge from vertex a to vertex b, refined along the edge by regula
// falsi (Illinois) on the exact surface; reused when the neighbouring cell asks for it.
int Cutter::crossingOnEdge(size_t a, size_t b, int edgeKey) {
    const auto found = crossingOfEdge_.find(edgeKey);
    if (found != crossingOfEdge_.end()) return found->second;
    const size_t cols = grid_.u.size();
    const double sa = grid_.u[a % cols], ta = grid_.v[a / cols];
    const double sb = grid_.u[b % cols], tb = grid_.v[b / cols];
    double fa = values_[a], fb = values_[b];
    double x0 = 0.0, x1 = 1.0;
    Crossing c{};
    auto at = [&](double x, Crossing& out) {
        out.s = sa + (sb - sa) * x;
        out.t = ta + (tb - ta) * x;
        Evaluated e;
        if (!S_.evaluate(out.s, out.t, e)) return std::numeric_limits<double>::quiet_NaN();
        out.point = {e.point[0], e.point[1], e.point[2]};
        return value(out.point);
    };
    if (onBoundaryInPlane_[a] || onBoundaryInPlane_[b] || fa == 0.0 || fb == 0.0) {
        at(onBoundaryInPlane_[a] || fa == 0.0 ? 0.0 : 1.0, c);
    } else {
        int side = 0;
        double x = 0.5;
        for (int iteration = 0; iteration < 80; ++iteration) {
            x = (x0 * fb - x1 * fa) / (fb - fa);
            if (!(x > x0 && x < x1)) x = 0.5 * (x0 + x1);
            const double f = at(x, c);
            if (!std::isfinite(f)) break;
            if (std::fabs(f) <= closeEnough_ || x1 - x0 < 1e-15) break;
            if ((f < 0.0) == (fa < 0.0)) {
                x0 = x;
                fa = f;
                if (side == -1) fb *= 0.5;
                side = -1;
            } else {
                x1 = x;
                fb = f;
                if (side == 1) fa *= 0.5;
                side = 1;
            }
        }
    }
    crossings_.push_back(c);
    const int id = static_cast<int>(crossings_.size()) - 1;
    crossingOfEdge_.emplace(edgeKey, id);
    return id;
}

// An edge of the parameter range (not a seam) that lies in the plane, as the end section of a
// hull lies in its end station's plane, takes at each vertex the sign opposite to the vertex
// next to it inside, so the cut runs along it whichever side the surface leaves it to. A pole
// (an edge shrunk to a point) is left alone: the cut passes through it cell by cell.
void Cutter::markBoundariesInPlane() {
    const size_t cols = grid_.u.size(), rows = grid_.v.size();
    if (cols < 2 || rows < 2) return;
    const double band = 1e4 * closeEnough_;
    struct Side {
        size_t first, step, count, inward;
        bool seam;
    };
    const Side sides[4] = {
        {0, 1, cols, cols, grid_.closedV},                       // first row
        {(rows - 1) * cols, 1, cols, static_cast<size_t>(-static_cast<long>(cols)), grid_.closedV},
        {0, cols, rows, 1, grid_.closedU},                       // first column
        {cols - 1, cols, rows, static_cast<size_t>(-1L), grid_.closedU},
    };
    for (const Side& side : sides) {
        if (side.seam) continue;
        bool inPlane = true;
        double length = 0.0;
        for (size_t k = 0; k < side.count && inPlane; ++k) {
            const size_t v = side.first + k * side.step;
            inPlane = grid_.valid[v] && std::fabs(values_[v]) <= band;
            if (k > 0 && inPlane) {
                const double* P = &grid_.points[3 * v];
                const double* Q = &grid_.points[3 * (v - side.step)];
                length += std::hypot(P[0] - Q[0], P[1] - Q[1], P[2] - Q[2]);
            }
        }
        if (!inPlane || !(length > tolerance_)) continue;
        for (size_t k = 0; k < side.count; ++k) {
            const size_t v = side.first + k * side.step;
            positive_[v] = positive_[v + side.inward] ? 0 : 1;
            onBoundaryInPlane_[v] = 1;
        }
    }
}

// Moves (s, t) onto the plane by Newton steps along the gradient of the plane's function in
// parameter space (the shortest step that zeroes its linear part). False when it does not
// settle within a couple of grid cells.
bool Cutter::projectOntoPlane(double& s, double& t, CutPoint& point) const {
    const double s0 = s, t0 = t;
    for (int iteration = 0; iteration < 12; ++iteration) {
        Evaluated e;
        if (!S_.evaluate(s, t, e)) return false;
        point = {e.point[0], e.point[1], e.point[2]};
        const double f = value(point);
        if (std::fabs(f) <= closeEnough_) return true;
        const double gs = plane_.a * e.du[0] + plane_.b * e.du[1] + plane_.c * e.du[2];
        const double gt = plane_.a * e.dv[0] + plane_.b * e.dv[1] + plane_.c * e.dv[2];
        const double g2 = gs * gs + gt * gt;
        if (!(g2 > 0.0) || !std::isfinite(g2)) return false;
        s = std::clamp(s - f * gs / g2, S_.u.first(), S_.u.last());
        t = std::clamp(t - f * gt / g2, S_.v.first(), S_.v.last());
        if (std::fabs(s - s0) > 2.0 * cellS_ || std::fabs(t - t0) > 2.0 * cellT_) return false;
    }
    Evaluated e;
    if (!S_.evaluate(s, t, e)) return false;
    point = {e.point[0], e.point[1], e.point[2]};
    return std::fabs(value(point)) <= 1e3 * closeEnough_;
}

double distanceToChord(const CutPoint& p, const CutPoint& a, const CutPoint& b) {
    const double ab[3] = {b.x - a.x, b.y - a.y, b.z - a.z};
    const double ap[3] = {p.x - a.x, p.y - a.y, p.z - a.z};
    const double ab2 = ab[0] * ab[0] + ab[1] * ab[1] + ab[2] * ab[2];
    double r = ab2 > 0.0 ? (ap[0] * ab[0] + ap[1] * ab[1] + ap[2] * ab[2]) / ab2 : 0.0;
    r = std::clamp(r, 0.0, 1.0);
    const double d[3] = {ap[0] - r * ab[0], ap[1] - r * ab[1], ap[2] - r * ab[2]};
    return std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
}

// Appends the points strictly between A and B that bring every chord within the tolerance:
// the midpoint in parameters, moved onto the plane, splits the segment while it lies farther
// than the tolerance from the chord.
void Cutter::refineSegment(const Crossing& A, const Crossing& B, int depth,
                           std::vector<CutPoint>& out) {
    if (depth >= 12) return;
    Crossing M{};
    // A crossing on a seam carries the first column's (row's) parameter; beside the last one it
    // stands at the end of the range.
    double bs = B.s, bt = B.t, as = A.s, at = A.t;
    const double rangeS = S_.u.last() - S_.u.first(), rangeT = S_.v.last() - S_.v.first();
    if (grid_.closedU && std::fabs(as - bs) > 0.5 * rangeS) (as < bs ? as : bs) += rangeS;
    if (grid_.closedV && std::fabs(at - bt) > 0.5 * rangeT) (at < bt ? at : bt) += rangeT;
    M.s = 0.5 * (as + bs);
    M.t = 0.5 * (at + bt);
    if (!projectOntoPlane(M.s, M.t, M.point)) return;
    if (distanceToChord(M.point, A.point, B.point) <= tolerance_) return;
    refineSegment(A, M, depth + 1, out);
    out.push_back(M.point);
    refineSegment(M, B, depth + 1, out);
}

std::vector<CutCurve> Cutter::run() {
    const size_t cols = grid_.u.size(), rows = grid_.v.size();
    values_.assign(cols * rows, 0.0);
    for (size_t j = 0; j < rows; ++j) {
        for (size_t i = 0; i < cols; ++i) {
            values_[i + j * cols] = planeValue(plane_, &grid_.points[3 * grid_.canonical(i, j)]);
        }
    }

    positive_.assign(cols * rows, 0);
    onBoundaryInPlane_.assign(cols * rows, 0);
    for (size_t k = 0; k < cols * rows; ++k) positive_[k] = values_[k] >= 0.0;
    markBoundariesInPlane();

    // Segments between crossings, one or two per cell, with each crossing's two neighbours.
    struct Segment {
        int a, b;
    };
    std::vector<Segment> segments;
    for (size_t j = 0; j + 1 < rows; ++j) {
        for (size_t i = 0; i + 1 < cols; ++i) {
            // Most cells lie wholly on one side: settled from the signs alone.
            const size_t r0 = i + j * cols, r3 = r0 + cols;
            const bool positive[4] = {positive_[r0] != 0, positive_[r0 + 1] != 0,
                                      positive_[r3 + 1] != 0, positive_[r3] != 0};
            if (positive[0] == positive[1] && positive[1] == positive[2] &&
                positive[2] == positive[3]) {
                continue;
            }
            const size_t c[4] = {grid_.canonical(i, j), grid_.canonical(i + 1, j),
                                 grid_.canonical(i + 1, j + 1), grid_.canonical(i, j + 1)};
            if (!grid_.valid[c[0]] || !grid_.valid[c[1]] || !grid_.valid[c[2]] ||
                !grid_.valid[c[3]]) {
                continue;
            }
            // Edges: 0 bottom (c0 c1), 1 right (c1 c2), 2 top (c3 c2), 3 left (c0 c3). A key
            // names an edge once for both cells that share it.
            const size_t ends[4][2] = {{c[0], c[1]}, {c[1], c[2]}, {c[3], c[2]}, {c[0], c[3]}};
            const int keys[4] = {static_cast<int>(c[0] * 2), static_cast<int>(c[1] * 2 + 1),
                                 static_cast<int>(c[3] * 2), static_cast<int>(c[0] * 2 + 1)};
            int crossed[4], count = 0;
            for (int e = 0; e < 4; ++e) {
                const int k0 = e == 0 ? 0 : e == 1 ? 1 : e == 2 ? 3 : 0;
                const int k1 = e == 0 ? 1 : e == 1 ? 2 : e == 2 ? 2 : 3;
                if (positive[k0] != positive[k1]) crossed[count++] = e;
            }
            auto crossingOf = [&](int e) { return crossingOnEdge(ends[e][0], ends[e][1], keys[e]); };
            if (count == 2) {
                segments.push_back({crossingOf(crossed[0]), crossingOf(crossed[1])});
            } else if (count == 4) {
                // A saddle: the centre's sign says which corners the curve cuts off.
                const double centre =
                    0.25 * (values_[c[0]] + values_[c[1]] + values_[c[2]] + values_[c[3]]);
                if ((centre >= 0.0) == positive[0]) {
                    segments.push_back({crossingOf(0), crossingOf(1)});
                    segments.push_back({crossingOf(2), crossingOf(3)});
                } else {
                    segments.push_back({crossingOf(0), crossingOf(3)});
                    segments.push_back({crossingOf(1), crossingOf(2)});
                }
            }
        }
    }

    // Chain the segments through their shared crossings (each crossing has at most two).
    const size_t n = crossings_.size();
    std::vector<int> links(2 * n, -1);  // segment indices per crossing
    for (size_t k = 0; k < segments.size(); ++k) {
        for (int end : {segments[k].a, segments[k].b}) {
            int* slot = &links[2 * static_cast<size_t>(end)];
            if (slot[0] < 0) {
                slot[0] = static_cast<int>(k);
            } else {
                slot[1] = static_cast<int>(k);
            }
        }
    }
    std::vector<unsigned char> used(segments.size(), 0);
    std::vector<CutCurve> curves;
    auto walk = [&](int start, int firstSegment, CutCurve& curve) {
        int at = start, segment = firstSegment;
        curve.points.push_back(crossings_[static_cast<size_t>(at)].point);
        while (segment >= 0 && !used[static_cast<size_t>(segment)]) {
            used[static_cast<size_t>(segment)] = 1;
            const Segment& g = segments[static_cast<size_t>(segment)];
            const int next = g.a == at ? g.b : g.a;
            refineSegment(crossings_[static_cast<size_t>(at)], crossings_[static_cast<size_t>(next)],
                          0, curve.points);
            curve.points.push_back(crossings_[static_cast<size_t>(next)].point);
            const int* slot = &links[2 * static_cast<size_t>(next)];
            segment = slot[0] == segment ? slot[1] : slot[0];
            at = next;
            if (at == start) {
                curve.closed = true;
                curve.points.pop_back();
                break;
            }
        }
    };
    // Open chains first, from their ends, then the loops that are left.
    for (size_t k = 0; k < n; ++k) {
        const int* slot = &links[2 * k];
        if (slot[0] >= 0 && slot[1] < 0 && !used[static_cast<size_t>(slot[0])]) {
            CutCurve curve;
            walk(static_cast<int>(k), slot[0], curve);
            curves.push_back(std::move(curve));
        }
    }
    for (size_t k = 0; k < segments.size(); ++k) {
        if (used[k]) continue;
        CutCurve curve;
        walk(segments[k].a, static_cast<int>(k), curve);
        curves.push_back(std::move(curve));
    }
    return curves;
}

double distance(const CutPoint& a, const CutPoint& b) {
    return std::sqrt((a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y) +
                     (a.z - b.z) * (a.z - b.z));
}

// Drops points that repeat the one before (a curve running through a pole meets it once per
// grid cell around it).
void dropRepeats(CutCurve& curve, double gap) {
    std::vector<CutPoint> kept;
    for (const CutPoint& p : curve.points) {
        if (kept.empty() || distance(kept.back(), p) > gap) kept.push_back(p);
    }
    if (curve.closed && kept.size() > 1 && distance(kept.front(), kept.back()) <= gap) {
        kept.pop_back();
    }
    curve.points = std::move(kept);
}

// Joins open curves whose ends meet within gap (the pieces of a cut across a seam of a closed
// surface, or a cut and its mirror image), and closes a curve whose two ends meet.
void joinCurves(std::vector<CutCurve>& curves, double gap) {
    for (CutCurve& c : curves) dropRepeats(c, gap * 1e-3);
    bool joined = true;
    while (joined) {
        joined = false;
        for (size_t i = 0; i < curves.size() && !joined; ++i) {
            CutCurve& a = curves[i];
            if (a.closed || a.points.empty()) continue;
            for (size_t j = i + 1; j < curves.size() && !joined; ++j) {
                CutCurve& b = curves[j];
                if (b.closed || b.points.empty()) continue;
                if (distance(a.points.back(), b.points.front()) <= gap) {
                } else if (distance(a.points.back(), b.points.back()) <= gap) {
                    std::reverse(b.points.begin(), b.points.end());
                } else if (distance(a.points.front(), b.points.back()) <= gap) {
                    std::swap(a.points, b.points);
                } else if (distance(a.points.front(), b.points.front()) <= gap) {
                    std::reverse(a.points.begin(), a.points.end());
                } else {
                    continue;
                }
                a.points.insert(a.points.end(), b.points.begin() + 1, b.points.end());
                curves.erase(curves.begin() + static_cast<std::ptrdiff_t>(j));
                joined = true;
            }
        }
    }
    for (CutCurve& c : curves) {
        if (!c.closed && c.points.size() > 2 && distance(c.points.front(), c.points.back()) <= gap) {
            c.points.pop_back();
            c.closed = true;
        }
    }
    curves.erase(std::remove_if(curves.begin(), curves.end(),
                                [](const CutCurve& c) { return c.points.size() < 2; }),
                 curves.end());
}

// A fixed order for the curves of a cut, whatever order the grid found them in: each open curve
// runs from its lower end to its higher one (by y, then x, then z), a closed one starts at its
// lowest point; curves are sorted by their first points.
bool before(const CutPoint& a, const CutPoint& b) {
    if (a.y != b.y) return a.y < b.y;
    if (a.x != b.x) return a.x < b.x;
    return a.z < b.z;
}

void orderCurves(std::vector<CutCurve>& curves) {
    for (CutCurve& c : curves) {
        if (c.closed) {
            const auto lowest = std::min_element(c.points.begin(), c.points.end(), before);
            std::rotate(c.points.begin(), lowest, c.points.end());
        } else if (before(c.points.back(), c.points.front())) {
            std::reverse(c.points.begin(), c.points.end());
        }
    }
    std::sort(curves.begin(), curves.end(), [](const CutCurve& a, const CutCurve& b) {
        return before(a.points.front(), b.points.front());
    });
}

CutPoint reflected(const CutPoint& p, const MirrorPlane& mirror) {
    CutPoint q = p;
    double& c = mirror.axis == 0 ? q.x : mirror.axis == 1 ? q.y : q.z;
    c = 2.0 * mirror.offset - c;
    return q;
}

}  // namespace

CutPlane axisPlane(int axis, double value) {
    CutPlane plane;
    plane.a = axis == 0 ? 1.0 : 0.0;
    plane.b = axis == 1 ? 1.0 : 0.0;
    plane.c = axis == 2 ? 1.0 : 0.0;
    plane.d = value;
    return plane;
}

bool controlBox(const SurfaceModel& surface, double box[6]) {
    bool any = false;
    for (const PointH& P : surface.controlNet) {
        if (!(P.w > 0.0f)) continue;
        const double p[3] = {static_cast<double>(P.x) / P.w, static_cast<double>(P.y) / P.w,
                             static_cast<double>(P.z) / P.w};
        if (!finite(p[0], p[1], p[2])) continue;
        for (int c = 0; c < 3; ++c) {
            box[c] = any ? std::min(box[c], p[c]) : p[c];
            box[c + 3] = any ? std::max(box[c + 3], p[c]) : p[c];
        }
        any = true;
    }
    return any;
}

double defaultCutTolerance(const SurfaceModel& surface) {
    double box[6];
    if (!controlBox(surface, box)) return 0.0;
    const double dx = box[3] - box[0], dy = box[4] - box[1], dz = box[5] - box[2];
    return 1e-4 * std::sqrt(dx * dx + dy * dy + dz * dz);
}

bool cutSurface(const SurfaceModel& surface, const std::vector<CutPlane>& planes, double tolerance,
                const MirrorPlane* mirror, std::vector<PlaneCut>& cuts, std::string& error) {
    DoubleSurface S;
    if (!makeDoubleSurface(surface, S, error)) return false;
    double box[6];
    if (!controlBox(surface, box)) {
        error = "the surface has no control point of positive weight";
        return false;
    }
    const double diagonal = std::sqrt((box[3] - box[0]) * (box[3] - box[0]) +
                                      (box[4] - box[1]) * (box[4] - box[1]) +
                                      (box[5] - box[2]) * (box[5] - box[2]));
    if (!std::isfinite(tolerance)) {
        error = "the tolerance is not a finite number";
        return false;
    }
    if (tolerance <= 0.0) tolerance = 1e-4 * diagonal;
    if (!(tolerance > 0.0)) tolerance = 1e-9;  // a surface shrunk to a point
    if (mirror != nullptr && !mirrorPlaneIsSound(*mirror)) {
        error = "the mirror plane is not an axis plane at a finite offset";
        return false;
    }
    for (const CutPlane& p : planes) {
        const double length = std::sqrt(p.a * p.a + p.b * p.b + p.c * p.c);
        if (!finite(length, p.d) || !(length > 0.0)) {
            error = "a cutting plane has no direction or is not finite";
            return false;
        }
    }
    Grid grid;
    sampleGrid(S, grid);
    const double scale = std::max({diagonal, std::fabs(box[0]), std::fabs(box[1]),
                                   std::fabs(box[2]), std::fabs(box[3]), std::fabs(box[4]),
                                   std::fabs(box[5]), 1e-30});
    // Pieces closer than this meet: far below the tolerance, far above the refinement's error.
    const double gap = std::min(tolerance, 1e-6 * scale);
    findSeams(grid, gap);

    // The planes are cut independently over the shared grid, two at a time.
    std::vector<PlaneCut> result(planes.size());
    auto cutOne = [&](int k) {
        const CutPlane& plane = planes[static_cast<size_t>(k)];
        PlaneCut& cut = result[static_cast<size_t>(k)];
        cut.plane = plane;
        cut.curves = Cutter(S, grid, plane, tolerance, scale).run();
        if (mirror != nullptr) {
            // The mirror image's cut by this plane is the reflection of the surface's cut by
            // the reflected plane: the same plane for a station or waterline of a z mirror.
            CutPlane image = plane;
            double* normal[3] = {&image.a, &image.b, &image.c};
            *normal[mirror->axis] = -*normal[mirror->axis];
            const double along = mirror->axis == 0 ? plane.a : mirror->axis == 1 ? plane.b : plane.c;
            image.d = plane.d - 2.0 * along * mirror->offset;
            std::vector<CutCurve> images;
            if (along == 0.0) {
                images = cut.curves;
            } else {
                images = Cutter(S, grid, image, tolerance, scale).run();
            }
            for (CutCurve& c : images) {
                for (CutPoint& p : c.points) p = reflected(p, *mirror);
                cut.curves.push_back(std::move(c));
            }
        }
        joinCurves(cut.curves, gap);
        orderCurves(cut.curves);
    };
    if (planes.size() > 1) {
        runOnTwoThreads(static_cast<int>(planes.size()), cutOne);
    } else if (!planes.empty()) {
        cutOne(0);
    }
    cuts = std::move(result);
    return true;
}

bool surfaceBox(const SurfaceModel& surface, double box[6], std::string& error) {
    DoubleSurface S;
    if (!makeDoubleSurface(surface, S, error)) return false;
    Grid grid;
    sampleGrid(S, grid);
    bool any = false;
    for (size_t k = 0; k < grid.valid.size(); ++k) {
        if (!grid.valid[k]) continue;
        for (int c = 0; c < 3; ++c) {
            const double value = grid.points[3 * k + c];
            box[c] = any ? std::min(box[c], value) : value;
            box[c + 3] = any ? std::max(box[c + 3], value) : value;
        }
        any = true;
    }
    if (!any) error = "the surface has no point";
    return any;
}

bool cutBox(const PlaneCut& cut, double box[6]) {
    bool any = false;
    for (const CutCurve& c : cut.curves) {
        for (const CutPoint& p : c.points) {
            const double q[3] = {p.x, p.y, p.z};
            for (int k = 0; k < 3; ++k) {
                box[k] = any ? std::min(box[k], q[k]) : q[k];
                box[k + 3] = any ? std::max(box[k + 3], q[k]) : q[k];
            }
            any = true;
        }
    }
    return any;
}
