// Start-up scene: the surface the configuration names, the main window's background and light,
// and an empty "file" box when the configuration gives no usable path.
#include <GL/freeglut.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/scene_setup.h"
#include "model/editor_state.h"
#include "support/gui_test_env.h"
#include "support/main_window_probe.h"

// Runs first: nothing has loaded another file yet.
TEST(StartUp, OpensTheSurfaceTheConfigurationNames) {
    const char* chosen = getenv("LOFTWORK_TEST_SURFACE");
    const std::string expected = chosen ? chosen : testsupport::examplePath("vase.surf");
    EXPECT_EQ(std::string(editor.panel.surfaceFileName), expected);
    EXPECT_TRUE(surfaceIsUsable(editor.surface));
    EXPECT_NE(strstr(editor.panel.statusLine, "loaded"), nullptr) << editor.panel.statusLine;
}

TEST(StartUp, MainWindowIsLightGreyAndTheSurfaceIsLit) {
    testsupport::resetMainView();
    editor.panel.surfaceDisplayMode = kDisplayModeFill;
    const testsupport::MainFrame frame = testsupport::drawMainFrame();
    const testsupport::Rgb corner = frame.at(2, 2);
    EXPECT_EQ(corner.r, 204);
    EXPECT_EQ(corner.g, 204);
    EXPECT_EQ(corner.b, 204);
    // The light's blue-heavy diffuse and specular make the filled surface clearly blue.
    int blue = 0;
    for (size_t i = 0; i + 2 < frame.rgb.size(); i += 3) {
        if (frame.rgb[i + 2] > frame.rgb[i] + 40) ++blue;
    }
    EXPECT_GT(blue, 10000);
    testsupport::resetMainView();
}

// The light is given once, in eye coordinates, in the main window's context; frames drawn since
// must not have specified it again.
TEST(StartUp, MainWindowHasTheOneLight) {
    testsupport::drawMainFrame();
    glutSetWindow(editor.handles.mainWindow);
    struct Parameter {
        GLenum name;
        int count;
        GLfloat want[4];
    } parameters[] = {
        {GL_AMBIENT, 4, {0.8f, 0.7f, 0.7f, 1.0f}},
        {GL_SPECULAR, 4, {1.0f, 1.0f, 4.0f, 1.0f}},
        {GL_DIFFUSE, 4, {0.4f, 0.6f, 1.0f, 1.0f}},
        {GL_POSITION, 4, {-0.5f, 0.5f, 0.5f, 1.0f}},
        {GL_SPOT_CUTOFF, 1, {90.0f}},
        {GL_SPOT_DIRECTION, 3, {-1.0f, -1.0f, -1.0f}},
    };
    for (const Parameter& p : parameters) {
        GLfloat got[4] = {0, 0, 0, 0};
        glGetLightfv(GL_LIGHT0, p.name, got);
        for (int i = 0; i < p.count; ++i) EXPECT_FLOAT_EQ(got[i], p.want[i]) << p.name << " " << i;
    }
    for (GLenum capability :
         {GL_LIGHTING, GL_LIGHT0, GL_DEPTH_TEST, GL_AUTO_NORMAL, GL_NORMALIZE}) {
        EXPECT_TRUE(glIsEnabled(capability)) << capability;
    }
    EXPECT_FALSE(glIsEnabled(GL_LIGHT1));
    EXPECT_FALSE(glIsEnabled(GL_COLOR_MATERIAL));
    GLint shading = 0;
    glGetIntegerv(GL_SHADE_MODEL, &shading);
    EXPECT_EQ(shading, GL_SMOOTH);
}

TEST(StartUp, NoUsableConfigurationLeavesTheFileBoxEmpty) {
    const std::string dir = testsupport::scratchDirectory() + "/no-config";
    ASSERT_EQ(mkdir(dir.c_str(), 0755), 0);
    char saved[kTextFieldSize];
    memcpy(saved, editor.panel.surfaceFileName, sizeof saved);
    ASSERT_EQ(chdir(dir.c_str()), 0);
    glutSetWindow(editor.handles.mainWindow);

    initScene();
    EXPECT_STREQ(editor.panel.surfaceFileName, "");
    EXPECT_NE(strstr(editor.panel.statusLine, "defaultFile.config"), nullptr)
        << editor.panel.statusLine;

    FILE* config = fopen("defaultFile.config", "w");
    fprintf(config, "%s\n", std::string(300, 'x').c_str());
    fclose(config);
    snprintf(editor.panel.surfaceFileName, sizeof editor.panel.surfaceFileName, "stale");
    initScene();
    EXPECT_STREQ(editor.panel.surfaceFileName, "");
    EXPECT_NE(strstr(editor.panel.statusLine, "longer than 299"), nullptr)
        << editor.panel.statusLine;

    ASSERT_EQ(chdir(testsupport::scratchDirectory().c_str()), 0);
    memcpy(editor.panel.surfaceFileName, saved, sizeof saved);
}
