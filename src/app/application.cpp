// Entry wiring of the editor: windows, callbacks, menus, idle animation and exit clean-up.
#include "app/application.h"

#include <GL/freeglut.h>
#include <GL/glu.h>
#include <GL/glx.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "app/control_panel.h"
#include "app/file_chooser.h"
#include "app/scene_setup.h"
#include "input/app_requests.h"
#include "input/main_input.h"
#include "input/section_input.h"
#include "io/recovery_file.h"
#include "io/temporary_files.h"
#include "model/editor_state.h"
#include "model/printable_text.h"
#include "model/surface_edit.h"
#include "view/grid_renderer.h"
#include "view/grid_surface.h"
#include "view/main_view.h"
#include "view/net_drawing.h"
#include "view/redraw.h"
#include "view/scene_buffer.h"
#include "view/section_view.h"
#include "view/surface_cache.h"

namespace {

// The signal that asked the editor to end, 0 while none did. The handler only notes it: the
// recovery file is written from the idle handler, outside the signal. A second signal while
// the editor is still busy ends it at once, as a plain signal would, after removing the
// temporary file of a save or export in progress.
volatile sig_atomic_t gEndingSignal = 0;

void noteEndingSignal(int signal) {
    if (gEndingSignal != 0) {
        removeTemporaryFiles();
        ::signal(signal, SIG_DFL);
        raise(signal);
        return;
    }
    gEndingSignal = signal;
}

// SIGTERM, SIGHUP and SIGINT (the session ending, the terminal closed, ctrl+c) are noted, and
// the next idle step writes unsaved changes to the recovery file and lets the signal end the
// program as it would have.
void endOnSignals() {
    for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
        struct sigaction action = {};
        action.sa_handler = noteEndingSignal;
        sigemptyset(&action.sa_mask);
        sigaction(signal, &action, nullptr);
    }
}

void endIfSignalled() {
    const int signal = gEndingSignal;
    if (signal == 0) return;
    saveUnsavedChanges();
    // Ended by the signal as before, so whoever sent it sees it did.
    ::signal(signal, SIG_DFL);
    raise(signal);
}

// ctrl+o in a window: the chooser for a surface file, which loads the file chosen.
bool chooseSurfaceToLoad(std::string& error) {
    return startFileChooser(editor.panel.surfaceFileName, "open a surface file", false, error,
                            kSurfaceFileFilters, true);
}

}  // namespace

void initApplication(int* argc, char** argv) {
    EditorState& s = editor;
    AppRequests requests;
    requests.quit = quitEditor;
    requests.releasePanelKeyboard = releasePanelKeyboard;
    requests.chooseSurfaceToLoad = chooseSurfaceToLoad;
    setAppRequests(requests);
    glutInit(argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);

    glutInitWindowSize(s.view.sectionWindowWidth, s.view.sectionWindowHeight);
    glutInitWindowPosition(0, 0);
    s.handles.sectionWindow = glutCreateWindow("section curve window");
    glutDisplayFunc(sectionDisplay);
    glutKeyboardFunc(sectionKeyboard);
    glutSpecialFunc(sectionSpecial);
    glutReshapeFunc(sectionReshape);
    glutMouseFunc(sectionMouse);
    glutMotionFunc(sectionMotion);
    glutPassiveMotionFunc(sectionPassiveMotion);
    glutCloseFunc(windowClosed);
    glutIdleFunc(nullptr);
    glClearColor(0.4f, 0.5f, 0.8f, 0.0f);

    s.handles.pointsMenu = glutCreateMenu(sectionMenuCallback);
    glutAddMenuEntry("Add", kMenuAdd);
    glutAddMenuEntry("Delete", kMenuDelete);
    glutAddMenuEntry("Quit", kMenuQuit);
    glutCreateMenu(sectionMenuCallback);
    glutAddSubMenu("Points", s.handles.pointsMenu);
    glutAddMenuEntry("Quit", kMenuQuit);
    glutAttachMenu(GLUT_RIGHT_BUTTON);

    glutInitWindowSize(s.view.mainWindowWidth, s.view.mainWindowHeight);
    glutInitWindowPosition(glutGet(GLUT_SCREEN_WIDTH) - s.view.mainWindowWidth, 0);
    s.handles.mainWindow = glutCreateWindow("main window");
    glutDisplayFunc(mainDisplay);
    glutReshapeFunc(mainReshape);
    glutMouseFunc(mainMouse);
    glutMotionFunc(mainMotion);
    glutIdleFunc(probeIdle);
    glutKeyboardFunc(mainKeyboard);
    glutSpecialFunc(mainSpecial);
    glutCloseFunc(windowClosed);

    initScene();
    atexit(exitCleanup);
    buildControlPanel();
    glutSetWindow(s.handles.controlPanel);
    glutCloseFunc(windowClosed);
    endOnSignals();
}

void mainReshape(int width, int height) {
    if (height == 0) height = 1;
    editor.view.mainWindowWidth = width;
    editor.view.mainWindowHeight = height;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glViewport(0, 0, width, height);
    const float aspect = static_cast<float>(width) / static_cast<float>(height);
    gluPerspective(45.0, aspect, 0.01, 1000.0);
    glMatrixMode(GL_MODELVIEW);
    mainViewReshaped();
}

