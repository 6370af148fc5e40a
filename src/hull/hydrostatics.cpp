// Hydrostatics by the divergence theorem on the exact surface.
//
// Every figure is an integral over the solid below the waterplane or over the waterplane itself.
// Each is written as the flux of a field F = (0, f, 0) through the hull surface alone: with
// F_x = F_z = 0 the flux through a transom plate (x constant) and through the mirror plane (z
// constant) vanishes, and f is chosen to vanish at the waterplane (volume and its moments) or to
// have no divergence (waterplane area and its moments). So nothing needs closing: the surface's
// normal N = S_u x S_v is integrated over the part of the parameter domain below the
// waterplane, patch by patch with Gauss-Legendre rules. Patches wholly below are integrated once
// per surface; a patch the waterline crosses is integrated in nested form, its inner limits the
// waterline found by root finding along each line of the outer rule. Every cell is integrated
// with two orders; their difference is its error estimate, and a cell whose estimate is too
// large is split.
#include "hull/hydrostatics.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kMaxRule = 24;
constexpr int kLineSamples = 8;  // intervals each line is sampled in before its roots are polished
constexpr int kMaxRoots = 16;
constexpr double kRelativeTolerance = 1.0e-11;
constexpr int kMaxDepth = 8;

struct GaussRule {
    double x[kMaxRule], w[kMaxRule];  // nodes and weights on [0, 1]
};

const GaussRule& gaussRule(int n) {
    static const std::vector<GaussRule> rules = [] {
        std::vector<GaussRule> r(kMaxRule + 1);
        for (int n = 1; n <= kMaxRule; ++n) {
            for (int k = 0; k < n; ++k) {
                double t = std::cos(kPi * (k + 0.75) / (n + 0.5));
                double dp = 1.0;
                for (int iteration = 0; iteration < 100; ++iteration) {
                    double p0 = 1.0, p1 = t;  // Legendre P_{m-1}, P_m by their recurrence
                    for (int m = 2; m <= n; ++m) {
                        const double p2 = ((2 * m - 1) * t * p1 - (m - 1) * p0) / m;
                        p0 = p1;
                        p1 = p2;
                    }
                    dp = n * (t * p1 - p0) / (t * t - 1.0);
                    const double step = p1 / dp;
                    t -= step;
                    if (std::fabs(step) < 1.0e-16) break;
                }
                r[static_cast<size_t>(n)].x[k] = 0.5 * (1.0 - t);
                r[static_cast<size_t>(n)].w[k] = 1.0 / ((1.0 - t * t) * dp * dp);
            }
        }
        return r;
    }();
    return rules[static_cast<size_t>(n)];
}

void addMoments(const HullSample& s, double w, HullMoments& M) {
    const double nx = s.yu * s.zv - s.zu * s.yv;
    const double ny = s.zu * s.xv - s.xu * s.zv;
    const double nz = s.xu * s.yv - s.yu * s.xv;
    const double wn = w * ny;
    M.m[0] += wn;
    M.m[1] += wn * s.x;
    M.m[2] += wn * s.z;
    M.m[3] += wn * s.y;
    M.m[4] += wn * s.x * s.y;
    M.m[5] += wn * s.z * s.y;
    M.m[6] += wn * s.y * s.y;
    M.m[7] += wn * s.x * s.x;
    M.m[8] += wn * s.z * s.z;
    M.m[9] += w * std::sqrt(nx * nx + ny * ny + nz * nz);
}

// Length dimension of each moment, for its tolerance.
constexpr int kMomentDimension[kHullMoments] = {2, 3, 3, 3, 4, 4, 4, 4, 4, 2};

// A rectangle of one patch's parameters; s is the inner direction of a nested rule, t the outer.
struct Cell {
    const HullPatch* patch;
    double u0, u1, v0, v1;
    const HullPatchForm* form = nullptr;  // the patch's polynomials, when its degrees allow
};

// The polynomials of patch p in form, or null when its degrees are too high for them.
const HullPatchForm* patchForm(const HullModel& m, const HullPatch& p, HullPatchForm& form) {
    return makeHullPatchForm(m.surface, p.i, p.j, form) ? &form : nullptr;
}

// One line of a cell for the nested rules: the inner direction s at outer parameter t, with the
// coordinate (x for axis 0, y for axis 1) whose level is sought along it.
struct Line {
    const Cell* cell;
    bool innerU;  // the line runs along u at v = t
    int axis;
    double level;
    HullLine curve;

    Line(const HullModel& m, const Cell& c, bool alongU, double t, int which, double value)
        : cell(&c), innerU(alongU), axis(which), level(value) {
        if (c.form != nullptr) {
            makeHullLine(*c.form, alongU, t, curve);
        } else {
            makeHullLine(m.surface, c.patch->i, c.patch->j, alongU, t, curve);
        }
    }
    double s0() const { return innerU ? cell->u0 : cell->v0; }
    double s1() const { return innerU ? cell->u1 : cell->v1; }
    void at(double s, HullSample& out) const { evaluateHullLine(curve, s, out); }
    // value() and slope() of the point at s, without the rest of the point.
    double valueAt(double s, double& slopeOut) const {
        double coordinate = 0.0;
        evaluateHullLineCoordinate(curve, s, axis, coordinate, slopeOut);
        return coordinate - level;
    }
    double valueAt(double s) const {
        double unused = 0.0;
        return valueAt(s, unused);
    }
    double value(const HullSample& x) const { return (axis == 0 ? x.x : x.y) - level; }
    double slope(const HullSample& x) const {
        if (axis == 0) return innerU ? x.xu : x.xv;
        return innerU ? x.yu : x.yv;
    }
    // Sign changes of the curve's coefficients of coordinate - level (weights are positive):
    // no more roots than these lie on the span (the B-spline's variation diminishing).
    int coefficientSignChanges() const {
        const double offset = curve.surface->shift[axis] - level;
        int changes = 0;
        bool previous = false;
        for (int k = 0; k < curve.count; ++k) {
            const bool negative = curve.C[k][axis] + offset * curve.C[k][3] < 0.0;
            if (k > 0 && negative != previous) ++changes;
            previous = negative;
        }
        return changes;
    }
};

