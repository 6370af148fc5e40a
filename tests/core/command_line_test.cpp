// The command line, run as the real loftwork binary without a display: it must agree with the
// editor's own loading, evaluation and skinning, and report bad input with the right status.
#include "cli/command_line.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "io/editor_file_io.h"
#include "model/derived_nets.h"
#include "model/editor_state.h"
#include "model/knots.h"
#include "model/skinning.h"
#include "support/scratch_files.h"

namespace {

using testsupport::ProcessResult;
using testsupport::readAll;
using testsupport::runLoftwork;
using testsupport::sample;
using testsupport::scratchDir;

bool loadHere(const std::string& path) {
    std::string message;
    return loadEditorSurface(editor, path.c_str(), message);
}

}  // namespace

TEST(CommandLine, RecognisesOnlyItsSubcommands) {
    struct Case {
        std::vector<const char*> args;
        bool command;
    } cases[] = {
        {{"loftwork"}, false},
        {{"loftwork", "--screenshot", "shot.png"}, false},
        {{"loftwork", "examples/vase.surf"}, false},
        {{"loftwork", "info", "x.surf"}, true},
        {{"loftwork", "eval"}, true},
        {{"loftwork", "skin", "a", "b"}, true},
        {{"loftwork", "revolve"}, true},
        {{"loftwork", "--help"}, true},
        {{"loftwork", "-display", ":1", "-geometry", "640x480+0+0", "-sync"}, false},
        // A mistyped subcommand or an unknown option once opened the editor.
        {{"loftwork", "no-such-command"}, true},
        {{"loftwork", "--no-such-option"}, true},
        {{"loftwork", "--screenshot"}, true},
        {{"loftwork", "--screenshot", "shot.png", "bogus"}, true},
        {{"loftwork", "-display"}, true},
    };
    for (const Case& c : cases) {
        std::vector<char*> argv;
        for (const char* a : c.args) argv.push_back(const_cast<char*>(a));
        argv.push_back(nullptr);
        EXPECT_EQ(isCommandLineInvocation(static_cast<int>(c.args.size()), argv.data()), c.command)
            << (c.args.size() > 1 ? c.args[1] : "(no arguments)");
    }
}

TEST(CommandLine, HelpListsTheSubcommands) {
    const ProcessResult run = runLoftwork({"--help"});
    EXPECT_EQ(run.status, 0);
    for (const char* word : {"info FILE", "eval FILE u v", "skin IN OUT", "revolve"}) {
        EXPECT_NE(run.out.find(word), std::string::npos) << word;
    }
}

TEST(CommandLine, UsageErrorsExitWithTwo) {
    const std::string vase = sample("vase.surf");
    const std::vector<std::vector<std::string>> cases = {
        {"info"},
        {"info", vase, vase},
        {"eval", vase},
        {"eval", vase, "0.5"},
        {"eval", vase, "0.5", "half"},
        {"eval", vase, "nan", "0.5"},
        {"skin", vase},
        {"no-such-command"},
        {"--no-such-option", vase},
        {"--screenshot"},
        {"--screenshot", "shot.png", "-geometry"},
    };
    for (const auto& args : cases) {
        const ProcessResult run = runLoftwork(args);
        EXPECT_EQ(run.status, 2) << args.size();
        EXPECT_NE(run.err.find("usage:"), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "");
    }
}

TEST(CommandLine, InfoShowsWhatTheEditorLoads) {
    for (const char* name : {"vase.surf", "hull.surf"}) {
        const std::string path = sample(name);
        ASSERT_TRUE(loadHere(path)) << name;
        const ProcessResult run = runLoftwork({"info", path});
        EXPECT_EQ(run.status, 0) << run.err;
        char line[128];
        snprintf(line, sizeof line, "points U x V: %d x %d\ndegrees U V: %d %d\n",
                 editor.surface.countU, editor.surface.countV, editor.surface.orderU - 1,
                 editor.surface.orderV - 1);
        EXPECT_NE(run.out.find(line), std::string::npos) << run.out;
        std::string knots = "knots V (" + std::to_string(editor.surface.knotsV.size()) + "):";
        for (float k : editor.surface.knotsV) {
            snprintf(line, sizeof line, " %.9g", static_cast<double>(k));
            knots += line;
        }
        EXPECT_NE(run.out.find(knots + "\n"), std::string::npos) << run.out;
    }
}

