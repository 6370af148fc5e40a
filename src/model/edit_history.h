// The undo history: snapshots of what an edit changes, a gesture in progress, and the surface as
// last loaded or saved, kept as values so they can be tested without a window.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "model/editor_parts.h"
#include "model/loft_options.h"
#include "model/surface_model.h"

// What an undo step keeps of the derived nets: the skinned net as it was, so a step comes back
// with the very same net, and the multiplicity. The expanded net is built again from them.
struct KeptNets {
    std::vector<PointH> skinnedNet;
    std::vector<float> skinnedKnotsV;
    int32_t multiplicity = -1;
};

// What an undo step keeps of the panel: the degrees and "fill surf" as shown once the step was
// done, the display mode, and the loft's options, which decide the skinned net.
struct KeptSettings {
    int32_t degreeS = 0;
    int32_t degreeT = 0;
    int32_t fillSurface = 0;
    float surfaceDisplayMode = 0.0f;
    int32_t loftParameters = 0;  // as last settled on (loftParametersSet, closedLoftSet)
    int32_t closedLoft = 0;
    LoftEnd loftStart;  // the loft's end conditions, which shape the skinned surface
    LoftEnd loftEnd;
    int32_t rationalSections = 0;
};

// The state an undo step brings back, part by part: the surface and the selection whole, and
// what the step keeps of the derived nets and of the panel, so the panel shows what it showed
// after that step.
struct EditSnapshot {
    SurfaceModel surface;
    KeptNets derived;
    Selection selection;
    KeptSettings panel;
};

// One step: its name ("move point 3 of section 2") and the state on the other side of it (the
// state before it on the undo list, after it on the redo list).
struct UndoStep {
    std::string name;
    EditSnapshot state;
};

constexpr size_t kHistoryLimitBytes = size_t{256} << 20;

// What identifies one version of a file's contents on disk: another program's write changes at
// least one of these (a new file put in its place, or the old one written to), a change of its
// permissions none. exists is false when there was no file (or it could not be examined).
struct FileStamp {
    bool exists = false;
    uint64_t device = 0;
    uint64_t inode = 0;
    int64_t size = 0;
    int64_t modifiedNs = 0;

    bool operator==(const FileStamp& other) const {
        return exists == other.exists && device == other.device && inode == other.inode &&
               size == other.size && modifiedNs == other.modifiedNs;
    }
    bool operator!=(const FileStamp& other) const { return !(*this == other); }
};

// A file as the editor last loaded or saved it: the surface it holds (its fileName names the
// file) and the file's stamp just after.
struct SavedFile {
    SurfaceModel surface;
    FileStamp stamp;
};

// The files the history remembers; the oldest is forgotten first (its surface then counts as
// unsaved, the safe side).
constexpr size_t kMostSavedFiles = 4;

struct EditHistory {
    std::deque<UndoStep> undoSteps;  // oldest first
    std::deque<UndoStep> redoSteps;  // the next step to redo last
    size_t bytes = 0;                // memory the snapshots of both lists hold
    size_t limitBytes = kHistoryLimitBytes;

    bool gestureOpen = false;  // a drag or a typed value in progress
    UndoStep gesture;          // its name and the state before it
    long gesturesOpened = 0;   // counts the gestures, so one can be told from the next
    // The status line's serial when the open gesture began or last said what it did: a message
    // set since then (a refusal, the edit's own report) is not replaced by that account.
    uint32_t statusSerialOfGesture = 0;

    std::vector<SavedFile> savedFiles;  // one per file name, newest last
    bool unsavedChanges = false;        // the surface differs from the file it names
};

// The record of the file named name, or null when the history has none.
const SavedFile* savedFileNamed(const EditHistory& history, const std::string& name);

// Records surface as the contents of the file its fileName names, stamped stamp, replacing an
// older record of that file.
void recordSavedFile(EditHistory& history, const SurfaceModel& surface, const FileStamp& stamp);

// True when surface differs from what the file it names held when last loaded or saved (or that
// file has no record).
bool differsFromItsFile(const EditHistory& history, const SurfaceModel& surface);

// Memory a snapshot holds, for the history's bound.
size_t snapshotBytes(const EditSnapshot& snapshot);

// True when the two states differ in what an edit changes: the surface, the multiplicity, the
// display mode or the loft options (bit for bit). Selection and degree fields alone are not an
// edit.
bool editChanged(const EditSnapshot& before, const EditSnapshot& after);

// Starts a gesture named name from the state before it. While one is open, further edits join
// it; returns false (and keeps the open one) in that case.
bool openGesture(EditHistory& history, const std::string& name, const EditSnapshot& before);

// Ends the open gesture: when the state after it differs, records it as one step (dropping the
// redo steps) and returns true.
bool closeGesture(EditHistory& history, const EditSnapshot& after);

// Records a step whose state before it is `before`, drops the redo steps and, while the history
// holds more than its limit, the oldest steps.
void recordStep(EditHistory& history, UndoStep step);

// Undo: current becomes the state before the last step and the state it replaces goes to the
// redo list. Redo is the mirror. False, with nothing changed, when there is no step; name is
// the step's name either way it succeeds.
bool undoStep(EditHistory& history, EditSnapshot& current, std::string& name);
bool redoStep(EditHistory& history, EditSnapshot& current, std::string& name);
