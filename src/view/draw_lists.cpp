// Draw lists from GLU's tessellation: equal vertices merged through a hash table, polygons turned
// into triangles or, in outline, into their distinct edges, and drawn with glDrawElements.
//
// GLU's outline is its renderer drawing the same polygons under the polygon mode GL_LINE; here
// the outline keeps exactly the edges that mode draws (every edge of a triangle, the four sides
// of a quad, the rim of a polygon) as lines, each edge once.
#include "view/draw_lists.h"

#include <cstdint>
#include <cstring>

namespace {

// Hash tables kept per thread between builds (the main thread and the surface cache's worker
// build lists at once): fresh large blocks would be mapped and faulted in on every build.
struct Scratch {
    std::vector<GLuint> vertexTable;  // 1 + index of the first vertex with those bits
    std::vector<GLuint> vertexIndex;  // index of each captured vertex among the distinct ones
    std::vector<uint64_t> edgeSlots;  // the edge set's table
};

Scratch& threadScratch() {
    thread_local Scratch scratch;
    return scratch;
}

size_t tableSizeFor(size_t count) {
    size_t size = 16;
    while (size < 2 * count) size *= 2;
    return size;
}

uint64_t mix(uint64_t h) {
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdull;
    h ^= h >> 33;
    return h;
}

// Index of each captured vertex among the distinct ones; vertices GLU evaluated twice to the
// same bits (the shared corners of neighbouring fans) are drawn and lit once. An open-addressing
// table, since this runs for every vertex of every tessellation.
const std::vector<GLuint>& mergeEqualVertices(const CapturedPrimitives& raw, DrawLists& lists,
                                              Scratch& scratch) {
    const size_t count = raw.positions.size() / 3;
    const GLfloat* positions = raw.positions.data();
    const GLfloat* normals = raw.normals.data();
    auto same = [positions, normals](size_t a, size_t b) {
        return std::memcmp(positions + 3 * a, positions + 3 * b, 3 * sizeof(GLfloat)) == 0 &&
               std::memcmp(normals + 3 * a, normals + 3 * b, 3 * sizeof(GLfloat)) == 0;
    };
    const size_t size = tableSizeFor(count);
    std::vector<GLuint>& table = scratch.vertexTable;
    table.assign(size, 0);
    std::vector<GLuint>& index = scratch.vertexIndex;
    index.resize(count);
    lists.positions.clear();
    lists.normals.clear();
    for (size_t i = 0; i < count; ++i) {
        uint64_t h = 0;
        for (int k = 0; k < 3; ++k) {
            uint32_t p, n;
            std::memcpy(&p, positions + 3 * i + k, sizeof p);
            std::memcpy(&n, normals + 3 * i + k, sizeof n);
            h = mix(mix(h ^ p) ^ n);
        }
        size_t slot = static_cast<size_t>(h) & (size - 1);
        while (table[slot] != 0 && !same(table[slot] - 1, i)) slot = (slot + 1) & (size - 1);
        if (table[slot] == 0) {
            table[slot] = static_cast<GLuint>(i + 1);
            index[i] = static_cast<GLuint>(lists.positions.size() / 3);
            lists.positions.insert(lists.positions.end(), positions + 3 * i, positions + 3 * i + 3);
            lists.normals.insert(lists.normals.end(), normals + 3 * i, normals + 3 * i + 3);
        } else {
            index[i] = index[table[slot] - 1];
        }
    }
    return index;
}

// The distinct edges seen so far, as (smaller index, larger index) in one 64-bit word.
class EdgeSet {
public:
    EdgeSet(size_t expected, std::vector<uint64_t>& storage) : slots_(storage) {
        slots_.assign(tableSizeFor(expected), kEmpty);
    }
    // True when the edge was not in the set yet.
    bool insert(GLuint a, GLuint b) {
        const uint64_t key = a < b ? (uint64_t{a} << 32 | b) : (uint64_t{b} << 32 | a);
        size_t slot = static_cast<size_t>(mix(key)) & (slots_.size() - 1);
        while (slots_[slot] != kEmpty) {
            if (slots_[slot] == key) return false;
            slot = (slot + 1) & (slots_.size() - 1);
        }
        slots_[slot] = key;
        return true;
    }

private:
    static constexpr uint64_t kEmpty = ~uint64_t{0};
    std::vector<uint64_t>& slots_;
};

}  // namespace

