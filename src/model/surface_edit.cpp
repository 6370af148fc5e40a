// Recording, following up and undoing edits of the surface.
#include "model/surface_edit.h"

#include <cstdio>
#include <utility>

#include "model/derived_nets.h"
#include "model/edit_description.h"
#include "model/gui_hooks.h"
#include "model/skinning.h"

namespace {

// Every value a snapshot keeps beside its place in the state, listed once for taking a snapshot
// and for swapping one in.
template <typename State, typename Visit>
void forEachKeptValue(State& state, EditSnapshot& snapshot, Visit visit) {
    visit(state.surface, snapshot.surface);
    visit(state.selection, snapshot.selection);
    visit(state.derived.skinnedNet, snapshot.derived.skinnedNet);
    visit(state.derived.skinnedKnotsV, snapshot.derived.skinnedKnotsV);
    visit(state.derived.multiplicity, snapshot.derived.multiplicity);
    visit(state.panel.degreeS, snapshot.panel.degreeS);
    visit(state.panel.degreeT, snapshot.panel.degreeT);
    visit(state.panel.fillSurface, snapshot.panel.fillSurface);
    visit(state.panel.surfaceDisplayMode, snapshot.panel.surfaceDisplayMode);
    visit(state.panel.loftParametersSet, snapshot.panel.loftParameters);
    visit(state.panel.closedLoftSet, snapshot.panel.closedLoft);
    visit(state.panel.loftStart, snapshot.panel.loftStart);
    visit(state.panel.loftEnd, snapshot.panel.loftEnd);
    visit(state.panel.rationalSections, snapshot.panel.rationalSections);
}

}  // namespace

namespace {

// The panel values a snapshot shows once its edit is done: the degree spinners show the orders,
// whatever was being typed, and "fill surf" shows the display mode.
void settleShownValues(EditSnapshot& snapshot) {
    if (snapshot.surface.orderU >= 1) snapshot.panel.degreeS = snapshot.surface.orderU - 1;
    if (snapshot.surface.orderV >= 1) snapshot.panel.degreeT = snapshot.surface.orderV - 1;
    snapshot.panel.fillSurface = snapshot.panel.surfaceDisplayMode == kDisplayModeFill ? 1 : 0;
}

}  // namespace

EditSnapshot captureEdit(const EditorState& state) {
    EditSnapshot snapshot;
    forEachKeptValue(state, snapshot, [](const auto& value, auto& kept) { kept = value; });
    settleShownValues(snapshot);
    return snapshot;
}

namespace {

// captureEdit for a state about to be replaced: its values are moved, not copied, and what is
// left of them in the state is only fit to be overwritten.
EditSnapshot takeEdit(EditorState& state) {
    EditSnapshot snapshot;
    forEachKeptValue(state, snapshot, [](auto& value, auto& kept) { kept = std::move(value); });
    settleShownValues(snapshot);
    return snapshot;
}

// Swaps the snapshot's values into the state, so that `snapshot` then holds what the state had.
void swapIn(EditorState& state, EditSnapshot& snapshot) {
    forEachKeptValue(state, snapshot, [](auto& value, auto& kept) { std::swap(value, kept); });
    // The loft controls show, and skinning uses, the options of the state brought back.
    state.panel.loftParameters = state.panel.loftParametersSet;
    state.panel.closedLoft = state.panel.closedLoftSet;
}

bool sameShape(const SurfaceModel& a, const SurfaceModel& b) {
    return a.countU == b.countU && a.countV == b.countV && a.orderU == b.orderU &&
           a.orderV == b.orderV && a.knotsU.size() == b.knotsU.size() &&
           a.knotsV.size() == b.knotsV.size();
}

bool moveThroughHistory(EditorState& state, bool undo) {
    // A gesture still open (a drag whose release never came) ends before the history moves.
    if (state.history.gestureOpen) endEdit(state);
    if ((undo ? state.history.undoSteps : state.history.redoSteps).empty()) {
        setStatusLine(state.panel, undo ? "nothing to undo" : "nothing to redo");
        return false;
    }
    EditSnapshot current = takeEdit(state);
    std::string name;
    if (undo) {
        undoStep(state.history, current, name);
    } else {
        redoStep(state.history, current, name);
    }
    // current now holds the state to show, and the step just filed the replaced one.
    swapIn(state, current);
    const EditSnapshot& replaced =
        (undo ? state.history.redoSteps : state.history.undoSteps).back().state;
    if (state.panel.skinningEnabled != 0 && skinnedNetUsable(state.surface, true, state.derived)) {
        // The skinned net of that moment comes back with it, as it was.
        clampSelection(state.surface, state.selection);
        markExpandedNetStale(state.derived);
    } else {
        syncDerivedNets(state);
    }
    if (!sameShape(state.surface, replaced.surface)) {
        followSurfaceShape(state);
        guiRebuildKnotControls();
    }
    refreshShownValues(state);
    // Undoing a load brings back the file name of the surface before it, and the box shows it.
    if (state.surface.fileName != replaced.surface.fileName) {
        snprintf(state.panel.surfaceFileName, sizeof state.panel.surfaceFileName, "%s",
                 state.surface.fileName.c_str());
    }
    refreshUnsavedChanges(state);
    setStatusLinef(state.panel, "%s: %s", undo ? "undid" : "redid", name.c_str());
    guiRefreshPanel();
    guiRedrawViews();
    return true;
}

}  // namespace

