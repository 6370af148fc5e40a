// The main 3D view as the user sees it: background, surface in outline and fill, highlighted
// points, the skinned net, the expanded net, the camera, and what happens with nets that do not
// match their counts.
#include <GL/freeglut.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>

#include "model/derived_nets.h"
#include "model/editor_state.h"
#include "support/gui_test_env.h"
#include "support/main_window_probe.h"
#include "support/test_surface.h"
#include "view/main_view.h"
#include "view/nurbs_renderers.h"

using testsupport::coveredMainPixels;
using testsupport::drawMainFrame;

namespace {

class MainView : public ::testing::Test {
protected:
    void SetUp() override {
        testsupport::resetMainView();
        testsupport::setBulgedSurface();
    }
};

bool sameColour(testsupport::Rgb a, testsupport::Rgb b) {
    return a.r == b.r && a.g == b.g && a.b == b.b;
}

// Pixels of the main window whose colour is pure red, the skinned net's points.
int redPixels() {
    const std::vector<unsigned char> rgb = drawMainFrame().rgb;
    int red = 0;
    for (size_t i = 0; i + 2 < rgb.size(); i += 3) {
        if (rgb[i] > 100 && rgb[i + 1] == 0 && rgb[i + 2] == 0) ++red;
    }
    return red;
}

}  // namespace

TEST_F(MainView, BackgroundIsLightGreyAndAxesShowWithoutASurface) {
    testsupport::clearSurface();
    const testsupport::MainFrame frame = drawMainFrame();
    const int covered = frame.covered();
    for (auto [x, y] : {std::pair{2, 2}, {637, 2}, {2, 477}, {637, 477}, {100, 400}}) {
        const testsupport::Rgb pixel = frame.at(x, y);
        EXPECT_EQ(pixel.r, 204) << x << "," << y;
        EXPECT_EQ(pixel.g, 204) << x << "," << y;
        EXPECT_EQ(pixel.b, 204) << x << "," << y;
    }
    EXPECT_GT(covered, 100);  // the axes and the section-camera marker
    EXPECT_LT(covered, 640 * 480 / 20);
}

TEST_F(MainView, SurfaceCoversPixelsAsOutlineAndManyMoreWhenFilled) {
    testsupport::clearSurface();
    const int empty = coveredMainPixels();
    testsupport::setBulgedSurface();
    const int outline = coveredMainPixels();
    editor.panel.surfaceDisplayMode = kDisplayModeFill;
    const testsupport::MainFrame frame = drawMainFrame();
    const int filled = frame.covered();
    EXPECT_GT(outline, empty + 1000);
    // The net spans about 300 x 180 pixels; filled, nearly all of it is covered.
    EXPECT_GT(filled, outline + 20000);
    EXPECT_GT(filled, 40000);
    // Corners stay background in both modes.
    EXPECT_TRUE(sameColour(frame.at(2, 2), {204, 204, 204}));
}

// Each section's start carries a yellow arrow along the section, drawn over the surface: it
// lies nearer each section's point 0 than its last point, and reversing every section takes it
// to the other end.
TEST_F(MainView, ArrowsMarkWhereEachSectionStartsAndWhichWayItRuns) {
    auto yellowCentre = [] {
        const testsupport::MainFrame frame = drawMainFrame();
        double x = 0.0, y = 0.0;
        int count = 0;
        for (int j = 0; j < frame.height; ++j) {
            for (int i = 0; i < frame.width; ++i) {
                const testsupport::Rgb c = frame.at(i, j);
                if (c.r < 235 || c.g < 195 || c.g > 235 || c.b > 60) continue;
                x += i;
                y += frame.height - j;  // window rows, top first
                ++count;
            }
        }
        EXPECT_GT(count, 20);
        return std::make_pair(x / std::max(count, 1), y / std::max(count, 1));
    };
    auto meanOfPoints = [](int index) {
        double x = 0.0, y = 0.0;
        const SurfaceModel& s = editor.surface;
        for (int v = 0; v < s.countV; ++v) {
            const PointH& p = s.controlNet[static_cast<size_t>(v * s.countU + index)];
            const auto at = testsupport::mainWindowPositionOf(p.x / p.w, p.y / p.w, p.z / p.w);
            x += at.x;
            y += at.y;
        }
        return std::make_pair(x / s.countV, y / s.countV);
    };
    auto nearer = [](std::pair<double, double> c, std::pair<double, double> a,
                     std::pair<double, double> b) {
        return std::hypot(c.first - a.first, c.second - a.second) <
               std::hypot(c.first - b.first, c.second - b.second);
    };
    const int last = editor.surface.countU - 1;
    const auto before = yellowCentre();
    EXPECT_TRUE(nearer(before, meanOfPoints(0), meanOfPoints(last)));
    for (int v = 0; v < editor.surface.countV; ++v) {
        auto first = editor.surface.controlNet.begin() + v * editor.surface.countU;
        std::reverse(first, first + editor.surface.countU);
    }
    const auto after = yellowCentre();
    EXPECT_TRUE(nearer(after, meanOfPoints(0), meanOfPoints(last)));
    EXPECT_GT(std::hypot(after.first - before.first, after.second - before.second), 20.0);
}

