// The background image's calibration: marks a typed distance apart measure that distance in the
// section plane, the origin mark lands on the plane's origin, and the calibration file beside
// the image reads back as written while any bad one is refused with the placement kept.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <string>

#include "io/calibration_file.h"
#include "model/background_calibration.h"
#include "support/scratch_files.h"

namespace {

bool sameBits(const BackgroundPlacement& a, const BackgroundPlacement& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

double planeDistance(const BackgroundPlacement& p, const float a[2], const float b[2]) {
    float az, ay, bz, by;
    imageToPlane(p, a[0], a[1], az, ay);
    imageToPlane(p, b[0], b[1], bz, by);
    return std::hypot(static_cast<double>(bz) - az, static_cast<double>(by) - ay);
}

struct MarkCase {
    const char* name;
    int width, height;
    float a[2], b[2];
    double distance;
    bool accepted;
};

const MarkCase kMarks[] = {
    {"level_marks", 800, 600, {100, 300}, {700, 300}, 10.0, true},
    {"upright_marks", 37, 1000, {5, 10}, {5, 990}, 10.0, true},
    {"slanted_marks_millimetres", 1024, 768, {12.5f, 700}, {1000, 3.25f}, 4200.0, true},
    {"marks_a_pixel_apart", 64, 64, {31, 31}, {32, 31}, 0.001, true},
    {"zero_distance", 800, 600, {100, 300}, {700, 300}, 0.0, false},
    {"negative_distance", 800, 600, {100, 300}, {700, 300}, -10.0, false},
    {"not_a_number", 800, 600, {100, 300}, {700, 300}, NAN, false},
    {"infinite_distance", 800, 600, {100, 300}, {700, 300}, INFINITY, false},
    {"marks_on_one_pixel", 800, 600, {100, 300}, {100, 300}, 10.0, false},
    {"image_past_the_float_range", 800, 600, {0, 0}, {1, 0}, 1e30, false},
    {"subnormal_scale", 800, 600, {100, 300}, {700, 300}, 6e-38, false},
    {"least_float_typed", 800, 600, {100, 300}, {700, 300}, 1.4e-45, false},
};

class Calibration : public testing::TestWithParam<MarkCase> {};

// The two marks measure the typed distance afterwards; the first mark stays where it was; a
// refusal leaves the placement bit for bit as it was.
TEST_P(Calibration, MarksMeasureTheTypedDistance) {
    const MarkCase& c = GetParam();
    for (const bool fromCalibrated : {false, true}) {
        BackgroundPlacement p = uncalibratedPlacement(c.width, c.height);
        if (fromCalibrated) p = {0.37f, -12.0f, 3.5f, 0.4f};
        const BackgroundPlacement before = p;
        std::string error;
        EXPECT_EQ(calibrateScale(p, c.width, c.height, c.a, c.b, c.distance, error), c.accepted);
        if (!c.accepted) {
            EXPECT_FALSE(error.empty());
            EXPECT_TRUE(sameBits(p, before));
            continue;
        }
        // Within single precision of the image's extent in the plane.
        const double extent = (c.width + c.height) * static_cast<double>(p.scale) +
                              std::fabs(p.originZ) + std::fabs(p.originY);
        EXPECT_NEAR(planeDistance(p, c.a, c.b), c.distance, 1e-6 * extent);
        float z0, y0, z1, y1;
        imageToPlane(before, c.a[0], c.a[1], z0, y0);
        imageToPlane(p, c.a[0], c.a[1], z1, y1);
        const double reach = std::fmax(1.0, c.distance);
        EXPECT_NEAR(z1, z0, 1e-5 * reach);
        EXPECT_NEAR(y1, y0, 1e-5 * reach);
        EXPECT_EQ(p.opacity, before.opacity);
        // The origin mark then lies on the section plane's origin.
        const float origin[2] = {c.b[0], c.b[1]};
        ASSERT_TRUE(placeImageOrigin(p, c.width, c.height, origin, error)) << error;
        float oz, oy;
        imageToPlane(p, origin[0], origin[1], oz, oy);
        EXPECT_NEAR(oz, 0.0, 1e-6 * reach);
        EXPECT_NEAR(oy, 0.0, 1e-6 * reach);
    }
}

INSTANTIATE_TEST_SUITE_P(Marks, Calibration, testing::ValuesIn(kMarks),
                         [](const testing::TestParamInfo<MarkCase>& info) {
                             return std::string(info.param.name);
                         });

// Scales at the ends of single precision. An accepted placement draws a rectangle of some size
// where it lies, and every point of the plane within reach, from any sound origin, is a finite
// number of its pixels away; 1.4e-45 units per pixel was accepted and the image vanished.
TEST(PlacementBounds, ScalesThatLoseTheImageAreRefused) {
    const struct {
        const char* name;
        BackgroundPlacement p;
        bool sound;
    } cases[] = {
        {"least float", {1.4e-45f, 0, 0, 1}, false},
        {"subnormal", {1e-40f, 0, 0, 1}, false},
        {"pixels past the float range away", {1e-33f, 0, 0, 1}, false},
        {"pixels of 1e-30", {1e-30f, 0, 0, 1}, true},
        {"micrometre pixels", {1e-6f, 0, 0, 1}, true},
        {"below the float step at 1000", {3e-8f, 1000, 0, 1}, false},
        {"one float step at 1000", {1e-7f, 1000, 0, 1}, true},
        {"below the float step at -1e5 up", {1e-9f, 0, -1e5f, 1}, false},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_EQ(placementIsSound(c.p, 800, 600, error), c.sound) << c.name << ": " << error;
        if (!c.sound) {
            EXPECT_TRUE(error.find("pixel") != std::string::npos ||
                        error.find("nothing") != std::string::npos)
                << c.name << ": " << error;
            continue;
        }
        const ImageRectangle r = imageRectangle(c.p, 800, 600);
        EXPECT_GT(r.maxZ, r.minZ) << c.name;
        EXPECT_GT(r.maxY, r.minY) << c.name;
        BackgroundPlacement far = c.p;
        far.originZ = far.originY = -kMostPlacementExtent;
        float px, py;
        planeToImage(far, kMostPlacementExtent, kMostPlacementExtent, px, py);
        EXPECT_TRUE(std::isfinite(px) && std::isfinite(py)) << c.name;
    }
}

// --- The calibration file ---------------------------------------------------------------

const BackgroundPlacement kPlacements[] = {
    {0.0125f, -5.0f, -3.75f, 0.8f},
    {1.0f / 3.0f, 0.1f, -0.2f, 0.0f},
    {3.0e-7f, -1.0e-3f, 7.0f, 1.0f},
    {250.0f, -99999.5f, 12345.678f, 0.333333343f},
};

TEST(CalibrationFile, ReadsBackBitForBit) {
    for (const BackgroundPlacement& written : kPlacements) {
        const std::string text = formatCalibration(written, 400, 300);
        BackgroundPlacement read;
        std::string error;
        ASSERT_TRUE(parseCalibration(text, 400, 300, read, error)) << error << "\n" << text;
        EXPECT_TRUE(sameBits(read, written)) << text;
    }
}

struct BadFile {
    const char* name;
    const char* text;
};

const char kGood[] =
    "loftwork background calibration 1\nimage 400 300\nscale 0.01\n"
    "origin -2 -1.5\nopacity 0.5\n";

const BadFile kBadFiles[] = {
    {"empty", ""},
    {"other_first_line", "calibration\nimage 400 300\nscale 0.01\norigin 0 0\nopacity 1\n"},
    {"no_scale", "loftwork background calibration 1\nimage 400 300\norigin 0 0\nopacity 1\n"},
    {"origin_twice",
     "loftwork background calibration 1\nimage 400 300\nscale 0.01\n"
     "origin 0 0\norigin 1 1\nopacity 1\n"},
    {"one_origin_number",
     "loftwork background calibration 1\nimage 400 300\nscale 0.01\n"
     "origin 0\nopacity 1\n"},
    {"word_after_number",
     "loftwork background calibration 1\nimage 400 300\nscale 0.01 mm\n"
     "origin 0 0\nopacity 1\n"},
    {"unknown_word",
     "loftwork background calibration 1\nimage 400 300\nscale 0.01\n"
     "origin 0 0\nopacity 1\nrotation 90\n"},
    {"nan_scale",
     "loftwork background calibration 1\nimage 400 300\nscale nan\n"
     "origin 0 0\nopacity 1\n"},
    {"infinite_origin",
     "loftwork background calibration 1\nimage 400 300\nscale 0.01\n"
     "origin inf 0\nopacity 1\n"},
    {"origin_past_float",
     "loftwork background calibration 1\nimage 400 300\nscale 0.01\n"
     "origin 1e39 0\nopacity 1\n"},
    {"zero_scale",
     "loftwork background calibration 1\nimage 400 300\nscale 0\n"
     "origin 0 0\nopacity 1\n"},
    {"negative_scale",
     "loftwork background calibration 1\nimage 400 300\nscale -0.01\n"
     "origin 0 0\nopacity 1\n"},
    {"image_too_large",
     "loftwork background calibration 1\nimage 400 300\nscale 1e5\n"
     "origin 0 0\nopacity 1\n"},
    {"opacity_above_one",
     "loftwork background calibration 1\nimage 400 300\nscale 0.01\n"
     "origin 0 0\nopacity 1.5\n"},
    {"other_image_size",
     "loftwork background calibration 1\nimage 800 600\nscale 0.01\n"
     "origin 0 0\nopacity 1\n"},
    {"scale_below_a_pixel",
     "loftwork background calibration 1\nimage 400 300\nscale 1.4e-45\n"
     "origin 0 0\nopacity 1\n"},
    {"image_below_the_float_step_where_it_lies",
     "loftwork background calibration 1\nimage 400 300\nscale 1e-9\n"
     "origin 100000 0\nopacity 1\n"},
    {"negative_image_size",
     "loftwork background calibration 1\nimage -400 300\nscale 0.01\n"
     "origin 0 0\nopacity 1\n"},
};

class RefusedCalibration : public testing::TestWithParam<BadFile> {};

// Each bad file is refused with a reason, and the image keeps the placement it had.
TEST_P(RefusedCalibration, KeepsThePlacement) {
    const std::string path = testsupport::scratchDir() + "/" + GetParam().name + ".png";
    testsupport::writeText(calibrationPathFor(path), GetParam().text);
    BackgroundPlacement p = {0.5f, 1.0f, 2.0f, 0.25f};
    const BackgroundPlacement before = p;
    std::string error;
    EXPECT_EQ(readCalibrationFile(path, 400, 300, p, error), CalibrationRead::refused);
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(sameBits(p, before));
}

INSTANTIATE_TEST_SUITE_P(Files, RefusedCalibration, testing::ValuesIn(kBadFiles),
                         [](const testing::TestParamInfo<BadFile>& info) {
                             return std::string(info.param.name);
                         });

// A good file written beside the image applies; a missing one, a folder, a FIFO or an oversized
// file in its place does not, and only the missing one is called missing.
TEST(CalibrationFile, FoundBesideTheImage) {
    const std::string dir = testsupport::scratchDir();
    struct Place {
        const char* image;
        CalibrationRead expected;
    };
    testsupport::writeText(calibrationPathFor(dir + "/good.png"), kGood);
    mkdir(calibrationPathFor(dir + "/folder.png").c_str(), 0755);
    mkfifo(calibrationPathFor(dir + "/fifo.png").c_str(), 0644);
    testsupport::writeText(calibrationPathFor(dir + "/huge.png"),
                           std::string(kGood) + std::string(kMostCalibrationFileBytes, '\n'));
    const Place places[] = {{"good.png", CalibrationRead::applied},
                            {"missing.png", CalibrationRead::missing},
                            {"folder.png", CalibrationRead::refused},
                            {"fifo.png", CalibrationRead::refused},
                            {"huge.png", CalibrationRead::refused}};
    for (const Place& place : places) {
        BackgroundPlacement p = uncalibratedPlacement(400, 300);
        std::string error;
        EXPECT_EQ(readCalibrationFile(dir + "/" + place.image, 400, 300, p, error), place.expected)
            << place.image << ": " << error;
        if (place.expected == CalibrationRead::applied) {
            EXPECT_EQ(p.scale, 0.01f);
            EXPECT_EQ(p.originZ, -2.0f);
            EXPECT_EQ(p.opacity, 0.5f);
        }
    }
    // Written, then read back as written.
    const BackgroundPlacement written = kPlacements[1];
    std::string error;
    ASSERT_TRUE(writeCalibrationFile(dir + "/written.png", written, 400, 300, error)) << error;
    BackgroundPlacement read = uncalibratedPlacement(400, 300);
    EXPECT_EQ(readCalibrationFile(dir + "/written.png", 400, 300, read, error),
              CalibrationRead::applied);
    EXPECT_TRUE(sameBits(read, written));
}

}  // namespace
