// The section window as the user sees it: the background image's size, orientation, colours
// and calibration, failed and repeated image loads, the section's curve and points, and sections
// that cannot be drawn.
#include <FreeImage.h>
#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "input/calibration_input.h"
#include "input/section_input.h"
#include "io/calibration_file.h"
#include "model/editor_state.h"
#include "model/knots.h"
#include "support/gui_test_env.h"
#include "support/section_surface.h"
#include "view/background_image.h"
#include "view/section_view.h"

using testsupport::Rgb;
using testsupport::scratchDirectory;
using testsupport::SectionPoint;
using testsupport::sectionWindowPosition;
using testsupport::setSectionSurface;

namespace {

struct Color {
    int r, g, b;
};
constexpr Color kRed = {255, 0, 0};
constexpr Color kGreen = {0, 255, 0};
constexpr Color kBlue = {0, 0, 255};
constexpr Color kWhite = {255, 255, 255};
constexpr Color kMagenta = {255, 0, 255};
constexpr Color kSelected = {204, 51, 76};
constexpr Color kCentroid = {76, 178, 51};

bool near(Rgb pixel, Color c, int tolerance = 2) {
    return std::abs(pixel.r - c.r) <= tolerance && std::abs(pixel.g - c.g) <= tolerance &&
           std::abs(pixel.b - c.b) <= tolerance;
}

std::string describe(Rgb p) {
    return "(" + std::to_string(p.r) + ", " + std::to_string(p.g) + ", " + std::to_string(p.b) +
           ")";
}

// The window's clear colour (0.4, 0.5, 0.8).
bool isClearColour(Rgb p) {
    return near(p, {102, 128, 204}, 2);
}

// Writes a width x height PNG whose four quadrants have the given colours (FreeImage's first
// row is the bottom one).
std::string writeQuadrantImage(const char* name, int width, int height, Color bottomLeft,
                               Color bottomRight, Color topLeft, Color topRight) {
    FIBITMAP* bitmap = FreeImage_Allocate(width, height, 24);
    for (int row = 0; row < height; ++row) {
        BYTE* line = FreeImage_GetScanLine(bitmap, row);
        for (int column = 0; column < width; ++column, line += 3) {
            const bool top = row >= height / 2;
            const bool right = column >= width / 2;
            const Color c = top ? (right ? topRight : topLeft) : (right ? bottomRight : bottomLeft);
            line[FI_RGBA_RED] = static_cast<BYTE>(c.r);
            line[FI_RGBA_GREEN] = static_cast<BYTE>(c.g);
            line[FI_RGBA_BLUE] = static_cast<BYTE>(c.b);
        }
    }
    const std::string path = scratchDirectory() + "/" + name;
    EXPECT_TRUE(FreeImage_Save(FIF_PNG, bitmap, path.c_str(), 0));
    FreeImage_Unload(bitmap);
    return path;
}

std::string writeTextFile(const char* name, const char* text) {
    const std::string path = scratchDirectory() + "/" + name;
    FILE* f = fopen(path.c_str(), "w");
    fputs(text, f);
    fclose(f);
    return path;
}

bool loadBackground(const std::string& path) {
    snprintf(editor.panel.backgroundFileName, sizeof editor.panel.backgroundFileName, "%s",
             path.c_str());
    backgroundCallback(-1);
    return editor.panel.backgroundFileName[0] != '\0';
}

// Draws a frame with a section well outside the view and the camera's reference point on the
// model origin, so that only the background rectangle and the axes are in the window.
testsupport::SectionFrame frameWithSectionOutOfView(float zoom) {
    setSectionSurface({{0, 0, 3.0f, 1}, {0, 0.1f, 3.5f, 1}, {0, 0, 4.0f, 1}}, 2, 2, 2);
    for (int i = 0; i < 3; ++i)
        editor.view.sectionRefOffset[i] = -editor.selection.sectionCentroid[i];
    editor.view.sectionZoom = zoom;
    return testsupport::captureSectionFrame();
}

Rgb pixel(const testsupport::SectionFrame& frame, int x, int y) {
    int c[3];
    frame.at(x, y, c);
    return {c[0], c[1], c[2]};
}

// Number of pixels of row y (GL, up) or of column x that differ from the clear colour, and
// the first of them.
struct Coverage {
    int count = 0;
    int first = -1;
};
Coverage coveredInRow(const testsupport::SectionFrame& frame, int y) {
    Coverage run;
    for (int x = 0; x < frame.width; ++x) {
        if (!isClearColour(pixel(frame, x, y))) {
            if (run.first < 0) run.first = x;
            ++run.count;
        }
    }
    return run;
}
Coverage coveredInColumn(const testsupport::SectionFrame& frame, int x) {
    Coverage run;
    for (int y = 0; y < frame.height; ++y) {
        if (!isClearColour(pixel(frame, x, y))) {
            if (run.first < 0) run.first = y;
            ++run.count;
        }
    }
    return run;
}

class SectionView : public ::testing::Test {
protected:
    void SetUp() override {
        glutSetWindow(editor.handles.sectionWindow);
        ASSERT_EQ(glutGet(GLUT_WINDOW_WIDTH), 320);
        ASSERT_EQ(glutGet(GLUT_WINDOW_HEIGHT), 240);
    }
};

}  // namespace

