// Knot insertion and removal on every section at once, adding a point and turning a start.
#include "model/section_knots.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "model/finite_values.h"
#include "model/surface_limits.h"

namespace {

struct Hom {
    double x, y, z, w;
};

Hom toHom(const PointH& p) {
    return {p.x, p.y, p.z, p.w};
}

PointH toPointH(const Hom& h) {
    return {static_cast<float>(h.x), static_cast<float>(h.y), static_cast<float>(h.z),
            static_cast<float>(h.w)};
}

// (1 - a) * p + a * q
Hom mix(const Hom& p, const Hom& q, double a) {
    return {p.x + a * (q.x - p.x), p.y + a * (q.y - p.y), p.z + a * (q.z - p.z),
            p.w + a * (q.w - p.w)};
}

double distance4(const Hom& p, const Hom& q) {
    const double dx = p.x - q.x, dy = p.y - q.y, dz = p.z - q.z, dw = p.w - q.w;
    return std::sqrt(dx * dx + dy * dy + dz * dz + dw * dw);
}

// One curve of degree p: its knots and its homogeneous points.
struct Curve {
    std::vector<double> knots;
    std::vector<Hom> points;
};

// The span k (p <= k <= count - 1) with knots[k] <= t < knots[k + 1]; t inside the range.
int spanOf(const std::vector<double>& U, int count, int p, double t) {
    int k = p;
    while (k + 1 < count && U[static_cast<size_t>(k) + 1] <= t) ++k;
    return k;
}

int multiplicity(const std::vector<double>& U, double t) {
    return static_cast<int>(std::count(U.begin(), U.end(), t));
}

// Inserts knot t (inside the range, below the end) once; the curve keeps its shape.
void insertKnot(Curve& c, int p, double t) {
    const std::vector<double>& U = c.knots;
    const int count = static_cast<int>(c.points.size());
    const int k = spanOf(U, count, p, t);
    std::vector<Hom> Q(static_cast<size_t>(count) + 1);
    for (int i = 0; i <= count; ++i) {
        if (i <= k - p) {
            Q[static_cast<size_t>(i)] = c.points[static_cast<size_t>(i)];
        } else if (i > k) {
            Q[static_cast<size_t>(i)] = c.points[static_cast<size_t>(i) - 1];
        } else {
            const double ui = U[static_cast<size_t>(i)];
            const double a = (t - ui) / (U[static_cast<size_t>(i + p)] - ui);
            Q[static_cast<size_t>(i)] =
                mix(c.points[static_cast<size_t>(i) - 1], c.points[static_cast<size_t>(i)], a);
        }
    }
    c.points.swap(Q);
    c.knots.insert(c.knots.begin() + k + 1, t);
}

// The points knot U[r] (the last of its s copies) leaves when removed once (The NURBS Book,
// A5.8), and how far that moves the curve in homogeneous space. Nothing is changed.
double removalError(const Curve& c, int p, int r, int s, std::vector<Hom>& temp) {
    const std::vector<double>& U = c.knots;
    const std::vector<Hom>& P = c.points;
    const double u = U[static_cast<size_t>(r)];
    const int first = r - p, last = r - s, off = first - 1;
    temp.assign(static_cast<size_t>(last - off) + 2, Hom{});
    temp[0] = P[static_cast<size_t>(off)];
    temp[static_cast<size_t>(last + 1 - off)] = P[static_cast<size_t>(last) + 1];
    int i = first, j = last, ii = 1, jj = last - off;
    while (j - i > 0) {
        const double ai = (u - U[static_cast<size_t>(i)]) /
                          (U[static_cast<size_t>(i + p + 1)] - U[static_cast<size_t>(i)]);
        const double aj = (u - U[static_cast<size_t>(j)]) /
                          (U[static_cast<size_t>(j + p + 1)] - U[static_cast<size_t>(j)]);
        const Hom& Pi = P[static_cast<size_t>(i)];
        const Hom& Pj = P[static_cast<size_t>(j)];
        const Hom& left = temp[static_cast<size_t>(ii) - 1];
        const Hom& right = temp[static_cast<size_t>(jj) + 1];
        temp[static_cast<size_t>(ii)] = {
            (Pi.x - (1 - ai) * left.x) / ai, (Pi.y - (1 - ai) * left.y) / ai,
            (Pi.z - (1 - ai) * left.z) / ai, (Pi.w - (1 - ai) * left.w) / ai};
        temp[static_cast<size_t>(jj)] = {
            (Pj.x - aj * right.x) / (1 - aj), (Pj.y - aj * right.y) / (1 - aj),
            (Pj.z - aj * right.z) / (1 - aj), (Pj.w - aj * right.w) / (1 - aj)};
        ++i, ++ii, --j, --jj;
    }
    if (j - i < 0) {
        return distance4(temp[static_cast<size_t>(ii) - 1], temp[static_cast<size_t>(jj) + 1]);
    }
    const double ai = (u - U[static_cast<size_t>(i)]) /
                      (U[static_cast<size_t>(i + p + 1)] - U[static_cast<size_t>(i)]);
    return distance4(P[static_cast<size_t>(i)],
                     mix(temp[static_cast<size_t>(ii) - 1], temp[static_cast<size_t>(ii) + 1], ai));
}

// Removes knot U[r] once, with the points removalError computed.
void removeKnot(Curve& c, int p, int r, int s, const std::vector<Hom>& temp) {
    const int first = r - p, last = r - s, off = first - 1;
    for (int i = first, j = last; j - i > 0; ++i, --j) {
        c.points[static_cast<size_t>(i)] = temp[static_cast<size_t>(i - off)];
        c.points[static_cast<size_t>(j)] = temp[static_cast<size_t>(j - off)];
    }
    c.points.erase(c.points.begin() + (2 * r - s - p) / 2);
    c.knots.erase(c.knots.begin() + r);
}

// The largest distance of the section's Cartesian points from their mean, at least a tiny
// positive number: the size shape tolerances are measured against.
double curveSize(const Curve& c) {
    double cx = 0, cy = 0, cz = 0;
    int n = 0;
    for (const Hom& h : c.points) {
        if (h.w == 0.0) continue;
        cx += h.x / h.w, cy += h.y / h.w, cz += h.z / h.w;
        ++n;
    }
    if (n == 0) return 1e-30;
    cx /= n, cy /= n, cz /= n;
    double size = 0;
    for (const Hom& h : c.points) {
        if (h.w == 0.0) continue;
        const double dx = h.x / h.w - cx, dy = h.y / h.w - cy, dz = h.z / h.w - cz;
        size = std::max(size, std::sqrt(dx * dx + dy * dy + dz * dz));
    }
    return std::max(size, 1e-30);
}

// The largest homogeneous move of a control point that keeps the Cartesian curve within
// `distance` (The NURBS Book, 5.30): the smallest weight over one plus the largest coordinate.
double homogeneousTolerance(const Curve& c, double distance) {
    double wmin = HUGE_VAL, pmax = 0;
    for (const Hom& h : c.points) {
        wmin = std::min(wmin, std::fabs(h.w));
        if (h.w != 0.0) {
            pmax =
                std::max({pmax, std::fabs(h.x / h.w), std::fabs(h.y / h.w), std::fabs(h.z / h.w)});
        }
    }
    return distance * wmin / (1.0 + pmax);
}

std::vector<Curve> sectionCurves(const SurfaceModel& surface) {
    std::vector<double> knots(surface.knotsU.begin(), surface.knotsU.end());
    std::vector<Curve> curves(static_cast<size_t>(surface.countV));
    for (int v = 0; v < surface.countV; ++v) {
        Curve& c = curves[static_cast<size_t>(v)];
        c.knots = knots;
        const PointH* points = sectionPoints(surface, v);
        for (int j = 0; j < surface.countU; ++j) c.points.push_back(toHom(points[j]));
    }
    return curves;
}

// The curves (all on the same knots) as the surface's sections and knotsU.
void storeCurves(SurfaceModel& surface, const std::vector<Curve>& curves) {
    const int count = static_cast<int>(curves[0].points.size());
    std::vector<PointH> net;
    net.reserve(static_cast<size_t>(count) * curves.size());
    for (const Curve& c : curves) {
        for (const Hom& h : c.points) net.push_back(toPointH(h));
    }
    surface.knotsU.assign(curves[0].knots.begin(), curves[0].knots.end());
    surface.countU = count;
    surface.knotCountU = static_cast<int32_t>(surface.knotsU.size());
    surface.controlNet.swap(net);
}

bool allFinite(const std::vector<Curve>& curves) {
    for (const Curve& c : curves) {
        for (const Hom& h : c.points) {
            if (!finite(toPointH(h))) return false;
        }
    }
    return true;
}

}  // namespace

