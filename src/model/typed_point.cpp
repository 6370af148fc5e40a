// Typed coordinates and weights of one control point.
#include "model/typed_point.h"

#include <cmath>
#include <cstdio>

#include "model/finite_values.h"

const char* pointFieldName(PointField field) {
    switch (field) {
        case PointField::x:
            return "x";
        case PointField::y:
            return "y";
        case PointField::z:
            return "z";
        default:
            return "weight";
    }
}

bool typedPointValues(const SurfaceModel& surface, size_t index, float values[4]) {
    if (index >= surface.controlNet.size()) return false;
    const PointH& p = surface.controlNet[index];
    values[0] = p.x / p.w;
    values[1] = p.y / p.w;
    values[2] = p.z / p.w;
    values[3] = p.w;
    return true;
}

bool typePointValue(SurfaceModel& surface, size_t index, PointField field, double value,
                    std::string& error) {
    if (index >= surface.controlNet.size()) {
        error = "no such point";
        return false;
    }
    const float typed = static_cast<float>(value);
    if (!finite(value, typed)) {
        error = std::string(pointFieldName(field)) + " must be a finite number";
        return false;
    }
    PointH p = surface.controlNet[index];
    if (field == PointField::weight) {
        if (!(typed > 0.0f)) {
            error = "the weight must be above 0";
            return false;
        }
        if (!(p.w != 0.0f)) {
            error = "a point of weight 0 has no position to keep";
            return false;
        }
        // Rounded once, as the weight spinner does: the Cartesian point stays where it was.
        const long double k = static_cast<long double>(typed) / p.w;
        p = {static_cast<float>(p.x * k), static_cast<float>(p.y * k), static_cast<float>(p.z * k),
             typed};
    } else {
        float& stored = field == PointField::x ? p.x : field == PointField::y ? p.y : p.z;
        stored = static_cast<float>(static_cast<double>(typed) * p.w);
    }
    if (!finite(p)) {
        error = std::string(pointFieldName(field)) + " " + std::to_string(value) +
                " takes the point past the float range";
        return false;
    }
    surface.controlNet[index] = p;
    return true;
}