// The point between a and b where the line's value changes sign (ga and gb on opposite sides of
// "below the level"): Newton's steps from the secant's point, kept inside the bracket by
// bisection. A Newton step below 1e-9 of the bracket leaves an error below the square of it.
double polishRoot(const Line& line, double a, double b, double ga, double gb) {
    const double width = b - a;
    const bool negativeA = ga < 0.0;
    double s = ga != gb ? a + (b - a) * ga / (ga - gb) : 0.5 * (a + b);
    if (!(s > a && s < b)) s = 0.5 * (a + b);
    for (int iteration = 0; iteration < 80; ++iteration) {
        double d = 0.0;
        const double g = line.valueAt(s, d);
        if (g == 0.0) return s;
        if ((g < 0.0) == negativeA) {
            a = s;
        } else {
            b = s;
        }
        const double step = d != 0.0 ? g / d : HUGE_VAL;
        // A step this small has converged. It may round to no move at all, which the bracket
        // test below would take for a failed step and bisect on to the end of the loop.
        if (std::fabs(step) < 1.0e-9 * width) return std::min(std::max(s - step, a), b);
        double next = s - step;
        if (!(next > a && next < b)) next = 0.5 * (a + b);
        if (b - a < 1.0e-15 * width || next == a || next == b) return next;
        s = next;
    }
    return s;
}

// The places along the line where "value below the level" changes, in order, and whether the
// line starts below.
int lineRoots(const Line& line, double* roots, bool& startBelow) {
    const double s0 = line.s0(), s1 = line.s1();
    const int changes = line.coefficientSignChanges();
    if (changes <= 1) {
        // At most one root: the ends say whether it lies on this part of the line.
        const double g0 = line.valueAt(s0);
        startBelow = g0 < 0.0;
        if (changes == 0) return 0;
        const double g1 = line.valueAt(s1);
        if ((g1 < 0.0) == startBelow) return 0;
        roots[0] = polishRoot(line, s0, s1, g0, g1);
        return 1;
    }
    int count = 0;
    double previousS = s0, previousG = 0.0;
    for (int k = 0; k <= kLineSamples; ++k) {
        const double s = k == kLineSamples ? s1 : s0 + (s1 - s0) * k / kLineSamples;
        const double g = line.valueAt(s);
        if (k == 0) {
            startBelow = g < 0.0;
        } else if ((g < 0.0) != (previousG < 0.0) && count < kMaxRoots) {
            roots[count++] = polishRoot(line, previousS, s, previousG, g);
        }
        previousS = s;
        previousG = g;
    }
    return count;
}

// A point of the waterline found on a line of a nested rule, kept as a candidate extreme.
struct Extreme {
    double value = -HUGE_VAL;
    const HullPatch* patch = nullptr;
    bool innerU = false;
    double t = 0.0, s = 0.0;
};

// The best waterline points for the largest x, -x, z and -z, in different patches, best first.
struct WaterlineExtremes {
    static constexpr int kKept = 3;
    Extreme best[4][kKept];

    static double coordinate(const HullSample& x, int e) {
        const double c = e < 2 ? x.x : x.z;
        return e % 2 == 0 ? c : -c;
    }
    bool found() const { return best[0][0].patch != nullptr; }
    void offer(const HullSample& x, const HullPatch* p, bool innerU, double t, double s) {
        for (int e = 0; e < 4; ++e) {
            const Extreme candidate{coordinate(x, e), p, innerU, t, s};
            Extreme* kept = best[e];
            int slot = kKept - 1;  // where the candidate goes: its patch's entry, else the last
            for (int k = 0; k < kKept; ++k) {
                if (kept[k].patch == p) slot = k;
            }
            if (!(candidate.value > kept[slot].value)) continue;
            kept[slot] = candidate;
            for (int k = slot; k > 0 && kept[k].value > kept[k - 1].value; --k) {
                std::swap(kept[k], kept[k - 1]);
            }
        }
    }
};

// Where the outer interval of the cell is cut: its ends and, when clip is set, where the waterline
// meets the cell's two sides along it, so that each piece's inner limits are smooth in t.
// Returns the count written to cuts, in order.
int cellCuts(const HullModel& m, const Cell& c, bool clip, bool innerU, double level,
             double* cuts) {
    const double t0 = innerU ? c.v0 : c.u0, t1 = innerU ? c.v1 : c.u1;
    int cutCount = 0;
    cuts[cutCount++] = t0;
    if (clip) {
        // The two sides along t are lines in the other direction.
        for (int side = 0; side < 2; ++side) {
            const double s = innerU ? (side == 0 ? c.u0 : c.u1) : (side == 0 ? c.v0 : c.v1);
            const Line edge(m, c, !innerU, s, 1, level);
            double roots[kMaxRoots];
            bool below = false;
            const int k = lineRoots(edge, roots, below);
            for (int r = 0; r < k; ++r) cuts[cutCount++] = roots[r];
        }
    }
    cuts[cutCount++] = t1;
    std::sort(cuts, cuts + cutCount);
    return cutCount;
}

