// What a surface must satisfy before it is exported, and the default mesh tolerance.
#include "exchange/export_checks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "model/surface_limits.h"

namespace {

// The checks of one direction's knots; name is the panel's name of the direction (s or t).
bool checkKnots(const std::vector<float>& U, int count, int order, const char* name,
                std::string& error) {
    const int n = count - 1;
    const int p = order - 1;
    char text[256];
    if (p < 1) {
        snprintf(text, sizeof text,
                 "degree %s is 0: a surface of degree 0 falls apart into steps; choose degree 1 "
                 "or more",
                 name);
        error = text;
        return false;
    }
    if (p > kMostDrawnOrder - 1) {
        snprintf(text, sizeof text,
                 "degree %s is %d, above %d, the highest degree the editor takes", name, p,
                 kMostDrawnOrder - 1);
        error = text;
        return false;
    }
    for (size_t i = 1; i < U.size(); ++i) {
        if (U[i] < U[i - 1]) {
            snprintf(text, sizeof text, "the knots in %s decrease (knot %zu is %g, after %g)", name,
                     i, static_cast<double>(U[i]), static_cast<double>(U[i - 1]));
            error = text;
            return false;
        }
    }
    const float first = U[static_cast<size_t>(p)];
    const float last = U[static_cast<size_t>(n + 1)];
    if (!(first < last)) {
        snprintf(text, sizeof text,
                 "the knots in %s leave the surface no parameter range (%g to %g)", name,
                 static_cast<double>(first), static_cast<double>(last));
        error = text;
        return false;
    }
    // A knot inside the range repeated more than p times breaks the surface's continuity.
    for (int i = p + 1; i <= n;) {
        int j = i;
        while (j + 1 <= n && U[static_cast<size_t>(j + 1)] == U[static_cast<size_t>(i)]) ++j;
        const int multiplicity = j - i + 1;
        const float knot = U[static_cast<size_t>(i)];
        if (knot > first && knot < last && multiplicity > p) {
            snprintf(text, sizeof text,
                     "knot %g in %s is repeated %d times, more than the degree %d: the surface "
                     "tears apart there",
                     static_cast<double>(knot), name, multiplicity, p);
            error = text;
            return false;
        }
        i = j + 1;
    }
    return true;
}

}  // namespace

bool checkExportable(const SurfaceModel& surface, std::string& error) {
    if (surfaceArraysMatch(surface) && !surfaceIsUsable(surface)) {
        error = degreePastPoints(surface);
        return false;
    }
    if (!surfaceIsUsable(surface)) {
        error = "no usable surface is loaded (its counts, degrees and arrays do not agree)";
        return false;
    }
    if (!surfaceIsFinite(surface)) {
        error = "the surface holds a value that is not a finite number";
        return false;
    }
    for (size_t i = 0; i < surface.controlNet.size(); ++i) {
        const float w = surface.controlNet[i].w;
        if (w > 0.0f) continue;
        const size_t countU = static_cast<size_t>(surface.countU);
        char text[256];
        snprintf(text, sizeof text,
                 "control point %zu of section %zu has weight %g: weights must be above 0 "
                 "(skinning can make such weights; try another degree or fewer sections)",
                 i % countU, i / countU, static_cast<double>(w));
        error = text;
        return false;
    }
    return checkKnots(surface.knotsU, surface.countU, surface.orderU, "s", error) &&
           checkKnots(surface.knotsV, surface.countV, surface.orderV, "t", error);
}

bool checkTolerance(double tolerance, std::string& error) {
    if (std::isfinite(tolerance) && tolerance > 0.0) return true;
    char text[96];
    snprintf(text, sizeof text, "the tolerance must be a positive number, not %g", tolerance);
    error = text;
    return false;
}

double defaultTolerance(const SurfaceModel& surface) {
    return controlBoxDiagonal(surface) / 1000.0;
}

namespace {

size_t occurrences(const std::string& text, const char* word) {
    size_t count = 0;
    for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) {
        ++count;
    }
    return count;
}

}  // namespace

bool checkStepText(const std::string& text, size_t faces, std::string& error) {
    const char kEnd[] = "END-ISO-10303-21;";
    const size_t last = text.find_last_not_of(" \t\r\n");
    const size_t endLength = sizeof kEnd - 1;
    if (last == std::string::npos || last + 1 < endLength ||
        text.compare(last + 1 - endLength, endLength, kEnd) != 0) {
        char line[160];
        snprintf(line, sizeof line,
                 "the STEP text Open CASCADE wrote stops short (%zu bytes, no closing line)",
                 text.size());
        error = line;
        return false;
    }
    const size_t surfaces = occurrences(text, "B_SPLINE_SURFACE_WITH_KNOTS(");
    const size_t advancedFaces = occurrences(text, "ADVANCED_FACE(");
    if (surfaces != faces || advancedFaces != faces) {
        char line[200];
        snprintf(line, sizeof line,
                 "the STEP text Open CASCADE wrote holds %zu B-spline surfaces in %zu faces, not "
                 "%zu",
                 surfaces, advancedFaces, faces);
        error = line;
        return false;
    }
    return true;
}

bool checkMesh(const SurfaceMesh& mesh, double tolerance, bool defaultTolerance,
               std::string& error) {
    char line[320];
    if (mesh.triangleCount() == 0) {
        error =
            "the mesh has no triangles left: the surface collapses to a curve or a point, or "
            "is a speck against its control points (a weight near 0 throws one far off)";
        return false;
    }
    double low[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL};
    double high[3] = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    for (size_t k = 0; k < mesh.positions.size(); ++k) {
        const double value = mesh.positions[k];
        if (!std::isfinite(value)) {
            error = "the mesh has a vertex that is not a finite point";
            return false;
        }
        low[k % 3] = std::min(low[k % 3], value);
        high[k % 3] = std::max(high[k % 3], value);
    }
    const double size = std::hypot(high[0] - low[0], high[1] - low[1], high[2] - low[2]);
    double area = 0.0;
    for (size_t t = 0; t < mesh.triangleCount(); ++t) {
        const float* a = &mesh.positions[3 * mesh.triangles[3 * t]];
        const float* b = &mesh.positions[3 * mesh.triangles[3 * t + 1]];
        const float* c = &mesh.positions[3 * mesh.triangles[3 * t + 2]];
        double e[3], f[3];
        for (int k = 0; k < 3; ++k) {
            e[k] = static_cast<double>(b[k]) - a[k];
            f[k] = static_cast<double>(c[k]) - a[k];
        }
        area += 0.5 * std::hypot(e[1] * f[2] - e[2] * f[1], e[2] * f[0] - e[0] * f[2],
                                 e[0] * f[1] - e[1] * f[0]);
    }
    if (!(area > std::ldexp(size * size, -20))) {
        snprintf(line, sizeof line,
                 "the mesh's %zu triangles have next to no area for its size (%g across): the "
                 "surface collapses to a curve or a point, or a control point far off it (a weight "
                 "near 0) draws it out into a needle",
                 mesh.triangleCount(), size);
        error = line;
        return false;
    }
    if (defaultTolerance && tolerance > size) {
        snprintf(line, sizeof line,
                 "the default tolerance %g (1/1000 of the box around the control points) is "
                 "larger than the surface itself (%g across): a control point lies far off the "
                 "surface, as a weight near 0 puts it: mend that weight, or give the command "
                 "line's export a --tolerance",
                 tolerance, size);
        error = line;
        return false;
    }
    return true;
}
