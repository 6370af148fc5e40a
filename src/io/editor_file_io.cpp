// Loading a surface file into the editor state and saving the editor's surface.
#include "io/editor_file_io.h"

#include <cstdio>
#include <utility>

#include "io/surface_file.h"
#include "model/derived_nets.h"
#include "model/editor_state.h"
#include "model/surface_edit.h"

namespace {

std::string sizeText(int countU, int countV) {
    char text[64];
    snprintf(text, sizeof text, "%d x %d points", countU, countV);
    return text;
}

}  // namespace

const SurfaceModel& surfaceToSave(const SurfaceModel& surface, bool skinning,
                                  const DerivedNets& derived, SurfaceModel& skinned) {
    if (!skinnedNetUsable(surface, skinning, derived)) return surface;
    skinned.countU = surface.countU;
    skinned.countV = skinnedCountV(surface, derived);  // more rows when the loft is closed
    skinned.orderU = surface.orderU;
    skinned.orderV = surface.orderV;
    skinned.knotCountU = surface.knotCountU;
    skinned.knotCountV = static_cast<int32_t>(derived.skinnedKnotsV.size());
    skinned.knotsU = surface.knotsU;
    skinned.knotsV = derived.skinnedKnotsV;
    skinned.controlNet = derived.skinnedNet;
    return skinned;
}

bool writeSurfaceFile(const char* path, const SurfaceModel& surface, std::string& error) {
    if (!surfaceArraysMatch(surface)) {
        error = "no complete surface is loaded";
        return false;
    }
    if (!surfaceIsFinite(surface)) {
        error = "the surface holds a value that is not a finite number";
        return false;
    }
    std::string text;
    formatSurfaceText(surface, path, text);
    return writeFileReplacing(path, text, error);
}

bool loadEditorSurface(const char* path, std::string& message) {
    const std::string name = path != nullptr ? path : "";
    if (name.empty()) {
        message = "no surface loaded: no file name given";
        return false;
    }
    SurfaceModel file;
    std::string error;
    if (!readSurfaceFile(name.c_str(), file, error)) {
        message = "cannot load " + name + ": " + error;
        return false;
    }

    // Everything is checked; commit the new surface in one go, as one undoable step.
    EditorState& s = editor;
    runEdit(s, "load " + name, [&] {
        s.surface = std::move(file);
        s.panel.degreeS = s.surface.orderU - 1;
        s.panel.degreeT = s.surface.orderV - 1;
        s.derived.multiplicity = 1;
        surfaceEdited(s, EditEffect::reshaped, Redraw::later);
    });
    markSurfaceSaved(s);

    message = "loaded " + name + ": " + sizeText(s.surface.countU, s.surface.countV);
    if (s.surface.orderU > s.surface.countU || s.surface.orderV > s.surface.countV) {
        message += " (too few points for its degrees: nothing to draw)";
    }
    return true;
}

bool saveEditorSurface(const char* path, std::string& message) {
    const std::string name = path != nullptr ? path : "";
    if (name.empty()) {
        message = "cannot save: no file name given";
        return false;
    }
    const EditorState& s = editor;
    const bool skinning = s.panel.skinningEnabled != 0;
    SurfaceModel skinnedCopy;
    const SurfaceModel& saved = surfaceToSave(s.surface, skinning, s.derived, skinnedCopy);
    std::string error;
    if (!writeSurfaceFile(name.c_str(), saved, error)) {
        message = "cannot save " + name + ": " + error;
        return false;
    }
    markSurfaceSaved(editor);
    message = "saved " + name + ": " + sizeText(s.surface.countU, s.surface.countV);
    if (&saved == &skinnedCopy) {
        message += " of the skinned surface";
    } else if (skinning) {
        message += " of the control net (the skinned surface is not available)";
    }
    return true;
}
