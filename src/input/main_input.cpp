// Keyboard and mouse of the main window: the orbiting camera's keys, the click point under the
// left button, the pick of a control point (for weight editing) under the right button, and the
// camera under the middle button (orbit; with shift, pan) and the wheel (zoom).
#include "input/main_input.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "input/app_requests.h"
#include "input/file_keys.h"
#include "input/history_keys.h"
#include "model/editor_state.h"
#include "model/finite_values.h"
#include "model/gui_hooks.h"
#include "model/point_vector.h"
#include "view/help_overlay.h"
#include "view/redraw.h"
#include "view/unproject.h"

namespace {

constexpr double kMoveStep = 0.2;    // camera distance and target, model units per key
constexpr double kTurnStep = 0.1;    // camera angles, radians per key
constexpr double kPickRadius = 0.1;  // model distance within which a control point is picked
constexpr double kOrbitStep = 0.01;  // camera angles, radians per pixel of a middle-button drag
constexpr double kHalfFieldTangent = 0.41421356;  // tan(22.5 degrees): half the vertical view
constexpr int kWheelUp = 3;                       // freeglut reports the wheel as buttons 3, 4
constexpr int kWheelDown = 4;

// A drag with the middle button, from press to release: it orbits the camera, or with shift
// held at the press moves the camera's target with the picture.
struct MainDrag {
    bool active = false;
    bool pan = false;
    int x = 0, y = 0;  // window pixels (y down) of the last press or motion
};
MainDrag gDrag;

// Steps are added in double and the result stored back as float.
void step(float& value, double delta) {
    value = static_cast<float>(static_cast<double>(value) + delta);
}

// The first control point in storage order whose Cartesian position lies within kPickRadius
// of u; -1 when none does. Points with weight 0 or a non-finite position have no place to be
// picked at and are passed over.
long long firstPointNear(const SurfaceModel& surface, Point3 u) {
    if (!surfaceArraysMatch(surface)) return -1;
    for (size_t index = 0; index < surface.controlNet.size(); ++index) {
        const PointH& P = surface.controlNet[index];
        if (P.w == 0.0f) continue;
        const Point3 position(P.x / P.w, P.y / P.w, P.z / P.w);
        if (!finite(position)) continue;
        const float d = position.distanceTo(u);
        if (static_cast<double>(d) < kPickRadius) return static_cast<long long>(index);
    }
    return -1;
}

void pickControlPoint(int x, int y) {
    EditorState& s = editor;
    double ux = 0.0, uy = 0.0, uz = 0.0;
    if (unprojectWithDepthBuffer(x, y, &ux, &uy, &uz) != GL_TRUE) return;
    const Point3 u(static_cast<float>(ux), static_cast<float>(uy), static_cast<float>(uz));
    const long long index = firstPointNear(s.surface, u);
    if (index < 0) return;
    s.selection.pickedPointOffset = static_cast<int32_t>(4 * index);
    s.selection.weightValue = s.surface.controlNet[static_cast<size_t>(index)].w;
    setStatusLinef(editor.panel, "picked point %lld of section %lld, weight %g",
                   index % s.surface.countU, index / s.surface.countU,
                   static_cast<double>(s.selection.weightValue));
    guiRefreshPanel();  // the picked point's fields and weight
    requestMainRedraw();
}

}  // namespace

void mainKeyboard(unsigned char key, int, int) {
    requestPanelKeyboardRelease();  // the keys come here: the panel shows no caret
    EditorState& s = editor;
    if (handleHistoryKey(key, glutGetModifiers()) || handleFileKey(key)) return;
    switch (key) {
        case '+':
            step(s.view.cameraDistance, -kMoveStep);
            break;
        case '-':
            step(s.view.cameraDistance, kMoveStep);
            break;
        case 'a':
            step(s.view.cameraTarget[0], kMoveStep);
            break;
        case 'z':
            step(s.view.cameraTarget[0], -kMoveStep);
            break;
        case 's':
            step(s.view.cameraTarget[1], kMoveStep);
            break;
        case 'x':
            step(s.view.cameraTarget[1], -kMoveStep);
            break;
        case 'd':
            step(s.view.cameraTarget[2], kMoveStep);
            break;
        case 'c':
            step(s.view.cameraTarget[2], -kMoveStep);
            break;
        case 'r':
            // The reset distance is 3.0, a little closer than the start-up 3.9.
            s.view.cameraDistance = 3.0f;
            s.view.cameraAzimuth = 0.0f;
            s.view.cameraPolar = 1.57f;
            s.view.cameraTarget[0] = 0.0f;
            s.view.cameraTarget[1] = 0.0f;
            s.view.cameraTarget[2] = 0.0f;
            break;
        case 'h':
            toggleHelp(HelpWindow::main);
            break;
        case 'q':
        case 'Q':
            requestQuit();
            break;
        default:
            break;
    }
    requestMainRedraw();
}