TEST_F(SectionView, BackgroundImageIsUprightInTrueColoursAndOneUnitWide) {
    const std::string path =
        writeQuadrantImage("quadrants.png", 400, 300, kRed, kGreen, kBlue, kWhite);
    ASSERT_TRUE(loadBackground(path)) << editor.panel.statusLine;
    EXPECT_EQ(editor.view.backgroundWidth, 400);
    EXPECT_EQ(editor.view.backgroundHeight, 300);
    const testsupport::SectionFrame frame = frameWithSectionOutOfView(1.0f);

    // 1 by 0.75 units about the window's centre: x in [80, 240), y in [60, 180) at 160 pixels
    // per unit both ways, so the image keeps its 4:3 shape (the 320 x 240 window once showed it
    // at 120 pixels a unit upwards, squashed). The axes run through the centre, so sample away
    // from it.
    const Coverage row = coveredInRow(frame, 100);
    EXPECT_NEAR(row.count, 160, 1);
    EXPECT_NEAR(row.first, 80, 1);
    const Coverage column = coveredInColumn(frame, 100);
    EXPECT_NEAR(column.count, 120, 1);
    EXPECT_NEAR(column.first, 60, 1);

    const struct {
        int x, y;
        Color expected;
        const char* where;
    } samples[] = {{100, 90, kRed, "lower left"},
                   {220, 90, kGreen, "lower right"},
                   {100, 150, kBlue, "upper left"},
                   {220, 150, kWhite, "upper right"}};
    for (const auto& s : samples) {
        const Rgb p = pixel(frame, s.x, s.y);
        EXPECT_TRUE(near(p, s.expected)) << s.where << ": " << describe(p);
    }
}

TEST_F(SectionView, ZoomScalesTheBackgroundAboutTheModelOrigin) {
    ASSERT_TRUE(loadBackground(writeQuadrantImage("red.png", 400, 300, kRed, kRed, kRed, kRed)));
    const testsupport::SectionFrame frame = frameWithSectionOutOfView(2.0f);
    EXPECT_EQ(coveredInRow(frame, 100).count, 320);  // 2 units wide: the whole window
    EXPECT_NEAR(coveredInColumn(frame, 100).count, 240, 1);  // 1.5 units: the whole height
    EXPECT_TRUE(near(pixel(frame, 2, 100), kRed));
}

TEST_F(SectionView, SecondImageReplacesTheFirstAndItsTexture) {
    ASSERT_TRUE(loadBackground(writeQuadrantImage("first.png", 400, 300, kRed, kRed, kRed, kRed)));
    const unsigned first = editor.view.backgroundTexture;
    ASSERT_TRUE(
        loadBackground(writeQuadrantImage("second.png", 300, 150, kBlue, kBlue, kBlue, kBlue)));
    EXPECT_NE(editor.view.backgroundTexture, first);
    glutSetWindow(editor.handles.sectionWindow);
    EXPECT_FALSE(glIsTexture(first)) << "the replaced image's texture is still alive";
    const testsupport::SectionFrame frame = frameWithSectionOutOfView(1.0f);
    EXPECT_NEAR(coveredInColumn(frame, 100).count, 80, 1);  // 0.5 units high
    EXPECT_TRUE(near(pixel(frame, 100, 110), kBlue));
}

