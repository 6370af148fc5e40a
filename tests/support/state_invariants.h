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
    const bool noSurface = s.countU < 0 && s.countV < 0 && s.knotsU.empty() && s.knotsV.empty() &&
                           s.controlNet.empty();
    if (!noSurface) {
        if (s.countU < 1 || s.countV < 1) broken(out, "counts %lld x %lld", s.countU, s.countV);
        if (s.orderU < 1 || s.orderV < 1) broken(out, "orders %lld x %lld", s.orderU, s.orderV);
        if (s.knotCountU != s.countU + s.orderU) {
            broken(out, "knotCountU %lld, countU + orderU %lld", s.knotCountU, s.countU + s.orderU);
        }
        if (s.knotCountV != s.countV + s.orderV) {
            broken(out, "knotCountV %lld, countV + orderV %lld", s.knotCountV, s.countV + s.orderV);
        }
        if (size(s.knotsU) != s.knotCountU) {
            broken(out, "knotsU holds %lld, knotCountU %lld", size(s.knotsU), s.knotCountU);
        }
        if (size(s.knotsV) != s.knotCountV) {
            broken(out, "knotsV holds %lld, knotCountV %lld", size(s.knotsV), s.knotCountV);
        }
        if (size(s.controlNet) != static_cast<long long>(s.countU) * s.countV) {
            broken(out, "controlNet holds %lld, counts give %lld", size(s.controlNet),
                   static_cast<long long>(s.countU) * s.countV);
        }
    }
    const long long points = static_cast<long long>(s.countU) * s.countV;
    if (!s.skinnedNet.empty() || !s.skinnedKnotsV.empty()) {
        if (size(s.skinnedNet) != points || size(s.skinnedKnotsV) != s.knotCountV) {
            broken(out, "skinned net of %lld points with %lld V knots", size(s.skinnedNet),
                   size(s.skinnedKnotsV));
        }
    }
    if (!s.expandedNet.empty() || !s.expandedKnotsV.empty()) {
        const long long copies = static_cast<long long>(s.multiplicity) * s.countV;
        if (s.multiplicity < 1 || size(s.expandedNet) != copies * s.countU ||
            s.expandedPointCount != size(s.expandedNet)) {
            broken(out, "expanded net of %lld points for multiplicity %lld", size(s.expandedNet),
                   s.multiplicity);
        }
        if (size(s.expandedKnotsV) != copies + s.orderV ||
            s.expandedKnotCountV != size(s.expandedKnotsV)) {
            broken(out, "expanded net with %lld V knots, count %lld", size(s.expandedKnotsV),
                   s.expandedKnotCountV);
        }
    }
    detail::checkIndex(out, "currentSection", s.currentSection, s.countV);
    detail::checkIndex(out, "destPlane", s.destPlane, s.countV);
    detail::checkIndex(out, "selectedPoint", s.selectedPoint, s.countU);
    if (s.pickedPointOffset != -1 && (s.pickedPointOffset < 0 || s.pickedPointOffset % 4 != 0 ||
                                      s.pickedPointOffset >= 4 * size(s.controlNet))) {
        broken(out, "pickedPointOffset %lld with %lld points", s.pickedPointOffset,
               size(s.controlNet));
    }
    auto netFloats = [](const std::vector<PointH>& net) {
        return net.empty() ? nullptr : &net[0].x;
    };
    detail::checkFinite(out, "controlNet", netFloats(s.controlNet), s.controlNet.size() * 4);
    detail::checkFinite(out, "skinnedNet", netFloats(s.skinnedNet), s.skinnedNet.size() * 4);
    detail::checkFinite(out, "expandedNet", netFloats(s.expandedNet), s.expandedNet.size() * 4);
    detail::checkFinite(out, "knotsU", s.knotsU.data(), s.knotsU.size());
    detail::checkFinite(out, "knotsV", s.knotsV.data(), s.knotsV.size());
    detail::checkFinite(out, "skinnedKnotsV", s.skinnedKnotsV.data(), s.skinnedKnotsV.size());
    detail::checkFinite(out, "expandedKnotsV", s.expandedKnotsV.data(), s.expandedKnotsV.size());
    return out;
}

}  // namespace testsupport
