// Two states of a net compared point by point, for a drift each point is allowed.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "model/surface_model.h"

// True when `now` lies within `limit` of `before` in every coordinate (false for NaN).
inline bool withinDrift(const PointH& before, const PointH& now, float limit) {
    return std::fabs(before.x - now.x) <= limit && std::fabs(before.y - now.y) <= limit &&
           std::fabs(before.z - now.z) <= limit && std::fabs(before.w - now.w) <= limit;
}

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
            if (!withinDrift(before[i], now[i], limit) && !moved(i)) return false;
        }
    }
    return true;
}
