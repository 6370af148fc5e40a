// The section window's drawing: orthographic camera from the -x side at the section's centroid,
// the background image, the current section's rational curve and points, centroid and axes.
#include "view/section_view.h"

#include <GL/freeglut.h>
#include <GL/glu.h>

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "io/editor_file_io.h"
#include "model/background_calibration.h"
#include "model/editor_state.h"
#include "model/section_camera.h"
#include "view/glu_limits.h"
#include "view/help_overlay.h"
#include "view/lines_overlay.h"
#include "view/nurbs_renderers.h"
#include "view/section_comb.h"

namespace {

// A 64-bit FNV-1a digest of everything a section frame is drawn from.
struct SectionDigest {
    uint64_t value = 14695981039346656037ull;
    void add(const void* bytes, size_t count) {
        const unsigned char* p = static_cast<const unsigned char*>(bytes);
        for (size_t i = 0; i < count; ++i) value = (value ^ p[i]) * 1099511628211ull;
    }
    template <typename T>
    void add(const T& v) {
        add(&v, sizeof v);
    }
};

uint64_t sectionInputs(const EditorState& s) {
    SectionDigest d;
    const SurfaceModel& m = s.surface;
    d.add(m.countU);
    d.add(m.countV);
    d.add(m.orderU);
    d.add(m.knotCountU);
    d.add(m.knotsU.data(), m.knotsU.size() * sizeof(float));
    if (hasSection(m, s.selection.currentSection)) {
        d.add(sectionPoints(m, s.selection.currentSection), m.countU * sizeof(PointH));
    }
    d.add(s.selection.currentSection);
    d.add(s.selection.selectedPoint);
    d.add(s.selection.sectionCentroid);
    const ViewState& v = s.view;
    d.add(v.sectionWindowWidth);
    d.add(v.sectionWindowHeight);
    d.add(v.sectionZoom);
    d.add(v.sectionEyeOffset);
    d.add(v.sectionRefOffset);
    d.add(v.backgroundTexture);
    d.add(v.backgroundWidth);
    d.add(v.backgroundHeight);
    d.add(v.backgroundPlacement.scale);
    d.add(v.backgroundPlacement.originZ);
    d.add(v.backgroundPlacement.originY);
    d.add(v.backgroundPlacement.opacity);
    d.add(v.calibration.step);
    d.add(v.calibration.marks);
    d.add(v.curvatureComb);
    d.add(helpShown(HelpWindow::section));
    // The station drawn with the lines depends on the whole surface.
    d.add(s.panel.showLines);
    if (s.panel.showLines != 0) {
        d.add(s.panel.skinningEnabled);
        d.add(m.controlNet.data(), m.controlNet.size() * sizeof(PointH));
        d.add(m.knotsV.data(), m.knotsV.size() * sizeof(float));
        d.add(s.panel.mirrorEnabled);
        d.add(s.panel.mirrorPlane);
    }
    return d.value;
}

// The digest of the inputs of the last frame sectionDisplay drew, and the frames still owed to a
// new window size: the GL may resize its buffers only after the first swap at the new size, so
// the frame drawn right after a reshape can land in the old, smaller buffer (clipped and off
// centre), and one more frame follows it.
struct SectionViewData {
    bool drawn = false;
    uint64_t drawnInputs = 0;
    int framesAfterReshape = 0;
};
SectionViewData sectionData;

// The orthographic box is 2 units wide and as high as keeps the window's aspect ratio, so a
// unit is as many pixels up as across; depth runs 0 to 100 from the eye along +x.
void applySectionProjection() {
    const ViewState& view = editor.view;
    const double h = sectionHalfHeight(view.sectionWindowWidth, view.sectionWindowHeight);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-1.0, 1.0, -h, h, 0.0, 100.0);
    glMatrixMode(GL_MODELVIEW);
}

