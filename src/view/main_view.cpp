// The main 3D view: camera, the NURBS surface through GLU, the control net and its points, the
// skinned net, probe and click points, the section-camera marker, the axes and their labels.
#include "view/main_view.h"

#include <GL/freeglut.h>
#include <GL/glu.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <vector>

#include "io/editor_file_io.h"
#include "model/derived_nets.h"
#include "model/editor_state.h"
#include "model/finite_values.h"
#include "model/knots.h"
#include "model/mirror_plane.h"
#include "model/section_camera.h"
#include "model/section_centroid.h"
#include "view/deviation_overlay.h"
#include "view/glu_limits.h"
#include "view/grid_renderer.h"
#include "view/grid_surface.h"
#include "view/help_overlay.h"
#include "view/hydrostatics_overlay.h"
#include "view/lines_overlay.h"
#include "view/main_scene_inputs.h"
#include "view/materials.h"
#include "view/net_drawing.h"
#include "view/nurbs_renderers.h"
#include "view/scene_buffer.h"
#include "view/section_arrows.h"
#include "view/surface_cache.h"

namespace {

// Where the probe falls in the main window, in GL window coordinates (y up, depth 0 to 1), and
// whether any of its pixels can pass the depth test against the scene.
struct ProbeOnScreen {
    bool seen = false;
    double x = 0.0, y = 0.0, z = 0.0;
};

// The main view's own state.
struct MainViewData {
    long frameCount = 0;         // frames mainDisplay has drawn
    long sceneDraws = 0;         // of them, frames that drew the scene rather than copy it back
    bool surfaceCaching = true;  // draw the surface from its kept tessellation
    bool onFixedSteps = false;   // the surface renderer samples at fixed steps
    SurfaceTessellator tessellator = SurfaceTessellator::byCost;
    GluCost gluCost;  // what GLU's tessellations of the main view took

