// Mouse, keyboard and popup-menu actions of the section window: select and drag points, add
// and delete points in every section at once, zoom, step through the points and pan.
#include "input/section_input.h"

#include <GL/freeglut.h>

#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <vector>

#include "model/derived_nets.h"
#include "model/editor_state.h"
#include "model/gui_hooks.h"
#include "model/knots.h"
#include "model/point_vector.h"
#include "model/section_camera.h"
#include "model/skinning.h"
#include "view/main_view.h"
#include "view/section_view.h"
#include "view/unproject.h"

// Picks and segment searches start from this distance: a point 1000 or more away from the
// pointer is never found.
constexpr float kPickStart = 1000.0f;

// --- Helpers -----------------------------------------------------------------------------

// First point of the current section in controlNet, or -1 when there is no usable surface or
// no such section.
static std::ptrdiff_t currentSectionStart() {
    const EditorState& s = editor;
    if (!hasSection(s.surface, s.selection.currentSection)) return -1;
    return static_cast<std::ptrdiff_t>(s.selection.currentSection) * s.surface.countU;
}

static Point3 cartesian(const PointH& p) {
    return {p.x / p.w, p.y / p.w, p.z / p.w};
}

// Model position of the window pixel (x, y) at the depth of the selected point, rounded to
// float. False, with *out untouched, when there is no usable section or the view's matrices
// cannot be inverted (for instance at zoom 0).
static bool pointerModelPosition(int x, int y, Point3* out) {
    if (currentSectionStart() < 0) return false;
    double ux = 0.0;
    double uy = 0.0;
    double uz = 0.0;
    if (unprojectAtSelectedPoint(x, y, &ux, &uy, &uz) != GL_TRUE) return false;
    const Point3 u(static_cast<float>(ux), static_cast<float>(uy), static_cast<float>(uz));
    if (!std::isfinite(u.x) || !std::isfinite(u.y) || !std::isfinite(u.z)) return false;
    *out = u;
    return true;
}

// Moves the selected point of the current section to the Cartesian position u, keeping its
// weight. A point of weight 0 has no Cartesian position to set and is left alone, as is one
// whose weighted coordinates would overflow.
static void placeSelectedPoint(Point3 u) {
    EditorState& s = editor;
    const std::ptrdiff_t first = currentSectionStart();
    if (first < 0 || s.selection.selectedPoint < 0 || s.selection.selectedPoint >= s.surface.countU)
        return;
    PointH& p = s.surface.controlNet[static_cast<size_t>(first + s.selection.selectedPoint)];
    const float w = p.w;
    if (w == 0.0f || !std::isfinite(w)) return;
    const PointH moved = {u.x * w, u.y * w, u.z * w, w};
    if (!std::isfinite(moved.x) || !std::isfinite(moved.y) || !std::isfinite(moved.z)) return;
    p = moved;
}

// Index of the point of the current section nearest to u, strictly nearer than kPickStart;
// the lowest index wins ties. -1 when none qualifies.
static int nearestSectionPoint(Point3 u) {
    const EditorState& s = editor;
    const std::ptrdiff_t first = currentSectionStart();
    if (first < 0) return -1;
    float best = kPickStart;
    int found = -1;
    for (int i = 0; i < s.surface.countU; ++i) {
        const float d =
            u.distanceTo(cartesian(s.surface.controlNet[static_cast<size_t>(first + i)]));
        if (d < best) {
            best = d;
            found = i;
        }
    }
    return found;
}

// Index i of the segment (point i-1, point i) of the current section's open polygon whose
// distance sum to u is smallest and below kPickStart; the lowest i wins ties. -1 when none.
static int nearestPolygonSegment(Point3 u) {
    const EditorState& s = editor;
    const std::ptrdiff_t first = currentSectionStart();
    if (first < 0) return -1;
    float best = kPickStart;
    int found = -1;
    for (int i = 1; i < s.surface.countU; ++i) {
        const float d =
            u.distanceTo(cartesian(s.surface.controlNet[static_cast<size_t>(first + i)])) +
            u.distanceTo(cartesian(s.surface.controlNet[static_cast<size_t>(first + i - 1)]));
        if (d < best) {
            best = d;
            found = i;
        }
    }
    return found;
}

// Draws the section view now, then the main view (skinning again first when asked and skinning
// is on), and leaves the section window current. The main view redraws the section view at the
// end of its frame. Skinning runs here without skinningCallback's own redraw of the main view,
// so one event draws the main view once.
static void refreshViews(bool reskin) {
    const EditorState& s = editor;
    sectionDisplay();
    if (s.handles.mainWindow != 0) {
        glutSetWindow(s.handles.mainWindow);
        if (reskin && s.panel.skinningEnabled != 0) {
            computeSkinning();
            guiRefreshPanel();
        }
        mainDisplay();
    }
    if (s.handles.sectionWindow != 0) glutSetWindow(s.handles.sectionWindow);
}

// After the number of points per section changed: the U knots follow the new count, the
// selection and the derived nets are brought in line, and the panel shows the new knots.
static void finishPointCountChange() {
    generateUniformKnots(1);
    syncDerivedNets();
    guiRebuildKnotControls();
    guiRefreshPanel();
}

// --- Mouse -------------------------------------------------------------------------------

void sectionPassiveMotion(int x, int y) {
    editor.view.sectionMouseX = x;
    editor.view.sectionMouseY = y;
}

