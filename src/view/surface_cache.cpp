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
//
// A large surface is cut at knots into parts (view/surface_parts.h). GLU turns a surface into
// Bezier patches and samples and culls each patch on its own, so the parts give the patches of
// the whole. This thread and a worker with a second renderer share the parts; this thread draws
// them in order as they are ready, while the worker tessellates later ones.
#include "view/surface_cache.h"

#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <exception>
#include <utility>
#include <vector>

#include "view/surface_parts.h"
#include "view/worker_thread.h"

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

// What GLU handed over for one surface or part, in GLU's order.
struct Tessellation {
    std::vector<GLfloat> positions;  // x, y, z per vertex
    std::vector<GLfloat> normals;    // nx, ny, nz per vertex
    std::vector<Primitive> primitives;
    std::vector<GLenum> errors;  // NURBS errors reported while tessellating, in order
    GLfloat pendingNormal[3] = {0.0f, 0.0f, 1.0f};
};

// What is drawn: the distinct vertices (equal position and normal bits), triangles and lines.
struct DrawLists {
    std::vector<GLfloat> positions;
    std::vector<GLfloat> normals;
    std::vector<GLuint> triangles;
    std::vector<GLuint> lines;
};

struct CapturedSurface {
    bool valid = false;
    TessellationKey key;
    std::vector<GLenum> errors;  // NURBS errors GLU reported for the surface, in order
    DrawLists lists;
};

// One part of a cut surface.
struct Part {
    SurfaceDescription surface;
    Tessellation tessellation;
    DrawLists lists;
};

CapturedSurface cache;
Tessellation whole;
std::vector<Part> parts;
long tessellations = 0;
long tessellationsInParts = 0;
bool cuttingAllowed = true;
void (*reportError)(GLenum) = nullptr;
// The tessellation GLU is filling on this thread, if any (its error callback carries no user
// data), and whether its errors are only kept, not reported.
thread_local Tessellation* capturing = nullptr;
thread_local bool errorsOnlyKept = false;
// The renderer of the parts the worker tessellates and the worker itself, made on the first
// cut, and the process that made the worker
// (a forked child has the object but not the thread).
GLUnurbs* secondRenderer = nullptr;
WorkerThread* worker = nullptr;
pid_t workerProcess = 0;
// Parts a large surface is cut into: enough that this thread can draw early parts while the
// worker still tessellates later ones, few enough that cutting adds little work.
constexpr int kParts = 6;

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
    auto* capture = static_cast<Tessellation*>(data);
    capture->primitives.push_back({mode, static_cast<GLint>(capture->positions.size() / 3), 0});
}

void APIENTRY normalOfVertex(const GLfloat* normal, void* data) {
    auto* capture = static_cast<Tessellation*>(data);
    std::memcpy(capture->pendingNormal, normal, sizeof capture->pendingNormal);
}

// GLU gives the vertex already divided by its weight; the normal came just before it.
void APIENTRY vertexOfPrimitive(const GLfloat* vertex, void* data) {
    auto* capture = static_cast<Tessellation*>(data);
    capture->positions.insert(capture->positions.end(), vertex, vertex + 3);
    capture->normals.insert(capture->normals.end(), capture->pendingNormal,
                            capture->pendingNormal + 3);
}

void APIENTRY endPrimitive(void* data) {
    auto* capture = static_cast<Tessellation*>(data);
    if (capture->primitives.empty()) return;
    Primitive& last = capture->primitives.back();
    last.count = static_cast<GLsizei>(capture->positions.size() / 3) - last.first;
}