    // The scene (everything but the probe) of the last frame that drew it: what it was drawn
    // from, whether the scene buffer holds it, the matrices and viewport it was drawn with, and
    // the current normal it left, which lights the probe drawn over it.
    MainSceneInputs scene;
    std::vector<unsigned char> scratch;
    bool sceneInBuffer = false;
    double modelView[16] = {};
    double projection[16] = {};
    int viewport[4] = {0, 0, 0, 0};
    float normal[3] = {0.0f, 0.0f, 1.0f};
    bool lastSceneChanged = false;  // the last scene drawn differed from the one before it
    float camera[6] = {};           // the last scene's camera: polar, azimuth, distance, target
    // What the last frame showed of the probe and of the help, and the frames still owed to a
    // new window size (the GL may resize its buffers only after a frame at the new size).
    bool framed = false;
    ProbeOnScreen shownProbe;
    bool shownHelp = false;
    int framesAfterReshape = 0;
    // The back buffer holds the frame on the screen: it was shown without a swap.
    bool backHoldsFrame = false;
};

MainViewData data;

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

// A new surface renderer hands its tessellation to the surface cache and starts on GLU's
// default sampling.
void setUpSurfaceRenderer(GLUnurbs* renderer, void (*errorCallback)(GLenum)) {
    prepareSurfaceRenderer(renderer, errorCallback);
    data.onFixedSteps = false;
}

// The main view's renderer in `slot`; one that reported an error is replaced first.
GLUnurbs* currentSurfaceRenderer(void*& slot) {
    return viewRenderer(NurbsView::main, slot, setUpSurfaceRenderer);
}

// Sets the sampling for the net (`columns` points per row, GLU's s; orders orderS, orderT) and
// returns the renderer to draw it with. GLU keeps state from fixed-step sampling that has made a
// later path-length sampling take gigabytes (a storm on a large hull showed it), so a renderer
// going back to path length is replaced first.
GLUnurbs* chooseSampling(GLUnurbs* renderer, void*& slot, const std::vector<PointH>& net,
                         int columns, int orderS, int orderT, const std::vector<float>& knotsS,
                         const std::vector<float>& knotsT) {
    const int rows = columns > 0 ? static_cast<int>(net.size() / static_cast<size_t>(columns)) : 0;
    const bool knotsMatch = knotsS.size() == static_cast<size_t>(columns) + orderS &&
                            knotsT.size() == static_cast<size_t>(rows) + orderT;
    if (knotsMatch && !(pathLengthSamples(net.data(), columns, rows, orderS, orderT, knotsS.data(),
                                          knotsT.data(), kSamplingTolerance) > kMostSamples)) {
        if (data.onFixedSteps) {
            deleteRenderer(slot);
            renderer =
                currentSurfaceRenderer(slot);  // both draw paths set its display mode and culling
        }
        gluNurbsProperty(renderer, GLU_SAMPLING_METHOD, GLU_PATH_LENGTH);
        gluNurbsProperty(renderer, GLU_SAMPLING_TOLERANCE, kSamplingTolerance);
        return renderer;
    }
    data.onFixedSteps = true;
    gluNurbsProperty(renderer, GLU_SAMPLING_METHOD, GLU_DOMAIN_DISTANCE);
    gluNurbsProperty(renderer, GLU_U_STEP, stepsPerUnit(knotsS.data(), knotsS.size()));
    gluNurbsProperty(renderer, GLU_V_STEP, stepsPerUnit(knotsT.data(), knotsT.size()));
    return renderer;
}

void drawSectionCameraMarker(const Selection& selection, const ViewState& view) {
    const Point3 ref = sectionCameraRef(selection.sectionCentroid, view);
    const Point3 eye = sectionCameraEye(selection.sectionCentroid, view);
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
void drawProbePoint(const SurfaceModel& surface, const ViewState& view) {
    float x = 0.0f, y = 0.0f, z = 0.0f;
    if (!evaluateSurfacePoint(surface, x, y, z, view.probeU, view.probeV)) return;
    if (!finite(x, y, z)) return;
    materialHighlight();
    glPointSize(10.0f);
    glBegin(GL_POINTS);
    glVertex3f(x, y, z);
    glEnd();
}

void drawClickPoint(const ViewState& view) {
    const double* p = view.clickPoint;
    materialHighlight();
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

// The net the main view draws (the control net, or the skinned or expanded net across the
// sections) as the grid renderer takes it; not usable when its size does not fit the knots.
NetSurface analysisNet(const SurfaceModel& surface, const std::vector<PointH>& net,
                       const std::vector<float>& knotsT) {
    NetSurface s;
    const int rows = static_cast<int>(knotsT.size()) - surface.orderV;
    if (rows < 1 || net.size() != static_cast<size_t>(rows) * static_cast<size_t>(surface.countU))
        return s;
    s.net = net.data();
    s.countU = surface.countU;
    s.countV = rows;
    s.orderU = surface.orderU;
    s.orderV = surface.orderV;
    s.knotsU = surface.knotsU.data();
    s.knotsV = knotsT.data();
    return s;
}

bool knotsAscend(const float* knots, int count) {
    for (int i = 1; i < count; ++i) {
        if (knots[i] < knots[i - 1]) return false;
    }
    return true;
}

// Whether the ordinary shading of the net comes from the grid: nets GLU cannot take, and those
// its measured tessellations say it cannot draw within a frame. Knots edited out of order go to
// GLU within its bound, which reports them as a NURBS error.
bool drawnByGrid(const NetSurface& net) {
    if (!netSurfaceUsable(net)) return false;
    const long long points = static_cast<long long>(net.countU) * net.countV;
    if (points <= kMostGluNetPoints && (!knotsAscend(net.knotsU, net.countU + net.orderU) ||
                                        !knotsAscend(net.knotsV, net.countV + net.orderV)))
        return false;
    switch (data.tessellator) {
        case SurfaceTessellator::grid:
            return true;
        case SurfaceTessellator::glu:
            return points > kMostGluNetPoints;
        case SurfaceTessellator::byCost:
            break;
    }
    return !gluHoldsFrame(
        data.gluCost, points,
        bezierPatches(net.knotsU, net.countU, net.orderU, net.knotsV, net.countV, net.orderV));
}

// GLU's drawing of the surface; a tessellation it runs is timed and added to its cost.
void drawThroughGlu(GLUnurbs* renderer, const SurfaceDescription& description, float displayMode,
                    const NetSurface& net) {
    if (!data.surfaceCaching) {
        drawSurfaceDirect(renderer, description, displayMode);
        return;
    }
    const long before = surfaceTessellationCount();
    const auto start = std::chrono::steady_clock::now();
    drawSurfaceCached(renderer, description, displayMode);
    if (surfaceTessellationCount() != before && netSurfaceUsable(net)) {
        const std::chrono::duration<double, std::milli> took =
            std::chrono::steady_clock::now() - start;
        recordGluTessellation(
            data.gluCost,
            bezierPatches(net.knotsU, net.countU, net.orderU, net.knotsV, net.countV, net.orderV),
            took.count());
    }
}

// The surface reflected across the half-model's mirror plane: the tessellation just drawn, drawn
// again under the reflection (its triangles then turn the other way round).
template <typename DrawAgain>
void drawMirrorImage(const PanelVariables& panel, DrawAgain drawAgain) {
    const MirrorPlane& plane = panel.mirrorPlane;
    if (!mirrorPlaneIsSound(plane)) return;
    GLfloat axis[3] = {0.0f, 0.0f, 0.0f};
    axis[plane.axis] = plane.offset;
    GLfloat scale[3] = {1.0f, 1.0f, 1.0f};
    scale[plane.axis] = -1.0f;
    glPushMatrix();
    glTranslatef(axis[0], axis[1], axis[2]);
    glScalef(scale[0], scale[1], scale[2]);
    glTranslatef(-axis[0], -axis[1], -axis[2]);
    glFrontFace(GL_CW);
    drawAgain();
    glFrontFace(GL_CCW);
    glPopMatrix();
}

// The surface (through GLU, or in an analysis shading from the surface grid), the control net and
// the skinned net with their points, and the section-camera marker. The expanded net is expected up
// to date (drawMainScene sees to it).
void drawSurface(const SurfaceModel& surface, const DerivedNets& derived,
                 const Selection& selection, const PanelVariables& panel, const ViewState& view,
                 void*& rendererSlot) {
    const bool usable = surfaceIsUsable(surface);
    const bool skinning = panel.skinningEnabled != 0;
    GLUnurbs* renderer = currentSurfaceRenderer(rendererSlot);
    startNetPlan(surface, derived, selection, skinning);
    materialSurface();
    if (usable) {
        // Across the sections (GLU's t): the skinned net while skinning is on, else the expanded
        // net while sections repeat, else the control net itself.
        const std::vector<PointH>* net = &surface.controlNet;
        const std::vector<float>* knotsT = &surface.knotsV;
        if (skinning && skinnedNetUsable(surface, skinning, derived)) {
            net = &derived.skinnedNet;
            knotsT = &derived.skinnedKnotsV;
        } else if (derived.multiplicity > 1 && expandedNetMatchesCounts(surface, derived)) {
            net = &derived.expandedNet;
            knotsT = &derived.expandedKnotsV;
        }
        SurfaceDescription description;
        description.knotCountS = surface.knotCountU;
        description.knotsS = surface.knotsU.data();
        description.knotCountT = static_cast<GLint>(knotsT->size());
        description.knotsT = knotsT->data();
        description.strideS = 4;
        description.strideT = surface.countU * 4;
        description.points = &(*net)[0].x;
        description.orderS = surface.orderU;
        description.orderT = surface.orderV;
        if (panel.shading != kShadingGlu) {
            if (drawAnalysisSurface(analysisNet(surface, *net, *knotsT), panel.shading,
                                    panel.curvatureKind) &&
                panel.mirrorEnabled != 0) {
                drawMirrorImage(panel, [] { drawAnalysisSurfaceAgain(); });
            }
        } else if (fitsGluRange(net->data(), net->size(), surface.knotsU.data(),
                                surface.knotsU.size()) &&
                   fitsGluRange(nullptr, 0, knotsT->data(), knotsT->size())) {
            const NetSurface drawn = analysisNet(surface, *net, *knotsT);
            // A filled surface is lit on both sides: seen from inside (a revolved bottle, whose
            // normals face in) it would otherwise show its ambient colour only. An outline is
            // made of lines, which GL always lights as front faces.
            const bool filled = panel.surfaceDisplayMode == kDisplayModeFill;
            glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, filled ? GL_TRUE : GL_FALSE);
            if (drawnByGrid(drawn)) {
                drawGridSurface(drawn, !filled, [&](double worth) {
                    return settleNetPlan(surface, derived, selection, skinning, worth);
                });
                if (panel.mirrorEnabled != 0)
                    drawMirrorImage(panel, [&] { drawGridSurfaceAgain(drawn, !filled); });
            } else {
                renderer = chooseSampling(renderer, rendererSlot, *net, surface.countU,
                                          surface.orderU, surface.orderV, surface.knotsU, *knotsT);
                drawThroughGlu(renderer, description, panel.surfaceDisplayMode, drawn);
                if (panel.mirrorEnabled != 0) {
                    drawMirrorImage(panel, [&] {
                        if (data.surfaceCaching) {
                            drawCapturedSurfaceAgain();
                        } else {
                            drawSurfaceDirect(renderer, description, panel.surfaceDisplayMode);
                        }
                    });
                }
            }
            glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, GL_FALSE);
        }
    }

    drawNets(surface, derived, selection, skinning);

    drawSectionCameraMarker(selection, view);
}

}  // namespace

