// Scaling, translating and turning the current section, and reweighting a picked point.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "model/editor_state.h"
#include "model/section_centroid.h"
#include "model/skinning.h"
#include "model/transforms.h"
#include "support/state_text.h"

namespace {

constexpr int kPoints = 5;
constexpr int kSections = 3;

// A 5 x 3 surface of orders 3 x 2: section s lies in the plane x = s. The weights differ but
// average 1, so the centroid of the stored values is the Cartesian centroid and stays put when
// a section is scaled about it.
void loadSurface() {
    editor = EditorState();
    EditorState& s = editor;
    s.surface.countU = kPoints;
    s.surface.countV = kSections;
    s.surface.orderU = 3;
    s.surface.orderV = 2;
    s.surface.knotCountU = 8;
    s.surface.knotCountV = 5;
    s.surface.knotsU = {0, 0, 0, 1 / 3.0f, 2 / 3.0f, 1, 1, 1};
    s.surface.knotsV = {0, 0, 0.5f, 1, 1};
    const float weights[kPoints] = {1.0f, 1.5f, 0.5f, 1.25f, 0.75f};
    for (int sec = 0; sec < kSections; ++sec) {
        for (int j = 0; j < kPoints; ++j) {
            const float w = weights[j];
            const float x = static_cast<float>(sec);
            const float y = 0.3f * j - 0.2f * sec;
            const float z = 1.0f - 0.25f * j * j;
            s.surface.controlNet.push_back(PointH{x * w, y * w, z * w, w});
        }
    }
    s.selection.currentSection = 1;
    s.derived.multiplicity = 1;
}

PointH& point(int section, int j) {
    return editor.surface.controlNet[section * kPoints + j];
}

// Cartesian coordinate c (0, 1, 2) of a stored point.
float cartesian(const PointH& p, int c) { return (c == 0 ? p.x : c == 1 ? p.y : p.z) / p.w; }

// Every section but `section` is bit for bit what it was.
void expectOtherSectionsUnchanged(const std::vector<PointH>& before, int section) {
    for (size_t i = 0; i < before.size(); ++i) {
        if (static_cast<int>(i) / kPoints == section) continue;
        const PointH& a = before[i];
        const PointH& b = editor.surface.controlNet[i];
        EXPECT_TRUE(a.x == b.x && a.y == b.y && a.z == b.z && a.w == b.w) << "point " << i;
    }
}

}  // namespace

TEST(MultiplyMatrixVector, ReadsRowsAndRoundsTheRunningSumAfterEveryTerm) {
    // Row 0: 1 + 2^-24 rounds back to 1 before the -1 is added; a wider sum gives 2^-24.
    const float M[16] = {1, 1, 1, 0, 5, 0, 7, 8, 9, 0, 11, 12, 13, 0, 15, 16};
    float v[4] = {1.0f, 0x1p-24f, -1.0f, 2.0f};
    multiplyMatrixVector(M, v, v);  // in place as well
    EXPECT_EQ(v[0], 0.0f);
    EXPECT_EQ(v[1], 5 - 7 + 16);
    EXPECT_EQ(v[2], 9 - 11 + 24);
    EXPECT_EQ(v[3], 13 - 15 + 32);
}

TEST(Scale, UpThenDownGivesBackTheSection) {
    loadSurface();
    const std::vector<PointH> before = editor.surface.controlNet;
    scaleCurrentSection(editor, kScaleUpFactor);
    EXPECT_NE(point(1, 0).y, before[kPoints].y);
    scaleCurrentSection(editor, kScaleDownFactor);
    for (int j = 0; j < kPoints; ++j) {
        const PointH& a = before[kPoints + j];
        const PointH& b = point(1, j);
        EXPECT_NEAR(b.x, a.x, 1e-6f);
        EXPECT_NEAR(b.y, a.y, 1e-6f);
        EXPECT_NEAR(b.z, a.z, 1e-6f);
        EXPECT_EQ(b.w, a.w);
    }
    expectOtherSectionsUnchanged(before, 1);
}

