// The "operations" panel as it is drawn: its rows and groups, the knot spinners and section
// buttons that follow the surface, the degree and clamped spinners, and pointer input reaching
// the callbacks (through ImGui's GLUT backend, and as real X events through xdotool).
#include <GL/freeglut.h>
#include <gtest/gtest.h>
#include <imgui.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/control_panel.h"
#include "exchange/export_surface.h"
#include "io/editor_file_io.h"
#include "model/derived_nets.h"
#include "model/editor_state.h"
#include "model/knots.h"
#include "model/surface_edit.h"
#include "support/gui_test_env.h"
#include "support/panel_driver.h"
#include "support/test_surface.h"

using namespace testsupport;

namespace {

// Writes a surface file of nU x nV points with degrees dU and dV and no knot lists (the loader
// then makes clamped uniform knots). Coordinates are quarters, exact in six decimals.
std::string writeSurfaceFile(const char* name, int nU, int nV, int dU, int dV) {
    const std::string path = scratchDirectory() + "/" + name;
    FILE* f = fopen(path.c_str(), "w");
    EXPECT_NE(f, nullptr);
    if (f == nullptr) return path;
    fprintf(f, "FILENAME:%s\nDEGREE_U_V\n     %d     %d\n", name, dU, dV);
    fprintf(f, "N.C.P._U_V\n     %d     %d\n", nU, nV);
    fprintf(f, "N.KNOTS_U_V\n     %d     %d\nCOORD.C.P.(X,Y,Z,W)\n", nU + dU + 1, nV + dV + 1);
    for (int s = 0; s < nV; ++s) {
        for (int j = 0; j < nU; ++j) {
            const float w = (j % 2 == 0) ? 1.0f : 0.5f;
            fprintf(f, "%f      %f      %f      %f\n", 0.25 * s * w, (0.5 * j - 1.0) * w,
                    0.25 * ((j * s) % 3) * w, w);
        }
        fprintf(f, "\n\n\n");
    }
    fclose(f);
    return path;
}

std::vector<float> uniformKnots(int count, int order) {
    std::vector<float> knots(static_cast<size_t>(count));
    fillUniformKnots(knots.data(), count, order);
    return knots;
}

// Opens a knot rollout if the last frame drew it closed.
void openRollout(const char* label) {
    drawPanel();
    if (!panelItem("rollout", label).on) clickPanel("rollout", label);
    ASSERT_TRUE(panelItem("rollout", label).on) << label << " did not open";
}

std::vector<std::string> labelsIn(const PanelFrame& frame, const std::string& group,
                                  const std::string& kind) {
    std::vector<std::string> labels;
    for (const PanelItem& item : frame.items) {
        if (item.group == group && item.kind == kind) labels.push_back(item.label);
    }
    return labels;
}

std::vector<std::string> numbered(int count) {
    std::vector<std::string> labels;
    for (int i = 0; i < count; ++i) labels.push_back(std::to_string(i));
    return labels;
}

class PanelTest : public ::testing::Test {
protected:
    // A 5 x 4 surface of order 4 in U and 2 in V, loaded through the file loader.
    void SetUp() override {
        editor.panel.skinningEnabled = 0;
        editor.selection.currentSection = 0;
        ASSERT_TRUE(loadSurface(writeSurfaceFile("five_by_four.surf", 5, 4, 3, 1)));
        drawPanel(2);
    }
};

}  // namespace

