// The surface text format on its own: the exact text written, printf-exact numbers, readers'
// tolerance of layout, and file replacement that never damages the previous file.
#include "io/surface_file.h"
#include "support/scratch_files.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

using testsupport::readAll;
using testsupport::scratchDir;
using testsupport::writeText;

int filesIn(const std::string& dir) {
    int count = 0;
    FILE* listing = popen(("ls -A " + dir).c_str(), "r");
    char line[512];
    while (fgets(line, sizeof line, listing)) ++count;
    pclose(listing);
    return count;
}

std::string printfFixed(float value) {
    char buffer[80];
    snprintf(buffer, sizeof buffer, "%f", static_cast<double>(value));
    return buffer;
}

std::string fixed6(float value) {
    std::string text;
    appendFixed6(text, value);
    return text;
}

}  // namespace

TEST(AppendFixed6, MatchesPrintfOnEdgeValues) {
    const float values[] = {0.0f,          -0.0f,      1.0f,        -1.0f,      0.5f,
                            1.0f / 128,    3.0f / 128, -5.0f / 128, 1e-7f,      -1e-7f,
                            4.9999995e-7f, 5e-7f,      0.9999995f,  0.1f,       123456.789f,
                            1e12f,         -1e12f,     9.9e11f,     1e13f,      3.4e38f,
                            -3.4e38f,      1e-45f,     1234567.5f,  0.0000015f, 2.5e-6f};
    for (float v : values) EXPECT_EQ(fixed6(v), printfFixed(v)) << v;
}

TEST(AppendFixed6, MatchesPrintfOnRandomFloats) {
    std::mt19937 random(7);
    for (int i = 0; i < 300000; ++i) {
        float v;
        if (i % 2 == 0) {
            // Any finite bit pattern.
            uint32_t bits = static_cast<uint32_t>(random());
            memcpy(&v, &bits, sizeof v);
            if (!std::isfinite(v)) continue;
        } else {
            // Values of the size surfaces have, where the rounding digit matters.
            v = std::uniform_real_distribution<float>(-20.0f, 20.0f)(random);
        }
        ASSERT_EQ(fixed6(v), printfFixed(v)) << std::hexfloat << v;
    }
}

// A 2 x 2 surface of degrees 1 x 1 with one weighted point.
SurfaceModel smallSurface(const PointH* points, const float* knots) {
    SurfaceModel surface;
    surface.orderU = surface.orderV = 2;
    surface.countU = surface.countV = 2;
    surface.knotCountU = surface.knotCountV = 4;
    surface.controlNet.assign(points, points + 4);
    surface.knotsU.assign(knots, knots + 4);
    surface.knotsV.assign(knots, knots + 4);
    return surface;
}

TEST(FormatSurfaceText, WritesTheExactLayout) {
    const PointH points[] = {{0.5f, 1.0f, 1.5f, 0.5f}, {1, 0, 0, 1}, {0, 1, 0, 1}, {1, 1, -2, 1}};
    const float knots[] = {0, 0, 1, 1};
    std::string text;
    formatSurfaceText(smallSurface(points, knots), "net.surf", text);
    const char* expected =
        "FILENAME:net.surf\n"
        "DEGREE_U_V\n     1     1\n"
        "N.C.P._U_V\n     2     2\n"
        "N.KNOTS_U_V\n     4     4\n"
        "COORD.C.P.(X,Y,Z,W)\n"
        "0.500000      1.000000      1.500000      0.500000\n"
        "1.000000      0.000000      0.000000      1.000000\n"
        "\n\n\n"
        "0.000000      1.000000      0.000000      1.000000\n"
        "1.000000      1.000000      -2.000000      1.000000\n"
        "\n\n\n"
        "\n\n\nKNOTS_U\n0.000000\n0.000000\n1.000000\n1.000000\n"
        "\n\n\nKNOTS_V\n0.000000\n0.000000\n1.000000\n1.000000\n";
    EXPECT_EQ(text, expected);
}

TEST(FormatSurfaceText, KeepsAFileNameWithBlanksOneToken) {
    const PointH points[] = {{0, 0, 0, 1}, {1, 0, 0, 1}, {0, 1, 0, 1}, {1, 1, 0, 1}};
    const float knots[] = {0, 0, 1, 1};
    std::string text;
    formatSurfaceText(smallSurface(points, knots), "my surfaces/a\tb.surf", text);
    EXPECT_EQ(text.substr(0, text.find('\n')), "FILENAME:my_surfaces/a_b.surf");
    SurfaceModel file;
    std::string error;
    ASSERT_TRUE(parseSurfaceText(text.data(), text.size(), file, error)) << error;
    EXPECT_EQ(file.countU, 2);
    EXPECT_EQ(file.controlNet[3].y, 1.0f);
}

