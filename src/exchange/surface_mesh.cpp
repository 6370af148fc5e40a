// Triangle meshes of a surface within a tolerance.
//
// The mesh is a grid of parameter lines, u lines times v lines. It starts from the distinct knots
// (inside a knot span the surface is one rational polynomial patch), halves every interval whose
// cells stray from the surface by more than the tolerance, and then walks each direction,
// dropping every line whose neighbours' merged cells still follow the surface, checked also at
// the points of the dropped lines. A cell strays when the surface at one of its check points is
// farther than the tolerance from the point of the cell's triangles at the same parameters: the
// midpoints of its edges and diagonal, and the centres of its triangles. That distance bounds
// both the distance of the surface point from the mesh and of the mesh point from the surface.
#include "exchange/surface_mesh.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numeric>
#include <unordered_map>

#include "model/knots.h"
#include "model/rational_derivatives.h"

namespace {

struct Vec3 {
    double x, y, z;
};

Vec3 operator-(Vec3 a, Vec3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
Vec3 operator+(Vec3 a, Vec3 b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
Vec3 operator*(double k, Vec3 a) {
    return {k * a.x, k * a.y, k * a.z};
}
double length(Vec3 a) {
    return std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z);
}
Vec3 cross(Vec3 a, Vec3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// Spans and non-zero basis functions of a list of parameter values in one direction, from
// findEvaluationSpan and evaluateBasis, so that points come out exactly as evaluateSurfacePoint
// gives them.
class BasisTable {
public:
    BasisTable(const std::vector<float>& U, int count, int order)
        : U_(U.data()), n_(count - 1), p_(order - 1) {}
    int order() const { return p_ + 1; }
    void clear() {
        spans_.clear();
        values_.clear();
    }
    size_t add(float t) {
        const int span = findEvaluationSpan(n_, p_, t, U_);
        spans_.push_back(span);
        values_.resize(values_.size() + static_cast<size_t>(p_ + 1));
        evaluateBasis(&values_[values_.size() - static_cast<size_t>(p_ + 1)], span, t, p_, U_);
        return spans_.size() - 1;
    }
    int span(size_t k) const { return spans_[k]; }
    const float* values(size_t k) const { return &values_[k * static_cast<size_t>(p_ + 1)]; }

private:
    const float* U_;
    int n_, p_;
    std::vector<int> spans_;
    std::vector<float> values_;
};

// The surface point for entry ku of the u table and kv of the v table, summed in the order
// evaluateSurfacePoint sums, so that the floats are the same.
Vec3 surfacePoint(const SurfaceModel& s, const BasisTable& bu, size_t ku, const BasisTable& bv,
                  size_t kv) {
    const PointH sum = weightedNetSum(s, bu.span(ku), bu.values(ku), bv.span(kv), bv.values(kv));
    return {sum.x / sum.w, sum.y / sum.w, sum.z / sum.w};
}

// A surface point at local cell coordinates (s along u, t along v, both in [0, 1]).
struct Sample {
    double s, t;
    Vec3 point;
};

// Distances of the samples from the cell's triangles at the same local coordinates, for the cut
// along a-c (triangles abc, acd) and along b-d (abd, bcd); corners a, b, c, d are at (0, 0),
// (1, 0), (1, 1), (0, 1).
void cellErrors(const Vec3 corner[4], const Sample* samples, size_t count, double& alongAC,
                double& alongBD) {
    const Vec3 &a = corner[0], &b = corner[1], &c = corner[2], &d = corner[3];
    alongAC = alongBD = 0.0;
    for (size_t k = 0; k < count; ++k) {
        const double s = samples[k].s, t = samples[k].t;
        const Vec3 onAC = s >= t ? a + s * (b - a) + t * (c - b) : a + s * (c - d) + t * (d - a);
        const Vec3 onBD = s + t <= 1.0 ? a + s * (b - a) + t * (d - a)
                                       : c + (1.0 - s) * (d - c) + (1.0 - t) * (b - c);
        alongAC = std::max(alongAC, length(samples[k].point - onAC));
        alongBD = std::max(alongBD, length(samples[k].point - onBD));
    }
}

// Distance of a sample on the cell's edge from that edge (either cut gives the same).
double edgeError(const Vec3 corner[4], const Sample& sample) {
    double alongAC, alongBD;
    cellErrors(corner, &sample, 1, alongAC, alongBD);
    return alongAC;
}

// The most intervals one merged interval may span: each try checks the points of every line it
// drops, so an unbounded walk over a flat surface with many knots would take quadratic time.
constexpr size_t kMostMerged = 64;

// The grid of parameter lines and the surface at its check points. Direction 0 is u, 1 is v.
// Entries are kept for both directions with the same shape: for direction d, "line k, interval
// j" is line k of d crossed with interval j of the other direction.
class Grid {
public:
    Grid(const SurfaceModel& s, double threshold)
        : s_(s),
          threshold_(threshold),
          tables_{BasisTable(s.knotsU, s.countU, s.orderU),
                  BasisTable(s.knotsV, s.countV, s.orderV)},
          scratch_{BasisTable(s.knotsU, s.countU, s.orderU),
                   BasisTable(s.knotsV, s.countV, s.orderV)} {}

    std::vector<float> lines[2];
    std::vector<uint8_t> cutBD;  // per cell (i + j * (nu - 1)): cut along b-d, else a-c

    size_t count(int d) const { return lines[d].size(); }

    // Evaluates the surface at every grid point and check point of the current lines.
    void evaluate() {
        for (int d = 0; d < 2; ++d) {
            BasisTable& table = tables_[d];
            table.clear();
            const std::vector<float>& L = lines[d];
            for (float t : L) table.add(t);
            // Interval k: entries at 1/3, 1/2 and 2/3 of it.
            for (size_t k = 0; k + 1 < L.size(); ++k) {
                const float w = L[k + 1] - L[k];
                table.add(L[k] + w / 3.0f);
                table.add(L[k] + w * 0.5f);
                table.add(L[k] + w * (2.0f / 3.0f));
            }
        }
        const size_t nu = count(0), nv = count(1);
        points_.resize(nu * nv);
        for (size_t j = 0; j < nv; ++j) {
            for (size_t i = 0; i < nu; ++i) points_[i + j * nu] = at(i, j);
        }
        // Midpoints of the edges along u (interval i, line j) and along v (line i, interval j).
        midU_.resize((nu - 1) * nv);
        for (size_t j = 0; j < nv; ++j) {
            for (size_t i = 0; i + 1 < nu; ++i) midU_[i + j * (nu - 1)] = at(third(0, i, 1), j);
        }
        midV_.resize(nu * (nv - 1));
        for (size_t j = 0; j + 1 < nv; ++j) {
            for (size_t i = 0; i < nu; ++i) midV_[i + j * nu] = at(i, third(1, j, 1));
        }
    }

    const Vec3& point(size_t i, size_t j) const { return points_[i + j * count(0)]; }

    // Checks every cell; marks the intervals to halve in split[0] (u) and split[1] (v) and
    // records the better cut of every cell. Returns true when no cell strays.
    bool check(std::vector<uint8_t> split[2]) {
        const size_t nu = count(0), nv = count(1);
        split[0].assign(nu - 1, 0);
        split[1].assign(nv - 1, 0);
        cutBD.assign((nu - 1) * (nv - 1), 0);
        bool good = true;
        for (size_t j = 0; j + 1 < nv; ++j) {
            for (size_t i = 0; i + 1 < nu; ++i) {
                const Vec3 corner[4] = {point(i, j), point(i + 1, j), point(i + 1, j + 1),
                                        point(i, j + 1)};
                const double errorU =
                    std::max(edgeError(corner, {0.5, 0.0, midU_[i + j * (nu - 1)]}),
                             edgeError(corner, {0.5, 1.0, midU_[i + (j + 1) * (nu - 1)]}));
                const double errorV =
                    std::max(edgeError(corner, {0.0, 0.5, midV_[i + j * nu]}),
                             edgeError(corner, {1.0, 0.5, midV_[i + 1 + j * nu]}));
                if (errorU > threshold_) split[0][i] = 1;
                if (errorV > threshold_) split[1][j] = 1;
                Sample inner[5];
                innerSamples(i, j, inner);
                double alongAC, alongBD;
                cellErrors(corner, inner, 5, alongAC, alongBD);
                const bool bd = alongBD < alongAC;
                cutBD[i + j * (nu - 1)] = bd ? 1 : 0;
                if (std::min(alongAC, alongBD) > threshold_ && !split[0][i] && !split[1][j]) {
                    // A twist: halve the longer side.
                    const double sideU =
                        length(corner[1] - corner[0]) + length(corner[2] - corner[3]);
                    const double sideV =
                        length(corner[3] - corner[0]) + length(corner[2] - corner[1]);
                    split[sideU >= sideV ? 0 : 1][sideU >= sideV ? i : j] = 1;
                }
                good = good && !split[0][i] && !split[1][j];
            }
        }
        return good;
    }

    // Keeps only the lines of direction d that the walk needs: from each kept line, the farthest
    // next line whose merged cells still follow the surface at their own check points and at the
    // points of the lines between. A merged interval spans at most a third of the lines, so that
    // a direction keeps three intervals: a closed direction of fewer would fold flat, or weld
    // into nothing, whatever the tolerance. evaluate() must have run on the current lines.
    void coarsen(int d) {
        const size_t n = count(d);
        const size_t most = std::min(kMostMerged, std::max<size_t>(1, (n - 1) / 3));
        std::vector<float> kept{lines[d][0]};
        size_t a = 0;
        while (a + 1 < n) {
            size_t b = a + 1;
            while (b + 1 < n && b + 1 - a <= most && stripFollows(d, a, b + 1)) ++b;
            kept.push_back(lines[d][b]);
            a = b;
        }
        lines[d] = std::move(kept);
    }

private:
    // Table entry of the point at 1/3 (which 0), 1/2 (1) or 2/3 (2) of interval k of direction d.
    size_t third(int d, size_t k, int which) const {
        return count(d) + 3 * k + static_cast<size_t>(which);
    }

    Vec3 at(size_t ku, size_t kv) const { return surfacePoint(s_, tables_[0], ku, tables_[1], kv); }

    // The diagonal midpoint and the four triangle centres of either cut.
    void innerSamples(size_t i, size_t j, Sample* out) const {
        const double s[3] = {1.0 / 3.0, 0.5, 2.0 / 3.0};
        const int which[5][2] = {{1, 1}, {0, 0}, {2, 0}, {0, 2}, {2, 2}};
        for (int k = 0; k < 5; ++k) {
            out[k] = {s[which[k][0]], s[which[k][1]],
                      at(third(0, i, which[k][0]), third(1, j, which[k][1]))};
        }
    }

    // Point of entry kd of table (direction d) crossed with entry ke of the other direction's
    // main table.
    Vec3 crossed(int d, const BasisTable& table, size_t kd, size_t ke) const {
        return d == 0 ? surfacePoint(s_, table, kd, tables_[1], ke)
                      : surfacePoint(s_, tables_[0], ke, table, kd);
    }

    const Vec3& gridPoint(int d, size_t k, size_t j) const {
        return d == 0 ? point(k, j) : point(j, k);
    }

    // True when the cells between lines a and b of direction d (the lines between dropped)
    // follow the surface in every interval of the other direction.
    bool stripFollows(int d, size_t a, size_t b) {
        const int e = 1 - d;
        const std::vector<float>& L = lines[d];
        const float w = L[b] - L[a];
        BasisTable& table = scratch_[d];
        table.clear();
        table.add(L[a] + w / 3.0f);
        table.add(L[a] + w * 0.5f);
        table.add(L[a] + w * (2.0f / 3.0f));
        const double width = static_cast<double>(w);
        std::vector<Sample>& samples = stripSamples_;
        const size_t nu = count(0);
        for (size_t j = 0; j + 1 < count(e); ++j) {
            samples.clear();
            // Local coordinates: sigma across the merged strip (direction d), tau along the
            // interval j of direction e.
            auto add = [&](double sigma, double tau, const Vec3& p) {
                samples.push_back(d == 0 ? Sample{sigma, tau, p} : Sample{tau, sigma, p});
            };
            const double third[3] = {1.0 / 3.0, 0.5, 2.0 / 3.0};
            // The merged cell's own check points.
            add(0.5, 0.0, crossed(d, table, 1, j));
            add(0.5, 1.0, crossed(d, table, 1, j + 1));
            const int which[5][2] = {{1, 1}, {0, 0}, {2, 0}, {0, 2}, {2, 2}};
            for (const auto& k : which) {
                add(third[k[0]], third[k[1]],
                    crossed(d, table, static_cast<size_t>(k[0]), this->third(e, j, k[1])));
            }
            // The dropped lines' points and the midpoints of the cells they bounded.
            for (size_t k = a; k < b; ++k) {
                const double sigma = static_cast<double>(L[k] - L[a]) / width;
                const double middle =
                    (static_cast<double>(L[k] - L[a]) + 0.5 * (L[k + 1] - L[k])) / width;
                if (k > a) {
                    add(sigma, 0.0, gridPoint(d, k, j));
                    add(sigma, 0.5, d == 0 ? midV_[k + j * nu] : midU_[j + k * (nu - 1)]);
                    add(sigma, 1.0, gridPoint(d, k, j + 1));
                }
                add(middle, 0.0, d == 0 ? midU_[k + j * (nu - 1)] : midV_[j + k * nu]);
                add(middle, 1.0, d == 0 ? midU_[k + (j + 1) * (nu - 1)] : midV_[j + 1 + k * nu]);
            }
            Vec3 corner[4];
            if (d == 0) {
                corner[0] = point(a, j), corner[1] = point(b, j);
                corner[2] = point(b, j + 1), corner[3] = point(a, j + 1);
            } else {
                corner[0] = point(j, a), corner[1] = point(j + 1, a);
                corner[2] = point(j + 1, b), corner[3] = point(j, b);
            }
            double alongAC, alongBD;
            cellErrors(corner, samples.data(), samples.size(), alongAC, alongBD);
            if (std::min(alongAC, alongBD) > threshold_) return false;
        }
        return true;
    }

    const SurfaceModel& s_;
    double threshold_;
    BasisTable tables_[2];
    BasisTable scratch_[2];
    std::vector<Vec3> points_;
    std::vector<Vec3> midU_, midV_;
    std::vector<Sample> stripSamples_;
};

// The distinct knots of the surface's parameter range [U[p], U[n+1]].
std::vector<float> knotLines(const std::vector<float>& U, int count, int order) {
    const float first = U[static_cast<size_t>(order - 1)];
    const float last = U[static_cast<size_t>(count)];
    std::vector<float> lines{first};
    for (float knot : U) {
        if (knot > lines.back() && knot < last) lines.push_back(knot);
    }
    lines.push_back(last);
    return lines;
}

// Halves the marked intervals. False when a half would not be a new float.
bool halve(std::vector<float>& lines, const std::vector<uint8_t>& split, float& stuckAt) {
    std::vector<float> next{lines[0]};
    for (size_t k = 0; k + 1 < lines.size(); ++k) {
        if (split[k]) {
            const float middle = lines[k] + (lines[k + 1] - lines[k]) * 0.5f;
            if (!(middle > lines[k] && middle < lines[k + 1])) {
                stuckAt = lines[k];
                return false;
            }
            next.push_back(middle);
        }
        next.push_back(lines[k + 1]);
    }
    lines = std::move(next);
    return true;
}

// Refines until no cell strays; false with the reason when that cannot be done.
bool refine(Grid& grid, double tolerance, std::string& error) {
    std::vector<uint8_t> split[2];
    for (;;) {
        if (grid.count(0) * grid.count(1) > kMaxMeshVertices) {
            char text[200];
            snprintf(text, sizeof text,
                     "the tolerance %g is too fine for this surface: the mesh would need more "
                     "than %zu vertices",
                     tolerance, kMaxMeshVertices);
            error = text;
            return false;
        }
        grid.evaluate();
        if (grid.check(split)) return true;
        float stuckAt = 0.0f;
        for (int d = 0; d < 2; ++d) {
            if (!halve(grid.lines[d], split[d], stuckAt)) {
                char text[200];
                snprintf(text, sizeof text,
                         "the surface cannot be meshed within %g: near %s = %g it changes faster "
                         "than single precision can follow",
                         tolerance, d == 0 ? "s" : "t", static_cast<double>(stuckAt));
                error = text;
                return false;
            }
        }
    }
}

size_t findRoot(std::vector<uint32_t>& parent, size_t k) {
    while (parent[k] != k) {
        parent[k] = parent[parent[k]];
        k = parent[k];
    }
    return k;
}

// Vertex k's replacement: boundary vertices closer than weld to another boundary vertex become
// one (the first of them), so that seams and poles share their vertices. The vertices are sorted
// into cubes of side weld, so that a vertex is compared only with those in its own cube and the
// 26 around it: n log n however the boundary lies (a boundary in one plane x = c put every vertex
// within weld of every other in x).
std::vector<uint32_t> weldBoundary(const std::vector<float>& positions, size_t nu, size_t nv,
                                   double weld) {
    const size_t total = nu * nv;
    std::vector<uint32_t> parent(total);
    std::iota(parent.begin(), parent.end(), 0u);
    std::vector<uint32_t> boundary;
    for (size_t j = 0; j < nv; ++j) {
        for (size_t i = 0; i < nu; ++i) {
            if (i == 0 || j == 0 || i + 1 == nu || j + 1 == nv) {
                boundary.push_back(static_cast<uint32_t>(i + j * nu));
            }
        }
    }
    double low[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL};
    for (uint32_t k : boundary) {
        for (int c = 0; c < 3; ++c) low[c] = std::min(low[c], double{positions[3 * k + c]});
    }
    // Cube coordinates from the lowest corner, capped so that they fit: cubes past the cap merge,
    // which costs comparisons but loses no pair within weld.
    using Cube = std::array<int64_t, 3>;
    constexpr double kMostCube = 1e15;
    auto cubeOf = [&](uint32_t k) {
        Cube cube;
        for (int c = 0; c < 3; ++c) {
            if (!(weld > 0.0)) {  // only equal points weld: the cube is the point itself
                uint32_t bits;
                const float value = positions[3 * k + c] + 0.0f;
                memcpy(&bits, &value, sizeof bits);
                cube[c] = bits;
                continue;
            }
            const double offset = (positions[3 * k + c] - low[c]) / weld;
            cube[c] = static_cast<int64_t>(std::min(std::floor(offset), kMostCube));
        }
        return cube;
    };
    std::vector<std::pair<Cube, uint32_t>> cubes;
    cubes.reserve(boundary.size());
    for (uint32_t k : boundary) cubes.emplace_back(cubeOf(k), k);
    std::sort(cubes.begin(), cubes.end());
    for (const auto& [cube, a] : cubes) {
        const Vec3 pa = {positions[3 * a], positions[3 * a + 1], positions[3 * a + 2]};
        // The cubes (x, y, z - 1 .. z + 1) are neighbours in the sorted list: one search each.
        for (int64_t dx = -1; dx <= 1; ++dx) {
            for (int64_t dy = -1; dy <= 1; ++dy) {
                const Cube first = {cube[0] + dx, cube[1] + dy, cube[2] - 1};
                auto it = std::lower_bound(
                    cubes.begin(), cubes.end(), first,
                    [](const std::pair<Cube, uint32_t>& e, const Cube& c) { return e.first < c; });
                for (; it != cubes.end() && it->first[0] == first[0] && it->first[1] == first[1] &&
                       it->first[2] <= cube[2] + 1;
                     ++it) {
                    const uint32_t b = it->second;
                    if (b <= a) continue;  // each pair once
                    const Vec3 pb = {positions[3 * b], positions[3 * b + 1], positions[3 * b + 2]};
                    if (length(pb - pa) > weld) continue;
                    const size_t ra = findRoot(parent, a), rb = findRoot(parent, b);
                    if (ra != rb)
                        parent[std::max(ra, rb)] = static_cast<uint32_t>(std::min(ra, rb));
                }
            }
        }
    }
    for (size_t k = 0; k < total; ++k) parent[k] = static_cast<uint32_t>(findRoot(parent, k));
    return parent;
}

// True when every edge is shared by exactly two triangles.
bool isClosed(const std::vector<uint32_t>& triangles) {
    std::vector<std::pair<uint32_t, uint32_t>> edges;
    edges.reserve(triangles.size());
    for (size_t t = 0; t < triangles.size(); t += 3) {
        for (int k = 0; k < 3; ++k) {
            const uint32_t a = triangles[t + k], b = triangles[t + (k + 1) % 3];
            edges.emplace_back(std::min(a, b), std::max(a, b));
        }
    }
    std::sort(edges.begin(), edges.end());
    for (size_t k = 0; k < edges.size(); k += 2) {
        if (k + 1 >= edges.size() || edges[k] != edges[k + 1]) return false;
        if (k + 2 < edges.size() && edges[k + 2] == edges[k]) return false;
    }
    return !edges.empty();
}

// Six times the volume a closed mesh encloses, positive when its triangles face outwards.
double signedVolume(const SurfaceMesh& mesh) {
    double volume = 0.0;
    for (size_t t = 0; t < mesh.triangleCount(); ++t) {
        Vec3 v[3];
        for (int k = 0; k < 3; ++k) {
            const float* p = &mesh.positions[3 * mesh.triangles[3 * t + k]];
            v[k] = {p[0], p[1], p[2]};
        }
        const Vec3 n = cross(v[1], v[2]);
        volume += v[0].x * n.x + v[0].y * n.y + v[0].z * n.z;
    }
    return volume;
}

// Interior knots of one direction repeated as often as the degree: the surface is only C0 there
// and may turn a corner.
std::vector<float> continuityBreaks(const std::vector<float>& U, int count, int order) {
    const int p = order - 1;
    const float first = U[static_cast<size_t>(p)], last = U[static_cast<size_t>(count)];
    std::vector<float> out;
    for (size_t i = 0; i < U.size();) {
        size_t j = i;
        while (j + 1 < U.size() && U[j + 1] == U[i]) ++j;
        if (U[i] > first && U[i] < last && static_cast<int>(j - i + 1) >= p) out.push_back(U[i]);
        i = j + 1;
    }
    return out;
}

// The unit normal S_u x S_v at (u, v), or false where it has no direction (a pole).
bool unitNormal(const SurfaceModel& s, float u, float v, Vec3& n) {
    SurfaceDerivatives d;
    if (!evaluateSurfaceDerivatives(s, u, v, d)) return false;
    const Vec3 su{d.Su.x, d.Su.y, d.Su.z}, sv{d.Sv.x, d.Sv.y, d.Sv.z};
    n = cross(su, sv);
    const double size = length(n), a = length(su), b = length(sv);
    // At a pole one derivative is rounding noise, and so is the direction of the normal.
    if (!(size > 1e-6 * a * b) || std::min(a, b) <= 1e-5 * std::max(a, b)) return false;
    if (!std::isfinite(size)) return false;
    n = (1.0 / size) * n;
    return true;
}

// True when the surface turns a corner across the knot line t = knot of direction d (0: u) at
// the other parameter `other`: the normals just before and just after the knot part by more
// than a degree. A knot of full multiplicity where the surface stays smooth (the joints of a
// rational circle) is no crease.
bool turnsCorner(const SurfaceModel& s, int d, float knot, float other,
                 const std::vector<float>& lines) {
    const auto next = std::upper_bound(lines.begin(), lines.end(), knot);
    const auto before = std::lower_bound(lines.begin(), lines.end(), knot);
    if (next == lines.end() || before == lines.begin()) return false;
    const float step = 1e-3f * std::min(*next - knot, knot - *(before - 1));
    Vec3 a, b;
    const bool found =
        d == 0 ? unitNormal(s, knot - step, other, a) && unitNormal(s, knot + step, other, b)
               : unitNormal(s, other, knot - step, a) && unitNormal(s, other, knot + step, b);
    return found && a.x * b.x + a.y * b.y + a.z * b.z < std::cos(3.14159265358979 / 180.0);
}

// Gives the triangle corners on a crease one normal per side: the area-weighted mean of the
// normals of the triangles on that side around the vertex. lines are the grid's lines.
void splitCreaseNormals(const SurfaceModel& s, const std::vector<float> lines[2],
                        SurfaceMesh& mesh) {
    const std::vector<float> breaks[2] = {continuityBreaks(s.knotsU, s.countU, s.orderU),
                                          continuityBreaks(s.knotsV, s.countV, s.orderV)};
    mesh.sideNormals.clear();
    mesh.cornerNormals.clear();
    if (breaks[0].empty() && breaks[1].empty()) return;
    // Side class of each corner: 0 off every crease, else 1 + (side in u) + 3 * (side in v)
    // with a side of 0 (no crease in that direction), 1 (before) or 2 (after).
    const size_t corners = mesh.triangles.size();
    std::vector<uint8_t> side(corners, 0);
    bool any = false;
    for (size_t t = 0; t < mesh.triangleCount(); ++t) {
        const float* uv = &mesh.cornerParameters[6 * t];
        for (int c = 0; c < 3; ++c) {
            int sides[2] = {0, 0};
            for (int d = 0; d < 2; ++d) {
                const float at = uv[2 * c + d];
                if (!std::binary_search(breaks[d].begin(), breaks[d].end(), at)) continue;
                if (!turnsCorner(s, d, at, uv[2 * c + 1 - d], lines[d])) continue;
                const float centre = (uv[d] + uv[2 + d] + uv[4 + d]) / 3.0f;
                sides[d] = centre < at ? 1 : 2;
            }
            if (sides[0] != 0 || sides[1] != 0) {
                side[3 * t + c] = static_cast<uint8_t>(1 + sides[0] + 3 * sides[1]);
                any = true;
            }
        }
    }
    if (!any) return;
    std::vector<Vec3> sums;
    // The side normal of each vertex and side class met, keyed by vertex * 9 + class - 1.
    std::unordered_map<uint64_t, uint32_t> slots;
    mesh.cornerNormals.assign(corners, kVertexNormal);
    auto vertex = [&](uint32_t k) {
        return Vec3{mesh.positions[3 * k], mesh.positions[3 * k + 1], mesh.positions[3 * k + 2]};
    };
    for (size_t t = 0; t < mesh.triangleCount(); ++t) {
        const uint32_t* v = &mesh.triangles[3 * t];
        const Vec3 n = cross(vertex(v[1]) - vertex(v[0]), vertex(v[2]) - vertex(v[0]));
        for (int c = 0; c < 3; ++c) {
            const uint8_t which = side[3 * t + c];
            if (which == 0) continue;
            const auto found = slots.emplace(uint64_t{v[c]} * 9 + (which - 1u),
                                             static_cast<uint32_t>(sums.size()));
            if (found.second) sums.push_back({0.0, 0.0, 0.0});
            const uint32_t slot = found.first->second;
            sums[slot] = sums[slot] + n;
            mesh.cornerNormals[3 * t + c] = slot;
        }
    }
    mesh.sideNormals.reserve(3 * sums.size());
    for (const Vec3& sum : sums) {
        const double size = length(sum);
        const Vec3 n = size > 0.0 ? (1.0 / size) * sum : Vec3{0.0, 0.0, 1.0};
        mesh.sideNormals.insert(
            mesh.sideNormals.end(),
            {static_cast<float>(n.x), static_cast<float>(n.y), static_cast<float>(n.z)});
    }
}

}  // namespace

double meshWeld(const SurfaceModel& surface, double tolerance) {
    return std::min(tolerance / 20.0, std::ldexp(controlBoxDiagonal(surface), -16));
}

bool meshSurface(const SurfaceModel& surface, double tolerance, SurfaceMesh& mesh,
                 std::string& error) {
    // Single-precision points are a few units of 2^-24 of the surface's size off; a tolerance
    // near that cannot be kept, only chased down to the float spacing of the parameters.
    const double finest = std::ldexp(controlBoxDiagonal(surface), -20);
    if (tolerance < finest) {
        char text[200];
        snprintf(text, sizeof text,
                 "the surface cannot be meshed within %g: single precision follows it no closer "
                 "than %g",
                 tolerance, finest);
        error = text;
        return false;
    }
    // Welding moves a vertex by at most weld, so the cells keep that much in hand. It joins the
    // vertices of a seam or a pole, which coincide up to float rounding, and no others: a
    // tolerance past the surface's size would otherwise weld the whole boundary into one vertex.
    const double weld = meshWeld(surface, tolerance);
    Grid grid(surface, tolerance - weld);
    grid.lines[0] = knotLines(surface.knotsU, surface.countU, surface.orderU);
    grid.lines[1] = knotLines(surface.knotsV, surface.countV, surface.orderV);
    // Every distinct knot is a line of the grid, whatever the tolerance.
    if (grid.count(0) * grid.count(1) > kMaxMeshVertices) {
        char text[240];
        snprintf(text, sizeof text,
                 "the surface cannot be meshed at any tolerance: its distinct knots alone make a "
                 "grid of %zu x %zu vertices, more than the %zu a mesh may have",
                 grid.count(0), grid.count(1), kMaxMeshVertices);
        error = text;
        return false;
    }
    if (!refine(grid, tolerance, error)) return false;
    grid.coarsen(0);
    grid.evaluate();
    grid.coarsen(1);
    // Every merged cell was checked by a walk; this pass records the cuts of the final cells.
    if (!refine(grid, tolerance, error)) return false;

    const size_t nu = grid.count(0), nv = grid.count(1);
    std::vector<float> positions(3 * nu * nv);
    for (size_t j = 0; j < nv; ++j) {
        for (size_t i = 0; i < nu; ++i) {
            const Vec3& p = grid.point(i, j);
            float* out = &positions[3 * (i + j * nu)];
            out[0] = static_cast<float>(p.x);
            out[1] = static_cast<float>(p.y);
            out[2] = static_cast<float>(p.z);
        }
    }
    const std::vector<uint32_t> welded = weldBoundary(positions, nu, nv, weld);

    // Triangles of every cell, dropping those that welding collapsed.
    std::vector<uint32_t> triangles;
    triangles.reserve(6 * (nu - 1) * (nv - 1));
    mesh.cornerParameters.clear();
    mesh.cornerParameters.reserve(12 * (nu - 1) * (nv - 1));
    auto emit = [&](size_t a, size_t b, size_t c) {
        const uint32_t wa = welded[a], wb = welded[b], wc = welded[c];
        if (wa == wb || wb == wc || wa == wc) return;
        triangles.insert(triangles.end(), {wa, wb, wc});
        for (size_t k : {a, b, c}) {
            mesh.cornerParameters.push_back(grid.lines[0][k % nu]);
            mesh.cornerParameters.push_back(grid.lines[1][k / nu]);
        }
    };
    for (size_t j = 0; j + 1 < nv; ++j) {
        for (size_t i = 0; i + 1 < nu; ++i) {
            const size_t a = i + j * nu, b = a + 1, c = b + nu, d = a + nu;
            if (grid.cutBD[i + j * (nu - 1)]) {
                emit(a, b, d);
                emit(b, c, d);
            } else {
                emit(a, b, c);
                emit(a, c, d);
            }
        }
    }

    // Keep the vertices the triangles use, in grid order.
    std::vector<uint32_t> index(nu * nv, UINT32_MAX);
    for (uint32_t k : triangles) index[k] = 0;
    mesh.positions.clear();
    uint32_t next = 0;
    for (size_t k = 0; k < nu * nv; ++k) {
        if (index[k] == UINT32_MAX) continue;
        index[k] = next++;
        mesh.positions.insert(mesh.positions.end(), &positions[3 * k], &positions[3 * k + 3]);
    }
    for (uint32_t& k : triangles) k = index[k];
    mesh.triangles = std::move(triangles);

    faceOutwards(mesh);  // before the normals, which follow the triangles

    // Vertex normals: the area-weighted mean of the normals of the triangles around.
    std::vector<Vec3> sums(mesh.vertexCount(), Vec3{0.0, 0.0, 0.0});
    auto vertex = [&](uint32_t k) {
        return Vec3{mesh.positions[3 * k], mesh.positions[3 * k + 1], mesh.positions[3 * k + 2]};
    };
    for (size_t t = 0; t < mesh.triangleCount(); ++t) {
        const uint32_t* v = &mesh.triangles[3 * t];
        const Vec3 n = cross(vertex(v[1]) - vertex(v[0]), vertex(v[2]) - vertex(v[0]));
        for (int k = 0; k < 3; ++k) sums[v[k]] = sums[v[k]] + n;
    }
    mesh.normals.resize(mesh.positions.size());
    for (size_t k = 0; k < sums.size(); ++k) {
        const double size = length(sums[k]);
        const Vec3 n = size > 0.0 ? (1.0 / size) * sums[k] : Vec3{0.0, 0.0, 1.0};
        mesh.normals[3 * k] = static_cast<float>(n.x);
        mesh.normals[3 * k + 1] = static_cast<float>(n.y);
        mesh.normals[3 * k + 2] = static_cast<float>(n.z);
    }
    splitCreaseNormals(surface, grid.lines, mesh);
    return true;
}

void faceOutwards(SurfaceMesh& mesh) {
    if (!isClosed(mesh.triangles) || signedVolume(mesh) >= 0.0) return;
    for (size_t t = 0; t < mesh.triangleCount(); ++t) {
        std::swap(mesh.triangles[3 * t + 1], mesh.triangles[3 * t + 2]);
        float* uv = &mesh.cornerParameters[6 * t];
        std::swap(uv[2], uv[4]);
        std::swap(uv[3], uv[5]);
        if (!mesh.cornerNormals.empty()) {
            std::swap(mesh.cornerNormals[3 * t + 1], mesh.cornerNormals[3 * t + 2]);
        }
    }
    for (float& n : mesh.normals) n = -n;
    for (float& n : mesh.sideNormals) n = -n;
}