TEST_F(PanelTest, RowsAppearInOrderWithTheirLabelsAndGroups) {
    struct Row {
        const char* group;
        const char* kind;
        const char* label;
    };
    const std::vector<Row> expected = {
        {"commands", "group", "commands"},
        {"commands", "text box", "file"},
        {"commands", "static text", "no unsaved changes"},
        {"commands", "button", "load points"},
        {"commands", "button", "browse... file"},
        {"commands", "button", "save points"},
        {"commands", "button", "undo"},
        {"commands", "button", "redo"},
        {"commands", "text box", "export"},
        {"commands", "button", "export"},
        {"commands", "button", "browse... export"},
        {"commands", "list", "export unit"},
        {"commands", "text box", "background"},
        {"commands", "button", "background"},
        {"commands", "button", "browse... background"},
        {"commands", "rollout", "knots in s"},
        {"commands", "rollout", "knots in t"},
        {"operations", "group", "operations"},
        {"plane", "group", "plane"},
        {"multiplicity", "group", "multiplicity"},
        {"multiplicity", "spinner", "multipl."},
        {"operations", "rotation", "rotation"},
        {"operations", "spinner", "z_rot"},
        {"operations", "static text", "ctrl: around y"},
        {"operations", "static text", "alt: around x"},
        {"operations", "static text", "z_rot: around z"},
        {"operations", "spinner", "weight"},
        {"operations", "list", "surf type"},
        {"operations", "button", "create new surf"},
        {"operations", "spinner", "degree S"},
        {"operations", "spinner", "degree T"},
        {"operations", "translation", "x"},
        {"operations", "translation", "y"},
        {"operations", "translation", "z"},
        {"operations", "translation", "zy"},
        {"operations", "button", "scaleUp"},
        {"operations", "button", "scaleDown"},
        {"operations", "check box", "skinning"},
        {"operations", "check box", "closed loft"},
        {"operations", "list", "loft parameters"},
        {"operations", "list", "rational sections"},
        {"operations", "list", "start"},
        {"operations", "list", "end"},
        {"operations", "button", "flip"},
        {"operations", "button", "align all"},
        {"operations", "button", "start -1"},
        {"operations", "button", "start +1"},
        {"operations", "spinner", "dest. plane"},
        {"operations", "button", "copy"},
        {"operations", "check box", "fill surf"},
        {"operations", "list", "shading"},
        {"operations", "check box", "comb"},
        {"tracing", "group", "tracing"},
        {"tracing", "button", "calibrate"},
        {"tracing", "button", "done"},
        {"tracing", "typed", "distance"},
        {"tracing", "typed", "origin z y"},
        {"tracing", "slider", "opacity"},
        {"tracing", "check box", "mirror"},
        {"tracing", "list", "mirror axis"},
        {"tracing", "typed", "mirror plane"},
        {"tracing", "point fields", "section point"},
        {"tracing", "point fields", "picked point"},
        {"lines", "rollout", "lines"},
        {"hydrostatics", "group", "hydrostatics"},
    };
    const PanelFrame& frame = drawPanel();
    std::vector<const PanelItem*> fixed;
    for (const PanelItem& item : frame.items) {
        if (item.kind != "radio" && item.kind != "status") fixed.push_back(&item);
    }
    ASSERT_EQ(fixed.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(fixed[i]->group, expected[i].group) << "row " << i;
        EXPECT_EQ(fixed[i]->kind, expected[i].kind) << "row " << i;
        EXPECT_EQ(fixed[i]->label, expected[i].label) << "row " << i;
    }

    // Two columns per group: the second starts beside the first, at the top of its group.
    const PanelItem file = panelItem("text box", "file");
    const PanelItem background = panelItem("text box", "background");
    EXPECT_GT(background.minX, file.maxX);
    EXPECT_EQ(background.minY, file.minY);
    const PanelItem plane = panelItem("group", "plane");
    const PanelItem x = panelItem("translation", "x");
    const PanelItem degreeT = panelItem("spinner", "degree T");
    EXPECT_GT(x.minX, degreeT.maxX);
    EXPECT_LT(x.minY, plane.maxY + 4.0f);
    EXPECT_GT(panelItem("group", "operations").minY, panelItem("rollout", "knots in t").maxY);

    // Everything fits the window, and the status line closes it.
    glutSetWindow(editor.handles.controlPanel);
    const float width = static_cast<float>(glutGet(GLUT_WINDOW_WIDTH));
    const float height = static_cast<float>(glutGet(GLUT_WINDOW_HEIGHT));
    for (const PanelItem& item : frame.items) {
        EXPECT_LE(item.maxX, width) << item.label;
        EXPECT_LE(item.maxY, height) << item.label;
    }
    EXPECT_EQ(frame.items.back().kind, "status");
    EXPECT_EQ(frame.items.back().label, editor.panel.statusLine);
    EXPECT_GT(frame.items.back().minY, height * 0.8f);
}

