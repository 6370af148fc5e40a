// The main view's NURBS surface as GLU tessellates it, kept as vertex arrays and drawn again
// while nothing that shapes the tessellation has changed.
//
// GLU's renderer mode evaluates every patch through GL evaluators on every frame, which Mesa runs
// in software. In GLU_NURBS_TESSELLATOR mode GLU hands over the same primitives (the same
// sampling, culling and display mode, since those are decided before the output stage) through
// callbacks instead. They are kept as one indexed triangle list and one indexed line list, drawn
// with two glDrawElements calls. GLU's outline is its renderer drawing the same polygons under the
// polygon mode GL_LINE; here the outline keeps exactly the edges that mode draws (every edge of a
// triangle, the four sides of a quad, the rim of a polygon) as lines, each edge once.
#include "view/surface_cache.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

// One primitive as GLU began and ended it: a range of the captured vertices.
struct Primitive {
    GLenum mode;
    GLint first;
    GLsizei count;
};

// Everything GLU's tessellation depends on, compared byte for byte.
struct TessellationKey {
    std::vector<GLfloat> knotsS;
    std::vector<GLfloat> knotsT;
    std::vector<GLfloat> points;
    GLint orders[2] = {0, 0};
    GLfloat displayMode = 0.0f;
    // GLU_SAMPLING_METHOD, GLU_SAMPLING_TOLERANCE, GLU_PARAMETRIC_TOLERANCE, GLU_U_STEP, GLU_V_STEP
    GLfloat sampling[5] = {};
    GLfloat modelView[16] = {};
    GLfloat projection[16] = {};
    GLint viewport[4] = {};
    const GLUnurbs* renderer = nullptr;
};

struct CapturedSurface {
    bool valid = false;
    TessellationKey key;
    std::vector<GLfloat> positions;  // x, y, z per vertex
    std::vector<GLfloat> normals;    // nx, ny, nz per vertex
    std::vector<Primitive> primitives;
    // What is drawn: the distinct vertices (equal position and normal bits), triangles and lines.
    std::vector<GLfloat> drawnPositions;
    std::vector<GLfloat> drawnNormals;
    std::vector<GLuint> triangles;
    std::vector<GLuint> lines;
    std::vector<GLenum> errors;  // NURBS errors reported while tessellating, in order
    GLfloat pendingNormal[3] = {0.0f, 0.0f, 1.0f};
};

CapturedSurface cache;
long tessellations = 0;
void (*reportError)(GLenum) = nullptr;
// The capture GLU is filling right now, if any (its error callback carries no user data).
CapturedSurface* capturing = nullptr;

bool sameBytes(const std::vector<GLfloat>& a, const std::vector<GLfloat>& b) {
    return a.size() == b.size() &&
           (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(GLfloat)) == 0);
}

bool sameKey(const TessellationKey& a, const TessellationKey& b) {
    return a.renderer == b.renderer && a.orders[0] == b.orders[0] && a.orders[1] == b.orders[1] &&
           std::memcmp(&a.displayMode, &b.displayMode, sizeof a.displayMode) == 0 &&
           std::memcmp(a.sampling, b.sampling, sizeof a.sampling) == 0 &&
           std::memcmp(a.modelView, b.modelView, sizeof a.modelView) == 0 &&
           std::memcmp(a.projection, b.projection, sizeof a.projection) == 0 &&
           std::memcmp(a.viewport, b.viewport, sizeof a.viewport) == 0 &&
           sameBytes(a.knotsS, b.knotsS) && sameBytes(a.knotsT, b.knotsT) &&
           sameBytes(a.points, b.points);
}

// Fills key from the surface and the GL state GLU reads when it loads its matrices. Reuses the
// key's storage, since this runs on every frame.
void readKey(GLUnurbs* renderer, const SurfaceDescription& surface, TessellationKey& key) {
    key.renderer = renderer;
    key.knotsS.assign(surface.knotsS,
                      surface.knotsS + (surface.knotCountS > 0 ? surface.knotCountS : 0));
    key.knotsT.assign(surface.knotsT,
                      surface.knotsT + (surface.knotCountT > 0 ? surface.knotCountT : 0));
    key.points.clear();
    const GLint pointsS = surface.knotCountS - surface.orderS;
    const GLint pointsT = surface.knotCountT - surface.orderT;
    for (GLint t = 0; t < pointsT; ++t) {
        for (GLint s = 0; s < pointsS; ++s) {
            const GLfloat* p = surface.points + static_cast<size_t>(t) * surface.strideT +
                               static_cast<size_t>(s) * surface.strideS;
            key.points.insert(key.points.end(), p, p + 4);
        }
    }
    key.orders[0] = surface.orderS;
    key.orders[1] = surface.orderT;
    gluGetNurbsProperty(renderer, GLU_DISPLAY_MODE, &key.displayMode);
    const GLenum sampling[5] = {GLU_SAMPLING_METHOD, GLU_SAMPLING_TOLERANCE,
                                GLU_PARAMETRIC_TOLERANCE, GLU_U_STEP, GLU_V_STEP};
    for (int i = 0; i < 5; ++i) gluGetNurbsProperty(renderer, sampling[i], &key.sampling[i]);
    glGetFloatv(GL_MODELVIEW_MATRIX, key.modelView);
    glGetFloatv(GL_PROJECTION_MATRIX, key.projection);
    glGetIntegerv(GL_VIEWPORT, key.viewport);
}