void drawLabel(float x, float y, float z, void* font, const char* text) {
    if (text == nullptr || text[0] == '\0') return;
    glRasterPos3f(x, y, z);
    // One call for the whole text: GL draws its characters' bitmaps together, where one call a
    // character changes the pixel state around each and costs llvmpipe a draw per character.
    glutBitmapString(font, reinterpret_cast<const unsigned char*>(text));
}

namespace {

// Everything drawMainScene draws but the probe.
void drawSceneWithoutProbe(const SurfaceModel& surface, DerivedNets& derived, Selection& selection,
                           const PanelVariables& panel, const ViewState& view,
                           void*& surfaceRenderer) {
    // 1. The derived data it shows (the current section's centroid, the section camera's base,
    //    and the expanded net) is kept current by the model.

    // 2. Clear, and the orbiting camera: polar angle from +y, azimuth around y, each sine and
    //    cosine in float.
    glMatrixMode(GL_MODELVIEW);
    glEnable(GL_DEPTH_TEST);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    const float sinPolar = std::sin(view.cameraPolar);
    const float cosPolar = std::cos(view.cameraPolar);
    const float sinAzimuth = std::sin(view.cameraAzimuth);
    const float cosAzimuth = std::cos(view.cameraAzimuth);
    const float r = view.cameraDistance;
    const float* t = view.cameraTarget;
    const float eyeX = t[0] + r * sinPolar * sinAzimuth;
    const float eyeY = t[1] + r * cosPolar;
    const float eyeZ = t[2] + r * sinPolar * cosAzimuth;
    gluLookAt(eyeX, eyeY, eyeZ, t[0], t[1], t[2], 0.0, 1.0, 0.0);

    // 3. Surface, nets and marker, the chosen lines on it, the sections' start arrows, the click
    //    point, the waterline and centre of buoyancy when hydrostatics are on, and the axes.
    drawSurface(surface, derived, selection, panel, view, surfaceRenderer);
    if (panel.showLines != 0) {
        SurfaceModel skinned;
        drawLinesOverlay(surfaceToSave(surface, panel.skinningEnabled != 0, derived, skinned),
                         panel);
    }
    drawSectionArrows(surface);
    drawClickPoint(view);
    drawHydrostaticsOverlay();
    drawDeviationOverlay();
    drawAxes();
}

MainViewSettings mainViewSettings() {
    MainViewSettings settings;
    settings.surfaceCaching = data.surfaceCaching;
    settings.tessellator = static_cast<int>(data.tessellator);
    settings.gluMillisecondsPerPatch = data.gluCost.millisecondsPerPatch;
    settings.gluSlowPatches = data.gluCost.slowPatches;
    return settings;
}

// The probe at (probeU, probeV) against the scene last drawn, with its matrices and depth. Its
// point is 10 pixels across; it is seen unless each of its pixels lies outside the window or has
// the scene in front of it (with margins for rounding), or its centre lies outside the view's
// depth range or behind the eye, where GL drops it. Over a scene that was not kept nothing is in
// front of it.
ProbeOnScreen probeOnScreen(const SurfaceModel& surface, const ViewState& view) {
    ProbeOnScreen probe;
    float x = 0.0f, y = 0.0f, z = 0.0f;
    if (!evaluateSurfacePoint(surface, x, y, z, view.probeU, view.probeV)) return probe;
    if (!finite(x, y, z)) return probe;
    const double point[4] = {x, y, z, 1.0};
    double eye[4] = {0.0, 0.0, 0.0, 0.0}, clip[4] = {0.0, 0.0, 0.0, 0.0};
    for (int i = 0; i < 4; ++i) {
        for (int k = 0; k < 4; ++k) eye[i] += data.modelView[k * 4 + i] * point[k];
    }
    for (int i = 0; i < 4; ++i) {
        for (int k = 0; k < 4; ++k) clip[i] += data.projection[k * 4 + i] * eye[k];
    }
    if (!(clip[3] > 0.0)) return probe;
    constexpr double kDepthMargin = 1e-5;
    const double depth = (clip[2] / clip[3] + 1.0) * 0.5;
    if (depth < -kDepthMargin || depth > 1.0 + kDepthMargin) return probe;
    probe.x = data.viewport[0] + (clip[0] / clip[3] + 1.0) * 0.5 * data.viewport[2];
    probe.y = data.viewport[1] + (clip[1] / clip[3] + 1.0) * 0.5 * data.viewport[3];
    probe.z = depth;
    if (!finite(probe.x, probe.y)) return probe;
    // A point of even size 10 covers the pixels whose centres lie within 5 of its own across
    // and up: columns floor(x + 1/2) - 5 to floor(x + 1/2) + 4. Near the rounding's turn both
    // roundings are taken.
    constexpr double kRounding = 1e-3;
    const double left = std::fmax(std::floor(probe.x + 0.5 - kRounding) - 5.0, data.viewport[0]);
    const double right = std::fmin(std::floor(probe.x + 0.5 + kRounding) + 4.0,
                                   data.viewport[0] + data.viewport[2] - 1.0);
    const double bottom = std::fmax(std::floor(probe.y + 0.5 - kRounding) - 5.0, data.viewport[1]);
    const double top = std::fmin(std::floor(probe.y + 0.5 + kRounding) + 4.0,
                                 data.viewport[1] + data.viewport[3] - 1.0);
    for (double py = bottom; py <= top && !probe.seen; py += 1.0) {
        for (double px = left; px <= right; px += 1.0) {
            if (keptSceneDepth(static_cast<int>(px), static_cast<int>(py)) >=
                depth - kDepthMargin) {
                probe.seen = true;
                break;
            }
        }
    }
    return probe;
}

bool sameProbePicture(const ProbeOnScreen& a, const ProbeOnScreen& b) {
    if (!a.seen && !b.seen) return true;
    return a.seen && b.seen && a.x == b.x && a.y == b.y && a.z == b.z;
}

// The pixels the probe at `probe` may have touched (its 10-pixel point, with a margin for
// rounding), within the viewport; empty when it was not seen.
PixelRegion probeRegion(const ProbeOnScreen& probe) {
    PixelRegion r;
    if (!probe.seen) return r;
    constexpr double kReach = 8.0;
    const double x0 = std::fmax(std::floor(probe.x - kReach), data.viewport[0]);
    const double y0 = std::fmax(std::floor(probe.y - kReach), data.viewport[1]);
    const double x1 = std::fmin(std::floor(probe.x + kReach) + 1.0,
                                static_cast<double>(data.viewport[0]) + data.viewport[2]);
    const double y1 = std::fmin(std::floor(probe.y + kReach) + 1.0,
                                static_cast<double>(data.viewport[1]) + data.viewport[3]);
    if (!(x1 > x0) || !(y1 > y0)) return r;
    r.x = static_cast<int>(x0);
    r.y = static_cast<int>(y0);
    r.width = static_cast<int>(x1 - x0);
    r.height = static_cast<int>(y1 - y0);
    return r;
}

// The scene under this frame's probe. While nothing it is drawn from changed it is copied back
// from the scene buffer: where the last frame's probe was, when the back buffer still holds that
// frame (no swap since), else whole. Otherwise it is drawn and kept, with its matrices, its depth
// and the normal it leaves. The inputs are taken before drawing, so whatever the drawing itself
// changes (GLU's measured cost) makes the next frame draw the scene again. Returns true when the
// scene was copied back.
bool sceneOfFrame(EditorState& s) {
    const MainViewSettings settings = mainViewSettings();
    const PixelRegion lastProbe = probeRegion(data.shownProbe);
    const bool sameScene = sameMainSceneInputs(data.scene, s, settings, data.scratch);
    if (data.framesAfterReshape == 0 && data.sceneInBuffer && !helpShown(HelpWindow::main) &&
        sameScene && restoreSceneBuffer(data.backHoldsFrame ? &lastProbe : nullptr)) {
        glMatrixMode(GL_PROJECTION);
        glLoadMatrixd(data.projection);
        glMatrixMode(GL_MODELVIEW);
        glLoadMatrixd(data.modelView);
        glViewport(data.viewport[0], data.viewport[1], data.viewport[2], data.viewport[3]);
        glEnable(GL_DEPTH_TEST);
        glNormal3fv(data.normal);
        return true;
    }
    // While the camera and the window stay as they were, the nets' plan starts at once, under
    // the last scene's transform: it works on its own thread while this one keeps the inputs
    // and draws the surface. (A plan under another transform would have to finish before the
    // right one could start.)
    const ViewState& v = s.view;
    const float camera[6] = {v.cameraPolar,     v.cameraAzimuth,   v.cameraDistance,
                             v.cameraTarget[0], v.cameraTarget[1], v.cameraTarget[2]};
    if (data.sceneDraws > 0 && data.framesAfterReshape == 0 &&
        std::memcmp(camera, data.camera, sizeof camera) == 0)
        startNetPlanFor(s.surface, s.derived, s.selection, s.panel.skinningEnabled != 0,
                        data.modelView, data.projection, data.viewport);
    std::memcpy(data.camera, camera, sizeof camera);
    // A scene that changed right after a frame whose scene changed too (a drag, the surface
    // growing as a spinner turns) is not read back: the next frame most likely changes it
    // again, and the reading costs a few milliseconds of every such frame. The first frame that
    // draws the same scene again (the probe moved after the drag) keeps it. Nor is a scene whose
    // nets were drawn from a carried-over plan: the next frame draws it exactly.
    bool keep = sameScene || !data.lastSceneChanged;
    data.lastSceneChanged = !sameScene;
    keepMainSceneInputs(data.scene, s, settings);
    drawSceneWithoutProbe(s.surface, s.derived, s.selection, s.panel, s.view,
                          s.handles.surfaceRenderer);
    keep = keep && !netsDrawnFromCarriedPlan();
    ++data.sceneDraws;
    glGetDoublev(GL_MODELVIEW_MATRIX, data.modelView);
    glGetDoublev(GL_PROJECTION_MATRIX, data.projection);
    glGetIntegerv(GL_VIEWPORT, data.viewport);
    glGetFloatv(GL_CURRENT_NORMAL, data.normal);
    if (keep) {
        data.sceneInBuffer = keepSceneBuffer(s.view.mainWindowWidth, s.view.mainWindowHeight);
    } else {
        forgetKeptScene();
        data.sceneInBuffer = false;
    }
    return false;
}

}  // namespace