TEST_F(PanelTest, LoadedSurfaceGivesOneSpinnerPerKnotAndOneButtonPerSection) {
    EXPECT_EQ(panelItem("spinner", "degree S").value, 3);
    EXPECT_EQ(panelItem("spinner", "degree T").value, 1);
    EXPECT_FALSE(panelItem("rollout", "knots in s").on);
    EXPECT_FALSE(panelItem("rollout", "knots in t").on);
    EXPECT_EQ(lastPanelFrame().count("knots in s", "spinner"), 0);

    openRollout("knots in s");
    openRollout("knots in t");
    const PanelFrame& frame = drawPanel();
    EXPECT_EQ(labelsIn(frame, "knots in s", "spinner"), numbered(9));
    EXPECT_EQ(labelsIn(frame, "knots in t", "spinner"), numbered(6));
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(panelItem("spinner", std::to_string(i), "knots in s").value,
                  editor.surface.knotsU[i]);
    }
    EXPECT_EQ(labelsIn(frame, "plane", "radio"), numbered(4));
    EXPECT_TRUE(panelItem("radio", "0", "plane").on);
    // Both rollouts open, the groups below still fit the window: the knots scroll in a box.
    glutSetWindow(editor.handles.controlPanel);
    const float height = static_cast<float>(glutGet(GLUT_WINDOW_HEIGHT));
    for (const char* below : {"fill surf", "skinning"}) {
        EXPECT_LE(panelItem("check box", below).maxY, height) << below;
    }
    EXPECT_LE(panelItem("spinner", "degree T").maxY, height);

    // A click on section button 2 makes it the current section.
    clickPanel("radio", "2", "plane");
    EXPECT_EQ(editor.selection.currentSection, 2);
    EXPECT_TRUE(panelItem("radio", "2", "plane").on);
    EXPECT_FALSE(panelItem("radio", "0", "plane").on);
}

TEST_F(PanelTest, DegreeSThreeToTwoRegeneratesUKnotsOnly) {
    openRollout("knots in s");
    const std::vector<float> knotsV = editor.surface.knotsV;
    const int rebuilds = editor.panel.knotControlRebuilds;

    typeIntoSpinner("degree S", "2");

    EXPECT_EQ(editor.surface.orderU, 3);
    EXPECT_EQ(editor.surface.knotCountU, 8);
    EXPECT_EQ(editor.surface.knotsU, uniformKnots(8, 3));
    EXPECT_EQ(editor.surface.knotsV, knotsV);
    EXPECT_EQ(editor.surface.orderV, 2);
    EXPECT_GT(editor.panel.knotControlRebuilds, rebuilds);
    EXPECT_TRUE(surfaceIsUsable(editor.surface));

    const PanelFrame& frame = drawPanel();
    EXPECT_EQ(panelItem("spinner", "degree S").value, 2);
    EXPECT_EQ(panelItem("spinner", "degree T").value, 1);
    EXPECT_FALSE(panelItem("rollout", "knots in s").on) << "rollout not closed by the rebuild";
    EXPECT_EQ(frame.count("knots in s", "spinner"), 0);
    openRollout("knots in s");
    EXPECT_EQ(labelsIn(drawPanel(), "knots in s", "spinner"), numbered(8));
}

// GLU draws nothing of an order above 24, so "degree S" stops at 23 however many points there are.
TEST_F(PanelTest, ADegreeStopsAtTheHighestOrderTheRendererDraws) {
    ASSERT_TRUE(loadSurface(writeSurfaceFile("thirty_points.surf", 30, 2, 1, 1)));
    editor.panel.degreeS = 29;
    degreeSCallback(-1);
    EXPECT_EQ(editor.surface.orderU, 24);
    EXPECT_EQ(editor.panel.degreeS, 23);
    EXPECT_TRUE(surfaceIsUsable(editor.surface));
}