// Moments of the part of the cell below y = level by an n x n rule between the cuts cellCuts
// found (the same for both orders): the whole cell when clip is false, else nested with the
// inner limits at the waterline.
void cellRule(const HullModel& m, const Cell& c, int n, bool clip, bool innerU, double level,
              const double* cuts, int cutCount, HullMoments& out, WaterlineExtremes* track) {
    const GaussRule& g = gaussRule(n);
    HullSample x;
    for (int piece = 0; piece + 1 < cutCount; ++piece) {
        const double a = cuts[piece], b = cuts[piece + 1];
        if (!(b > a)) continue;
        for (int k = 0; k < n; ++k) {
            const double t = a + (b - a) * g.x[k];
            const double wt = g.w[k] * (b - a);
            const Line line(m, c, innerU, t, 1, level);
            double limits[kMaxRoots + 2];
            int limitCount = 0;
            limits[limitCount++] = line.s0();
            bool below = true;
            if (clip) {
                const int roots = lineRoots(line, limits + 1, below);
                for (int r = 1; track != nullptr && r <= roots; ++r) {
                    line.at(limits[r], x);
                    track->offer(x, c.patch, innerU, t, limits[r]);
                }
                limitCount += roots;
            }
            limits[limitCount++] = line.s1();
            for (int interval = 0; interval + 1 < limitCount; ++interval, below = !below) {
                if (!below) continue;
                const double sa = limits[interval], sb = limits[interval + 1];
                for (int l = 0; l < n; ++l) {
                    line.at(sa + (sb - sa) * g.x[l], x);
                    addMoments(x, wt * g.w[l] * (sb - sa), out);
                }
            }
        }
    }
}

struct Integration {
    const HullModel* model;
    bool clip;
    double level;
    int nLow, nHigh;
    double tolerance[kHullMoments];  // for the whole parameter domain
    double domainArea;
    WaterlineExtremes* track;  // given the waterline points the rules find, when not null
};

bool innerAlongU(const HullModel& m, const Cell& c) {
    double du = 0.0, dv = 0.0;
    HullSample x;
    for (const double v : {0.25, 0.75}) {
        const Line line(m, c, true, c.v0 + (c.v1 - c.v0) * v, 1, 0.0);
        for (const double u : {0.25, 0.75}) {
            line.at(c.u0 + (c.u1 - c.u0) * u, x);
            du += std::fabs(x.yu) * (c.u1 - c.u0);
            dv += std::fabs(x.yv) * (c.v1 - c.v0);
        }
    }
    return du >= dv;
}

void integrateCell(const Integration& in, const Cell& c, int depth, HullMoments& sum,
                   HullMoments& error) {
    const bool innerU = !in.clip || innerAlongU(*in.model, c);
    HullMoments low, high;
    double cuts[2 * kMaxRoots + 2];
    const int cutCount = cellCuts(*in.model, c, in.clip, innerU, in.level, cuts);
    cellRule(*in.model, c, in.nLow, in.clip, innerU, in.level, cuts, cutCount, low, nullptr);
    cellRule(*in.model, c, in.nHigh, in.clip, innerU, in.level, cuts, cutCount, high, in.track);
    const double share = std::max((c.u1 - c.u0) * (c.v1 - c.v0) / in.domainArea, 1.0e-9);
    bool settled = true;
    for (int k = 0; k < kHullMoments; ++k) {
        if (!(std::fabs(high.m[k] - low.m[k]) <= in.tolerance[k] * share)) settled = false;
    }
    if (settled || depth >= kMaxDepth) {
        for (int k = 0; k < kHullMoments; ++k) {
            sum.m[k] += high.m[k];
            error.m[k] += std::fabs(high.m[k] - low.m[k]);
        }
        return;
    }
    const double um = 0.5 * (c.u0 + c.u1), vm = 0.5 * (c.v0 + c.v1);
    const Cell quarters[4] = {{c.patch, c.u0, um, c.v0, vm, c.form},
                              {c.patch, um, c.u1, c.v0, vm, c.form},
                              {c.patch, c.u0, um, vm, c.v1, c.form},
                              {c.patch, um, c.u1, vm, c.v1, c.form}};
    for (const Cell& q : quarters) integrateCell(in, q, depth + 1, sum, error);
}

Integration makeIntegration(const HullModel& m, bool clip, double level) {
    Integration in{&m, clip, level, 0, 0, {}, 1.0, nullptr};
    const int degree = std::max(m.surface.p, m.surface.q);
    // A whole patch of a polynomial surface: y^2 N_y has degree 4 p - 1, which 2 p points
    // integrate exactly, so the two orders differ only by what is not polynomial (the wetted
    // area's root, the weights). A clipped cell's inner limits are not polynomial anyway.
    in.nLow = std::min(clip ? degree + 2 : std::max(2 * degree, 3), kMaxRule - 2);
    in.nHigh = in.nLow + (clip ? 2 : 1);
    for (int k = 0; k < kHullMoments; ++k) {
        in.tolerance[k] = kRelativeTolerance * std::pow(m.size, kMomentDimension[k]);
    }
    in.domainArea =
        (hullU1(m.surface) - hullU0(m.surface)) * (hullV1(m.surface) - hullV0(m.surface));
    return in;
}

