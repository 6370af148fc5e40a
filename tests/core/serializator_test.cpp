// Loading and saving the editor's surface through the serializer: round trips, knots a file
// leaves out, refusal of bad files with the state untouched, and saves that fail safely.
#include "io/serializator.h"

#include <dirent.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "model/editor_state.h"
#include "model/gui_hooks.h"
#include "model/knots.h"
#include "model/surface_edit.h"
#include "support/state_text.h"
#include "support/scratch_files.h"

namespace {

// The serializer as the program makes it, over the editor's record.
DefaultSerializator editorFiles(editor);
Serializator* const serializator = &editorFiles;

using testsupport::readAll;
using testsupport::writeText;

std::string scratchPath(const char* name) { return testsupport::scratchDir() + "/" + name; }

std::string repeated(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += text;
    return out;
}

void useFile(const std::string& path) {
    snprintf(editor.panel.surfaceFileName, sizeof editor.panel.surfaceFileName, "%s", path.c_str());
}

// A 5 x 3 surface of orders 3 x 2 with uneven knots and weights, in the editor.
void setFiveByThree() {
    EditorState& s = editor;
    char fileName[kTextFieldSize];
    memcpy(fileName, s.panel.surfaceFileName, sizeof fileName);
    s = EditorState();
    memcpy(s.panel.surfaceFileName, fileName, sizeof fileName);
    s.surface.countU = 5;
    s.surface.countV = 3;
    s.surface.orderU = 3;
    s.surface.orderV = 2;
    s.surface.knotCountU = 8;
    s.surface.knotCountV = 5;
    s.surface.knotsU = {0, 0, 0, 0.2f, 0.7f, 1, 1, 1};
    s.surface.knotsV = {0, 0, 0.4f, 1, 1};
    s.surface.controlNet.clear();
    for (int v = 0; v < 3; ++v) {
        for (int u = 0; u < 5; ++u) {
            const float w = 0.5f + 0.25f * static_cast<float>((u + v) % 3);
            s.surface.controlNet.push_back(
                {0.1f * u * w, (v - 0.3f * u) * w, (0.05f * u * v - 1) * w, w});
        }
    }
    s.derived.multiplicity = 4;
    // Made here, not edited: a load over it keeps no recovery file.
    markSurfaceSaved(s);
}

class SerializatorTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = editor;
        setFiveByThree();
    }
    void TearDown() override { editor = saved_; }
    EditorState saved_;
};

const char kFourByThree[] =
    "FILENAME:x\nDEGREE_U_V\n2 1\nN.C.P._U_V\n4 3\nN.KNOTS_U_V\n7 5\nCOORD.C.P.(X,Y,Z,W)\n"
    "0 0 0 1  1 0 0 1  2 0 0 1  3 0 0 1\n"
    "0 1 0 1  1 1 0 1  2 1 0 1  3 1 0 1\n"
    "0 2 0 1  1 2 0 1  2 2 0 1  3 2 0 1\n";

}  // namespace