TEST_F(PanelTest, DegreesStayBetweenOneAndPointsMinusOne) {
    struct Case {
        int direction;  // 1 = "degree S" (5 points), 2 = "degree T" (4 points)
        int asked;
        int degree;
        bool clamped;
    };
    const std::vector<Case> cases = {
        {1, 4, 4, false}, {1, 1, 1, false}, {1, 5, 4, true}, {1, 0, 1, true},
        {1, -3, 1, true}, {2, 3, 3, false}, {2, 4, 3, true}, {2, 0, 1, true},
    };
    for (const Case& c : cases) {
        SetUp();
        editor.panel.statusLine[0] = '\0';
        const std::vector<float> otherKnots =
            c.direction == 1 ? editor.surface.knotsV : editor.surface.knotsU;
        if (c.direction == 1) {
            editor.panel.degreeS = c.asked;
            degreeSCallback(-1);
        } else {
            editor.panel.degreeT = c.asked;
            degreeTCallback(-1);
        }
        const int order = c.direction == 1 ? editor.surface.orderU : editor.surface.orderV;
        const int points = c.direction == 1 ? editor.surface.countU : editor.surface.countV;
        const int shown = c.direction == 1 ? editor.panel.degreeS : editor.panel.degreeT;
        const std::vector<float>& knots =
            c.direction == 1 ? editor.surface.knotsU : editor.surface.knotsV;
        SCOPED_TRACE("direction " + std::to_string(c.direction) + " asked " +
                     std::to_string(c.asked));
        EXPECT_EQ(order, c.degree + 1);
        EXPECT_EQ(shown, c.degree);
        EXPECT_EQ(knots, uniformKnots(points + order, order));
        EXPECT_EQ(c.direction == 1 ? editor.surface.knotsV : editor.surface.knotsU, otherKnots);
        EXPECT_TRUE(surfaceIsUsable(editor.surface));
        // A clamp is reported; a change made as asked reports only the new degrees.
        EXPECT_EQ(std::string(editor.panel.statusLine).find("out of range") != std::string::npos,
                  c.clamped)
            << editor.panel.statusLine;
    }
}

TEST_F(PanelTest, MultiplicityHoldsOnlyOneWithOrderTwoInV) {
    ASSERT_EQ(editor.surface.orderV, 2);
    const PanelItem spinner = panelItem("spinner", "multipl.");
    EXPECT_TRUE(spinner.enabled);
    dragPanel(centreX(spinner), centreY(spinner), 150.0f, 0.0f, 30);  // 7 steps at 0.05
    EXPECT_EQ(editor.derived.multiplicity, 1);
    typeIntoSpinner("multipl.", "3");
    EXPECT_EQ(editor.derived.multiplicity, 1);
    EXPECT_EQ(panelItem("spinner", "multipl.").value, 1);

    // With order 3 in V it reaches 2 and no further, and the expanded net follows.
    ASSERT_TRUE(loadSurface(writeSurfaceFile("order_three.surf", 5, 4, 3, 2)));
    drawPanel(2);
    const PanelItem wider = panelItem("spinner", "multipl.");
    // One step takes 20 pixels (GLUI's speed of 0.002 took 500, more than the screen is wide).
    dragPanel(centreX(wider), centreY(wider), 25.0f, 0.0f, 5);
    EXPECT_EQ(editor.derived.multiplicity, 2);
    EXPECT_EQ(editor.derived.expandedNet.size(), static_cast<size_t>(5 * 2 * 4));
}

TEST_F(PanelTest, DestinationPlaneStaysInsideTheSections) {
    const PanelItem spinner = panelItem("spinner", "dest. plane");
    dragPanel(centreX(spinner), centreY(spinner), 300.0f, 0.0f, 20);
    EXPECT_EQ(editor.selection.destPlane, 3);
    drawPanel();
    const PanelItem again = panelItem("spinner", "dest. plane");
    dragPanel(centreX(again), centreY(again), -300.0f, 0.0f, 20);
    EXPECT_EQ(editor.selection.destPlane, 0);
}

TEST_F(PanelTest, RepeatedRebuildsLeaveOneOfEachControlClosed) {
    openRollout("knots in s");
    openRollout("knots in t");
    for (int i = 0; i < 5; ++i) {
        rebuildKnotControls();
        drawPanel();
    }
    const PanelFrame& frame = drawPanel();
    EXPECT_EQ(frame.count("commands", "rollout"), 2);
    EXPECT_FALSE(panelItem("rollout", "knots in s").on);
    EXPECT_FALSE(panelItem("rollout", "knots in t").on);
    EXPECT_EQ(frame.count("multiplicity", "spinner"), 1);
    EXPECT_EQ(frame.count("plane", "radio"), 4);
    openRollout("knots in s");
    openRollout("knots in t");
    EXPECT_EQ(drawPanel().count("knots in s", "spinner"), 9);
    EXPECT_EQ(drawPanel().count("knots in t", "spinner"), 6);
}

