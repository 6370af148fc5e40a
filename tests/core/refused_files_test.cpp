// Files that are not ordinary files, or far too large, named as the surface or the configuration:
// each is refused at once with a message that says what it is, never read without end or waited
// on. /dev/zero read until memory ran out, a FIFO blocked for ever and a 1 GB file of blanks
// was read whole.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "io/config_file.h"
#include "io/surface_file.h"
#include "support/scratch_files.h"

namespace {

using testsupport::scratchDir;

struct RefusedFile {
    const char* name;
    std::string (*make)();  // the path, made in the scratch folder when needed
    const char* reason;
};

std::string fifo() {
    const std::string path = scratchDir() + "/fifo";
    mkfifo(path.c_str(), 0600);
    return path;
}

// A sparse gigabyte: larger than any limit, without taking the disk space.
std::string gigabyte() {
    const std::string path = scratchDir() + "/gigabyte";
    FILE* file = fopen(path.c_str(), "wb");
    if (file != nullptr) {
        fputc(' ', file);
        fclose(file);
    }
    truncate(path.c_str(), 1LL << 30);
    return path;
}

const RefusedFile kRefusedFiles[] = {
    {"devZero", [] { return std::string("/dev/zero"); }, "character device"},
    {"fifo", fifo, "FIFO"},
    {"directory", [] { return scratchDir(); }, "directory"},
    {"gigabyte", gigabyte, "MiB allowed"},  // the limit is named, so the user knows it
};

class FilesRefusedUnread : public ::testing::TestWithParam<RefusedFile> {};

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

TEST_P(FilesRefusedUnread, AreRefusedAsTheSurface) {
    const std::string path = GetParam().make();
    const auto start = std::chrono::steady_clock::now();
    SurfaceModel surface;
    std::string error;
    EXPECT_FALSE(readSurfaceFile(path.c_str(), surface, error));
    EXPECT_LT(secondsSince(start), 1.0);
    EXPECT_NE(error.find(GetParam().reason), std::string::npos) << error;
}

TEST_P(FilesRefusedUnread, AreRefusedAsTheConfiguration) {
    const std::string path = GetParam().make();
    const auto start = std::chrono::steady_clock::now();
    char out[300] = "stale";
    std::string error;
    EXPECT_FALSE(readConfiguredSurfacePath(path.c_str(), out, sizeof out, error));
    EXPECT_LT(secondsSince(start), 1.0);
    EXPECT_STREQ(out, "");
    EXPECT_NE(error.find(GetParam().reason), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(Kinds, FilesRefusedUnread, ::testing::ValuesIn(kRefusedFiles),
                         [](const testing::TestParamInfo<RefusedFile>& info) {
                             return std::string(info.param.name);
                         });
