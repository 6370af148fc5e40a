// main() of the GUI test programs: starts the editor once, in a scratch directory whose
// defaultFile.config names the sample surface given by LOFTWORK_TEST_SURFACE (default
// examples/vase.surf).
#include "support/gui_test_env.h"

#include <GL/freeglut.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/application.h"
#include "app/file_callbacks.h"
#include "io/serializator.h"
#include "model/editor_state.h"
#include "model/surface_edit.h"

// Xlib's names (None, Bool, Status) are macros: its headers come after every other.
#include <GL/glx.h>
#include <X11/Xutil.h>

#if defined(__SANITIZE_ADDRESS__)
#define LOFTWORK_LEAK_CHECK 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define LOFTWORK_LEAK_CHECK 1
#endif
#endif
#ifdef LOFTWORK_LEAK_CHECK
#include <sanitizer/lsan_interface.h>
#endif

namespace testsupport {

static std::string gScratch;

const std::string& scratchDirectory() {
    return gScratch;
}

std::string examplePath(const char* name) {
    return std::string(LOFTWORK_SOURCE_DIR) + "/examples/" + name;
}

void pumpEvents(int rounds) {
    for (int i = 0; i < rounds; ++i) glutMainLoopEvent();
}

bool loadSurface(const std::string& path) {
    // A fixture replaces whatever the test did before: that is not kept as unsaved changes (which
    // would write recovery files beside the samples).
    markSurfaceSaved(editor);
    snprintf(editor.panel.surfaceFileName, sizeof editor.panel.surfaceFileName, "%s", path.c_str());
    serializator->load(-1);
    return editor.surface.countU > 0 &&
           editor.surface.controlNet.size() ==
               static_cast<size_t>(editor.surface.countU) * editor.surface.countV;
}

std::vector<unsigned char> drawAndReadBack(int window, void (*draw)(), int* width, int* height) {
    glutSetWindow(window);
    const int w = glutGet(GLUT_WINDOW_WIDTH);
    const int h = glutGet(GLUT_WINDOW_HEIGHT);
    std::vector<unsigned char> rgb(static_cast<size_t>(w) * h * 3);
    draw();
    glFinish();
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, w, h, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    glutSwapBuffers();
    *width = w;
    *height = h;
    return rgb;
}

std::vector<unsigned char> shownOnScreen(int window, int* width, int* height) {
    glutSetWindow(window);
    glFinish();
    const int w = glutGet(GLUT_WINDOW_WIDTH);
    const int h = glutGet(GLUT_WINDOW_HEIGHT);
    Display* display = glXGetCurrentDisplay();
    XSync(display, False);
    XImage* image = XGetImage(display, glXGetCurrentDrawable(), 0, 0, static_cast<unsigned>(w),
                              static_cast<unsigned>(h), AllPlanes, ZPixmap);
    std::vector<unsigned char> rgb(static_cast<size_t>(w) * h * 3);
    if (image != nullptr) {
        // The shift that brings a channel's mask down to its lowest bit.
        const auto shiftOf = [](unsigned long mask) {
            int shift = 0;
            while (mask != 0 && (mask & 1) == 0) {
                mask >>= 1;
                ++shift;
            }
            return shift;
        };
        const unsigned long masks[3] = {image->red_mask, image->green_mask, image->blue_mask};
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const unsigned long p = XGetPixel(image, x, h - 1 - y);
                for (int c = 0; c < 3; ++c) {
                    rgb[(static_cast<size_t>(y) * w + x) * 3 + c] =
                        static_cast<unsigned char>((p & masks[c]) >> shiftOf(masks[c]));
                }
            }
        }
        XDestroyImage(image);
    }
    *width = w;
    *height = h;
    return rgb;
}

class EditorEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        char pattern[] = "/tmp/loftwork-gui-XXXXXX";
        const char* dir = mkdtemp(pattern);
        ASSERT_NE(dir, nullptr);
        gScratch = dir;
        const char* surface = getenv("LOFTWORK_TEST_SURFACE");
        const std::string surfacePath = surface ? surface : examplePath("vase.surf");
        FILE* config = fopen((gScratch + "/defaultFile.config").c_str(), "w");
        ASSERT_NE(config, nullptr);
        fprintf(config, "%s\n", surfacePath.c_str());
        fclose(config);
        ASSERT_EQ(chdir(dir), 0);
        static char arg0[] = "loftwork-test";
        static char* argv[] = {arg0, nullptr};
        static int argc = 1;
        initApplication(&argc, argv);
        pumpEvents(10);
    }
};

}  // namespace testsupport

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
#ifdef LOFTWORK_LEAK_CHECK
    // A death test's child ends through the editor's own exit(0), after which the GL driver's
    // memory can no longer be told from a leak; its allocations are not tracked.
    if (!GTEST_FLAG_GET(internal_run_death_test).empty()) __lsan_disable();
#endif
    // Death tests re-run the program so the child starts its own windows.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    ::testing::AddGlobalTestEnvironment(new testsupport::EditorEnvironment);
    const int result = RUN_ALL_TESTS();
#ifdef LOFTWORK_LEAK_CHECK
    // Leaks are looked for now, while the windows and the GL driver are still there: whatever the
    // editor and the driver still hold is reachable, so only memory lost on the way is reported.
    // After this the check at exit is off; by then the driver has unloaded itself and its own
    // bookkeeping could no longer be told apart.
    __lsan_do_leak_check();
#endif
    return result;
}