TEST(Scale, KeepsTheSharedXOfUnitWeightPoints) {
    loadSurface();
    for (int j = 0; j < kPoints; ++j) point(2, j) = PointH{2.0f, 0.5f * j, -0.25f * j, 1.0f};
    editor.selection.currentSection = 2;
    scaleCurrentSection(editor, kScaleUpFactor);
    for (int j = 0; j < kPoints; ++j) {
        EXPECT_EQ(point(2, j).x, 2.0f);
        // y about the mean 1.0, z about the mean -0.5
        EXPECT_FLOAT_EQ(point(2, j).y, 1.0f + 1.25f * (0.5f * j - 1.0f));
        EXPECT_FLOAT_EQ(point(2, j).z, -0.5f + 1.25f * (-0.25f * j + 0.5f));
    }
}

TEST(Scale, PivotIsTheCurrentSectionNotTheLastDrawnOne) {
    loadSurface();
    editor.selection.sectionCentroid[0] = 100.0f;  // left behind by a draw of another section
    editor.selection.sectionCentroid[1] = -40.0f;
    editor.selection.sectionCentroid[2] = 7.0f;
    for (int j = 0; j < kPoints; ++j) point(2, j) = PointH{2.0f, 0.5f * j, 0.0f, 1.0f};
    editor.selection.currentSection = 2;
    scaleCurrentSection(editor, kScaleDownFactor);
    EXPECT_EQ(point(2, 2).x, 2.0f);
    EXPECT_EQ(point(2, 2).y, 1.0f);  // the middle point is the centroid: it stays
    EXPECT_EQ(point(2, 2).z, 0.0f);
}

struct TranslationCase {
    const char* name;
    std::function<void(float)> setControl;
    TranslateControl control;
    float dx, dy, dz;  // movement per unit of control change
};

TEST(Translation, EachControlMovesAlongItsAxisWithItsSign) {
    const std::vector<TranslationCase> cases = {
        {"x", [](float v) { editor.panel.translateX = v; }, TranslateControl::x, 1, 0, 0},
        {"y", [](float v) { editor.panel.translateY = v; }, TranslateControl::y, 0, 1, 0},
        {"z", [](float v) { editor.panel.translateZ = v; }, TranslateControl::z, 0, 0, -1},
        {"zy horizontal", [](float v) { editor.panel.translateZY[0] = v; }, TranslateControl::zy, 0,
         0, 1},
        {"zy vertical", [](float v) { editor.panel.translateZY[1] = v; }, TranslateControl::zy, 0,
         1, 0},
    };
    for (const TranslationCase& c : cases) {
        SCOPED_TRACE(c.name);
        loadSurface();
        const std::vector<PointH> before = editor.surface.controlNet;
        c.setControl(0.5f);
        translateByControl(editor, c.control);
        for (int j = 0; j < kPoints; ++j) {
            const PointH& a = before[kPoints + j];
            const PointH& b = point(1, j);
            EXPECT_NEAR(cartesian(b, 0) - cartesian(a, 0), 0.5f * c.dx, 1e-6f);
            EXPECT_NEAR(cartesian(b, 1) - cartesian(a, 1), 0.5f * c.dy, 1e-6f);
            EXPECT_NEAR(cartesian(b, 2) - cartesian(a, 2), 0.5f * c.dz, 1e-6f);
            EXPECT_EQ(b.w, a.w);
        }
        expectOtherSectionsUnchanged(before, 1);
    }
}

TEST(Translation, AppliesOnlyTheChangeSinceTheLastCall) {
    loadSurface();
    const float x0 = cartesian(point(1, 3), 0);
    editor.panel.translateX = 0.3f;
    translateByControl(editor, TranslateControl::x);
    EXPECT_NEAR(cartesian(point(1, 3), 0) - x0, 0.3f, 1e-6f);
    editor.panel.translateX = 0.5f;
    translateByControl(editor, TranslateControl::x);
    EXPECT_NEAR(cartesian(point(1, 3), 0) - x0, 0.5f, 1e-6f);  // 0.3 + 0.2, not 0.3 + 0.5
    EXPECT_EQ(editor.panel.lastTranslateX, 0.5f);
}