void APIENTRY beginPrimitive(GLenum mode, void* data) {
    auto* capture = static_cast<CapturedSurface*>(data);
    capture->primitives.push_back({mode, static_cast<GLint>(capture->positions.size() / 3), 0});
}

void APIENTRY normalOfVertex(const GLfloat* normal, void* data) {
    auto* capture = static_cast<CapturedSurface*>(data);
    std::memcpy(capture->pendingNormal, normal, sizeof capture->pendingNormal);
}

// GLU gives the vertex already divided by its weight; the normal came just before it.
void APIENTRY vertexOfPrimitive(const GLfloat* vertex, void* data) {
    auto* capture = static_cast<CapturedSurface*>(data);
    capture->positions.insert(capture->positions.end(), vertex, vertex + 3);
    capture->normals.insert(capture->normals.end(), capture->pendingNormal,
                            capture->pendingNormal + 3);
}

void APIENTRY endPrimitive(void* data) {
    auto* capture = static_cast<CapturedSurface*>(data);
    if (capture->primitives.empty()) return;
    Primitive& last = capture->primitives.back();
    last.count = static_cast<GLsizei>(capture->positions.size() / 3) - last.first;
}

void APIENTRY nurbsError(GLenum code) {
    if (capturing != nullptr) capturing->errors.push_back(code);
    if (reportError != nullptr) reportError(code);
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
std::vector<GLuint> mergeEqualVertices(CapturedSurface& capture) {
    const size_t count = capture.positions.size() / 3;
    const GLfloat* positions = capture.positions.data();
    const GLfloat* normals = capture.normals.data();
    auto same = [positions, normals](size_t a, size_t b) {
        return std::memcmp(positions + 3 * a, positions + 3 * b, 3 * sizeof(GLfloat)) == 0 &&
               std::memcmp(normals + 3 * a, normals + 3 * b, 3 * sizeof(GLfloat)) == 0;
    };
    const size_t size = tableSizeFor(count);
    std::vector<GLuint> table(size, 0);  // 1 + index of the first vertex with those bits
    std::vector<GLuint> index(count);
    capture.drawnPositions.clear();
    capture.drawnNormals.clear();
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
            index[i] = static_cast<GLuint>(capture.drawnPositions.size() / 3);
            capture.drawnPositions.insert(capture.drawnPositions.end(), positions + 3 * i,
                                          positions + 3 * i + 3);
            capture.drawnNormals.insert(capture.drawnNormals.end(), normals + 3 * i,
                                        normals + 3 * i + 3);
        } else {
            index[i] = index[table[slot] - 1];
        }
    }
    return index;
}

// The distinct edges seen so far, as (smaller index, larger index) in one 64-bit word.
class EdgeSet {
public:
    explicit EdgeSet(size_t expected) : slots_(tableSizeFor(expected), kEmpty) {}
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
    std::vector<uint64_t> slots_;
};

