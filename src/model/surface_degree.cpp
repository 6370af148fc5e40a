// A new degree in one direction of the surface.
#include "model/surface_degree.h"

#include <algorithm>
#include <cstdint>

#include "model/knots.h"
#include "model/surface_edit.h"
#include "model/surface_limits.h"

void changeDegree(EditorState& state, int direction) {
    EditorState& s = state;
    const bool inU = direction == 1;
    const char* name = inU ? "degree S" : "degree T";
    int32_t& degree = inU ? s.panel.degreeS : s.panel.degreeT;
    int32_t& order = inU ? s.surface.orderU : s.surface.orderV;
    int32_t& knotCount = inU ? s.surface.knotCountU : s.surface.knotCountV;
    const int32_t points = inU ? s.surface.countU : s.surface.countV;

    // A surface with more order than points is brought into range here.
    if (!surfaceArraysMatch(s.surface)) {
        setStatusLinef(s.panel, "%s: no surface loaded", name);
        degree = order - 1;
        return;
    }
    // The renderer draws orders up to kMostDrawnOrder, however many points there are.
    const int32_t highest = std::min(points - 1, kMostDrawnOrder - 1);
    if (highest < 1) {
        setStatusLinef(s.panel, "%s stays %d: %d point in that direction allows no other degree",
                       name, order - 1, points);
        degree = order - 1;
        return;
    }
    const int32_t asked = degree;
    degree = std::clamp(degree, 1, highest);
    if (degree + 1 != order) {
        runEdit(s, name, [&] {
            order = degree + 1;
            knotCount = points + order;
            generateUniformKnots(s.surface, direction);
            surfaceEdited(s, EditEffect::reshaped);
        });
    }
    // Said after the edit, whose own account of the new degrees it replaces.
    if (degree != asked) {
        setStatusLinef(s.panel, "%s %d is out of range with %d points (1 to %d): set to %d", name,
                       asked, points, highest, degree);
    }
}
