// Common weights for the sections of a rational loft, and the "rational sections" edit.
#include "model/rational_sections.h"

#include <algorithm>
#include <cstring>


int commonWeightSection(const PointH* net, int cols, int R, int& badSection) {
    int reference = -1;
    float widest = 0.0f;
    badSection = -1;
    for (int k = 0; k < R; ++k) {
        const PointH* row = net + static_cast<size_t>(k) * cols;
        float low = row[0].w, high = row[0].w;
        for (int t = 0; t < cols; ++t) {
            if (!(row[t].w > 0.0f)) {
                badSection = k;
                return -1;
            }
            low = std::min(low, row[t].w);
            high = std::max(high, row[t].w);
        }
        const float spread = high / low;
        if (reference < 0 || spread > widest) {
            reference = k;
            widest = spread;
        }
    }
    return reference;
}

int bringToCommonWeights(const PointH* net, int cols, int R, int reference,
                         std::vector<PointH>& out) {
    const size_t row = static_cast<size_t>(cols);
    out.assign(net, net + row * static_cast<size_t>(R));
    const PointH* common = net + static_cast<size_t>(reference) * row;
    int changed = 0;
    for (int k = 0; k < R; ++k) {
        PointH* section = out.data() + static_cast<size_t>(k) * row;
        bool moved = false;
        for (size_t t = 0; t < row; ++t) {
            PointH& P = section[t];
            const float w = common[t].w;
            if (P.w == w) continue;
            P = {P.x / P.w * w, P.y / P.w * w, P.z / P.w * w, w};
            moved = true;
        }
        changed += moved ? 1 : 0;
    }
    return changed;
}

const char* loftRationalName(LoftRational rational) {
    return rational == LoftRational::compatible ? "compatible" : "homogeneous";
}

bool parseLoftRational(const char* text, LoftRational& rational) {
    for (LoftRational candidate : {LoftRational::homogeneous, LoftRational::compatible}) {
        if (text != nullptr && strcmp(text, loftRationalName(candidate)) == 0) {
            rational = candidate;
            return true;
        }
    }
    return false;
}
