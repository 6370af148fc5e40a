// Loading a surface file into the editor state and saving the editor's surface.
#include "io/editor_file_io.h"

#include <cmath>
#include <cstdio>
#include <vector>

#include "io/surface_file.h"
#include "model/derived_nets.h"
#include "model/editor_state.h"
#include "model/gui_hooks.h"
#include "model/knots.h"

namespace {

std::string sizeText(int countU, int countV) {
    char text[64];
    snprintf(text, sizeof text, "%d x %d points", countU, countV);
    return text;
}

bool allFinite(const float* values, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        if (!std::isfinite(values[i])) return false;
    }
    return true;
}

}  // namespace

bool loadEditorSurface(const char* path, std::string& message) {
    const std::string name = path != nullptr ? path : "";
    if (name.empty()) {
        message = "no surface loaded: no file name given";
        return false;
    }
    SurfaceFile file;
    std::string error;
    if (!readSurfaceFile(name.c_str(), file, error)) {
        message = "cannot load " + name + ": " + error;
        return false;
    }

    // Everything is checked; commit the new surface in one go.
    EditorState& s = editor;
    s.degreeS = file.degreeU;
    s.degreeT = file.degreeV;
    s.orderU = file.degreeU + 1;
    s.orderV = file.degreeV + 1;
    s.countU = file.countU;
    s.countV = file.countV;
    s.knotCountU = file.knotCountU;
    s.knotCountV = file.knotCountV;
    s.multiplicity = 1;
    if (file.hasKnotsU) {
        s.knotsU.swap(file.knotsU);
    } else {
        generateUniformKnots(1);
    }
    if (file.hasKnotsV) {
        s.knotsV.swap(file.knotsV);
    } else {
        generateUniformKnots(2);
    }
    s.controlNet.swap(file.points);
    releaseExpandedNet();
    syncDerivedNets();
    guiRebuildKnotControls();
    guiRefreshPanel();

    message = "loaded " + name + ": " + sizeText(s.countU, s.countV);
    if (s.orderU > s.countU || s.orderV > s.countV) {
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
    const bool consistent =
        s.countU >= 1 && s.countV >= 1 && s.orderU >= 1 && s.orderV >= 1 &&
        s.knotCountU == s.countU + s.orderU && s.knotCountV == s.countV + s.orderV &&
        s.knotsU.size() == static_cast<size_t>(s.knotCountU) &&
        s.knotsV.size() == static_cast<size_t>(s.knotCountV) &&
        s.controlNet.size() == static_cast<size_t>(s.countU) * static_cast<size_t>(s.countV);
    if (!consistent) {
        message = "cannot save " + name + ": no complete surface is loaded";
        return false;
    }

    // The skinned net goes with its own V knots; knotsV belong to the control net.
    const bool skinned = s.skinningEnabled != 0 && skinnedNetUsable();
    const std::vector<PointH>& net = skinned ? s.skinnedNet : s.controlNet;
    const std::vector<float>& knotsV = skinned ? s.skinnedKnotsV : s.knotsV;
    if (!allFinite(&net[0].x, net.size() * 4) || !allFinite(s.knotsU.data(), s.knotsU.size()) ||
        !allFinite(knotsV.data(), knotsV.size())) {
        message = "cannot save " + name + ": the surface holds a value that is not a finite number";
        return false;
    }

    SurfaceFileView view;
    view.fileName = name.c_str();
    view.degreeU = s.orderU - 1;
    view.degreeV = s.orderV - 1;
    view.countU = s.countU;
    view.countV = s.countV;
    view.knotCountU = s.knotCountU;
    view.knotCountV = s.knotCountV;
    view.points = net.data();
    view.knotsU = s.knotsU.data();
    view.knotsV = knotsV.data();
    std::string text;
    formatSurfaceText(view, text);
    std::string error;
    if (!writeFileReplacing(name.c_str(), text, error)) {
        message = "cannot save " + name + ": " + error;
        return false;
    }
    message = "saved " + name + ": " + sizeText(s.countU, s.countV);
    if (skinned) {
        message += " of the skinned surface";
    } else if (s.skinningEnabled != 0) {
        message += " of the control net (the skinned surface is not available)";
    }
    return true;
}