void APIENTRY nurbsError(GLenum code) {
    if (capturing != nullptr) capturing->errors.push_back(code);
    if (reportError != nullptr && !errorsOnlyKept) reportError(code);
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
std::vector<GLuint>& vertexIndex() {
    thread_local std::vector<GLuint> index;
    return index;
}

const std::vector<GLuint>& mergeEqualVertices(const Tessellation& raw, DrawLists& lists) {
    const size_t count = raw.positions.size() / 3;
    const GLfloat* positions = raw.positions.data();
    const GLfloat* normals = raw.normals.data();
    auto same = [positions, normals](size_t a, size_t b) {
        return std::memcmp(positions + 3 * a, positions + 3 * b, 3 * sizeof(GLfloat)) == 0 &&
               std::memcmp(normals + 3 * a, normals + 3 * b, 3 * sizeof(GLfloat)) == 0;
    };
    const size_t size = tableSizeFor(count);
    // Kept per thread between tessellations: fresh large blocks would be mapped and faulted in
    // on every one.
    thread_local std::vector<GLuint> table;  // 1 + index of the first vertex with those bits
    table.assign(size, 0);
    std::vector<GLuint>& index = vertexIndex();
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
    explicit EdgeSet(size_t expected) : slots_(scratch()) {
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
    // The table's storage, kept per thread like the vertex table.
    static std::vector<uint64_t>& scratch() {
        thread_local std::vector<uint64_t> slots;
        return slots;
    }
    std::vector<uint64_t>& slots_;
};

// Turns GLU's primitives, in GLU's order, into the triangle and line lists. Filled, polygons
// become triangles; in outline, their edges become lines, each distinct edge once.
void buildDrawLists(const Tessellation& raw, bool outline, DrawLists& lists) {
    const std::vector<GLuint>& index = mergeEqualVertices(raw, lists);
    lists.triangles.clear();
    lists.lines.clear();
    // A primitive of n vertices has fewer than 2n edges.
    size_t edgeBound = 0;
    for (const Primitive& p : raw.primitives) {
        const bool lines = p.mode == GL_LINES || p.mode == GL_LINE_STRIP || p.mode == GL_LINE_LOOP;
        if (outline || lines) edgeBound += 2 * static_cast<size_t>(p.count);
    }
    EdgeSet edges(edgeBound);
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

// GLU's tessellation of one surface into `into`; with keepErrorsOnly, NURBS errors are kept in
// `into` but not reported.
void runGlu(GLUnurbs* renderer, const SurfaceDescription& surface, Tessellation& into,
            bool keepErrorsOnly) {
    into.positions.clear();
    into.normals.clear();
    into.primitives.clear();
    into.errors.clear();
    gluNurbsCallbackData(renderer, &into);
    capturing = &into;
    errorsOnlyKept = keepErrorsOnly;
    gluBeginSurface(renderer);
    gluNurbsSurface(renderer, surface.knotCountS, const_cast<GLfloat*>(surface.knotsS),
                    surface.knotCountT, const_cast<GLfloat*>(surface.knotsT), surface.strideS,
                    surface.strideT, const_cast<GLfloat*>(surface.points), surface.orderS,
                    surface.orderT, GL_MAP2_VERTEX_4);
    gluEndSurface(renderer);
    capturing = nullptr;
    errorsOnlyKept = false;
    gluNurbsCallbackData(renderer, nullptr);
}

// Draw lists go to GL between beginDrawing and endDrawing. endDrawing leaves the current normal
// as GLU's renderer leaves it: Mesa's immediate-mode evaluators, which that renderer drives, end
// with the current normal holding the front ambient colour, and the control net, its points and
// the axes drawn after the surface are lit with it. Leaving the same normal keeps their colours.
void beginDrawing() {
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

void endDrawing(bool drewSomething) {
    glPopClientAttrib();
    glPopAttrib();
    if (drewSomething && glIsEnabled(GL_AUTO_NORMAL)) {
        GLfloat ambient[4];
        glGetMaterialfv(GL_FRONT, GL_AMBIENT, ambient);
        glNormal3fv(ambient);
    }
}

bool hasPrimitives(const DrawLists& lists) {
    return !lists.triangles.empty() || !lists.lines.empty();
}

void drawCaptured(const DrawLists& lists) {
    if (!hasPrimitives(lists)) return;
    beginDrawing();
    drawLists(lists);
    endDrawing(true);
}

// Appends a part's lists after those already in `into`.
void appendLists(DrawLists& into, const DrawLists& part) {
    const GLuint offset = static_cast<GLuint>(into.positions.size() / 3);
    into.positions.insert(into.positions.end(), part.positions.begin(), part.positions.end());
    into.normals.insert(into.normals.end(), part.normals.begin(), part.normals.end());
    for (GLuint i : part.triangles) into.triangles.push_back(i + offset);
    for (GLuint i : part.lines) into.lines.push_back(i + offset);
}

// The second renderer takes the main renderer's display mode, culling and sampling, and the
// matrices GLU would read from GL, which it cannot read on another thread. False when no worker
// thread can be started (the system refuses one); surfaces are then tessellated whole.
bool prepareSecondRenderer(const TessellationKey& key) {
    if (worker == nullptr) {
        try {
            worker = new WorkerThread();
        } catch (const std::exception&) {
            cuttingAllowed = false;
            return false;
        }
        workerProcess = getpid();
    }
    if (secondRenderer == nullptr) {
        secondRenderer = gluNewNurbsRenderer();
        gluNurbsCallback(secondRenderer, GLU_ERROR, reinterpret_cast<_GLUfuncptr>(nurbsError));
        gluNurbsCallback(secondRenderer, GLU_NURBS_BEGIN_DATA,
                         reinterpret_cast<_GLUfuncptr>(beginPrimitive));
        gluNurbsCallback(secondRenderer, GLU_NURBS_NORMAL_DATA,
                         reinterpret_cast<_GLUfuncptr>(normalOfVertex));
        gluNurbsCallback(secondRenderer, GLU_NURBS_VERTEX_DATA,
                         reinterpret_cast<_GLUfuncptr>(vertexOfPrimitive));
        gluNurbsCallback(secondRenderer, GLU_NURBS_END_DATA,
                         reinterpret_cast<_GLUfuncptr>(endPrimitive));
        gluNurbsProperty(secondRenderer, GLU_NURBS_MODE, GLU_NURBS_TESSELLATOR);
        gluNurbsProperty(secondRenderer, GLU_AUTO_LOAD_MATRIX, GL_FALSE);
        gluNurbsProperty(secondRenderer, GLU_CULLING, GL_TRUE);
    }
    gluNurbsProperty(secondRenderer, GLU_DISPLAY_MODE, key.displayMode);
    const GLenum sampling[5] = {GLU_SAMPLING_METHOD, GLU_SAMPLING_TOLERANCE,
                                GLU_PARAMETRIC_TOLERANCE, GLU_U_STEP, GLU_V_STEP};
    for (int i = 0; i < 5; ++i) gluNurbsProperty(secondRenderer, sampling[i], key.sampling[i]);
    gluLoadSamplingMatrices(secondRenderer, key.modelView, key.projection, key.viewport);
    return true;
}

void forgetSecondRenderer() {
    if (secondRenderer != nullptr) gluDeleteNurbsRenderer(secondRenderer);
    secondRenderer = nullptr;
}

// Tessellates the surface in parts on two threads and draws each part as soon as it and those
// before it are ready. False when the surface is not cut (too small, knots GLU would refuse,
// sampling other than path length, which sets state in GLU that a second renderer would not
// share) or when GLU reported an error on a part; the caller then tessellates the whole surface,
// which reports errors as usual (parts already drawn are drawn again at the same depth, which
// changes no pixel).
bool tessellateAndDrawInParts(GLUnurbs* renderer, const SurfaceDescription& surface, bool outline) {
    if (!cuttingAllowed || cache.key.sampling[0] != GLU_PATH_LENGTH) return false;
    const std::vector<SurfaceDescription> cut = cutSurface(surface, kParts);
    if (cut.empty()) return false;
    if (!prepareSecondRenderer(cache.key)) return false;
    if (parts.size() < cut.size()) parts.resize(cut.size());
    for (size_t i = 0; i < cut.size(); ++i) parts[i].surface = cut[i];
    bool failed = false, drawing = false, drewSomething = false;
    shareJobs(
        *worker, static_cast<int>(cut.size()),
        [renderer, outline](int index, bool onWorker) {
            Part& part = parts[static_cast<size_t>(index)];
            runGlu(onWorker ? secondRenderer : renderer, part.surface, part.tessellation, true);
            if (part.tessellation.errors.empty())
                buildDrawLists(part.tessellation, outline, part.lists);
        },
        [&](int index) {
            const Part& part = parts[static_cast<size_t>(index)];
            if (!part.tessellation.errors.empty()) {
                failed = true;
                return false;
            }
            if (!drawing) beginDrawing();
            drawing = true;
            drawLists(part.lists);
            drewSomething = drewSomething || hasPrimitives(part.lists);
            return true;
        });
    if (drawing) endDrawing(drewSomething);
    if (failed) {
        // A renderer that met an error may not recover; the next second renderer starts afresh.
        forgetSecondRenderer();
        return false;
    }
    cache.errors.clear();
    // The first part's lists become the kept ones (its own are rebuilt on the next cut), and
    // the others follow them.
    std::swap(cache.lists, parts[0].lists);
    for (size_t i = 1; i < cut.size(); ++i) appendLists(cache.lists, parts[i].lists);
    ++tessellationsInParts;
    return true;
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
    if (cache.valid && sameKey(current, cache.key)) {
        for (GLenum code : cache.errors) {
            if (reportError != nullptr) reportError(code);
        }
        drawCaptured(cache.lists);
        return;
    }
    std::swap(cache.key, current);
    cache.valid = false;
    gluNurbsProperty(renderer, GLU_NURBS_MODE, GLU_NURBS_TESSELLATOR);
    const bool outline = cache.key.displayMode != GLU_FILL;
    ++tessellations;
    if (!tessellateAndDrawInParts(renderer, surface, outline)) {
        runGlu(renderer, surface, whole, false);
        cache.errors = whole.errors;
        buildDrawLists(whole, outline, cache.lists);
        drawCaptured(cache.lists);
    }
    cache.valid = true;
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

void releaseSurfaceCache() {
    cache = CapturedSurface();
    whole = Tessellation();
    parts = std::vector<Part>();
    // A forked child has the worker object but not its thread, so only its maker ends it.
    if (worker != nullptr && workerProcess == getpid()) {
        delete worker;
        worker = nullptr;
    }
    forgetSecondRenderer();
}

void setSurfaceCutting(bool on) {
    cuttingAllowed = on;
}

long surfaceTessellationCount() {
    return tessellations;
}

long surfaceTessellationInPartsCount() {
    return tessellationsInParts;
}