TEST_F(SectionView, ImageLoadsByContentAndFailuresEmptyTheBoxAndKeepTheImage) {
    ASSERT_TRUE(loadBackground(writeQuadrantImage("kept.png", 400, 300, kRed, kRed, kRed, kRed)));
    const std::string png = writeQuadrantImage("png-data.dat", 40, 20, kRed, kRed, kRed, kRed);
    GLint mostSide = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &mostSide);
    const struct {
        const char* name;
        std::string path;
        bool loads;
        int width;  // of the texture, when it loads
    } cases[] = {
        {"PNG contents under an unknown extension", png, true, 40},
        {"missing file", scratchDirectory() + "/no-such-image.png", false, 0},
        {"text with a PNG extension", writeTextFile("fake.png", "not an image\n"), false, 0},
        {"text with an unknown extension", writeTextFile("notes.txt", "hello\n"), false, 0},
        {"empty name", "", false, 0},
        // Scaled down to the largest texture rather than refused.
        {"wider than any texture", writeQuadrantImage("wide.png", 16385, 2, kRed, kRed, kRed, kRed),
         true, mostSide},
        {"directory", scratchDirectory(), false, 0},
    };
    for (const auto& c : cases) {
        const unsigned texture = editor.view.backgroundTexture;
        const int width = editor.view.backgroundWidth;
        const int height = editor.view.backgroundHeight;
        editor.panel.statusLine[0] = '\0';
        const bool loaded = loadBackground(c.path);
        EXPECT_EQ(loaded, c.loads) << c.name;
        if (c.loads) {
            EXPECT_EQ(editor.panel.backgroundFileName, c.path) << c.name;
            EXPECT_EQ(editor.view.backgroundWidth, c.width) << c.name;
        } else {
            EXPECT_EQ(editor.panel.backgroundFileName[0], '\0') << c.name;
            EXPECT_NE(std::string(editor.panel.statusLine).find("background"), std::string::npos)
                << c.name << ": " << editor.panel.statusLine;
            EXPECT_EQ(editor.view.backgroundTexture, texture) << c.name;
            EXPECT_EQ(editor.view.backgroundWidth, width) << c.name;
            EXPECT_EQ(editor.view.backgroundHeight, height) << c.name;
        }
    }
}

TEST_F(SectionView, BackgroundLoadGivesTheCurrentWindowBack) {
    glutSetWindow(editor.handles.mainWindow);
    loadBackground(writeQuadrantImage("small.png", 8, 8, kRed, kRed, kRed, kRed));
    EXPECT_EQ(glutGetWindow(), editor.handles.mainWindow);
}

// Five points off the axes' lines; the centroid (0, 0.33, 0.2) is the window's centre.
TEST_F(SectionView, CurvePointsSelectionAndCentroidShowInTheirColours) {
    const std::vector<SectionPoint> section = {{0, 0.5f, -0.5f, 1},
                                               {0, 0.0f, -0.2f, 1},
                                               {0, 0.6f, 0.2f, 2},
                                               {0, 0.1f, 0.55f, 1},
                                               {0, 0.45f, 0.95f, 0.5f}};
    setSectionSurface(section, 3, 3, 2);
    editor.selection.selectedPoint = 2;
    editor.view.backgroundWidth = editor.view.backgroundHeight = 0;  // no image
    const testsupport::SectionFrame frame = testsupport::captureSectionFrame();

    for (int i = 0; i < 5; ++i) {
        const testsupport::WindowPosition at =
            sectionWindowPosition(section[i].x, section[i].y, section[i].z);
        const Rgb p = pixel(frame, at.x, 240 - at.y);
        EXPECT_TRUE(near(p, i == 2 ? kSelected : kMagenta)) << "point " << i << describe(p);
    }
    EXPECT_TRUE(near(pixel(frame, 160, 120), kCentroid)) << describe(pixel(frame, 160, 120));

    // The curve is the rational one: the surface along v = 0 is section 0's curve. GLU draws
    // it as a polyline at its default sampling, which may stray a few pixels from it.
    int whitePixels = 0;
    for (size_t i = 0; i < frame.rgb.size(); i += 3) {
        whitePixels += near({frame.rgb[i], frame.rgb[i + 1], frame.rgb[i + 2]}, kWhite);
    }
    EXPECT_GT(whitePixels, 200);
    for (float u : {0.15f, 0.4f, 0.62f, 0.85f}) {
        float x, y, z;
        ASSERT_TRUE(evaluateSurfacePoint(editor.surface, x, y, z, u, 0.0f));
        const testsupport::WindowPosition at = sectionWindowPosition(x, y, z);
        int nearest = 99;
        for (int dx = -8; dx <= 8; ++dx) {
            for (int dy = -8; dy <= 8; ++dy) {
                if (near(pixel(frame, at.x + dx, 240 - at.y + dy), kWhite)) {
                    nearest = std::min(nearest, std::max(std::abs(dx), std::abs(dy)));
                }
            }
        }
        EXPECT_LE(nearest, 3) << "no curve near u = " << u;
    }
}

