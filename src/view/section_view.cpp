// The section window's drawing: orthographic camera from the -x side at the section's centroid,
// the background image, the current section's rational curve and points, centroid and axes.
#include "view/section_view.h"

#include <GL/freeglut.h>
#include <GL/glu.h>

#include <cstddef>

#include "model/editor_state.h"
#include "model/section_camera.h"
#include "view/glu_limits.h"
#include "view/main_view.h"

// The orthographic box is [-1, 1] x [-1, 1] whatever the window's shape (a window that is not
// square stretches the picture); depth runs 0 to 100 from the eye along +x.
static void applySectionProjection() {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-1.0, 1.0, -1.0, 1.0, 0.0, 100.0);
    glMatrixMode(GL_MODELVIEW);
}

void sectionReshape(int width, int height) {
    editor.view.sectionWindowWidth = width;
    editor.view.sectionWindowHeight = height;
    applySectionProjection();
    glViewport(0, 0, width, height);
}

// First point of the current section in controlNet, or -1 when the surface cannot be drawn or
// the current section does not exist.
static std::ptrdiff_t currentSectionStart() {
    const EditorState& s = editor;
    if (!hasSection(s.surface, s.selection.currentSection)) return -1;
    return static_cast<std::ptrdiff_t>(s.selection.currentSection) * s.surface.countU;
}

// Set when GLU reports an error about the curve it was given.
static bool sectionRendererFailed = false;

static void sectionErrorCallback(GLenum errorCode) {
    sectionRendererFailed = true;
    nurbsErrorCallback(errorCode);
}

// A renderer that reported an error is replaced before it draws again, as GLU does not always
// recover from one (see the main view's surface renderer).
static GLUnurbs* sectionNurbsRenderer() {
    if (editor.handles.sectionRenderer != nullptr && sectionRendererFailed) {
        gluDeleteNurbsRenderer(static_cast<GLUnurbs*>(editor.handles.sectionRenderer));
        editor.handles.sectionRenderer = nullptr;
    }
    sectionRendererFailed = false;
    if (editor.handles.sectionRenderer == nullptr) {
        GLUnurbs* renderer = gluNewNurbsRenderer();
        gluNurbsCallback(renderer, GLU_ERROR, reinterpret_cast<void (*)()>(sectionErrorCallback));
        editor.handles.sectionRenderer = renderer;
    }
    return static_cast<GLUnurbs*>(editor.handles.sectionRenderer);
}

// A rectangle 1 unit wide along z and height/width units high along y, in the plane x = 0,
// centred on the model origin. The image's first row (FreeImage stores the bottom row first)
// lies along the lower edge, so it shows upright and unmirrored from the -x side.
static void drawBackgroundRectangle() {
    const EditorState& s = editor;
    if (s.view.backgroundTexture == 0 || s.view.backgroundWidth <= 0 ||
        s.view.backgroundHeight <= 0)
        return;
    const float r =
        static_cast<float>(s.view.backgroundHeight) / static_cast<float>(s.view.backgroundWidth);
    glBindTexture(GL_TEXTURE_2D, s.view.backgroundTexture);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glEnable(GL_TEXTURE_2D);
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(0.0f, -r / 2.0f, -0.5f);
    glTexCoord2f(1.0f, 0.0f);
    glVertex3f(0.0f, -r / 2.0f, 0.5f);
    glTexCoord2f(1.0f, 1.0f);
    glVertex3f(0.0f, r / 2.0f, 0.5f);
    glTexCoord2f(0.0f, 1.0f);
    glVertex3f(0.0f, r / 2.0f, -0.5f);
    glEnd();
    glDisable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, 0);
}

// The section's points are passed homogeneous, so GLU draws the rational curve.
static void drawSectionCurve(GLUnurbs* renderer, std::ptrdiff_t first) {
    EditorState& s = editor;
    if (!fitsGluRange(&s.surface.controlNet[first], static_cast<size_t>(s.surface.countU),
                      s.surface.knotsU.data(), s.surface.knotsU.size())) {
        return;  // numbers GLU cannot work with; the points are still drawn
    }
    glColor3f(1.0f, 1.0f, 1.0f);
    gluBeginCurve(renderer);
    gluNurbsCurve(renderer, s.surface.knotCountU, s.surface.knotsU.data(), 4,
                  &s.surface.controlNet[first].x, s.surface.orderU, GL_MAP1_VERTEX_4);
    gluEndCurve(renderer);
}

// Magenta points with the selected one in (0.8, 0.2, 0.3), then the centroid in green.
static void drawSectionPoints(std::ptrdiff_t first) {
    const EditorState& s = editor;
    glPointSize(5.0f);
    glColor3f(1.0f, 0.0f, 1.0f);
    glBegin(GL_POINTS);
    for (int i = 0; i < s.surface.countU; ++i) {
        if (i == s.selection.selectedPoint) glColor3f(0.8f, 0.2f, 0.3f);
        glVertex4fv(&s.surface.controlNet[first + i].x);
        if (i == s.selection.selectedPoint) glColor3f(1.0f, 0.0f, 1.0f);
    }
    glColor3f(0.3f, 0.7f, 0.2f);
    glVertex3f(s.selection.sectionCentroid[0], s.selection.sectionCentroid[1],
               s.selection.sectionCentroid[2]);
    glEnd();
}

void drawSectionScene() {
    glColor3f(1.0f, 1.0f, 1.0f);
    GLUnurbs* renderer = sectionNurbsRenderer();
    // The zoom scales about the model origin, not about the camera's reference point, and stays
    // on the model-view matrix: the axes and the unprojection of the mouse handlers use it too.
    glScalef(editor.view.sectionZoom, editor.view.sectionZoom, editor.view.sectionZoom);
    drawBackgroundRectangle();
    const std::ptrdiff_t first = currentSectionStart();
    if (first < 0) return;
    drawSectionCurve(renderer, first);
    drawSectionPoints(first);
}

static void drawSectionAxes() {
    glLineWidth(1.0f);
    glBegin(GL_LINES);
    glColor3f(1.0f, 0.0f, 0.0f);
    glVertex3f(0.0f, 0.0f, 0.0f);
    glVertex3f(10.0f, 0.0f, 0.0f);
    glColor3f(0.0f, 1.0f, 0.0f);
    glVertex3f(0.0f, 0.0f, 0.0f);
    glVertex3f(0.0f, 10.0f, 0.0f);
    glColor3f(0.0f, 0.0f, 1.0f);
    glVertex3f(0.0f, 0.0f, 0.0f);
    glVertex3f(0.0f, 0.0f, 2.0f);
    glEnd();
}

void drawSectionFrame() {
    // 1. Flat, unlit drawing in painter's order: no depth test, later primitives on top.
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glClear(GL_COLOR_BUFFER_BIT);

    // 2. Camera 5 units on the -x side of the reference point, looking along +x, +y up.
    applySectionProjection();
    glLoadIdentity();
    const Point3 eye = sectionCameraEye();
    const Point3 ref = sectionCameraRef();
    gluLookAt(eye.x, eye.y, eye.z, ref.x, ref.y, ref.z, 0.0, 1.0, 0.0);

    // 3. Background, curve and points, under the zoom scale; the axes stay under it too.
    drawSectionScene();
    drawSectionAxes();
}

void sectionDisplay() {
    drawSectionFrame();
    glFlush();
    glutSwapBuffers();
}