TEST_F(PanelTest, EmptyEditorDrawsAndLoadPointsStillWorks) {
    clearSurface();
    rebuildKnotControls();
    openRollout("knots in s");
    const PanelFrame& frame = drawPanel(2);
    EXPECT_EQ(frame.count("plane", "radio"), 0);
    EXPECT_EQ(frame.count("knots in s", "spinner"), 0);
    EXPECT_FALSE(panelItem("spinner", "multipl.").enabled);
    EXPECT_FALSE(panelItem("spinner", "dest. plane").enabled);

    typeIntoSpinner("degree S", "2");
    EXPECT_EQ(editor.surface.countU, -1);
    EXPECT_EQ(editor.surface.orderU, -1);
    EXPECT_TRUE(editor.surface.knotsU.empty());
    EXPECT_NE(std::string(editor.panel.statusLine).find("no surface"), std::string::npos)
        << editor.panel.statusLine;

    const std::string path = writeSurfaceFile("after_empty.surf", 6, 3, 2, 2);
    snprintf(editor.panel.surfaceFileName, sizeof editor.panel.surfaceFileName, "%s", path.c_str());
    drawPanel();
    clickPanel("button", "load points");
    EXPECT_TRUE(surfaceIsUsable(editor.surface));
    EXPECT_EQ(editor.surface.countU, 6);
    EXPECT_EQ(drawPanel().count("plane", "radio"), 3);
}

TEST_F(PanelTest, ButtonsAndCheckBoxesReachTheirCallbacks) {
    // "fill surf" switches the surface to filled drawing.
    clickPanel("check box", "fill surf");
    EXPECT_EQ(editor.panel.fillSurface, 1);
    EXPECT_EQ(editor.panel.surfaceDisplayMode, kDisplayModeFill);
    clickPanel("check box", "fill surf");
    EXPECT_EQ(editor.panel.surfaceDisplayMode, kDisplayModeOutline);

    // "skinning" skins and draws the main view from inside the panel's frame; the frame still
    // ends in the panel's own window and GL context.
    clickPanel("check box", "skinning");
    EXPECT_EQ(editor.panel.skinningEnabled, 1);
    EXPECT_TRUE(
        skinnedNetUsable(editor.surface, editor.panel.skinningEnabled != 0, editor.derived));
    EXPECT_EQ(glutGetWindow(), editor.handles.controlPanel);
    clickPanel("check box", "skinning");
    EXPECT_EQ(editor.panel.skinningEnabled, 0);

    // "flip" reverses the current section as one step that undo takes back.
    const SurfaceModel beforeFlip = editor.surface;
    clickPanel("button", "flip");
    const int last = editor.surface.countU - 1;
    const PointH* flipped = sectionPoints(editor.surface, editor.selection.currentSection);
    const PointH* original = sectionPoints(beforeFlip, editor.selection.currentSection);
    EXPECT_EQ(flipped[0].x, original[last].x);
    EXPECT_TRUE(undoEdit(editor));
    EXPECT_TRUE(sameSurface(editor.surface, beforeFlip));

    // "create new surf" revolves the current section into a new surface and rebuilds.
    const int rebuilds = editor.panel.knotControlRebuilds;
    clickPanel("button", "create new surf");
    EXPECT_GT(editor.panel.knotControlRebuilds, rebuilds);
    EXPECT_TRUE(surfaceIsUsable(editor.surface));
    EXPECT_NE(editor.surface.countV, 4);
    EXPECT_EQ(editor.panel.degreeT, editor.surface.orderV - 1);
    EXPECT_EQ(drawPanel().count("plane", "radio"), editor.surface.countV);
}

