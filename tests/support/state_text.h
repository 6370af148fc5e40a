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
    appendInt(o, "countU", s.countU);
    appendInt(o, "countV", s.countV);
    appendInt(o, "orderU", s.orderU);
    appendInt(o, "orderV", s.orderV);
    appendInt(o, "knotCountU", s.knotCountU);
    appendInt(o, "knotCountV", s.knotCountV);
    appendFloats(o, "knotsU", s.knotsU.data(), s.knotsU.size());
    appendFloats(o, "knotsV", s.knotsV.data(), s.knotsV.size());
    appendNet(o, "controlNet", s.controlNet);
    appendNet(o, "skinnedNet", s.skinnedNet);
    appendFloats(o, "skinnedKnotsV", s.skinnedKnotsV.data(), s.skinnedKnotsV.size());
    appendInt(o, "multiplicity", s.multiplicity);
    appendNet(o, "expandedNet", s.expandedNet);
    appendFloats(o, "expandedKnotsV", s.expandedKnotsV.data(), s.expandedKnotsV.size());
    appendInt(o, "expandedKnotCountV", s.expandedKnotCountV);
    appendInt(o, "currentSection", s.currentSection);
    appendInt(o, "selectedPoint", s.selectedPoint);
    appendInt(o, "destPlane", s.destPlane);
    appendInt(o, "pickedPointOffset", s.pickedPointOffset);
    appendFloat(o, "weightValue", s.weightValue);
    appendFloats(o, "sectionCentroid", s.sectionCentroid, 3);
    appendInt(o, "degreeS", s.degreeS);
    appendInt(o, "degreeT", s.degreeT);
    appendInt(o, "surfType", s.surfType);
    appendInt(o, "skinningEnabled", s.skinningEnabled);
    appendInt(o, "fillSurface", s.fillSurface);
    appendFloat(o, "surfaceDisplayMode", s.surfaceDisplayMode);
    const float translations[] = {s.translateX, s.translateY, s.translateZ, s.translateZY[0],
                                  s.translateZY[1], s.lastTranslateX, s.lastTranslateY,
                                  s.lastTranslateZ, s.lastTranslateZY[0], s.lastTranslateZY[1]};
    appendFloats(o, "translations", translations, 10);
    appendFloats(o, "rotationMatrix", s.rotationMatrix, 16);
    appendFloat(o, "zRotAngle", s.zRotAngle);
    o += "surfaceFileName=" + std::string(s.surfaceFileName) + "\n";
    o += "backgroundFileName=" + std::string(s.backgroundFileName) + "\n";
    const float camera[] = {s.cameraPolar, s.cameraAzimuth, s.cameraDistance, s.cameraTarget[0],
                            s.cameraTarget[1], s.cameraTarget[2]};
    appendFloats(o, "camera", camera, 6);
    appendFloat(o, "clickX", s.clickPoint[0]);
    appendFloat(o, "clickY", s.clickPoint[1]);
    appendFloat(o, "clickZ", s.clickPoint[2]);
    appendFloat(o, "sectionZoom", s.sectionZoom);
    appendFloats(o, "sectionRefOffset", s.sectionRefOffset, 3);
    appendFloats(o, "sectionEyeOffset", s.sectionEyeOffset, 3);
    appendInt(o, "backgroundTexture", s.backgroundTexture);
    appendInt(o, "backgroundWidth", s.backgroundWidth);
    appendInt(o, "backgroundHeight", s.backgroundHeight);
    return o;
}

}  // namespace testsupport
