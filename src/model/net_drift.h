// Two states of a net compared point by point, for a drift each point is allowed.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "model/surface_model.h"

// Calls moved(i), in order, for each of the `count` points whose coordinates in `now` differ
// from those in `before` by more than `limit` in some coordinate (NaN counting as more), while
// moved returns true; returns false when moved stopped it. A block of points that all stayed
// within the limit is passed over in one vector compare.
template <typename Moved>
bool forEachPointMovedBeyond(const PointH* before, const PointH* now, size_t count, float limit,
                             Moved moved) {
    constexpr size_t kBlock = 16;
    for (size_t start = 0; start < count; start += kBlock) {
        const size_t n = std::min(kBlock, count - start);
        if (n == kBlock) {
            const float* a = &before[start].x;
            const float* b = &now[start].x;
            int over = 0;
            for (size_t j = 0; j < 4 * kBlock; ++j)
                over |= !(std::fabs(a[j] - b[j]) <= limit) ? 1 : 0;
            if (over == 0) continue;
        }
        for (size_t i = start; i < start + n; ++i) {
            const PointH& p = before[i];
            const PointH& q = now[i];
            const bool within = std::fabs(p.x - q.x) <= limit && std::fabs(p.y - q.y) <= limit &&
                                std::fabs(p.z - q.z) <= limit && std::fabs(p.w - q.w) <= limit;
            if (!within && !moved(i)) return false;
        }
    }
    return true;
}
