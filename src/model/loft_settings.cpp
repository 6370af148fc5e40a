// The loft's settings as undoable edits, each tried on a trial loft first.
#include "model/loft_settings.h"

#include <string>

#include "model/gui_hooks.h"
#include "model/skinning.h"
#include "model/surface_edit.h"

bool loftRefused(EditorState& state, const LoftOptions& options) {
    if (!surfaceIsUsable(state.surface)) return false;
    DerivedNets trial;
    std::string refusal;
    if (skinSurface(state.surface, options, trial, refusal)) return false;
    reportSkinningRefusal(state.panel, refusal);
    guiRefreshPanel();
    return true;
}

bool setRationalSections(EditorState& state, LoftRational wanted) {
    if (state.panel.rationalSections == static_cast<int32_t>(wanted)) return true;
    LoftOptions options = loftOptionsOf(state.panel);
    options.rational = wanted;
    if (state.panel.skinningEnabled != 0 && loftRefused(state, options)) return false;
    const std::string step = std::string("rational sections ") + loftRationalName(wanted);
    runEdit(state, step, [&] {
        state.panel.rationalSections = static_cast<int32_t>(wanted);
        surfaceEdited(state, state.panel.skinningEnabled != 0 ? EditEffect::movedPoints
                                                              : EditEffect::display);
    });
    setStatusLinef(state.panel, "%s%s", step.c_str(),
                   state.panel.skinningEnabled != 0 ? "" : " (used once skinning is on)");
    return true;
}

bool setLoftEnd(EditorState& state, bool atStart, const LoftEnd& wanted) {
    LoftEnd& slot = atStart ? state.panel.loftStart : state.panel.loftEnd;
    if (slot == wanted) return true;
    const char* name = atStart ? "start" : "end";
    LoftOptions options = loftOptionsOf(state.panel);
    (atStart ? options.start : options.end) = wanted;
    if (loftRefused(state, options)) return false;
    const std::string step = std::string(name) + ": " + loftEndText(wanted);
    runEdit(state, step, [&] {
        slot = wanted;
        surfaceEdited(state, EditEffect::movedPoints);
    });
    setStatusLinef(state.panel, "%s%s", step.c_str(),
                   state.panel.skinningEnabled != 0 ? "" : " (used once skinning is on)");
    return true;
}