TEST_F(SerializatorTest, SaveThenLoadRestoresTheSurface) {
    const EditorState before = editor;
    const std::string path = scratchPath("round-trip.surf");
    useFile(path);
    serializator->save(-1);
    ASSERT_NE(readAll(path), "<missing>") << editor.panel.statusLine;

    setFiveByThree();
    editor.surface.countU = 1;  // something else is loaded meanwhile
    editor.surface.orderV = 7;
    editor.surface.knotsV.assign(3, 9.0f);
    const GuiHookCalls calls = guiHookCalls;
    serializator->load(-1);

    EXPECT_EQ(editor.surface.countU, 5);
    EXPECT_EQ(editor.surface.countV, 3);
    EXPECT_EQ(editor.surface.orderU, 3);
    EXPECT_EQ(editor.surface.orderV, 2);
    EXPECT_EQ(editor.panel.degreeS, 2);
    EXPECT_EQ(editor.panel.degreeT, 1);
    EXPECT_EQ(editor.surface.knotCountU, 8);
    EXPECT_EQ(editor.surface.knotCountV, 5);
    EXPECT_EQ(editor.derived.multiplicity, 1);
    ASSERT_EQ(editor.surface.knotsU.size(), before.surface.knotsU.size());
    ASSERT_EQ(editor.surface.knotsV.size(), before.surface.knotsV.size());
    for (size_t i = 0; i < before.surface.knotsU.size(); ++i) {
        EXPECT_NEAR(editor.surface.knotsU[i], before.surface.knotsU[i], 5e-7);
    }
    for (size_t i = 0; i < before.surface.knotsV.size(); ++i) {
        EXPECT_NEAR(editor.surface.knotsV[i], before.surface.knotsV[i], 5e-7);
    }
    ASSERT_EQ(editor.surface.controlNet.size(), before.surface.controlNet.size());
    for (size_t i = 0; i < before.surface.controlNet.size(); ++i) {
        const PointH& a = editor.surface.controlNet[i];
        const PointH& b = before.surface.controlNet[i];
        EXPECT_NEAR(a.x, b.x, 5e-7);
        EXPECT_NEAR(a.y, b.y, 5e-7);
        EXPECT_NEAR(a.z, b.z, 5e-7);
        EXPECT_NEAR(a.w, b.w, 5e-7);
    }
    EXPECT_EQ(guiHookCalls.rebuildKnotControls, calls.rebuildKnotControls + 1);
    EXPECT_GT(guiHookCalls.refreshPanel, calls.refreshPanel);
    EXPECT_NE(strstr(editor.panel.statusLine, "5 x 3 points"), nullptr) << editor.panel.statusLine;

    // Saving what was loaded writes the same bytes again.
    const std::string first = readAll(path);
    serializator->save(-1);
    EXPECT_EQ(readAll(path), first);
}

TEST_F(SerializatorTest, WritesWeightedValues) {
    editor.surface.controlNet[0] = {0.5f, 1.0f, 1.5f, 0.5f};  // (1, 2, 3) with weight 0.5
    const std::string path = scratchPath("weighted.surf");
    useFile(path);
    serializator->save(-1);
    EXPECT_NE(readAll(path).find("COORD.C.P.(X,Y,Z,W)\n0.500000      1.000000      1.500000      "
                                 "0.500000\n"),
              std::string::npos);
}

TEST_F(SerializatorTest, MissingKnotListsGetClampedUniformKnots) {
    struct Case {
        const char* tail;
        bool fileKnotsU;
        bool fileKnotsV;
    } cases[] = {
        {"", false, false},
        {"KNOTS_V\n0 0 0.25 1 1\n", false, true},
        {"KNOTS_U\n0 0 0 0.1 1 1 1\n", true, false},
        {"KNOTS_U\n0 0 0 0.1 1 1 1\nKNOTS_V\n0 0 0.25 1 1\n", true, true},
        {"knots_u\n0 0 0 0.1 1 1 1\n", false, false},  // headers are case-sensitive
    };
    const float fileU[] = {0, 0, 0, 0.1f, 1, 1, 1};
    const float fileV[] = {0, 0, 0.25f, 1, 1};
    float uniformU[7], uniformV[5];
    fillUniformKnots(uniformU, 7, 3);
    fillUniformKnots(uniformV, 5, 2);
    const std::string path = scratchPath("knots.surf");
    for (const Case& c : cases) {
        setFiveByThree();
        writeText(path, std::string(kFourByThree) + c.tail);
        useFile(path);
        serializator->load(-1);
        ASSERT_EQ(editor.surface.countU, 4) << c.tail << editor.panel.statusLine;
        const float* wantU = c.fileKnotsU ? fileU : uniformU;
        const float* wantV = c.fileKnotsV ? fileV : uniformV;
        EXPECT_EQ(editor.surface.knotsU, std::vector<float>(wantU, wantU + 7)) << c.tail;
        EXPECT_EQ(editor.surface.knotsV, std::vector<float>(wantV, wantV + 5)) << c.tail;
    }
}

