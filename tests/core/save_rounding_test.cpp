// Saving warns when the file's six decimals move a control point by more than 1e-4 of the
// surface's size, naming the point the file read back shows moved most, and saves all the same.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "exchange/export_checks.h"
#include "io/editor_file_io.h"
#include "io/surface_file.h"
#include "model/editor_state.h"
#include "support/export_surfaces.h"
#include "support/scratch_files.h"

namespace {

// The sample vase scaled by factor; with small weights, its weights near 0.001, so that the
// stored x*w keep only three significant digits.
SurfaceModel vase(float factor, bool smallWeights) {
    SurfaceModel s = testsupport::exampleSurface("vase.surf");
    for (size_t i = 0; i < s.controlNet.size(); ++i) {
        PointH& P = s.controlNet[i];
        const float w = smallWeights ? 0.001f + 0.00001f * i : P.w;
        P = {P.x / P.w * factor * w, P.y / P.w * factor * w, P.z / P.w * factor * w, w};
    }
    return s;
}

TEST(SaveRounding, WarnsNamingThePointTheFileMovesMost) {
    // vase, a hundredth of it, a thousandth (3e-3 across: a millionth is 3e-4 of it), small weights
    const struct {
        float factor;
        bool smallWeights, warns;
    } kCases[] = {
        {1.0f, false, false}, {0.01f, false, false}, {0.001f, false, true}, {1.0f, true, true}};
    for (const auto& c : kCases) {
        testsupport::EditorScope scope;
        editor.surface = vase(c.factor, c.smallWeights);
        const std::string path = testsupport::scratchDir() + "/rounding.surf";
        std::string message, error;
        ASSERT_TRUE(saveEditorSurface(editor, path.c_str(), message)) << message;
        SurfaceModel read;
        ASSERT_TRUE(readSurfaceFile(path.c_str(), read, error)) << error;
        double worst = 0.0;
        size_t at = 0;
        for (size_t i = 0; i < read.controlNet.size(); ++i) {
            const PointH &a = editor.surface.controlNet[i], &b = read.controlNet[i];
            const double move = std::hypot(double{b.x} / b.w - double{a.x} / a.w,
                                           double{b.y} / b.w - double{a.y} / a.w,
                                           double{b.z} / b.w - double{a.z} / a.w);
            if (move > worst) worst = move, at = i;
        }
        const double size = controlBoxDiagonal(editor.surface);
        ASSERT_EQ(worst > 1e-4 * size, c.warns) << worst / size;
        const std::string named = "six decimals move point " + std::to_string(at % read.countU) +
                                  " of section " + std::to_string(at / read.countU) + " by ";
        const size_t found = message.find(named);
        EXPECT_EQ(found != std::string::npos, c.warns) << message << " / " << named;
        if (found == std::string::npos) continue;
        EXPECT_NEAR(std::atof(message.c_str() + found + named.size()), worst, 1e-3 * worst);
    }
}

}  // namespace
