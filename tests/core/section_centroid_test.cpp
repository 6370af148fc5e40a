// The centroid of the current section: a mean of the stored, weight-multiplied coordinates.
#include <gtest/gtest.h>

#include "model/editor_state.h"
#include "model/section_centroid.h"

namespace {

// 5 points per section, 3 sections; section s sits at z = 10 s with weight s + 1, so the
// weighted mean and the Cartesian mean differ.
void loadFiveByThree() {
    editor = EditorState();
    editor.surface.countU = 5;
    editor.surface.countV = 3;
    editor.surface.orderU = 3;
    editor.surface.orderV = 2;
    editor.surface.knotCountU = 8;
    editor.surface.knotCountV = 5;
    editor.surface.knotsU = {0, 0, 0, 1 / 3.0f, 2 / 3.0f, 1, 1, 1};
    editor.surface.knotsV = {0, 0, 0.5f, 1, 1};
    for (int s = 0; s < 3; ++s) {
        const float w = static_cast<float>(s + 1);
        for (int j = 0; j < 5; ++j) {
            const float x = static_cast<float>(j);
            const float y = static_cast<float>(j * j);
            editor.surface.controlNet.push_back({x * w, y * w, 10.0f * s * w, w});
        }
    }
}

TEST(SectionCentroid, MeanOfTheWeightedCoordinatesOfTheCurrentSection) {
    const EditorState saved = editor;
    loadFiveByThree();
    float out[3] = {-1, -1, -1};
    editor.selection.currentSection = 1;  // weight 2: twice the Cartesian mean (2, 6, 10)
    computeSectionCentroid(editor.surface, editor.selection.currentSection, out);
    EXPECT_EQ(out[0], 4.0f);
    EXPECT_EQ(out[1], 12.0f);
    EXPECT_EQ(out[2], 20.0f);
    editor.selection.currentSection = 0;
    computeSectionCentroid(editor.surface, editor.selection.currentSection, out);
    EXPECT_EQ(out[0], 2.0f);
    EXPECT_EQ(out[1], 6.0f);
    EXPECT_EQ(out[2], 0.0f);
    editor = saved;
}

TEST(SectionCentroid, NoSectionLeavesTheOutputAlone) {
    const EditorState saved = editor;
    loadFiveByThree();
    float out[3] = {-1, -2, -3};
    editor.selection.currentSection = 3;
    computeSectionCentroid(editor.surface, editor.selection.currentSection, out);
    editor = EditorState();
    computeSectionCentroid(editor.surface, editor.selection.currentSection, out);
    EXPECT_EQ(out[0], -1.0f);
    EXPECT_EQ(out[1], -2.0f);
    EXPECT_EQ(out[2], -3.0f);
    editor = saved;
}

}  // namespace