TEST_F(SerializatorTest, BlanksTabsAndCarriageReturnsChangeNothing) {
    const std::string path = scratchPath("layout.surf");
    std::string plain = std::string(kFourByThree) + "KNOTS_U\n0 0 0 0.5 1 1 1\n";
    writeText(path, plain);
    useFile(path);
    serializator->load(-1);
    ASSERT_EQ(editor.surface.countU, 4) << editor.panel.statusLine;
    const std::string reference = testsupport::stateText(editor);

    std::string messy;
    for (char c : plain) {
        if (c == '\n') {
            messy += "\r\n\t\n\n";
        } else if (c == ' ') {
            messy += " \t ";
        } else {
            messy += c;
        }
    }
    writeText(path, "\n\n" + messy);
    setFiveByThree();
    serializator->load(-1);
    EXPECT_EQ(testsupport::stateText(editor), reference);
}

TEST_F(SerializatorTest, LoadingASmallerSurfaceKeepsTheSelectionInside) {
    editor.selection.currentSection = 2;
    editor.selection.destPlane = 2;
    editor.selection.selectedPoint = 4;
    editor.selection.pickedPointOffset = 4 * 14;
    const std::string path = scratchPath("smaller.surf");
    writeText(path,
              "FILENAME:x DEGREE_U_V 1 1 N.C.P._U_V 2 2 N.KNOTS_U_V 4 4 "
              "COORD.C.P.(X,Y,Z,W) 0 0 0 1 1 0 0 1 0 1 0 1 1 1 0 1");
    useFile(path);
    serializator->load(-1);
    ASSERT_EQ(editor.surface.countV, 2) << editor.panel.statusLine;
    EXPECT_EQ(editor.selection.currentSection, 1);
    EXPECT_EQ(editor.selection.destPlane, 1);
    EXPECT_EQ(editor.selection.selectedPoint, 1);
    EXPECT_EQ(editor.selection.pickedPointOffset, -1);
}