// A section that cannot be drawn leaves only the clear colour and the axes in the window.
TEST_F(SectionView, SectionsThatCannotBeDrawnShowNothing) {
    const struct {
        const char* name;
        void (*breakIt)();
    } cases[] = {
        {"current section past the last",
         [] { editor.selection.currentSection = editor.surface.countV; }},
        {"negative current section", [] { editor.selection.currentSection = -1; }},
        {"net shorter than the counts",
         [] { editor.surface.controlNet.resize(editor.surface.countU); }},
        {"knot vector of the wrong length", [] { editor.surface.knotsU.pop_back(); }},
        {"order above the point count", [] { editor.surface.orderU = editor.surface.countU + 1; }},
        {"no surface",
         [] {
             editor.surface.countU = editor.surface.countV = -1;
             editor.surface.controlNet.clear();
         }},
    };
    for (const auto& c : cases) {
        setSectionSurface({{0, 0.1f, -0.3f, 1}, {0, 0.3f, 0.0f, 1}, {0, 0.1f, 0.3f, 1}}, 2, 2, 2);
        editor.view.backgroundWidth = editor.view.backgroundHeight = 0;
        c.breakIt();
        const testsupport::SectionFrame frame = testsupport::captureSectionFrame();
        int drawn = 0;
        for (size_t i = 0; i < frame.rgb.size(); i += 3) {
            const Rgb p = {frame.rgb[i], frame.rgb[i + 1], frame.rgb[i + 2]};
            if (near(p, kMagenta) || near(p, kSelected) || near(p, kWhite) || near(p, kCentroid)) {
                ++drawn;
            }
        }
        EXPECT_EQ(drawn, 0) << c.name;
    }
}

namespace {

// A white width x height PNG with black bars 8 pixels wide centred on the given columns.
std::string writeBarImage(const char* name, int width, int height, std::vector<int> bars) {
    FIBITMAP* bitmap = FreeImage_Allocate(width, height, 24);
    for (int row = 0; row < height; ++row) {
        BYTE* line = FreeImage_GetScanLine(bitmap, row);
        for (int column = 0; column < width; ++column, line += 3) {
            const bool bar = std::any_of(bars.begin(), bars.end(),
                                         [&](int b) { return std::abs(column - b) < 4; });
            line[FI_RGBA_RED] = line[FI_RGBA_GREEN] = line[FI_RGBA_BLUE] = bar ? 0 : 255;
        }
    }
    const std::string path = scratchDirectory() + "/" + name;
    EXPECT_TRUE(FreeImage_Save(FIF_PNG, bitmap, path.c_str(), 0));
    FreeImage_Unload(bitmap);
    return path;
}

// Centres of the runs of dark pixels along row y, runs closer than 3 pixels taken as one (an
// axis may cross a bar).
std::vector<double> darkRunCentres(const testsupport::SectionFrame& frame, int y) {
    std::vector<double> centres;
    int first = -1, last = -1;
    auto close = [&] {
        if (first >= 0) centres.push_back((first + last) / 2.0);
        first = -1;
    };
    for (int x = 0; x < frame.width; ++x) {
        const Rgb p = pixel(frame, x, y);
        if (p.r + p.g + p.b > 200) continue;
        if (first >= 0 && x - last > 3) close();
        if (first < 0) first = x;
        last = x;
    }
    close();
    return centres;
}

// A left press and release at the window position of the section-plane point (z, y).
void clickSectionPlane(float z, float y) {
    const testsupport::WindowPosition at = sectionWindowPosition(0.0f, y, z);
    sectionMouse(GLUT_LEFT_BUTTON, GLUT_DOWN, at.x, at.y);
    sectionMouse(GLUT_LEFT_BUTTON, GLUT_UP, at.x, at.y);
}

}  // namespace