TEST(ZRotation, QuarterTurnTakesPlusXToMinusY) {
    loadSurface();
    const float c[3] = {2.0f, 3.0f, 4.0f};
    const float offsets[kPoints][3] = {{1, 0, 0.5f}, {-1, 0, -0.5f}, {0, 1, 0.25f},
                                       {0, -1, -0.25f}, {0, 0, 0}};
    for (int j = 0; j < kPoints; ++j) {
        point(1, j) = PointH{c[0] + offsets[j][0], c[1] + offsets[j][1], c[2] + offsets[j][2], 1};
    }
    const std::vector<PointH> before = editor.surface.controlNet;
    editor.panel.zRotAngle = static_cast<float>(M_PI / 2);
    rotateCurrentSectionAboutZ(editor);
    const float expected[kPoints][3] = {{0, -1, 0.5f}, {0, 1, -0.5f}, {1, 0, 0.25f},
                                        {-1, 0, -0.25f}, {0, 0, 0}};
    for (int j = 0; j < kPoints; ++j) {
        SCOPED_TRACE(j);
        EXPECT_NEAR(point(1, j).x, c[0] + expected[j][0], 1e-6f);
        EXPECT_NEAR(point(1, j).y, c[1] + expected[j][1], 1e-6f);
        EXPECT_NEAR(point(1, j).z, c[2] + expected[j][2], 1e-6f);
        EXPECT_EQ(point(1, j).w, 1.0f);
    }
    EXPECT_EQ(editor.panel.zRotAngle, 0.0f);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(editor.panel.rotationMatrix[i], i % 5 == 0 ? 1.0f : 0.0f);
    expectOtherSectionsUnchanged(before, 1);
}

TEST(Rotation, ArcballMatrixTurnsAboutTheCentroidAndIsReset) {
    loadSurface();
    // Quarter turn about x in OpenGL's column order, as the arcball writes it: y goes to z.
    const float turnX[16] = {1, 0, 0, 0, 0, 0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1};
    const std::vector<PointH> before = editor.surface.controlNet;
    float centroid[3] = {0, 0, 0};  // of the stored values of section 1
    for (int j = 0; j < kPoints; ++j) {
        centroid[0] += point(1, j).x / kPoints;
        centroid[1] += point(1, j).y / kPoints;
        centroid[2] += point(1, j).z / kPoints;
    }
    std::copy(turnX, turnX + 16, editor.panel.rotationMatrix);
    rotateCurrentSection(editor);
    for (int j = 0; j < kPoints; ++j) {
        SCOPED_TRACE(j);
        const PointH& a = before[kPoints + j];
        const PointH& b = point(1, j);
        // Relative to the pivot taken as a Cartesian point, scaled by the weight.
        EXPECT_NEAR(b.x - b.w * centroid[0], a.x - a.w * centroid[0], 1e-5f);
        EXPECT_NEAR(b.y - b.w * centroid[1], -(a.z - a.w * centroid[2]), 1e-5f);
        EXPECT_NEAR(b.z - b.w * centroid[2], a.y - a.w * centroid[1], 1e-5f);
        EXPECT_EQ(b.w, a.w);
    }
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(editor.panel.rotationMatrix[i], i % 5 == 0 ? 1.0f : 0.0f);
    expectOtherSectionsUnchanged(before, 1);
}

TEST(SectionTransforms, DoNothingWithoutASectionToMove) {
    const std::vector<std::pair<const char*, void (*)(EditorState&)>> edits = {
        {"scaleUp", [](EditorState& s) { scaleCurrentSection(s, kScaleUpFactor); }},
        {"scaleDown", [](EditorState& s) { scaleCurrentSection(s, kScaleDownFactor); }},
        {"rotation", rotateCurrentSection},
        {"z_rot", rotateCurrentSectionAboutZ}};
    for (const auto& c : edits) {
        SCOPED_TRACE(c.first);
        editor = EditorState();
        c.second(editor);
        EXPECT_TRUE(editor.surface.controlNet.empty());
        loadSurface();
        editor.selection.currentSection = 3;  // one past the last section
        const std::string before = testsupport::stateText(editor);
        c.second(editor);
        EXPECT_EQ(testsupport::stateText(editor), before);
    }
}

TEST(SectionTransforms, OverflowLeavesTheSectionAsItWas) {
    loadSurface();
    point(1, 0).y = 3e38f;
    computeSectionCentroid(editor.surface, editor.selection.currentSection,
                           editor.selection.sectionCentroid);  // the pivot the scaling refreshes
    const std::string before = testsupport::stateText(editor);
    scaleCurrentSection(editor, kScaleUpFactor);
    EXPECT_EQ(testsupport::stateText(editor), before);
    EXPECT_STRNE(editor.panel.statusLine, "");
}

