// The main view's analysis shadings and the section window's curvature comb as the user sees
// them: zebra bands alternate across a bent sheet, the curvature map shows the sign of a dome's
// and a saddle's curvature in colour, a right click still picks a control point in every
// shading, and the comb shows, under the points, only while switched on.
#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "input/main_input.h"
#include "input/section_input.h"
#include "model/editor_state.h"
#include "model/mirror_plane.h"
#include "model/section_centroid.h"
#include "support/gui_test_env.h"
#include "support/main_window_probe.h"
#include "support/test_surface.h"
#include "view/grid_renderer.h"
#include "view/section_view.h"

using testsupport::drawMainFrame;
using testsupport::MainFrame;
using testsupport::Rgb;

namespace {

// n x n points over x, y in [-1, 1] facing the start-up camera (on +z), z = height(x, y);
// orders 3 x 3. u runs along x, v along y, so Su x Sv points to the camera.
void setHeightField(const std::function<float(float, float)>& height, int n = 7) {
    std::vector<PointH> net;
    for (int j = 0; j < n; ++j) {
        for (int i = 0; i < n; ++i) {
            const float x = 2.0f * i / (n - 1) - 1.0f, y = 2.0f * j / (n - 1) - 1.0f;
            net.push_back(testsupport::weighted(x, y, height(x, y), 1.0f));
        }
    }
    testsupport::setSurface(n, n, 3, 3, net);
}

float dome(float x, float y) {
    return 0.6f * (1.0f - 0.5f * (x * x + y * y));
}
float bowl(float x, float y) {
    return -dome(x, y);
}
float saddle(float x, float y) {
    return 0.5f * (x * x - y * y);
}

class AnalysisShading : public ::testing::Test {
protected:
    void SetUp() override { testsupport::resetMainView(); }
    void TearDown() override {
        editor.panel.shading = kShadingGlu;
        editor.panel.curvatureKind = kCurvatureGaussian;
        editor.view.curvatureComb = 0;
    }
};

// The frame's pixel under the surface's point near the centre of its parameters, between the
// lines of the control net drawn over it.
Rgb centrePixel(const MainFrame& frame) {
    float x = 0, y = 0, z = 0;
    EXPECT_TRUE(evaluateSurfacePoint(editor.surface, x, y, z, 0.42f, 0.42f));
    const testsupport::WindowPosition at = testsupport::mainWindowPositionOf(x, y, z);
    return frame.at(at.x, frame.height - 1 - at.y);
}

struct SignCase {
    const char* name;
    float (*height)(float, float);
    int kind;
    int sign;  // of the value at the centre: +1 red, -1 blue
};

// K > 0 on a dome and a bowl, K < 0 on a saddle; H N points to the centre of curvature, so with
// the normal toward the camera H < 0 on the dome and H > 0 on the bowl.
const SignCase kSigns[] = {
    {"dome_gaussian", dome, kCurvatureGaussian, 1},
    {"bowl_gaussian", bowl, kCurvatureGaussian, 1},
    {"saddle_gaussian", saddle, kCurvatureGaussian, -1},
    {"dome_mean", dome, kCurvatureMean, -1},
    {"bowl_mean", bowl, kCurvatureMean, 1},
};

TEST_F(AnalysisShading, CurvatureMapShowsTheSignAsRedOrBlue) {
    for (const SignCase& c : kSigns) {
        SCOPED_TRACE(c.name);
        setHeightField(c.height);
        editor.panel.shading = kShadingCurvature;
        editor.panel.curvatureKind = c.kind;
        const MainFrame frame = drawMainFrame();
        const Rgb p = centrePixel(frame);
        if (c.sign > 0) {
            EXPECT_GT(p.r, p.b + 60) << p.r << " " << p.g << " " << p.b;
        } else {
            EXPECT_GT(p.b, p.r + 60) << p.r << " " << p.g << " " << p.b;
        }
        EXPECT_GT(lastAnalysisFrame().curvatureRange, 0.1f);
        EXPECT_GT(lastAnalysisFrame().columns, 10);
    }
}

// Dark and bright runs along the row through the sheet's middle, each at least 3 pixels long.
int bandChanges(const MainFrame& frame, int row) {
    int changes = 0, state = 0, run = 0;
    for (int x = 0; x < frame.width; ++x) {
        const Rgb p = frame.at(x, row);
        const int brightness = (p.r + p.g + p.b) / 3;
        const int now = brightness < 70 ? -1 : brightness > 150 ? 1 : 0;
        if (now == 0) continue;
        run = now == state ? run + 1 : 1;
        if (now != state && run == 1) {
            if (state != 0) ++changes;
            state = now;
        }
    }
    return changes;
}

TEST_F(AnalysisShading, ZebraBandsAlternateAcrossABentSheet) {
    setHeightField([](float x, float) { return 0.6f * x * x; });
    editor.panel.shading = kShadingZebra;
    const MainFrame frame = drawMainFrame();
    const int middle = 240;
    EXPECT_GE(bandChanges(frame, middle), 6);
    // Bands run along the camera's up direction: the same pattern a little higher and lower.
    EXPECT_NEAR(bandChanges(frame, middle + 50), bandChanges(frame, middle), 2);
    EXPECT_NEAR(bandChanges(frame, middle - 50), bandChanges(frame, middle), 2);
}

// With "mirror" on, the half sheet's image across x = 0 shows what the reflected sheet drawn by
// itself shows: the same curvature colours, and the stripes the camera sees on the reflected
// sheet (its own reflections of the view, not the half's stripes copied), so a crease along the
// plane shows as broken stripes. Only the control net, drawn for the half alone, differs.
TEST_F(AnalysisShading, TheMirrorImageShowsWhatTheReflectedSheetShows) {
    std::vector<PointH> half;
    for (int j = 0; j < 3; ++j) {
        for (int i = 0; i < 3; ++i) {
            const float x = 0.1f + 0.45f * i, y = j - 1.0f;
            half.push_back(testsupport::weighted(x, y, 0.8f * x * x - 0.3f * y * y + 0.3f * x, 1.0f));
        }
    }
    const MirrorPlane plane{0, 0.0f};
    for (const int shading : {kShadingZebra, kShadingCurvature}) {
        editor.panel.shading = shading;
        testsupport::setSurface(3, 3, 3, 3, half);
        editor.panel.mirrorEnabled = 1;
        editor.panel.mirrorPlane = plane;
        const MainFrame mirrored = drawMainFrame();
        editor.panel.mirrorEnabled = 0;
        testsupport::setSurface(3, 3, 3, 3, reflectSurface(editor.surface, plane).controlNet);
        const MainFrame reflected = drawMainFrame();
        int either = 0, differing = 0;
        for (int y = 0; y < mirrored.height; ++y) {
            for (int x = 0; x < mirrored.width / 2; ++x) {
                const Rgb a = mirrored.at(x, y), b = reflected.at(x, y);
                const bool coveredA = a.r != 204 || a.g != 204 || a.b != 204;
                const bool coveredB = b.r != 204 || b.g != 204 || b.b != 204;
                if (!coveredA && !coveredB) continue;
                ++either;
                if (std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b) > 90) ++differing;
            }
        }
        EXPECT_GT(either, 20000) << shading;
        EXPECT_LT(differing, either / 25) << shading << ": " << differing << " of " << either;
    }
    editor.panel.mirrorPlane = MirrorPlane();
}

