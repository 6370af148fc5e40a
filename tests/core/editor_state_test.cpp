// The editor state before any surface is loaded, and the consistency helpers.
#include <gtest/gtest.h>

#include "model/derived_nets.h"
#include "model/editor_state.h"

TEST(EditorStateStart, NoSurfaceUntilALoad) {
    const EditorState s;
    EXPECT_EQ(s.surface.countU, -1);
    EXPECT_EQ(s.surface.countV, -1);
    EXPECT_EQ(s.surface.orderU, -1);
    EXPECT_EQ(s.surface.orderV, -1);
    EXPECT_EQ(s.surface.knotCountU, -2);
    EXPECT_EQ(s.surface.knotCountV, -2);
    EXPECT_TRUE(s.surface.knotsU.empty() && s.surface.knotsV.empty() &&
                s.surface.controlNet.empty());
    EXPECT_TRUE(s.derived.skinnedNet.empty() && s.derived.skinnedKnotsV.empty());
    EXPECT_TRUE(s.derived.expandedNet.empty() && s.derived.expandedKnotsV.empty());
    EXPECT_EQ(s.derived.multiplicity, -1);
    EXPECT_EQ(s.selection.pickedPointOffset, -1);
    EXPECT_EQ(s.selection.weightValue, -1.0f);
    EXPECT_EQ(s.panel.surfaceDisplayMode, 100240.0f);
    EXPECT_EQ(s.view.cameraDistance, 3.9f);
    EXPECT_EQ(s.view.cameraPolar, 1.57f);
    EXPECT_EQ(s.view.sectionEyeOffset[0], -5.0f);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(s.panel.rotationMatrix[i], i % 5 == 0 ? 1.0f : 0.0f);
    EXPECT_STREQ(s.panel.surfaceFileName, "");
    EXPECT_FALSE(surfaceIsUsable(s.surface));
}

// A 3 x 2 surface of orders 2 x 2 whose arrays match.
static void loadSmallSurface(EditorState& s) {
    s.surface.countU = 3;
    s.surface.countV = 2;
    s.surface.orderU = 2;
    s.surface.orderV = 2;
    s.surface.knotCountU = 5;
    s.surface.knotCountV = 4;
    s.surface.knotsU = {0, 0, 0.5f, 1, 1};
    s.surface.knotsV = {0, 0, 1, 1};
    s.surface.controlNet.assign(6, PointH{1, 2, 3, 1});
}

TEST(SurfaceIsUsable, RejectsArraysThatDoNotMatchTheCounts) {
    EditorState s;
    loadSmallSurface(s);
    EXPECT_TRUE(surfaceIsUsable(s.surface));
    s.surface.controlNet.pop_back();
    EXPECT_FALSE(surfaceIsUsable(s.surface));
    loadSmallSurface(s);
    s.surface.orderU = 4;  // more than the points of a section
    s.surface.knotCountU = 7;
    s.surface.knotsU.resize(7);
    EXPECT_FALSE(surfaceIsUsable(s.surface));
}

TEST(ClampSelection, IndicesFollowAShrunkenSurface) {
    EditorState s;
    loadSmallSurface(s);
    Selection& selection = s.selection;
    selection.currentSection = 5;
    selection.destPlane = -3;
    selection.selectedPoint = 3;
    selection.pickedPointOffset = 24;  // one past the last point
    clampSelection(s.surface, selection);
    EXPECT_EQ(selection.currentSection, 1);
    EXPECT_EQ(selection.destPlane, 0);
    EXPECT_EQ(selection.selectedPoint, 2);
    EXPECT_EQ(selection.pickedPointOffset, -1);
    selection.pickedPointOffset = 20;
    clampSelection(s.surface, selection);
    EXPECT_EQ(selection.pickedPointOffset, 20);
}

TEST(ExpandedNet, RepeatsEachSectionWithClampedUniformKnots) {
    EditorState s;
    loadSmallSurface(s);
    s.surface.controlNet[3] = PointH{9, 9, 9, 1};  // first point of section 1
    s.derived.multiplicity = 3;
    std::string refusal;
    EXPECT_TRUE(buildExpandedNet(s.surface, s.derived, refusal));
    ASSERT_EQ(s.derived.expandedKnotCountV, 3 * 2 + 2);
    const std::vector<float> knots = {0, 0, 1 / 5.0f, 2 / 5.0f, 3 / 5.0f, 4 / 5.0f, 1, 1};
    EXPECT_EQ(s.derived.expandedKnotsV, knots);
    ASSERT_EQ(s.derived.expandedNet.size(), 18u);
    for (int row = 0; row < 6; ++row) {
        EXPECT_EQ(s.derived.expandedNet[row * 3].x, row < 3 ? 1.0f : 9.0f) << "row " << row;
    }
    s.derived.multiplicity = 0;  // not a usable multiplicity: nothing is built
    buildExpandedNet(s.surface, s.derived, refusal);
    EXPECT_TRUE(s.derived.expandedNet.empty());
}

// multiplicity x sections x points passed the int range on a 1 x 46341 net of degree 46340 at
// the top multiplicity, and then aborted in the allocation.
TEST(ExpandedNet, RefusesNetsPastTheDrawableSize) {
    struct Case {
        int countU, countV, orderV, multiplicity;
    } cases[] = {
        {1, 46341, 46341, 46340},  // 2,147,441,940 points: past INT_MAX / 4
        {1000, 1000, 3, 2},        // twice the largest net
        {1, 1000001, 1, 1},        // one section of too many points, even unrepeated
    };
    for (const Case& c : cases) {
        SurfaceModel surface;
        surface.countU = c.countU;
        surface.countV = c.countV;
        surface.orderU = 1;
        surface.orderV = c.orderV;
        surface.knotCountU = c.countU + 1;
        surface.knotCountV = c.countV + c.orderV;
        surface.knotsU.assign(static_cast<size_t>(surface.knotCountU), 0.0f);
        surface.knotsV.assign(static_cast<size_t>(surface.knotCountV), 0.0f);
        surface.controlNet.assign(static_cast<size_t>(c.countU) * c.countV, PointH{0, 0, 0, 1});
        DerivedNets derived;
        derived.multiplicity = c.multiplicity;
        std::string refusal;
        EXPECT_FALSE(buildExpandedNet(surface, derived, refusal)) << c.countV;
        EXPECT_NE(refusal.find("more than the 1000000"), std::string::npos) << refusal;
        EXPECT_TRUE(derived.expandedNet.empty() && derived.expandedKnotsV.empty());
    }
}
