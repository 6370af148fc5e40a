// Joining a mesh with its mirror image along the mirror plane.
#include "exchange/mirrored_mesh.h"

#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

void appendMirrorImage(SurfaceMesh& mesh, const MirrorPlane& plane, double weld) {
    const size_t count = mesh.vertexCount();
    const int a = plane.axis;
    std::vector<uint32_t> image(count);
    std::vector<bool> onPlane(count);
    for (size_t k = 0; k < count; ++k) {
        const float* p = &mesh.positions[3 * k];
        onPlane[k] = std::fabs(static_cast<double>(p[a]) - plane.offset) <= weld;
        if (onPlane[k]) {
            image[k] = static_cast<uint32_t>(k);
            // Both halves meet here: the mean of the normal and its reflection.
            float* n = &mesh.normals[3 * k];
            const float keep[3] = {n[0], n[1], n[2]};
            n[a] = 0.0f;
            const double size =
                std::sqrt(static_cast<double>(n[0]) * n[0] + static_cast<double>(n[1]) * n[1] +
                          static_cast<double>(n[2]) * n[2]);
            if (size > 0.0) {
                for (int c = 0; c < 3; ++c) n[c] = static_cast<float>(n[c] / size);
            } else {
                for (int c = 0; c < 3; ++c) n[c] = keep[c];
            }
            continue;
        }
        image[k] = static_cast<uint32_t>(mesh.vertexCount());
        float q[3] = {p[0], p[1], p[2]};
        q[a] = reflectCoordinate(q[a], plane.offset);
        float m[3] = {mesh.normals[3 * k], mesh.normals[3 * k + 1], mesh.normals[3 * k + 2]};
        m[a] = -m[a];
        mesh.positions.insert(mesh.positions.end(), q, q + 3);
        mesh.normals.insert(mesh.normals.end(), m, m + 3);
    }

    // Side normals of creases: the reflected copies follow the originals.
    const size_t sides = mesh.sideNormals.size() / 3;
    for (size_t k = 0; k < sides; ++k) {
        float m[3] = {mesh.sideNormals[3 * k], mesh.sideNormals[3 * k + 1],
                      mesh.sideNormals[3 * k + 2]};
        m[a] = -m[a];
        mesh.sideNormals.insert(mesh.sideNormals.end(), m, m + 3);
    }
    const bool creases = !mesh.cornerNormals.empty();
    auto reflected = [&](uint32_t normal) {
        return normal == kVertexNormal ? normal : normal + static_cast<uint32_t>(sides);
    };

    const size_t triangles = mesh.triangleCount();
    for (size_t t = 0; t < triangles; ++t) {
        const uint32_t v0 = mesh.triangles[3 * t], v1 = mesh.triangles[3 * t + 1],
                       v2 = mesh.triangles[3 * t + 2];
        if (onPlane[v0] && onPlane[v1] && onPlane[v2]) continue;
        // Reflection turns a triangle over; swapping two corners turns it back.
        mesh.triangles.insert(mesh.triangles.end(), {image[v0], image[v2], image[v1]});
        if (creases) {
            const uint32_t* n = &mesh.cornerNormals[3 * t];
            const uint32_t swappedNormals[3] = {reflected(n[0]), reflected(n[2]), reflected(n[1])};
            mesh.cornerNormals.insert(mesh.cornerNormals.end(), swappedNormals, swappedNormals + 3);
        }
        const float* uv = &mesh.cornerParameters[6 * t];
        const float swapped[6] = {uv[0], uv[1], uv[4], uv[5], uv[2], uv[3]};
        mesh.cornerParameters.insert(mesh.cornerParameters.end(), swapped, swapped + 6);
    }

    faceOutwards(mesh);
}
