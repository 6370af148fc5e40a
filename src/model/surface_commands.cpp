// Commands that change the surface as a whole: the surface of revolution of the current section,
// copying a section onto another, and the outline / fill switch.
#include "model/surface_commands.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <vector>

#include "model/derived_nets.h"
#include "model/editor_state.h"
#include "model/finite_values.h"
#include "model/picked_point.h"
#include "model/skinning.h"
#include "model/surface_edit.h"
#include "model/surface_limits.h"

namespace {

constexpr int kMaxArcs = 4;
constexpr int kRevolvedRows = 2 * kMaxArcs + 1;  // rows of a full turn
constexpr int kRevolvedOrder = 3;                // circular arcs are rational quadratics
constexpr float kFullTurn = 6.2831855f;          // 2 pi as a float

}  // namespace

Point3 closestPointOfLines(Point3 P0, Vector3 T0, Point3 P2, Vector3 T2) {
    // Least squares in double: the parameters s, t that bring P0 + s T0 and P2 + t T2 closest,
    // then the midpoint of the two nearest points (the intersection when the lines meet).
    const double a = double(T0.x) * T0.x + double(T0.y) * T0.y + double(T0.z) * T0.z;
    const double b = double(T0.x) * T2.x + double(T0.y) * T2.y + double(T0.z) * T2.z;
    const double c = double(T2.x) * T2.x + double(T2.y) * T2.y + double(T2.z) * T2.z;
    const double wx = double(P0.x) - P2.x;
    const double wy = double(P0.y) - P2.y;
    const double wz = double(P0.z) - P2.z;
    const double d = double(T0.x) * wx + double(T0.y) * wy + double(T0.z) * wz;
    const double e = double(T2.x) * wx + double(T2.y) * wy + double(T2.z) * wz;
    const double denominator = a * c - b * b;
    // Parallel (or degenerate) lines have no single closest pair: take the middle of the two
    // start points, the best guess for a corner between two points on one line.
    if (!(a > 0.0) || !(c > 0.0) || !(denominator > 1e-12 * a * c)) {
        return Point3(static_cast<float>((double(P0.x) + P2.x) / 2.0),
                      static_cast<float>((double(P0.y) + P2.y) / 2.0),
                      static_cast<float>((double(P0.z) + P2.z) / 2.0));
    }
    const double s = (b * e - c * d) / denominator;
    const double t = (a * e - b * d) / denominator;
    const double x = (double(P0.x) + s * T0.x + double(P2.x) + t * T2.x) / 2.0;
    const double y = (double(P0.y) + s * T0.y + double(P2.y) + t * T2.y) / 2.0;
    const double z = (double(P0.z) + s * T0.z + double(P2.z) + t * T2.z) / 2.0;
    return Point3(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z));
}

