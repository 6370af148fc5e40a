// Consistency of the derived nets and of the selection with the surface's sizes.
#include "model/derived_nets.h"

#include <algorithm>
#include <cstdio>

#include "model/picked_point.h"
#include "model/section_centroid.h"
#include "model/skinning.h"
#include "model/surface_limits.h"

void clampSelection(const SurfaceModel& surface, Selection& selection) {
    auto clampIndex = [](int32_t& index, int32_t count) {
        if (count < 1 || index < 0) {
            index = 0;
        } else if (index >= count) {
            index = count - 1;
        }
    };
    clampIndex(selection.currentSection, surface.countV);
    clampIndex(selection.destPlane, surface.countV);
    clampIndex(selection.selectedPoint, surface.countU);
    const long long floats = 4LL * static_cast<long long>(surface.controlNet.size());
    const int32_t picked = selection.pickedPointOffset;
    if (picked < 0 || picked % 4 != 0 || picked >= floats) clearPick(selection);
}

int skinnedCountV(const SurfaceModel& s, const DerivedNets& d) {
    if (s.orderV < 1 || d.skinnedKnotsV.size() <= static_cast<size_t>(s.orderV)) return 0;
    return static_cast<int>(d.skinnedKnotsV.size()) - s.orderV;
}

bool skinnedNetUsable(const SurfaceModel& s, bool skinning, const DerivedNets& d) {
    if (!skinning || s.countU <= 0 || s.countV <= 0 || s.knotCountV <= 0) return false;
    const int rows = skinnedCountV(s, d);
    // End conditions add up to two rows at either end of an open loft.
    const bool open = rows >= s.countV && rows <= s.countV + 4 && s.knotCountV == s.countV + s.orderV;
    const bool closed = rows == s.countV + s.orderV - 1;
    return (open || closed) && d.skinnedNet.size() == static_cast<size_t>(s.countU) * rows;
}

bool expandedNetMatchesCounts(const SurfaceModel& surface, const DerivedNets& derived) {
    if (derived.multiplicity < 1 || surface.countU < 1 || surface.countV < 1 || surface.orderV < 1)
        return false;
    const size_t rows =
        static_cast<size_t>(derived.multiplicity) * static_cast<size_t>(surface.countV);
    return derived.expandedNet.size() == rows * static_cast<size_t>(surface.countU) &&
           derived.expandedKnotsV.size() == rows + static_cast<size_t>(surface.orderV) &&
           derived.expandedKnotCountV == static_cast<int32_t>(derived.expandedKnotsV.size());
}

void releaseExpandedNet(DerivedNets& derived) {
    std::vector<PointH>().swap(derived.expandedNet);
    std::vector<float>().swap(derived.expandedKnotsV);
}

void markExpandedNetStale(DerivedNets& derived) {
    derived.expandedNet.clear();
    derived.expandedKnotsV.clear();
}

bool buildExpandedNet(const SurfaceModel& s, DerivedNets& d, std::string& refusal) {
    // Rebuilt in the storage of the last one: an edit or an undo of a large net rebuilds it each
    // time, and fresh memory of that size costs more than the copy. Storage far larger than the
    // new net needs goes back.
    markExpandedNetStale(d);
    const size_t needed = static_cast<size_t>(std::max(0, s.countU)) *
                          static_cast<size_t>(std::max(0, s.countV)) *
                          static_cast<size_t>(std::max(1, d.multiplicity));
    if (d.expandedNet.capacity() > 4 * needed + 4096) releaseExpandedNet(d);
    if (!surfaceIsUsable(s) || d.multiplicity < 1) return true;
    // In 64 bits: a multiplicity near its top on a net of many sections passes the int range.
    const long long rows = static_cast<long long>(d.multiplicity) * s.countV;
    const long long points = rows * s.countU;
    if (points > kMostNetPoints) {
        char line[200];
        snprintf(line, sizeof line,
                 "multiplicity %d gives %lld points, more than the %lld the editor can draw",
                 d.multiplicity, points, kMostNetPoints);
        refusal = line;
        return false;
    }
    const int n = static_cast<int>(rows) + s.orderV;
    d.expandedKnotCountV = n;
    d.expandedPointCount = static_cast<int32_t>(points);
    d.expandedKnotsV.resize(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        float knot;
        if (i < s.orderV) {
            knot = 0.0f;
        } else if (i >= n - s.orderV) {
            knot = 1.0f;
        } else {
            knot = static_cast<float>(i - s.orderV + 1) / static_cast<float>(n - 2 * s.orderV + 1);
        }
        d.expandedKnotsV[static_cast<size_t>(i)] = knot;
    }
    d.expandedNet.reserve(static_cast<size_t>(points));
    if (d.multiplicity == 1) {
        d.expandedNet.assign(s.controlNet.begin(), s.controlNet.begin() + points);
        return true;
    }
    for (int i = 0; i < s.countV; ++i) {
        const PointH* section = sectionPoints(s, i);
        for (int j = 0; j < d.multiplicity; ++j)
            d.expandedNet.insert(d.expandedNet.end(), section, section + s.countU);
    }
    return true;
}