// First point of the current section in controlNet, or -1 when the net does not match its
// counts or the current section does not exist.
std::ptrdiff_t currentSectionStart(const SurfaceModel& surface, const Selection& selection) {
    if (!hasSection(surface, selection.currentSection)) return -1;
    return static_cast<std::ptrdiff_t>(selection.currentSection) * surface.countU;
}

// The image in the plane x = 0 where its placement puts it (uncalibrated: 1 unit wide along z,
// centred on the model origin), faded by its opacity. The image's first row (FreeImage stores
// the bottom row first) lies along the lower edge, so it shows upright and unmirrored from the
// -x side.
void drawBackgroundRectangle(const ViewState& view) {
    if (view.backgroundTexture == 0 || view.backgroundWidth <= 0 || view.backgroundHeight <= 0)
        return;
    const ImageRectangle r =
        imageRectangle(view.backgroundPlacement, view.backgroundWidth, view.backgroundHeight);
    const float opacity = view.backgroundPlacement.opacity;
    glBindTexture(GL_TEXTURE_2D, view.backgroundTexture);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glEnable(GL_TEXTURE_2D);
    if (opacity < 1.0f) {
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    }
    glColor4f(1.0f, 1.0f, 1.0f, opacity);
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(0.0f, r.minY, r.minZ);
    glTexCoord2f(1.0f, 0.0f);
    glVertex3f(0.0f, r.minY, r.maxZ);
    glTexCoord2f(1.0f, 1.0f);
    glVertex3f(0.0f, r.maxY, r.maxZ);
    glTexCoord2f(0.0f, 1.0f);
    glVertex3f(0.0f, r.maxY, r.minZ);
    glEnd();
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, 0);
}

// The marks of a calibration under way, as small yellow crosses on the image.
void drawCalibrationMarks(const ViewState& view) {
    const CalibrationStep step = view.calibration.step;
    const int marks = step == CalibrationStep::secondMark ? 1
                      : step == CalibrationStep::distance ? 2
                                                          : 0;
    if (marks == 0 || view.backgroundTexture == 0) return;
    const float arm = 0.03f / (view.sectionZoom != 0.0f ? std::fabs(view.sectionZoom) : 1.0f);
    glColor3f(1.0f, 0.9f, 0.1f);
    glBegin(GL_LINES);
    for (int m = 0; m < marks; ++m) {
        float z = 0.0f, y = 0.0f;
        imageToPlane(view.backgroundPlacement, view.calibration.marks[m][0],
                     view.calibration.marks[m][1], z, y);
        glVertex3f(0.0f, y - arm, z);
        glVertex3f(0.0f, y + arm, z);
        glVertex3f(0.0f, y, z - arm);
        glVertex3f(0.0f, y, z + arm);
    }
    glEnd();
}

// The section's points are passed homogeneous, so GLU draws the rational curve.
void drawSectionCurve(GLUnurbs* renderer, const SurfaceModel& surface, std::ptrdiff_t first) {
    if (surface.orderU > surface.countU) return;  // no curve of that order: points only
    if (!fitsGluRange(&surface.controlNet[first], static_cast<size_t>(surface.countU),
                      surface.knotsU.data(), surface.knotsU.size())) {
        return;  // numbers GLU cannot work with; the points are still drawn
    }
    glColor3f(1.0f, 1.0f, 1.0f);
    gluBeginCurve(renderer);
    // GLU takes non-const pointers but only reads the knots and points.
    gluNurbsCurve(renderer, surface.knotCountU, const_cast<GLfloat*>(surface.knotsU.data()), 4,
                  const_cast<GLfloat*>(&surface.controlNet[first].x), surface.orderU,
                  GL_MAP1_VERTEX_4);
    gluEndCurve(renderer);
}

