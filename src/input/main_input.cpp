// Keyboard and mouse of the main window: the orbiting camera's keys, the click point under the
// left button and the pick of a control point (for weight editing) under the right button.
#include "input/main_input.h"

#include <GL/freeglut.h>

#include <cmath>
#include <cstdlib>

#include "app/application.h"
#include "input/history_keys.h"
#include "model/editor_state.h"
#include "model/gui_hooks.h"
#include "model/point_vector.h"
#include "view/main_view.h"
#include "view/unproject.h"

namespace {

constexpr double kMoveStep = 0.2;    // camera distance and target, model units per key
constexpr double kTurnStep = 0.1;    // camera angles, radians per key
constexpr double kPickRadius = 0.1;  // model distance within which a control point is picked

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
        if (!std::isfinite(position.x) || !std::isfinite(position.y) ||
            !std::isfinite(position.z)) {
            continue;
        }
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
    setStatus("picked point %lld of section %lld, weight %g", index % s.surface.countU,
              index / s.surface.countU, static_cast<double>(s.selection.weightValue));
    guiRefreshPanel();
}

}  // namespace

void mainKeyboard(unsigned char key, int, int) {
    EditorState& s = editor;
    if (handleHistoryKey(key, glutGetModifiers(), Redraw::later)) return;
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
        case 'q':
        case 'Q':
            quitEditor();
        default:
            break;
    }
    mainDisplay();
}

void mainSpecial(int key, int, int) {
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
        default:
            break;
    }
}

// Press and release are handled alike.
void mainMouse(int button, int, int x, int y) {
    EditorState& s = editor;
    if (button == GLUT_LEFT_BUTTON) {
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

// Dragging in the main window does nothing.
void mainMotion(int, int) {}