TEST(CommandLine, BadFilesExitWithOneAndTheReason) {
    const std::string bad = scratchDir() + "/bad.surf";
    FILE* file = fopen(bad.c_str(), "w");
    fputs("FILENAME:x DEGREE_U_V 2 1 N.C.P._U_V 4 3 N.KNOTS_U_V 9 5\n", file);
    fclose(file);
    const std::string fifo = scratchDir() + "/fifo.surf";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    struct Case {
        std::vector<std::string> args;
        const char* reason;
    } cases[] = {
        {{"info", bad}, "knot counts 9 x 5 do not match"},
        {{"eval", bad, "0", "0"}, "knot counts 9 x 5 do not match"},
        {{"skin", bad, scratchDir() + "/out.surf"}, "knot counts 9 x 5 do not match"},
        {{"info", scratchDir() + "/missing.surf"}, "cannot open"},
        // /dev/zero was read until memory ran out; a FIFO blocked for ever.
        {{"info", "/dev/zero"}, "character device, not a regular file"},
        {{"eval", fifo, "0", "0"}, "FIFO, not a regular file"},
        // Past the knots the spans' polynomials were extrapolated into points off the surface.
        {{"eval", sample("vase.surf"), "2", "0.5"},
         "(2, 0.5) is outside the knot range [0, 1] x [0, 1]"},
        {{"info", scratchDir()}, "directory"},
        // A name's control bytes reach the terminal escaped.
        {{"info", scratchDir() + "/\x1b[2J.surf"}, "/\\x1b[2J.surf: cannot open"},
    };
    for (const Case& c : cases) {
        const ProcessResult run = runLoftwork(c.args);
        EXPECT_EQ(run.status, 1) << c.args[0];
        EXPECT_NE(run.err.find(c.reason), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "");
    }
    EXPECT_EQ(readAll(scratchDir() + "/out.surf"), "<missing>");
}

TEST(CommandLine, EvalGivesTheEditorsSurfacePoints) {
    for (const char* name : {"vase.surf", "hull.surf"}) {
        const std::string path = sample(name);
        ASSERT_TRUE(loadHere(path));
        std::vector<std::string> args = {"eval", path};
        std::vector<float> expected;
        for (float u : {0.0f, 0.13f, 0.5f, 0.875f, 1.0f}) {
            for (float v : {0.0f, 0.3f, 0.61f, 1.0f}) {
                char text[32];
                snprintf(text, sizeof text, "%.9g", static_cast<double>(u));
                args.push_back(text);
                snprintf(text, sizeof text, "%.9g", static_cast<double>(v));
                args.push_back(text);
                float x, y, z;
                ASSERT_TRUE(evaluateSurfacePoint(editor.surface, x, y, z, u, v));
                expected.insert(expected.end(), {x, y, z});
            }
        }
        const ProcessResult run = runLoftwork(args);
        ASSERT_EQ(run.status, 0) << run.err;
        // "%.9g" gives every float back exactly.
        std::vector<float> printed;
        const char* p = run.out.c_str();
        char* end = nullptr;
        for (float value = strtof(p, &end); end != p; value = strtof(p, &end)) {
            printed.push_back(value);
            p = end;
        }
        EXPECT_EQ(printed, expected) << name;
        EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 20);
    }
}

// "skin IN OUT" writes what the editor writes when it saves IN with skinning on.
TEST(CommandLine, SkinSavesWhatTheEditorSaves) {
    for (const char* name : {"vase.surf", "hull.surf"}) {
        const std::string path = sample(name);
        const std::string here = scratchDir() + "/skinned-here.surf";
        const std::string there = scratchDir() + "/skinned-there.surf";
        ASSERT_TRUE(loadHere(path));
        editor.panel.skinningEnabled = 1;
        const bool skinned =
            computeSkinning(editor) &&
            skinnedNetUsable(editor.surface, editor.panel.skinningEnabled != 0, editor.derived);
        const ProcessResult run = runLoftwork({"skin", path, there});
        editor.panel.skinningEnabled = 0;
        if (!skinned) {
            EXPECT_EQ(run.status, 1) << name;
            EXPECT_EQ(readAll(there), "<missing>");
            continue;
        }
        editor.panel.skinningEnabled = 1;
        std::string message;
        ASSERT_TRUE(saveEditorSurface(editor, here.c_str(), message)) << message;
        editor.panel.skinningEnabled = 0;
        EXPECT_EQ(run.status, 0) << run.err;
        // Only the FILENAME lines differ: each names its own file.
        const std::string a = readAll(here);
        const std::string b = readAll(there);
        EXPECT_EQ(a.substr(a.find('\n')), b.substr(b.find('\n'))) << name;
        EXPECT_EQ(b.substr(0, b.find('\n')), "FILENAME:" + there);
    }
}