void sectionMouse(int button, int state, int x, int y) {
    EditorState& s = editor;
    s.view.sectionMouseButton = button;
    if (button != GLUT_LEFT_BUTTON) return;
    Point3 u;
    if (!pointerModelPosition(x, y, &u)) return;
    if (state == GLUT_DOWN) {
        const int nearest = nearestSectionPoint(u);
        if (nearest >= 0 && nearest != s.selection.selectedPoint) {
            s.selection.selectedPoint = nearest;
            // The position above lies in the plane of the previously selected point; the newly
            // selected one is placed in its own plane.
            if (!pointerModelPosition(x, y, &u)) return;
        }
    }
    placeSelectedPoint(u);
    refreshViews(true);
}

void sectionMotion(int x, int y) {
    if (editor.view.sectionMouseButton != GLUT_LEFT_BUTTON) return;
    Point3 u;
    if (!pointerModelPosition(x, y, &u)) return;
    placeSelectedPoint(u);
    refreshViews(true);
}

// --- Keyboard ----------------------------------------------------------------------------

void sectionKeyboard(unsigned char key, int /*x*/, int /*y*/) {
    EditorState& s = editor;
    switch (key) {
        case '+':
            s.view.sectionZoom = static_cast<float>(static_cast<double>(s.view.sectionZoom) + 0.25);
            break;
        case '-':
            s.view.sectionZoom = static_cast<float>(static_cast<double>(s.view.sectionZoom) - 0.25);
            break;
        case 'n':
            s.selection.selectedPoint = s.selection.selectedPoint < s.surface.countU - 1
                                            ? s.selection.selectedPoint + 1
                                            : 0;
            break;
        case 'q':
        case 'Q':
            exit(0);
        default:
            break;
    }
    refreshViews(false);
}

void sectionSpecial(int key, int /*x*/, int /*y*/) {
    EditorState& s = editor;
    // One tenth of a unit to the screen's right: (0, 0, 0.1) with the camera on the -x side.
    const Vector3 step =
        normalized(cross(Vector3(0.0f, 1.0f, 0.0f), sectionCameraEye() - sectionCameraRef())) *
        0.1f;
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
        default:
            break;
    }
    // A section whose centroid overflows (points near the float range) gives the camera no
    // direction; the pan then stays as it was instead of turning into NaN for good.
    if (std::isfinite(offset[0]) && std::isfinite(offset[1]) && std::isfinite(offset[2])) {
        for (int i = 0; i < 3; ++i) s.view.sectionRefOffset[i] = offset[i];
    }
    refreshViews(false);
}

// --- Popup menu --------------------------------------------------------------------------

void addSectionPoint() {
    EditorState& s = editor;
    Point3 u;
    if (!pointerModelPosition(s.view.sectionMouseX, s.view.sectionMouseY, &u)) {
        setStatus("Add: no section point can be placed here");
        return;
    }
    const int found = nearestPolygonSegment(u);
    if (found < 0) {
        setStatus("Add: no segment of the section near the pointer");
        return;
    }
    // The new point goes between points found - 1 and found of every section; in the other
    // sections it lies at the same place, in the current section's plane.
    const int oldCount = s.surface.countU;
    const int newCount = oldCount + 1;
    std::vector<PointH> net(static_cast<size_t>(newCount) * static_cast<size_t>(s.surface.countV));
    const PointH inserted = {u.x, u.y, u.z, 1.0f};
    for (int section = 0; section < s.surface.countV; ++section) {
        const PointH* from = s.surface.controlNet.data() + static_cast<size_t>(section) * oldCount;
        PointH* to = net.data() + static_cast<size_t>(section) * newCount;
        for (int j = 0; j < newCount; ++j) {
            if (j < found) {
                to[j] = from[j];
            } else if (j == found) {
                to[j] = inserted;
            } else {
                to[j] = from[j - 1];
            }
        }
    }
    s.surface.knotCountU += 1;
    s.surface.countU = newCount;
    s.surface.controlNet.swap(net);
    finishPointCountChange();
}

void deleteSectionPoint() {
    EditorState& s = editor;
    if (currentSectionStart() < 0) {
        setStatus("Delete: no surface to delete a point from");
        return;
    }
    // The curve of a section needs at least as many points as its order.
    if (s.surface.countU - 1 < s.surface.orderU) {
        setStatus("Delete: a section of degree %d needs at least %d points", s.surface.orderU - 1,
                  s.surface.orderU);
        return;
    }
    Point3 u;
    if (!pointerModelPosition(s.view.sectionMouseX, s.view.sectionMouseY, &u)) {
        setStatus("Delete: no section point can be found here");
        return;
    }
    const int found = nearestSectionPoint(u);
    if (found < 0) {
        setStatus("Delete: no point of the section near the pointer");
        return;
    }
    const int oldCount = s.surface.countU;
    const int newCount = oldCount - 1;
    std::vector<PointH> net(static_cast<size_t>(newCount) * static_cast<size_t>(s.surface.countV));
    for (int section = 0; section < s.surface.countV; ++section) {
        const PointH* from = s.surface.controlNet.data() + static_cast<size_t>(section) * oldCount;
        PointH* to = net.data() + static_cast<size_t>(section) * newCount;
        for (int j = 0; j < newCount; ++j) to[j] = j < found ? from[j] : from[j + 1];
    }
    s.surface.knotCountU -= 1;
    s.surface.countU = newCount;
    s.surface.controlNet.swap(net);
    finishPointCountChange();
}
