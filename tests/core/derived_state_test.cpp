// Values the model keeps in step with the surface, on editor states of the test's own: what the
// panel shows after a reshape, and where undo's messages go.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "model/derived_nets.h"
#include "model/editor_state.h"
#include "model/knots.h"
#include "model/section_centroid.h"
#include "model/surface_commands.h"
#include "model/surface_degree.h"
#include "model/surface_edit.h"
#include "support/state_text.h"

namespace {

// `sections` sections of four points each (a quarter of a profile, x from 0.5 to 2), of orders
// 3 x orderV, with `multiplicity` and its expanded net as the editor holds them.
EditorState stateOf(int sections, int orderV, int multiplicity) {
    EditorState state;
    SurfaceModel& m = state.surface;
    m.countU = 4;
    m.countV = sections;
    m.orderU = 3;
    m.orderV = orderV;
    m.knotCountU = m.countU + m.orderU;
    m.knotCountV = m.countV + m.orderV;
    for (int s = 0; s < sections; ++s) {
        for (int j = 0; j < m.countU; ++j)
            m.controlNet.push_back({0.5f + 0.5f * j, 0.25f * j, 0.1f * s, 1.0f});
    }
    generateUniformKnots(m, 1);
    generateUniformKnots(m, 2);
    state.panel.degreeS = m.orderU - 1;
    state.panel.degreeT = m.orderV - 1;
    state.derived.multiplicity = multiplicity;
    refreshShownValues(state);
    return state;
}

struct ReshapeCase {
    const char* what;
    int orderV, multiplicity, destPlane;
    void (*reshape)(EditorState&);
    int degreeT, shownMultiplicity, sections;
};

}  // namespace

// The panel's limits follow the new sizes without a panel: multiplicity 1 .. orderV - 1, the
// destination plane inside the sections, the degrees the orders'.
TEST(DerivedState, AReshapeLeavesWhatTheEditorShows) {
    const ReshapeCase cases[] = {
        // A revolution is of degree 2 across its nine sections, whatever came before.
        {"revolve from degree 4 x multiplicity 4", 5, 4, 4,
         [](EditorState& s) { ASSERT_TRUE(revolveCurrentSection(s)); }, 2, 2, 9},
        {"revolve from degree 1", 2, 1, 4,
         [](EditorState& s) { ASSERT_TRUE(revolveCurrentSection(s)); }, 2, 1, 9},
        {"degree T 4 -> 1", 5, 4, 4,
         [](EditorState& s) {
             s.panel.degreeT = 1;
             changeDegree(s, 2);
         },
         1, 1, 5},
        {"degree T 9 asked of five sections", 2, 1, 0,
         [](EditorState& s) {
             s.panel.degreeT = 9;
             changeDegree(s, 2);
         },
         4, 1, 5},
    };
    const std::string global = testsupport::stateText(editor);
    for (const ReshapeCase& c : cases) {
        SCOPED_TRACE(c.what);
        EditorState state = stateOf(5, c.orderV, c.multiplicity);
        state.selection.currentSection = 2;
        state.selection.destPlane = c.destPlane;
        c.reshape(state);
        ASSERT_EQ(state.surface.countV, c.sections);
        EXPECT_EQ(state.surface.orderV, c.degreeT + 1);
        EXPECT_EQ(state.panel.degreeT, c.degreeT);
        EXPECT_EQ(state.panel.degreeS, state.surface.orderU - 1);
        EXPECT_EQ(state.derived.multiplicity, c.shownMultiplicity);
        EXPECT_LT(state.selection.destPlane, c.sections);
        // The expanded net and the section's centroid are those of the new surface.
        const size_t rows = static_cast<size_t>(c.shownMultiplicity) * c.sections;
        EXPECT_EQ(state.derived.expandedNet.size(), rows * state.surface.countU);
        EXPECT_EQ(state.derived.expandedKnotsV.size(), rows + state.surface.orderV);
        float centroid[3] = {NAN, NAN, NAN};
        computeSectionCentroid(state.surface, state.selection.currentSection, centroid);
        for (int k = 0; k < 3; ++k) EXPECT_EQ(state.selection.sectionCentroid[k], centroid[k]);
    }
    EXPECT_EQ(testsupport::stateText(editor), global);  // the editor's record is not touched
}

TEST(DerivedState, UndoOnAStateOfItsOwnSpeaksOnItsOwnStatusLine) {
    snprintf(editor.panel.statusLine, sizeof editor.panel.statusLine, "the editor's line");
    EditorState state = stateOf(3, 2, 1);
    EXPECT_FALSE(undoEdit(state));
    EXPECT_STREQ(state.panel.statusLine, "nothing to undo");
    EXPECT_FALSE(redoEdit(state));
    EXPECT_STREQ(state.panel.statusLine, "nothing to redo");

    state.selection.currentSection = 1;
    ASSERT_TRUE(revolveCurrentSection(state));
    ASSERT_TRUE(undoEdit(state));
    EXPECT_STREQ(state.panel.statusLine, "undid: create new surf");
    EXPECT_EQ(state.surface.countV, 3);
    EXPECT_EQ(state.panel.degreeT, 1);
    ASSERT_TRUE(redoEdit(state));
    EXPECT_STREQ(state.panel.statusLine, "redid: create new surf");
    EXPECT_EQ(state.panel.degreeT, 2);
    EXPECT_STREQ(editor.panel.statusLine, "the editor's line");
}

// Undo and redo bring back the whole surface and the nets derived from it, however the sizes
// change between the steps: the expanded net is rebuilt in the storage of the last one.
TEST(DerivedState, UndoAndRedoBringBackTheNetsOfTheirStep) {
    EditorState state = stateOf(5, 3, 2);
    state.selection.currentSection = 2;
    const EditorState before = state;
    ASSERT_TRUE(revolveCurrentSection(state));
    const EditorState after = state;
    ASSERT_NE(after.derived.expandedNet.size(), before.derived.expandedNet.size());
    auto expanded = [](const EditorState& s) {
        std::string text;
        testsupport::appendNet(text, "expandedNet", s.derived.expandedNet);
        return text;
    };
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(undoEdit(state));
        EXPECT_TRUE(sameSurface(state.surface, before.surface));
        EXPECT_EQ(expanded(state), expanded(before));
        ASSERT_TRUE(redoEdit(state));
        EXPECT_TRUE(sameSurface(state.surface, after.surface));
        EXPECT_EQ(expanded(state), expanded(after));
    }
}
