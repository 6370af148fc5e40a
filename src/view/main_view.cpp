// The main 3D view: camera, the NURBS surface through GLU, the control net and its points, the
// skinned net, probe and click points, the section-camera marker, the axes and their labels.
#include "view/main_view.h"

#include <GL/freeglut.h>
#include <GL/glu.h>

#include <cmath>
#include <cstdio>
#include <vector>

#include "model/derived_nets.h"
#include "model/editor_state.h"
#include "model/knots.h"
#include "model/section_camera.h"
#include "model/section_centroid.h"
#include "view/glu_limits.h"
#include "view/section_view.h"
#include "view/surface_cache.h"

namespace {

long frameCount = 0;
bool surfaceCaching = true;

void setMaterial(const GLfloat ambient[4], const GLfloat specular[4], const GLfloat diffuse[4],
                 GLfloat shininess) {
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, ambient);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, specular);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, diffuse);
    glMaterialfv(GL_FRONT, GL_SHININESS, &shininess);
}

// True when controlNet holds exactly countU x countV points, so every index the drawing loops
// form lies inside it (the surface itself may still be unusable, e.g. through its knots).
bool controlNetMatchesCounts() {
    const EditorState& s = editor;
    return s.surface.countU > 0 && s.surface.countV > 0 &&
           s.surface.controlNet.size() ==
               static_cast<size_t>(s.surface.countU) * static_cast<size_t>(s.surface.countV);
}

// True when the expanded net was built for the current counts, order and multiplicity.
bool expandedNetMatchesCounts() {
    const EditorState& s = editor;
    if (s.derived.multiplicity < 1 || s.surface.countU < 1 || s.surface.countV < 1 ||
        s.surface.orderV < 1)
        return false;
    const size_t rows =
        static_cast<size_t>(s.derived.multiplicity) * static_cast<size_t>(s.surface.countV);
    return s.derived.expandedNet.size() == rows * static_cast<size_t>(s.surface.countU) &&
           s.derived.expandedKnotsV.size() == rows + static_cast<size_t>(s.surface.orderV) &&
           s.derived.expandedKnotCountV == static_cast<int32_t>(s.derived.expandedKnotsV.size());
}

// GLU's own sampling (path length: no edge of the tessellation longer than 50 pixels on the
// screen) suits every ordinary view. A net reaching far past the window, or running from near
// the eye to far away (a section moved or scaled far out, a file in large units, the camera
// among the points), would take billions of samples and exhaust memory, whatever the
// tolerance, since GLU splits such a patch and samples each piece by its own size on the
// screen. When the estimate of GLU's samples passes kMostSamples (a few hundred megabytes of
// tessellation), the net is sampled at a fixed number of steps across its knot range instead.
constexpr float kSamplingTolerance = 50.0f;
constexpr double kMostSamples = 1e6;
constexpr double kStepsAcross = 100.0;

// Samples per unit of parameter that put kStepsAcross samples across the knot range.
float stepsPerUnit(const float* knots, size_t count) {
    float low = HUGE_VALF, high = -HUGE_VALF;
    for (size_t i = 0; i < count; ++i) {
        low = std::fmin(low, knots[i]);
        high = std::fmax(high, knots[i]);
    }
    const double range = static_cast<double>(high) - low;
    if (!(range > 0.0) || !std::isfinite(range)) return static_cast<float>(kStepsAcross);
    return static_cast<float>(std::fmin(kStepsAcross / range, 1e30));
}

// Set when GLU reports an error about the surface it was given, and while the renderer samples
// at fixed steps.
bool surfaceRendererFailed = false;
bool surfaceRendererOnFixedSteps = false;

void surfaceErrorCallback(GLenum errorCode) {
    surfaceRendererFailed = true;
    nurbsErrorCallback(errorCode);
}

void dropSurfaceRenderer() {
    EditorState& s = editor;
    if (s.handles.surfaceRenderer != nullptr) {
        gluDeleteNurbsRenderer(static_cast<GLUnurbs*>(s.handles.surfaceRenderer));
    }
    s.handles.surfaceRenderer = nullptr;
    surfaceRendererOnFixedSteps = false;
}