// "export" writes the surface shown, the skinned one while skinning is on, to the file named in
// its box, and the status line says what was written or why not.
TEST_F(PanelTest, ExportWritesTheSurfaceShownAndSaysSo) {
    auto exportTo = [](const std::string& name) {
        snprintf(editor.panel.exportFileName, kTextFieldSize, "%s", name.c_str());
        clickPanel("button", "export");
        return std::string(editor.panel.statusLine);
    };
    auto readAll = [](const std::string& path) {
        std::string text;
        if (FILE* file = fopen(path.c_str(), "rb")) {
            for (int c; (c = fgetc(file)) != EOF;) text += static_cast<char>(c);
            fclose(file);
        }
        return text;
    };
    const std::string plain = scratchDirectory() + "/panel-plain.obj";
    const std::string skinned = scratchDirectory() + "/panel-skinned.obj";
    const std::string reference = scratchDirectory() + "/panel-reference.obj";
    EXPECT_NE(exportTo(plain).find("as OBJ: "), std::string::npos) << editor.panel.statusLine;
    clickPanel("check box", "skinning");
    ASSERT_TRUE(
        skinnedNetUsable(editor.surface, editor.panel.skinningEnabled != 0, editor.derived));
    const std::string status = exportTo(skinned);
    EXPECT_EQ(status.rfind("exported " + skinned + " as OBJ: ", 0), 0u) << status;
    EXPECT_NE(status.find(" triangles within "), std::string::npos) << status;

    SurfaceModel copy;
    ExportReport report;
    std::string message;
    ASSERT_TRUE(exportSurface(reference, surfaceToSave(editor.surface, true, editor.derived, copy),
                              std::nullopt, report, message));
    EXPECT_EQ(readAll(skinned), readAll(reference));
    EXPECT_NE(readAll(skinned), readAll(plain));

    EXPECT_NE(exportTo(scratchDirectory() + "/panel.dxf").find("unknown extension"),
              std::string::npos);
    EXPECT_NE(exportTo("").find("no file name given"), std::string::npos);
    clickPanel("check box", "skinning");
}

TEST_F(PanelTest, DragsOnRotationAndTranslationMoveTheCurrentSectionOnly) {
    editor.selection.currentSection = 1;
    const std::vector<PointH> before = editor.surface.controlNet;
    auto sectionPoint = [](const std::vector<PointH>& net, int section, int j) {
        return net[static_cast<size_t>(section * 5 + j)];
    };
    auto othersUnchanged = [&]() {
        for (int s : {0, 2, 3}) {
            for (int j = 0; j < 5; ++j) {
                const PointH a = sectionPoint(before, s, j);
                const PointH b = sectionPoint(editor.surface.controlNet, s, j);
                if (a.x != b.x || a.y != b.y || a.z != b.z || a.w != b.w) return false;
            }
        }
        return true;
    };

    // Ctrl: the arcball turns about y only, so every y stays.
    const PanelItem ball = panelItem("rotation", "rotation");
    ImGui::GetIO().KeyCtrl = true;
    dragPanel(ball.minX + 46.0f, ball.minY + 46.0f, 30.0f, 20.0f);
    ImGui::GetIO().KeyCtrl = false;
    bool moved = false;
    for (int j = 0; j < 5; ++j) {
        const PointH a = sectionPoint(before, 1, j);
        const PointH b = sectionPoint(editor.surface.controlNet, 1, j);
        EXPECT_NEAR(b.y, a.y, 1e-5f) << "point " << j;
        moved = moved || std::fabs(b.x - a.x) > 1e-3f || std::fabs(b.z - a.z) > 1e-3f;
    }
    EXPECT_TRUE(moved);
    EXPECT_TRUE(othersUnchanged());

    // Alt: about x only, so every x stays.
    const std::vector<PointH> turned = editor.surface.controlNet;
    ImGui::GetIO().KeyAlt = true;
    dragPanel(ball.minX + 46.0f, ball.minY + 46.0f, 25.0f, 30.0f);
    ImGui::GetIO().KeyAlt = false;
    for (int j = 0; j < 5; ++j) {
        EXPECT_NEAR(sectionPoint(editor.surface.controlNet, 1, j).x, sectionPoint(turned, 1, j).x,
                    1e-5f);
    }

    // The "x" pad: 50 pixels to the right move the section by 0.1 along x.
    const std::vector<PointH> beforeShift = editor.surface.controlNet;
    const float startX = editor.panel.translateX;
    const PanelItem pad = panelItem("translation", "x");
    dragPanel(pad.minX + 10.0f, pad.minY + 10.0f, 50.0f, 0.0f);
    EXPECT_NEAR(editor.panel.translateX - startX, 0.1f, 1e-5f);
    for (int j = 0; j < 5; ++j) {
        const PointH a = sectionPoint(beforeShift, 1, j);
        const PointH b = sectionPoint(editor.surface.controlNet, 1, j);
        EXPECT_NEAR(b.x / b.w - a.x / a.w, 0.1f, 1e-5f) << "point " << j;
        EXPECT_EQ(b.y, a.y);
    }
    EXPECT_TRUE(othersUnchanged());

    // "z_rot" turns about z and is set back to 0 by its callback: every z stays.
    const std::vector<PointH> beforeTurn = editor.surface.controlNet;
    const PanelItem zRot = panelItem("spinner", "z_rot");
    dragPanel(centreX(zRot), centreY(zRot), 12.0f, 0.0f, 4);
    EXPECT_EQ(editor.panel.zRotAngle, 0.0f);
    moved = false;
    for (int j = 0; j < 5; ++j) {
        const PointH a = sectionPoint(beforeTurn, 1, j);
        const PointH b = sectionPoint(editor.surface.controlNet, 1, j);
        EXPECT_NEAR(b.z, a.z, 1e-5f);
        moved = moved || std::fabs(b.y - a.y) > 1e-3f;
    }
    EXPECT_TRUE(moved);
    EXPECT_TRUE(othersUnchanged());
}