// The lowest (sign +1) or highest (sign -1) y of the surface: the best of a grid of samples in
// every patch that could hold it, then refined by golden-section searches along u and v.
double extremeY(const HullSurface& s, double sign) {
    constexpr int kGrid = 8;
    double best = HUGE_VAL, bestU = 0.0, bestV = 0.0;
    HullSample x;
    std::vector<const HullPatch*> patches;
    for (const HullPatch& p : s.patches) patches.push_back(&p);
    std::sort(patches.begin(), patches.end(), [sign](const HullPatch* a, const HullPatch* b) {
        return (sign > 0 ? a->lo[1] : -a->hi[1]) < (sign > 0 ? b->lo[1] : -b->hi[1]);
    });
    for (const HullPatch* p : patches) {
        if ((sign > 0 ? p->lo[1] : -p->hi[1]) >= best) break;
        for (int a = 0; a <= kGrid; ++a) {
            for (int b = 0; b <= kGrid; ++b) {
                const double u = p->u0 + (p->u1 - p->u0) * a / kGrid;
                const double v = p->v0 + (p->v1 - p->v0) * b / kGrid;
                evaluateHull(s, p->i, p->j, u, v, x);
                if (sign * x.y < best) best = sign * x.y, bestU = u, bestV = v;
            }
        }
    }
    const double U0 = hullU0(s), U1 = hullU1(s), V0 = hullV0(s), V1 = hullV1(s);
    const auto f = [&](double u, double v) {
        evaluateHull(s, hullSpan(s.U, s.nu, s.p, u), hullSpan(s.V, s.nv, s.q, v), u, v, x);
        return sign * x.y;
    };
    double hu = (U1 - U0) / kGrid, hv = (V1 - V0) / kGrid;
    for (int round = 0; round < 6; ++round) {
        for (int direction = 0; direction < 2; ++direction) {
            const double centre = direction == 0 ? bestU : bestV;
            const double h = direction == 0 ? hu : hv;
            double a = std::max(centre - h, direction == 0 ? U0 : V0);
            double b = std::min(centre + h, direction == 0 ? U1 : V1);
            const double r = 0.5 * (std::sqrt(5.0) - 1.0);
            double c = b - r * (b - a), d = a + r * (b - a);
            const auto at = [&](double w) { return direction == 0 ? f(w, bestV) : f(bestU, w); };
            double fc = at(c), fd = at(d);
            for (int k = 0; k < 60; ++k) {
                if (fc < fd) {
                    b = d, d = c, fd = fc, c = b - r * (b - a), fc = at(c);
                } else {
                    a = c, c = d, fc = fd, d = a + r * (b - a), fd = at(d);
                }
            }
            for (double w : {a, b, c, d}) {
                const double value = at(w);
                if (value < best) {
                    best = value;
                    (direction == 0 ? bestU : bestV) = w;
                }
            }
        }
        hu *= 0.25;
        hv *= 0.25;
    }
    return sign * best;
}

// Samples along the four edges of the parameter rectangle, 17 per span, and their spread.
void sampleEdges(HullModel& m) {
    const HullSurface& s = m.surface;
    HullSample x;
    for (int edge = 0; edge < 4; ++edge) {
        const bool alongU = edge >= 2;  // edges 2 and 3 run along u at a fixed v
        const double fixed = edge == 0   ? hullU0(s)
                             : edge == 1 ? hullU1(s)
                             : edge == 2 ? hullV0(s)
                                         : hullV1(s);
        const std::vector<double>& knots = alongU ? s.U : s.V;
        const int n = alongU ? s.nu : s.nv, p = alongU ? s.p : s.q;
        const int fixedSpan =
            alongU ? hullSpan(s.V, s.nv, s.q, fixed) : hullSpan(s.U, s.nu, s.p, fixed);
        std::vector<HullModel::EdgePoint>& points = m.edgePoints[edge];
        points.clear();
        for (int span = p; span < n; ++span) {
            const double a = knots[static_cast<size_t>(span)];
            const double b = knots[static_cast<size_t>(span + 1)];
            if (!(a < b)) continue;
            HullLine line;
            makeHullLine(s, alongU ? span : fixedSpan, alongU ? fixedSpan : span, alongU, fixed,
                         line);
            for (int k = 0; k <= 16; ++k) {
                evaluateHullLine(line, a + (b - a) * k / 16, x);
                points.push_back({x.x, x.y, x.z});
            }
        }
        double spread = 0.0;
        for (const HullModel::EdgePoint& a : points) {
            spread = std::max({spread, std::fabs(a.x - points[0].x), std::fabs(a.y - points[0].y),
                               std::fabs(a.z - points[0].z)});
        }
        m.edgeSpread[edge] = spread;
    }
}

const char* edgeName(int edge) {
    static const char* const names[4] = {
        "s = first knot (the first point of every section)",
        "s = last knot (the last point of every section)",
        "t = first knot (the first section)",
        "t = last knot (the last section)",
    };
    return names[edge];
}

// The four edges of the parameter rectangle, from their samples; true when the surface bounds
// water below level, with half set when an edge below it lies on the mirror plane.
bool checkEdges(const HullModel& m, double level, bool& half, std::string& error) {
    const HullSurface& s = m.surface;
    const double planeTolerance = 1.0e-6 * m.size;
    const double below = level - 1.0e-7 * m.size;
    half = false;
    for (int edge = 0; edge < 4; ++edge) {
        const std::vector<HullModel::EdgePoint>& points = m.edgePoints[edge];
        const HullModel::EdgePoint* first = nullptr;
        const HullModel::EdgePoint* deepest = nullptr;
        size_t under = 0;
        double xSpread = 0.0, zOff = 0.0;
        for (const HullModel::EdgePoint& a : points) {
            if (!(a.y < below)) continue;
            if (first == nullptr) first = &a;
            if (deepest == nullptr || a.y < deepest->y) deepest = &a;
            ++under;
            xSpread = std::max(xSpread, std::fabs(a.x - first->x));
            zOff = std::max(zOff, std::fabs(a.z));
        }
        if (under == 0) continue;
        if (m.edgeSpread[edge] <= planeTolerance || xSpread <= planeTolerance) continue;
        if (zOff <= planeTolerance) {
            half = true;
            continue;
        }
        char where[160];
        snprintf(where, sizeof where, "(x %.6g, y %.6g, z %.6g)", deepest->x - s.shift[0],
                 deepest->y - s.shift[1], deepest->z - s.shift[2]);
        if (under < points.size()) {
            error = std::string("the waterplane lies above the open edge ") + edgeName(edge) +
                    ", which dips to " + where;
        } else {
            char mirror[64];
            snprintf(mirror, sizeof mirror, "%.6g", m.mirrorZ);
            error =
                std::string("the edge ") + edgeName(edge) +
                " is open below the waterplane: it lies neither on the mirror plane z = " + mirror +
                " nor on a plane of constant x (at " + where + ")";
        }
        return false;
    }
    return true;
}

