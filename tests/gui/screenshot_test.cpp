// "--screenshot FILE": the main window lands in a PNG with its true colours, and a file that
// cannot be written ends the program with status 1 and a message.
#include <FreeImage.h>
#include <GL/freeglut.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "app/screenshot.h"
#include "model/editor_state.h"
#include "support/gui_test_env.h"
#include "support/test_surface.h"

TEST(ScreenshotDeathTest, WritesTheMainWindowAsPngWithTrueColours) {
    // The death test's child runs this body again in its own scratch directory; it writes where
    // the parent will look.
    const char* inherited = getenv("LOFTWORK_TEST_SHOT");
    const std::string path = inherited ? inherited : testsupport::scratchDirectory() + "/shot.png";
    if (inherited == nullptr) {
        setenv("LOFTWORK_TEST_SHOT", path.c_str(), 1);
        unlink(path.c_str());
    }
    EXPECT_EXIT(
        {
            // A background with red and blue apart shows whether the bytes were swapped.
            testsupport::clearSurface();
            glutSetWindow(editor.handles.mainWindow);
            glClearColor(1.0f, 0.5f, 0.0f, 0.0f);
            scheduleScreenshot(path.c_str());
            glutMainLoop();
        },
        ::testing::ExitedWithCode(0), "");

    FIBITMAP* image = FreeImage_Load(FIF_PNG, path.c_str(), PNG_DEFAULT);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(FreeImage_GetWidth(image), 640u);
    EXPECT_EQ(FreeImage_GetHeight(image), 480u);
    RGBQUAD corner;
    ASSERT_TRUE(FreeImage_GetPixelColor(image, 2, 2, &corner));
    EXPECT_EQ(corner.rgbRed, 255);
    EXPECT_NEAR(corner.rgbGreen, 128, 1);
    EXPECT_EQ(corner.rgbBlue, 0);
    FreeImage_Unload(image);
}

TEST(ScreenshotDeathTest, UnwritablePathEndsWithStatusOneAndSaysWhy) {
    EXPECT_EXIT(
        {
            scheduleScreenshot("/nonexistent-directory/shot.png");
            glutMainLoop();
        },
        ::testing::ExitedWithCode(1), "screenshot.*nonexistent-directory");
}
