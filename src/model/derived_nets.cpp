// Consistency of the derived nets and of the selection with the surface's sizes.
#include "model/derived_nets.h"

#include "model/editor_state.h"
#include "model/skinning.h"

void clampSelection() {
    EditorState& s = editor;
    auto clampIndex = [](int32_t& index, int32_t count) {
        if (count < 1 || index < 0) {
            index = 0;
        } else if (index >= count) {
            index = count - 1;
        }
    };
    clampIndex(s.currentSection, s.countV);
    clampIndex(s.destPlane, s.countV);
    clampIndex(s.selectedPoint, s.countU);
    const long long floats = 4LL * static_cast<long long>(s.controlNet.size());
    if (s.pickedPointOffset < 0 || s.pickedPointOffset % 4 != 0 || s.pickedPointOffset >= floats) {
        s.pickedPointOffset = -1;
    }
}

bool skinnedNetUsable() {
    const EditorState& s = editor;
    return s.skinningEnabled != 0 && s.countU > 0 && s.countV > 0 &&
           s.skinnedNet.size() == static_cast<size_t>(s.countU) * s.countV &&
           s.skinnedKnotsV.size() == static_cast<size_t>(s.knotCountV) && s.knotCountV > 0;
}

void releaseExpandedNet() {
    std::vector<PointH>().swap(editor.expandedNet);
    std::vector<float>().swap(editor.expandedKnotsV);
}

void rebuildExpandedNet(int /*id*/) {
    EditorState& s = editor;
    releaseExpandedNet();
    if (!surfaceIsUsable(s) || s.multiplicity < 1) return;
    const int n = s.multiplicity * s.countV + s.orderV;
    s.expandedKnotCountV = n;
    s.expandedPointCount = s.countU * s.multiplicity * s.countV;
    s.expandedKnotsV.resize(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        float knot;
        if (i < s.orderV) {
            knot = 0.0f;
        } else if (i >= n - s.orderV) {
            knot = 1.0f;
        } else {
            knot = static_cast<float>(i - s.orderV + 1) / static_cast<float>(n - 2 * s.orderV + 1);
        }
        s.expandedKnotsV[static_cast<size_t>(i)] = knot;
    }
    s.expandedNet.resize(static_cast<size_t>(s.expandedPointCount));
    for (int i = 0; i < s.countV; ++i) {
        const PointH* section = s.controlNet.data() + static_cast<size_t>(i) * s.countU;
        for (int j = 0; j < s.multiplicity; ++j) {
            const size_t copy = static_cast<size_t>(i * s.multiplicity + j);
            PointH* row = s.expandedNet.data() + copy * s.countU;
            for (int k = 0; k < s.countU; ++k) row[k] = section[k];
        }
    }
}

void syncDerivedNets() {
    clampSelection();
    releaseExpandedNet();
    // A skinned net kept from before the change belongs to other sizes or to another net: it is
    // rebuilt, or dropped when skinning is off or refuses the new net.
    const bool reskinned =
        editor.skinningEnabled != 0 && surfaceIsUsable(editor) && computeSkinning();
    if (!reskinned || !skinnedNetUsable()) {
        std::vector<PointH>().swap(editor.skinnedNet);
        std::vector<float>().swap(editor.skinnedKnotsV);
    }
}
