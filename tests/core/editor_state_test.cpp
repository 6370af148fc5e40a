// The editor state before any surface is loaded, and the consistency helpers.
#include <gtest/gtest.h>

#include "model/derived_nets.h"
#include "model/editor_state.h"

TEST(EditorStateStart, NoSurfaceUntilALoad) {
    const EditorState s;
    EXPECT_EQ(s.countU, -1);
    EXPECT_EQ(s.countV, -1);
    EXPECT_EQ(s.orderU, -1);
    EXPECT_EQ(s.orderV, -1);
    EXPECT_EQ(s.knotCountU, -2);
    EXPECT_EQ(s.knotCountV, -2);
    EXPECT_TRUE(s.knotsU.empty() && s.knotsV.empty() && s.controlNet.empty());
    EXPECT_TRUE(s.skinnedNet.empty() && s.skinnedKnotsV.empty());
    EXPECT_TRUE(s.expandedNet.empty() && s.expandedKnotsV.empty());
    EXPECT_EQ(s.multiplicity, -1);
    EXPECT_EQ(s.pickedPointOffset, -1);
    EXPECT_EQ(s.weightValue, -1.0f);
    EXPECT_EQ(s.surfaceDisplayMode, 100240.0f);
    EXPECT_EQ(s.cameraDistance, 3.9f);
    EXPECT_EQ(s.cameraPolar, 1.57f);
    EXPECT_EQ(s.sectionEyeOffset[0], -5.0f);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(s.rotationMatrix[i], i % 5 == 0 ? 1.0f : 0.0f);
    EXPECT_STREQ(s.surfaceFileName, "");
    EXPECT_FALSE(surfaceIsUsable(s));
}

// A 3 x 2 surface of orders 2 x 2 whose arrays match.
static void loadSmallSurface(EditorState& s) {
    s.countU = 3;
    s.countV = 2;
    s.orderU = 2;
    s.orderV = 2;
    s.knotCountU = 5;
    s.knotCountV = 4;
    s.knotsU = {0, 0, 0.5f, 1, 1};
    s.knotsV = {0, 0, 1, 1};
    s.controlNet.assign(6, PointH{1, 2, 3, 1});
}

TEST(SurfaceIsUsable, RejectsArraysThatDoNotMatchTheCounts) {
    EditorState s;
    loadSmallSurface(s);
    EXPECT_TRUE(surfaceIsUsable(s));
    s.controlNet.pop_back();
    EXPECT_FALSE(surfaceIsUsable(s));
    loadSmallSurface(s);
    s.orderU = 4;  // more than the points of a section
    s.knotCountU = 7;
    s.knotsU.resize(7);
    EXPECT_FALSE(surfaceIsUsable(s));
}

TEST(ClampSelection, IndicesFollowAShrunkenSurface) {
    EditorState saved = editor;
    loadSmallSurface(editor);
    editor.currentSection = 5;
    editor.destPlane = -3;
    editor.selectedPoint = 3;
    editor.pickedPointOffset = 24;  // one past the last point
    clampSelection();
    EXPECT_EQ(editor.currentSection, 1);
    EXPECT_EQ(editor.destPlane, 0);
    EXPECT_EQ(editor.selectedPoint, 2);
    EXPECT_EQ(editor.pickedPointOffset, -1);
    editor.pickedPointOffset = 20;
    clampSelection();
    EXPECT_EQ(editor.pickedPointOffset, 20);
    editor = saved;
}

TEST(ExpandedNet, RepeatsEachSectionWithClampedUniformKnots) {
    EditorState saved = editor;
    loadSmallSurface(editor);
    editor.controlNet[3] = PointH{9, 9, 9, 1};  // first point of section 1
    editor.multiplicity = 3;
    rebuildExpandedNet();
    ASSERT_EQ(editor.expandedKnotCountV, 3 * 2 + 2);
    const std::vector<float> knots = {0, 0, 1 / 5.0f, 2 / 5.0f, 3 / 5.0f, 4 / 5.0f, 1, 1};
    EXPECT_EQ(editor.expandedKnotsV, knots);
    ASSERT_EQ(editor.expandedNet.size(), 18u);
    for (int row = 0; row < 6; ++row) {
        EXPECT_EQ(editor.expandedNet[row * 3].x, row < 3 ? 1.0f : 9.0f) << "row " << row;
    }
    editor.multiplicity = 0;  // not a usable multiplicity: nothing is built
    rebuildExpandedNet();
    EXPECT_TRUE(editor.expandedNet.empty());
    editor = saved;
}