GLUnurbs* surfaceRenderer() {
    EditorState& s = editor;
    // GLU's renderer does not always recover from an error inside a surface (knots out of
    // order, say): it has then taken gigabytes for later, sound surfaces. One that reported an
    // error is replaced before it draws again.
    if (surfaceRendererFailed) dropSurfaceRenderer();
    surfaceRendererFailed = false;
    if (s.handles.surfaceRenderer == nullptr) {
        GLUnurbs* renderer = gluNewNurbsRenderer();
        prepareSurfaceRenderer(renderer, surfaceErrorCallback);
        s.handles.surfaceRenderer = renderer;
    }
    return static_cast<GLUnurbs*>(s.handles.surfaceRenderer);
}

// Sets the sampling for the net (`columns` points per row, GLU's s; orders orderS, orderT) and
// returns the renderer to draw it with. GLU keeps state from fixed-step sampling that has made a
// later path-length sampling take gigabytes (a storm on a large hull showed it), so a renderer
// going back to path length is replaced first.
GLUnurbs* chooseSampling(GLUnurbs* renderer, const std::vector<PointH>& net, int columns,
                         int orderS, int orderT, const std::vector<float>& knotsS,
                         const std::vector<float>& knotsT) {
    const int rows = columns > 0 ? static_cast<int>(net.size() / static_cast<size_t>(columns)) : 0;
    if (!(pathLengthSamples(net.data(), columns, rows, orderS, orderT, kSamplingTolerance) >
          kMostSamples)) {
        if (surfaceRendererOnFixedSteps) {
            dropSurfaceRenderer();
            renderer = surfaceRenderer();  // both draw paths set its display mode and culling
        }
        gluNurbsProperty(renderer, GLU_SAMPLING_METHOD, GLU_PATH_LENGTH);
        gluNurbsProperty(renderer, GLU_SAMPLING_TOLERANCE, kSamplingTolerance);
        return renderer;
    }
    surfaceRendererOnFixedSteps = true;
    gluNurbsProperty(renderer, GLU_SAMPLING_METHOD, GLU_DOMAIN_DISTANCE);
    gluNurbsProperty(renderer, GLU_U_STEP, stepsPerUnit(knotsS.data(), knotsS.size()));
    gluNurbsProperty(renderer, GLU_V_STEP, stepsPerUnit(knotsT.data(), knotsT.size()));
    return renderer;
}

// One GL_POINTS batch over a net in storage order; the point at 4 * index == pickedPointOffset
// is drawn in materialHighlight, and `restore` is set again right after it.
void drawNetPoints(const std::vector<PointH>& net, void (*restore)()) {
    glPointSize(10.0f);
    glBegin(GL_POINTS);
    for (size_t i = 0; i < net.size(); ++i) {
        const bool picked = static_cast<long long>(i) * 4 == editor.selection.pickedPointOffset;
        if (picked) materialHighlight();
        glVertex4fv(&net[i].x);
        if (picked) restore();
    }
    glEnd();
}

// One line strip per section through the countU points of that section.
void drawSectionStrips(const std::vector<PointH>& net, bool highlightCurrent) {
    const EditorState& s = editor;
    for (int i = 0; i < s.surface.countV; ++i) {
        if (highlightCurrent) {
            if (i == s.selection.currentSection) {
                materialHighlight();
            } else {
                materialNet();
            }
        }
        const PointH* section = net.data() + static_cast<size_t>(i) * s.surface.countU;
        glBegin(GL_LINE_STRIP);
        for (int j = 0; j < s.surface.countU; ++j) glVertex4fv(&section[j].x);
        glEnd();
    }
}

void drawSectionCameraMarker() {
    const Point3 ref = sectionCameraRef();
    const Point3 eye = sectionCameraEye();
    glPointSize(15.0f);
    glBegin(GL_POINTS);
    glVertex3f(ref.x, ref.y, ref.z);
    glVertex3f(eye.x, eye.y, eye.z);
    glEnd();
    glLineWidth(1.0f);
    glBegin(GL_LINE_STRIP);
    glVertex3f(ref.x, ref.y, ref.z);
    glVertex3f(eye.x, eye.y, eye.z);
    glEnd();
    drawLabel(eye.x, eye.y, eye.z, GLUT_BITMAP_TIMES_ROMAN_24, "section cam eye");
    drawLabel(ref.x, ref.y, ref.z, GLUT_BITMAP_TIMES_ROMAN_24, "section cam ref");
}

