// The main view's scene inputs: the arrays compared in place, every other value gathered as
// bytes into one buffer.
#include "view/main_scene_inputs.h"

#include <cstring>

#include "view/deviation_overlay.h"
#include "view/hydrostatics_overlay.h"

namespace {

template <typename T>
void addBytes(std::vector<unsigned char>& out, const T& value) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(&value);
    out.insert(out.end(), p, p + sizeof value);
}

// Every value the scene is drawn from that is not one of the arrays: the surface's counts, the
// current section and the pick, how the surface is shaded, skinned and mirrored, the lines and
// the hydrostatics shown on it, the camera and the window's size, the click point and the section
// camera's marker.
void gatherScalars(const EditorState& s, const MainViewSettings& settings,
                   std::vector<unsigned char>& out) {
    out.clear();
    const SurfaceModel& m = s.surface;
    for (const int32_t v : {m.countU, m.countV, m.orderU, m.orderV, m.knotCountU, m.knotCountV})
        addBytes(out, v);
    addBytes(out, s.derived.multiplicity);
    addBytes(out, s.derived.expandedKnotCountV);
    addBytes(out, s.selection.currentSection);
    addBytes(out, s.selection.pickedPointOffset);
    const PanelVariables& p = s.panel;
    for (const int32_t v : {p.skinningEnabled, p.shading, p.curvatureKind, p.mirrorEnabled,
                            p.mirrorPlane.axis})
        addBytes(out, v);
    addBytes(out, p.mirrorPlane.offset);
    addBytes(out, p.surfaceDisplayMode);
    addBytes(out, p.showLines);
    for (const char* list : {p.linesStations, p.linesWaterlines, p.linesButtocks})
        out.insert(out.end(), list, list + strlen(list) + 1);
    const HydrostaticsOverlay& hydrostatics = hydrostaticsOverlay();
    addBytes(out, hydrostatics.shown);
    addBytes(out, hydrostatics.mirrored);
    addBytes(out, hydrostatics.mirrorZ);
    addBytes(out, hydrostatics.buoyancy);
    addBytes(out, hydrostatics.waterline.size());
    const unsigned char* w = reinterpret_cast<const unsigned char*>(hydrostatics.waterline.data());
    out.insert(out.end(), w, w + hydrostatics.waterline.size() * sizeof(float));
    addBytes(out, deviationOverlay().shown);
    addBytes(out, deviationOverlay().generation);
    const ViewState& v = s.view;
    addBytes(out, v.mainWindowWidth);
    addBytes(out, v.mainWindowHeight);
    addBytes(out, v.cameraPolar);
    addBytes(out, v.cameraAzimuth);
    addBytes(out, v.cameraDistance);
    addBytes(out, v.cameraTarget);
    addBytes(out, v.clickPoint);
    addBytes(out, v.sectionEyeOffset);
    addBytes(out, v.sectionRefOffset);
    addBytes(out, settings.surfaceCaching);
    addBytes(out, settings.tessellator);
    addBytes(out, settings.gluMillisecondsPerPatch);
    addBytes(out, settings.gluSlowPatches);
}

template <typename T>
bool sameArray(const std::vector<T>& a, const std::vector<T>& b) {
    return a.size() == b.size() &&
           (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0);
}

}  // namespace

bool sameMainSceneInputs(const MainSceneInputs& kept, const EditorState& s,
                         const MainViewSettings& settings, std::vector<unsigned char>& scratch) {
    if (!kept.valid) return false;
    gatherScalars(s, settings, scratch);
    return sameArray(scratch, kept.scalars) && sameArray(s.surface.knotsU, kept.knotsU) &&
           sameArray(s.surface.knotsV, kept.knotsV) &&
           sameArray(s.surface.controlNet, kept.controlNet) &&
           sameArray(s.derived.skinnedNet, kept.skinnedNet) &&
           sameArray(s.derived.skinnedKnotsV, kept.skinnedKnotsV) &&
           sameArray(s.derived.expandedNet, kept.expandedNet) &&
           sameArray(s.derived.expandedKnotsV, kept.expandedKnotsV);
}

void keepMainSceneInputs(MainSceneInputs& kept, const EditorState& s,
                         const MainViewSettings& settings) {
    gatherScalars(s, settings, kept.scalars);
    kept.knotsU = s.surface.knotsU;
    kept.knotsV = s.surface.knotsV;
    kept.controlNet = s.surface.controlNet;
    kept.skinnedNet = s.derived.skinnedNet;
    kept.skinnedKnotsV = s.derived.skinnedKnotsV;
    kept.expandedNet = s.derived.expandedNet;
    kept.expandedKnotsV = s.derived.expandedKnotsV;
    kept.valid = true;
}