void drawMainScene(const SurfaceModel& surface, DerivedNets& derived, Selection& selection,
                   const PanelVariables& panel, const ViewState& view, void*& surfaceRenderer) {
    data.backHoldsFrame = false;  // whoever draws this shows it with their own swap
    drawSceneWithoutProbe(surface, derived, selection, panel, view, surfaceRenderer);
    drawProbePoint(surface, view);
}

void mainDisplay() {
    EditorState& s = editor;
    if (s.handles.mainWindow != 0 && glutGetWindow() != s.handles.mainWindow)
        glutSetWindow(s.handles.mainWindow);
    // 1. The scene, then the probe over it.
    const bool copiedBack = sceneOfFrame(s);
    drawProbePoint(s.surface, s.view);
    data.shownProbe = probeOnScreen(s.surface, s.view);
    data.shownHelp = helpShown(HelpWindow::main);
    data.framed = true;
    if (data.framesAfterReshape > 0) --data.framesAfterReshape;

    // 2. A frame over a scene copied back is shown by copying the back buffer to the screen,
    //    which leaves the back buffer holding the frame for the next one to mend; any other
    //    frame, with the help over it, by a swap.
    PixelRegion window;
    window.width = s.view.mainWindowWidth;
    window.height = s.view.mainWindowHeight;
    if (copiedBack && showBackBufferRegion(window)) {
        data.backHoldsFrame = true;
    } else {
        drawHelpOverlay(HelpWindow::main, s.view.mainWindowWidth, s.view.mainWindowHeight);
        glFlush();
        glutSwapBuffers();
        data.backHoldsFrame = false;
    }
    ++data.frameCount;
}

bool mainViewOutOfDate() {
    const EditorState& s = editor;
    if (!data.framed || data.framesAfterReshape > 0) return true;
    // Nets drawn from a plan carried over from a drag are drawn again, exactly, once they hold
    // still: the picture and the depths that picking reads are then the whole drawing's.
    if (netsDrawnFromCarriedPlan()) return true;
    if (data.shownHelp != helpShown(HelpWindow::main)) return true;
    if (!sameMainSceneInputs(data.scene, s, mainViewSettings(), data.scratch)) return true;
    return !sameProbePicture(data.shownProbe, probeOnScreen(s.surface, s.view));
}

void mainViewReshaped() {
    data.framesAfterReshape = 2;
}

long mainSceneDrawCount() {
    return data.sceneDraws;
}

long mainFrameCount() {
    return data.frameCount;
}

void setSurfaceCaching(bool on) {
    data.surfaceCaching = on;
}

void setSurfaceTessellator(SurfaceTessellator tessellator) {
    data.tessellator = tessellator;
}
