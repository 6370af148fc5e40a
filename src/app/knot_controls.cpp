// The controls that follow the model's sizes, and "degree S", "degree T" and "create new surf".
#include "app/knot_controls.h"

#include <algorithm>
#include <cstdint>

#include "model/derived_nets.h"
#include "model/editor_state.h"
#include "model/gui_hooks.h"
#include "model/knots.h"
#include "model/surface_commands.h"
#include "model/surface_edit.h"
#include "model/surface_limits.h"

void rebuildKnotControls() {
    EditorState& s = editor;
    ++s.panel.knotControlRebuilds;
    s.panel.closeKnotRollouts = true;
    // The limits of "multipl." (1 .. orderV - 1) and "dest. plane" (0 .. countV - 1) follow the
    // new sizes; values left outside are brought back in, as the spinners would.
    if (s.surface.orderV >= 2) {
        const int32_t multiplicity = std::clamp(s.derived.multiplicity, 1, s.surface.orderV - 1);
        if (multiplicity != s.derived.multiplicity) {
            s.derived.multiplicity = multiplicity;
            releaseExpandedNet(
                s.derived);  // built for the old multiplicity; the main view rebuilds it
        }
    }
    s.selection.destPlane =
        s.surface.countV >= 1 ? std::clamp(s.selection.destPlane, 0, s.surface.countV - 1) : 0;
    s.panel.degreeT = s.surface.orderV - 1;
    s.panel.degreeS = s.surface.orderU - 1;
    guiRefreshPanel();
}

namespace {

// A new degree in one direction (1 = U, "degree S"; 2 = V, "degree T"): order = degree + 1,
// fresh clamped uniform knots. The degree is kept between 1 and points - 1, so the order never
// exceeds the points in that direction; a value outside is brought back and the status says so.
void changeDegree(int direction) {
    EditorState& s = editor;
    const bool inU = direction == 1;
    const char* name = inU ? "degree S" : "degree T";
    int32_t& degree = inU ? s.panel.degreeS : s.panel.degreeT;
    int32_t& order = inU ? s.surface.orderU : s.surface.orderV;
    int32_t& knotCount = inU ? s.surface.knotCountU : s.surface.knotCountV;
    const int32_t points = inU ? s.surface.countU : s.surface.countV;

    // A surface with more order than points is brought into range here.
    if (!surfaceArraysMatch(s.surface)) {
        setStatus("%s: no surface loaded", name);
        degree = order - 1;
        return;
    }
    // The renderer draws orders up to kMostDrawnOrder, however many points there are.
    const int32_t highest = std::min(points - 1, kMostDrawnOrder - 1);
    if (highest < 1) {
        setStatus("%s stays %d: %d point in that direction allows no other degree", name, order - 1,
                  points);
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
            surfaceEdited(s, EditEffect::reshaped, Redraw::later);
        });
    }
    // Said after the edit, whose own account of the new degrees it replaces.
    if (degree != asked) {
        setStatus("%s %d is out of range with %d points (1 to %d): set to %d", name, asked, points,
                  highest, degree);
    }
}

}  // namespace

void degreeSCallback(int /*id*/) {
    changeDegree(1);
}

void degreeTCallback(int /*id*/) {
    changeDegree(2);
}

void createSurfaceCallback(int /*id*/) {
    if (editor.panel.surfType == 0) createRevolvedSurface();
}
