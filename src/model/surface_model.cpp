// Checks and comparisons of a surface value.
#include "model/surface_model.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

bool netMatchesCounts(const SurfaceModel& s) {
    return s.countU >= 1 && s.countV >= 1 &&
           s.controlNet.size() == static_cast<size_t>(s.countU) * static_cast<size_t>(s.countV);
}

bool surfaceArraysMatch(const SurfaceModel& s) {
    if (s.countU < 1 || s.countV < 1 || s.orderU < 1 || s.orderV < 1) return false;
    if (s.knotCountU != s.countU + s.orderU || s.knotCountV != s.countV + s.orderV) return false;
    return s.knotsU.size() == static_cast<size_t>(s.knotCountU) &&
           s.knotsV.size() == static_cast<size_t>(s.knotCountV) && netMatchesCounts(s);
}

bool surfaceIsUsable(const SurfaceModel& s) {
    return surfaceArraysMatch(s) && s.orderU <= s.countU && s.orderV <= s.countV;
}

bool hasSection(const SurfaceModel& s, int section) {
    return surfaceArraysMatch(s) && section >= 0 && section < s.countV;
}

PointH* sectionPoints(SurfaceModel& s, int section) {
    return s.controlNet.data() + static_cast<size_t>(section) * static_cast<size_t>(s.countU);
}

const PointH* sectionPoints(const SurfaceModel& s, int section) {
    return s.controlNet.data() + static_cast<size_t>(section) * static_cast<size_t>(s.countU);
}

namespace {

template <typename T>
bool sameBits(const std::vector<T>& a, const std::vector<T>& b) {
    return a.size() == b.size() &&
           (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0);
}

}  // namespace

bool sameSurface(const SurfaceModel& a, const SurfaceModel& b) {
    return a.countU == b.countU && a.countV == b.countV && a.orderU == b.orderU &&
           a.orderV == b.orderV && a.knotCountU == b.knotCountU && a.knotCountV == b.knotCountV &&
           sameBits(a.knotsU, b.knotsU) && sameBits(a.knotsV, b.knotsV) &&
           sameBits(a.controlNet, b.controlNet);
}

bool allFinite(const float* values, size_t count) {
    // A float is infinite or NaN exactly when its exponent bits are all set. Blocks of values
    // are checked without a branch per value, so the compiler checks several at a time: a
    // drag of a large net checks the net and its skinned net on every step.
    constexpr uint32_t kExponent = 0x7f800000u;
    constexpr size_t kBlock = 64;
    size_t i = 0;
    for (; i + kBlock <= count; i += kBlock) {
        uint32_t bad = 0;
        for (size_t k = 0; k < kBlock; ++k) {
            uint32_t bits;
            std::memcpy(&bits, values + i + k, sizeof bits);
            bad |= static_cast<uint32_t>((bits & kExponent) == kExponent);
        }
        if (bad != 0) return false;
    }
    for (; i < count; ++i) {
        if (!std::isfinite(values[i])) return false;
    }
    return true;
}

bool surfaceIsFinite(const SurfaceModel& s) {
    return allFinite(s.knotsU.data(), s.knotsU.size()) &&
           allFinite(s.knotsV.data(), s.knotsV.size()) &&
           allFinite(s.controlNet.empty() ? nullptr : &s.controlNet[0].x, s.controlNet.size() * 4);
}

double controlBoxDiagonal(const SurfaceModel& surface) {
    if (surface.controlNet.empty()) return 0.0;
    double low[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL};
    double high[3] = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    for (const PointH& P : surface.controlNet) {
        const double point[3] = {static_cast<double>(P.x) / P.w, static_cast<double>(P.y) / P.w,
                                 static_cast<double>(P.z) / P.w};
        for (int k = 0; k < 3; ++k) {
            low[k] = std::min(low[k], point[k]);
            high[k] = std::max(high[k], point[k]);
        }
    }
    return std::hypot(high[0] - low[0], high[1] - low[1], high[2] - low[2]);
}
