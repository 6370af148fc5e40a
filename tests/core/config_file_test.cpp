// The start-up configuration file: its first token names the surface; anything unusable leaves
// an empty path and a reason.
#include "io/config_file.h"
#include "support/scratch_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace {

using testsupport::scratchDir;

std::string configWith(const std::string& text) {
    const std::string path = scratchDir() + "/defaultFile.config";
    FILE* file = fopen(path.c_str(), "wb");
    fwrite(text.data(), 1, text.size(), file);
    fclose(file);
    return path;
}

}  // namespace

TEST(ConfiguredSurfacePath, TakesTheFirstToken) {
    const std::string longest(299, 'a');
    struct Case {
        std::string text;
        std::string path;
    } cases[] = {
        {"examples/vase.surf", "examples/vase.surf"},
        {"examples/vase.surf\n", "examples/vase.surf"},
        {"   \t vase.surf hull.surf and more words\nsecond.surf\n", "vase.surf"},
        {"\r\n\r\nhull.surf\r\n", "hull.surf"},
        {longest + "\n", longest},
    };
    for (const Case& c : cases) {
        char out[300] = "stale";
        std::string error;
        EXPECT_TRUE(readConfiguredSurfacePath(configWith(c.text).c_str(), out, sizeof out, error))
            << error;
        EXPECT_EQ(std::string(out), c.path);
    }
}

TEST(ConfiguredSurfacePath, RefusesWhatGivesNoUsablePath) {
    struct Case {
        std::string text;  // written to the configuration file when path is empty
        std::string path;
        const char* reason;
    } cases[] = {
        {"", "", "names no file"},
        {" \n\t\n", "", "names no file"},
        {std::string(300, 'b') + "\n", "", "longer than 299"},
        {"", scratchDir() + "/missing.config", "cannot open"},
        {"", scratchDir(), "cannot read"},
    };
    for (const Case& c : cases) {
        const std::string path = c.path.empty() ? configWith(c.text) : c.path;
        char out[300] = "stale";
        std::string error;
        EXPECT_FALSE(readConfiguredSurfacePath(path.c_str(), out, sizeof out, error));
        EXPECT_STREQ(out, "");
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    }
}