void mainSpecial(int key, int, int) {
    requestPanelKeyboardRelease();  // the keys come here: the panel shows no caret
    EditorState& s = editor;
    switch (key) {
        case GLUT_KEY_LEFT:
            step(s.view.cameraAzimuth, -kTurnStep);
            break;
        case GLUT_KEY_RIGHT:
            step(s.view.cameraAzimuth, kTurnStep);
            break;
        case GLUT_KEY_UP:
            step(s.view.cameraPolar, -kTurnStep);  // the eye rises towards +y
            break;
        case GLUT_KEY_DOWN:
            step(s.view.cameraPolar, kTurnStep);
            break;
        case GLUT_KEY_F1:
            toggleHelp(HelpWindow::main);
            requestMainRedraw();
            break;
        default:
            break;
    }
}

// Left and right: press and release are handled alike. The wheel steps the camera distance as
// "+" and "-" do.
void mainMouse(int button, int state, int x, int y) {
    mainMouseWithModifiers(button, state, x, y, glutGetModifiers());
}

void mainMouseWithModifiers(int button, int state, int x, int y, int modifiers) {
    EditorState& s = editor;
    if (button == GLUT_MIDDLE_BUTTON) {
        gDrag.active = state == GLUT_DOWN;
        // freeglut answers all bits set when asked outside an input event.
        gDrag.pan = modifiers != -1 && (modifiers & GLUT_ACTIVE_SHIFT) != 0;
        gDrag.x = x;
        gDrag.y = y;
    } else if (button == kWheelUp || button == kWheelDown) {
        if (state != GLUT_DOWN) return;
        step(s.view.cameraDistance, button == kWheelUp ? -kMoveStep : kMoveStep);
        requestMainRedraw();
    } else if (button == GLUT_LEFT_BUTTON) {
        double p[3];
        if (unprojectWithDepthBuffer(x, y, &p[0], &p[1], &p[2]) == GL_TRUE) {
            s.view.clickPoint[0] = p[0];
            s.view.clickPoint[1] = p[1];
            s.view.clickPoint[2] = p[2];
        }
    } else if (button == GLUT_RIGHT_BUTTON) {
        pickControlPoint(x, y);
    }
}

// A middle-button drag: sideways turns the camera around the vertical, up and down raises and
// lowers the eye, as the arrow keys do; with shift the target moves against the pointer, so the
// picture at the camera's target follows the pointer.
void mainMotion(int x, int y) {
    if (!gDrag.active) return;
    ViewState& view = editor.view;
    const int dx = x - gDrag.x;
    const int dy = y - gDrag.y;
    gDrag.x = x;
    gDrag.y = y;
    if (dx == 0 && dy == 0) return;
    if (!gDrag.pan) {
        step(view.cameraAzimuth, -kOrbitStep * dx);
        step(view.cameraPolar, -kOrbitStep * dy);
    } else {
        // Model units per pixel at the target's distance; the camera's right and up directions.
        const double unit = 2.0 * view.cameraDistance * kHalfFieldTangent /
                            std::max(1, static_cast<int>(view.mainWindowHeight));
        const double a = view.cameraAzimuth;
        const double p = view.cameraPolar;
        const double right[3] = {std::cos(a), 0.0, -std::sin(a)};
        const double up[3] = {-std::cos(p) * std::sin(a), std::sin(p), -std::cos(p) * std::cos(a)};
        for (int i = 0; i < 3; ++i) {
            const double moved = view.cameraTarget[i] - unit * (dx * right[i] - dy * up[i]);
            if (std::isfinite(moved)) view.cameraTarget[i] = static_cast<float>(moved);
        }
    }
    requestMainRedraw();
}