bool insertPointByKnot(SurfaceModel& surface, int index, int section, Point3 u) {
    if (!surfaceIsUsable(surface) || !hasSection(surface, section) || index < 1 ||
        index >= surface.countU || !surfaceIsFinite(surface)) {
        return false;
    }
    const int p = surface.orderU - 1;
    const int count = surface.countU;
    if (p < 1) return false;
    const std::vector<double> U(surface.knotsU.begin(), surface.knotsU.end());
    // Greville parameters of the two neighbours; the knot goes half way between them, which puts
    // point `index` among the p points the insertion makes.
    auto greville = [&](int j) {
        double sum = 0;
        for (int i = j + 1; i <= j + p; ++i) sum += U[static_cast<size_t>(i)];
        return sum / p;
    };
    const double t = static_cast<float>(0.5 * (greville(index - 1) + greville(index)));
    if (!(t > U[static_cast<size_t>(p)] && t < U[static_cast<size_t>(count)])) return false;
    const int k = spanOf(U, count, p, t);
    if (multiplicity(U, t) + 1 > p || index < k - p + 1 || index > k) return false;

    std::vector<Curve> curves = sectionCurves(surface);
    for (int v = 0; v < surface.countV; ++v) {
        Curve& c = curves[static_cast<size_t>(v)];
        if (v != section) {
            insertKnot(c, p, t);
            continue;
        }
        c.points.insert(c.points.begin() + index, Hom{u.x, u.y, u.z, 1.0});
        c.knots.insert(c.knots.begin() + k + 1, t);
    }
    if (!allFinite(curves)) return false;
    storeCurves(surface, curves);
    return true;
}

