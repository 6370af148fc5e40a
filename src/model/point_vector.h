// Point3 and Vector3: single-precision positions and displacements, with the few operations
// the editor needs (arcs of revolution, camera moves, picking distances, line intersection).
#pragma once

#include <cstddef>

struct Vector3;

struct Point3 {
    float x, y, z;
    Point3() = default;  // coordinates left unset, like a plain struct
    Point3(float px, float py, float pz) : x(px), y(py), z(pz) {}

    // "x:%f, y:%f, z:%f\r\n" into buffer; returns the characters written.
    int toText(char* buffer, size_t size) const;
    float distanceTo(Point3 q) const;
};

struct Vector3 {
    float x, y, z;
    Vector3() = default;
    Vector3(float vx, float vy, float vz) : x(vx), y(vy), z(vz) {}

    // "x:%f y:%f z:%f\r\n" into buffer; returns the characters written.
    int toText(char* buffer, size_t size) const;
};

inline Point3 operator+(Point3 p, Vector3 v) { return {p.x + v.x, p.y + v.y, p.z + v.z}; }
inline Vector3 operator-(Point3 p, Point3 q) { return {p.x - q.x, p.y - q.y, p.z - q.z}; }
inline Point3 operator*(Point3 p, float f) { return {p.x * f, p.y * f, p.z * f}; }
inline Vector3 operator+(Vector3 a, Vector3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vector3 operator-(Vector3 a, Vector3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vector3 operator*(Vector3 a, float f) { return {a.x * f, a.y * f, a.z * f}; }
inline bool operator==(Point3 a, Point3 b) { return a.x == b.x && a.y == b.y && a.z == b.z; }
inline bool operator==(Vector3 a, Vector3 b) { return a.x == b.x && a.y == b.y && a.z == b.z; }
inline bool operator!=(Point3 a, Point3 b) { return !(a == b); }
inline bool operator!=(Vector3 a, Vector3 b) { return !(a == b); }

Vector3 cross(Vector3 a, Vector3 b);
float dot(Vector3 a, Vector3 b);
float length(Vector3 a);
// a / length(a); a vector of length exactly 0 comes back unchanged.
Vector3 normalized(Vector3 a);

// Foot of the perpendicular from p to the line a + t d. A zero direction gives a itself.
Point3 projectOntoLine(Point3 p, Point3 a, Vector3 d);

// Meets the lines P0 + s T0 and P2 + t T2 by Cramer's rule in the xy, xz and yz planes in turn,
// each checked exactly against the third coordinate, then by coincident start points. Returns
// 1 and writes *result on success; otherwise prints the lines to standard output, returns 0 and
// leaves *result alone.
int intersectLines(Point3 P0, Vector3 T0, Point3 P2, Vector3 T2, Point3* result);