TEST_F(MainView, PickedPointIsHighlightedAndTheNextOneIsNot) {
    // Points 6 and 7 (inner points of the middle section) stand in front of the surface.
    testsupport::MainFrame frame = drawMainFrame();
    auto sample = [&frame](int index) {
        const PointH& p = editor.surface.controlNet[static_cast<size_t>(index)];
        const auto at = testsupport::mainWindowPositionOf(p.x / p.w, p.y / p.w, p.z / p.w);
        // Just off the centre, clear of the section's polyline and of the "z" label.
        return frame.at(at.x - 3, frame.height - at.y + 3);
    };
    const testsupport::Rgb plain6 = sample(6);
    const testsupport::Rgb plain7 = sample(7);

    editor.selection.pickedPointOffset = 4 * 6;
    frame = drawMainFrame();
    const testsupport::Rgb picked6 = sample(6);
    const testsupport::Rgb after7 = sample(7);
    EXPECT_FALSE(sameColour(picked6, plain6));
    EXPECT_TRUE(sameColour(after7, plain7));
}

TEST_F(MainView, ExpandedNetRepeatsEachSectionAndHasUniformTKnots) {
    editor.derived.multiplicity = 3;
    releaseExpandedNet(editor.derived);
    refreshShownValues(editor);
    const int orderV = 3, countV = 3, m = 3;
    const int n = m * countV + orderV;
    ASSERT_EQ(editor.derived.expandedKnotCountV, n);
    ASSERT_EQ(editor.derived.expandedKnotsV.size(), static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        float expected;
        if (i < orderV) {
            expected = 0.0f;
        } else if (i >= n - orderV) {
            expected = 1.0f;
        } else {
            expected = static_cast<float>(i - orderV + 1) / static_cast<float>(n - 2 * orderV + 1);
        }
        EXPECT_EQ(editor.derived.expandedKnotsV[static_cast<size_t>(i)], expected) << "knot " << i;
    }
    ASSERT_EQ(editor.derived.expandedNet.size(), static_cast<size_t>(5 * m * countV));
    for (int row = 0; row < m * countV; ++row) {
        for (int j = 0; j < 5; ++j) {
            const PointH& e = editor.derived.expandedNet[static_cast<size_t>(row * 5 + j)];
            const PointH& c = editor.surface.controlNet[static_cast<size_t>(row / m * 5 + j)];
            EXPECT_EQ(e.x, c.x);
            EXPECT_EQ(e.y, c.y);
            EXPECT_EQ(e.z, c.z);
            EXPECT_EQ(e.w, c.w);
        }
    }
}

TEST_F(MainView, ExpandedNetOfAnOldShapeIsRebuiltWhenBroughtIntoStep) {
    editor.derived.multiplicity = 2;
    refreshShownValues(editor);
    ASSERT_EQ(editor.derived.expandedNet.size(), 5u * 2 * 3);
    // A section point is deleted behind the model's back: four points per section now, while
    // the expanded net still holds rows of five.
    std::vector<PointH> net;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 4; ++j)
            net.push_back(editor.surface.controlNet[static_cast<size_t>(i * 5 + j)]);
    }
    const auto staleNet = editor.derived.expandedNet;
    const auto staleKnots = editor.derived.expandedKnotsV;
    testsupport::setSurface(4, 3, 3, 3, net);
    editor.derived.multiplicity = 2;
    editor.derived.expandedNet = staleNet;
    editor.derived.expandedKnotsV = staleKnots;
    refreshShownValues(editor);
    EXPECT_EQ(editor.derived.expandedNet.size(), 4u * 2 * 3);
    EXPECT_EQ(editor.derived.expandedNet[4].x,
              net[0].x);  // row 1 repeats section 0 at the new width
}

