// End conditions of an open loft, built as extra rows of the interpolation across the sections
// (The NURBS Book, 9.2.2: a derivative at an end adds a control point, and the knots are averaged
// over the parameters with the end's parameter taken twice).
#include "model/loft_ends.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "model/banded_solver.h"
#include "model/finite_values.h"
#include "model/knots.h"
#include "model/loft_parameters.h"
#include "model/surface_limits.h"

bool loftHasEndConditions(const LoftOptions& options) {
    return !options.closed &&
           (options.start.kind != LoftEndKind::free || options.end.kind != LoftEndKind::free);
}

namespace {

struct Vec {
    double x = 0.0, y = 0.0, z = 0.0;
};
Vec operator+(Vec a, Vec b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec operator-(Vec a, Vec b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec operator*(Vec a, double f) { return {a.x * f, a.y * f, a.z * f}; }
double dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
double length(Vec a) { return std::sqrt(dot(a, a)); }

// Point t of section r of the net, divided by its weight; w receives the weight.
Vec cartesian(const float* net, int cols, int r, int t, double& w) {
    const float* p = net + (static_cast<size_t>(r) * cols + static_cast<size_t>(t)) * 4;
    w = p[3];
    return {p[0] / w, p[1] / w, p[2] / w};
}

// One end of the loft: its section, the next section in, and what the condition adds.
struct EndFrame {
    const char* name = "start";  // "start" or "end", for the reasons
    const char* section = "first";
    int index = 0;     // the end section
    int neighbour = 1; // the section next to it
    Vec centroid;
    Vec normal;  // unit normal of the section's plane, pointing into the loft
    bool hasPlane = false;
    double meanRadius = 0.0;
    Vec pole;
};

bool refuse(std::string& refusal, const char* format, const char* a, const char* b = "") {
    char text[200];
    snprintf(text, sizeof text, format, a, b);
    refusal = text;
    return false;
}

// The end section's centroid, plane and size; the pole of a point end. False with the reason
// when the condition cannot be built there.
bool frameEnd(const float* net, int cols, const LoftEnd& end, EndFrame& f,
              std::string& refusal) {
    for (int t = 0; t < cols; ++t) {
        for (int r : {f.index, f.neighbour}) {
            if (!(net[(static_cast<size_t>(r) * cols + t) * 4 + 3] > 0.0f)) {
                return refuse(refusal, "the %s condition needs positive weights in the %s section",
                              f.name, f.section);
            }
        }
    }
    if (!(end.bulge > 0.0f) || !std::isfinite(end.bulge)) {
        return refuse(refusal, "the %s bulge must be a number above 0", f.name);
    }
    if (!(end.length >= 0.0f) || !std::isfinite(end.length)) {
        return refuse(refusal, "the %s length must be a number of at least 0", f.name);
    }
    const Vec given{end.vector[0], end.vector[1], end.vector[2]};
    if (end.given && !finite(given.x, given.y, given.z)) {
        return refuse(refusal, "the %s %s holds numbers out of range", f.name,
                      end.kind == LoftEndKind::point ? "point" : "direction");
    }
    double w = 0.0, wLast = 0.0;
    // A closed section repeats its first point at the end; counted twice it would pull the
    // centroid (and so a default pole) towards it.
    const Vec head = cartesian(net, cols, f.index, 0, w);
    const Vec tail = cartesian(net, cols, f.index, cols - 1, wLast);
    const int distinct = cols > 1 && length(head - tail) == 0.0 ? cols - 1 : cols;
    Vec sum, next;
    for (int t = 0; t < distinct; ++t) {
        sum = sum + cartesian(net, cols, f.index, t, w);
        next = next + cartesian(net, cols, f.neighbour, t, w);
    }
    f.centroid = sum * (1.0 / distinct);
    next = next * (1.0 / distinct);
    // Newell's normal of the section taken as a closed polygon: twice its area, across its plane.
    Vec area;
    double radii = 0.0;
    for (int t = 0; t < cols; ++t) {
        const Vec a = cartesian(net, cols, f.index, t, w) - f.centroid;
        const Vec b = cartesian(net, cols, f.index, (t + 1) % cols, w) - f.centroid;
        area = area + Vec{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
        radii += length(a);
    }
    f.meanRadius = radii / cols;  // the repeated point is at the same distance as the first
    const double size = length(area);
    f.hasPlane = std::isfinite(size) && size > 1e-9 * f.meanRadius * f.meanRadius;
    if (f.hasPlane) {
        f.normal = area * (1.0 / size);
        if (dot(f.normal, next - f.centroid) < 0.0) f.normal = f.normal * -1.0;
    }
    if (end.kind == LoftEndKind::tangent) {
        if (end.given) {
            if (!(length(given) > 0.0)) return refuse(refusal, "the %s direction is zero", f.name);
        } else if (!f.hasPlane) {
            return refuse(refusal, "the %s section has no plane to be normal to", f.section);
        }
        return true;
    }
    if (!f.hasPlane) {
        return refuse(refusal, "the %s section has no plane to close a pole across", f.section);
    }
    const double out = end.length > 0.0f ? end.length : f.meanRadius;
    f.pole = end.given ? given : f.centroid - f.normal * out;
    if (!(std::fabs(dot(f.pole - f.centroid, f.normal)) > 1e-6 * f.meanRadius)) {
        char text[200];
        snprintf(text, sizeof text, "the %s point (%g, %g, %g) lies in the plane of the %s section",
                 f.name, f.pole.x, f.pole.y, f.pole.z, f.section);
        refusal = text;
        return false;
    }
    return true;
}

// Homogeneous row of the pole: the pole with the weights of the end section, so a column keeps
// its weight up to the pole.
void poleRow(const float* net, int cols, const EndFrame& f, float* row) {
    for (int t = 0; t < cols; ++t) {
        const float w = net[(static_cast<size_t>(f.index) * cols + t) * 4 + 3];
        row[4 * t + 0] = static_cast<float>(f.pole.x * w);
        row[4 * t + 1] = static_cast<float>(f.pole.y * w);
        row[4 * t + 2] = static_cast<float>(f.pole.z * w);
        row[4 * t + 3] = w;
    }
}

// Homogeneous derivatives (weight component 0) the surface leaves the end with, per column,
// taken along increasing v: into the loft at the start, out of it at the end. span is the
// parameter distance from the end to the next row in; sign is +1 at the start, -1 at the end.
void derivativeRow(const float* net, int cols, const LoftEnd& end, const EndFrame& f,
                   double span, double sign, float* row) {
    double w = 0.0, wNext = 0.0;
    Vec direction{end.vector[0], end.vector[1], end.vector[2]};
    if (end.kind == LoftEndKind::tangent) {
        direction = end.given ? direction * (1.0 / length(direction)) : f.normal;
    }
    for (int t = 0; t < cols; ++t) {
        const Vec here = cartesian(net, cols, f.index, t, w);
        Vec d;
        if (end.kind == LoftEndKind::tangent) {
            const Vec next = cartesian(net, cols, f.neighbour, t, wNext);
            d = direction * (length(next - here) / span);
        } else {
            // From the pole towards the end section's point, in the plane across the pole: the
            // columns leave the pole in every direction of one plane, so the tip is round.
            const Vec chord = here - f.pole;
            const Vec across = chord - f.normal * dot(chord, f.normal);
            const double a = length(across);
            if (a > 0.0) d = across * (length(chord) / (a * span));
        }
        d = d * (end.bulge * sign);
        row[4 * t + 0] = static_cast<float>(d.x * w);
        row[4 * t + 1] = static_cast<float>(d.y * w);
        row[4 * t + 2] = static_cast<float>(d.z * w);
        row[4 * t + 3] = 0.0f;
    }
}

}  // namespace

bool loftNetWithEnds(const LoftSections& sections, int order, const LoftOptions& options,
                     std::vector<float>& result, std::vector<float>& knots, std::string& refusal) {
    const float* net = sections.net;
    const int cols = sections.cols;
    const int R = sections.R;
    const int p = order - 1;
    if (p < 2) {
        refusal = "end conditions need a degree of at least 2 across the sections";
        return false;
    }
    if (R < 2 || cols < 1) {
        refusal = "end conditions need at least two sections";
        return false;
    }
    const bool hasStart = options.start.kind != LoftEndKind::free;
    const bool hasEnd = options.end.kind != LoftEndKind::free;
    EndFrame first, last;
    first.index = 0;
    first.neighbour = 1;
    last.name = "end";
    last.section = "last";
    last.index = R - 1;
    last.neighbour = R - 2;
    if (hasStart && !frameEnd(net, cols, options.start, first, refusal)) return false;
    if (hasEnd && !frameEnd(net, cols, options.end, last, refusal)) return false;
    const bool startPole = options.start.kind == LoftEndKind::point;
    const bool endPole = options.end.kind == LoftEndKind::point;

    // The rows the surface passes through: the poles around the sections. Without a pole the
    // sections' own parameters serve; with one, the sections' chords are measured only once.
    const size_t rowFloats = 4 * static_cast<size_t>(cols);
    const int P = R + (startPole ? 1 : 0) + (endPole ? 1 : 0);
    std::vector<float> poles;
    const float* startRow = nullptr;
    const float* endRow = nullptr;
    if (startPole || endPole) {
        poles.resize(2 * rowFloats);
        if (startPole) poleRow(net, cols, first, poles.data());
        if (endPole) poleRow(net, cols, last, poles.data() + rowFloats);
        startRow = startPole ? poles.data() : nullptr;
        endRow = endPole ? poles.data() + rowFloats : nullptr;
    }
    auto rowOf = [&](int k) {
        if (k == 0 && startRow != nullptr) return startRow;
        if (k == P - 1 && endRow != nullptr) return endRow;
        return net + static_cast<size_t>(k - (startPole ? 1 : 0)) * rowFloats;
    };
    std::vector<float> v(sections.v, sections.v + R);
    if (startPole || endPole) {
        LoftOptions open = options;
        open.closed = false;
        v.resize(static_cast<size_t>(P));
        if (!loftParametersAround(startRow, net, cols, R, endRow, *sections.chord, open,
                                  v.data())) {
            refusal = "all sections lie at the same place";
            return false;
        }
    }
    for (int k = 1; k < P; ++k) {
        if (!std::isfinite(v[k]) || !(v[k] > v[k - 1])) {
            refusal = "an end point lies on the next section";
            return false;
        }
    }

    // Parameters with an end's taken twice for its derivative, and the knots averaged over them.
    const int N = P + (hasStart ? 1 : 0) + (hasEnd ? 1 : 0);
    std::vector<float> t;
    t.reserve(static_cast<size_t>(N));
    if (hasStart) t.push_back(v[0]);
    t.insert(t.end(), v.begin(), v.end());
    if (hasEnd) t.push_back(v[P - 1]);
    knots.resize(static_cast<size_t>(N + order));
    averageKnots(t.data(), N, order, knots.data());
    if (!allFinite(knots.data(), knots.size())) {
        refusal = "the end conditions give no knots";
        return false;
    }

    // Rows in the order of their control points: the start's position, its derivative, the
    // positions in between, the end's derivative and its position. Only what the sections'
    // net does not already vouch for is checked for range: the basis values, the poles and
    // the derivatives.
    const size_t width = static_cast<size_t>(order);
    std::vector<float> values(static_cast<size_t>(N) * width);
    std::vector<BandRow> rows;
    rows.reserve(static_cast<size_t>(N));
    std::vector<float> B;
    B.reserve(static_cast<size_t>(N) * rowFloats);
    std::vector<float> basis(width);
    bool sound = true;
    auto positionRow = [&](int k) {
        const size_t i = rows.size();
        const int I = findKnotSpan(N - 1, p, v[k], knots.data());
        evaluateBasis(basis.data(), I, v[k], p, knots.data());
        int firstColumn = I - p - 1;
        int skip = firstColumn < 0 ? -firstColumn : 0;
        const int endColumn = std::min(I, N);
        int count = endColumn - firstColumn - skip;
        if (count > order - skip) count = order - skip;
        float* stored = values.data() + i * width;
        for (int c = 0; c < count; ++c) stored[c] = basis[static_cast<size_t>(skip + c)];
        rows.push_back({firstColumn + skip, count, stored});
        const float* row = rowOf(k);
        B.insert(B.end(), row, row + rowFloats);
        const bool checked = sections.netFinite && row != startRow && row != endRow;
        sound = sound && count > 0 && allFinite(stored, static_cast<size_t>(count)) &&
                (checked || allFinite(row, rowFloats));
    };
    auto derivative = [&](int column, float slope, const LoftEnd& end, const EndFrame& f,
                          double span, double sign) {
        const size_t i = rows.size();
        float* stored = values.data() + i * width;
        stored[0] = -slope;
        stored[1] = slope;
        rows.push_back({column, 2, stored});
        B.resize(B.size() + rowFloats);
        float* row = B.data() + i * rowFloats;
        derivativeRow(net, cols, end, f, span, sign, row);
        sound = sound && allFinite(row, rowFloats);
    };
    positionRow(0);
    // The derivative's span: from the end's row to the next row in (the end section for a pole).
    const float startSlope = static_cast<float>(p) / knots[static_cast<size_t>(p) + 1];
    const float endSlope =
        static_cast<float>(p) / (knots[static_cast<size_t>(N + p)] - knots[static_cast<size_t>(N - 1)]);
    if (hasStart) derivative(0, startSlope, options.start, first, v[1] - v[0], 1.0);
    for (int k = 1; k + 1 < P; ++k) positionRow(k);
    if (hasEnd) derivative(N - 2, endSlope, options.end, last, v[P - 1] - v[P - 2], -1.0);
    positionRow(P - 1);
    if (!sound || !finite(startSlope, endSlope)) {
        refusal = "the end conditions give numbers out of range";
        return false;
    }
    result.resize(static_cast<size_t>(N) * rowFloats);
    if (!solveBandRows(rows, B.data(), result.data(), 4 * cols)) {
        refusal = "the sections and end conditions give no interpolating surface";
        return false;
    }
    return true;
}

bool parseLoftEnd(const char* text, LoftEnd& end, std::string& problem) {
    if (text == nullptr) text = "";
    LoftEnd parsed = end;
    const char* colon = strchr(text, ':');
    const std::string kind(text, colon != nullptr ? static_cast<size_t>(colon - text) : strlen(text));
    if (kind == "free" && colon == nullptr) {
        parsed.kind = LoftEndKind::free;
        parsed.given = false;
    } else if (kind == "point" || kind == "tangent") {
        parsed.kind = kind == "point" ? LoftEndKind::point : LoftEndKind::tangent;
        parsed.given = colon != nullptr;
        if (parsed.given) {
            const char* cursor = colon + 1;
            for (int c = 0; c < 3; ++c) {
                char* stop = nullptr;
                const float value = strtof(cursor, &stop);
                const char expected = c < 2 ? ',' : '\0';
                if (stop == cursor || *stop != expected || !std::isfinite(value)) {
                    problem = "\"" + std::string(text) + "\": " + kind +
                              " takes three numbers x,y,z after the colon";
                    return false;
                }
                parsed.vector[c] = value;
                cursor = stop + 1;
            }
        }
    } else {
        problem = "unknown end condition \"" + std::string(text) +
                  "\" (free, point, point:x,y,z, tangent or tangent:x,y,z)";
        return false;
    }
    end = parsed;
    return true;
}

std::string loftEndText(const LoftEnd& end) {
    char text[200];
    const char* kind = end.kind == LoftEndKind::point     ? "point"
                       : end.kind == LoftEndKind::tangent ? "tangent"
                                                          : "free";
    if (end.kind == LoftEndKind::free) return kind;
    std::string out = kind;
    if (end.given) {
        snprintf(text, sizeof text, " %s (%g, %g, %g)",
                 end.kind == LoftEndKind::point ? "at" : "along",
                 static_cast<double>(end.vector[0]), static_cast<double>(end.vector[1]),
                 static_cast<double>(end.vector[2]));
        out += text;
    } else if (end.kind == LoftEndKind::point && end.length > 0.0f) {
        snprintf(text, sizeof text, " %g out", static_cast<double>(end.length));
        out += text;
    }
    if (end.bulge != 1.0f) {
        snprintf(text, sizeof text, ", bulge %g", static_cast<double>(end.bulge));
        out += text;
    }
    return out;
}