// "calibrate", a click on each bar, the distance 10 typed: the bars lie 10 units apart in the
// section view, the drag of a section point took no part, and the calibration is saved beside
// the image and comes back with it; a bad calibration file gives the old placement back.
TEST_F(SectionView, CalibratedMarksMeasureTheTypedDistance) {
    const std::string path = writeBarImage("bars.png", 400, 300, {50, 250});
    std::remove(calibrationPathFor(path).c_str());
    ASSERT_TRUE(loadBackground(path));
    EXPECT_NE(std::string(editor.panel.statusLine).find("no "), std::string::npos)
        << editor.panel.statusLine;
    testsupport::captureSectionFrame();  // the handlers unproject through this frame
    frameWithSectionOutOfView(1.0f);
    const std::vector<PointH> net = editor.surface.controlNet;

    // Uncalibrated, the image spans z in [-0.5, 0.5]: the bars' centres at pixels 50 and 250
    // lie at z = -0.375 and 0.125, on y = 0.
    calibrateCallback(-1);
    clickSectionPlane(-0.375f, 0.0f);
    clickSectionPlane(0.125f, 0.0f);
    EXPECT_EQ(editor.view.calibration.step, CalibrationStep::distance);
    editor.view.calibration.distance = 10.0f;
    calibrationDistanceCallback(-1);
    EXPECT_EQ(editor.view.calibration.step, CalibrationStep::originMark);
    calibrationDoneCallback(-1);
    ASSERT_EQ(editor.surface.controlNet.size(), net.size());
    EXPECT_EQ(
        std::memcmp(editor.surface.controlNet.data(), net.data(), net.size() * sizeof(PointH)), 0)
        << "a calibration click moved a section point";

    // At zoom 0.05 a unit is 8 pixels: the bars are 80 pixels apart.
    const testsupport::SectionFrame frame = frameWithSectionOutOfView(0.05f);
    const std::vector<double> bars = darkRunCentres(frame, 100);
    ASSERT_EQ(bars.size(), 2u);
    EXPECT_NEAR((bars[1] - bars[0]) / (160.0 * 0.05), 10.0, 0.2);

    // Saved beside the image, and applied when it is loaded again.
    const BackgroundPlacement calibrated = editor.view.backgroundPlacement;
    editor.view.backgroundPlacement = uncalibratedPlacement(400, 300);
    ASSERT_TRUE(loadBackground(path));
    EXPECT_EQ(editor.view.backgroundPlacement.scale, calibrated.scale);
    EXPECT_EQ(editor.view.backgroundPlacement.originZ, calibrated.originZ);

    // A damaged file: the image goes back to 1 unit wide at the origin, and the status says why.
    FILE* file = fopen(calibrationPathFor(path).c_str(), "w");
    fputs("loftwork background calibration 1\nscale -3\n", file);
    fclose(file);
    ASSERT_TRUE(loadBackground(path));
    EXPECT_NE(std::string(editor.panel.statusLine).find("refused"), std::string::npos)
        << editor.panel.statusLine;
    const ImageRectangle r = imageRectangle(editor.view.backgroundPlacement, 400, 300);
    EXPECT_FLOAT_EQ(r.minZ, -0.5f);
    EXPECT_FLOAT_EQ(r.maxZ, 0.5f);
}