// Every kind of bad file is refused with a reason, and the editor keeps its surface exactly.
TEST_F(SerializatorTest, BadFilesLeaveTheStateUnchanged) {
    const std::string head = "FILENAME:x\nDEGREE_U_V\n2 1\nN.C.P._U_V\n4 3\nN.KNOTS_U_V\n7 5\n";
    const std::string points = std::string(kFourByThree).substr(head.size());
    struct Case {
        std::string text;
        const char* reason;
    } cases[] = {
        {"", "empty"},
        {" \n\t\r\n", "empty"},
        {"FILENAME:x\nDEGREE_U_V\n2", "ends before the V degree"},
        {"FILENAME:x\nDEGREE_U_V\n2 1\nN.C.P._U_V\n4 3\nN.KNOTS_U_V\n", "ends before the U knot"},
        {"FILENAME:x\nDEGREE_U_V\ntwo 1\n", "U degree is not a valid whole number"},
        {"FILENAME:x\nDEGREE_U_V\n2.5 1\n", "U degree is not a valid whole number"},
        {"FILENAME:x\nDEGREE_U_V\n2 1\nN.C.P._U_V\n99999999999 3\n", "U point count is not"},
        {"FILENAME:x\nDEGREE_U_V\n-1 1\nN.C.P._U_V\n4 3\nN.KNOTS_U_V\n3 5\n", "degrees must be"},
        {"FILENAME:x\nDEGREE_U_V\n2 1\nN.C.P._U_V\n0 3\nN.KNOTS_U_V\n3 5\n", "point counts must"},
        {"FILENAME:x\nDEGREE_U_V\n2 1\nN.C.P._U_V\n4 -3\nN.KNOTS_U_V\n7 -1\n", "point counts must"},
        {head.substr(0, head.size() - 4) + "8 5\n" + points, "knot counts 8 x 5 do not match"},
        {"FILENAME:x\nDEGREE_U_V\n1 1\nN.C.P._U_V\n100000 100000\nN.KNOTS_U_V\n100002 100002\n"
         "COORD.C.P.(X,Y,Z,W)\n0 0 0 1\n",
         "too short"},
        {"FILENAME:x\nDEGREE_U_V\n1 1\nN.C.P._U_V\n2147483647 2147483647\nN.KNOTS_U_V\n"
         "-2147483647 -2147483647\n",
         "do not match"},
        {"FILENAME:x\nDEGREE_U_V\n2000000000 1\nN.C.P._U_V\n2 2\nN.KNOTS_U_V\n2000000003 4\n"
         "COORD.C.P.(X,Y,Z,W)\n0 0 0 1 1 0 0 1 0 1 0 1 1 1 0 1\n",
         "far beyond"},
        {head, "too short to hold 4 x 3 points"},
        {"FILENAME:x DEGREE_U_V 0 0 N.C.P._U_V 1 1 N.KNOTS_U_V 2 2" + std::string(20, '\n'),
         "ends before the COORD"},
        {head + "COORD.C.P.(X,Y,Z,W)\n" + std::string(200, ' '), "ends inside the control points"},
        {std::string(kFourByThree).substr(0, strlen(kFourByThree) - 8),
         "ends inside the control points"},
        {head + points.substr(0, 22) + "1.0abc" + points.substr(23), "\"1.0abc\" is not a finite"},
        {head + points.substr(0, 22) + "nan" + points.substr(23), "\"nan\" is not a finite"},
        {head + points.substr(0, 22) + "-inf" + points.substr(23), "\"-inf\" is not a finite"},
        {head + points.substr(0, 22) + "1e50" + points.substr(23), "\"1e50\" is not a finite"},
        {std::string(kFourByThree) + "KNOTS_U\n0 0 0 0.5 1 1\n", "ends inside the KNOTS_U list"},
        {std::string(kFourByThree) + "KNOTS_U 0 0 0 .5 1 1 1 KNOTS_V 0 0 1 1",
         "ends inside the KNOTS_V list"},
        {std::string(kFourByThree) + "KNOTS_U\n0 0 0 0.5 1 x 1\n", "knot 5 of KNOTS_U"},
        {std::string(kFourByThree) + "KNOTS_V\n0 0 0.5 1 1e39\n", "knot 4 of KNOTS_V"},
        // What the editor cannot draw: GLU refuses orders past 24, and nets past a million
        // points.
        {"FILENAME:x\nDEGREE_U_V\n24 1\nN.C.P._U_V\n25 2\nN.KNOTS_U_V\n50 4\n"
         "COORD.C.P.(X,Y,Z,W)\n" +
             repeated("0 0 0 1\n", 50),
         "degrees 24 x 1 are above 23, the highest the editor draws"},
        {"FILENAME:x\nDEGREE_U_V\n1 1\nN.C.P._U_V\n1001 1000\nN.KNOTS_U_V\n1003 1002\n"
         "COORD.C.P.(X,Y,Z,W)\n" +
             repeated("0 0 0 1\n", 1001 * 1000),
         "1001 x 1000 points are more than the 1000000 points the editor can draw"},
    };
    const std::string path = scratchPath("bad.surf");
    useFile(path);
    for (const Case& c : cases) {
        writeText(path, c.text);
        editor.panel.statusLine[0] = '\0';
        const std::string before = testsupport::stateText(editor);
        const GuiHookCalls calls = guiHookCalls;
        serializator->load(-1);
        EXPECT_EQ(testsupport::stateText(editor), before) << c.reason;
        EXPECT_EQ(guiHookCalls.rebuildKnotControls, calls.rebuildKnotControls) << c.reason;
        EXPECT_NE(strstr(editor.panel.statusLine, c.reason), nullptr)
            << "want \"" << c.reason << "\", got \"" << editor.panel.statusLine << "\"";
        EXPECT_NE(strstr(editor.panel.statusLine, "cannot load"), nullptr)
            << editor.panel.statusLine;
    }

    // Files that cannot be read at all.
    for (const std::string& unreadable : {scratchPath("does-not-exist.surf"), scratchPath("")}) {
        useFile(unreadable);
        const std::string before = testsupport::stateText(editor);
        serializator->load(-1);
        EXPECT_EQ(testsupport::stateText(editor), before);
        EXPECT_NE(strstr(editor.panel.statusLine, "cannot load"), nullptr)
            << editor.panel.statusLine;
    }
}

// Skinning can give weights of 0 or below; what the editor saves must load again.
TEST_F(SerializatorTest, NonPositiveWeightsLoadAgain) {
    editor.surface.controlNet[3].w = 0.0f;
    editor.surface.controlNet[7] = {0.5f, -1.0f, 0.25f, -0.5f};
    const std::string path = scratchPath("weights.surf");
    useFile(path);
    serializator->save(-1);
    setFiveByThree();
    editor.surface.controlNet.clear();
    serializator->load(-1);
    ASSERT_EQ(editor.surface.controlNet.size(), 15u) << editor.panel.statusLine;
    EXPECT_EQ(editor.surface.controlNet[3].w, 0.0f);
    EXPECT_EQ(editor.surface.controlNet[7].w, -0.5f);
    EXPECT_EQ(editor.surface.controlNet[7].y, -1.0f);
}