// A right click on a corner of the surface (a control point on it) picks that point whatever
// the shading: the depth buffer holds the surface in every mode.
TEST_F(AnalysisShading, RightClickPicksAControlPointInEveryShading) {
    for (int shading : {kShadingGlu, kShadingZebra, kShadingCurvature}) {
        SCOPED_TRACE(shading);
        setHeightField(dome, 5);
        editor.panel.shading = shading;
        editor.panel.fillSurface = 1;
        editor.panel.surfaceDisplayMode = kDisplayModeFill;
        const PointH& corner = editor.surface.controlNet[24];
        drawMainFrame();
        const testsupport::WindowPosition at =
            testsupport::mainWindowPositionOf(corner.x, corner.y, corner.z);
        glutSetWindow(editor.handles.mainWindow);
        drawMainFrame();  // the pick reads the depth buffer of the last frame
        mainMouse(GLUT_RIGHT_BUTTON, GLUT_DOWN, at.x, at.y);
        EXPECT_EQ(editor.selection.pickedPointOffset, 4 * 24);
    }
}

// Pixels of the comb's orange in the section window.
int combPixels() {
    int width = 0, height = 0;
    const std::vector<unsigned char> rgb = testsupport::drawAndReadBack(
        editor.handles.sectionWindow,
        [] {
            drawSectionFrame(editor.surface, editor.selection, editor.view,
                             editor.handles.sectionRenderer);
        },
        &width, &height);
    int count = 0;
    for (size_t i = 0; i + 2 < rgb.size(); i += 3) {
        if (rgb[i] > 200 && rgb[i + 1] > 120 && rgb[i + 1] < 220 && rgb[i + 2] < 90) ++count;
    }
    return count;
}

// Three copies of a section in the planes x = 0, 0.1, 0.2, (y, z) per point; orders 3 x 2.
void setSections(const std::vector<std::pair<float, float>>& section) {
    std::vector<PointH> net;
    for (int v = 0; v < 3; ++v) {
        for (const auto& [y, z] : section) net.push_back(testsupport::weighted(0.1f * v, y, z, 1));
    }
    testsupport::setSurface(static_cast<int>(section.size()), 3, 3, 2, net);
    editor.view.sectionZoom = 1.0f;
    computeSectionCentroid(editor.surface, 0, editor.selection.sectionCentroid);
}

TEST_F(AnalysisShading, CombShowsWhileSwitchedOnAndOnlyWhereTheCurveBends) {
    const std::vector<std::pair<float, float>> bent = {{-0.5f, -0.5f}, {0.3f, 0}, {-0.5f, 0.5f}};
    const std::vector<std::pair<float, float>> straight = {{-0.5f, -0.5f}, {0, 0}, {0.5f, 0.5f}};
    const struct {
        const char* name;
        const std::vector<std::pair<float, float>>* section;
        bool combOn;
        int least, most;
    } cases[] = {
        {"bent, comb off", &bent, false, 0, 0},
        {"bent, comb on", &bent, true, 150, 100000},
        {"straight, comb on", &straight, true, 0, 40},  // teeth of length 0
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        setSections(*c.section);
        editor.view.curvatureComb = 0;
        if (c.combOn) {
            glutSetWindow(editor.handles.sectionWindow);
            sectionKeyboard('k', 0, 0);
        }
        const int pixels = combPixels();
        EXPECT_GE(pixels, c.least);
        EXPECT_LE(pixels, c.most);
    }
}

}  // namespace