// The extremes of the waterline: the largest x, -x, z and -z, each refined along the family of
// lines its best points were found on (the root along such a line follows the waterline).
void refineExtremes(const HullModel& m, double level, WaterlineExtremes& w) {
    HullSample x;
    for (int e = 0; e < 4; ++e) {
        double refined = w.best[e][0].value;
        for (const Extreme& best : w.best[e]) {
            if (best.patch == nullptr) continue;
            const HullPatch& p = *best.patch;
            HullPatchForm form;
            const Cell c{&p, p.u0, p.u1, p.v0, p.v1, patchForm(m, p, form)};
            const double t0 = best.innerU ? p.v0 : p.u0, t1 = best.innerU ? p.v1 : p.u1;
            const auto along = [&](double t) {
                const Line line(m, c, best.innerU, t, 1, level);
                double roots[kMaxRoots];
                bool below = false;
                const int count = lineRoots(line, roots, below);
                double value = -HUGE_VAL;
                for (int r = 0; r < count; ++r) {
                    line.at(roots[r], x);
                    value = std::max(value, WaterlineExtremes::coordinate(x, e));
                }
                return value;
            };
            const double h = 0.25 * (t1 - t0);
            double a = std::max(best.t - h, t0), b = std::min(best.t + h, t1);
            const double r = 0.5 * (std::sqrt(5.0) - 1.0);
            double cc = b - r * (b - a), d = a + r * (b - a);
            double fc = along(cc), fd = along(d);
            for (int k = 0; k < 40; ++k) {
                if (fc > fd) {
                    b = d, d = cc, fd = fc, cc = b - r * (b - a), fc = along(cc);
                } else {
                    a = cc, cc = d, fc = fd, d = a + r * (b - a), fd = along(d);
                }
            }
            refined = std::max({refined, fc, fd, along(a), along(b)});
        }
        w.best[e][0].value = refined;
    }
}

// Waterline points on a grid of lines in every patch the waterplane meets, for a waterline the
// integration found no point of.
void scanWaterline(const HullModel& m, double level, WaterlineExtremes& w) {
    constexpr int kGrid = 8;
    HullSample x;
    for (const HullPatch& p : m.surface.patches) {
        if (!(p.lo[1] <= level && p.hi[1] >= level)) continue;
        HullPatchForm form;
        const Cell c{&p, p.u0, p.u1, p.v0, p.v1, patchForm(m, p, form)};
        for (int family = 0; family < 2; ++family) {
            const bool innerU = family == 0;
            for (int k = 0; k <= kGrid; ++k) {
                const double t =
                    innerU ? p.v0 + (p.v1 - p.v0) * k / kGrid : p.u0 + (p.u1 - p.u0) * k / kGrid;
                const Line line(m, c, innerU, t, 1, level);
                double roots[kMaxRoots];
                bool below = false;
                const int count = lineRoots(line, roots, below);
                for (int r = 0; r < count; ++r) {
                    line.at(roots[r], x);
                    w.offer(x, &p, innerU, t, roots[r]);
                }
            }
        }
    }
}

// Immersed area of the section x = level (in shifted coordinates) below y = draft, as the
// derivative of the volume aft of it: the integral over the curve x = level of the parameter
// domain of (y - T) N_y / |dx/ds|, the root of x = level found along each line of the outer rule.
struct SectionIntegration {
    const HullModel* model;
    double xLevel, draft;
    int nLow, nHigh;
    double tolerance;
};

// y - draft where the line at t meets x = level, when it meets it exactly once.
bool heightAtSection(const SectionIntegration& in, const Cell& c, bool innerU, double t,
                     double& h) {
    const Line line(*in.model, c, innerU, t, 0, in.xLevel);
    double roots[kMaxRoots];
    bool below = false;
    if (lineRoots(line, roots, below) != 1) return false;
    HullSample x;
    line.at(roots[0], x);
    h = x.y - in.draft;
    return true;
}

// Where the outer integrand of the section has a kink: where the section leaves the cell through
// a side along t, and where it crosses the waterplane (found by the Illinois method on the height
// of the section's point). Returns the count written to cuts, t0 and t1 included, in order.
int sectionCuts(const SectionIntegration& in, const Cell& c, bool innerU, double* cuts) {
    const double t0 = innerU ? c.v0 : c.u0, t1 = innerU ? c.v1 : c.u1;
    int count = 0;
    cuts[count++] = t0;
    for (int side = 0; side < 2; ++side) {
        const double s = innerU ? (side == 0 ? c.u0 : c.u1) : (side == 0 ? c.v0 : c.v1);
        const Line edge(*in.model, c, !innerU, s, 0, in.xLevel);
        bool below = false;
        count += lineRoots(edge, cuts + count, below);
    }
    if (c.patch->lo[1] < in.draft && c.patch->hi[1] > in.draft) {
        constexpr int kSamples = 8;
        double previousT = t0, previousH = 0.0;
        bool previousKnown = false;
        for (int k = 0; k <= kSamples && count < 2 * kMaxRoots; ++k) {
            const double t = t0 + (t1 - t0) * k / kSamples;
            double h = 0.0;
            const bool known = heightAtSection(in, c, innerU, t, h);
            if (known && previousKnown && (h < 0.0) != (previousH < 0.0)) {
                double a = previousT, b = t, ha = previousH, hb = h;
                for (int iteration = 0; iteration < 60 && b - a > 1.0e-14 * (t1 - t0);
                     ++iteration) {
                    const double m = (a * hb - b * ha) / (hb - ha);
                    double hm = 0.0;
                    if (!(m > a && m < b) || !heightAtSection(in, c, innerU, m, hm)) break;
                    if ((hm < 0.0) == (ha < 0.0)) {
                        a = m, ha = hm, hb *= 0.5;
                    } else {
                        b = m, hb = hm, ha *= 0.5;
                    }
                    if (hm == 0.0) break;
                }
                cuts[count++] = std::fabs(ha) < std::fabs(hb) ? a : b;
            }
            previousT = t;
            previousH = h;
            previousKnown = known;
        }
    }
    cuts[count++] = t1;
    std::sort(cuts, cuts + count);
    return count;
}