// The skinned net is written with its own V knots, so the file holds the surface shown.
TEST_F(SerializatorTest, SavingWhileSkinningWritesTheSkinnedSurface) {
    editor.panel.skinningEnabled = 1;
    editor.derived.skinnedNet = editor.surface.controlNet;
    for (PointH& P : editor.derived.skinnedNet) P.z += 2.0f * P.w;
    editor.derived.skinnedKnotsV = {0, 0, 0.75f, 1, 1};
    const std::string path = scratchPath("skinned.surf");
    useFile(path);
    serializator->save(-1);
    const std::vector<PointH> skinned = editor.derived.skinnedNet;

    editor.panel.skinningEnabled = 0;
    serializator->load(-1);
    ASSERT_EQ(editor.surface.controlNet.size(), skinned.size()) << editor.panel.statusLine;
    for (size_t i = 0; i < skinned.size(); ++i)
        EXPECT_NEAR(editor.surface.controlNet[i].z, skinned[i].z, 5e-7);
    EXPECT_EQ(editor.surface.knotsV, std::vector<float>({0, 0, 0.75f, 1, 1}));

    // A skinned net that no longer fits the surface is not written; the control net is.
    setFiveByThree();
    editor.panel.skinningEnabled = 1;
    editor.derived.skinnedNet.assign(4, PointH{9, 9, 9, 1});
    editor.derived.skinnedKnotsV = {0, 0, 0.75f, 1, 1};
    serializator->save(-1);
    EXPECT_NE(strstr(editor.panel.statusLine, "control net"), nullptr) << editor.panel.statusLine;
    EXPECT_EQ(readAll(path).find("9.000000"), std::string::npos);
    EXPECT_NE(readAll(path).find("KNOTS_V\n0.000000\n0.000000\n0.400000\n"), std::string::npos);
}

TEST_F(SerializatorTest, SavingNothingWritesNothing) {
    editor = EditorState();
    const std::string path = scratchPath("nothing.surf");
    useFile(path);
    serializator->save(-1);
    EXPECT_EQ(readAll(path), "<missing>");
    EXPECT_NE(strstr(editor.panel.statusLine, "cannot save"), nullptr) << editor.panel.statusLine;

    setFiveByThree();
    editor.surface.controlNet[2].y = NAN;
    serializator->save(-1);
    EXPECT_EQ(readAll(path), "<missing>");
    EXPECT_NE(strstr(editor.panel.statusLine, "not a finite number"), nullptr)
        << editor.panel.statusLine;
}

