// The GLU NURBS renderers of both views: their making, their replacement after an error and the
// error callback.
#include "view/nurbs_renderers.h"

#include <cstdio>
#include <string>
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
// replays it), and one fault gives several errors: the first names the cause, those after it
// its consequences ("can't draw piecewise linear trimming curves"). Only the first is reported,
// once for the surface it came from and again only after that surface changed; while a gesture
// goes on (a knot dragged), once for the whole gesture.
struct NurbsErrorLog {
    bool reported = false;
    SurfaceModel surface;  // the surface the reported error came from
    int32_t multiplicity = -1;
    long gesture = 0;  // the gesture open when the error was reported, 0 for none
    std::string first;  // "Nurbs Error: " and GLU's text of the error reported
    std::string knot;   // the decreasing knot the status line names
};

NurbsErrorLog errorLog;

// The first knot of the surface that is below the one before it, said in the panel's terms
// ("knot 4 in s (0.3) is below knot 3 (0.5)"), or "".
std::string decreasingKnot(const SurfaceModel& surface) {
    const struct {
        const std::vector<float>& knots;
        const char* direction;
    } vectors[] = {{surface.knotsU, "s"}, {surface.knotsV, "t"}};
    for (const auto& v : vectors) {
        for (size_t i = 1; i < v.knots.size(); ++i) {
            if (!(v.knots[i] < v.knots[i - 1])) continue;
            char line[160];
            snprintf(line, sizeof line, "knot %zu in %s (%g) is below knot %zu (%g)", i,
                     v.direction, static_cast<double>(v.knots[i]), i - 1,
                     static_cast<double>(v.knots[i - 1]));
            return line;
        }
    }
    return "";
}

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
    const long gesture = s.history.gestureOpen ? s.history.gesturesOpened : 0;
    if (!sameSurface(errorLog.surface, s.surface) ||
        errorLog.multiplicity != s.derived.multiplicity) {
        if (gesture == 0 || gesture != errorLog.gesture) errorLog.reported = false;
        errorLog.surface = s.surface;
        errorLog.multiplicity = s.derived.multiplicity;
    }
    errorLog.gesture = gesture;
    const std::string knot = decreasingKnot(s.surface);
    if (errorLog.reported) {
        // Later in the same drag the line follows the knots, without printing again.
        if (gesture != 0 && !knot.empty() && errorLog.knot != knot) {
            errorLog.knot = knot;
            showStatusLine(editor.panel, ("the surface cannot be drawn: " + knot +
                                          ", and knots may not decrease (" + errorLog.first + ")")
                                             .c_str());
        }
        return;
    }
    errorLog.reported = true;
    const GLubyte* bytes = gluErrorString(errorCode);
    const char* text = bytes != nullptr ? reinterpret_cast<const char*>(bytes) : "";
    printf("Nurbs Error: %s\n", text);
    fflush(stdout);
    errorLog.first = std::string("Nurbs Error: ") + text;
    errorLog.knot = knot;
    if (!knot.empty()) {
        setStatusLinef(editor.panel,
                       "the surface cannot be drawn: %s, and knots may not decrease (%s)",
                       knot.c_str(), errorLog.first.c_str());
    } else {
        setStatusLinef(editor.panel, "GLU cannot draw what the surface gives it: %s",
                       errorLog.first.c_str());
    }
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
