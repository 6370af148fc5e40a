// The undo and redo lists and their memory bound.
#include "model/edit_history.h"

#include <utility>

size_t snapshotBytes(const EditSnapshot& s) {
    return sizeof(EditSnapshot) +
           (s.surface.controlNet.capacity() + s.derived.skinnedNet.capacity()) * sizeof(PointH) +
           (s.surface.knotsU.capacity() + s.surface.knotsV.capacity() +
            s.derived.skinnedKnotsV.capacity()) *
               sizeof(float);
}

namespace {

// The settings apart from the degrees, which follow the orders (and so the surface).
bool settingsChanged(const KeptSettings& a, const KeptSettings& b) {
    return a.fillSurface != b.fillSurface || a.surfaceDisplayMode != b.surfaceDisplayMode ||
           a.loftParameters != b.loftParameters || a.closedLoft != b.closedLoft ||
           a.loftStart != b.loftStart || a.loftEnd != b.loftEnd ||
           a.rationalSections != b.rationalSections;
}

}  // namespace

bool editChanged(const EditSnapshot& before, const EditSnapshot& after) {
    return !sameSurface(before.surface, after.surface) ||
           before.derived.multiplicity != after.derived.multiplicity ||
           settingsChanged(before.panel, after.panel);
}

bool openGesture(EditHistory& history, const std::string& name, const EditSnapshot& before) {
    if (history.gestureOpen) return false;
    history.gestureOpen = true;
    ++history.gesturesOpened;
    history.gesture.name = name;
    history.gesture.state = before;
    return true;
}

bool closeGesture(EditHistory& history, const EditSnapshot& after) {
    if (!history.gestureOpen) return false;
    history.gestureOpen = false;
    UndoStep step = std::move(history.gesture);
    history.gesture = UndoStep();
    if (!editChanged(step.state, after)) return false;
    recordStep(history, std::move(step));
    return true;
}

namespace {

void dropRedoSteps(EditHistory& history) {
    for (const UndoStep& step : history.redoSteps) history.bytes -= snapshotBytes(step.state);
    history.redoSteps.clear();
}

}  // namespace

void recordStep(EditHistory& history, UndoStep step) {
    dropRedoSteps(history);
    history.bytes += snapshotBytes(step.state);
    history.undoSteps.push_back(std::move(step));
    // The newest step always stays, however large, so the last edit can be taken back.
    while (history.bytes > history.limitBytes && history.undoSteps.size() > 1) {
        history.bytes -= snapshotBytes(history.undoSteps.front().state);
        history.undoSteps.pop_front();
    }
}

namespace {

// Moves the last step of `from` into current, and the state current had onto `to`.
bool moveStep(EditHistory& history, std::deque<UndoStep>& from, std::deque<UndoStep>& to,
              EditSnapshot& current, std::string& name) {
    if (from.empty()) return false;
    UndoStep step = std::move(from.back());
    from.pop_back();
    history.bytes -= snapshotBytes(step.state);
    std::swap(step.state, current);
    history.bytes += snapshotBytes(step.state);
    name = step.name;
    to.push_back(std::move(step));
    return true;
}

}  // namespace

bool undoStep(EditHistory& history, EditSnapshot& current, std::string& name) {
    return moveStep(history, history.undoSteps, history.redoSteps, current, name);
}

bool redoStep(EditHistory& history, EditSnapshot& current, std::string& name) {
    return moveStep(history, history.redoSteps, history.undoSteps, current, name);
}

const SavedFile* savedFileNamed(const EditHistory& history, const std::string& name) {
    for (const SavedFile& file : history.savedFiles) {
        if (file.surface.fileName == name) return &file;
    }
    return nullptr;
}

void recordSavedFile(EditHistory& history, const SurfaceModel& surface, const FileStamp& stamp) {
    std::vector<SavedFile>& files = history.savedFiles;
    for (size_t i = 0; i < files.size(); ++i) {
        if (files[i].surface.fileName == surface.fileName) {
            files.erase(files.begin() + static_cast<std::ptrdiff_t>(i));
            break;
        }
    }
    if (files.size() >= kMostSavedFiles) files.erase(files.begin());
    files.push_back(SavedFile{surface, stamp});
}

bool differsFromItsFile(const EditHistory& history, const SurfaceModel& surface) {
    const SavedFile* file = savedFileNamed(history, surface.fileName);
    return file == nullptr || !sameSurface(file->surface, surface);
}