// Real X events, with only the idle loop drawing the panel, as in the running editor: a click on
// "shading" shows its choices while the pointer rests (they appear a frame after the click's
// frame, and the panel is drawn on demand), and a click on "zebra" takes it.
TEST_F(PanelTest, AClickedListShowsItsChoicesWhileThePointerRests) {
    if (system("command -v xdotool >/dev/null 2>&1") != 0) GTEST_SKIP() << "xdotool missing";
    glutSetWindow(editor.handles.controlPanel);
    const int left = glutGet(GLUT_WINDOW_X), top = glutGet(GLUT_WINDOW_Y);
    drawPanel(2);
    const PanelItem list = panelItem("list", "shading");
    const int windows = ImGui::GetDrawData()->CmdListsCount;
    auto clickAndIdle = [&](int below) {
        const std::string click =
            "xdotool mousemove " + std::to_string(left + static_cast<int>(centreX(list))) + " " +
            std::to_string(top + static_cast<int>(centreY(list)) + below) + " click 1";
        ASSERT_EQ(system(click.c_str()), 0);
        for (int i = 0; i < 20; ++i) {
            usleep(20000);
            pumpEvents(2);
            probeIdle();
        }
    };
    clickAndIdle(0);
    EXPECT_GT(ImGui::GetDrawData()->CmdListsCount, windows) << "the list's choices are not shown";
    clickAndIdle(40);  // "zebra", the second choice
    EXPECT_EQ(editor.panel.shading, kShadingZebra);
    editor.panel.shading = kShadingGlu;
}

