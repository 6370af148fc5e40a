// Telling what an edit left from the snapshots before and after it.
#include "model/edit_description.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "model/section_centroid.h"

namespace {

std::string format(const char* pattern, double a, double b = 0.0, double c = 0.0, double d = 0.0) {
    char line[160];
    snprintf(line, sizeof line, pattern, a, b, c, d);
    return line;
}

bool samePoint(const PointH& a, const PointH& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// The new value of the one changed knot of a direction ("now 0.62", the step's name says which
// knot), or "" when not exactly one changed; `changed` counts them.
std::string changedKnots(const std::vector<float>& before, const std::vector<float>& after,
                         int& changed) {
    changed = 0;
    size_t last = 0;
    for (size_t i = 0; i < after.size() && i < before.size(); ++i) {
        if (std::memcmp(&before[i], &after[i], sizeof(float)) != 0) {
            ++changed;
            last = i;
        }
    }
    if (changed != 1) return "";
    return format("now %.6g", static_cast<double>(after[last]));
}

// The points that differ between two nets of one size: how many, the first and the last.
// Blocks of points are compared whole first, since a drag of a large net changes a few.
struct ChangedPoints {
    size_t count = 0;
    size_t first = 0;
    size_t last = 0;
};

ChangedPoints changedPoints(const std::vector<PointH>& before, const std::vector<PointH>& after) {
    constexpr size_t kBlock = 64;
    ChangedPoints changed;
    const size_t count = std::min(before.size(), after.size());
    for (size_t start = 0; start < count; start += kBlock) {
        const size_t end = std::min(count, start + kBlock);
        if (std::memcmp(&before[start], &after[start], (end - start) * sizeof(PointH)) == 0)
            continue;
        for (size_t i = start; i < end; ++i) {
            if (samePoint(before[i], after[i])) continue;
            if (changed.count++ == 0) changed.first = i;
            changed.last = i;
        }
    }
    return changed;
}

std::string describePoints(const SurfaceModel& before, const SurfaceModel& after) {
    const ChangedPoints moved = changedPoints(before.controlNet, after.controlNet);
    if (moved.count == 0 || after.countU < 1) return "";
    const size_t countU = static_cast<size_t>(after.countU);
    if (moved.count == 1) {
        const PointH& p = after.controlNet[moved.first];
        return format("now at (%.4g, %.4g, %.4g)", p.x / p.w, p.y / p.w, p.z / p.w) +
               format(", weight %g", p.w);
    }
    const size_t section = moved.first / countU;
    if (moved.last / countU == section) {
        float centre[3];
        computeSectionCentroid(after, static_cast<int>(section), centre);
        return format("section centred at (%.4g, %.4g, %.4g)", centre[0], centre[1], centre[2]);
    }
    return std::to_string(moved.count) + " points moved";
}

}  // namespace

std::string describeEdit(const EditSnapshot& before, const EditorState& after) {
    const SurfaceModel& a = before.surface;
    const SurfaceModel& b = after.surface;
    if (a.orderU != b.orderU || a.orderV != b.orderV) {
        return format("degree %g in s and %g in t, with uniform knots", b.orderU - 1.0,
                      b.orderV - 1.0);
    }
    if (a.countU != b.countU || a.countV != b.countV || a.controlNet.size() != b.controlNet.size())
        return format("%g points in each of %g sections", b.countU, b.countV);
    if (a.knotsU.size() == b.knotsU.size() && a.knotsV.size() == b.knotsV.size()) {
        int changedU = 0, changedV = 0;
        const std::string inS = changedKnots(a.knotsU, b.knotsU, changedU);
        const std::string inT = changedKnots(a.knotsV, b.knotsV, changedV);
        if (changedU + changedV == 1) return inS + inT;
        if (changedU + changedV > 1)
            return format("%g knots in s and %g in t changed", changedU, changedV);
    }
    const std::string points = describePoints(a, b);
    if (!points.empty()) return points;
    if (before.derived.multiplicity != after.derived.multiplicity)
        return format("multiplicity %g", after.derived.multiplicity);
    if (std::memcmp(&before.panel.surfaceDisplayMode, &after.panel.surfaceDisplayMode,
                    sizeof(float)) != 0) {
        return after.panel.surfaceDisplayMode == kDisplayModeFill ? "surface filled"
                                                                  : "surface as an outline";
    }
    return "";
}
