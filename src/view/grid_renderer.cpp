// The analysis shadings of the main view: the surface grid evaluated on both cores, zebra
// coordinates or curvature colours per vertex, drawn as indexed triangles from vertex arrays.
#include "view/grid_renderer.h"

#include <GL/gl.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "model/editor_parts.h"
#include "model/surface_analysis.h"
#include "view/grid_key.h"
#include "view/redraw.h"
#include "view/worker_thread.h"

namespace {

// The renderer's own state: the kept grid with its per-vertex data, and the stripe texture.
struct GridRendererData {
    std::unique_ptr<WorkerThread> worker;  // started on first use
    GridKey key;                           // what the kept grid was made from
    int shading = -1, curvatureKind = -1;
    bool valid = false;
    bool drawnLast = false;  // the last drawAnalysisSurface drew the kept grid
    SurfaceGrid grid;
    std::vector<float> zebra;         // stripe coordinate per vertex
    // The stripe coordinates of the grid seen through the mirror plane's reflection, and the
    // model-view matrix (the reflection included) they were computed for.
    std::vector<float> mirroredZebra;
    float mirroredModelView[16] = {};
    bool mirroredValid = false;
    std::vector<uint8_t> colours;     // curvature colour per vertex
    std::vector<uint32_t> triangles;  // indices of the cells whose four corners are defined
    AnalysisFrameInfo info;
    GLuint stripeTexture = 0;  // in the main window's context
};

GridRendererData data;

constexpr float kBandsAcross = 4.0f;  // stripe pairs per unit of the reflected direction
constexpr int kStripeTexels = 64;

// Two triangles per grid cell with four defined corners.
void buildTriangles(const SurfaceGrid& grid, std::vector<uint32_t>& triangles) {
    triangles.clear();
    for (int j = 0; j + 1 < grid.rows; ++j) {
        for (int i = 0; i + 1 < grid.columns; ++i) {
            const uint32_t a = static_cast<uint32_t>(j * grid.columns + i);
            const uint32_t b = a + 1;
            const uint32_t c = a + static_cast<uint32_t>(grid.columns);
            const uint32_t d = c + 1;
            if (!grid.defined[a] || !grid.defined[b] || !grid.defined[c] || !grid.defined[d]) {
                continue;
            }
            triangles.insert(triangles.end(), {a, b, d, a, d, c});
        }
    }
}

// The kept grid's stripe coordinates seen by the camera of the model-view matrix m = [R t], R
// orthogonal: the eye in model coordinates is -R^T t and the camera's right direction the first
// row of R. Under a mirror plane's reflection F this is the eye and right direction reflected,
// so the image shows the stripes the reflected surface itself would show.
void zebraSeenThrough(const float* m, std::vector<float>& coordinates) {
    const Point3 eye(-(m[0] * m[12] + m[1] * m[13] + m[2] * m[14]),
                     -(m[4] * m[12] + m[5] * m[13] + m[6] * m[14]),
                     -(m[8] * m[12] + m[9] * m[13] + m[10] * m[14]));
    const Vector3 right = normalized(Vector3(m[0], m[4], m[8]));
    zebraCoordinates(data.grid, eye, right, kBandsAcross, coordinates);
}

void evaluate(const NetSurface& surface, const CurrentView& view, int shading, int curvatureKind) {
    const ScreenProjection screen = screenProjectionOf(view);
    const GridParameters parameters = chooseGridParameters(surface, screen, GridDensity());
    if (!data.worker) data.worker = std::make_unique<WorkerThread>();
    const JobRunner bothCores = [](int jobs, const std::function<void(int)>& job) {
        shareJobs(
            *data.worker, jobs, [&job](int index, bool /*onWorker*/) { job(index); },
            [](int) { return true; });
    };
    const bool curvature = shading == kShadingCurvature;
    evaluateSurfaceGrid(surface, parameters,
                        curvature ? GridQuantity::curvature : GridQuantity::normals, data.grid,
                        bothCores);
    data.info.columns = data.grid.columns;
    data.info.rows = data.grid.rows;
    if (curvature) {
        const CurvatureKind kind =
            curvatureKind == kCurvatureMean ? CurvatureKind::mean : CurvatureKind::gaussian;
        const float range = curvatureScaleRange(data.grid, kind);
        // The panel shows the colour scale's range.
        if (range != data.info.curvatureRange) requestPanelRedraw();
        data.info.curvatureRange = range;
        curvatureColours(data.grid, kind, data.info.curvatureRange, data.colours);
    } else {
        // The eye and the camera's right direction in model coordinates, from the rigid
        // model-view matrix M = [R t]: eye = -R^T t, right = the first row of R.
        zebraSeenThrough(view.modelView, data.zebra);
    }
    buildTriangles(data.grid, data.triangles);
    storeKey(surface, view, data.key);
    data.shading = shading;
    data.curvatureKind = curvatureKind;
    data.valid = true;
    data.mirroredValid = false;
}

// A 1D texture of one white and one black band, repeated along the stripe coordinate; linear
// filtering softens the bands' edges by a texel.
void bindStripeTexture() {
    if (data.stripeTexture == 0 || !glIsTexture(data.stripeTexture)) {
        glGenTextures(1, &data.stripeTexture);
        glBindTexture(GL_TEXTURE_1D, data.stripeTexture);
        GLubyte texels[kStripeTexels];
        for (int i = 0; i < kStripeTexels; ++i) texels[i] = i < kStripeTexels / 2 ? 255 : 0;
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glTexImage1D(GL_TEXTURE_1D, 0, GL_LUMINANCE, kStripeTexels, 0, GL_LUMINANCE,
                     GL_UNSIGNED_BYTE, texels);
        glTexParameteri(GL_TEXTURE_1D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_1D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_1D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    }
    glBindTexture(GL_TEXTURE_1D, data.stripeTexture);
}

// Draws the kept grid in its shading, with the given stripe coordinates for zebra stripes.
void drawKeptGrid(const std::vector<float>& zebra) {
    if (data.triangles.empty()) return;

    const int shading = data.shading;
    glPushAttrib(GL_ENABLE_BIT | GL_LIGHTING_BIT | GL_TEXTURE_BIT | GL_POLYGON_BIT);
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glDisable(GL_CULL_FACE);
    glEnable(GL_DEPTH_TEST);
    // Both sides lit: the grid's normals are Su x Sv, which faces away from the eye on half of
    // a closed surface.
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, GL_TRUE);
    // The curvature map has no highlight: the light's blue-heavy specular would shift its hues.
    const GLfloat zebraSpecular[4] = {0.15f, 0.15f, 0.15f, 1.0f};
    const GLfloat none[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR,
                 shading == kShadingCurvature ? none : zebraSpecular);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 30.0f);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, data.grid.positions.data());
    glNormalPointer(GL_FLOAT, 0, data.grid.normals.data());
    if (shading == kShadingCurvature) {
        glEnable(GL_COLOR_MATERIAL);
        glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
        glEnableClientState(GL_COLOR_ARRAY);
        glColorPointer(3, GL_UNSIGNED_BYTE, 0, data.colours.data());
    } else {
        const GLfloat white[4] = {0.75f, 0.75f, 0.75f, 1.0f};
        glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, white);
        bindStripeTexture();
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        glEnable(GL_TEXTURE_1D);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glTexCoordPointer(1, GL_FLOAT, 0, zebra.data());
    }
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(data.triangles.size()), GL_UNSIGNED_INT,
                   data.triangles.data());
    glBindTexture(GL_TEXTURE_1D, 0);
    glPopClientAttrib();
    glPopAttrib();
}

}  // namespace