// Control bytes in file names and arguments reach the terminal escaped from every message: the
// file line of info, range errors, export messages and usage errors printed them raw.
TEST(CommandLine, ControlBytesReachTheTerminalEscaped) {
    const std::string named = scratchDir() +
                              "/bell\x07"
                              "and\x1b[2J.surf";
    testsupport::writeText(named, readAll(sample("vase.surf")));
    const std::string vase = sample("vase.surf");
    const std::vector<std::vector<std::string>> cases = {
        {"info", named},
        {"eval", named, "0.5", "2"},
        {"curvature", named, "-1", "0"},
        {"eval", vase, "0.5", "1\x1b[31m"},
        {"skin", vase, "--\x1b[31m"},
        {"skin", named, scratchDir() + "/\x1b]0;title\x07.surf", "--params", "\x7f"},
        {"export", named, scratchDir() + "/esc\x1b[2J.stl"},
        {"export", vase, scratchDir() + "/esc.stl", "--tolerance", "\x1b[2J"},
        {"export", vase, scratchDir() + "/esc.stl", "--\x1b[2J"},
        {"export", vase, scratchDir() + "/esc\x1b.dxf"},
        {"revolve", vase, scratchDir() + "/r.surf", "--section", "\x1b[2J"},
        {"revolve", named, scratchDir() + "/r.surf", "--section", "99"},
        {"\x1b[2Jcommand"},
        {"import", scratchDir() + "/in\x1b[2J.step", scratchDir() + "/i.surf"},
        {"lines", vase, scratchDir() + "/plan\x1b[2J.xyz", "--stations", "3"},
        {"hydrostatics", named, "--draft", "\x1b[2J"},
    };
    for (const auto& args : cases) {
        const ProcessResult run = runLoftwork(args);
        for (const std::string& text : {run.out, run.err}) {
            for (char c : text) {
                EXPECT_TRUE(c == '\n' || (static_cast<unsigned char>(c) >= 0x20 && c != 0x7f))
                    << args[0] << ": " << testing::PrintToString(text);
            }
        }
        EXPECT_NE((run.out + run.err).find("\\x"), std::string::npos) << args[0] << ": " << run.err;
    }
}

// Messages name the real cause: a pair just past the range prints with all its digits, not as
// the range's end; a degree past the points says so rather than printing a range [1, 0]; a
// degree above the editor's bound is refused before minutes of work.
TEST(CommandLine, RefusalsNameTheirCause) {
    const std::string overDegree = scratchDir() + "/over_degree.surf";
    testsupport::writeText(overDegree,
                           "FILENAME:x DEGREE_U_V 3 1 N.C.P._U_V 2 3 N.KNOTS_U_V 6 5\n"
                           "COORD.C.P.(X,Y,Z,W)\n0 0 0 1\n1 0 0 1\n0 1 0 1\n1 1 0 1\n0 2 0 1\n"
                           "1 2 0 1\n");
    std::string high =
        "FILENAME:x DEGREE_U_V 30 1 N.C.P._U_V 31 2 N.KNOTS_U_V 62 4\nCOORD.C.P.(X,Y,Z,W)\n";
    for (int k = 0; k < 62; ++k) {
        high += std::to_string(k % 31) + " " + std::to_string(k / 31) + " 0 1\n";
    }
    const std::string highDegree = scratchDir() + "/high_degree.surf";
    testsupport::writeText(highDegree, high);
    const std::string vase = sample("vase.surf");
    struct Case {
        std::vector<std::string> args;
        const char* says;
        const char* never;
    } cases[] = {
        {{"curvature", vase, "1.0000001", "0.5"}, "(1.00000012, 0.5) is outside", "(1, 0.5)"},
        {{"eval", vase, "0.5", "-1e-7"}, "(0.5, -1.00000001e-07) is outside", nullptr},
        {{"eval", overDegree, "0.5", "0.5"},
         "degree s is 3 but there are only 2 points in s: a surface of degree 3 needs at least 4",
         "[1, 0]"},
        {{"export", overDegree, scratchDir() + "/over.stl"}, "needs at least 4", "[1, 0]"},
        {{"export", highDegree, scratchDir() + "/high.stl"},
         "degrees 30 x 1 are above 23",
         nullptr},
    };
    for (const Case& c : cases) {
        const ProcessResult run = runLoftwork(c.args);
        EXPECT_EQ(run.status, 1) << c.args[0];
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
        if (c.never != nullptr) {
            EXPECT_EQ(run.err.find(c.never), std::string::npos) << run.err;
        }
    }
    EXPECT_EQ(readAll(scratchDir() + "/high.stl"), "<missing>");
}

// A range that ends on a knot repeated degree + 1 times (five points of degree 2 on
// 0 0 0 .5 .5 .5 1 1) ends at the last point of its Bezier segment: eval said "no surface point"
// there, inside the range.
TEST(CommandLine, EvalReachesTheEndOfARangeEndingOnARepeatedKnot) {
    const std::string path = scratchDir() + "/full_knot.surf";
    testsupport::writeText(path,
                           "FILENAME:x DEGREE_U_V 2 1 N.C.P._U_V 5 2 N.KNOTS_U_V 8 4\n"
                           "COORD.C.P.(X,Y,Z,W)\n0 0 0 1\n1 2 0 1\n4 1 2 2\n3 3 3 1\n4 4 4 1\n"
                           "0 0 1 1\n1 2 1 1\n6 3 3 3\n3 3 3 1\n4 4 4 1\n"
                           "KNOTS_U 0 0 0 0.5 0.5 0.5 1 1 KNOTS_V 0 0 1 1\n");
    // At u = .5 the surface is the third point of each section (Cartesian (2, .5, 1) and
    // (2, 1, 1)), and halfway across the sections their weighted mean.
    const ProcessResult run = runLoftwork({"eval", path, "0.5", "0", "0.5", "1", "0.5", "0.5"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "2 0.5 1\n2 1 1\n2 0.800000012 1\n");
}