namespace {

// Multiplicities of the distinct knot values, in order.
std::vector<std::pair<double, int>> distinctKnots(const std::vector<double>& U) {
    std::vector<std::pair<double, int>> out;
    for (double u : U) {
        if (!out.empty() && out.back().first == u) {
            ++out.back().second;
        } else {
            out.push_back({u, 1});
        }
    }
    return out;
}

// The closed curve c (clamped on [a, b], degree p) started at t* instead of a, on [a, b] again:
// cut at t* (inserted up to multiplicity p), the piece after t* first, the one before it after.
Curve turnedCurve(Curve c, int p, double tStar) {
    for (int m = multiplicity(c.knots, tStar); m < p; ++m) insertKnot(c, p, tStar);
    const std::vector<double>& U = c.knots;
    const int count = static_cast<int>(c.points.size());
    const double a = U.front(), b = U.back();
    int s = 0;  // the last copy of t*
    while (U[static_cast<size_t>(s) + 1] <= tStar) ++s;
    const int joint = s - p;  // the point on the curve at t*
    Curve turned;
    turned.knots.assign(static_cast<size_t>(p) + 1, a);
    for (int i = s + 1; i < count; ++i)
        turned.knots.push_back(U[static_cast<size_t>(i)] - (tStar - a));
    const double c0 = a + (b - tStar);  // where the old start comes
    for (int i = 0; i < p; ++i) turned.knots.push_back(c0);
    for (int i = p + 1; i <= joint; ++i)
        turned.knots.push_back(U[static_cast<size_t>(i)] + (b - tStar));
    for (int i = 0; i <= p; ++i) turned.knots.push_back(b);
    for (int i = joint; i < count; ++i) turned.points.push_back(c.points[static_cast<size_t>(i)]);
    for (int i = 1; i <= joint; ++i) turned.points.push_back(c.points[static_cast<size_t>(i)]);
    return turned;
}

// Inserts into c every knot `target` holds more often than c.
void refineTo(Curve& c, int p, const std::vector<double>& target) {
    for (const auto& [value, count] : distinctKnots(target)) {
        for (int m = multiplicity(c.knots, value); m < count; ++m) insertKnot(c, p, value);
    }
}

// Lowers each interior knot of multiplicity above 1 while every curve stays within a millionth of
// its size. The bound on the curve's move is far above what an exactly removable knot leaves (the
// rounding of float points) and far below what removing a needed one does (a corner, a kink).
void removeSpareKnots(std::vector<Curve>& curves, int p) {
    std::vector<double> tolerance;
    for (const Curve& c : curves) tolerance.push_back(homogeneousTolerance(c, 1e-6 * curveSize(c)));
    std::vector<std::vector<Hom>> temps(curves.size());
    for (size_t d = 1;; ++d) {
        const std::vector<std::pair<double, int>> knots = distinctKnots(curves[0].knots);
        if (d + 1 >= knots.size()) break;
        const auto [value, s] = knots[d];
        if (s < 2) continue;
        int r = 0;  // the last copy of value
        while (curves[0].knots[static_cast<size_t>(r) + 1] <= value) ++r;
        bool removable = true;
        for (size_t v = 0; v < curves.size() && removable; ++v) {
            removable = removalError(curves[v], p, r, s, temps[v]) <= tolerance[v];
        }
        if (!removable) continue;
        for (size_t v = 0; v < curves.size(); ++v) removeKnot(curves[v], p, r, s, temps[v]);
        --d;  // the same value again, one copy fewer
    }
}

}  // namespace

