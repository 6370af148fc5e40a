// Exports that fail part-way: at the file-size limit, with memory running out, ended by a signal,
// and with a STEP writer that hands back less than the surface. Each is reported as a refusal,
// keeps the file already at the path byte for byte, and leaves no hidden temporary file.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <BRep_Builder.hxx>
#include <STEPControl_Writer.hxx>
#include <TopoDS_Compound.hxx>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <new>
#include <string>
#include <vector>

#include "exchange/export_checks.h"
#include "exchange/export_surface.h"
#include "exchange/occt_surface.h"
#include "io/surface_file.h"
#include "model/knots.h"
#include "support/export_surfaces.h"
#include "support/scratch_files.h"

namespace {

// While above 0, allocations through operator new of more than this many bytes fail, as they do
// when memory runs out.
std::atomic<size_t> gFailAbove{0};

}  // namespace

// The replacements pair malloc with free; the compiler, seeing new and delete inlined around
// them, would take that for a mismatch.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(size_t size) {
    const size_t limit = gFailAbove.load();
    if (limit != 0 && size > limit) throw std::bad_alloc();
    if (void* p = malloc(size != 0 ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    free(p);
}
void operator delete(void* p, size_t) noexcept {
    free(p);
}

namespace {

const char kOld[] = "earlier contents, not to be touched\n";

// countU x countV points of the wavy sheet, degree 3 both ways on uniform knots.
SurfaceModel wavySheet(int countU, int countV) {
    std::vector<float> U(static_cast<size_t>(countU + 4)), V(static_cast<size_t>(countV + 4));
    fillUniformKnots(U.data(), countU + 4, 4);
    fillUniformKnots(V.data(), countV + 4, 4);
    return testsupport::makeSurface(countU, countV, 4, 4, U, V,
                                    testsupport::wavyNet(countU, countV, false));
}

// A fresh folder holding only `kept.EXTENSION` with kOld in it; returns that file's path.
std::string folderWithOldFile(const std::string& name, const std::string& extension) {
    const std::string folder = testsupport::scratchDir() + "/" + name;
    mkdir(folder.c_str(), 0755);
    const std::string kept = folder + "/kept." + extension;
    testsupport::writeText(kept, kOld);
    return kept;
}

// The names in path's folder other than "." and "..".
std::vector<std::string> namesBeside(const std::string& path) {
    std::vector<std::string> names;
    if (DIR* dir = opendir(path.substr(0, path.rfind('/')).c_str())) {
        while (const dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        closedir(dir);
    }
    return names;
}

// Runs body in a child process; its exit status, or 128 + the signal that ended it.
int inChild(const std::function<int()>& body) {
    fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) _exit(body());
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Exports surface to path in a child process limited by prepare; status 0 when it was refused
// and the message, kept in messagePath, says "not exported".
int refusedInChild(const std::function<void()>& prepare, const SurfaceModel& surface,
                   const std::string& path, const std::string& messagePath) {
    return inChild([&] {
        prepare();
        ExportReport report;
        std::string message;
        const bool done = exportSurface(path, surface, std::nullopt, report, message);
        gFailAbove = 0;
        FILE* file = fopen(messagePath.c_str(), "w");
        if (file != nullptr) {
            fputs(message.c_str(), file);
            fclose(file);
        }
        return !done && message.rfind("not exported", 0) == 0 ? 0 : 1;
    });
}

const char* const kExtensions[] = {"step", "igs", "stl", "obj"};

class ExportFailure : public testing::TestWithParam<const char*> {};

// Past RLIMIT_FSIZE a write raises SIGXFSZ, which OCCT's STEP writer did not hold off: the
// process died with the temporary file left behind.
TEST_P(ExportFailure, AtTheFileSizeLimitIsRefused) {
    const std::string kept = folderWithOldFile(std::string("size_") + GetParam(), GetParam());
    const std::string messagePath = testsupport::scratchDir() + "/size_message";
    const int status = refusedInChild(
        [] {
            const rlimit limit = {4096, 4096};
            setrlimit(RLIMIT_FSIZE, &limit);
        },
        wavySheet(30, 20), kept, messagePath);
    EXPECT_EQ(status, 0) << testsupport::readAll(messagePath);
    EXPECT_EQ(testsupport::readAll(kept), kOld);
    EXPECT_EQ(namesBeside(kept), std::vector<std::string>{"kept." + std::string(GetParam())});
}

// An allocation that fails inside the export, in the mesher, in OCCT's writers or in reading
// back their text, is a refusal: the exception once ended the editor, and the STEP writer's
// temporary file stayed.
TEST_P(ExportFailure, WithMemoryRunningOutIsRefused) {
    const std::string kept = folderWithOldFile(std::string("memory_") + GetParam(), GetParam());
    const std::string messagePath = testsupport::scratchDir() + "/memory_message";
    const int status =
        refusedInChild([] { gFailAbove = 16384; }, wavySheet(60, 40), kept, messagePath);
    EXPECT_EQ(status, 0) << testsupport::readAll(messagePath);
    EXPECT_NE(testsupport::readAll(messagePath).find("memory"), std::string::npos)
        << testsupport::readAll(messagePath);
    EXPECT_EQ(testsupport::readAll(kept), kOld);
    EXPECT_EQ(namesBeside(kept), std::vector<std::string>{"kept." + std::string(GetParam())});
}

INSTANTIATE_TEST_SUITE_P(Formats, ExportFailure, testing::ValuesIn(kExtensions));

// Runs loftwork with args in a child limited to fileSize bytes per file; its exit status, or
// 128 + the signal that ended it.
int runLimited(const std::vector<std::string>& args, rlim_t fileSize) {
    return inChild([&] {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        const rlimit limit = {fileSize, fileSize};
        setrlimit(RLIMIT_FSIZE, &limit);
        std::vector<char*> argv = {const_cast<char*>(LOFTWORK_BINARY)};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(LOFTWORK_BINARY, argv.data());
        return 127;
    });
}

// The command line under a file-size limit: every writing subcommand exits 1 (the STEP export
// died of SIGXFSZ, status 153 from a shell), and the file at the path is kept.
TEST(ExportFailures, CommandLineAtTheFileSizeLimitExitsWithOne) {
    const std::string input = testsupport::scratchDir() + "/limited_input.surf";
    std::string error;
    ASSERT_TRUE(writeSurfaceFile(input.c_str(), wavySheet(30, 20), error)) << error;
    for (const char* extension : {"step", "stl", "surf"}) {
        const std::string kept = folderWithOldFile(std::string("cli_size_") + extension, extension);
        const std::vector<std::string> args = std::string(extension) == "surf"
                                                  ? std::vector<std::string>{"skin", input, kept}
                                                  : std::vector<std::string>{"export", input, kept};
        EXPECT_EQ(runLimited(args, 4096), 1) << extension;
        EXPECT_EQ(testsupport::readAll(kept), kOld) << extension;
        EXPECT_EQ(namesBeside(kept).size(), 1u) << extension;
    }
}

// Runs "loftwork command input output" and sends it SIGTERM the moment a hidden temporary file
// appears in output's folder; the wait status.
int terminatedWhileWriting(const char* command, const std::string& input,
                           const std::string& output) {
    const int watch = inotify_init1(IN_CLOEXEC);
    const std::string folder = output.substr(0, output.rfind('/'));
    if (watch < 0 || inotify_add_watch(watch, folder.c_str(), IN_CREATE) < 0) return -1;
    fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        execl(LOFTWORK_BINARY, LOFTWORK_BINARY, command, input.c_str(), output.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    alignas(inotify_event) char events[4096];
    for (bool seen = false; !seen;) {
        pollfd ready = {watch, POLLIN, 0};
        if (poll(&ready, 1, 60000) != 1) break;  // none appeared: the child ends by itself
        const ssize_t got = read(watch, events, sizeof events);
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(events + at);
            if (event->len > 0 && std::string(event->name).rfind(".loftwork-", 0) == 0) {
                seen = true;
            }
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    kill(child, SIGTERM);
    int status = 0;
    waitpid(child, &status, 0);
    close(watch);
    return status;
}

// An export or a skin ended by SIGTERM while its temporary file exists removes that file. A
// child that finished its write before the signal reached it proves nothing and is run again.
TEST(ExportFailures, SigtermRemovesTheTemporaryFile) {
    const std::string input = testsupport::scratchDir() + "/terminated_input.surf";
    std::string error;
    ASSERT_TRUE(writeSurfaceFile(input.c_str(), wavySheet(250, 250), error)) << error;
    for (const char* extension : {"step", "stl", "surf"}) {
        const std::string kept = folderWithOldFile(std::string("sigterm_") + extension, extension);
        const char* command = std::string(extension) == "surf" ? "skin" : "export";
        int status = 0;
        for (int attempt = 0; attempt < 5; ++attempt) {
            testsupport::writeText(kept, kOld);
            status = terminatedWhileWriting(command, input, kept);
            if (WIFSIGNALED(status)) break;
        }
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << extension;
        EXPECT_EQ(testsupport::readAll(kept), kOld) << extension;
        EXPECT_EQ(namesBeside(kept), std::vector<std::string>{"kept." + std::string(extension)});
    }
}

// The STEP text of shape as OCCT's writer gives it.
std::string stepTextOf(const TopoDS_Shape& shape) {
    const std::string path = testsupport::scratchDir() + "/reference.step";
    STEPControl_Writer writer;
    EXPECT_EQ(writer.Transfer(shape, STEPControl_AsIs), IFSelect_RetDone);
    EXPECT_EQ(writer.Write(path.c_str()), IFSelect_RetDone);
    return testsupport::readAll(path);
}

// What OCCT's writer returns is checked before it replaces a file: a model without the surface
// (what its translator leaves when it swallows a failed allocation) once replaced a good file
// and was reported as exported, and so would a text cut short.
TEST(ExportFailures, StepTextWithoutTheWholeSurfaceIsRefused) {
    std::string error;
    const SurfaceModel surface = testsupport::rationalUnevenSurface();
    const TopoDS_Face face = makeOcctFace(makeOcctSurface(surface, error), error);
    TopoDS_Compound empty, two;
    BRep_Builder builder;
    builder.MakeCompound(empty);
    builder.MakeCompound(two);
    builder.Add(two, face);
    builder.Add(two, makeOcctFace(makeOcctSurface(testsupport::unclampedSurface(), error), error));
    const std::string whole = stepTextOf(face);
    struct Case {
        std::string text;
        size_t faces;
        const char* reason;  // nullptr: accepted
    };
    const Case cases[] = {
        {whole, 1, nullptr},
        {whole + "\n\n", 1, nullptr},
        {stepTextOf(two), 2, nullptr},
        {stepTextOf(empty), 1, "holds 0 B-spline surfaces in 0 faces, not 1"},
        {stepTextOf(two), 1, "holds 2 B-spline surfaces in 2 faces, not 1"},
        {whole, 2, "not 2"},
        {whole.substr(0, whole.size() / 2), 1, "stops short"},
        {whole.substr(0, whole.rfind("END-ISO")), 1, "stops short"},
        {"", 1, "stops short (0 bytes"},
    };
    for (const Case& c : cases) {
        std::string reason;
        EXPECT_EQ(checkStepText(c.text, c.faces, reason), c.reason == nullptr) << reason;
        if (c.reason != nullptr) {
            EXPECT_NE(reason.find(c.reason), std::string::npos) << reason;
        }
    }
}

}  // namespace
