// Surfaces built straight into the editor state for GUI tests, without going through a file.
#pragma once

#include <cmath>
#include <vector>

#include "model/derived_nets.h"
#include "model/editor_state.h"
#include "model/knots.h"

namespace testsupport {

// A Cartesian control point with its weight, stored the editor's way (x*w, y*w, z*w, w).
inline PointH weighted(float x, float y, float z, float w) {
    return {x * w, y * w, z * w, w};
}

// Replaces the editor's surface by net (countU points per section, section-major), with clamped
// uniform knots, multiplicity 1, skinning off and every derived net dropped.
inline void setSurface(int countU, int countV, int orderU, int orderV,
                       const std::vector<PointH>& net) {
    EditorState& s = editor;
    s.surface.countU = countU;
    s.surface.countV = countV;
    s.surface.orderU = orderU;
    s.surface.orderV = orderV;
    s.surface.knotCountU = countU + orderU;
    s.surface.knotCountV = countV + orderV;
    generateUniformKnots(editor.surface, 1);
    generateUniformKnots(editor.surface, 2);
    s.surface.controlNet = net;
    s.derived.multiplicity = 1;
    s.panel.skinningEnabled = 0;
    s.selection.currentSection = 0;
    s.selection.selectedPoint = 0;
    s.selection.pickedPointOffset = -1;
    syncDerivedNets(editor);
}

// count x count points, cubic both ways, clamped uniform knots: a lofted hull of wavy arcs.
inline void setHull(int count) {
    std::vector<PointH> net;
    for (int v = 0; v < count; ++v) {
        const float x = -0.8f + 1.6f * static_cast<float>(v) / static_cast<float>(count - 1);
        for (int u = 0; u < count; ++u) {
            const float t = 3.0f * static_cast<float>(u) / static_cast<float>(count - 1);
            const float r = 0.4f + 0.05f * std::sin(static_cast<float>(v));
            net.push_back(weighted(x, r * std::sin(t), r * std::cos(t), 1.0f));
        }
    }
    setSurface(count, count, 4, 4, net);
}

// No surface at all: the state a failed start-up load leaves.
inline void clearSurface() {
    EditorState& s = editor;
    s.surface.countU = s.surface.countV = s.surface.orderU = s.surface.orderV = -1;
    s.surface.knotCountU = s.surface.knotCountV = -2;
    s.surface.knotsU.clear();
    s.surface.knotsV.clear();
    s.surface.controlNet.clear();
    s.derived.multiplicity = -1;
    s.panel.skinningEnabled = 0;
    s.selection.pickedPointOffset = -1;
    syncDerivedNets(editor);
}

// Five points by three sections facing a camera on the +z axis: x from -1 to 1, sections at
// y = -0.6, 0, 0.6; the three inner points of the middle section stand 0.5 towards the viewer,
// so they lie in front of the surface they pull on. Orders 3 x 3, unit weights.
inline std::vector<PointH> bulgedNet() {
    std::vector<PointH> net;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 5; ++j) {
            const bool inner = i == 1 && j >= 1 && j <= 3;
            net.push_back(weighted(-1.0f + 0.5f * j, -0.6f + 0.6f * i, inner ? 0.5f : 0.0f, 1.0f));
        }
    }
    return net;
}

inline void setBulgedSurface() {
    setSurface(5, 3, 3, 3, bulgedNet());
}

}  // namespace testsupport