// A save that fails part way (a full disk, here the file size limit of a child process) keeps
// the previous file byte for byte, and says so.
TEST_F(SerializatorTest, AFailedSaveKeepsThePreviousFile) {
    const std::string path = scratchPath("kept.surf");
    useFile(path);
    serializator->save(-1);
    const std::string previous = readAll(path);
    ASSERT_NE(previous, "<missing>");

    editor.surface.countU = 300;  // a surface far larger than the limit below
    editor.surface.countV = 100;
    editor.surface.knotCountU = 303;
    editor.surface.knotCountV = 102;
    editor.surface.controlNet.assign(30000, PointH{1, 2, 3, 1});
    editor.surface.knotsU.assign(303, 0.5f);
    editor.surface.knotsV.assign(102, 0.5f);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit = {static_cast<rlim_t>(previous.size() + 100),
                              static_cast<rlim_t>(previous.size() + 100)};
        setrlimit(RLIMIT_FSIZE, &limit);
        serializator->save(-1);
        _exit(strstr(editor.panel.statusLine, "cannot save") != nullptr ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(readAll(path), previous);

    // A folder where the file should be, and a folder that is really a file.
    for (const std::string& target : {scratchPath(""), path + "/under-a-file.surf"}) {
        useFile(target);
        serializator->save(-1);
        EXPECT_NE(strstr(editor.panel.statusLine, "cannot save"), nullptr)
            << editor.panel.statusLine;
    }
    EXPECT_EQ(readAll(path), previous);
}

namespace {

// Saves the editor's surface to path in a child process that runs as the unprivileged user
// "nobody" (root writes wherever it likes, whatever the permissions); returns its status line.
std::string saveAsNobody(const std::string& path) {
    int out[2];
    if (pipe(out) != 0) return "<no pipe>";
    const pid_t child = fork();
    if (child == 0) {
        close(out[0]);
        if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) _exit(2);
        useFile(path);
        serializator->save(-1);
        const ssize_t written =
            write(out[1], editor.panel.statusLine, strlen(editor.panel.statusLine));
        _exit(written >= 0 ? 0 : 3);
    }
    close(out[1]);
    std::string status;
    char buffer[256];
    ssize_t got;
    while ((got = read(out[0], buffer, sizeof buffer)) > 0) status.append(buffer, got);
    close(out[0]);
    int exitStatus = 0;
    waitpid(child, &exitStatus, 0);
    if (!WIFEXITED(exitStatus) || WEXITSTATUS(exitStatus) != 0) return "<the child failed>";
    return status;
}

int entriesIn(const std::string& dir) {
    int count = 0;
    if (DIR* listing = opendir(dir.c_str())) {
        while (const dirent* entry = readdir(listing)) count += entry->d_name[0] != '.' ? 1 : 0;
        closedir(listing);
    }
    return count;
}

}  // namespace

// Saves the system refuses: the status line names the cause, the previous file keeps every
// byte and no stray file is left beside it.
TEST_F(SerializatorTest, RefusedSavesSayWhyAndKeepThePreviousFile) {
    // A folder the user may not write to (root owns it, mode 0755), holding the previous file.
    const std::string folder = scratchPath("locked");
    ASSERT_EQ(chmod(scratchPath("").c_str(), 0755), 0);  // let "nobody" reach the folder
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    const std::string kept = folder + "/kept.surf";
    useFile(kept);
    serializator->save(-1);
    const std::string previous = readAll(kept);
    ASSERT_NE(previous, "<missing>") << editor.panel.statusLine;
    editor.surface.controlNet[0].x = 42.0f;
    const std::string status = saveAsNobody(kept);
    EXPECT_NE(status.find("cannot save " + kept), std::string::npos) << status;
    EXPECT_NE(status.find("Permission denied"), std::string::npos) << status;
    EXPECT_EQ(readAll(kept), previous);
    EXPECT_EQ(entriesIn(folder), 1);

    // A full disk.
    useFile("/dev/full");
    serializator->save(-1);
    EXPECT_NE(strstr(editor.panel.statusLine, "No space left on device"), nullptr)
        << editor.panel.statusLine;

    // Names that fill the 299 characters of the "file" box. One whose last part is too long for
    // the file system is refused as such; one of legal parts is saved under exactly that name,
    // and the file whose name is one character shorter stays as it was.
    const std::string base = scratchPath("") + "long/";
    ASSERT_EQ(mkdir(base.c_str(), 0755), 0);
    const std::string tooLong = base + std::string(299 - base.size(), 'n');
    std::string legal = base + std::string(200, 'd');
    ASSERT_EQ(mkdir(legal.c_str(), 0755), 0);
    legal += "/" + std::string(299 - legal.size() - 1, 'f');
    ASSERT_EQ(tooLong.size(), 299u);
    ASSERT_EQ(legal.size(), 299u);
    const std::string shorter = legal.substr(0, 298);
    writeText(shorter, "the previous file");
    useFile(tooLong);
    serializator->save(-1);
    EXPECT_NE(strstr(editor.panel.statusLine, "File name too long"), nullptr)
        << editor.panel.statusLine;
    useFile(legal);
    serializator->save(-1);
    EXPECT_EQ(std::string(editor.panel.statusLine).find("saved " + legal + ":"), 0u)
        << editor.panel.statusLine;
    EXPECT_NE(readAll(legal), "<missing>");
    EXPECT_EQ(readAll(shorter), "the previous file");
    EXPECT_EQ(entriesIn(base), 1);
}

