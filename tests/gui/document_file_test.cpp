// The surface's file is the document's: ctrl+s writes to the file the surface came from (after
// an undone load, the earlier one's; after a failed load, still its own), loading another
// surface first keeps unsaved changes in the recovery file, and a file another program changed
// since is replaced only when the save is asked twice.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "input/main_input.h"
#include "input/section_input.h"
#include "io/recovery_file.h"
#include "io/surface_file.h"
#include "model/editor_state.h"
#include "support/gui_test_env.h"
#include "support/panel_driver.h"

using namespace testsupport;

namespace {

constexpr unsigned char kCtrlS = 19;
constexpr unsigned char kCtrlZ = 26;

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// Scratch copies of the vase and the hull, fresh for each test.
struct Files {
    std::string vase, hull, vaseText, hullText;
    explicit Files(const std::string& name) {
        vase = scratchDirectory() + "/" + name + "-vase.surf";
        hull = scratchDirectory() + "/" + name + "-hull.surf";
        vaseText = readAll(examplePath("vase.surf"));
        hullText = readAll(examplePath("hull.surf"));
        writeText(vase, vaseText);
        writeText(hull, hullText);
        for (const std::string& path : existingRecoveryFiles(vase.c_str())) remove(path.c_str());
    }
};

void loadFromBox(const std::string& path) {
    snprintf(editor.panel.surfaceFileName, kTextFieldSize, "%s", path.c_str());
    drawPanel(2);
    clickPanel("button", "load points");
}

// The file holds the surface, to the six decimals it is written with.
bool fileHolds(const std::string& path, const SurfaceModel& surface) {
    SurfaceModel file;
    std::string error;
    if (!readSurfaceFile(path.c_str(), file, error) || file.countU != surface.countU ||
        file.countV != surface.countV || file.controlNet.size() != surface.controlNet.size()) {
        return false;
    }
    for (size_t i = 0; i < file.controlNet.size(); ++i) {
        const PointH& a = file.controlNet[i];
        const PointH& b = surface.controlNet[i];
        if (std::fabs(a.x - b.x) > 1e-6f || std::fabs(a.y - b.y) > 1e-6f ||
            std::fabs(a.z - b.z) > 1e-6f || std::fabs(a.w - b.w) > 1e-6f) {
            return false;
        }
    }
    return true;
}

std::string status() {
    return editor.panel.statusLine;
}

TEST(DocumentFile, LoadingOverUnsavedChangesKeepsThemInTheRecoveryFile) {
    const Files f("keep");
    ASSERT_TRUE(loadSurface(f.vase));
    drawPanel(2);
    clickPanel("button", "scaleUp");
    const SurfaceModel edited = editor.surface;
    loadFromBox(f.hull);
    EXPECT_EQ(editor.surface.fileName, f.hull);
    const std::string recovery = recoveryPath(f.vase.c_str());
    EXPECT_TRUE(fileHolds(recovery, edited)) << status();
    EXPECT_NE(status().find("kept in " + recovery), std::string::npos) << status();
    EXPECT_EQ(readAll(f.vase), f.vaseText);

    // Loading the vase again says where its changes are.
    loadFromBox(f.vase);
    EXPECT_NE(status().find(recovery), std::string::npos) << status();
}

TEST(DocumentFile, CtrlSAfterAnUndoneLoadWritesTheEarlierFile) {
    const Files f("undone");
    ASSERT_TRUE(loadSurface(f.vase));
    loadFromBox(f.hull);
    ASSERT_EQ(editor.surface.fileName, f.hull) << status();
    sectionKeyboard(kCtrlZ, 0, 0);
    EXPECT_EQ(editor.surface.fileName, f.vase);
    EXPECT_EQ(std::string(editor.panel.surfaceFileName), f.vase);
    EXPECT_FALSE(editor.history.unsavedChanges) << "the vase is as its file holds it";
    drawPanel(2);
    clickPanel("button", "scaleUp");
    EXPECT_TRUE(editor.history.unsavedChanges);
    mainKeyboard(kCtrlS, 0, 0);
    EXPECT_EQ(readAll(f.hull), f.hullText) << status();
    EXPECT_TRUE(fileHolds(f.vase, editor.surface)) << status();
}

TEST(DocumentFile, AFailedLoadChangesNothing) {
    const Files f("failed");
    const std::string bad = scratchDirectory() + "/failed-bad.surf";
    const std::string badText = "FILENAME bad.surf\n3 3\n2 2\nCOORD\n0 0 0 1\n";
    writeText(bad, badText);
    ASSERT_TRUE(loadSurface(f.vase));
    drawPanel(2);
    clickPanel("button", "scaleUp");
    const SurfaceModel edited = editor.surface;
    loadFromBox(bad);
    EXPECT_EQ(status().rfind("cannot load", 0), 0u) << status();
    EXPECT_EQ(editor.surface.fileName, f.vase);
    EXPECT_TRUE(editor.history.unsavedChanges);
    drawPanel(2);
    EXPECT_NE(lastPanelFrame().find("static text", "unsaved changes"), nullptr);
    sectionKeyboard(kCtrlS, 0, 0);
    EXPECT_EQ(readAll(bad), badText);
    EXPECT_TRUE(fileHolds(f.vase, edited)) << status();
}

TEST(DocumentFile, AFileChangedOnDiskIsReplacedOnlyWhenTheSaveIsAskedAgain) {
    const Files f("changed");
    ASSERT_TRUE(loadSurface(f.vase));
    writeText(f.vase, f.hullText);  // another program writes the file
    drawPanel(2);
    clickPanel("button", "scaleUp");
    mainKeyboard(kCtrlS, 0, 0);
    EXPECT_EQ(readAll(f.vase), f.hullText);
    EXPECT_NE(status().find("changed on disk"), std::string::npos) << status();
    EXPECT_TRUE(editor.history.unsavedChanges);
    sectionKeyboard(kCtrlS, 0, 0);
    EXPECT_TRUE(fileHolds(f.vase, editor.surface)) << status();
    EXPECT_FALSE(editor.history.unsavedChanges);

    // Saved since: the next save goes ahead at once.
    clickPanel("button", "scaleUp");
    mainKeyboard(kCtrlS, 0, 0);
    EXPECT_TRUE(fileHolds(f.vase, editor.surface)) << status();
}

}  // namespace
