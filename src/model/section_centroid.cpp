// Centroid of the current section.
#include "model/section_centroid.h"

void computeSectionCentroid(const SurfaceModel& surface, int section, float out[3]) {
    const SurfaceModel& s = surface;
    if (s.countU < 1 || section < 0 || section >= s.countV) return;
    const size_t first = static_cast<size_t>(section) * s.countU;
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
