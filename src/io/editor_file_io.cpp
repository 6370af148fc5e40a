// Loading a surface file into the editor state and saving the editor's surface.
#include "io/editor_file_io.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <new>
#include <utility>
#include <vector>

#include "io/recovery_file.h"
#include "io/surface_file.h"
#include "model/derived_nets.h"
#include "model/editor_state.h"
#include "model/picked_point.h"
#include "model/surface_edit.h"
#include "model/surface_limits.h"

namespace {

std::string sizeText(int countU, int countV) {
    char text[64];
    snprintf(text, sizeof text, "%d x %d points", countU, countV);
    return text;
}

FileStamp fileStampOf(const std::string& path) {
    FileStamp stamp;
    struct stat info;
    if (stat(path.c_str(), &info) != 0) return stamp;
    stamp.exists = true;
    stamp.device = static_cast<uint64_t>(info.st_dev);
    stamp.inode = static_cast<uint64_t>(info.st_ino);
    stamp.size = static_cast<int64_t>(info.st_size);
    stamp.modifiedNs =
        static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    return stamp;
}

// A save over a file that changed on disk since the editor loaded or saved it waits for the
// same save asked again within kConfirmSeconds, with the file still as it was when first asked.
constexpr int kConfirmSeconds = 5;
struct PendingReplace {
    std::string path;
    FileStamp stamp;
    std::chrono::steady_clock::time_point asked;
};
PendingReplace gPendingReplace;

// True when path may be written now; otherwise false with why in message, and the next save
// of the same path within kConfirmSeconds goes ahead.
bool replaceConfirmed(const EditHistory& history, const std::string& path, std::string& message) {
    const SavedFile* known = savedFileNamed(history, path);
    if (known == nullptr || !known->stamp.exists) return true;
    const FileStamp now = fileStampOf(path);
    if (!now.exists || now == known->stamp) return true;
    const auto time = std::chrono::steady_clock::now();
    PendingReplace& pending = gPendingReplace;
    if (pending.path == path && pending.stamp == now &&
        time - pending.asked <= std::chrono::seconds(kConfirmSeconds)) {
        pending = PendingReplace();
        return true;
    }
    pending.path = path;
    pending.stamp = now;
    pending.asked = time;
    message = "not saved: " + path +
              " changed on disk since the editor last loaded or saved it (another program wrote "
              "it); save again within " +
              std::to_string(kConfirmSeconds) + " seconds to replace it";
    return false;
}

// Sets the "file" box to the document's file name.
void showFileName(PanelVariables& panel, const std::string& name) {
    snprintf(panel.surfaceFileName, sizeof panel.surfaceFileName, "%s", name.c_str());
}

// "; unsaved changes kept earlier are in NAME.recovered.surf (load one to see them)", naming the
// recovery files of path other than `except` (the one this load just wrote), or "" when there
// are none.
std::string recoveryNote(const std::string& path, const std::string& except) {
    std::vector<std::string> found = existingRecoveryFiles(path.c_str());
    found.erase(std::remove(found.begin(), found.end(), except), found.end());
    if (found.empty()) return "";
    std::string names;
    for (size_t i = 0; i < found.size() && i < 3; ++i) names += (i > 0 ? ", " : "") + found[i];
    if (found.size() > 3) names += " and " + std::to_string(found.size() - 3) + " more";
    return "; unsaved changes kept earlier are in " + names + " (load one to see them)";
}

}  // namespace

bool loadEditorSurface(EditorState& state, const char* path, std::string& message,
                       const SurfaceReader& reader) {
    const std::string name = path != nullptr ? path : "";
    if (name.empty()) {
        message = "no surface loaded: no file name given";
        return false;
    }
    SurfaceModel file;
    std::string error, note;
    // Stamped before reading: a write in between makes the next save ask, the safe side.
    const FileStamp stamp = fileStampOf(name);
    const bool read =
        reader ? reader(name, file, error, note) : readSurfaceFile(name.c_str(), file, error);
    if (!read || !editorCanTake(file, error)) {
        message = "cannot load " + name + ": " + error;
        return false;
    }
    file.fileName = name;

    // Unsaved changes of the surface shown are kept in its recovery file before it goes; when
    // they cannot be, it stays.
    EditorState& s = state;
    std::string kept;
    std::string recovery;
    if (refreshUnsavedChanges(s) && surfaceArraysMatch(s.surface)) {
        if (!writeRecoveryFile(s.surface, s.surface.fileName.c_str(), recovery, error)) {
            message = "not loaded: the unsaved changes of the surface shown could not be kept (" +
                      error + "); save them first";
            return false;
        }
        kept = "unsaved changes of " +
               (s.surface.fileName.empty() ? std::string("the surface") : s.surface.fileName) +
               " kept in " + recovery + (error.empty() ? "" : " (" + error + ")") + "; ";
    }

    // Everything is checked; commit the new surface in one go, as one undoable step.
    runEdit(s, "load " + name, [&] {
        s.surface = std::move(file);
        s.panel.degreeS = s.surface.orderU - 1;
        s.panel.degreeT = s.surface.orderV - 1;
        s.derived.multiplicity = 1;
        clearPick(s.selection);
        surfaceEdited(s, EditEffect::reshaped);
    });
    markSurfaceSaved(s, stamp);
    showFileName(s.panel, name);

    message = kept + (note.empty()
                          ? "loaded " + name + ": " + sizeText(s.surface.countU, s.surface.countV)
                          : note);
    if (s.surface.orderU > s.surface.countU || s.surface.orderV > s.surface.countV) {
        message +=
            " (too few points for its degrees: nothing to draw until \"degree S\" and "
            "\"degree T\" bring them into range)";
    }
    message += recoveryNote(name, recovery);
    return true;
}

bool saveEditorSurface(EditorState& state, const char* path, std::string& message) {
    const std::string name = path != nullptr ? path : "";
    if (name.empty()) {
        message = "cannot save: no file name given";
        return false;
    }
    EditorState& s = state;
    if (!replaceConfirmed(s.history, name, message)) return false;
    const bool skinning = s.panel.skinningEnabled != 0;
    SurfaceModel skinnedCopy;
    const SurfaceModel& saved = surfaceToSave(s.surface, skinning, s.derived, skinnedCopy);
    // Said before the file is written, and again with the outcome.
    const std::string warning = sixDecimalsWarning(saved);
    if (!warning.empty()) setStatusLine(s.panel, warning.c_str());
    std::string error;
    if (!writeSurfaceFile(name.c_str(), saved, error)) {
        message = "cannot save " + name + ": " + error;
        return false;
    }
    // The surface is now the file's: its name is the document's.
    s.surface.fileName = name;
    markSurfaceSaved(s, fileStampOf(name));
    showFileName(s.panel, name);
    message = "saved " + name + ": " + sizeText(s.surface.countU, s.surface.countV);
    if (&saved == &skinnedCopy) {
        message += " of the skinned surface";
    } else if (skinning) {
        message += " of the control net (the skinned surface is not available)";
    }
    if (!warning.empty()) message += "; " + warning;
    return true;
}

bool saveEditorDocument(EditorState& state, std::string& message) {
    const std::string name =
        state.surface.fileName.empty() ? state.panel.surfaceFileName : state.surface.fileName;
    return saveEditorSurface(state, name.c_str(), message);
}
