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
#include "io/serializator.h"
#include "model/editor_state.h"

namespace testsupport {

static std::string gScratch;

const std::string& scratchDirectory() { return gScratch; }

std::string examplePath(const char* name) {
    return std::string(LOFTWORK_SOURCE_DIR) + "/examples/" + name;
}

void pumpEvents(int rounds) {
    for (int i = 0; i < rounds; ++i) glutMainLoopEvent();
}

bool loadSurface(const std::string& path) {
    snprintf(editor.surfaceFileName, sizeof editor.surfaceFileName, "%s", path.c_str());
    serializator->load(-1);
    return editor.countU > 0 && editor.controlNet.size() ==
                                    static_cast<size_t>(editor.countU) * editor.countV;
}

std::vector<unsigned char> readWindowPixels(int window, int* width, int* height) {
    glutSetWindow(window);
    const int w = glutGet(GLUT_WINDOW_WIDTH);
    const int h = glutGet(GLUT_WINDOW_HEIGHT);
    std::vector<unsigned char> pixels(static_cast<size_t>(w) * h * 3);
    glFinish();
    glReadBuffer(GL_FRONT);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, w, h, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    if (width) *width = w;
    if (height) *height = h;
    return pixels;
}

Rgb readPixel(int window, int x, int y) {
    glutSetWindow(window);
    unsigned char rgb[3] = {0, 0, 0};
    glFinish();
    glReadBuffer(GL_FRONT);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb);
    return {rgb[0], rgb[1], rgb[2]};
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
    // Death tests re-run the program so the child starts its own windows.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    ::testing::AddGlobalTestEnvironment(new testsupport::EditorEnvironment);
    return RUN_ALL_TESTS();
}
