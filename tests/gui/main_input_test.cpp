// Keys and mouse of the main window: each camera key changes exactly its own field, the left
// button marks the model point under the pointer, the right button picks a drawn control point.
#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "app/application.h"
#include "input/main_input.h"
#include "model/editor_state.h"
#include "model/gui_hooks.h"
#include "support/gui_test_env.h"
#include "support/main_window_probe.h"
#include "support/state_text.h"
#include "support/test_surface.h"
#include "view/main_view.h"

using testsupport::stateText;

namespace {

class MainInput : public ::testing::Test {
protected:
    void SetUp() override {
        testsupport::resetMainView();
        testsupport::setBulgedSurface();
        editor.selection.weightValue = -1.0f;
        testsupport::drawMainFrame();
    }
};

struct KeyCase {
    int key;
    std::function<float&(EditorState&)> field;  // null: the key changes nothing
    double step;
};

float& distance(EditorState& s) {
    return s.view.cameraDistance;
}
float& targetX(EditorState& s) {
    return s.view.cameraTarget[0];
}
float& targetY(EditorState& s) {
    return s.view.cameraTarget[1];
}
float& targetZ(EditorState& s) {
    return s.view.cameraTarget[2];
}
float& azimuth(EditorState& s) {
    return s.view.cameraAzimuth;
}
float& polar(EditorState& s) {
    return s.view.cameraPolar;
}

// Where a control point of the net shows in the main window (GLUT coordinates).
testsupport::WindowPosition positionOfPoint(int index) {
    const PointH& p = editor.surface.controlNet[static_cast<size_t>(index)];
    return testsupport::mainWindowPositionOf(p.x / p.w, p.y / p.w, p.z / p.w);
}

}  // namespace

TEST_F(MainInput, EachCameraKeyChangesOnlyItsFieldAndRedraws) {
    const std::vector<KeyCase> cases = {
        {'+', distance, -0.2}, {'-', distance, 0.2}, {'a', targetX, 0.2}, {'z', targetX, -0.2},
        {'s', targetY, 0.2},   {'x', targetY, -0.2}, {'d', targetZ, 0.2}, {'c', targetZ, -0.2},
        {'A', nullptr, 0},     {'Z', nullptr, 0},    {'S', nullptr, 0},   {'X', nullptr, 0},
        {'D', nullptr, 0},     {'C', nullptr, 0},    {'R', nullptr, 0},   {' ', nullptr, 0},
        {'w', nullptr, 0},     {0x80, nullptr, 0},   {0xff, nullptr, 0},
    };
    // From a camera off its start so that no step lands on a round value by chance.
    editor.view.cameraDistance = 2.7f;
    editor.view.cameraTarget[0] = 0.3f;
    editor.view.cameraTarget[1] = -0.1f;
    editor.view.cameraTarget[2] = 0.7f;
    mainDisplay();
    for (const KeyCase& c : cases) {
        EditorState expected = editor;
        if (c.field) {
            float& value = c.field(expected);
            value = static_cast<float>(static_cast<double>(value) + c.step);
        }
        const long frames = mainFrameCount();
        mainKeyboard(static_cast<unsigned char>(c.key), 10, 10);
        testsupport::pumpEvents(1);
        EXPECT_EQ(stateText(editor), stateText(expected)) << "key " << c.key;
        EXPECT_EQ(mainFrameCount(), frames + 1) << "key " << c.key;
    }
}

TEST_F(MainInput, ArrowKeysTurnTheCameraWithoutRedrawing) {
    const std::vector<KeyCase> cases = {
        {GLUT_KEY_LEFT, azimuth, -0.1},
        {GLUT_KEY_RIGHT, azimuth, 0.1},
        {GLUT_KEY_UP, polar, -0.1},
        {GLUT_KEY_DOWN, polar, 0.1},
        {GLUT_KEY_F1, nullptr, 0},
        {GLUT_KEY_PAGE_UP, nullptr, 0},
        {'+', nullptr, 0},
    };
    editor.view.cameraAzimuth = 0.35f;
    for (const KeyCase& c : cases) {
        EditorState expected = editor;
        if (c.field) {
            float& value = c.field(expected);
            value = static_cast<float>(static_cast<double>(value) + c.step);
        }
        const long frames = mainFrameCount();
        mainSpecial(c.key, 0, 0);
        EXPECT_EQ(stateText(editor), stateText(expected)) << "special key " << c.key;
        EXPECT_EQ(mainFrameCount(), frames) << "special key " << c.key;
    }
}

