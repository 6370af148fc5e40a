// What a surface must satisfy before it is exported, and the default mesh tolerance.
#include "exchange/export_checks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

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

double controlBoxDiagonal(const SurfaceModel& surface) {
    if (surface.controlNet.empty()) return 0.0;
    double low[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL};
    double high[3] = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    for (const PointH& P : surface.controlNet) {
        const double point[3] = {static_cast<double>(P.x) / P.w, static_cast<double>(P.y) / P.w,
                                 static_cast<double>(P.z) / P.w};
        for (int k = 0; k < 3; ++k) {
            low[k] = std::min(low[k], point[k]);
            high[k] = std::max(high[k], point[k]);
        }
    }
    return std::hypot(high[0] - low[0], high[1] - low[1], high[2] - low[2]);
}

double defaultTolerance(const SurfaceModel& surface) {
    return controlBoxDiagonal(surface) / 1000.0;
}