bool fitExpandedNet(const SurfaceModel& surface, DerivedNets& derived, std::string& message) {
    std::string refusal;
    if (buildExpandedNet(surface, derived, refusal)) return true;
    // The largest multiplicity that fits takes its place, so the next frame draws it.
    const long long perCopy =
        std::max(1LL, static_cast<long long>(surface.countU) * surface.countV);
    derived.multiplicity = static_cast<int32_t>(std::max(1LL, kMostNetPoints / perCopy));
    message = "multipl. " + std::to_string(derived.multiplicity) + ": " + refusal;
    buildExpandedNet(surface, derived, refusal);
    return false;
}

bool syncDerivedNets(const SurfaceModel& surface, bool skinning, DerivedNets& derived,
                     Selection& selection, std::string& refusal, const LoftOptions& options) {
    clampSelection(surface, selection);
    markExpandedNetStale(derived);
    // A skinned net kept from before the change belongs to other sizes or to another net: it is
    // rebuilt, or dropped when skinning is off or refuses the new net.
    bool refused = false;
    if (skinning && surfaceIsUsable(surface))
        refused = !skinSurface(surface, options, derived, refusal);
    if (!skinning || refused || !skinnedNetUsable(surface, skinning, derived)) {
        std::vector<PointH>().swap(derived.skinnedNet);
        std::vector<float>().swap(derived.skinnedKnotsV);
    }
    return !refused;
}

void syncDerivedNets(EditorState& state) {
    std::string refusal;
    const bool skinning = state.panel.skinningEnabled != 0;
    if (!syncDerivedNets(state.surface, skinning, state.derived, state.selection, refusal,
                         loftOptionsOf(state.panel))) {
        reportSkinningRefusal(state.panel, refusal);
    } else if (skinning) {
        clearSkinningRefusal(state.panel);
    }
}

void followSurfaceShape(EditorState& state) {
    EditorState& s = state;
    // The limits of "multipl." (1 .. orderV - 1) and "dest. plane" (0 .. countV - 1) follow the
    // new sizes; values left outside are brought back in, as the spinners would.
    if (s.surface.orderV >= 2) {
        const int32_t multiplicity = std::clamp(s.derived.multiplicity, 1, s.surface.orderV - 1);
        if (multiplicity != s.derived.multiplicity) {
            s.derived.multiplicity = multiplicity;
            releaseExpandedNet(s.derived);  // built for the old multiplicity
        }
    }
    s.selection.destPlane =
        s.surface.countV >= 1 ? std::clamp(s.selection.destPlane, 0, s.surface.countV - 1) : 0;
    s.panel.degreeT = s.surface.orderV - 1;
    s.panel.degreeS = s.surface.orderU - 1;
}

void refreshShownValues(EditorState& state) {
    const SurfaceModel& surface = state.surface;
    DerivedNets& derived = state.derived;
    computeSectionCentroid(surface, state.selection.currentSection,
                           state.selection.sectionCentroid);
    if (surfaceIsUsable(surface) && derived.multiplicity >= 1 &&
        !expandedNetMatchesCounts(surface, derived)) {
        if (std::string message; !fitExpandedNet(surface, derived, message)) {
            setStatusLinef(state.panel, "%s", message.c_str());
        }
    }
}
