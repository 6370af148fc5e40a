// Cutting a NURBS surface at a knot into two windows onto its points and knots.
//
// A B-spline of order k over the knots t[0..n+k-1] (n points) is defined on [t[k-1], t[n]]. On
// [t[a], t[b]] it needs only the points a-k+1 .. b-1 and the knots t[a-k+1] .. t[b+k-1]: that
// window, handed to GLU as a surface of its own, is the same surface over that range.
#include "view/surface_parts.h"

#include <cmath>
#include <cstddef>
#include <vector>

namespace {

// GLU's highest order.
constexpr GLint kGluMaxOrder = 24;

// The interior breakpoints of one direction: the indices i, order-1 < i < points, where a new
// knot value starts. Sets valid only for a knot vector GLU takes as it stands.
std::vector<GLint> interiorBreakpoints(const GLfloat* knots, GLint knotCount, GLint order,
                                       bool& valid) {
    valid = false;
    const GLint points = knotCount - order;
    if (knots == nullptr || order < 2 || order > kGluMaxOrder || points < order) return {};
    std::vector<GLint> breakpoints;
    GLint run = 1;  // copies of the current knot value so far
    for (GLint i = 0; i < knotCount; ++i) {
        if (!std::isfinite(knots[i])) return {};
        if (i == 0) continue;
        if (knots[i] < knots[i - 1]) return {};
        run = knots[i] == knots[i - 1] ? run + 1 : 1;
        if (run > order) return {};
        if (run == 1 && i > order - 1 && i < points) breakpoints.push_back(i);
    }
    if (!(knots[points] > knots[order - 1])) return {};
    valid = true;
    return breakpoints;
}

// The parts of `whole` cut at the breakpoint `at` (the first index of its knot value) in one
// direction: the first part's range ends at t[at], the second's starts there.
void cutAt(const SurfaceDescription& whole, bool acrossT, GLint at, SurfaceDescription& first,
           SurfaceDescription& second) {
    const GLint order = acrossT ? whole.orderT : whole.orderS;
    const GLint knotCount = acrossT ? whole.knotCountT : whole.knotCountS;
    const GLfloat* knots = acrossT ? whole.knotsT : whole.knotsS;
    const GLint stride = acrossT ? whole.strideT : whole.strideS;
    // The second part's range starts at the last copy of the cut's knot value.
    GLint last = at;
    while (last + 1 < knotCount && knots[last + 1] == knots[at]) ++last;
    const GLint start = last - order + 1;
    first = whole;
    second = whole;
    second.points = whole.points + static_cast<std::ptrdiff_t>(start) * stride;
    if (acrossT) {
        first.knotCountT = at + order;
        second.knotsT = knots + start;
        second.knotCountT = knotCount - start;
    } else {
        first.knotCountS = at + order;
        second.knotsS = knots + start;
        second.knotCountS = knotCount - start;
    }
}

}  // namespace

bool cutSurfaceInTwo(const SurfaceDescription& surface, double firstShare,
                     SurfaceDescription& first, SurfaceDescription& second) {
    if (surface.points == nullptr || surface.strideS < 4 || surface.strideT < 4) return false;
    if (!(firstShare >= 0.0 && firstShare <= 1.0)) return false;
    bool validS = false, validT = false;
    const std::vector<GLint> inS =
        interiorBreakpoints(surface.knotsS, surface.knotCountS, surface.orderS, validS);
    const std::vector<GLint> inT =
        interiorBreakpoints(surface.knotsT, surface.knotCountT, surface.orderT, validT);
    if (!validS || !validT) return false;
    const long patches = static_cast<long>(inS.size() + 1) * static_cast<long>(inT.size() + 1);
    if (patches < kPatchesWorthCutting) return false;
    const bool acrossT = inT.size() >= inS.size();
    const std::vector<GLint>& breakpoints = acrossT ? inT : inS;
    if (breakpoints.empty()) return false;
    // Breakpoint j ends span j of the spans 0 .. size.
    const double spans = static_cast<double>(breakpoints.size() + 1);
    size_t j = static_cast<size_t>(std::lround(firstShare * spans));
    j = j < 1 ? 0 : j - 1;
    if (j >= breakpoints.size()) j = breakpoints.size() - 1;
    cutAt(surface, acrossT, breakpoints[j], first, second);
    return true;
}
