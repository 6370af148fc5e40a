// Operations of Point3 and Vector3, and the intersection of two lines.
#include "model/point_vector.h"

#include <cmath>
#include <cstdio>

int Point3::toText(char* buffer, size_t size) const {
    return snprintf(buffer, size, "x:%f, y:%f, z:%f\r\n", static_cast<double>(x),
                    static_cast<double>(y), static_cast<double>(z));
}

int Vector3::toText(char* buffer, size_t size) const {
    return snprintf(buffer, size, "x:%f y:%f z:%f\r\n", static_cast<double>(x),
                    static_cast<double>(y), static_cast<double>(z));
}

float Point3::distanceTo(Point3 q) const {
    const float dx = q.x - x;
    const float dy = q.y - y;
    const float dz = q.z - z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

Vector3 cross(Vector3 a, Vector3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

float dot(Vector3 a, Vector3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

float length(Vector3 a) {
    const float sum = a.x * a.x + a.y * a.y + a.z * a.z;
    return std::sqrt(sum);
}

Vector3 normalized(Vector3 a) {
    const float l = length(a);
    if (l == 0.0f) return a;
    return {a.x / l, a.y / l, a.z / l};
}

Point3 projectOntoLine(Point3 p, Point3 a, Vector3 d) {
    const float l = length(d);
    const float l2 = l * l;
    // The axis of revolution is never zero; a zero direction has no line to project onto.
    if (l2 == 0.0f) return a;
    const float t = ((p.x - a.x) * d.x + (p.y - a.y) * d.y + (p.z - a.z) * d.z) / l2;
    return {a.x + t * d.x, a.y + t * d.y, a.z + t * d.z};
}

int intersectLines(Point3 P0, Vector3 T0, Point3 P2, Vector3 T2, Point3* result) {
    const Vector3 delta = P2 - P0;
    float s = 0.0f;
    bool found = false;

    const float D1 = T2.x * T0.y - T0.x * T2.y;
    if (D1 != 0.0f) {
        s = (T2.x * delta.y - T2.y * delta.x) / D1;
        const float t = (T0.x * delta.y - T0.y * delta.x) / D1;
        found = P2.z + t * T2.z == P0.z + s * T0.z;
    }
    if (!found) {
        const float D2 = T2.x * T0.z - T2.z * T0.x;
        if (D2 != 0.0f) {
            s = (T2.x * delta.z - T2.z * delta.x) / D2;
            const float t = (T0.x * delta.z - T0.z * delta.x) / D2;
            found = P2.y + t * T2.y == P0.y + s * T0.y;
        }
    }
    if (!found) {
        const float D3 = T2.y * T0.z - T2.z * T0.y;
        if (D3 != 0.0f) {
            s = (T2.y * delta.z - T2.z * delta.y) / D3;
            const float t = (T0.y * delta.z - T0.z * delta.y) / D3;
            found = P2.x + t * T2.x == P0.x + s * T0.x;
        }
    }
    if (found) {
        *result = Point3(P0.x + s * T0.x, P0.y + s * T0.y, P0.z + s * T0.z);
        return 1;
    }
    if (P0 == P2) {
        *result = P0;
        return 1;
    }
    char line[160];
    fputs("ERROR, lines not intersecting\r\n", stdout);
    P0.toText(line, sizeof line);
    fputs(line, stdout);
    T0.toText(line, sizeof line);
    fputs(line, stdout);
    P2.toText(line, sizeof line);
    fputs(line, stdout);
    T2.toText(line, sizeof line);
    fputs(line, stdout);
    return 0;
}
