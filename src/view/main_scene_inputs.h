// Everything the main view's scene (all it draws but the moving probe) is drawn from, kept from
// one frame to compare with the editor's state at the next.
#pragma once

#include <cstdint>
#include <vector>

#include "model/editor_state.h"

// Values of the main view's own that also shape the scene (how the surface is tessellated).
struct MainViewSettings {
    bool surfaceCaching = true;
    int tessellator = 0;
    double gluMillisecondsPerPatch = 0.0;
    long long gluSlowPatches = 0;
};

struct MainSceneInputs {
    bool valid = false;
    std::vector<unsigned char> scalars;  // counts, selection, panel and camera values, as bytes
    std::vector<float> knotsU, knotsV, skinnedKnotsV, expandedKnotsV;
    std::vector<PointH> controlNet, skinnedNet, expandedNet;
};

// True when the inputs were kept and the state still gives the same ones, bit for bit.
// `scratch` holds the scalars of the state between calls.
bool sameMainSceneInputs(const MainSceneInputs& kept, const EditorState& state,
                         const MainViewSettings& settings, std::vector<unsigned char>& scratch);

// Keeps the state's inputs in `kept`.
void keepMainSceneInputs(MainSceneInputs& kept, const EditorState& state,
                         const MainViewSettings& settings);