// The moving probe: the rational point of controlNet at (probeU, probeV), skipped when the
// surface has no point there.
void drawProbePoint() {
    float x = 0.0f, y = 0.0f, z = 0.0f;
    if (!evaluateSurfacePoint(x, y, z, editor.view.probeU, editor.view.probeV)) return;
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z)) return;
    materialHighlight();
    glPointSize(10.0f);
    glBegin(GL_POINTS);
    glVertex3f(x, y, z);
    glEnd();
}

void drawClickPoint() {
    const double* p = editor.view.clickPoint;
    glPointSize(10.0f);
    glBegin(GL_POINTS);
    glVertex3f(static_cast<float>(p[0]), static_cast<float>(p[1]), static_cast<float>(p[2]));
    glEnd();
}

void drawAxes() {
    materialNet();
    glLineWidth(1.0f);
    glBegin(GL_LINES);
    glVertex3f(0.0f, 0.0f, 0.0f);
    glVertex3f(10.0f, 0.0f, 0.0f);
    glEnd();
    drawLabel(3.0f, 0.0f, 0.0f, GLUT_BITMAP_TIMES_ROMAN_24, "x");
    glBegin(GL_LINES);
    glVertex3f(0.0f, 0.0f, 0.0f);
    glVertex3f(0.0f, 10.0f, 0.0f);
    glEnd();
    drawLabel(0.0f, 3.0f, 0.0f, GLUT_BITMAP_TIMES_ROMAN_24, "y");
    glBegin(GL_LINES);
    glVertex3f(0.0f, 0.0f, 0.0f);
    glVertex3f(0.0f, 0.0f, 10.0f);
    glEnd();
    drawLabel(0.0f, 0.0f, 3.0f, GLUT_BITMAP_TIMES_ROMAN_24, "z");
}

}  // namespace

void materialSurface() {
    static const GLfloat ambient[4] = {0.3f, 0.3f, 0.5f, 1.0f};
    static const GLfloat specular[4] = {0.3f, 0.3f, 0.5f, 1.0f};
    static const GLfloat diffuse[4] = {0.3f, 0.3f, 0.3f, 1.0f};
    setMaterial(ambient, specular, diffuse, 50.0f);
}

void materialNet() {
    static const GLfloat ambient[4] = {0.2f, 0.5f, 0.6f, 1.0f};
    static const GLfloat specular[4] = {0.2f, 0.5f, 0.7f, 1.0f};
    static const GLfloat diffuse[4] = {0.4f, 0.5f, 0.4f, 1.0f};
    setMaterial(ambient, specular, diffuse, 30.0f);
}

void materialHighlight() {
    static const GLfloat ambient[4] = {0.8f, 0.3f, 0.6f, 1.0f};
    static const GLfloat specular[4] = {0.8f, 0.3f, 0.7f, 1.0f};
    static const GLfloat diffuse[4] = {0.8f, 0.2f, 0.4f, 1.0f};
    setMaterial(ambient, specular, diffuse, 30.0f);
}

void materialSkinned() {
    static const GLfloat red[4] = {1.0f, 0.0f, 0.0f, 1.0f};
    setMaterial(red, red, red, 30.0f);
}

void nurbsErrorCallback(GLenum errorCode) {
    const GLubyte* text = gluErrorString(errorCode);
    printf("Nurbs Error: %s\n", text != nullptr ? reinterpret_cast<const char*>(text) : "");
    fflush(stdout);
}

void drawLabel(float x, float y, float z, void* font, const char* text) {
    if (text == nullptr || text[0] == '\0') return;
    glRasterPos3f(x, y, z);
    for (const char* c = text; *c != '\0'; ++c)
        glutBitmapCharacter(font, static_cast<unsigned char>(*c));
}

void drawControlNet() {
    EditorState& s = editor;
    glLineWidth(1.0f);
    if (controlNetMatchesCounts()) drawSectionStrips(s.surface.controlNet, true);
    materialNet();
    computeSectionCentroid(s.selection.sectionCentroid);
    if (skinnedNetUsable()) drawSectionStrips(s.derived.skinnedNet, false);
}