bool drawAnalysisSurface(const NetSurface& surface, int shading, int curvatureKind) {
    data.drawnLast = false;
    if (!netSurfaceUsable(surface)) return false;
    const CurrentView view = readView();
    if (!data.valid || data.shading != shading || data.curvatureKind != curvatureKind ||
        !sameShapeAndView(data.key, surface, view) || !sameNetPoints(data.key, surface)) {
        evaluate(surface, view, shading, curvatureKind);
    }
    drawKeptGrid(data.zebra);
    data.drawnLast = true;
    return true;
}

void drawAnalysisSurfaceAgain() {
    if (!data.drawnLast || data.triangles.empty()) return;
    if (data.shading == kShadingCurvature) {
        drawKeptGrid(data.zebra);
        return;
    }
    const CurrentView view = readView();
    if (!data.mirroredValid ||
        std::memcmp(view.modelView, data.mirroredModelView, sizeof view.modelView) != 0) {
        zebraSeenThrough(view.modelView, data.mirroredZebra);
        std::memcpy(data.mirroredModelView, view.modelView, sizeof view.modelView);
        data.mirroredValid = true;
    }
    drawKeptGrid(data.mirroredZebra);
}

AnalysisFrameInfo lastAnalysisFrame() {
    return data.info;
}

void releaseGridRenderer() {
    data.worker.reset();
    data = GridRendererData();
}