TEST_F(MainView, SkinnedNetPointsAreRedOnlyWhileTheSkinnedNetMatchesTheCounts) {
    EXPECT_EQ(redPixels(), 0);
    editor.panel.skinningEnabled = 1;
    editor.derived.skinnedNet = editor.surface.controlNet;
    for (PointH& p : editor.derived.skinnedNet) p.y += 0.1f;  // beside the control points
    editor.derived.skinnedKnotsV = editor.surface.knotsV;
    EXPECT_GT(redPixels(), 50);

    // One section short: the skinned net is out of date and must not be drawn from.
    editor.derived.skinnedNet.resize(10);
    EXPECT_EQ(redPixels(), 0);
    editor.derived.skinnedNet.clear();
    editor.derived.skinnedKnotsV.clear();
    EXPECT_EQ(redPixels(), 0);
    editor.panel.skinningEnabled = 0;
}

TEST_F(MainView, NetThatNoLongerMatchesItsCountsIsNotDrawn) {
    editor.panel.surfaceDisplayMode = kDisplayModeFill;
    const int filled = coveredMainPixels();
    // Counts that claim more points than the net holds (15 stored, 6 x 3 claimed).
    editor.surface.countU = 6;
    editor.surface.knotCountU = 9;
    editor.surface.knotsU.assign(9, 0.0f);
    const int mismatched = coveredMainPixels();
    EXPECT_LT(mismatched, filled / 4);
}

TEST_F(MainView, ZeroAndNegativeWeightsDrawWithoutFailing) {
    std::vector<PointH> net = testsupport::bulgedNet();
    net[0] = {0.0f, 0.0f, 0.0f, 0.0f};
    net[6] = testsupport::weighted(-0.5f, 0.0f, 0.5f, -1.0f);
    testsupport::setSurface(5, 3, 3, 3, net);
    editor.view.probeU = editor.view.probeV = 0.0f;  // the probe sits on the zero-weight corner
    testing::internal::CaptureStdout();
    coveredMainPixels();
    editor.panel.surfaceDisplayMode = kDisplayModeFill;
    const int covered = coveredMainPixels();
    testing::internal::GetCapturedStdout();
    EXPECT_GT(covered, 0);
}

TEST_F(MainView, NurbsErrorsGoToStandardOutputAndTheFrameGoesOn) {
    testing::internal::CaptureStdout();
    nurbsErrorCallback(GLU_NURBS_ERROR4);
    std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(printed, std::string("Nurbs Error: ") +
                           reinterpret_cast<const char*>(gluErrorString(GLU_NURBS_ERROR4)) + "\n");

    // A knot vector edited out of order: GLU refuses the surface, the net and axes still show.
    editor.surface.knotsU = {0.0f, 0.0f, 0.0f, 0.8f, 0.2f, 1.0f, 1.0f, 1.0f};
    testing::internal::CaptureStdout();
    const int covered = coveredMainPixels();
    printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(printed.rfind("Nurbs Error: ", 0), 0u) << printed;
    EXPECT_GT(covered, 100);
}

// The revolved bottle's normals face inwards, away from an eye outside it: with one side lit, the
// whole bottle drew in one flat ambient colour. Both sides are lit, so it is shaded from anywhere.
TEST_F(MainView, AFilledSurfaceIsShadedOnBothSides) {
    ASSERT_TRUE(testsupport::loadSurface(testsupport::examplePath("bottle.surf")));
    editor.panel.surfaceDisplayMode = kDisplayModeFill;
    const struct {
        const char* name;
        float target[3];
        float polar, azimuth, distance;
    } views[] = {
        {"from outside", {0.0f, 0.0f, 0.0f}, 1.3f, 0.4f, 3.0f},
        {"from inside the body", {0.0f, -0.3f, 0.0f}, 1.2f, 0.5f, 0.02f},
    };
    for (const auto& v : views) {
        for (int i = 0; i < 3; ++i) editor.view.cameraTarget[i] = v.target[i];
        editor.view.cameraPolar = v.polar;
        editor.view.cameraAzimuth = v.azimuth;
        editor.view.cameraDistance = v.distance;
        const testsupport::MainFrame frame = testsupport::drawMainFrame();
        // Flat shading puts most of the surface into its single most common colour.
        std::map<int, int> colours;
        int covered = 0;
        for (size_t i = 0; i + 2 < frame.rgb.size(); i += 3) {
            const int r = frame.rgb[i], g = frame.rgb[i + 1], b = frame.rgb[i + 2];
            if (r == 204 && g == 204 && b == 204) continue;
            ++covered;
            ++colours[(r << 16) | (g << 8) | b];
        }
        int most = 0;
        for (const auto& entry : colours) most = std::max(most, entry.second);
        ASSERT_GT(covered, 10000) << v.name;
        EXPECT_LT(most, covered / 5)
            << v.name << ": " << most << " of " << covered << " pixels in one colour";
    }
}

