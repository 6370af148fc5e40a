// The "lines" group in the views: the chosen stations, waterlines and buttocks drawn on the
// surface in the main window, the station through the current section in the section window,
// and the panel's buttons writing the lines plan and the offset table.
#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/file_callbacks.h"
#include "exchange/lines_callback.h"
#include "model/derived_nets.h"
#include "model/editor_state.h"
#include "support/gui_test_env.h"
#include "support/main_window_probe.h"
#include "view/section_view.h"

namespace {

// Pixels of exactly one of the overlay's colours (unlit, so drawn as given).
int pixelsOf(const std::vector<unsigned char>& rgb, int r, int g, int b) {
    int count = 0;
    for (size_t i = 0; i + 2 < rgb.size(); i += 3) {
        if (std::abs(rgb[i] - r) <= 1 && std::abs(rgb[i + 1] - g) <= 1 &&
            std::abs(rgb[i + 2] - b) <= 1) {
            ++count;
        }
    }
    return count;
}

constexpr int kStation[3] = {64, 140, 255};
constexpr int kWaterline[3] = {51, 217, 89};
constexpr int kButtock[3] = {255, 89, 76};

class LinesOverlay : public ::testing::Test {
protected:
    void SetUp() override {
        testsupport::resetMainView();
        ASSERT_TRUE(testsupport::loadSurface(testsupport::examplePath("hull.surf")));
        editor.panel.showLines = 0;
        strcpy(editor.panel.linesStations, "11");
        strcpy(editor.panel.linesWaterlines, "5");
        strcpy(editor.panel.linesButtocks, "3");
    }
    void TearDown() override { editor.panel.showLines = 0; }
};

TEST_F(LinesOverlay, ShowsEachFamilyOnTheSurfaceOnlyWhenAsked) {
    const std::vector<unsigned char> off = testsupport::drawMainFrame().rgb;
    editor.panel.showLines = 1;
    const std::vector<unsigned char> on = testsupport::drawMainFrame().rgb;
    for (const int* c : {kStation, kWaterline, kButtock}) {
        EXPECT_EQ(pixelsOf(off, c[0], c[1], c[2]), 0);
        EXPECT_GT(pixelsOf(on, c[0], c[1], c[2]), 100) << c[0] << "," << c[1] << "," << c[2];
    }
    // An empty box leaves its family out; a box that is no list says so and draws nothing.
    editor.panel.linesWaterlines[0] = '\0';
    EXPECT_EQ(pixelsOf(testsupport::drawMainFrame().rgb, kWaterline[0], kWaterline[1], kWaterline[2]), 0);
    strcpy(editor.panel.linesButtocks, "a,b");
    const std::vector<unsigned char> refused = testsupport::drawMainFrame().rgb;
    EXPECT_EQ(pixelsOf(refused, kStation[0], kStation[1], kStation[2]), 0);
    EXPECT_NE(std::string(editor.panel.statusLine).find("buttocks"), std::string::npos)
        << editor.panel.statusLine;
}

TEST_F(LinesOverlay, SectionWindowShowsTheStationThroughTheCurrentSection) {
    auto draw = [] { drawSectionWindow(editor); };
    editor.selection.currentSection = 3;  // amidships, chosen as the panel's buttons choose it
    refreshShownValues(editor);
    int width = 0, height = 0;
    const std::vector<unsigned char> off =
        testsupport::drawAndReadBack(editor.handles.sectionWindow, draw, &width, &height);
    editor.panel.showLines = 1;
    const std::vector<unsigned char> on =
        testsupport::drawAndReadBack(editor.handles.sectionWindow, draw, &width, &height);
    EXPECT_EQ(pixelsOf(off, kStation[0], kStation[1], kStation[2]), 0);
    EXPECT_GT(pixelsOf(on, kStation[0], kStation[1], kStation[2]), 50);
}

TEST_F(LinesOverlay, ButtonsWriteTheLinesPlanAndTheOffsetTable) {
    const std::string plan = testsupport::scratchDirectory() + "/panel-lines.dxf";
    const std::string table = testsupport::scratchDirectory() + "/panel-offsets.csv";
    remove(plan.c_str());
    remove(table.c_str());
    snprintf(editor.panel.linesFileName, sizeof editor.panel.linesFileName, "%s", plan.c_str());
    snprintf(editor.panel.offsetsFileName, sizeof editor.panel.offsetsFileName, "%s", table.c_str());
    linesPlanCallback(-1);
    EXPECT_NE(std::string(editor.panel.statusLine).find("wrote the lines plan"), std::string::npos)
        << editor.panel.statusLine;
    offsetTableCallback(-1);
    EXPECT_NE(std::string(editor.panel.statusLine).find("wrote 11 stations x 5 waterlines"),
              std::string::npos)
        << editor.panel.statusLine;
    FILE* file = fopen(table.c_str(), "r");
    ASSERT_NE(file, nullptr);
    char first[256] = "";
    ASSERT_NE(fgets(first, sizeof first, file), nullptr);
    fclose(file);
    EXPECT_EQ(std::string(first).rfind("x,", 0), 0u) << first;
    EXPECT_NE(std::string(first).find(",keel,sheer"), std::string::npos) << first;
    // A name without a drawing's extension is refused, and nothing is written.
    snprintf(editor.panel.linesFileName, sizeof editor.panel.linesFileName, "%s.txt", plan.c_str());
    linesPlanCallback(-1);
    EXPECT_NE(std::string(editor.panel.statusLine).find(".dxf, .svg or .pdf"), std::string::npos);
    EXPECT_EQ(fopen((plan + ".txt").c_str(), "r"), nullptr);
}

}  // namespace