double sectionRule(const SectionIntegration& in, const Cell& c, bool innerU, int n,
                   const double* cuts, int cutCount) {
    const GaussRule& g = gaussRule(n);
    double sum = 0.0;
    HullSample x;
    for (int piece = 0; piece + 1 < cutCount; ++piece) {
        const double t0 = cuts[piece], t1 = cuts[piece + 1];
        if (!(t1 > t0)) continue;
        for (int k = 0; k < n; ++k) {
            const double t = t0 + (t1 - t0) * g.x[k];
            const Line line(*in.model, c, innerU, t, 0, in.xLevel);
            double roots[kMaxRoots];
            bool below = false;
            const int count = lineRoots(line, roots, below);
            for (int r = 0; r < count; ++r) {
                line.at(roots[r], x);
                const double slope = std::fabs(line.slope(x));
                if (!(slope > 0.0) || x.y >= in.draft) continue;
                const double ny = x.zu * x.xv - x.xu * x.zv;
                sum += g.w[k] * (t1 - t0) * (x.y - in.draft) * ny / slope;
            }
        }
    }
    return sum;
}

void integrateSection(const SectionIntegration& in, const Cell& c, bool innerU, int depth,
                      double& sum, double& error) {
    double cuts[3 * kMaxRoots + 2];
    const int cutCount = sectionCuts(in, c, innerU, cuts);
    const double low = sectionRule(in, c, innerU, in.nLow, cuts, cutCount);
    const double high = sectionRule(in, c, innerU, in.nHigh, cuts, cutCount);
    const double share = innerU ? (c.v1 - c.v0) / (c.patch->v1 - c.patch->v0)
                                : (c.u1 - c.u0) / (c.patch->u1 - c.patch->u0);
    if (std::fabs(high - low) <= in.tolerance * std::max(share, 1.0e-9) || depth >= 24) {
        sum += high;
        error += std::fabs(high - low);
        return;
    }
    Cell a = c, b = c;
    if (innerU) {
        a.v1 = b.v0 = 0.5 * (c.v0 + c.v1);
    } else {
        a.u1 = b.u0 = 0.5 * (c.u0 + c.u1);
    }
    integrateSection(in, a, innerU, depth + 1, sum, error);
    integrateSection(in, b, innerU, depth + 1, sum, error);
}

// Signed section area (the sign of the volume's) and its error, halves not yet doubled.
HullFigure sectionArea(const HullModel& m, double xLevel, double draft) {
    SectionIntegration in{&m, xLevel, draft, 0, 0, 0.0};
    const int degree = std::max(m.surface.p, m.surface.q);
    in.nLow = std::min(degree + 2, kMaxRule - 2);
    in.nHigh = in.nLow + 2;
    in.tolerance = kRelativeTolerance * m.size * m.size;
    HullFigure area;
    HullSample x;
    for (const HullPatch& p : m.surface.patches) {
        if (!(p.lo[0] <= xLevel && p.hi[0] >= xLevel && p.lo[1] < draft)) continue;
        HullPatchForm form;
        const Cell c{&p, p.u0, p.u1, p.v0, p.v1, patchForm(m, p, form)};
        evaluateHull(m.surface, p.i, p.j, 0.5 * (p.u0 + p.u1), 0.5 * (p.v0 + p.v1), x);
        const bool innerU = std::fabs(x.xu) * (p.u1 - p.u0) >= std::fabs(x.xv) * (p.v1 - p.v0);
        integrateSection(in, c, innerU, 0, area.value, area.error);
    }
    return area;
}

// First-order propagation of the errors: d(a/b) = da / b - a db / b^2.
HullFigure ratio(const HullFigure& a, const HullFigure& b) {
    const double value = a.value / b.value;
    return {value, (a.error + std::fabs(value) * b.error) / std::fabs(b.value)};
}

HullFigure product(const HullFigure& a, const HullFigure& b) {
    return {a.value * b.value, std::fabs(a.value) * b.error + std::fabs(b.value) * a.error};
}

}  // namespace

bool prepareHull(const SurfaceModel& surface, double mirrorZ, HullModel& model,
                 std::string& error) {
    if (!std::isfinite(mirrorZ)) {
        error = "the mirror plane is not finite";
        return false;
    }
    HullModel m;
    if (!buildHullSurface(surface, m.surface, error)) return false;
    if (m.surface.patches.empty()) {
        error = "the surface has no patch";
        return false;
    }
    HullSurface& s = m.surface;
    m.mirrorZ = mirrorZ;
    m.size = std::hypot(s.hi[0] - s.lo[0], s.hi[1] - s.lo[1], s.hi[2] - s.lo[2]);
    if (!(m.size > 0.0) || !std::isfinite(m.size)) {
        error = "the surface has no extent";
        return false;
    }
    m.lowestY = extremeY(s, 1.0);
    m.highestY = extremeY(s, -1.0);
    s.shift[0] = -0.5 * (s.lo[0] + s.hi[0]);
    s.shift[1] = -m.lowestY;
    s.shift[2] = -mirrorZ;
    for (HullPatch& p : s.patches) {
        for (int c = 0; c < 3; ++c) {
            p.lo[c] += s.shift[c];
            p.hi[c] += s.shift[c];
        }
    }
    const size_t count = s.patches.size();
    m.order.resize(count);
    std::iota(m.order.begin(), m.order.end(), 0);
    std::sort(m.order.begin(), m.order.end(), [&s](int a, int b) {
        return s.patches[static_cast<size_t>(a)].hi[1] < s.patches[static_cast<size_t>(b)].hi[1];
    });
    sampleEdges(m);
    m.sampledLowY.assign(count, 0.0);
    m.sampledLowZ.assign(count, 0.0);
    m.sampledHighZ.assign(count, 0.0);
    m.prefix.assign(count + 1, HullMoments{});
    m.prefixError.assign(count + 1, HullMoments{});
    const Integration in = makeIntegration(m, false, 0.0);
    constexpr int kGrid = 4;
    HullSample x;
    for (size_t k = 0; k < count; ++k) {
        const size_t index = static_cast<size_t>(m.order[k]);
        const HullPatch& p = s.patches[index];
        HullPatchForm form;
        const Cell c{&p, p.u0, p.u1, p.v0, p.v1, patchForm(m, p, form)};
        double lowY = HUGE_VAL, lowZ = HUGE_VAL, highZ = -HUGE_VAL;
        for (int b = 0; b <= kGrid; ++b) {
            const Line line(m, c, true, p.v0 + (p.v1 - p.v0) * b / kGrid, 1, 0.0);
            for (int a = 0; a <= kGrid; ++a) {
                line.at(p.u0 + (p.u1 - p.u0) * a / kGrid, x);
                lowY = std::min(lowY, x.y);
                lowZ = std::min(lowZ, x.z);
                highZ = std::max(highZ, x.z);
            }
        }
        m.sampledLowY[index] = lowY;
        m.sampledLowZ[index] = lowZ;
        m.sampledHighZ[index] = highZ;
        HullMoments sum, err;
        integrateCell(in, c, 0, sum, err);
        for (int a = 0; a < kHullMoments; ++a) {
            m.prefix[k + 1].m[a] = m.prefix[k].m[a] + sum.m[a];
            m.prefixError[k + 1].m[a] = m.prefixError[k].m[a] + err.m[a];
        }
    }
    model = std::move(m);
    return true;
}