TEST_F(MainView, CameraEyeFollowsPolarAzimuthAndDistanceAroundTheTarget) {
    editor.view.cameraPolar = 1.0f;
    editor.view.cameraAzimuth = 0.5f;
    editor.view.cameraDistance = 2.0f;
    editor.view.cameraTarget[0] = 0.1f;
    editor.view.cameraTarget[1] = 0.2f;
    editor.view.cameraTarget[2] = -0.3f;
    mainDisplay();
    GLdouble m[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, m);
    // The eye is where the model-view matrix takes the model point to the origin: -R^T t.
    const double eye[3] = {-(m[0] * m[12] + m[1] * m[13] + m[2] * m[14]),
                           -(m[4] * m[12] + m[5] * m[13] + m[6] * m[14]),
                           -(m[8] * m[12] + m[9] * m[13] + m[10] * m[14])};
    EXPECT_NEAR(eye[0], 0.1 + 2.0 * std::sin(1.0) * std::sin(0.5), 1e-5);
    EXPECT_NEAR(eye[1], 0.2 + 2.0 * std::cos(1.0), 1e-5);
    EXPECT_NEAR(eye[2], -0.3 + 2.0 * std::sin(1.0) * std::cos(0.5), 1e-5);
    // Up stays +y: the camera's x axis has no y component.
    EXPECT_NEAR(m[4 * 1 + 0], 0.0, 1e-6);
}

TEST_F(MainView, FrameEndsWithTheMainWindowCurrent) {
    glutSetWindow(editor.handles.sectionWindow);
    const long before = mainFrameCount();
    mainDisplay();
    EXPECT_EQ(glutGetWindow(), editor.handles.mainWindow);
    EXPECT_EQ(mainFrameCount(), before + 1);
}

namespace {

// The sampling method the main view's renderer was left with by the last frame.
float samplingOfLastFrame() {
    drawMainFrame();
    float method = 0.0f;
    gluGetNurbsProperty(static_cast<GLUnurbs*>(editor.handles.surfaceRenderer), GLU_SAMPLING_METHOD,
                        &method);
    return method;
}

}  // namespace

// GLU samples by path length (its default) in every ordinary view, near ones included; only a
// net whose samples would run into the millions (one reaching from near the eye to far away)
// is sampled at fixed steps, and the next ordinary view samples by path length again.
TEST_F(MainView, OrdinaryViewsKeepGlusPathLengthSampling) {
    for (const char* sample : {"vase.surf", "hull.surf", "bottle.surf"}) {
        ASSERT_TRUE(testsupport::loadSurface(testsupport::examplePath(sample)));
        for (float distance : {3.9f, 2.5f, 1.5f}) {
            editor.view.cameraDistance = distance;
            EXPECT_EQ(samplingOfLastFrame(), GLU_PATH_LENGTH) << sample << " at " << distance;
        }
    }
    std::vector<PointH> net;
    for (int i = 0; i < 9; ++i) net.push_back(testsupport::weighted(i % 3 - 1, i / 3 - 1, 0, 1));
    net[4] = testsupport::weighted(0, 0, 3.89f, 1);  // just in front of the eye
    testsupport::setSurface(3, 3, 3, 3, net);
    editor.view.cameraDistance = 3.9f;
    EXPECT_EQ(samplingOfLastFrame(), GLU_DOMAIN_DISTANCE);
    net[4] = testsupport::weighted(0, 0, 0.5f, 1);
    testsupport::setSurface(3, 3, 3, 3, net);
    EXPECT_EQ(samplingOfLastFrame(), GLU_PATH_LENGTH);
}
