// "loftwork revolve IN OUT [--section N]", run as the real program.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

#include "io/surface_file.h"
#include "support/scratch_files.h"

namespace {

using testsupport::ProcessResult;
using testsupport::readAll;
using testsupport::runLoftwork;
using testsupport::scratchDir;
using testsupport::writeText;

// Three sections of three points, degrees 2 x 1. Section 1 has weight 2 throughout.
const char kInput[] =
    "FILENAME:in.surf\n"
    "DEGREE_U_V\n     2     1\n"
    "N.C.P._U_V\n     3     3\n"
    "N.KNOTS_U_V\n     6     5\n"
    "COORD.C.P.(X,Y,Z,W)\n"
    "1 0 0 1\n1.5 1 0 1\n1 2 0 1\n\n\n\n"
    "4 0 0 2\n3 2 0 2\n2 4 0 2\n\n\n\n"
    "0.5 0 0 1\n0.5 1 0 1\n0 2 0 1\n\n\n\n"
    "KNOTS_U\n0\n0\n0\n1\n1\n1\n"
    "KNOTS_V\n0\n0\n0.5\n1\n1\n";

std::string inputPath() {
    const std::string path = scratchDir() + "/in.surf";
    writeText(path, kInput);
    return path;
}

}  // namespace

TEST(RevolveCommand, SavesTheFullTurnOfTheChosenSection) {
    const std::string out = scratchDir() + "/section1.surf";
    remove(out.c_str());
    const ProcessResult run = runLoftwork({"revolve", inputPath(), out, "--section", "1"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");  // standard output is kept for the editor's two diagnostics

    SurfaceModel file;
    std::string error;
    ASSERT_TRUE(readSurfaceFile(out.c_str(), file, error)) << error;
    EXPECT_EQ(file.countU, 3);
    EXPECT_EQ(file.countV, 9);
    EXPECT_EQ((file.orderU - 1), 2);
    EXPECT_EQ((file.orderV - 1), 2);
    EXPECT_EQ(file.knotsU, (std::vector<float>{0, 0, 0, 1, 1, 1}));
    EXPECT_EQ(file.knotsV, (std::vector<float>{0, 0, 0, 0.25f, 0.25f, 0.5f, 0.5f, 0.75f, 0.75f,
                                               1, 1, 1}));
    ASSERT_EQ(file.controlNet.size(), 27u);
    // Point 0 of section 1 is (2, 0, 0) with weight 2: a circle of radius 2 in the plane y = 0.
    const float corner = 0.70710677f * 2;
    const PointH expected[9] = {{4, 0, 0, 2},
                                {2 * corner, 0, -2 * corner, corner},
                                {0, 0, -4, 2},
                                {-2 * corner, 0, -2 * corner, corner},
                                {-4, 0, 0, 2},
                                {-2 * corner, 0, 2 * corner, corner},
                                {0, 0, 4, 2},
                                {2 * corner, 0, 2 * corner, corner},
                                {4, 0, 0, 2}};
    for (int r = 0; r < 9; ++r) {
        SCOPED_TRACE(r);
        const PointH& p = file.controlNet[static_cast<size_t>(r) * 3];
        EXPECT_NEAR(p.x, expected[r].x, 2e-6f);
        EXPECT_NEAR(p.y, expected[r].y, 2e-6f);
        EXPECT_NEAR(p.z, expected[r].z, 2e-6f);
        EXPECT_NEAR(p.w, expected[r].w, 2e-6f);
    }
    // Point 2 of section 1, (1, 2, 0), keeps its height.
    EXPECT_NEAR(file.controlNet[2 * 3 + 2].y, 4.0f, 2e-6f);
}

TEST(RevolveCommand, RevolvesSectionZeroByDefault) {
    const std::string out = scratchDir() + "/default.surf";
    ASSERT_EQ(runLoftwork({"revolve", inputPath(), out}).status, 0);
    SurfaceModel file;
    std::string error;
    ASSERT_TRUE(readSurfaceFile(out.c_str(), file, error)) << error;
    ASSERT_EQ(file.controlNet.size(), 27u);
    EXPECT_NEAR(file.controlNet[2 * 3 + 1].z, -1.5f, 2e-6f);  // (1.5, 1, 0) turned by 90 degrees
}

TEST(RevolveCommand, RefusesBadArgumentsAndInputsWithoutWriting) {
    const std::string in = inputPath();
    const std::string out = scratchDir() + "/refused.surf";
    const std::string missing = scratchDir() + "/no-such-file.surf";
    const std::string weightless = scratchDir() + "/weightless.surf";
    std::string text = kInput;
    text.replace(text.find("1.5 1 0 1"), 9, "0 0 0 0");  // point 1 of section 0: weight 0
    writeText(weightless, text);
    struct Case {
        const char* what;
        std::vector<std::string> arguments;
        int status;
    };
    const std::vector<Case> cases = {
        {"no files", {"revolve"}, 2},
        {"no output", {"revolve", in}, 2},
        {"three files", {"revolve", in, out, out}, 2},
        {"section without number", {"revolve", in, out, "--section"}, 2},
        {"section not a number", {"revolve", in, out, "--section", "one"}, 2},
        {"negative section", {"revolve", in, out, "--section", "-1"}, 2},
        {"section twice", {"revolve", in, out, "--section", "0", "--section", "1"}, 2},
        {"unknown option", {"revolve", in, out, "--axis", "x"}, 2},
        {"section past the last", {"revolve", in, out, "--section", "3"}, 1},
        {"input missing", {"revolve", missing, out}, 1},
        {"profile point of weight 0", {"revolve", weightless, out}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        writeText(out, "previous contents\n");
        const ProcessResult run = runLoftwork(c.arguments);
        EXPECT_EQ(run.status, c.status);
        EXPECT_NE(run.err, "");
        EXPECT_EQ(readAll(out), "previous contents\n");
    }
}
