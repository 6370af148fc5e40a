// The GLU NURBS renderers of both views: their making, their replacement after an error and the
// error callback.
#include "view/nurbs_renderers.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "model/editor_state.h"

namespace {

// GLU's error callback carries no user data, so which renderer failed is kept here: set by the
// view's error callback, read and cleared when the view next asks for its renderer.
struct NurbsRendererData {
    bool failed[2] = {false, false};  // indexed by NurbsView
};

NurbsRendererData data;

// GLU reports an error of the data on every frame that draws it (and the tessellation cache
// replays it), hundreds of lines a second. Each error is reported once for the surface it came
// from, and again only after that surface changed.
struct NurbsErrorLog {
    std::vector<GLenum> reported;
    SurfaceModel surface;  // the surface the reported errors came from
    int32_t multiplicity = -1;
};

NurbsErrorLog errorLog;

int indexOf(NurbsView view) {
    return view == NurbsView::main ? 0 : 1;
}

void APIENTRY mainViewError(GLenum errorCode) {
    data.failed[indexOf(NurbsView::main)] = true;
    nurbsErrorCallback(errorCode);
}

void APIENTRY sectionViewError(GLenum errorCode) {
    data.failed[indexOf(NurbsView::section)] = true;
    nurbsErrorCallback(errorCode);
}

void installErrorCallback(GLUnurbs* renderer, void (*errorCallback)(GLenum)) {
    gluNurbsCallback(renderer, GLU_ERROR, reinterpret_cast<_GLUfuncptr>(errorCallback));
}

}  // namespace

void nurbsErrorCallback(GLenum errorCode) {
    const EditorState& s = editor;
    if (!sameSurface(errorLog.surface, s.surface) ||
        errorLog.multiplicity != s.derived.multiplicity) {
        errorLog.reported.clear();
        errorLog.surface = s.surface;
        errorLog.multiplicity = s.derived.multiplicity;
    }
    std::vector<GLenum>& reported = errorLog.reported;
    if (std::find(reported.begin(), reported.end(), errorCode) != reported.end()) return;
    reported.push_back(errorCode);
    const GLubyte* bytes = gluErrorString(errorCode);
    const char* text = bytes != nullptr ? reinterpret_cast<const char*>(bytes) : "";
    printf("Nurbs Error: %s\n", text);
    fflush(stdout);
    setStatus("GLU cannot draw what the surface gives it: Nurbs Error: %s", text);
}

void forgetReportedNurbsErrors() {
    errorLog = NurbsErrorLog();
}

GLUnurbs* viewRenderer(NurbsView view, void*& slot, RendererSetUp setUp) {
    bool& failed = data.failed[indexOf(view)];
    if (failed) deleteRenderer(slot);
    failed = false;
    if (slot == nullptr) {
        GLUnurbs* renderer = gluNewNurbsRenderer();
        (setUp != nullptr ? setUp : installErrorCallback)(
            renderer, view == NurbsView::main ? mainViewError : sectionViewError);
        slot = renderer;
    }
    return static_cast<GLUnurbs*>(slot);
}

void deleteRenderer(void*& slot) {
    if (slot != nullptr) gluDeleteNurbsRenderer(static_cast<GLUnurbs*>(slot));
    slot = nullptr;
}