// Magenta points with the selected one in (0.8, 0.2, 0.3), then the centroid in green.
void drawSectionPoints(const SurfaceModel& surface, const Selection& selection,
                       std::ptrdiff_t first) {
    glPointSize(5.0f);
    glColor3f(1.0f, 0.0f, 1.0f);
    glBegin(GL_POINTS);
    for (int i = 0; i < surface.countU; ++i) {
        if (i == selection.selectedPoint) glColor3f(0.8f, 0.2f, 0.3f);
        glVertex4fv(&surface.controlNet[first + i].x);
        if (i == selection.selectedPoint) glColor3f(1.0f, 0.0f, 1.0f);
    }
    glColor3f(0.3f, 0.7f, 0.2f);
    glVertex3f(selection.sectionCentroid[0], selection.sectionCentroid[1],
               selection.sectionCentroid[2]);
    glEnd();
}

// Background, the curvature comb when shown, the current section's curve and points.
void drawSectionScene(const SurfaceModel& surface, const Selection& selection,
                      const ViewState& view, void*& sectionRenderer) {
    glColor3f(1.0f, 1.0f, 1.0f);
    GLUnurbs* renderer = viewRenderer(NurbsView::section, sectionRenderer, nullptr);
    // The zoom scales about the model origin, not about the camera's reference point, and stays
    // on the model-view matrix: the axes and the unprojection of the mouse handlers use it too.
    glScalef(view.sectionZoom, view.sectionZoom, view.sectionZoom);
    drawBackgroundRectangle(view);
    drawCalibrationMarks(view);
    const std::ptrdiff_t first = currentSectionStart(surface, selection);
    if (first < 0) return;
    if (view.curvatureComb != 0) drawCurvatureComb(surface, selection.currentSection, view);
    drawSectionCurve(renderer, surface, first);
    drawSectionPoints(surface, selection, first);
}

void drawSectionAxes() {
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

}  // namespace

void sectionReshape(int width, int height) {
    editor.view.sectionWindowWidth = width;
    editor.view.sectionWindowHeight = height;
    applySectionProjection();
    glViewport(0, 0, width, height);
    sectionData.framesAfterReshape = 2;
}

void drawSectionFrame(const SurfaceModel& surface, const Selection& selection,
                      const ViewState& view, void*& sectionRenderer) {
    // 1. Flat, unlit drawing in painter's order: no depth test, later primitives on top.
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glClear(GL_COLOR_BUFFER_BIT);

    // 2. Camera 5 units on the -x side of the reference point, looking along +x, +y up.
    applySectionProjection();
    glLoadIdentity();
    const Point3 eye = sectionCameraEye(selection.sectionCentroid, view);
    const Point3 ref = sectionCameraRef(selection.sectionCentroid, view);
    gluLookAt(eye.x, eye.y, eye.z, ref.x, ref.y, ref.z, 0.0, 1.0, 0.0);

    // 3. Background, curve and points, under the zoom scale; the axes stay under it too.
    drawSectionScene(surface, selection, view, sectionRenderer);
    drawSectionAxes();
}

void drawSectionWindow(EditorState& s) {
    drawSectionFrame(s.surface, s.selection, s.view, s.handles.sectionRenderer);
    // With the lines shown, the station of the surface through the section's centroid, drawn
    // under the frame's camera and zoom.
    if (s.panel.showLines != 0) {
        SurfaceModel skinned;
        drawStationOverlay(surfaceToSave(s.surface, s.panel.skinningEnabled != 0, s.derived, skinned),
                           s.panel, s.selection.sectionCentroid[0]);
    }
}

void sectionDisplay() {
    EditorState& s = editor;
    drawSectionWindow(s);
    drawHelpOverlay(HelpWindow::section, s.view.sectionWindowWidth, s.view.sectionWindowHeight);
    glFlush();
    glutSwapBuffers();
    sectionData.drawn = true;
    sectionData.drawnInputs = sectionInputs(s);
    if (sectionData.framesAfterReshape > 0) --sectionData.framesAfterReshape;
}

bool sectionViewStale() {
    return !sectionData.drawn || sectionData.framesAfterReshape > 0 ||
           sectionData.drawnInputs != sectionInputs(editor);
}