// Six decimals wrote a surface a few millionths across, or a weight of 4e-8, as zeros while the
// status said "saved". Such saves are refused naming the first point and the previous file
// stays; noise far below the net's size still saves, and reads back as the values written.
TEST_F(SerializatorTest, SavesThatSixDecimalsCannotHoldAreRefused) {
    const std::string path = scratchPath("six-decimals.surf");
    useFile(path);
    serializator->save(-1);
    const std::string previous = readAll(path);
    ASSERT_NE(previous, "<missing>") << editor.panel.statusLine;
    struct Case {
        const char* name;
        void (*change)(SurfaceModel& surface);
        const char* refusal;  // null: saved
    } cases[] = {
        {"a surface 1e-7 across",
         [](SurfaceModel& s) {
             for (PointH& p : s.controlNet) p = {p.x * 1e-7f, p.y * 1e-7f, p.z * 1e-7f, p.w};
         },
         "point 0 of section 0"},
        {"a weight of 4e-8",
         [](SurfaceModel& s) {
             s.controlNet[7] = {4e-8f, 4e-8f, 4e-8f, 4e-8f};
         },
         "point 2 of section 1 (4e-08 4e-08 4e-08, weight 4e-08) would be written as (0.000000 "
         "0.000000 0.000000, weight 0.000000): six decimals cannot hold its weight"},
        {"knots a millionth apart",
         [](SurfaceModel& s) { s.knotsU = {0, 0, 0, 2e-7f, 7e-7f, 1e-6f, 1e-6f, 1e-6f}; },
         "knot 3 of KNOTS_U (2e-07) would be written as 0.000000"},
        {"rotation noise on a unit net", [](SurfaceModel& s) { s.controlNet[3].y = -4.37e-8f; },
         nullptr},
    };
    for (const Case& c : cases) {
        setFiveByThree();
        useFile(path);
        c.change(editor.surface);
        const SurfaceModel written = editor.surface;
        serializator->save(-1);
        const std::string status = editor.panel.statusLine;
        if (c.refusal != nullptr) {
            EXPECT_EQ(status.find("cannot save " + path + ": "), 0u) << c.name << ": " << status;
            EXPECT_NE(status.find(c.refusal), std::string::npos) << c.name << ": " << status;
            EXPECT_EQ(readAll(path), previous) << c.name;
            continue;
        }
        EXPECT_EQ(status.find("saved " + path), 0u) << c.name << ": " << status;
        serializator->load(-1);
        ASSERT_EQ(editor.surface.controlNet.size(), written.controlNet.size()) << c.name;
        for (size_t i = 0; i < written.controlNet.size(); ++i) {
            const float* a = &editor.surface.controlNet[i].x;
            const float* b = &written.controlNet[i].x;
            for (int k = 0; k < 4; ++k) EXPECT_NEAR(a[k], b[k], 5e-7) << c.name << " " << i;
        }
    }
}

// The rename replaced a read-only file silently; it is kept byte for byte, with a message.
TEST_F(SerializatorTest, AReadOnlyFileIsKeptByteForByte) {
    const std::string path = scratchPath("read-only.surf");
    useFile(path);
    serializator->save(-1);
    const std::string previous = readAll(path);
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    editor.surface.controlNet[0].x = 42.0f;
    serializator->save(-1);
    EXPECT_EQ(
        std::string(editor.panel.statusLine),
        "cannot save " + path + ": it is read-only (permissions 0444): it was kept as it was");
    EXPECT_EQ(readAll(path), previous);
}

// The reason once named the folder again after the file's own path, so with a long name the
// status line was cut before the cause.
TEST_F(SerializatorTest, AFailedSaveUnderALongNameStillShowsTheCause) {
    ASSERT_EQ(chmod(scratchPath("").c_str(), 0755), 0);
    ASSERT_EQ(mkdir(scratchPath("locked-long").c_str(), 0755), 0);
    const std::string folder = scratchPath("locked-long/") + std::string(220, 'd');
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    const std::string path = folder + "/" + std::string(299 - folder.size() - 1, 'p');
    const std::string status = saveAsNobody(path);
    EXPECT_NE(status.find("Permission denied"), std::string::npos) << status;
}