bool computeHydrostatics(const HullModel& m, double draft, const HydrostaticsOptions& options,
                         Hydrostatics& out, std::string& error) {
    char text[200];
    if (!std::isfinite(draft)) {
        error = "the draft is not a finite number";
        return false;
    }
    if (!(draft > 0.0)) {
        snprintf(text, sizeof text,
                 "a draft of %.9g: the waterplane must lie above the lowest "
                 "point of the hull",
                 draft);
        error = text;
        return false;
    }
    if (!(options.density > 0.0) || !std::isfinite(options.density)) {
        error = "the density must be a positive finite number";
        return false;
    }
    const double height = m.highestY - m.lowestY;
    if (draft > height + 1.0e-7 * m.size) {
        snprintf(text, sizeof text,
                 "a draft of %.9g puts the waterplane above the whole hull "
                 "(its height is %.9g)",
                 draft, height);
        error = text;
        return false;
    }
    bool half = false;
    if (!checkEdges(m, draft, half, error)) return false;
    if (half) {
        // Counted twice, a half model must lie on one side of its plane below the water.
        const double tolerance = 1.0e-6 * m.size;
        bool plus = false, minus = false;
        for (size_t k = 0; k < m.sampledLowY.size(); ++k) {
            if (!(m.sampledLowY[k] < draft)) continue;
            plus = plus || m.sampledHighZ[k] > tolerance;
            minus = minus || m.sampledLowZ[k] < -tolerance;
        }
        if (plus && minus) {
            snprintf(text, sizeof text,
                     "the half model reaches across its mirror plane z = %.9g "
                     "below the waterplane, so its mirror image would overlap it",
                     m.mirrorZ);
            error = text;
            return false;
        }
    }

    // Level of the root searches: a hair below the waterplane, so that an edge lying in it (a
    // hull drawn up to its design waterline) is found as the waterline, not missed by rounding.
    const double level = draft - 1.0e-13 * m.size;
    const HullSurface& s = m.surface;
    // Patches wholly below come from the prefix sums; those the waterline crosses are clipped.
    size_t whole = 0;
    while (whole < m.order.size() && s.patches[static_cast<size_t>(m.order[whole])].hi[1] < level)
        ++whole;
    HullMoments M = m.prefix[whole], E = m.prefixError[whole];
    WaterlineExtremes waterline;
    Integration in = makeIntegration(m, true, level);
    in.track = &waterline;
    for (size_t k = whole; k < m.order.size(); ++k) {
        const HullPatch& p = s.patches[static_cast<size_t>(m.order[k])];
        if (!(p.lo[1] < level)) continue;
        HullPatchForm form;
        integrateCell(in, Cell{&p, p.u0, p.u1, p.v0, p.v1, patchForm(m, p, form)}, 0, M, E);
    }

    const double T = draft;
    const double signedVolume = M.m[3] - T * M.m[0];
    if (!(std::fabs(signedVolume) > 1.0e-12 * m.size * m.size * m.size)) {
        error = "nothing of the hull lies below the waterplane";
        return false;
    }
    // The normal may face in or out: the volume's sign says which, for every flux.
    const double sigma = signedVolume > 0.0 ? 1.0 : -1.0;
    const double k = half ? 2.0 : 1.0;
    const auto flux = [&](double value, double err) {
        return HullFigure{k * sigma * value, k * err};
    };
    Hydrostatics h;
    h.draft = T;
    h.waterplaneY = m.lowestY + T;
    h.halfModel = half;
    h.volume = flux(signedVolume, E.m[3] + T * E.m[0]);
    const HullFigure momentX = flux(M.m[4] - T * M.m[1], E.m[4] + T * E.m[1]);
    const HullFigure momentY =
        flux(0.5 * (M.m[6] - T * T * M.m[0]), 0.5 * (E.m[6] + T * T * E.m[0]));
    const HullFigure momentZ = half ? HullFigure{} : flux(M.m[5] - T * M.m[2], E.m[5] + T * E.m[2]);
    h.displacement = {h.volume.value * options.density, h.volume.error * options.density};
    h.lcb = ratio(momentX, h.volume);
    h.vcb = ratio(momentY, h.volume);
    h.tcb = ratio(momentZ, h.volume);
    h.kmt = h.vcb;  // height of the centre of buoyancy above the lowest point, for now
    h.lcb.value -= s.shift[0];
    h.vcb.value -= s.shift[1];
    h.tcb.value -= s.shift[2];

    h.waterplaneArea = flux(-M.m[0], E.m[0]);
    const HullFigure areaX = flux(-M.m[1], E.m[1]);
    const HullFigure areaZ = half ? HullFigure{} : flux(-M.m[2], E.m[2]);
    const HullFigure areaXX = flux(-M.m[7], E.m[7]);
    const HullFigure areaZZ = flux(-M.m[8], E.m[8]);
    const HullFigure xf = ratio(areaX, h.waterplaneArea);
    const HullFigure zf = ratio(areaZ, h.waterplaneArea);
    // Second moments about the centre of the waterplane.
    const HullFigure inertiaL = {
        areaXX.value - h.waterplaneArea.value * xf.value * xf.value,
        areaXX.error + 2.0 * std::fabs(areaX.value) * xf.error + areaX.error * std::fabs(xf.value)};
    const HullFigure inertiaT = {
        areaZZ.value - h.waterplaneArea.value * zf.value * zf.value,
        areaZZ.error + 2.0 * std::fabs(areaZ.value) * zf.error + areaZ.error * std::fabs(zf.value)};
    h.lcf = {xf.value - s.shift[0], xf.error};
    h.bmt = ratio(inertiaT, h.volume);
    h.bml = ratio(inertiaL, h.volume);
    h.kmt = {h.kmt.value + h.bmt.value, h.kmt.error + h.bmt.error};
    h.wettedArea = {k * M.m[9], k * E.m[9]};

    if (!waterline.found()) scanWaterline(m, level, waterline);
    refineExtremes(m, level, waterline);
    const Extreme ex[4] = {waterline.best[0][0], waterline.best[1][0], waterline.best[2][0],
                           waterline.best[3][0]};
    // A waterline the grid did not meet lies on an edge only, at a corner of the domain: the
    // box of the waterplane's second moments is then the fallback.
    const double xFore = ex[0].patch != nullptr ? ex[0].value : xf.value;
    const double xAft = ex[1].patch != nullptr ? -ex[1].value : xf.value;
    const double pointError = 1.0e-12 * m.size;
    h.lwl = {xFore - xAft, 2.0 * pointError};
    // A half model's waterline reaches from its mirror plane to its farthest side; a whole
    // hull's from side to side.
    const double zHigh = ex[2].patch != nullptr ? ex[2].value : 0.0;
    const double zLow = ex[3].patch != nullptr ? -ex[3].value : 0.0;
    h.bwl = {half ? 2.0 * std::max(zHigh, -zLow) : zHigh - zLow, 2.0 * pointError};
    h.midshipX = 0.5 * (xFore + xAft) - s.shift[0];
    const double xMid = 0.5 * (xFore + xAft) + 1.0e-10 * m.size;
    HullFigure midship = sectionArea(m, xMid, T);
    midship = {k * sigma * midship.value, k * midship.error};

    const HullFigure box = product(product(h.lwl, h.bwl), HullFigure{T, 0.0});
    h.cb = ratio(h.volume, box);
    h.cm = ratio(midship, product(h.bwl, HullFigure{T, 0.0}));
    h.cp = ratio(h.volume, product(midship, h.lwl));
    h.cwp = ratio(h.waterplaneArea, product(h.lwl, h.bwl));

    if (options.stations >= 2) {
        const int n = options.stations;
        const double inset = 1.0e-9 * m.size;
        for (int i = 0; i < n; ++i) {
            double x = xAft + (xFore - xAft) * i / (n - 1);
            x = std::min(std::max(x, xAft + inset), xFore - inset) + 1.0e-10 * m.size;
            HullFigure a = sectionArea(m, x, T);
            h.stationX.push_back(x - s.shift[0]);
            h.sectionArea.push_back({k * sigma * a.value, k * a.error});
        }
    }
    out = std::move(h);
    return true;
}