// Turns GLU's primitives, in GLU's order, into the triangle and line lists. Filled, polygons
// become triangles; in outline, their edges become lines, each distinct edge once.
void buildDrawLists(CapturedSurface& capture) {
    const std::vector<GLuint> index = mergeEqualVertices(capture);
    const bool outline = capture.key.displayMode != GLU_FILL;
    capture.triangles.clear();
    capture.lines.clear();
    // A primitive of n vertices has fewer than 2n edges.
    size_t edgeBound = 0;
    for (const Primitive& p : capture.primitives) {
        const bool lines = p.mode == GL_LINES || p.mode == GL_LINE_STRIP || p.mode == GL_LINE_LOOP;
        if (outline || lines) edgeBound += 2 * static_cast<size_t>(p.count);
    }
    EdgeSet edges(edgeBound);
    auto line = [&](GLuint a, GLuint b) {
        if (a == b || !edges.insert(a, b)) return;
        capture.lines.push_back(a);
        capture.lines.push_back(b);
    };
    auto triangle = [&](GLuint a, GLuint b, GLuint c) {
        if (outline) {
            line(a, b);
            line(b, c);
            line(c, a);
        } else {
            capture.triangles.insert(capture.triangles.end(), {a, b, c});
        }
    };
    for (const Primitive& p : capture.primitives) {
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

void tessellate(GLUnurbs* renderer, const SurfaceDescription& surface, CapturedSurface& capture) {
    capture.positions.clear();
    capture.normals.clear();
    capture.primitives.clear();
    capture.errors.clear();
    gluNurbsProperty(renderer, GLU_NURBS_MODE, GLU_NURBS_TESSELLATOR);
    gluNurbsCallbackData(renderer, &capture);
    capturing = &capture;
    gluBeginSurface(renderer);
    gluNurbsSurface(renderer, surface.knotCountS, const_cast<GLfloat*>(surface.knotsS),
                    surface.knotCountT, const_cast<GLfloat*>(surface.knotsT), surface.strideS,
                    surface.strideT, const_cast<GLfloat*>(surface.points), surface.orderS,
                    surface.orderT, GL_MAP2_VERTEX_4);
    gluEndSurface(renderer);
    capturing = nullptr;
    gluNurbsCallbackData(renderer, nullptr);
    buildDrawLists(capture);
    ++tessellations;
}

// The kept triangles and lines, then the current normal as GLU's renderer leaves it: Mesa's
// immediate-mode evaluators, which that renderer drives, end with the current normal holding the
// front ambient colour, and the control net, its points and the axes drawn after the surface are
// lit with it. Leaving the same normal keeps their colours as they were.
void drawCaptured(const CapturedSurface& capture) {
    if (capture.triangles.empty() && capture.lines.empty()) return;
    glPushAttrib(GL_CURRENT_BIT);
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, capture.drawnPositions.data());
    // GLU's renderer has GL generate normals only while GL_AUTO_NORMAL is on; without it the
    // surface is lit with the current normal.
    if (glIsEnabled(GL_AUTO_NORMAL)) {
        glEnableClientState(GL_NORMAL_ARRAY);
        glNormalPointer(GL_FLOAT, 0, capture.drawnNormals.data());
    }
    if (!capture.triangles.empty()) {
        glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(capture.triangles.size()),
                       GL_UNSIGNED_INT, capture.triangles.data());
    }
    if (!capture.lines.empty()) {
        glDrawElements(GL_LINES, static_cast<GLsizei>(capture.lines.size()), GL_UNSIGNED_INT,
                       capture.lines.data());
    }
    glPopClientAttrib();
    glPopAttrib();
    if (glIsEnabled(GL_AUTO_NORMAL)) {
        GLfloat ambient[4];
        glGetMaterialfv(GL_FRONT, GL_AMBIENT, ambient);
        glNormal3fv(ambient);
    }
}

// The display mode and culling GLU applies, set on every draw like the plain path does.
void applyProperties(GLUnurbs* renderer, float displayMode) {
    gluNurbsProperty(renderer, GLU_DISPLAY_MODE, displayMode);
    gluNurbsProperty(renderer, GLU_CULLING, GL_TRUE);
}

}  // namespace

void prepareSurfaceRenderer(GLUnurbs* renderer, void (*errorCallback)(GLenum)) {
    reportError = errorCallback;
    gluNurbsCallback(renderer, GLU_ERROR, reinterpret_cast<_GLUfuncptr>(nurbsError));
    gluNurbsCallback(renderer, GLU_NURBS_BEGIN_DATA, reinterpret_cast<_GLUfuncptr>(beginPrimitive));
    gluNurbsCallback(renderer, GLU_NURBS_NORMAL_DATA,
                     reinterpret_cast<_GLUfuncptr>(normalOfVertex));
    gluNurbsCallback(renderer, GLU_NURBS_VERTEX_DATA,
                     reinterpret_cast<_GLUfuncptr>(vertexOfPrimitive));
    gluNurbsCallback(renderer, GLU_NURBS_END_DATA, reinterpret_cast<_GLUfuncptr>(endPrimitive));
}

void drawSurfaceCached(GLUnurbs* renderer, const SurfaceDescription& surface, float displayMode) {
    applyProperties(renderer, displayMode);
    static TessellationKey current;
    readKey(renderer, surface, current);
    if (!cache.valid || !sameKey(current, cache.key)) {
        std::swap(cache.key, current);
        cache.valid = false;
        tessellate(renderer, surface, cache);
        cache.valid = true;
    } else {
        for (GLenum code : cache.errors) {
            if (reportError != nullptr) reportError(code);
        }
    }
    drawCaptured(cache);
}

void drawSurfaceDirect(GLUnurbs* renderer, const SurfaceDescription& surface, float displayMode) {
    applyProperties(renderer, displayMode);
    gluNurbsProperty(renderer, GLU_NURBS_MODE, GLU_NURBS_RENDERER);
    gluBeginSurface(renderer);
    gluNurbsSurface(renderer, surface.knotCountS, const_cast<GLfloat*>(surface.knotsS),
                    surface.knotCountT, const_cast<GLfloat*>(surface.knotsT), surface.strideS,
                    surface.strideT, const_cast<GLfloat*>(surface.points), surface.orderS,
                    surface.orderT, GL_MAP2_VERTEX_4);
    gluEndSurface(renderer);
}

void clearSurfaceCache() {
    cache.valid = false;
}

long surfaceTessellationCount() {
    return tessellations;
}
