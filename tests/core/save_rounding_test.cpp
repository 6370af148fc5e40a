// Saving warns when the file's six decimals move a control point by more than 1e-4 of the
// surface's size: the warning names the point that the file, read back, shows moved most, and
// the file is written all the same.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <string>

#include "io/editor_file_io.h"
#include "io/surface_file.h"
#include "model/editor_state.h"
#include "support/export_surfaces.h"
#include "support/scratch_files.h"

namespace {

// The sample vase scaled by factor about the origin.
SurfaceModel scaledVase(float factor) {
    SurfaceModel vase = testsupport::exampleSurface("vase.surf");
    for (PointH& P : vase.controlNet) P = {P.x * factor, P.y * factor, P.z * factor, P.w};
    return vase;
}

struct RoundingCase {
    const char* name;
    std::function<SurfaceModel()> make;
    bool warns;
};

void PrintTo(const RoundingCase& c, std::ostream* out) {
    *out << c.name;
}

const RoundingCase kCases[] = {
    {"sample_vase", [] { return testsupport::exampleSurface("vase.surf"); }, false},
    {"vase_a_hundredth", [] { return scaledVase(0.01f); }, false},
    // About 3.5e-3 across: a millionth is 3e-4 of it.
    {"vase_a_thousandth", [] { return scaledVase(0.001f); }, true},
    // Weights near 0.001: the stored x*w keep only three significant digits.
    {"small_weights",
     [] {
         SurfaceModel s = testsupport::rationalUnevenSurface();
         for (PointH& P : s.controlNet) {
             const float w = 0.001f + 0.00001f * (&P - s.controlNet.data());
             P = {P.x / P.w * w, P.y / P.w * w, P.z / P.w * w, w};
         }
         return s;
     },
     true},
};

class SaveRounding : public testing::TestWithParam<RoundingCase> {};

TEST_P(SaveRounding, WarnsNamingThePointTheFileMovesMost) {
    const SurfaceModel surface = GetParam().make();
    const std::string path = testsupport::scratchDir() + "/" + GetParam().name + ".surf";
    std::string error;
    ASSERT_TRUE(writeSurfaceFile(path.c_str(), surface, error)) << error;
    SurfaceModel read;
    ASSERT_TRUE(readSurfaceFile(path.c_str(), read, error)) << error;
    ASSERT_EQ(read.controlNet.size(), surface.controlNet.size());

    // The move of every point between the surface and the file read back, and the box's size.
    double low[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL}, high[3] = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    double worst = 0.0;
    size_t at = 0;
    for (size_t i = 0; i < surface.controlNet.size(); ++i) {
        const PointH &a = surface.controlNet[i], &b = read.controlNet[i];
        const double c[3] = {double{a.x} / a.w, double{a.y} / a.w, double{a.z} / a.w};
        for (int k = 0; k < 3; ++k) {
            low[k] = std::min(low[k], c[k]);
            high[k] = std::max(high[k], c[k]);
        }
        const double move = std::hypot(double{b.x} / b.w - c[0], double{b.y} / b.w - c[1],
                                       double{b.z} / b.w - c[2]);
        if (move > worst) worst = move, at = i;
    }
    const double size = std::hypot(high[0] - low[0], high[1] - low[1], high[2] - low[2]);
    EXPECT_EQ(worst > 1e-4 * size, GetParam().warns) << worst / size;

    const std::string warning = sixDecimalsWarning(surface);
    if (!GetParam().warns) {
        EXPECT_EQ(warning, "");
        return;
    }
    const std::string named = "point " + std::to_string(at % surface.countU) + " of section " +
                              std::to_string(at / surface.countU) + " by ";
    const size_t found = warning.find(named);
    ASSERT_NE(found, std::string::npos) << warning << " / " << named;
    EXPECT_NEAR(std::atof(warning.c_str() + found + named.size()), worst, 1e-3 * worst) << warning;

    // The editor's save says so on the status line, and writes the file.
    testsupport::EditorScope scope;
    editor.surface = surface;
    editor.panel.skinningEnabled = 0;
    const std::string saved = testsupport::scratchDir() + "/saved-" + GetParam().name + ".surf";
    std::string message;
    ASSERT_TRUE(saveEditorSurface(saved.c_str(), message)) << message;
    EXPECT_NE(message.find(warning), std::string::npos) << message;
    EXPECT_NE(std::string(editor.panel.statusLine).find("six decimals move"), std::string::npos);
    EXPECT_TRUE(readSurfaceFile(saved.c_str(), read, error)) << error;
}

INSTANTIATE_TEST_SUITE_P(Surfaces, SaveRounding, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<RoundingCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
