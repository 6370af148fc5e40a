// Cutting a NURBS surface at knots into windows onto its points and knots.
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

// The window of `whole` over [t[from], t[to]] in one direction: `from` is the last index of its
// knot value (order-1 for the start of the range), `to` the first index of its knot value (the
// number of points for the end of the range).
SurfaceDescription window(const SurfaceDescription& whole, bool acrossT, GLint from, GLint to) {
    const GLint order = acrossT ? whole.orderT : whole.orderS;
    const GLint start = from - order + 1;
    const GLint points = to - start;
    SurfaceDescription part = whole;
    if (acrossT) {
        part.knotsT = whole.knotsT + start;
        part.knotCountT = points + order;
        part.points = whole.points + static_cast<std::ptrdiff_t>(start) * whole.strideT;
    } else {
        part.knotsS = whole.knotsS + start;
        part.knotCountS = points + order;
        part.points = whole.points + static_cast<std::ptrdiff_t>(start) * whole.strideS;
    }
    return part;
}

}  // namespace

std::vector<SurfaceDescription> cutSurface(const SurfaceDescription& surface, int parts) {
    if (surface.points == nullptr || surface.strideS < 4 || surface.strideT < 4 || parts < 2)
        return {};
    bool validS = false, validT = false;
    const std::vector<GLint> inS =
        interiorBreakpoints(surface.knotsS, surface.knotCountS, surface.orderS, validS);
    const std::vector<GLint> inT =
        interiorBreakpoints(surface.knotsT, surface.knotCountT, surface.orderT, validT);
    if (!validS || !validT) return {};
    const long patches = static_cast<long>(inS.size() + 1) * static_cast<long>(inT.size() + 1);
    if (patches < kPatchesWorthCutting) return {};
    const bool acrossT = inT.size() >= inS.size();
    const std::vector<GLint>& breakpoints = acrossT ? inT : inS;
    if (breakpoints.empty()) return {};
    const GLint order = acrossT ? surface.orderT : surface.orderS;
    const GLint knotCount = acrossT ? surface.knotCountT : surface.knotCountS;
    const GLfloat* knots = acrossT ? surface.knotsT : surface.knotsS;
    // Breakpoint j ends span j of the spans 0 .. size; each cut ends about as many spans.
    const size_t spans = breakpoints.size() + 1;
    std::vector<SurfaceDescription> result;
    GLint from = order - 1;
    size_t previous = 0;  // 1 + the last breakpoint used
    for (int k = 1; k < parts; ++k) {
        const size_t end = (static_cast<size_t>(k) * spans + static_cast<size_t>(parts) / 2) /
                           static_cast<size_t>(parts);
        if (end <= previous || end > breakpoints.size()) continue;
        const GLint at = breakpoints[end - 1];
        result.push_back(window(surface, acrossT, from, at));
        from = at;
        while (from + 1 < knotCount && knots[from + 1] == knots[at]) ++from;
        previous = end;
    }
    result.push_back(window(surface, acrossT, from, knotCount - order));
    if (result.size() < 2) return {};
    return result;
}
