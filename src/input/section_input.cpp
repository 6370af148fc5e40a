// Mouse, keyboard and popup-menu actions of the section window: select and drag points, add
// and delete points in every section at once, zoom, step through the points and pan.
#include "input/section_input.h"

#include <GL/freeglut.h>

#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <vector>

#include <string>

#include "input/app_requests.h"
#include "input/calibration_input.h"
#include "input/file_keys.h"
#include "input/history_keys.h"
#include "model/editor_state.h"
#include "model/finite_values.h"
#include "model/mirror_plane.h"
#include "model/picked_point.h"
#include "model/point_vector.h"
#include "model/section_camera.h"
#include "model/section_centroid.h"
#include "model/section_knots.h"
#include "model/section_points.h"
#include "model/surface_edit.h"
#include "view/help_overlay.h"
#include "view/redraw.h"
#include "view/unproject.h"

// Picks and segment searches start from this distance: a point 1000 or more away from the
// pointer is never found.
constexpr float kPickStart = 1000.0f;

// --- Helpers -----------------------------------------------------------------------------

// Model position of the window pixel (x, y) at the depth of the selected point, rounded to
// float. False, with *out untouched, when there is no usable section or the view's matrices
// cannot be inverted (for instance at zoom 0).
static bool pointerModelPosition(const SurfaceModel& surface, int section, int x, int y,
                                 Point3* out) {
    if (!hasSection(surface, section)) return false;
    double ux = 0.0;
    double uy = 0.0;
    double uz = 0.0;
    if (unprojectAtSelectedPoint(x, y, &ux, &uy, &uz) != GL_TRUE) return false;
    const Point3 u(static_cast<float>(ux), static_cast<float>(uy), static_cast<float>(uz));
    if (!finite(u)) return false;
    *out = u;
    return true;
}

// With "mirror" on, the selected point stays on the mirror plane while dragged when it lies on
// it: a hull's keel and stem stay on the centre plane.
static void keepOnMirrorPlane(const SurfaceModel& surface, const Selection& selection,
                              const PanelVariables& panel, Point3& u) {
    if (panel.mirrorEnabled == 0 || !hasSection(surface, selection.currentSection) ||
        selection.selectedPoint < 0 || selection.selectedPoint >= surface.countU) {
        return;
    }
    const PointH& p = sectionPoints(surface, selection.currentSection)[selection.selectedPoint];
    if (!liesOnMirrorPlane(p, panel.mirrorPlane)) return;
    float& c = panel.mirrorPlane.axis == 0 ? u.x : panel.mirrorPlane.axis == 1 ? u.y : u.z;
    c = panel.mirrorPlane.offset;
}

// The section view follows the section's centroid, which moves with a dragged point: the pan
// takes up that move, so the view stays still under the pointer.
static void holdSectionView(EditorState& s) {
    float now[3];
    computeSectionCentroid(s.surface, s.selection.currentSection, now);
    float* centroid = s.selection.sectionCentroid;
    float* offset = s.view.sectionRefOffset;
    float held[3];
    for (int k = 0; k < 3; ++k) held[k] = offset[k] + (centroid[k] - now[k]);
    if (!finite(held[0], held[1], held[2])) return;
    for (int k = 0; k < 3; ++k) {
        offset[k] = held[k];
        centroid[k] = now[k];
    }
}

static std::string pointMoveName(const Selection& selection) {
    return "move point " + std::to_string(selection.selectedPoint) + " of section " +
           std::to_string(selection.currentSection);
}

// --- Mouse -------------------------------------------------------------------------------

void sectionPassiveMotion(int x, int y) {
    editor.view.sectionMouseX = x;
    editor.view.sectionMouseY = y;
}