// The NURBS Book, A8.1 (MakeRevolvedSurf). Each profile point sweeps a circle about the axis:
// even rows are points on the circle, odd rows the corners where the tangents at the two ends
// of an arc meet, weighted by cos(arc / 2).
void makeRevolvedSurface(Point3 S, Vector3 T, float theta, int m, const Point3* P, const float* w,
                         int* n, float* knots, Point3* points, float* weights) {
    const double sweep = theta;
    int arcs;
    if (sweep <= 1.570796325) {
        arcs = 1;
    } else if (sweep <= 3.14159265) {
        arcs = 2;
    } else if (sweep <= 4.712388975) {
        arcs = 3;
    } else {
        arcs = 4;
    }

    // Knots: clamped, each interior knot doubled so every arc is its own quadratic piece.
    for (int i = 0; i < 3; ++i) {
        knots[i] = 0.0f;
        knots[2 * arcs + 1 + i] = 1.0f;
    }
    if (arcs == 2) {
        knots[3] = knots[4] = 0.5f;
    } else if (arcs == 3) {
        knots[3] = knots[4] = 1.0f / 3.0f;
        knots[5] = knots[6] = 2.0f / 3.0f;
    } else if (arcs == 4) {
        knots[3] = knots[4] = 0.25f;
        knots[5] = knots[6] = 0.5f;
        knots[7] = knots[8] = 0.75f;
    }
    *n = 2 * arcs;

    const float dtheta = theta / static_cast<float>(arcs);
    const float wm = static_cast<float>(std::cos(static_cast<double>(dtheta) / 2.0));
    float cosines[kMaxArcs + 1];
    float sines[kMaxArcs + 1];
    float angle = 0.0f;
    for (int i = 1; i <= arcs; ++i) {
        angle = angle + dtheta;
        cosines[i] = static_cast<float>(std::cos(static_cast<double>(angle)));
        sines[i] = static_cast<float>(std::sin(static_cast<double>(angle)));
    }

    const int rowLength = m + 1;
    for (int j = 0; j <= m; ++j) {
        const Point3 O = projectOntoLine(P[j], S, T);
        Vector3 X = P[j] - O;
        const float r = length(X);
        X = normalized(X);
        const Vector3 Y = cross(T, X);
        points[j] = P[j];
        weights[j] = w[j];
        Point3 P0 = P[j];
        Vector3 T0 = Y;
        for (int i = 1, index = 0; i <= arcs; ++i, index += 2) {
            const Point3 P2 = O + (X * r) * cosines[i] + (Y * r) * sines[i];
            points[(index + 2) * rowLength + j] = P2;
            weights[(index + 2) * rowLength + j] = w[j];
            const Vector3 T2 = X * -sines[i] + Y * cosines[i];
            Point3 corner;
            // The exact test of intersectLines can miss through rounding; the tangents of a
            // circle still meet, so take their nearest point.
            if (intersectLines(P0, T0, P2, T2, &corner) == 0) {
                corner = closestPointOfLines(P0, T0, P2, T2);
            }
            points[(index + 1) * rowLength + j] = corner;
            weights[(index + 1) * rowLength + j] = wm * w[j];
            if (i < arcs) {
                P0 = P2;
                T0 = T2;
            }
        }
    }
}

// The full turn of section `section` about the y axis: section r of the new surface is row r of
// the sweep, so section 0 is the profile in its former place. The U direction (points, order,
// knots) stays the profile's.
bool revolveSection(const SurfaceModel& surface, int section, SurfaceModel& out,
                    std::string& error) {
    char line[160];
    if (!hasSection(surface, section)) {
        error = "No surface to revolve: load a surface first";
        return false;
    }
    const int countU = surface.countU;
    const PointH* points = sectionPoints(surface, section);
    std::vector<Point3> profile(static_cast<size_t>(countU));
    std::vector<float> profileWeights(static_cast<size_t>(countU));
    for (int j = 0; j < countU; ++j) {
        const PointH& q = points[j];
        if (q.w == 0.0f || !std::isfinite(q.w)) {
            snprintf(line, sizeof line, "Cannot revolve section %d: its point %d has weight %g",
                     section, j, static_cast<double>(q.w));
            error = line;
            return false;
        }
        profile[static_cast<size_t>(j)] = Point3(q.x, q.y, q.z) * (1.0f / q.w);
        profileWeights[static_cast<size_t>(j)] = q.w;
    }

    if (static_cast<long long>(kRevolvedRows) * countU > kMostNetPoints) {
        snprintf(line, sizeof line, "Cannot revolve section %d: %d x %d points are too many",
                 section, countU, kRevolvedRows);
        error = line;
        return false;
    }
    const size_t total = static_cast<size_t>(kRevolvedRows) * countU;
    std::vector<Point3> swept(total);
    std::vector<float> weights(total);
    float knots[kRevolvedRows + kRevolvedOrder];
    int n = 0;
    makeRevolvedSurface(Point3(0.0f, 0.0f, 0.0f), Vector3(0.0f, 1.0f, 0.0f), kFullTurn, countU - 1,
                        profile.data(), profileWeights.data(), &n, knots, swept.data(),
                        weights.data());

    std::vector<PointH> net(total);
    for (size_t k = 0; k < total; ++k) {
        const Point3 p = swept[k];
        const float w = weights[k];
        net[k] = PointH{p.x * w, p.y * w, p.z * w, w};
        if (!finite(p) || !finite(net[k])) {
            snprintf(line, sizeof line,
                     "Cannot revolve section %d: the surface would leave the range of numbers",
                     section);
            error = line;
            return false;
        }
    }

    out = surface;
    out.countV = kRevolvedRows;
    out.orderV = kRevolvedOrder;
    out.knotCountV = out.countV + out.orderV;
    out.controlNet.swap(net);
    out.knotsV.assign(knots, knots + out.knotCountV);
    return true;
}

