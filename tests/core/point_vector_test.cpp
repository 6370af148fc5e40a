// Point3 and Vector3 operations, their text forms and the intersection of two lines.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "model/point_vector.h"

namespace {

struct IntersectionCase {
    const char* name;
    Point3 P0;
    Vector3 T0;
    Point3 P2;
    Vector3 T2;
    Point3 expected;
};

void PrintTo(const IntersectionCase& c, std::ostream* os) { *os << c.name; }

class MeetingLines : public ::testing::TestWithParam<IntersectionCase> {};

TEST_P(MeetingLines, FindTheCommonPointSilently) {
    const IntersectionCase& c = GetParam();
    Point3 result(-1, -1, -1);
    testing::internal::CaptureStdout();
    const int found = intersectLines(c.P0, c.T0, c.P2, c.T2, &result);
    const std::string output = testing::internal::GetCapturedStdout();
    EXPECT_EQ(found, 1);
    EXPECT_EQ(result, c.expected) << result.x << " " << result.y << " " << result.z;
    EXPECT_EQ(output, "");
}

INSTANTIATE_TEST_SUITE_P(
    Attempts, MeetingLines,
    ::testing::Values(
        // Plane x, y: the lines lie in z = 2 and the result keeps z = 2 exactly.
        IntersectionCase{"xy", {0, 0, 2}, {1, 0, 0}, {3, -1, 2}, {0, 2, 0}, {3, 0, 2}},
        IntersectionCase{"xyTilted", {1, 1, 2}, {1, 1, 0}, {5, 1, 2}, {-1, 1, 0}, {3, 3, 2}},
        // Directions without y: the x, y determinant is 0, the x, z plane finds it.
        IntersectionCase{"xz", {0, 5, 0}, {1, 0, 1}, {4, 5, 0}, {-1, 0, 1}, {2, 5, 2}},
        // Directions without x: only the y, z plane has a non-zero determinant.
        IntersectionCase{"yz", {5, 0, 0}, {0, 1, 2}, {5, 4, 0}, {0, -1, 2}, {5, 2, 4}},
        // Both directions zero at one point: the coincident-point test.
        IntersectionCase{"samePoint", {1, 2, 3}, {0, 0, 0}, {1, 2, 3}, {0, 0, 0}, {1, 2, 3}}),
    [](const testing::TestParamInfo<IntersectionCase>& info) { return info.param.name; });

struct MissCase {
    const char* name;
    Point3 P0;
    Vector3 T0;
    Point3 P2;
    Vector3 T2;
    const char* message;
};

void PrintTo(const MissCase& c, std::ostream* os) { *os << c.name; }

class MissingLines : public ::testing::TestWithParam<MissCase> {};

TEST_P(MissingLines, ReportOnStandardOutputAndLeaveTheResultAlone) {
    const MissCase& c = GetParam();
    Point3 result(7, 8, 9);
    testing::internal::CaptureStdout();
    const int found = intersectLines(c.P0, c.T0, c.P2, c.T2, &result);
    const std::string output = testing::internal::GetCapturedStdout();
    EXPECT_EQ(found, 0);
    EXPECT_EQ(result, Point3(7, 8, 9));
    EXPECT_EQ(output, c.message);
}

INSTANTIATE_TEST_SUITE_P(Failures, MissingLines,
                         ::testing::Values(MissCase{"skew",
                                                    {0, 0, 0},
                                                    {1, 0, 0},
                                                    {0, 1, 1},
                                                    {0, 0, 1},
                                                    "ERROR, lines not intersecting\r\n"
                                                    "x:0.000000, y:0.000000, z:0.000000\r\n"
                                                    "x:1.000000 y:0.000000 z:0.000000\r\n"
                                                    "x:0.000000, y:1.000000, z:1.000000\r\n"
                                                    "x:0.000000 y:0.000000 z:1.000000\r\n"},
                                           MissCase{"parallel",
                                                    {0, 0, 0},
                                                    {1, 1, 0},
                                                    {1, 0, 0},
                                                    {2, 2, 0},
                                                    "ERROR, lines not intersecting\r\n"
                                                    "x:0.000000, y:0.000000, z:0.000000\r\n"
                                                    "x:1.000000 y:1.000000 z:0.000000\r\n"
                                                    "x:1.000000, y:0.000000, z:0.000000\r\n"
                                                    "x:2.000000 y:2.000000 z:0.000000\r\n"},
                                           MissCase{"zeroDirectionsApart",
                                                    {1, 2, 3},
                                                    {0, 0, 0},
                                                    {1, 2, 3.5f},
                                                    {0, 0, 0},
                                                    "ERROR, lines not intersecting\r\n"
                                                    "x:1.000000, y:2.000000, z:3.000000\r\n"
                                                    "x:0.000000 y:0.000000 z:0.000000\r\n"
                                                    "x:1.000000, y:2.000000, z:3.500000\r\n"
                                                    "x:0.000000 y:0.000000 z:0.000000\r\n"}),
                         [](const testing::TestParamInfo<MissCase>& info) {
                             return info.param.name;
                         });

TEST(TextForms, PointsHaveCommasAndVectorsDoNot) {
    char buffer[100];
    int written = Point3(1, 2, 3).toText(buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "x:1.000000, y:2.000000, z:3.000000\r\n");
    EXPECT_EQ(written, static_cast<int>(strlen(buffer)));
    written = Vector3(1, 2, -3.25f).toText(buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "x:1.000000 y:2.000000 z:-3.250000\r\n");
    EXPECT_EQ(written, static_cast<int>(strlen(buffer)));
}

TEST(VectorOperations, CrossDotLengthAndNormalized) {
    EXPECT_EQ(cross(Vector3(0, 1, 0), Vector3(1, 0, 0)), Vector3(0, 0, -1));
    EXPECT_EQ(cross(Vector3(1, 2, 3), Vector3(4, 5, 6)), Vector3(-3, 6, -3));
    EXPECT_EQ(dot(Vector3(1, 2, 3), Vector3(4, -5, 6)), 12.0f);
    EXPECT_EQ(length(Vector3(3, 0, 4)), 5.0f);
    EXPECT_EQ(normalized(Vector3(3, 0, 4)), Vector3(0.6f, 0, 0.8f));
    EXPECT_EQ(normalized(Vector3(0, 0, 0)), Vector3(0, 0, 0));
    EXPECT_EQ(normalized(Vector3(0, -2, 0)), Vector3(0, -1, 0));
}

TEST(PointOperations, ArithmeticAndDistance) {
    const Point3 p(1, 2, 3);
    EXPECT_EQ(p + Vector3(1, -1, 0.5f), Point3(2, 1, 3.5f));
    EXPECT_EQ(p - Point3(4, 4, 4), Vector3(-3, -2, -1));
    EXPECT_EQ(p * 0.5f, Point3(0.5f, 1, 1.5f));
    EXPECT_EQ(Vector3(1, 2, 3) - Vector3(3, 2, 1), Vector3(-2, 0, 2));
    EXPECT_EQ(Vector3(1, 2, 3) + Vector3(3, 2, 1) * 2.0f, Vector3(7, 6, 5));
    EXPECT_EQ(p.distanceTo(Point3(4, 6, 3)), 5.0f);
    EXPECT_TRUE(p != Point3(1, 2, 3.5f));
}

TEST(ProjectOntoLine, FootOfThePerpendicular) {
    // The direction need not be a unit vector.
    EXPECT_EQ(projectOntoLine(Point3(1, 2, 3), Point3(0, 0, 0), Vector3(0, 2, 0)), Point3(0, 2, 0));
    EXPECT_EQ(projectOntoLine(Point3(3, 1, 0), Point3(1, 1, 5), Vector3(1, 1, 0)), Point3(2, 2, 5));
    // A zero direction has no line: the base point comes back instead of a division by zero.
    EXPECT_EQ(projectOntoLine(Point3(3, 1, 0), Point3(1, 1, 5), Vector3(0, 0, 0)), Point3(1, 1, 5));
}

}  // namespace
