// Recovery and calibration files, which the editor names itself beside other files: one left by
// another editor is kept (the next number is taken), a link of that name is never written
// through, and a file refused on reading is never written over.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "io/calibration_file.h"
#include "io/recovery_file.h"
#include "io/surface_file.h"
#include "support/scratch_files.h"

namespace {

using testsupport::readAll;
using testsupport::sample;
using testsupport::scratchDir;
using testsupport::writeText;

SurfaceModel vase() {
    SurfaceModel s;
    std::string error;
    EXPECT_TRUE(readSurfaceFile(sample("vase.surf").c_str(), s, error)) << error;
    return s;
}

std::string freshFolder(const std::string& name) {
    const std::string dir = scratchDir() + "/" + name;
    mkdir(dir.c_str(), 0755);
    return dir;
}

bool isLink(const std::string& path) {
    struct stat info;
    return lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

// What is already at NAME.recovered.surf when an editor quits with unsaved changes of NAME.surf.
TEST(RecoveryFile, KeepsWhatIsThereAndTakesTheNextNumber) {
    const struct {
        const char* name;
        const char* present;  // "", "file", "link", "dangling link", "folder"
        int number;           // of the file written
    } cases[] = {
        {"nothing", "", 1},
        {"another editor's recovery file", "file", 2},
        {"a link to someone's file", "link", 2},
        {"a link to nothing", "dangling link", 2},
        {"a folder", "folder", 2},
    };
    const SurfaceModel surface = vase();
    for (const auto& c : cases) {
        const std::string dir = freshFolder(std::string("recover-") + c.present);
        const std::string base = dir + "/hull.recovered.surf";
        const std::string victim = dir + "/victim.txt";
        writeText(victim, "not to be touched");
        const std::string present = c.present;
        if (present == "file") writeText(base, "the other editor's changes");
        if (present == "link") {
            ASSERT_EQ(symlink(victim.c_str(), base.c_str()), 0);
        }
        if (present == "dangling link") {
            ASSERT_EQ(symlink((dir + "/nowhere").c_str(), base.c_str()), 0);
        }
        if (present == "folder") mkdir(base.c_str(), 0755);
        std::string path, error;
        ASSERT_TRUE(writeRecoveryFile(surface, (dir + "/hull.surf").c_str(), path, error))
            << c.name << ": " << error;
        EXPECT_EQ(path, numberedRecoveryPath(base, c.number)) << c.name;
        EXPECT_EQ(error, "") << c.name;
        SurfaceModel back;
        ASSERT_TRUE(readSurfaceFile(path.c_str(), back, error)) << c.name << ": " << error;
        EXPECT_TRUE(sameSurface(back, surface)) << c.name;
        EXPECT_EQ(readAll(victim), "not to be touched") << c.name;
        EXPECT_EQ(access((dir + "/nowhere").c_str(), F_OK), -1) << c.name;
        if (present == "file") {
            EXPECT_EQ(readAll(base), "the other editor's changes");
        }
        if (present == "link" || present == "dangling link") {
            EXPECT_TRUE(isLink(base)) << c.name;
        }

        // The same editor quitting again replaces its own file; a link put in its place is
        // replaced itself, not written through.
        SurfaceModel moved = surface;
        moved.controlNet[2].x = 0.25f;  // six decimals hold it exactly
        ASSERT_EQ(unlink(path.c_str()), 0);
        ASSERT_EQ(symlink(victim.c_str(), path.c_str()), 0);
        std::string again;
        ASSERT_TRUE(writeRecoveryFile(moved, (dir + "/hull.surf").c_str(), again, error))
            << c.name << ": " << error;
        EXPECT_EQ(again, path) << c.name;
        EXPECT_FALSE(isLink(again)) << c.name;
        ASSERT_TRUE(readSurfaceFile(again.c_str(), back, error)) << c.name << ": " << error;
        EXPECT_TRUE(sameSurface(back, moved)) << c.name;
        EXPECT_EQ(readAll(victim), "not to be touched") << c.name;

        const std::vector<std::string> found = existingRecoveryFiles((dir + "/hull.surf").c_str());
        EXPECT_EQ(found.size(), present.empty() ? 1u : 2u) << c.name;
        EXPECT_EQ(found.back(), path) << c.name;
    }
}

TEST(RecoveryFile, NumbersItsNamesBeforeTheExtension) {
    const struct {
        const char* surface;
        int number;
        const char* expected;
    } rows[] = {
        {"/data/vase.surf", 1, "/data/vase.recovered.surf"},
        {"/data/vase.surf", 2, "/data/vase.recovered-2.surf"},
        {"vase", 12, "vase.recovered-12.surf"},
        {"", 3, "recovered-3.surf"},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(numberedRecoveryPath(recoveryPath(r.surface), r.number), r.expected)
            << r.surface << " " << r.number;
    }
}

TEST(WriteFileReplacing, ReplacesALinkItselfWhenAskedTo) {
    const std::string dir = freshFolder("replace-link");
    const std::string target = dir + "/target.txt";
    const std::string link = dir + "/name.txt";
    writeText(target, "the target");
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    std::string error;
    ASSERT_TRUE(writeFileReplacing(link.c_str(), "new", error, LinkHandling::replaceLink))
        << error;
    EXPECT_FALSE(isLink(link));
    EXPECT_EQ(readAll(link), "new");
    EXPECT_EQ(readAll(target), "the target");
}

// IMAGE.calibration when a placement is saved: a link to another file, a calibration for
// another image size and text that is no calibration were refused on reading and are kept; a
// link to a good calibration is replaced itself.
TEST(CalibrationFile, NeverWritesOverAFileItRefusedOrThroughALink) {
    BackgroundPlacement placement = uncalibratedPlacement(400, 300);
    placement.scale *= 2.0f;
    BackgroundPlacement other = uncalibratedPlacement(400, 300);
    const struct {
        const char* name;
        std::string target;  // what the link points to, or the file's own text
        bool link;
        bool written;
    } cases[] = {
        {"a link to an unrelated file", "unrelated text\n", true, false},
        {"text that is no calibration", "unrelated text\n", false, false},
        {"a calibration of a larger image", formatCalibration(other, 800, 600), false, false},
        {"a link to a good calibration", formatCalibration(other, 400, 300), true, true},
        {"a good calibration", formatCalibration(other, 400, 300), false, true},
    };
    int n = 0;
    for (const auto& c : cases) {
        const std::string dir = freshFolder("calibration-" + std::to_string(n++));
        const std::string image = dir + "/profile.png";
        const std::string file = calibrationPathFor(image);
        const std::string victim = dir + "/victim.txt";
        writeText(c.link ? victim : file, c.target);
        if (c.link) {
            ASSERT_EQ(symlink(victim.c_str(), file.c_str()), 0);
        }
        std::string error;
        EXPECT_EQ(writeCalibrationFile(image, placement, 400, 300, error), c.written)
            << c.name << ": " << error;
        if (c.link) {
            EXPECT_EQ(readAll(victim), c.target) << c.name;
        }
        if (!c.written) {
            EXPECT_NE(error.find("refused"), std::string::npos) << c.name << ": " << error;
            EXPECT_EQ(readAll(file), c.target) << c.name;
            continue;
        }
        BackgroundPlacement back;
        EXPECT_EQ(readCalibrationFile(image, 400, 300, back, error), CalibrationRead::applied)
            << c.name << ": " << error;
        EXPECT_EQ(back.scale, placement.scale) << c.name;
        EXPECT_FALSE(isLink(file)) << c.name;
    }
}

}  // namespace