// Copies the shape of section `from` onto section `to`: each destination point takes the source
// point's y, z and weight and keeps its own Cartesian x, so the copy stays in the destination's
// plane. With equal weights the stored x w is kept as it is.
bool copySection(SurfaceModel& surface, int from, int to, std::string& error) {
    char line[160];
    if (!hasSection(surface, from)) {
        error = "Nothing copied: there is no section to copy";
        return false;
    }
    if (to < 0 || to >= surface.countV) {
        snprintf(line, sizeof line, "Nothing copied: there is no section %d", to);
        error = line;
        return false;
    }
    if (to == from) return true;
    const PointH* source = sectionPoints(surface, from);
    PointH* destination = sectionPoints(surface, to);
    std::vector<PointH> copied(destination, destination + surface.countU);
    for (int j = 0; j < surface.countU; ++j) {
        PointH& d = copied[static_cast<size_t>(j)];
        const PointH& q = source[j];
        // A weight-0 destination has no Cartesian x to keep; its stored x stays as it was.
        if (q.w != d.w && d.w != 0.0f) {
            d.x = static_cast<float>(static_cast<double>(d.x) / d.w * q.w);
        }
        d.y = q.y;
        d.z = q.z;
        d.w = q.w;
        if (!std::isfinite(d.x)) {
            snprintf(line, sizeof line, "Nothing copied: point %d would leave the range of numbers",
                     j);
            error = line;
            return false;
        }
    }
    std::copy(copied.begin(), copied.end(), destination);
    return true;
}

// Nothing changes unless the whole new surface could be built.
bool revolveCurrentSection(EditorState& state) {
    EditorState& s = state;
    SurfaceModel revolved;
    std::string error;
    if (!revolveSection(s.surface, s.selection.currentSection, revolved, error)) {
        setStatusLinef(s.panel, "%s", error.c_str());
        return false;
    }
    // The new surface is the same document: saving it goes to the same file.
    revolved.fileName = s.surface.fileName;
    runEdit(s, "create new surf", [&] {
        s.surface = std::move(revolved);
        clearPick(s.selection);
        // Brings the selection into the nine sections, drops the expanded net, skins again and
        // rebuilds the knot controls.
        surfaceEdited(s, EditEffect::reshaped);
    });
    setStatusLinef(s.panel, "new surface: section %d revolved into %d x %d points",
                   s.selection.currentSection, s.surface.countU, s.surface.countV);
    return true;
}

void copyCurrentSection(EditorState& state) {
    EditorState& s = state;
    const int from = s.selection.currentSection;
    const int to = s.selection.destPlane;
    runEdit(s, "copy section " + std::to_string(from) + " to " + std::to_string(to), [&] {
        std::string error;
        if (!copySection(s.surface, from, to, error)) {
            setStatusLinef(s.panel, "%s", error.c_str());
            return;
        }
        showPickedWeight(s.surface, s.selection);
        setStatusLinef(s.panel, "copy: section %d copied onto section %d", from, to);
        surfaceEdited(s, EditEffect::movedPoints);
    });
}

void fillSurfaceChanged(EditorState& state) {
    runEdit(state, "fill surf", [&] {
        PanelVariables& panel = state.panel;
        panel.surfaceDisplayMode = panel.fillSurface == 1 ? kDisplayModeFill : kDisplayModeOutline;
        setStatusLinef(panel, "fill surf %s: the surface is drawn %s",
                       panel.fillSurface == 1 ? "on" : "off",
                       panel.fillSurface == 1 ? "filled" : "as an outline");
        surfaceEdited(state, EditEffect::display);
    });
}
