// The undo history as a value: steps, gestures and the memory bound.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "model/edit_description.h"
#include "model/edit_history.h"

namespace {

// A snapshot whose net of `points` points all hold `value`.
EditSnapshot snapshotOf(float value, size_t points = 4) {
    EditSnapshot s;
    s.surface.countU = static_cast<int32_t>(points);
    s.surface.countV = 1;
    s.surface.controlNet.assign(points, PointH{value, value, value, 1.0f});
    return s;
}

TEST(EditHistory, AGestureOfManyChangesIsOneStepAndNoChangeIsNone) {
    EditHistory history;
    ASSERT_TRUE(openGesture(history, "move point 3 of section 2", snapshotOf(0)));
    EXPECT_FALSE(openGesture(history, "nested", snapshotOf(1)));  // joins the open one
    EXPECT_TRUE(closeGesture(history, snapshotOf(5)));
    ASSERT_EQ(history.undoSteps.size(), 1u);
    EXPECT_EQ(history.undoSteps.back().name, "move point 3 of section 2");
    EXPECT_EQ(history.undoSteps.back().state.surface.controlNet[0].x, 0.0f);

    openGesture(history, "click", snapshotOf(5));
    EXPECT_FALSE(closeGesture(history, snapshotOf(5)));
    EXPECT_EQ(history.undoSteps.size(), 1u);

    // A sign of zero is a change: the comparison is of bits.
    openGesture(history, "negate", snapshotOf(0.0f));
    EXPECT_TRUE(closeGesture(history, snapshotOf(-0.0f)));
}

TEST(EditHistory, UndoAndRedoSwapTheCurrentStateAndANewStepDropsTheRedoList) {
    EditHistory history;
    recordStep(history, {"first", snapshotOf(0)});
    recordStep(history, {"second", snapshotOf(1)});
    EditSnapshot current = snapshotOf(2);
    std::string name;
    ASSERT_TRUE(undoStep(history, current, name));
    EXPECT_EQ(name, "second");
    EXPECT_EQ(current.surface.controlNet[0].x, 1.0f);
    ASSERT_TRUE(undoStep(history, current, name));
    EXPECT_EQ(current.surface.controlNet[0].x, 0.0f);
    EXPECT_FALSE(undoStep(history, current, name));
    ASSERT_TRUE(redoStep(history, current, name));
    EXPECT_EQ(name, "first");
    EXPECT_EQ(current.surface.controlNet[0].x, 1.0f);
    recordStep(history, {"third", snapshotOf(1)});
    EXPECT_TRUE(history.redoSteps.empty());
    EXPECT_FALSE(redoStep(history, current, name));
    EXPECT_EQ(history.bytes, snapshotBytes(history.undoSteps[0].state) +
                                 snapshotBytes(history.undoSteps[1].state));
}

TEST(EditHistory, TheMemoryBoundDropsTheOldestStepsButNeverTheLast) {
    EditHistory history;
    const size_t step = snapshotBytes(snapshotOf(0, 1000));
    history.limitBytes = 3 * step;
    for (int i = 0; i < 5; ++i) recordStep(history, {std::to_string(i), snapshotOf(i, 1000)});
    ASSERT_EQ(history.undoSteps.size(), 3u);
    EXPECT_EQ(history.undoSteps.front().name, "2");
    EXPECT_LE(history.bytes, history.limitBytes);

    history.limitBytes = step / 2;  // smaller than one step
    recordStep(history, {"big", snapshotOf(9, 1000)});
    ASSERT_EQ(history.undoSteps.size(), 1u);
    EXPECT_EQ(history.undoSteps.front().name, "big");
}

}  // namespace

// The status line's words for points changed in a net of 100 x 30 (blocks of the comparison
// end inside sections, and the last is short).
TEST(EditDescription, TellsOnePointOneSectionOrHowManyMoved) {
    const std::pair<std::vector<size_t>, std::string> cases[] = {
        {{}, ""},
        {{2999}, "now at (2, 2, 2), weight 1"},
        {{63, 64}, "section centred at"},
        {{99, 100}, "2 points moved"},
        {{0, 1500, 2999}, "3 points moved"},
    };
    EditorState before;
    before.surface.countU = 100;
    before.surface.countV = 30;
    before.surface.controlNet.assign(3000, PointH{1.0f, 1.0f, 1.0f, 1.0f});
    EditSnapshot snapshot;
    snapshot.surface = before.surface;
    for (const auto& [changed, expected] : cases) {
        EditorState after = before;
        for (size_t i : changed) after.surface.controlNet[i] = PointH{2.0f, 2.0f, 2.0f, 1.0f};
        EXPECT_EQ(describeEdit(snapshot, after).substr(0, expected.size()), expected);
    }
}
