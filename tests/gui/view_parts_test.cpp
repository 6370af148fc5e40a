// Both views drawn from parts held outside the editor: each frame equals the one drawn while the
// editor held the same parts, with the editor meanwhile holding no surface at all, so nothing
// below the display handlers reads the editor's own parts.
#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "model/derived_nets.h"
#include "model/editor_state.h"
#include "model/section_centroid.h"
#include "support/gui_test_env.h"
#include "support/main_window_probe.h"
#include "support/test_surface.h"
#include "view/main_view.h"
#include "view/section_view.h"
#include "view/surface_cache.h"

namespace {

enum class View { main, section };

struct PartsCase {
    const char* name;
    View view;
    void (*shape)(EditorState& parts);  // after a 6 x 6 hull is set
};

void PrintTo(const PartsCase& c, std::ostream* os) {
    *os << c.name;
}

void drawMain(EditorState& p) {
    drawMainScene(p.surface, p.derived, p.selection, p.panel, p.view,
                  editor.handles.surfaceRenderer);
}

void drawSection(EditorState& p) {
    drawSectionFrame(p.surface, p.selection, p.view, editor.handles.sectionRenderer);
}

// drawAndReadBack takes a plain function; these say what it draws.
EditorState* drawnParts = nullptr;
View drawnView = View::main;

void drawChosen() {
    if (drawnView == View::main) {
        drawMain(*drawnParts);
    } else {
        drawSection(*drawnParts);
    }
}

std::vector<unsigned char> frameOf(View view, EditorState& parts) {
    drawnParts = &parts;
    drawnView = view;
    const int window =
        view == View::main ? editor.handles.mainWindow : editor.handles.sectionWindow;
    int width = 0, height = 0;
    return testsupport::drawAndReadBack(window, drawChosen, &width, &height);
}

const std::vector<PartsCase> kCases = {
    {"MainOutlineWithTheSkinnedNet", View::main,
     [](EditorState& p) {
         p.panel.skinningEnabled = 1;
         std::string refusal;
         syncDerivedNets(p.surface, true, p.derived, p.selection, refusal);
         p.selection.currentSection = 4;
     }},
    // The expanded net is left to the frame to build, into the parts it is given.
    {"MainFilledWithRepeatedSectionsPickedPointAndProbe", View::main,
     [](EditorState& p) {
         p.panel.surfaceDisplayMode = kDisplayModeFill;
         p.derived.multiplicity = 2;
         releaseExpandedNet(p.derived);
         p.selection.pickedPointOffset = 4 * 7;
         p.view.probeU = 0.3f;
         p.view.probeV = 0.6f;
         p.view.cameraAzimuth = 0.7f;
     }},
    {"SectionZoomedOnTheThirdSectionWithItsFourthPointSelected", View::section,
     [](EditorState& p) {
         p.selection.currentSection = 2;
         p.selection.selectedPoint = 3;
         p.view.sectionZoom = 1.5f;
         computeSectionCentroid(p.surface, 2, p.selection.sectionCentroid);
     }},
};

class ViewParts : public ::testing::TestWithParam<PartsCase> {};

}  // namespace

TEST_P(ViewParts, FrameFromHeldPartsEqualsTheFrameFromTheEditor) {
    const PartsCase& c = GetParam();
    testsupport::resetMainView();
    testsupport::setHull(6);
    c.shape(editor);
    EditorState held = editor;  // before any frame: what the frame derives goes into these parts

    const std::vector<unsigned char> fromEditor = frameOf(c.view, editor);
    // The editor now holds other parts: no surface, start-up camera, selection and zoom.
    testsupport::clearSurface();
    testsupport::resetMainView();
    editor.selection.currentSection = 0;
    editor.selection.selectedPoint = 0;
    editor.view.sectionZoom = 1.0f;
    const std::vector<unsigned char> fromEmptyEditor = frameOf(c.view, editor);
    clearSurfaceCache();  // the held surface is tessellated from its own parts
    const std::vector<unsigned char> fromHeld = frameOf(c.view, held);

    ASSERT_NE(fromEditor, fromEmptyEditor) << "the case shows nothing of its surface";
    EXPECT_TRUE(fromHeld == fromEditor);
    EXPECT_EQ(editor.surface.countU, -1);
    EXPECT_TRUE(editor.derived.expandedNet.empty());
}

INSTANTIATE_TEST_SUITE_P(BothViews, ViewParts, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<PartsCase>& info) {
                             return std::string(info.param.name);
                         });