const char kSmallFile[] =
    "FILENAME:a.surf\nDEGREE_U_V\n 2 1\nN.C.P._U_V\n 3 2\nN.KNOTS_U_V\n 6 4\n"
    "COORD.C.P.(X,Y,Z,W)\n"
    "0 0 0 1\n1 0 0 1\n2 0.5 0 0.5\n0 1 0 1\n1 1 0 1\n2 1 1 1\n"
    "KNOTS_U\n0 0 0 1 1 1\nKNOTS_V\n0 0 1 1\n";

TEST(ParseSurfaceText, LayoutDoesNotMatter) {
    SurfaceModel reference;
    std::string error;
    ASSERT_TRUE(parseSurfaceText(kSmallFile, strlen(kSmallFile), reference, error)) << error;
    EXPECT_EQ(reference.controlNet[2].y, 0.5f);
    EXPECT_EQ(reference.knotsU, (std::vector<float>{0, 0, 0, 1, 1, 1}));

    std::string tabs = kSmallFile, crlf, oneLine = kSmallFile, noFinalNewline = kSmallFile;
    for (char& c : tabs) c = c == ' ' ? '\t' : c;
    for (char c : std::string(kSmallFile))
        crlf += c == '\n' ? std::string("\r\n\n\n") : std::string(1, c);
    for (char& c : oneLine) c = c == '\n' ? ' ' : c;
    noFinalNewline.pop_back();
    for (const std::string& variant : {tabs, crlf, oneLine, noFinalNewline}) {
        SurfaceModel file;
        ASSERT_TRUE(parseSurfaceText(variant.data(), variant.size(), file, error)) << error;
        EXPECT_EQ(0, memcmp(file.controlNet.data(), reference.controlNet.data(),
                            sizeof(PointH) * reference.controlNet.size()));
        EXPECT_EQ(file.knotsU, reference.knotsU);
        EXPECT_EQ(file.knotsV, reference.knotsV);
    }
}

TEST(ParseSurfaceText, ReadsAFileNameLineWithBlanks) {
    std::string text = kSmallFile;
    text.replace(0, strlen("FILENAME:a.surf"), "FILENAME:/home/me/my surfaces/a 2.surf");
    SurfaceModel file;
    std::string error;
    ASSERT_TRUE(parseSurfaceText(text.data(), text.size(), file, error)) << error;
    EXPECT_EQ(file.countU, 3);
    EXPECT_EQ(file.countV, 2);
    EXPECT_EQ(file.controlNet[5].z, 1.0f);
    EXPECT_EQ(file.knotsV, (std::vector<float>{0, 0, 1, 1}));
}

TEST(ParseSurfaceText, AcceptsALongFileNameToken) {
    std::string text = kSmallFile;
    text.replace(0, strlen("FILENAME:a.surf"), "FILENAME:" + std::string(299, 'p'));
    SurfaceModel file;
    std::string error;
    EXPECT_TRUE(parseSurfaceText(text.data(), text.size(), file, error)) << error;
}

// The last number of a text that does not end in white space must not be read past its end.
TEST(ParseSurfaceText, StopsAtTheEndOfAnUnterminatedBuffer) {
    std::string text = kSmallFile;
    text.pop_back();  // "... 0 0 1 1" without newline
    text += "5";      // the buffer goes on, but the parser is told it ends before this digit
    SurfaceModel file;
    std::string error;
    ASSERT_TRUE(parseSurfaceText(text.data(), text.size() - 1, file, error)) << error;
    EXPECT_EQ(file.knotsV[3], 1.0f);
}

TEST(WriteFileReplacing, ReplacesTheFileAndKeepsItsPermissions) {
    const std::string path = scratchDir() + "/kept-mode.surf";
    writeText(path, "old");
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    std::string error;
    ASSERT_TRUE(writeFileReplacing(path.c_str(), "new contents", error)) << error;
    EXPECT_EQ(readAll(path), "new contents");
    struct stat info;
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
}

