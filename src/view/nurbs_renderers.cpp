// The GLU NURBS renderers of both views: their making, their replacement after an error and the
// error callback.
#include "view/nurbs_renderers.h"

#include <cstdio>

namespace {

// GLU's error callback carries no user data, so which renderer failed is kept here: set by the
// view's error callback, read and cleared when the view next asks for its renderer.
struct NurbsRendererData {
    bool failed[2] = {false, false};  // indexed by NurbsView
};

NurbsRendererData data;

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
    const GLubyte* text = gluErrorString(errorCode);
    printf("Nurbs Error: %s\n", text != nullptr ? reinterpret_cast<const char*>(text) : "");
    fflush(stdout);
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