namespace {

// What the open gesture did so far, on the status line ("move point 3 of section 2: point 3 of
// section 2 at (...), weight 1"), unless a message was set since it began or last said so (a
// refusal, the edit's own report). While the gesture goes on the line is only shown; endEdit
// writes it to standard error once, when the step is recorded.
void sayWhatGestureDid(EditorState& state) {
    EditHistory& history = state.history;
    if (state.panel.statusSerial != history.statusSerialOfGesture) return;
    const std::string what = describeEdit(history.gesture.state, state);
    if (what.empty()) return;
    showStatusLine(state.panel, (history.gesture.name + ": " + what).c_str());
    history.statusSerialOfGesture = state.panel.statusSerial;
}

}  // namespace

bool beginEdit(EditorState& state, const std::string& name) {
    if (state.history.gestureOpen) return false;
    if (!openGesture(state.history, name, captureEdit(state))) return false;
    state.history.statusSerialOfGesture = state.panel.statusSerial;
    return true;
}

void endEdit(EditorState& state) {
    EditHistory& history = state.history;
    if (!history.gestureOpen) return;
    const std::string what = describeEdit(history.gesture.state, state);
    const std::string name = history.gesture.name;
    const uint32_t serial = history.statusSerialOfGesture;
    if (closeGesture(history, captureEdit(state)) && !what.empty() &&
        state.panel.statusSerial == serial) {
        setStatusLine(state.panel, (name + ": " + what).c_str());
    }
    refreshUnsavedChanges(state);
    guiRefreshPanel();
}

void surfaceEdited(EditorState& state, EditEffect effect) {
    switch (effect) {
        case EditEffect::movedPoints:
            if (state.panel.skinningEnabled != 0) {
                std::string refusal;
                if (skinSurface(state.surface, loftOptionsOf(state.panel), state.derived,
                                refusal)) {
                    clearSkinningRefusal(state.panel);
                } else {
                    reportSkinningRefusal(state.panel, refusal);
                }
            }
            break;
        case EditEffect::reshaped:
            syncDerivedNets(state);
            followSurfaceShape(state);
            guiRebuildKnotControls();
            break;
        case EditEffect::multiplicity:
            if (std::string message; !fitExpandedNet(state.surface, state.derived, message)) {
                setStatusLine(state.panel, message.c_str());
            }
            break;
        case EditEffect::reweighted:
        case EditEffect::display:
            break;
    }
    refreshShownValues(state);
    if (state.history.gestureOpen) sayWhatGestureDid(state);
    guiRefreshPanel();
    guiRedrawViews();
}

bool undoEdit(EditorState& state) {
    return moveThroughHistory(state, true);
}

bool redoEdit(EditorState& state) {
    return moveThroughHistory(state, false);
}

void markSurfaceSaved(EditorState& state, const FileStamp& stamp) {
    recordSavedFile(state.history, state.surface, stamp);
    state.history.unsavedChanges = false;
}

bool refreshUnsavedChanges(EditorState& state) {
    state.history.unsavedChanges = differsFromItsFile(state.history, state.surface);
    return state.history.unsavedChanges;
}