// A press selects the nearest point and starts one undoable step that lasts to the release; the
// press, every motion and the release move the selected point to the pointer.
void sectionMouse(int button, int state, int x, int y) {
    EditorState& s = editor;
    s.view.sectionMouseButton = button;
    if (button != GLUT_LEFT_BUTTON) return;
    // A release whose press went elsewhere (the left click that picks a popup menu's entry can
    // end here) moves no point: it would move the selected point outside any undo step.
    if (state == GLUT_UP && s.view.sectionLeftHeld == 0) return;
    s.view.sectionLeftHeld = state == GLUT_DOWN ? 1 : 0;
    // A press that marks the background image for its calibration moves no point.
    CalibrationGesture& calibration = s.view.calibration;
    if (state == GLUT_DOWN) calibration.pressTaken = sectionCalibrationClick(x, y);
    if (calibration.pressTaken) {
        if (state == GLUT_UP) calibration.pressTaken = false;
        return;
    }
    Selection& selection = s.selection;
    Point3 u;
    const bool placed = pointerModelPosition(s.surface, selection.currentSection, x, y, &u);
    if (placed && state == GLUT_DOWN) {
        const int nearest = nearestSectionPoint(s.surface, selection.currentSection, u, kPickStart);
        if (nearest >= 0 && nearest != selection.selectedPoint) {
            selection.selectedPoint = nearest;
            // The position above lies in the plane of the previously selected point; the newly
            // selected one is placed in its own plane.
            if (!pointerModelPosition(s.surface, selection.currentSection, x, y, &u)) return;
        }
        beginEdit(s, pointMoveName(selection));
    }
    if (placed) {
        keepOnMirrorPlane(s.surface, selection, s.panel, u);
        moveSectionPoint(s.surface, selection.currentSection, selection.selectedPoint, u);
        holdSectionView(s);
        surfaceEdited(s, EditEffect::movedPoints);
    }
    if (state == GLUT_UP) endEdit(s);
}

void sectionMotion(int x, int y) {
    EditorState& s = editor;
    if (s.view.sectionMouseButton != GLUT_LEFT_BUTTON || s.view.sectionLeftHeld == 0 ||
        s.view.calibration.pressTaken)
        return;
    Point3 u;
    if (!pointerModelPosition(s.surface, s.selection.currentSection, x, y, &u)) return;
    keepOnMirrorPlane(s.surface, s.selection, s.panel, u);
    moveSectionPoint(s.surface, s.selection.currentSection, s.selection.selectedPoint, u);
    holdSectionView(s);
    surfaceEdited(s, EditEffect::movedPoints);
}

// --- Keyboard ----------------------------------------------------------------------------

void sectionKeyboard(unsigned char key, int /*x*/, int /*y*/) {
    requestPanelKeyboardRelease();  // the keys come here: the panel shows no caret
    EditorState& s = editor;
    if (handleHistoryKey(key, glutGetModifiers()) || handleFileKey(key)) return;
    switch (key) {
        case '+':
            s.view.sectionZoom = static_cast<float>(static_cast<double>(s.view.sectionZoom) + 0.25);
            break;
        case '-':
            s.view.sectionZoom = static_cast<float>(static_cast<double>(s.view.sectionZoom) - 0.25);
            break;
        case 'k':  // the curvature comb on and off
            s.view.curvatureComb = s.view.curvatureComb != 0 ? 0 : 1;
            requestPanelRedraw();  // its check box
            break;
        case 'f':
            if (!frameSection(s.surface, s.selection.currentSection, s.selection.sectionCentroid,
                              s.view)) {
                setStatusLinef(editor.panel, "f: no section points to frame");
            }
            break;
        case 'r':
            resetSectionView(s.view);
            break;
        case 'h':
            toggleHelp(HelpWindow::section);
            break;
        case 'n':
            s.selection.selectedPoint = s.selection.selectedPoint < s.surface.countU - 1
                                            ? s.selection.selectedPoint + 1
                                            : 0;
            requestPanelRedraw();  // the selected point's fields
            break;
        case 'q':
        case 'Q':
            requestQuit();
            break;
        default:
            break;
    }
    requestViewsRedraw();
}