// Back-and-forth raster over the parameter square, one step per call. Each test reads the
// steps as they are at that moment.
void advanceProbe(EditorState& s) {
    if (s.view.probeV > 1.0f - s.view.probeStepV) s.view.probeStepV = -0.01f;
    if (s.view.probeV <= -s.view.probeStepV) s.view.probeStepV = 0.01f;
    if (s.view.probeU >= 1.0f) s.view.probeStepU = -0.01f;
    if (s.view.probeU <= -s.view.probeStepU) {
        s.view.probeStepU = 0.01f;
        s.view.probeV += s.view.probeStepV;
        s.view.probeU += s.view.probeStepU;
    } else {
        s.view.probeU += s.view.probeStepU;
    }
}

// The continuous redraw is paced to about 60 frames a second: between frames the idle handler
// sleeps in short slices, so events still arrive promptly but an idle editor does not spin a core.
constexpr int kFrameMicroseconds = 16667;
constexpr int kIdleSliceMicroseconds = 8000;

namespace {

// The idle handler's pacing, kept between calls.
struct IdlePacing {
    std::chrono::steady_clock::time_point nextFrame = std::chrono::steady_clock::now();
};
IdlePacing gIdle;

}  // namespace

void probeIdle() {
    endIfSignalled();
    using Clock = std::chrono::steady_clock;
    Clock::time_point& nextFrame = gIdle.nextFrame;
    const Clock::time_point now = Clock::now();
    if (now < nextFrame) {
        const auto wait = std::chrono::duration_cast<std::chrono::microseconds>(nextFrame - now);
        std::this_thread::sleep_for(
            std::min(wait, std::chrono::microseconds(kIdleSliceMicroseconds)));
        return;
    }
    // A file chooser that answered fills its box in the panel.
    if (takeChooserAnswer()) requestPanelRedraw();
    nextFrame += std::chrono::microseconds(kFrameMicroseconds);
    if (nextFrame < now) nextFrame = now + std::chrono::microseconds(kFrameMicroseconds);
    advanceProbe(editor);
    // The main view is drawn when its picture would change: the probe moved where it can be
    // seen, or what the rest of the scene is drawn from changed. It is named rather than taken
    // as the current window: the panel and the section window also become current while their
    // events are handled.
    if (editor.handles.mainWindow != 0 && mainViewOutOfDate()) requestMainRedraw();
    // The section window is drawn when what it shows changed, whoever changed it.
    if (editor.handles.sectionWindow != 0 && sectionViewStale()) requestSectionRedraw();
    // The panel is drawn when something it shows changed, not on a timer: its own input and
    // every change it shows made elsewhere ask for a frame, and a new status line is caught
    // here. Under software GL one panel frame costs several main-view frames.
    if (panelOutOfDate()) requestPanelRedraw();
}

void sectionMenuCallback(int id) {
    switch (id) {
    case kMenuAdd:
        addSectionPoint();
        break;
    case kMenuDelete:
        deleteSectionPoint();
        break;
    case kMenuQuit:
        quitEditor();
    default:
        break;
    }
}

void saveUnsavedChanges() {
    EditorState& s = editor;
    if (!refreshUnsavedChanges(s)) return;
    std::string path;
    std::string error;
    if (writeRecoveryFile(s.surface, s.surface.fileName.c_str(), path, error)) {
        if (!error.empty()) fprintf(stderr, "%s\n", printableText(error).c_str());
        fprintf(stderr, "unsaved changes written to %s\n", printableText(path).c_str());
    } else {
        fprintf(stderr, "unsaved changes lost: cannot write %s\n", printableText(error).c_str());
    }
}

namespace {

// Set once the editor is ending: freeglut's own exit handler destroys the windows, which calls
// their close callbacks again, after the surface's arrays were released.
bool gExiting = false;

}  // namespace

void quitEditor() {
    saveUnsavedChanges();
    gExiting = true;
    exit(0);
}

void windowClosed() {
    if (!gExiting) quitEditor();
}

template <typename T>
static void release(std::vector<T>& array) {
    std::vector<T>().swap(array);
}

void exitCleanup() {
    // Registered after freeglut's exit handler, so it runs first.
    gExiting = true;
    static bool done = false;
    if (done) return;
    done = true;
    EditorState& s = editor;
    closeFileChooser();
    if (s.handles.surfaceRenderer != nullptr)
        gluDeleteNurbsRenderer(static_cast<GLUnurbs*>(s.handles.surfaceRenderer));
    s.handles.surfaceRenderer = nullptr;
    if (s.handles.sectionRenderer != nullptr)
        gluDeleteNurbsRenderer(static_cast<GLUnurbs*>(s.handles.sectionRenderer));
    s.handles.sectionRenderer = nullptr;
    releaseSurfaceCache();
    releaseSceneBuffer();
    releaseGridRenderer();
    releaseGridSurface();
    releaseNetDrawing();
    // The texture lives in the section window's context; with no context left (GLUT already torn
    // down) it went with the context.
    if (s.view.backgroundTexture != 0 && glXGetCurrentContext() != nullptr) {
        if (glutGet(GLUT_INIT_STATE) && s.handles.sectionWindow != 0)
            glutSetWindow(s.handles.sectionWindow);
        const GLuint texture = s.view.backgroundTexture;
        glDeleteTextures(1, &texture);
    }
    s.view.backgroundTexture = 0;
    release(s.surface.controlNet);
    release(s.derived.skinnedNet);
    release(s.surface.knotsU);
    release(s.surface.knotsV);
    release(s.derived.skinnedKnotsV);
    release(s.derived.expandedKnotsV);
    release(s.derived.expandedNet);
}