TEST(SectionTransforms, SkinnedNetFollowsTheMovedSection) {
    loadSurface();
    editor.panel.skinningEnabled = 1;
    ASSERT_TRUE(computeSkinning(editor)) << editor.panel.statusLine;
    editor.panel.translateY = 0.25f;
    translateByControl(editor, TranslateControl::y);
    const std::vector<PointH> skinnedAfterMove = editor.derived.skinnedNet;
    ASSERT_TRUE(computeSkinning(editor));
    ASSERT_EQ(skinnedAfterMove.size(), editor.derived.skinnedNet.size());
    for (size_t i = 0; i < skinnedAfterMove.size(); ++i) {
        EXPECT_EQ(skinnedAfterMove[i].y, editor.derived.skinnedNet[i].y) << i;
    }
}

TEST(Weight, KeepsTheCartesianPosition) {
    loadSurface();
    point(2, 3) = PointH{1, 2, 3, 1};  // outside the current section: any point can be picked
    editor.selection.pickedPointOffset = 4 * (2 * kPoints + 3);
    editor.selection.weightValue = 2.0f;
    const std::vector<PointH> before = editor.surface.controlNet;
    reweightPickedPoint(editor);
    const PointH& p = point(2, 3);
    EXPECT_EQ(p.x, 2.0f);
    EXPECT_EQ(p.y, 4.0f);
    EXPECT_EQ(p.z, 6.0f);
    EXPECT_EQ(p.w, 2.0f);
    for (size_t i = 0; i < before.size(); ++i) {
        if (i != 2 * kPoints + 3) {
            EXPECT_EQ(editor.surface.controlNet[i].x, before[i].x) << i;
        }
    }
}

TEST(Weight, DividesAndMultipliesBeforeRoundingOnce) {
    loadSurface();
    point(0, 0) = PointH{0.1f, 0.1f, 0.1f, 0.3f};
    editor.selection.pickedPointOffset = 0;
    editor.selection.weightValue = 1.1f;
    reweightPickedPoint(editor);
    // Rounding 0.1 / 0.3 to a float first would give 0x1.777776p-2.
    EXPECT_EQ(point(0, 0).x, 0x1.777778p-2f);
    EXPECT_EQ(point(0, 0).w, 1.1f);
}

TEST(Weight, RefusedValuesAndPicksChangeNothing) {
    struct Case {
        const char* what;
        int pickedPointOffset;
        float weightValue;
        float pointWeight;
        float weightShown;  // weightValue afterwards
    };
    const Case cases[] = {
        {"nothing picked yet", -1, -1.0f, 1.0f, -1.0f},
        // No point to take it: the box shows no weight rather than the value refused.
        {"pick beyond the net", 4 * kPoints * kSections, 2.0f, 1.0f, -1.0f},
        {"pick not at a point's start", 6, 2.0f, 1.0f, -1.0f},
        // A refused value: the spinner goes back to the weight the point keeps.
        {"weight 0", 4, 0.0f, 1.0f, 1.0f},
        {"negative weight", 4, -0.5f, 1.0f, 1.0f},
        {"not a number", 4, NAN, 1.0f, 1.0f},
        {"infinite weight", 4, INFINITY, 1.0f, 1.0f},
        {"picked point has weight 0", 4, 2.0f, 0.0f, 2.0f},
        {"coordinates would overflow", 4, 3e38f, 1e-3f, 1e-3f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        loadSurface();
        point(0, 1).w = c.pointWeight;
        editor.selection.pickedPointOffset = c.pickedPointOffset;
        editor.selection.weightValue = c.weightValue;
        editor.panel.statusLine[0] = '\0';
        const std::string before = testsupport::stateText(editor);
        reweightPickedPoint(editor);
        EXPECT_EQ(editor.selection.weightValue, c.weightShown);
        editor.selection.weightValue = c.weightValue;
        EXPECT_EQ(testsupport::stateText(editor), before);
        EXPECT_STRNE(editor.panel.statusLine, "");
    }
}
