// OBJ normals along creases: where a knot repeated as often as the degree turns the surface's
// corner, the vertices there get one normal per side, each the normal of its side's plane; where
// such a knot leaves the surface smooth (a rational circle's joints) they keep one.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>

#include "exchange/export_surface.h"
#include "support/export_surfaces.h"
#include "support/scratch_files.h"

namespace {

using Vec = std::array<double, 3>;

double dot(const Vec& a, const Vec& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}
Vec unit(Vec a) {
    const double size = std::sqrt(dot(a, a));
    return {a[0] / size, a[1] / size, a[2] / size};
}

// A roof along z: its section rises at slope 1 from x = -1 to the ridge at x = 0, y = 1, and falls
// at slope 1/2 to x = 2, on the knots 0 0 0 .5 .5 1 1 1 of degree 2. With alongV the section
// runs across the sections instead (a crease in v).
SurfaceModel roof(bool alongV) {
    const float xy[5][2] = {{-1, 0}, {-0.5f, 0.5f}, {0, 1}, {1, 0.5f}, {2, 0}};
    std::vector<PointH> net;
    const std::vector<float> ridge = {0, 0, 0, 0.5f, 0.5f, 1, 1, 1}, line = {0, 0, 1, 1};
    if (!alongV) {
        for (float z : {0.0f, 1.5f}) {
            for (const auto& p : xy) net.push_back({p[0], p[1], z, 1.0f});
        }
        return testsupport::makeSurface(5, 2, 3, 2, ridge, line, net);
    }
    for (const auto& p : xy) {
        for (float z : {0.0f, 1.5f}) net.push_back({p[0], p[1], z, 1.0f});
    }
    return testsupport::makeSurface(2, 5, 2, 3, line, ridge, net);
}

struct CreaseCase {
    const char* name;
    std::function<SurfaceModel()> make;
    bool creased;  // the ridge at x = 0, y = 1 splits the normals
};

const CreaseCase kCases[] = {
    {"roof_crease_in_u", [] { return roof(false); }, true},
    {"roof_crease_in_v", [] { return roof(true); }, true},
    // Knots of multiplicity 2 at the circle's joints, degree 2, yet smooth.
    {"revolved_egg", testsupport::revolvedEgg, false},
};

void PrintTo(const CreaseCase& c, std::ostream* out) {
    *out << c.name;
}

class ObjCreases : public testing::TestWithParam<CreaseCase> {};

TEST_P(ObjCreases, NormalsSplitWhereTheSurfaceTurnsACorner) {
    const std::string path = testsupport::scratchDir() + "/" + GetParam().name + ".obj";
    ExportReport report;
    std::string message;
    ASSERT_TRUE(exportSurface(path, GetParam().make(), std::nullopt, report, message)) << message;

    std::istringstream lines(testsupport::readAll(path));
    std::vector<Vec> positions, normals;
    std::map<size_t, std::set<size_t>> normalsOfVertex;
    std::string kind;
    while (lines >> kind) {
        if (kind == "v" || kind == "vn") {
            Vec value;
            lines >> value[0] >> value[1] >> value[2];
            (kind == "v" ? positions : normals).push_back(value);
        } else if (kind == "f") {
            for (int corner = 0; corner < 3; ++corner) {
                std::string word;
                lines >> word;
                const size_t slashes = word.find("//");
                ASSERT_NE(slashes, std::string::npos) << word;
                const size_t v = std::stoul(word) - 1, n = std::stoul(word.substr(slashes + 2)) - 1;
                ASSERT_LT(v, positions.size());
                ASSERT_LT(n, normals.size());
                normalsOfVertex[v].insert(n);
            }
        } else {
            std::getline(lines, kind);
        }
    }
    ASSERT_FALSE(normalsOfVertex.empty());

    // The roof's planes: rising at slope 1, falling at slope 1/2.
    const Vec rising = unit({-1, 1, 0}), falling = unit({0.5, 1, 0});
    size_t ridgeVertices = 0;
    for (const auto& [vertex, used] : normalsOfVertex) {
        const Vec& p = positions[vertex];
        const bool onRidge = std::fabs(p[0]) < 1e-6 && std::fabs(p[1] - 1.0) < 1e-6;
        if (!GetParam().creased || !onRidge) {
            EXPECT_EQ(used.size(), 1u) << "vertex " << vertex;
            continue;
        }
        ++ridgeVertices;
        ASSERT_EQ(used.size(), 2u) << "vertex " << vertex;
        const Vec a = normals[*used.begin()], b = normals[*used.rbegin()];
        // The two sides' normals are the planes' normals, at the planes' angle to each other.
        EXPECT_NEAR(std::fabs(dot(a, b)), std::fabs(dot(rising, falling)), 1e-5);
        EXPECT_NEAR(std::max(std::fabs(dot(a, rising)), std::fabs(dot(a, falling))), 1.0, 1e-5);
        EXPECT_NEAR(std::max(std::fabs(dot(b, rising)), std::fabs(dot(b, falling))), 1.0, 1e-5);
    }
    if (GetParam().creased) {
        EXPECT_GE(ridgeVertices, 2u);
    }
}

INSTANTIATE_TEST_SUITE_P(Surfaces, ObjCreases, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<CreaseCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
