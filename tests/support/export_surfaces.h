// Surfaces the export tests and benchmarks share: a rational one on uneven knots, one on
// unclamped knots with dead end points, surfaces of revolution, a skinned one, the sample vase
// and the vase capped by poles.
#pragma once

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "io/editor_file_io.h"
#include "io/surface_file.h"
#include "model/derived_nets.h"
#include "model/skinning.h"
#include "model/surface_commands.h"

namespace testsupport {

inline SurfaceModel makeSurface(int countU, int countV, int orderU, int orderV,
                                std::vector<float> knotsU, std::vector<float> knotsV,
                                std::vector<PointH> net) {
    SurfaceModel s;
    s.countU = countU;
    s.countV = countV;
    s.orderU = orderU;
    s.orderV = orderV;
    s.knotCountU = countU + orderU;
    s.knotCountV = countV + orderV;
    s.knotsU = std::move(knotsU);
    s.knotsV = std::move(knotsV);
    s.controlNet = std::move(net);
    return s;
}

// countU x countV points of a wavy sheet, weights between 0.5 and 2 (all 1 when unitWeights).
inline std::vector<PointH> wavyNet(int countU, int countV, bool unitWeights) {
    std::vector<PointH> net;
    for (int j = 0; j < countV; ++j) {
        for (int i = 0; i < countU; ++i) {
            const float x = 2.0f * i / (countU - 1) - 1.0f;
            const float y = 1.5f * j / (countV - 1) - 0.75f;
            const float z = 0.4f * std::sin(3.0f * x) * std::cos(2.0f * y) + 0.1f * x * y;
            const float w = unitWeights ? 1.0f : 1.25f + 0.75f * std::sin(1.7f * i + 2.3f * j);
            net.push_back({x * w, y * w, z * w, w});
        }
    }
    return net;
}

// 5 x 4 points, degrees 3 x 2, interior knots at 0.3 and 0.7: nothing uniform.
inline SurfaceModel rationalUnevenSurface() {
    return makeSurface(5, 4, 4, 3, {0, 0, 0, 0, 0.3f, 1, 1, 1, 1}, {0, 0, 0, 0.7f, 1, 1, 1},
                       wavyNet(5, 4, false));
}

// GLU-style knots: in u unclamped with a double interior knot, in v a first knot repeated past
// the order, so that the first section has no say anywhere on the parameter range.
inline SurfaceModel unclampedSurface() {
    return makeSurface(6, 5, 3, 3, {-0.2f, -0.1f, 0, 0.3f, 0.3f, 0.6f, 1, 1.1f, 1.3f},
                       {0.1f, 0.1f, 0.1f, 0.1f, 0.4f, 1, 1, 1}, wavyNet(6, 5, false));
}

// The full turn about the y axis of the profile (x, y) pairs, revolved by revolveSection.
inline SurfaceModel revolvedProfile(const std::vector<float>& xy) {
    const int count = static_cast<int>(xy.size() / 2);
    std::vector<PointH> net;
    for (int copy = 0; copy < 2; ++copy) {
        for (int k = 0; k < count; ++k) net.push_back({xy[2 * k], xy[2 * k + 1], 0.0f, 1.0f});
    }
    std::vector<float> U(static_cast<size_t>(count + 3));
    for (size_t k = 0; k < U.size(); ++k) {
        U[k] = k < 3 ? 0.0f : (k >= static_cast<size_t>(count) ? 1.0f : (k - 2.0f) / (count - 2));
    }
    const SurfaceModel profile = makeSurface(count, 2, 3, 2, U, {0, 0, 1, 1}, net);
    SurfaceModel out;
    std::string error;
    revolveSection(profile, 0, out, error);
    return out;
}

// A goblet: open at the top, its bottom point on the axis a pole.
inline SurfaceModel revolvedGoblet() {
    return revolvedProfile({0.0f, -1.0f, 0.7f, -0.9f, 0.2f, -0.2f, 0.3f, 0.5f, 0.8f, 1.0f});
}

// A closed egg: both ends of the profile on the axis, so both are poles.
inline SurfaceModel revolvedEgg() {
    return revolvedProfile({0.0f, -1.0f, 0.9f, -0.8f, 1.0f, 0.3f, 0.5f, 1.0f, 0.0f, 1.1f});
}

// Five points of degree 2 on U knots 0 0 0 .5 .5 .5 1 1: the parameter range [0, .5] ends on a
// knot repeated three times, so the span findKnotSpan gives at its end is empty.
inline SurfaceModel rangeEndingOnAFullKnot() {
    return makeSurface(5, 3, 3, 2, {0, 0, 0, 0.5f, 0.5f, 0.5f, 1, 1}, {0, 0, 0.5f, 1, 1},
                       wavyNet(5, 3, false));
}

// A flat ring between radii 1 and 2 in the plane x = 0, closed along its seam: every boundary
// vertex of its mesh has x = 0.
inline SurfaceModel ringInPlaneX0() {
    SurfaceModel ring = revolvedProfile({1.0f, 0.0f, 1.5f, 0.0f, 2.0f, 0.0f});
    for (PointH& P : ring.controlNet) std::swap(P.x, P.y);
    return ring;
}

// The surface a save writes while skinning is on: 6 x 5 points through five sections.
inline SurfaceModel skinnedSurface() {
    SurfaceModel sections = makeSurface(6, 5, 4, 3, {0, 0, 0, 0, 0.5f, 0.5f, 1, 1, 1, 1},
                                        {0, 0, 0, 0.5f, 0.5f, 1, 1, 1}, wavyNet(6, 5, true));
    DerivedNets derived;
    std::string refusal;
    skinSurface(sections, derived, refusal);
    SurfaceModel skinned;
    return surfaceToSave(sections, true, derived, skinned);
}

inline SurfaceModel exampleSurface(const char* name) {
    SurfaceModel surface;
    std::string error;
    readSurfaceFile((std::string(LOFTWORK_SOURCE_DIR) + "/examples/" + name).c_str(), surface,
                    error);
    return surface;
}

// The vase with its first and last sections drawn together to the mean of their points.
inline SurfaceModel cappedVase() {
    SurfaceModel vase = exampleSurface("vase.surf");
    for (int section : {0, vase.countV - 1}) {
        PointH* P = sectionPoints(vase, section);
        float x = 0.0f, y = 0.0f, z = 0.0f;
        for (int k = 0; k < vase.countU; ++k) {
            x += P[k].x / P[k].w / vase.countU;
            y += P[k].y / P[k].w / vase.countU;
            z += P[k].z / P[k].w / vase.countU;
        }
        for (int k = 0; k < vase.countU; ++k) P[k] = {x * P[k].w, y * P[k].w, z * P[k].w, P[k].w};
    }
    return vase;
}

}  // namespace testsupport