// The middle button orbits (shift: pans) and the wheel zooms; the point at the target follows
// the pointer while panning.
TEST_F(MainInput, MiddleDragOrbitsOrPansAndTheWheelZooms) {
    const struct {
        const char* name;
        int modifiers;
        int dx, dy;                       // pointer travel during the drag, in four motions
        double azimuth, polar, distance;  // expected changes
        bool panned;
    } cases[] = {
        {"drag right", 0, 40, 0, -0.4, 0.0, 0.0, false},
        {"drag down", 0, 0, 30, 0.0, -0.3, 0.0, false},
        {"shift, drag right and up", GLUT_ACTIVE_SHIFT, 48, -20, 0.0, 0.0, 0.0, true},
        {"wheel up twice", -1, 0, 0, 0.0, 0.0, -0.4, false},
        {"wheel down", -2, 0, 0, 0.0, 0.0, 0.2, false},
    };
    for (const auto& c : cases) {
        testsupport::resetMainView();
        editor.view.cameraAzimuth = 0.6f;
        editor.view.cameraPolar = 1.1f;
        editor.view.cameraTarget[1] = 0.2f;
        testsupport::drawMainFrame();
        const ViewState before = editor.view;
        const testsupport::WindowPosition target = testsupport::mainWindowPositionOf(
            before.cameraTarget[0], before.cameraTarget[1], before.cameraTarget[2]);
        if (c.modifiers < 0) {
            const int button = c.modifiers == -1 ? 3 : 4;
            for (int i = 0; i < (c.modifiers == -1 ? 2 : 1); ++i) {
                mainMouse(button, GLUT_DOWN, 100, 100);
                mainMouse(button, GLUT_UP, 100, 100);
            }
        } else {
            mainMouseWithModifiers(GLUT_MIDDLE_BUTTON, GLUT_DOWN, 300, 200, c.modifiers);
            for (int i = 1; i <= 4; ++i) mainMotion(300 + c.dx * i / 4, 200 + c.dy * i / 4);
            mainMouseWithModifiers(GLUT_MIDDLE_BUTTON, GLUT_UP, 300 + c.dx, 200 + c.dy, 0);
            mainMotion(0, 0);  // after the release the pointer moves nothing
        }
        EXPECT_NEAR(editor.view.cameraAzimuth - before.cameraAzimuth, c.azimuth, 1e-5) << c.name;
        EXPECT_NEAR(editor.view.cameraPolar - before.cameraPolar, c.polar, 1e-5) << c.name;
        EXPECT_NEAR(editor.view.cameraDistance - before.cameraDistance, c.distance, 1e-5) << c.name;
        if (!c.panned) continue;
        // The old target now shows where the pointer dragged it.
        testsupport::drawMainFrame();
        const testsupport::WindowPosition moved = testsupport::mainWindowPositionOf(
            before.cameraTarget[0], before.cameraTarget[1], before.cameraTarget[2]);
        EXPECT_NEAR(moved.x - target.x, c.dx, 1.5) << c.name;
        EXPECT_NEAR(moved.y - target.y, c.dy, 1.5) << c.name;
    }
}

TEST_F(MainInput, TenStepsInThenResetToThree) {
    for (int i = 0; i < 10; ++i) mainKeyboard('+', 0, 0);
    EXPECT_NEAR(editor.view.cameraDistance, 1.9f, 1e-5f);
    editor.view.cameraAzimuth = 2.0f;
    editor.view.cameraPolar = 0.3f;
    editor.view.cameraTarget[1] = 4.0f;
    mainKeyboard('r', 0, 0);
    EXPECT_EQ(editor.view.cameraDistance, 3.0f);
    EXPECT_EQ(editor.view.cameraAzimuth, 0.0f);
    EXPECT_EQ(editor.view.cameraPolar, 1.57f);
    EXPECT_EQ(editor.view.cameraTarget[0], 0.0f);
    EXPECT_EQ(editor.view.cameraTarget[1], 0.0f);
    EXPECT_EQ(editor.view.cameraTarget[2], 0.0f);
}

TEST_F(MainInput, FifteenStepsUpLookAlmostStraightDown) {
    for (int i = 0; i < 15; ++i) mainSpecial(GLUT_KEY_UP, 0, 0);
    EXPECT_NEAR(editor.view.cameraPolar, 0.07f, 1e-5f);
}

