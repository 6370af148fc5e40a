// Exports that must be refused: each says why, writes no file, and leaves a file already at the
// path byte for byte as it was.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <functional>
#include <optional>
#include <string>

#include "exchange/export_surface.h"
#include "support/export_surfaces.h"
#include "support/scratch_files.h"

namespace {

struct RefusalCase {
    const char* name;
    std::function<void(SurfaceModel&)> spoil;  // applied to the rational test surface
    const char* extension;
    std::optional<double> tolerance;
    const char* reason;  // part of the message
};

void PrintTo(const RefusalCase& c, std::ostream* out) {
    *out << c.name;
}

void setWeight(SurfaceModel& s, int point, int section, float w) {
    PointH& P = sectionPoints(s, section)[point];
    P = {P.x / P.w * w, P.y / P.w * w, P.z / P.w * w, w};
}

const RefusalCase kCases[] = {
    {"zero_weight", [](SurfaceModel& s) { setWeight(s, 2, 1, 0.0f); }, "step", std::nullopt,
     "control point 2 of section 1 has weight 0"},
    {"negative_weight_names_the_first",
     [](SurfaceModel& s) {
         setWeight(s, 4, 2, -0.5f);
         setWeight(s, 1, 3, -2.0f);
     },
     "stl", std::nullopt, "control point 4 of section 2 has weight -0.5"},
    {"negative_weight_suggests_a_way_out", [](SurfaceModel& s) { setWeight(s, 0, 0, -1.0f); },
     "igs", std::nullopt, "try another degree or fewer sections"},
    {"no_surface", [](SurfaceModel& s) { s = SurfaceModel(); }, "obj", std::nullopt,
     "no usable surface"},
    {"net_shorter_than_counts", [](SurfaceModel& s) { s.controlNet.pop_back(); }, "step",
     std::nullopt, "no usable surface"},
    {"not_finite", [](SurfaceModel& s) { s.controlNet[3].y = INFINITY; }, "iges", std::nullopt,
     "not a finite number"},
    {"degree_zero",
     [](SurfaceModel& s) {
         s.orderV = 1;
         s.knotCountV = s.countV + 1;
         s.knotsV = {0, 0.25f, 0.5f, 0.75f, 1};
     },
     "stp", std::nullopt, "degree t is 0"},
    {"knots_out_of_order", [](SurfaceModel& s) { s.knotsU[4] = 1.5f; }, "stl", std::nullopt,
     "knots in s decrease"},
    {"knot_tearing_the_surface",
     [](SurfaceModel& s) {
         s = testsupport::makeSurface(8, 4, 3, 3, {0, 0, 0, 0.4f, 0.4f, 0.4f, 0.8f, 1, 1, 1, 1},
                                      {0, 0, 0, 0.7f, 1, 1, 1}, testsupport::wavyNet(8, 4, false));
     },
     "step", std::nullopt, "knot 0.4 in s is repeated 3 times"},
    {"empty_parameter_range", [](SurfaceModel& s) { s.knotsV = {0, 0, 0, 0, 0, 0, 0}; }, "obj",
     std::nullopt, "no parameter range"},
    {"degree_above_the_editors",
     [](SurfaceModel& s) {
         s = testsupport::makeSurface(25, 2, 25, 2, std::vector<float>(25, 0.0f), {0, 0, 1, 1},
                                      testsupport::wavyNet(25, 2, true));
         s.knotsU.resize(50, 1.0f);
     },
     "stl", std::nullopt, "degree s is 24, above 23"},
    {"degree_past_the_points",
     [](SurfaceModel& s) {
         s = testsupport::makeSurface(5, 2, 3, 3, {0, 0, 0, 0.5f, 1, 1, 1, 1}, {0, 0, 0, 1, 1},
                                      testsupport::wavyNet(5, 2, true));
     },
     "obj", std::nullopt, "degree t is 2 but there are only 2 points in t"},
    // Exported once as meshes of triangles without area, or of none.
    {"collapsed_to_a_curve",
     [](SurfaceModel& s) {
         for (int section = 1; section < s.countV; ++section) {
             for (int k = 0; k < s.countU; ++k) {
                 sectionPoints(s, section)[k] = sectionPoints(s, 0)[k];
             }
         }
     },
     "stl", std::nullopt, "collapses to a curve or a point"},
    {"collapsed_to_a_point",
     [](SurfaceModel& s) {
         for (PointH& P : s.controlNet) P = {0.5f * P.w, 0.25f * P.w, -1.0f * P.w, P.w};
     },
     "obj", 0.01, "collapses to a curve or a point"},
    {"weight_near_zero_throws_a_point_far_off",
     [](SurfaceModel& s) { sectionPoints(s, 1)[2].w = 1e-30f; }, "stl", std::nullopt,
     "no triangles left"},
    {"default_tolerance_past_the_surface",
     [](SurfaceModel& s) { sectionPoints(s, 1)[2].w = 1e-5f; }, "obj", std::nullopt,
     "larger than the surface itself"},
    {"zero_tolerance", [](SurfaceModel&) {}, "stl", 0.0, "positive number"},
    {"negative_tolerance", [](SurfaceModel&) {}, "obj", -0.01, "positive number"},
    {"nan_tolerance", [](SurfaceModel&) {}, "stl", NAN, "positive number"},
    {"infinite_tolerance", [](SurfaceModel&) {}, "obj", INFINITY, "positive number"},
    {"tolerance_beyond_single_precision", [](SurfaceModel&) {}, "stl", 1e-12, "single precision"},
    {"unknown_extension", [](SurfaceModel&) {}, "dxf", std::nullopt, "unknown extension"},
    {"no_extension", [](SurfaceModel&) {}, "", std::nullopt, "unknown extension"},
};

// The names in a folder, "." and ".." left out.
std::vector<std::string> folderNames(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (const dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        closedir(dir);
    }
    return names;
}

class ExportRefusal : public testing::TestWithParam<RefusalCase> {};

TEST_P(ExportRefusal, WritesNothingAndKeepsTheOldFile) {
    const RefusalCase& c = GetParam();
    SurfaceModel surface = testsupport::rationalUnevenSurface();
    c.spoil(surface);
    const std::string folder = testsupport::scratchDir() + "/" + c.name;
    mkdir(folder.c_str(), 0755);
    const std::string dotted = std::string(*c.extension ? "." : "") + c.extension;
    const std::string fresh = folder + "/fresh" + dotted;
    const std::string kept = folder + "/kept" + dotted;
    const std::string old = "earlier contents\n\x01\x02 not to be touched";
    testsupport::writeText(kept, old);

    for (const std::string& path : {fresh, kept}) {
        ExportReport report;
        std::string message;
        EXPECT_FALSE(exportSurface(path, surface, c.tolerance, report, message)) << path;
        EXPECT_NE(message.find(c.reason), std::string::npos) << message;
        EXPECT_EQ(message.rfind("not exported", 0), 0u) << message;
    }
    EXPECT_EQ(testsupport::readAll(fresh), "<missing>");
    EXPECT_EQ(testsupport::readAll(kept), old);
    EXPECT_EQ(folderNames(folder), std::vector<std::string>{"kept" + dotted});  // no temporary
}

INSTANTIATE_TEST_SUITE_P(Cases, ExportRefusal, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<RefusalCase>& info) {
                             return std::string(info.param.name);
                         });

// A write that fails at the file system says why and leaves nothing behind, for the STEP
// writer's detour through a temporary file too.
TEST(ExportSurface, AFailedWriteLeavesNothingBehind) {
    const std::string folder = testsupport::scratchDir() + "/failing";
    mkdir(folder.c_str(), 0755);
    for (const char* extension : {"step", "igs", "stl", "obj"}) {
        const std::string directory = folder + "/taken." + extension;
        mkdir(directory.c_str(), 0755);
        const std::string paths[] = {directory, folder + "/missing/new." + extension};
        for (const std::string& path : paths) {
            ExportReport report;
            std::string message;
            EXPECT_FALSE(exportSurface(path, testsupport::rationalUnevenSurface(), std::nullopt,
                                       report, message));
            EXPECT_NE(message.find("not exported to " + path + ": "), std::string::npos);
        }
        struct stat info;
        EXPECT_TRUE(stat(directory.c_str(), &info) == 0 && S_ISDIR(info.st_mode));
    }
    EXPECT_EQ(folderNames(folder).size(), 4u);  // the four folders, no temporary file
}

}  // namespace
