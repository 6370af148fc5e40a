// Centroid of the current section.
#include "model/section_centroid.h"

#include "model/editor_state.h"

void computeSectionCentroid(float out[3]) {
    const EditorState& s = editor;
    if (s.countU < 1 || s.currentSection < 0 || s.currentSection >= s.countV) return;
    const size_t first = static_cast<size_t>(s.currentSection) * s.countU;
    if (first + s.countU > s.controlNet.size()) return;
    const PointH* p = s.controlNet.data() + first;
    const float n = static_cast<float>(s.countU);
    float sum = 0.0f;
    for (int i = 0; i < s.countU; ++i) sum += p[i].x;
    out[0] = sum / n;
    sum = 0.0f;
    for (int i = 0; i < s.countU; ++i) sum += p[i].y;
    out[1] = sum / n;
    sum = 0.0f;
    for (int i = 0; i < s.countU; ++i) sum += p[i].z;
    out[2] = sum / n;
}
