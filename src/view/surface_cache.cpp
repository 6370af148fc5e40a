// The main view's NURBS surface as GLU tessellates it, kept as vertex arrays and drawn again
// while nothing that shapes the tessellation has changed.
//
// GLU's renderer mode evaluates every patch through GL evaluators on every frame, which Mesa runs
// in software. In GLU_NURBS_TESSELLATOR mode GLU hands over the same primitives (the same
// sampling, culling and display mode, since those are decided before the output stage) through
// callbacks instead. They are kept as draw lists (view/draw_lists.h): one indexed triangle list
// and one indexed line list, drawn with two glDrawElements calls.
//
// A large surface is cut at knots into parts (view/surface_parts.h). GLU turns a surface into
// Bezier patches and samples and culls each patch on its own, so the parts give the patches of
// the whole. This thread and a worker with a second renderer share the parts; this thread draws
// them in order as they are ready, while the worker tessellates later ones.
#include "view/surface_cache.h"

#include <unistd.h>

#include <cstring>
#include <exception>
#include <utility>
#include <vector>

#include "view/draw_lists.h"
#include "view/surface_parts.h"
#include "view/worker_thread.h"

namespace {

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

// What GLU handed over for one surface or part, in GLU's order, and the errors it reported.
struct Tessellation : CapturedPrimitives {
    std::vector<GLenum> errors;  // NURBS errors reported while tessellating, in order
    GLfloat pendingNormal[3] = {0.0f, 0.0f, 1.0f};
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

// The thread that tessellates parts beside the main thread and its renderer, made on the first
// cut, and the process that made the thread (a forked child has the object but not the thread).
struct PartsWorker {
    WorkerThread* thread = nullptr;
    pid_t process = 0;
    GLUnurbs* renderer = nullptr;
};

// Everything the cache keeps between frames; one instance, `data`.
struct SurfaceCacheData {
    CapturedSurface captured;  // what the last tessellation drew
    TessellationKey current;   // this frame's key, compared with captured.key
    Tessellation whole;        // GLU's output for a surface tessellated whole
    std::vector<Part> parts;   // and for one cut into parts
    PartsWorker worker;
    long tessellations = 0;
    long tessellationsInParts = 0;
    bool cuttingAllowed = true;
    void (*reportError)(GLenum) = nullptr;  // the main view's NURBS error callback
};

SurfaceCacheData data;

// What GLU's error callback, which carries no user data, needs on the thread it runs on: the
// tessellation GLU is filling there, if any, and whether its errors are only kept, not reported.
struct ThreadCapture {
    Tessellation* tessellation = nullptr;
    bool errorsOnlyKept = false;
};

thread_local ThreadCapture threadCapture;
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

void APIENTRY beginPrimitive(GLenum mode, void* userData) {
    auto* capture = static_cast<Tessellation*>(userData);
    capture->primitives.push_back({mode, static_cast<GLint>(capture->positions.size() / 3), 0});
}

void APIENTRY normalOfVertex(const GLfloat* normal, void* userData) {
    auto* capture = static_cast<Tessellation*>(userData);
    std::memcpy(capture->pendingNormal, normal, sizeof capture->pendingNormal);
}

// GLU gives the vertex already divided by its weight; the normal came just before it.
void APIENTRY vertexOfPrimitive(const GLfloat* vertex, void* userData) {
    auto* capture = static_cast<Tessellation*>(userData);
    capture->positions.insert(capture->positions.end(), vertex, vertex + 3);
    capture->normals.insert(capture->normals.end(), capture->pendingNormal,
                            capture->pendingNormal + 3);
}

void APIENTRY endPrimitive(void* userData) {
    auto* capture = static_cast<Tessellation*>(userData);
    if (capture->primitives.empty()) return;
    Primitive& last = capture->primitives.back();
    last.count = static_cast<GLsizei>(capture->positions.size() / 3) - last.first;
}

void APIENTRY nurbsError(GLenum code) {
    if (threadCapture.tessellation != nullptr) threadCapture.tessellation->errors.push_back(code);
    if (data.reportError != nullptr && !threadCapture.errorsOnlyKept) data.reportError(code);
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
    threadCapture.tessellation = &into;
    threadCapture.errorsOnlyKept = keepErrorsOnly;
    gluBeginSurface(renderer);
    gluNurbsSurface(renderer, surface.knotCountS, const_cast<GLfloat*>(surface.knotsS),
                    surface.knotCountT, const_cast<GLfloat*>(surface.knotsT), surface.strideS,
                    surface.strideT, const_cast<GLfloat*>(surface.points), surface.orderS,
                    surface.orderT, GL_MAP2_VERTEX_4);
    gluEndSurface(renderer);
    threadCapture.tessellation = nullptr;
    threadCapture.errorsOnlyKept = false;
    gluNurbsCallbackData(renderer, nullptr);
}

void drawCaptured(const DrawLists& lists) {
    if (!hasPrimitives(lists)) return;
    beginDrawingLists();
    drawLists(lists);
    endDrawingLists(true);
}

// The second renderer takes the main renderer's display mode, culling and sampling, and the
// matrices GLU would read from GL, which it cannot read on another thread. False when no worker
// thread can be started (the system refuses one); surfaces are then tessellated whole.
bool prepareSecondRenderer(const TessellationKey& key) {
    PartsWorker& worker = data.worker;
    if (worker.thread == nullptr) {
        try {
            worker.thread = new WorkerThread();
        } catch (const std::exception&) {
            data.cuttingAllowed = false;
            return false;
        }
        worker.process = getpid();
    }
    GLUnurbs*& secondRenderer = worker.renderer;
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
    if (data.worker.renderer != nullptr) gluDeleteNurbsRenderer(data.worker.renderer);
    data.worker.renderer = nullptr;
}

// Tessellates the surface in parts on two threads and draws each part as soon as it and those
// before it are ready. False when the surface is not cut (too small, knots GLU would refuse,
// sampling other than path length, which sets state in GLU that a second renderer would not
// share) or when GLU reported an error on a part; the caller then tessellates the whole surface,
// which reports errors as usual (parts already drawn are drawn again at the same depth, which
// changes no pixel).
bool tessellateAndDrawInParts(GLUnurbs* renderer, const SurfaceDescription& surface, bool outline) {
    CapturedSurface& captured = data.captured;
    if (!data.cuttingAllowed || captured.key.sampling[0] != GLU_PATH_LENGTH) return false;
    const std::vector<SurfaceDescription> cut = cutSurface(surface, kParts);
    if (cut.empty()) return false;
    if (!prepareSecondRenderer(captured.key)) return false;
    std::vector<Part>& parts = data.parts;
    if (parts.size() < cut.size()) parts.resize(cut.size());
    for (size_t i = 0; i < cut.size(); ++i) parts[i].surface = cut[i];
    bool failed = false, drawing = false, drewSomething = false;
    shareJobs(
        *data.worker.thread, static_cast<int>(cut.size()),
        [renderer, outline, &parts](int index, bool onWorker) {
            Part& part = parts[static_cast<size_t>(index)];
            runGlu(onWorker ? data.worker.renderer : renderer, part.surface, part.tessellation,
                   true);
            if (part.tessellation.errors.empty())
                buildDrawLists(part.tessellation, outline, part.lists);
        },
        [&](int index) {
            const Part& part = parts[static_cast<size_t>(index)];
            if (!part.tessellation.errors.empty()) {
                failed = true;
                return false;
            }
            if (!drawing) beginDrawingLists();
            drawing = true;
            drawLists(part.lists);
            drewSomething = drewSomething || hasPrimitives(part.lists);
            return true;
        });
    if (drawing) endDrawingLists(drewSomething);
    if (failed) {
        // A renderer that met an error may not recover; the next second renderer starts afresh.
        forgetSecondRenderer();
        return false;
    }
    captured.errors.clear();
    // The first part's lists become the kept ones (its own are rebuilt on the next cut), and
    // the others follow them.
    std::swap(captured.lists, parts[0].lists);
    for (size_t i = 1; i < cut.size(); ++i) appendLists(captured.lists, parts[i].lists);
    ++data.tessellationsInParts;
    return true;
}

// The display mode and culling GLU applies, set on every draw like the plain path does.
void applyProperties(GLUnurbs* renderer, float displayMode) {
    gluNurbsProperty(renderer, GLU_DISPLAY_MODE, displayMode);
    gluNurbsProperty(renderer, GLU_CULLING, GL_TRUE);
}

}  // namespace

void prepareSurfaceRenderer(GLUnurbs* renderer, void (*errorCallback)(GLenum)) {
    data.reportError = errorCallback;
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
    CapturedSurface& captured = data.captured;
    readKey(renderer, surface, data.current);
    if (captured.valid && sameKey(data.current, captured.key)) {
        // GLU would report its errors about this surface again on this frame.
        for (GLenum code : captured.errors) {
            if (data.reportError != nullptr) data.reportError(code);
        }
        drawCaptured(captured.lists);
        return;
    }
    std::swap(captured.key, data.current);
    captured.valid = false;
    gluNurbsProperty(renderer, GLU_NURBS_MODE, GLU_NURBS_TESSELLATOR);
    const bool outline = captured.key.displayMode != GLU_FILL;
    ++data.tessellations;
    if (!tessellateAndDrawInParts(renderer, surface, outline)) {
        runGlu(renderer, surface, data.whole, false);
        captured.errors = data.whole.errors;
        buildDrawLists(data.whole, outline, captured.lists);
        drawCaptured(captured.lists);
    }
    captured.valid = true;
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

void drawCapturedSurfaceAgain() {
    if (data.captured.valid) drawCaptured(data.captured.lists);
}

void clearSurfaceCache() {
    data.captured.valid = false;
}

void releaseSurfaceCache() {
    data.captured = CapturedSurface();
    data.current = TessellationKey();
    data.whole = Tessellation();
    data.parts = std::vector<Part>();
    // A forked child has the worker object but not its thread, so only its maker ends it.
    if (data.worker.thread != nullptr && data.worker.process == getpid()) {
        delete data.worker.thread;
        data.worker.thread = nullptr;
    }
    forgetSecondRenderer();
}

void setSurfaceCutting(bool on) {
    data.cuttingAllowed = on;
}

long surfaceTessellationCount() {
    return data.tessellations;
}

long surfaceTessellationInPartsCount() {
    return data.tessellationsInParts;
}