TEST_F(MainInput, RightClickOnADrawnPointPicksItAndLoadsItsWeight) {
    // Point 8 (middle section, fourth point) stands in front of the surface; weight 2.
    std::vector<PointH> net = testsupport::bulgedNet();
    net[8] = testsupport::weighted(0.5f, 0.0f, 0.5f, 2.0f);
    testsupport::setSurface(5, 3, 3, 3, net);
    testsupport::drawMainFrame();
    const auto at = positionOfPoint(8);
    const int refreshes = guiHookCalls.refreshPanel;
    mainMouse(GLUT_RIGHT_BUTTON, GLUT_DOWN, at.x, at.y);
    EXPECT_EQ(editor.selection.pickedPointOffset, 4 * 8);
    EXPECT_EQ(editor.selection.weightValue, 2.0f);
    EXPECT_EQ(guiHookCalls.refreshPanel, refreshes + 1);
}

TEST_F(MainInput, PickTakesTheFirstPointInStorageOrderNotTheNearest) {
    std::vector<PointH> net = testsupport::bulgedNet();
    net[6] = testsupport::weighted(0.45f, 0.0f, 0.5f, 1.0f);  // earlier, 0.05 away
    net[8] = testsupport::weighted(0.5f, 0.0f, 0.5f, 1.0f);   // under the pointer
    testsupport::setSurface(5, 3, 3, 3, net);
    testsupport::drawMainFrame();
    const auto at = positionOfPoint(8);
    mainMouse(GLUT_RIGHT_BUTTON, GLUT_UP, at.x, at.y);
    EXPECT_EQ(editor.selection.pickedPointOffset, 4 * 6);
}

TEST_F(MainInput, ClickOnTheBackgroundPicksNothingAndChangesNothing) {
    editor.selection.pickedPointOffset = 4 * 3;
    editor.selection.weightValue = 1.5f;
    const std::string before = stateText(editor);
    const int refreshes = guiHookCalls.refreshPanel;
    for (auto [x, y] : {std::pair{5, 5}, {630, 470}, {5, 470}}) {
        mainMouse(GLUT_RIGHT_BUTTON, GLUT_DOWN, x, y);
        mainMouse(GLUT_MIDDLE_BUTTON, GLUT_DOWN, x, y);
        mainMotion(x, y);
    }
    EXPECT_EQ(stateText(editor), before);
    EXPECT_EQ(guiHookCalls.refreshPanel, refreshes);
}

TEST_F(MainInput, PointsWithZeroOrNegativeWeightNeitherBreakNorBlockThePick) {
    std::vector<PointH> net = testsupport::bulgedNet();
    for (int i : {0, 1, 2, 5}) net[static_cast<size_t>(i)] = {0.3f, 0.0f, 0.0f, 0.0f};
    net[6] = testsupport::weighted(-0.5f, 0.0f, 0.5f, -1.0f);
    testsupport::setSurface(5, 3, 3, 3, net);
    testing::internal::CaptureStdout();  // GLU may complain about the odd weights
    testsupport::drawMainFrame();
    const auto at = positionOfPoint(8);
    mainMouse(GLUT_RIGHT_BUTTON, GLUT_DOWN, at.x, at.y);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(editor.selection.pickedPointOffset, 4 * 8);
    EXPECT_EQ(editor.selection.weightValue, 1.0f);
}

TEST_F(MainInput, LeftClickMarksTheVisiblePointUnderThePointer) {
    const auto at = positionOfPoint(8);
    mainMouse(GLUT_LEFT_BUTTON, GLUT_DOWN, at.x, at.y);
    EXPECT_NEAR(editor.view.clickPoint[0], 0.5, 0.02);
    EXPECT_NEAR(editor.view.clickPoint[1], 0.0, 0.02);
    EXPECT_NEAR(editor.view.clickPoint[2], 0.5, 0.02);
    const double pressed[3] = {editor.view.clickPoint[0], editor.view.clickPoint[1],
                               editor.view.clickPoint[2]};
    mainMouse(GLUT_LEFT_BUTTON, GLUT_UP, at.x, at.y);
    EXPECT_EQ(editor.view.clickPoint[0], pressed[0]);
    EXPECT_EQ(editor.view.clickPoint[1], pressed[1]);
    EXPECT_EQ(editor.view.clickPoint[2], pressed[2]);
}

TEST_F(MainInput, FailedUnprojectionLeavesClickPointAndPickAlone) {
    editor.view.clickPoint[0] = 0.25;
    editor.selection.pickedPointOffset = -1;
    const std::string before = stateText(editor);
    const auto at = positionOfPoint(8);
    // A projection that cannot be inverted.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glScalef(0.0f, 0.0f, 0.0f);
    glMatrixMode(GL_MODELVIEW);
    mainMouse(GLUT_LEFT_BUTTON, GLUT_DOWN, at.x, at.y);
    mainMouse(GLUT_RIGHT_BUTTON, GLUT_DOWN, at.x, at.y);
    mainReshape(640, 480);
    EXPECT_EQ(stateText(editor), before);
}