void drawSurface() {
    EditorState& s = editor;
    const bool usable = surfaceIsUsable(s.surface);
    // The expanded net is a copy of controlNet taken when built; it is built again only when it
    // is missing or no longer has the shape the counts and the multiplicity give.
    if (usable && s.derived.multiplicity >= 1 && !expandedNetMatchesCounts()) rebuildExpandedNet();

    GLUnurbs* renderer = surfaceRenderer();
    materialSurface();
    if (usable) {
        // Across the sections (GLU's t): the skinned net while skinning is on, else the expanded
        // net while sections repeat, else the control net itself.
        const std::vector<PointH>* net = &s.surface.controlNet;
        const std::vector<float>* knotsT = &s.surface.knotsV;
        if (s.panel.skinningEnabled != 0 && skinnedNetUsable()) {
            net = &s.derived.skinnedNet;
            knotsT = &s.derived.skinnedKnotsV;
        } else if (s.derived.multiplicity > 1 && expandedNetMatchesCounts()) {
            net = &s.derived.expandedNet;
            knotsT = &s.derived.expandedKnotsV;
        }
        SurfaceDescription surface;
        surface.knotCountS = s.surface.knotCountU;
        surface.knotsS = s.surface.knotsU.data();
        surface.knotCountT = static_cast<GLint>(knotsT->size());
        surface.knotsT = knotsT->data();
        surface.strideS = 4;
        surface.strideT = s.surface.countU * 4;
        surface.points = &(*net)[0].x;
        surface.orderS = s.surface.orderU;
        surface.orderT = s.surface.orderV;
        if (fitsGluRange(net->data(), net->size(), s.surface.knotsU.data(),
                         s.surface.knotsU.size()) &&
            fitsGluRange(nullptr, 0, knotsT->data(), knotsT->size())) {
            renderer = chooseSampling(renderer, *net, s.surface.countU, s.surface.orderU,
                                      s.surface.orderV, s.surface.knotsU, *knotsT);
            if (surfaceCaching) {
                drawSurfaceCached(renderer, surface, s.panel.surfaceDisplayMode);
            } else {
                drawSurfaceDirect(renderer, surface, s.panel.surfaceDisplayMode);
            }
        }
    }

    drawControlNet();

    if (controlNetMatchesCounts()) drawNetPoints(s.surface.controlNet, materialNet);
    if (skinnedNetUsable()) {
        materialSkinned();
        drawNetPoints(s.derived.skinnedNet, materialSkinned);
    }

    drawSectionCameraMarker();
}

void drawMainScene() {
    const EditorState& s = editor;
    glMatrixMode(GL_MODELVIEW);
    glEnable(GL_DEPTH_TEST);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();

    // Orbiting camera: polar angle from +y, azimuth around y, each sine and cosine in float.
    const float sinPolar = std::sin(s.view.cameraPolar);
    const float cosPolar = std::cos(s.view.cameraPolar);
    const float sinAzimuth = std::sin(s.view.cameraAzimuth);
    const float cosAzimuth = std::cos(s.view.cameraAzimuth);
    const float r = s.view.cameraDistance;
    const float* t = s.view.cameraTarget;
    const float eyeX = t[0] + r * sinPolar * sinAzimuth;
    const float eyeY = t[1] + r * cosPolar;
    const float eyeZ = t[2] + r * sinPolar * cosAzimuth;
    gluLookAt(eyeX, eyeY, eyeZ, t[0], t[1], t[2], 0.0, 1.0, 0.0);

    drawSurface();
    drawProbePoint();
    drawClickPoint();
    drawAxes();
}

void mainDisplay() {
    const EditorState& s = editor;
    if (s.handles.mainWindow != 0 && glutGetWindow() != s.handles.mainWindow)
        glutSetWindow(s.handles.mainWindow);
    drawMainScene();
    glFlush();
    glutSwapBuffers();
    ++frameCount;

    if (s.handles.sectionWindow != 0) {
        glutSetWindow(s.handles.sectionWindow);
        sectionDisplay();
        glutSetWindow(s.handles.mainWindow);
    }
}

long mainFrameCount() {
    return frameCount;
}

void setSurfaceCaching(bool on) {
    surfaceCaching = on;
}
