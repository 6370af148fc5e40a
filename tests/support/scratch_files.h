// Files, scratch folders and program runs shared by the core tests, and a guard that puts the
// editor state back after a test changed it.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "model/editor_state.h"

namespace testsupport {

// One scratch folder per test process, made on first use.
inline const std::string& scratchDir() {
    static std::string dir;
    if (dir.empty()) {
        char pattern[] = "/tmp/loftwork-test-XXXXXX";
        const char* made = mkdtemp(pattern);
        dir = made != nullptr ? made : "/tmp";
    }
    return dir;
}

// The whole file, or "<missing>" when it cannot be opened.
inline std::string readAll(const std::string& path) {
    std::string text;
    FILE* file = fopen(path.c_str(), "rb");
    if (file == nullptr) return "<missing>";
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, got);
    fclose(file);
    return text;
}

inline void writeText(const std::string& path, const std::string& text) {
    FILE* file = fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr) << path;
    fwrite(text.data(), 1, text.size(), file);
    fclose(file);
}

inline std::string sample(const char* name) {
    return std::string(LOFTWORK_SOURCE_DIR) + "/examples/" + name;
}

struct ProcessResult {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs the loftwork binary with no display, capturing both output streams.
inline ProcessResult runLoftwork(const std::vector<std::string>& args) {
    const std::string outPath = scratchDir() + "/stdout";
    const std::string errPath = scratchDir() + "/stderr";
    const pid_t child = fork();
    if (child == 0) {
        dup2(open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
        dup2(open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
        close(0);
        unsetenv("DISPLAY");
        std::vector<char*> argv = {const_cast<char*>(LOFTWORK_BINARY)};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(LOFTWORK_BINARY, argv.data());
        _exit(127);
    }
    ProcessResult run;
    int status = 0;
    if (waitpid(child, &status, 0) == child && WIFEXITED(status)) run.status = WEXITSTATUS(status);
    run.out = readAll(outPath);
    run.err = readAll(errPath);
    return run;
}

// Runs a test body on a scratch copy of the editor and puts the original back afterwards.
class EditorScope {
public:
    EditorScope() : saved_(editor) {}
    ~EditorScope() { editor = saved_; }

private:
    EditorState saved_;
};

}  // namespace testsupport
