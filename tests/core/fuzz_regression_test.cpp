// Replays every file of tests/data (hand-made edge files and anything the fuzz targets found)
// through the surface loader and the configuration reader, with the checks the fuzzers make.
#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "support/loader_checks.h"

namespace {

std::vector<std::string> dataFiles() {
    const std::string dir = std::string(LOFTWORK_SOURCE_DIR) + "/tests/data";
    std::vector<std::string> paths;
    if (DIR* listing = opendir(dir.c_str())) {
        while (const dirent* entry = readdir(listing)) {
            if (entry->d_name[0] != '.') paths.push_back(dir + "/" + entry->d_name);
        }
        closedir(listing);
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

std::vector<uint8_t> bytesOf(const std::string& path) {
    std::vector<uint8_t> bytes;
    if (FILE* file = fopen(path.c_str(), "rb")) {
        int c;
        while ((c = fgetc(file)) != EOF) bytes.push_back(static_cast<uint8_t>(c));
        fclose(file);
    }
    return bytes;
}

}  // namespace

TEST(FuzzRegression, EveryDataFileLoadsSafely) {
    const std::vector<std::string> paths = dataFiles();
    ASSERT_GE(paths.size(), 5u) << "tests/data is missing";
    testsupport::ByteFile file;
    const EditorState kept = editor;
    for (const std::string& path : paths) {
        const std::vector<uint8_t> bytes = bytesOf(path);
        for (bool skinning : {false, true}) {
            EXPECT_EQ(testsupport::checkSurfaceBytes(file, bytes.data(), bytes.size(), skinning),
                      "")
                << path << (skinning ? " (skinning on)" : "");
        }
        for (size_t outSize : {static_cast<size_t>(kTextFieldSize), size_t{8}}) {
            EXPECT_EQ(testsupport::checkConfigBytes(file, bytes.data(), bytes.size(), outSize), "")
                << path << " into " << outSize << " bytes";
        }
    }
    editor = kept;
}