TEST(WriteFileReplacing, WritesThroughASymbolicLink) {
    const std::string target = scratchDir() + "/link-target.surf";
    const std::string link = scratchDir() + "/link.surf";
    writeText(target, "old");
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    std::string error;
    ASSERT_TRUE(writeFileReplacing(link.c_str(), "through the link", error)) << error;
    struct stat info;
    ASSERT_EQ(lstat(link.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(readAll(target), "through the link");
}

TEST(WriteFileReplacing, ReportsPathsThatCannotBeWritten) {
    const std::string dir = scratchDir() + "/unwritable";
    ASSERT_EQ(mkdir(dir.c_str(), 0755), 0);
    writeText(dir + "/plain", "a regular file");
    const int before = filesIn(dir);
    struct Case {
        std::string path;
        const char* reason;
    } cases[] = {
        {dir, "directory"},
        {dir + "/plain/below.surf", "Not a directory"},
        {dir + "/missing/below.surf", "No such file"},
        {"", "no file name"},
        {"/dev/full", "No space"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(writeFileReplacing(c.path.c_str(), std::string(100, 'x'), error)) << c.path;
        EXPECT_NE(error.find(c.reason), std::string::npos) << c.path << ": " << error;
    }
    EXPECT_EQ(readAll(dir + "/plain"), "a regular file");
    EXPECT_EQ(filesIn(dir), before);
}

// A write that fails half way (here: the file size limit) leaves the old file byte for byte
// and no temporary file behind, whether SIGXFSZ is ignored or would end the process (it did, and
// left the temporary file).
TEST(WriteFileReplacing, AFailedWriteKeepsThePreviousFile) {
    const std::string dir = scratchDir() + "/limited";
    ASSERT_EQ(mkdir(dir.c_str(), 0755), 0);
    const std::string path = dir + "/surface.surf";
    const std::string previous = "previous contents\n";
    writeText(path, previous);
    for (auto disposition : {SIG_IGN, SIG_DFL}) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            signal(SIGXFSZ, disposition);
            const rlimit limit = {4096, 4096};
            setrlimit(RLIMIT_FSIZE, &limit);
            std::string error;
            const bool written = writeFileReplacing(path.c_str(), std::string(100000, 'n'), error);
            _exit(!written && error.find("file size limit") != std::string::npos ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        EXPECT_EQ(readAll(path), previous);
        EXPECT_EQ(filesIn(dir), 1);
    }
}

// The rename replaced a read-only file whatever its permissions, and gave it the saver as owner.
TEST(WriteFileReplacing, KeepsAReadOnlyFileByteForByte) {
    const std::string dir = scratchDir() + "/read-only";
    ASSERT_EQ(mkdir(dir.c_str(), 0755), 0);
    const std::string previous = "FILENAME:kept\n1 2 3\n";
    struct Case {
        const char* name;
        mode_t mode;
        bool throughLink;
    } cases[] = {
        {"r--r--r--", 0444, false},
        {"r--------", 0400, false},
        {"r-x------", 0500, false},
        {"through a link", 0444, true},
    };
    for (const Case& c : cases) {
        const std::string path = dir + "/" + c.name;
        writeText(path, previous);
        ASSERT_EQ(chmod(path.c_str(), c.mode), 0);
        std::string named = path;
        if (c.throughLink) {
            named = path + ".link";
            ASSERT_EQ(symlink(path.c_str(), named.c_str()), 0);
        }
        std::string error;
        EXPECT_FALSE(writeFileReplacing(named.c_str(), "new contents", error)) << c.name;
        EXPECT_NE(error.find("read-only"), std::string::npos) << c.name << ": " << error;
        EXPECT_EQ(readAll(path), previous) << c.name;
        struct stat info;
        ASSERT_EQ(stat(path.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, c.mode) << c.name;
    }
    EXPECT_EQ(filesIn(dir), 5);
}

// Counts of several digits once overflowed the header line and glued the first point to it.
TEST(FormatSurfaceText, LongCountsKeepTheHeaderIntact) {
    const int countU = 1000, countV = 12;
    std::vector<PointH> points(static_cast<size_t>(countU) * countV, PointH{1, 2, 3, 1});
    std::vector<float> knotsU(countU + 4, 0.5f), knotsV(countV + 3, 0.25f);
    SurfaceModel surface;
    surface.orderU = 4;
    surface.orderV = 3;
    surface.countU = countU;
    surface.countV = countV;
    surface.knotCountU = countU + 4;
    surface.knotCountV = countV + 3;
    surface.controlNet = points;
    surface.knotsU = knotsU;
    surface.knotsV = knotsV;
    std::string text;
    formatSurfaceText(surface, "long.surf", text);
    EXPECT_EQ(text.substr(0, text.find("1.000000")),
              "FILENAME:long.surf\nDEGREE_U_V\n     3     2\nN.C.P._U_V\n     1000     12\n"
              "N.KNOTS_U_V\n     1004     15\nCOORD.C.P.(X,Y,Z,W)\n");
    SurfaceModel file;
    std::string error;
    ASSERT_TRUE(parseSurfaceText(text.data(), text.size(), file, error)) << error;
    EXPECT_EQ(file.controlNet.size(), points.size());
    EXPECT_EQ(file.knotsV, knotsV);
}