void buildDrawLists(const CapturedPrimitives& raw, bool outline, DrawLists& lists) {
    Scratch& scratch = threadScratch();
    const std::vector<GLuint>& index = mergeEqualVertices(raw, lists, scratch);
    lists.triangles.clear();
    lists.lines.clear();
    // A primitive of n vertices has fewer than 2n edges.
    size_t edgeBound = 0;
    for (const Primitive& p : raw.primitives) {
        const bool lines = p.mode == GL_LINES || p.mode == GL_LINE_STRIP || p.mode == GL_LINE_LOOP;
        if (outline || lines) edgeBound += 2 * static_cast<size_t>(p.count);
    }
    EdgeSet edges(edgeBound, scratch.edgeSlots);
    auto line = [&](GLuint a, GLuint b) {
        if (a == b || !edges.insert(a, b)) return;
        lists.lines.push_back(a);
        lists.lines.push_back(b);
    };
    auto triangle = [&](GLuint a, GLuint b, GLuint c) {
        if (outline) {
            line(a, b);
            line(b, c);
            line(c, a);
        } else {
            lists.triangles.insert(lists.triangles.end(), {a, b, c});
        }
    };
    for (const Primitive& p : raw.primitives) {
        const GLuint* v = index.data() + p.first;
        const GLsizei n = p.count;
        switch (p.mode) {
            case GL_TRIANGLES:
                for (GLsizei i = 0; i + 2 < n; i += 3) triangle(v[i], v[i + 1], v[i + 2]);
                break;
            case GL_TRIANGLE_FAN:
                for (GLsizei i = 1; i + 1 < n; ++i) triangle(v[0], v[i], v[i + 1]);
                break;
            case GL_TRIANGLE_STRIP:
                for (GLsizei i = 0; i + 2 < n; ++i) {
                    if (i % 2 == 0) {
                        triangle(v[i], v[i + 1], v[i + 2]);
                    } else {
                        triangle(v[i + 1], v[i], v[i + 2]);
                    }
                }
                break;
            case GL_QUAD_STRIP:
                // Quad i has the corners 2i, 2i+1, 2i+3, 2i+2; its diagonal is no edge.
                for (GLsizei i = 0; i + 3 < n; i += 2) {
                    if (outline) {
                        line(v[i], v[i + 1]);
                        line(v[i + 1], v[i + 3]);
                        line(v[i + 3], v[i + 2]);
                        line(v[i + 2], v[i]);
                    } else {
                        triangle(v[i], v[i + 1], v[i + 3]);
                        triangle(v[i], v[i + 3], v[i + 2]);
                    }
                }
                break;
            case GL_LINES:
                for (GLsizei i = 0; i + 1 < n; i += 2) line(v[i], v[i + 1]);
                break;
            case GL_LINE_STRIP:
            case GL_LINE_LOOP:
                for (GLsizei i = 0; i + 1 < n; ++i) line(v[i], v[i + 1]);
                if (p.mode == GL_LINE_LOOP && n > 2) line(v[n - 1], v[0]);
                break;
            default:
                break;
        }
    }
}

void appendLists(DrawLists& into, const DrawLists& part) {
    const GLuint offset = static_cast<GLuint>(into.positions.size() / 3);
    into.positions.insert(into.positions.end(), part.positions.begin(), part.positions.end());
    into.normals.insert(into.normals.end(), part.normals.begin(), part.normals.end());
    for (GLuint i : part.triangles) into.triangles.push_back(i + offset);
    for (GLuint i : part.lines) into.lines.push_back(i + offset);
}

bool hasPrimitives(const DrawLists& lists) {
    return !lists.triangles.empty() || !lists.lines.empty();
}

// endDrawingLists leaves the current normal as GLU's renderer leaves it: Mesa's immediate-mode
// evaluators, which that renderer drives, end with the current normal holding the front ambient
// colour, and the control net, its points and the axes drawn after the surface are lit with it.
// Leaving the same normal keeps their colours.
void beginDrawingLists() {
    glPushAttrib(GL_CURRENT_BIT);
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glEnableClientState(GL_VERTEX_ARRAY);
}

void drawLists(const DrawLists& lists) {
    if (lists.triangles.empty() && lists.lines.empty()) return;
    glVertexPointer(3, GL_FLOAT, 0, lists.positions.data());
    // GLU's renderer has GL generate normals only while GL_AUTO_NORMAL is on; without it the
    // surface is lit with the current normal.
    if (glIsEnabled(GL_AUTO_NORMAL)) {
        glEnableClientState(GL_NORMAL_ARRAY);
        glNormalPointer(GL_FLOAT, 0, lists.normals.data());
    }
    if (!lists.triangles.empty()) {
        glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(lists.triangles.size()), GL_UNSIGNED_INT,
                       lists.triangles.data());
    }
    if (!lists.lines.empty()) {
        glDrawElements(GL_LINES, static_cast<GLsizei>(lists.lines.size()), GL_UNSIGNED_INT,
                       lists.lines.data());
    }
}

void endDrawingLists(bool drewSomething) {
    glPopClientAttrib();
    glPopAttrib();
    if (drewSomething && glIsEnabled(GL_AUTO_NORMAL)) {
        GLfloat ambient[4];
        glGetMaterialfv(GL_FRONT, GL_AMBIENT, ambient);
        glNormal3fv(ambient);
    }
}