bool turnSectionStart(SurfaceModel& surface, int section, int step, std::string& error) {
    if (!hasSection(surface, section)) {
        error = "no section " + std::to_string(section);
        return false;
    }
    const std::string name = "section " + std::to_string(section);
    const int count = surface.countU;
    const PointH* points = sectionPoints(surface, section);
    const PointH& first = points[0];
    const PointH& last = points[count - 1];
    if (count < 3 || first.x != last.x || first.y != last.y || first.z != last.z ||
        first.w != last.w) {
        error = name + " is not closed (its first and last points differ): its start cannot move";
        return false;
    }
    if (!surfaceIsUsable(surface) || !surfaceIsFinite(surface)) {
        error = "the surface has no usable knots or points";
        return false;
    }
    const int p = surface.orderU - 1;
    const std::vector<float>& K = surface.knotsU;
    bool clamped = p >= 1;
    for (int i = 1; i <= p && clamped; ++i) {
        clamped = K[static_cast<size_t>(i)] == K[0] &&
                  K[static_cast<size_t>(count + p - i)] == K[static_cast<size_t>(count + p)];
    }
    if (!clamped || !(K[0] < K[static_cast<size_t>(count + p)])) {
        error = name +
                "'s knots are not clamped at both ends: its curve does not start at its "
                "first point";
        return false;
    }
    for (const auto& [value, m] : distinctKnots(std::vector<double>(K.begin(), K.end()))) {
        if (m > p && value != K.front() && value != K.back()) {
            error = "a knot in s is repeated more often than the degree: the start cannot move";
            return false;
        }
    }

    std::vector<Curve> curves = sectionCurves(surface);
    const std::vector<double>& U = curves[0].knots;
    const double a = U.front(), b = U.back();
    std::vector<double> interior;
    for (double u : U) {
        if (u > a && u < b) interior.push_back(u);
    }
    const double tStar = interior.empty() ? static_cast<double>(static_cast<float>(0.5 * (a + b)))
                                          : (step > 0 ? interior.front() : interior.back());
    Curve turned = turnedCurve(curves[static_cast<size_t>(section)], p, tStar);
    // The turned knots as floats, each within a few rounding steps of an old knot taken as that
    // knot, so the union does not hold two copies of what is one knot.
    const double snap = 1e-6 * (b - a);
    for (double& t : turned.knots) {
        t = static_cast<float>(t);
        for (double u : U) {
            if (std::fabs(t - u) <= snap) t = u;
        }
    }
    // The union of both knot vectors, each value as often as either has it.
    std::vector<double> target;
    {
        const auto mine = distinctKnots(U), theirs = distinctKnots(turned.knots);
        size_t i = 0, j = 0;
        while (i < mine.size() || j < theirs.size()) {
            if (j == theirs.size() || (i < mine.size() && mine[i].first < theirs[j].first)) {
                target.insert(target.end(), static_cast<size_t>(mine[i].second), mine[i].first);
                ++i;
            } else if (i == mine.size() || theirs[j].first < mine[i].first) {
                target.insert(target.end(), static_cast<size_t>(theirs[j].second), theirs[j].first);
                ++j;
            } else {
                target.insert(target.end(),
                              static_cast<size_t>(std::max(mine[i].second, theirs[j].second)),
                              mine[i].first);
                ++i, ++j;
            }
        }
    }
    const long long newCount = static_cast<long long>(target.size()) - p - 1;
    if (newCount * surface.countV > kMostNetPoints) {
        char line[160];
        snprintf(line, sizeof line,
                 "turning %s would take %lld points per section, past the editor's %lld points",
                 name.c_str(), newCount, kMostNetPoints);
        error = line;
        return false;
    }
    curves[static_cast<size_t>(section)] = std::move(turned);
    for (Curve& c : curves) refineTo(c, p, target);
    removeSpareKnots(curves, p);
    if (!allFinite(curves)) {
        error = name + "'s turned points would not be finite";
        return false;
    }
    storeCurves(surface, curves);
    return true;
}