void sectionSpecial(int key, int /*x*/, int /*y*/) {
    requestPanelKeyboardRelease();  // the keys come here: the panel shows no caret
    EditorState& s = editor;
    // One tenth of a unit to the screen's right: (0, 0, 0.1) with the camera on the -x side.
    const float* centroid = s.selection.sectionCentroid;
    const Vector3 look = sectionCameraEye(centroid, s.view) - sectionCameraRef(centroid, s.view);
    const Vector3 step = normalized(cross(Vector3(0.0f, 1.0f, 0.0f), look)) * 0.1f;
    float offset[3] = {s.view.sectionRefOffset[0], s.view.sectionRefOffset[1],
                       s.view.sectionRefOffset[2]};
    switch (key) {
        case GLUT_KEY_LEFT:
            offset[0] -= step.x;
            offset[1] -= step.y;
            offset[2] -= step.z;
            break;
        case GLUT_KEY_RIGHT:
            offset[0] += step.x;
            offset[1] += step.y;
            offset[2] += step.z;
            break;
        case GLUT_KEY_UP:
            offset[1] += 0.1f;
            break;
        case GLUT_KEY_DOWN:
            offset[1] -= 0.1f;
            break;
        case GLUT_KEY_F1:
            toggleHelp(HelpWindow::section);
            break;
        default:
            break;
    }
    // A section whose centroid overflows (points near the float range) gives the camera no
    // direction; the pan then stays as it was instead of turning into NaN for good.
    if (finite(offset[0], offset[1], offset[2])) {
        for (int i = 0; i < 3; ++i) s.view.sectionRefOffset[i] = offset[i];
    }
    requestViewsRedraw();
}

// --- Popup menu --------------------------------------------------------------------------

// The new point goes between points found - 1 and found of every section: at the pointer in
// the current section; the others get a knot inserted there, which keeps their shapes
// (insertPointByKnot), or, where no knot fits, a point between the same neighbours with the
// knots made uniform again (pointsToInsert).
void addSectionPoint() {
    EditorState& s = editor;
    Point3 u;
    if (!pointerModelPosition(s.surface, s.selection.currentSection, s.view.sectionMouseX,
                              s.view.sectionMouseY, &u)) {
        setStatusLinef(editor.panel, "Add: no section point can be placed here");
        return;
    }
    const int found = nearestPolygonSegment(s.surface, s.selection.currentSection, u, kPickStart);
    if (found < 0) {
        setStatusLinef(editor.panel, "Add: no segment of the section near the pointer");
        return;
    }
    const int oldCount = s.surface.countU;
    runEdit(s, "add point " + std::to_string(found), [&] {
        const bool kept = insertPointByKnot(s.surface, found, s.selection.currentSection, u);
        if (!kept) {
            insertSectionPoint(s.surface, found,
                               pointsToInsert(s.surface, found, s.selection.currentSection, u));
        }
        carryPickOverInsert(s.selection, oldCount, found);
        setStatusLinef(editor.panel, "Add: point %d inserted in every section (%d points each)%s",
                       found, s.surface.countU,
                       kept ? "" : "; knots in s made uniform again, the other sections moved");
        surfaceEdited(s, EditEffect::reshaped);
    });
}

void deleteSectionPoint() {
    EditorState& s = editor;
    if (!hasSection(s.surface, s.selection.currentSection)) {
        setStatusLinef(editor.panel, "Delete: no surface to delete a point from");
        return;
    }
    std::string error;
    // The curve of a section needs at least as many points as its order.
    if (s.surface.countU - 1 < s.surface.orderU) {
        setStatusLinef(editor.panel, "Delete: a section of degree %d needs at least %d points",
                       s.surface.orderU - 1, s.surface.orderU);
        return;
    }
    Point3 u;
    if (!pointerModelPosition(s.surface, s.selection.currentSection, s.view.sectionMouseX,
                              s.view.sectionMouseY, &u)) {
        setStatusLinef(editor.panel, "Delete: no section point can be found here");
        return;
    }
    const int found = nearestSectionPoint(s.surface, s.selection.currentSection, u, kPickStart);
    if (found < 0) {
        setStatusLinef(editor.panel, "Delete: no point of the section near the pointer");
        return;
    }
    const int oldCount = s.surface.countU;
    runEdit(s, "delete point " + std::to_string(found), [&] {
        if (!removeSectionPoint(s.surface, found, error)) {
            setStatusLinef(editor.panel, "Delete: %s", error.c_str());
            return;
        }
        carryPickOverRemoval(s.selection, oldCount, found);
        setStatusLinef(editor.panel, "Delete: point %d removed from every section (%d points each)",
                       found, s.surface.countU);
        surfaceEdited(s, EditEffect::reshaped);
    });
}