std::vector<double> hullWaterline(const HullModel& m, double draft, int perSpan) {
    std::vector<double> segments;
    if (!(draft > 0.0) || !std::isfinite(draft) || perSpan < 1 || perSpan > 256) return segments;
    const double level = draft - 1.0e-13 * m.size;
    const HullSurface& s = m.surface;
    const int g = perSpan;
    std::vector<HullSample> grid(static_cast<size_t>((g + 1) * (g + 1)));
    for (const HullPatch& p : s.patches) {
        if (!(p.lo[1] <= level && p.hi[1] >= level)) continue;
        for (int b = 0; b <= g; ++b) {
            for (int a = 0; a <= g; ++a) {
                evaluateHull(s, p.i, p.j, p.u0 + (p.u1 - p.u0) * a / g,
                             p.v0 + (p.v1 - p.v0) * b / g,
                             grid[static_cast<size_t>(a + b * (g + 1))]);
            }
        }
        // Marching squares on y - level, each crossing placed by linear interpolation.
        const auto at = [&](int a, int b) -> const HullSample& {
            return grid[static_cast<size_t>(a + b * (g + 1))];
        };
        for (int b = 0; b < g; ++b) {
            for (int a = 0; a < g; ++a) {
                const HullSample* corner[4] = {&at(a, b), &at(a + 1, b), &at(a + 1, b + 1),
                                               &at(a, b + 1)};
                double crossings[4][3];
                int count = 0;
                for (int e = 0; e < 4; ++e) {
                    const HullSample& A = *corner[e];
                    const HullSample& B = *corner[(e + 1) % 4];
                    if ((A.y < level) == (B.y < level)) continue;
                    const double f = (level - A.y) / (B.y - A.y);
                    crossings[count][0] = A.x + f * (B.x - A.x) - s.shift[0];
                    crossings[count][1] = m.lowestY + draft;
                    crossings[count][2] = A.z + f * (B.z - A.z) - s.shift[2];
                    ++count;
                }
                for (int c = 0; c + 1 < count; c += 2) {
                    segments.insert(segments.end(), crossings[c], crossings[c] + 3);
                    segments.insert(segments.end(), crossings[c + 1], crossings[c + 1] + 3);
                }
            }
        }
    }
    return segments;
}
