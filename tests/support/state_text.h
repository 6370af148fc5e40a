// A complete text picture of the editor state, for tests that must show an operation left the
// state exactly as it was. Floats are written in hex so equal text means equal bits.
#pragma once

#include <cstdio>
#include <string>

#include "model/editor_state.h"

namespace testsupport {

inline void appendFloat(std::string& out, const char* name, double value) {
    char buffer[96];
    snprintf(buffer, sizeof buffer, "%s=%a\n", name, value);
    out += buffer;
}

inline void appendInt(std::string& out, const char* name, long long value) {
    out += name;
    out += '=';
    out += std::to_string(value);
    out += '\n';
}

inline void appendFloats(std::string& out, const char* name, const float* values, size_t count) {
    out += name;
    out += "=[";
    char buffer[48];
    for (size_t i = 0; i < count; ++i) {
        snprintf(buffer, sizeof buffer, i ? " %a" : "%a", static_cast<double>(values[i]));
        out += buffer;
    }
    out += "]\n";
}

inline void appendNet(std::string& out, const char* name, const std::vector<PointH>& net) {
    appendFloats(out, name, net.empty() ? nullptr : &net[0].x, net.size() * 4);
}

// Every field of the state that an operation could change by mistake.
inline std::string stateText(const EditorState& s) {
    std::string o;
    appendInt(o, "countU", s.surface.countU);
    appendInt(o, "countV", s.surface.countV);
    appendInt(o, "orderU", s.surface.orderU);
    appendInt(o, "orderV", s.surface.orderV);
    appendInt(o, "knotCountU", s.surface.knotCountU);
    appendInt(o, "knotCountV", s.surface.knotCountV);
    appendFloats(o, "knotsU", s.surface.knotsU.data(), s.surface.knotsU.size());
    appendFloats(o, "knotsV", s.surface.knotsV.data(), s.surface.knotsV.size());
    appendNet(o, "controlNet", s.surface.controlNet);
    appendNet(o, "skinnedNet", s.derived.skinnedNet);
    appendFloats(o, "skinnedKnotsV", s.derived.skinnedKnotsV.data(),
                 s.derived.skinnedKnotsV.size());
    appendInt(o, "multiplicity", s.derived.multiplicity);
    appendNet(o, "expandedNet", s.derived.expandedNet);
    appendFloats(o, "expandedKnotsV", s.derived.expandedKnotsV.data(),
                 s.derived.expandedKnotsV.size());
    appendInt(o, "expandedKnotCountV", s.derived.expandedKnotCountV);
    appendInt(o, "currentSection", s.selection.currentSection);
    appendInt(o, "selectedPoint", s.selection.selectedPoint);
    appendInt(o, "destPlane", s.selection.destPlane);
    appendInt(o, "pickedPointOffset", s.selection.pickedPointOffset);
    appendFloat(o, "weightValue", s.selection.weightValue);
    appendFloats(o, "sectionCentroid", s.selection.sectionCentroid, 3);
    appendInt(o, "degreeS", s.panel.degreeS);
    appendInt(o, "degreeT", s.panel.degreeT);
    appendInt(o, "surfType", s.panel.surfType);
    appendInt(o, "skinningEnabled", s.panel.skinningEnabled);
    appendInt(o, "fillSurface", s.panel.fillSurface);
    appendFloat(o, "surfaceDisplayMode", s.panel.surfaceDisplayMode);
    const float translations[] = {s.panel.translateX,         s.panel.translateY,
                                  s.panel.translateZ,         s.panel.translateZY[0],
                                  s.panel.translateZY[1],     s.panel.lastTranslateX,
                                  s.panel.lastTranslateY,     s.panel.lastTranslateZ,
                                  s.panel.lastTranslateZY[0], s.panel.lastTranslateZY[1]};
    appendFloats(o, "translations", translations, 10);
    appendFloats(o, "rotationMatrix", s.panel.rotationMatrix, 16);
    appendFloat(o, "zRotAngle", s.panel.zRotAngle);
    o += "surfaceFileName=" + std::string(s.panel.surfaceFileName) + "\n";
    o += "backgroundFileName=" + std::string(s.panel.backgroundFileName) + "\n";
    const float camera[] = {s.view.cameraPolar,     s.view.cameraAzimuth,   s.view.cameraDistance,
                            s.view.cameraTarget[0], s.view.cameraTarget[1], s.view.cameraTarget[2]};
    appendFloats(o, "camera", camera, 6);
    appendFloat(o, "clickX", s.view.clickPoint[0]);
    appendFloat(o, "clickY", s.view.clickPoint[1]);
    appendFloat(o, "clickZ", s.view.clickPoint[2]);
    appendFloat(o, "sectionZoom", s.view.sectionZoom);
    appendFloats(o, "sectionRefOffset", s.view.sectionRefOffset, 3);
    appendFloats(o, "sectionEyeOffset", s.view.sectionEyeOffset, 3);
    appendInt(o, "backgroundTexture", s.view.backgroundTexture);
    appendInt(o, "backgroundWidth", s.view.backgroundWidth);
    appendInt(o, "backgroundHeight", s.view.backgroundHeight);
    return o;
}

}  // namespace testsupport
