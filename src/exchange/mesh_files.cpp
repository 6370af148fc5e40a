// Binary STL and Wavefront OBJ text of a mesh.
#include "exchange/mesh_files.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

void appendWord(std::string& out, uint32_t value) {
    const char bytes[4] = {static_cast<char>(value & 0xff), static_cast<char>((value >> 8) & 0xff),
                           static_cast<char>((value >> 16) & 0xff),
                           static_cast<char>((value >> 24) & 0xff)};
    out.append(bytes, 4);
}

void appendFloat(std::string& out, float value) {
    uint32_t bits;
    memcpy(&bits, &value, sizeof bits);
    appendWord(out, bits);
}

void appendNumber(std::string& out, float value) {
    char text[32];
    const std::to_chars_result written = std::to_chars(text, text + sizeof text, value);
    out.append(text, written.ptr);
}

void appendIndex(std::string& out, uint32_t value) {
    char text[16];
    const std::to_chars_result written = std::to_chars(text, text + sizeof text, value);
    out.append(text, written.ptr);
}

}  // namespace

void formatStl(const SurfaceMesh& mesh, std::string& out) {
    // A binary header must not begin with "solid", or readers take the file for text.
    std::string header = "Loftwork surface mesh, binary STL";
    header.resize(80, ' ');
    out += header;
    appendWord(out, static_cast<uint32_t>(mesh.triangleCount()));
    out.reserve(out.size() + 50 * mesh.triangleCount());
    const float* p = mesh.positions.data();
    for (size_t t = 0; t < mesh.triangleCount(); ++t) {
        const uint32_t* v = &mesh.triangles[3 * t];
        const double a[3] = {p[3 * v[0]], p[3 * v[0] + 1], p[3 * v[0] + 2]};
        double e1[3], e2[3];
        for (int k = 0; k < 3; ++k) {
            e1[k] = p[3 * v[1] + k] - a[k];
            e2[k] = p[3 * v[2] + k] - a[k];
        }
        double n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                       e1[0] * e2[1] - e1[1] * e2[0]};
        const double size = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        for (int k = 0; k < 3; ++k) {
            appendFloat(out, size > 0.0 ? static_cast<float>(n[k] / size) : 0.0f);
        }
        for (int corner = 0; corner < 3; ++corner) {
            for (int k = 0; k < 3; ++k) appendFloat(out, p[3 * v[corner] + k]);
        }
        out.append(2, '\0');
    }
}

void formatObj(const SurfaceMesh& mesh, std::string& out) {
    out += "# Loftwork surface mesh: ";
    appendIndex(out, static_cast<uint32_t>(mesh.vertexCount()));
    out += " vertices, ";
    appendIndex(out, static_cast<uint32_t>(mesh.triangleCount()));
    out += " triangles\n";
    const char* prefixes[3] = {"v ", "vn ", "vn "};
    const std::vector<float>* arrays[3] = {&mesh.positions, &mesh.normals, &mesh.sideNormals};
    for (int kind = 0; kind < 3; ++kind) {
        const std::vector<float>& values = *arrays[kind];
        for (size_t k = 0; k < values.size(); k += 3) {
            out += prefixes[kind];
            appendNumber(out, values[k]);
            out += ' ';
            appendNumber(out, values[k + 1]);
            out += ' ';
            appendNumber(out, values[k + 2]);
            out += '\n';
        }
    }
    // A corner on a crease takes its side's normal, listed after the vertex normals.
    const bool creases = mesh.cornerNormals.size() == mesh.triangles.size();
    const uint32_t firstSide = static_cast<uint32_t>(mesh.vertexCount());
    for (size_t t = 0; t < mesh.triangleCount(); ++t) {
        out += 'f';
        for (int corner = 0; corner < 3; ++corner) {
            const uint32_t index = mesh.triangles[3 * t + corner] + 1;
            const uint32_t side = creases ? mesh.cornerNormals[3 * t + corner] : kVertexNormal;
            out += ' ';
            appendIndex(out, index);
            out += "//";
            appendIndex(out, side == kVertexNormal ? index : firstSide + side + 1);
        }
        out += '\n';
    }
}