// Real X events: the pointer clicks into "file", ctrl+a selects the name, the new name is typed,
// "save points" writes it, and "load points" reads it back after the surface was cleared.
TEST_F(PanelTest, FileBoxRoundTripWithRealClicksAndTyping) {
    if (system("command -v xdotool >/dev/null 2>&1") != 0) GTEST_SKIP() << "xdotool missing";
    glutSetWindow(editor.handles.controlPanel);
    const int left = glutGet(GLUT_WINDOW_X);
    const int top = glutGet(GLUT_WINDOW_Y);
    auto settle = []() {
        for (int i = 0; i < 8; ++i) {
            usleep(30000);
            pumpEvents(3);
        }
    };
    auto run = [&](const std::string& command) {
        ASSERT_EQ(system(("xdotool " + command).c_str()), 0) << command;
        settle();
    };
    auto clickAt = [&](const PanelItem& item) {
        run("mousemove " + std::to_string(left + static_cast<int>(centreX(item))) + " " +
            std::to_string(top + static_cast<int>(centreY(item))) + " click 1");
    };

    drawPanel();
    const std::string path = scratchDirectory() + "/typed-name.surf";
    unlink(path.c_str());
    clickAt(panelItem("text box", "file"));
    run("key ctrl+a");
    run("type --delay 20 '" + path + "'");
    ASSERT_STREQ(editor.panel.surfaceFileName, path.c_str());

    const std::vector<PointH> net = editor.surface.controlNet;
    const std::vector<float> knotsU = editor.surface.knotsU;
    const std::vector<float> knotsV = editor.surface.knotsV;
    clickAt(panelItem("button", "save points"));
    ASSERT_EQ(access(path.c_str(), R_OK), 0) << "save points wrote nothing";

    clearSurface();
    drawPanel();
    clickAt(panelItem("button", "load points"));
    ASSERT_TRUE(surfaceIsUsable(editor.surface)) << editor.panel.statusLine;
    EXPECT_EQ(editor.surface.countU, 5);
    EXPECT_EQ(editor.surface.countV, 4);
    EXPECT_EQ(editor.panel.degreeS, 3);
    // Knots come back to the file's six decimals; the points are quarters, exact in it.
    ASSERT_EQ(editor.surface.knotsU.size(), knotsU.size());
    ASSERT_EQ(editor.surface.knotsV.size(), knotsV.size());
    for (size_t i = 0; i < knotsU.size(); ++i)
        EXPECT_NEAR(editor.surface.knotsU[i], knotsU[i], 1e-6);
    for (size_t i = 0; i < knotsV.size(); ++i)
        EXPECT_NEAR(editor.surface.knotsV[i], knotsV[i], 1e-6);
    ASSERT_EQ(editor.surface.controlNet.size(), net.size());
    for (size_t i = 0; i < net.size(); ++i) {
        EXPECT_EQ(editor.surface.controlNet[i].x, net[i].x) << i;
        EXPECT_EQ(editor.surface.controlNet[i].y, net[i].y) << i;
        EXPECT_EQ(editor.surface.controlNet[i].z, net[i].z) << i;
        EXPECT_EQ(editor.surface.controlNet[i].w, net[i].w) << i;
    }
}

// A start-up whose configured surface cannot be read leaves an empty editor that draws, says
// why in the status line, and loads a surface afterwards through "load points". The checks run
// in a child process of this program, started with such a configuration.
TEST(StartupWithoutSurface, EmptyEditorSaysWhyAndLoadsLater) {
    const std::string missing = "/nonexistent-loftwork-dir/missing.surf";
    const char* configured = getenv("LOFTWORK_TEST_SURFACE");
    if (configured == nullptr || missing != configured) {
        char self[4096];
        const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
        ASSERT_GT(length, 0);
        self[length] = '\0';
        const std::string log = scratchDirectory() + "/startup_child.txt";
        const std::string command = "LOFTWORK_TEST_SURFACE='" + missing + "' '" + self +
                                    "' --gtest_filter='StartupWithoutSurface.*' >'" + log +
                                    "' 2>&1";
        const int status = system(command.c_str());
        std::string output;
        if (FILE* f = fopen(log.c_str(), "r")) {
            char line[512];
            while (fgets(line, sizeof line, f)) output += line;
            fclose(f);
        }
        EXPECT_EQ(status, 0) << output;
        return;
    }

    EXPECT_EQ(editor.surface.countU, -1);
    EXPECT_EQ(editor.surface.countV, -1);
    EXPECT_NE(std::string(editor.panel.statusLine).find(missing), std::string::npos)
        << editor.panel.statusLine;
    const PanelFrame& frame = drawPanel(3);
    EXPECT_EQ(frame.items.back().kind, "status");
    EXPECT_EQ(frame.items.back().label, editor.panel.statusLine);
    EXPECT_EQ(frame.count("plane", "radio"), 0);
    EXPECT_FALSE(panelItem("spinner", "dest. plane").enabled);
    pumpEvents(10);  // the windows draw with nothing to show

    const std::string path = writeSurfaceFile("later.surf", 5, 3, 2, 1);
    snprintf(editor.panel.surfaceFileName, sizeof editor.panel.surfaceFileName, "%s", path.c_str());
    drawPanel();
    clickPanel("button", "load points");
    EXPECT_TRUE(surfaceIsUsable(editor.surface)) << editor.panel.statusLine;
    EXPECT_EQ(drawPanel().count("plane", "radio"), 3);
    EXPECT_EQ(panelItem("spinner", "degree S").value, 2);
    pumpEvents(10);
}
