// The rules every editor state must keep between two user actions: sizes that follow the counts
// and orders, selection indices inside the arrays, and only finite numbers in nets and knots.
#pragma once

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "model/editor_state.h"

namespace testsupport {

namespace detail {

inline void broken(std::string& out, const char* format, long long a, long long b) {
    char line[160];
    snprintf(line, sizeof line, format, a, b);
    if (!out.empty()) out += "; ";
    out += line;
}

inline long long size(const std::vector<PointH>& net) {
    return static_cast<long long>(net.size());
}
inline long long size(const std::vector<float>& knots) {
    return static_cast<long long>(knots.size());
}

inline long long firstNonFinite(const float* values, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        if (!std::isfinite(values[i])) return static_cast<long long>(i);
    }
    return -1;
}

inline void checkFinite(std::string& out, const char* name, const float* values, size_t count) {
    const long long at = firstNonFinite(values, count);
    if (at >= 0) {
        broken(out, (std::string(name) + " value %lld of %lld is not finite").c_str(), at,
               static_cast<long long>(count));
    }
}

inline void checkIndex(std::string& out, const char* name, long long index, long long count) {
    const bool ok = count >= 1 ? index >= 0 && index < count : index == 0;
    if (!ok) broken(out, (std::string(name) + " %lld outside %lld").c_str(), index, count);
}

}  // namespace detail

// An empty string when s keeps every rule; otherwise what is broken, in one line. Either no
// surface is loaded (no arrays) or the arrays follow the counts and orders; derived nets are
// either absent or of the sizes they must have.
inline std::string stateInvariantViolations(const EditorState& s) {
    using detail::broken;
    using detail::size;
    std::string out;
    const bool noSurface = s.surface.countU < 0 && s.surface.countV < 0 &&
                           s.surface.knotsU.empty() && s.surface.knotsV.empty() &&
                           s.surface.controlNet.empty();
    if (!noSurface) {
        if (s.surface.countU < 1 || s.surface.countV < 1)
            broken(out, "counts %lld x %lld", s.surface.countU, s.surface.countV);
        if (s.surface.orderU < 1 || s.surface.orderV < 1)
            broken(out, "orders %lld x %lld", s.surface.orderU, s.surface.orderV);
        if (s.surface.knotCountU != s.surface.countU + s.surface.orderU) {
            broken(out, "knotCountU %lld, countU + orderU %lld", s.surface.knotCountU,
                   s.surface.countU + s.surface.orderU);
        }
        if (s.surface.knotCountV != s.surface.countV + s.surface.orderV) {
            broken(out, "knotCountV %lld, countV + orderV %lld", s.surface.knotCountV,
                   s.surface.countV + s.surface.orderV);
        }
        if (size(s.surface.knotsU) != s.surface.knotCountU) {
            broken(out, "knotsU holds %lld, knotCountU %lld", size(s.surface.knotsU),
                   s.surface.knotCountU);
        }
        if (size(s.surface.knotsV) != s.surface.knotCountV) {
            broken(out, "knotsV holds %lld, knotCountV %lld", size(s.surface.knotsV),
                   s.surface.knotCountV);
        }
        if (size(s.surface.controlNet) !=
            static_cast<long long>(s.surface.countU) * s.surface.countV) {
            broken(out, "controlNet holds %lld, counts give %lld", size(s.surface.controlNet),
                   static_cast<long long>(s.surface.countU) * s.surface.countV);
        }
    }
    const long long points = static_cast<long long>(s.surface.countU) * s.surface.countV;
    if (!s.derived.skinnedNet.empty() || !s.derived.skinnedKnotsV.empty()) {
        if (size(s.derived.skinnedNet) != points ||
            size(s.derived.skinnedKnotsV) != s.surface.knotCountV) {
            broken(out, "skinned net of %lld points with %lld V knots", size(s.derived.skinnedNet),
                   size(s.derived.skinnedKnotsV));
        }
    }
    if (!s.derived.expandedNet.empty() || !s.derived.expandedKnotsV.empty()) {
        const long long copies = static_cast<long long>(s.derived.multiplicity) * s.surface.countV;
        if (s.derived.multiplicity < 1 ||
            size(s.derived.expandedNet) != copies * s.surface.countU ||
            s.derived.expandedPointCount != size(s.derived.expandedNet)) {
            broken(out, "expanded net of %lld points for multiplicity %lld",
                   size(s.derived.expandedNet), s.derived.multiplicity);
        }
        if (size(s.derived.expandedKnotsV) != copies + s.surface.orderV ||
            s.derived.expandedKnotCountV != size(s.derived.expandedKnotsV)) {
            broken(out, "expanded net with %lld V knots, count %lld",
                   size(s.derived.expandedKnotsV), s.derived.expandedKnotCountV);
        }
    }
    detail::checkIndex(out, "currentSection", s.selection.currentSection, s.surface.countV);
    detail::checkIndex(out, "destPlane", s.selection.destPlane, s.surface.countV);
    detail::checkIndex(out, "selectedPoint", s.selection.selectedPoint, s.surface.countU);
    if (s.selection.pickedPointOffset != -1 &&
        (s.selection.pickedPointOffset < 0 || s.selection.pickedPointOffset % 4 != 0 ||
         s.selection.pickedPointOffset >= 4 * size(s.surface.controlNet))) {
        broken(out, "pickedPointOffset %lld with %lld points", s.selection.pickedPointOffset,
               size(s.surface.controlNet));
    }
    auto netFloats = [](const std::vector<PointH>& net) {
        return net.empty() ? nullptr : &net[0].x;
    };
    detail::checkFinite(out, "controlNet", netFloats(s.surface.controlNet),
                        s.surface.controlNet.size() * 4);
    detail::checkFinite(out, "skinnedNet", netFloats(s.derived.skinnedNet),
                        s.derived.skinnedNet.size() * 4);
    detail::checkFinite(out, "expandedNet", netFloats(s.derived.expandedNet),
                        s.derived.expandedNet.size() * 4);
    detail::checkFinite(out, "knotsU", s.surface.knotsU.data(), s.surface.knotsU.size());
    detail::checkFinite(out, "knotsV", s.surface.knotsV.data(), s.surface.knotsV.size());
    detail::checkFinite(out, "skinnedKnotsV", s.derived.skinnedKnotsV.data(),
                        s.derived.skinnedKnotsV.size());
    detail::checkFinite(out, "expandedKnotsV", s.derived.expandedKnotsV.data(),
                        s.derived.expandedKnotsV.size());
    return out;
}

}  // namespace testsupport
