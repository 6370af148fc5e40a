// "loftwork lines", "offsets" and "from-offsets" run as the real program: usage errors and
// refusals, and the files they write read back by other programs (ezdxf, pdfinfo, rsvg-convert)
// and checked against the Wigley hull's closed form.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "io/editor_file_io.h"
#include "io/surface_file.h"
#include "model/plane_cuts.h"
#include "support/cut_surfaces.h"
#include "support/scratch_files.h"

namespace {

using testsupport::kB;
using testsupport::kL;
using testsupport::kT;
using testsupport::wigleyZ;

const std::string& wigleyFile() {
    static std::string path;
    if (path.empty()) {
        path = testsupport::scratchDir() + "/wigley.surf";
        std::string error;
        EXPECT_TRUE(writeSurfaceFile(path.c_str(), testsupport::wigley(), error)) << error;
    }
    return path;
}

std::string scratch(const std::string& name) {
    const std::string path = testsupport::scratchDir() + "/" + name;
    remove(path.c_str());
    return path;
}

// Runs a shell command line, its standard output returned and its status in status.
std::string shell(const std::string& command, int& status) {
    std::string out;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return out;
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, got);
    const int raw = pclose(pipe);
    status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return out;
}

struct CliCase {
    const char* name;
    std::vector<std::string> arguments;  // IN stands for the Wigley hull, OUT... for an output
    int status;
    const char* message;  // part of standard error
};

void PrintTo(const CliCase& c, std::ostream* out) {
    *out << c.name;
}

const CliCase kCases[] = {
    {"lines_alone", {"lines"}, 2, "usage: loftwork lines"},
    {"lines_no_families", {"lines", "IN", "OUT.dxf"}, 2, "give stations, waterlines"},
    {"stations_without_value", {"lines", "IN", "OUT.dxf", "--stations"}, 2, "needs a list"},
    {"stations_not_numbers", {"lines", "IN", "OUT.dxf", "--stations", "0,a"}, 2, "not a list"},
    {"stations_count_zero", {"lines", "IN", "OUT.dxf", "--stations", "0"}, 2, "a count from 1"},
    {"stations_twice", {"lines", "IN", "OUT.dxf", "--stations", "3", "--stations=4"}, 2, "twice"},
    {"diagonal_three_numbers", {"lines", "IN", "OUT.dxf", "--diagonal", "0 1 1"}, 2, "not a plane"},
    {"diagonal_no_normal", {"lines", "IN", "OUT.dxf", "--diagonal", "0 0 0 1"}, 2, "not a plane"},
    {"mirror_across_x", {"lines", "IN", "OUT.dxf", "--stations", "3", "--mirror", "x=0"}, 2,
     "not a centre plane"},
    {"scale_not_one_to_n", {"lines", "IN", "OUT.pdf", "--stations", "3", "--scale", "2:3"}, 2,
     "not a scale"},
    {"unit_feet", {"lines", "IN", "OUT.pdf", "--stations", "3", "--unit", "ft"}, 2, "unknown unit"},
    {"templates_as_svg", {"lines", "IN", "OUT.svg", "--stations", "3", "--templates"}, 2,
     "--templates writes a .pdf"},
    {"templates_without_stations", {"lines", "IN", "OUT.pdf", "--waterlines", "3", "--templates"},
     2, "--templates needs --stations"},
    {"unknown_option", {"lines", "IN", "OUT.dxf", "--stations", "3", "--frames"}, 2,
     "unknown option"},
    {"unknown_extension", {"lines", "IN", "OUT.png", "--stations", "3"}, 1, "unknown extension"},
    {"negative_tolerance", {"lines", "IN", "OUT.dxf", "--stations", "3", "--tolerance", "-1"}, 1,
     "positive number"},
    {"missing_surface", {"lines", "nowhere.surf", "OUT.dxf", "--stations", "3"}, 1,
     "cannot load nowhere.surf"},
    {"lines_missing_the_hull", {"lines", "IN", "OUT.dxf", "--stations", "7,8"}, 1,
     "none of the lines meets the surface"},
    {"offsets_without_waterlines", {"offsets", "IN", "OUT.csv", "--stations", "3"}, 2,
     "needs --stations and --waterlines"},
    {"offsets_with_buttocks",
     {"offsets", "IN", "OUT.csv", "--stations", "3", "--waterlines", "3", "--buttocks", "2"}, 2,
     "no buttocks"},
    {"from_offsets_degree_zero", {"from-offsets", "IN", "OUT.surf", "--degree-u", "0"}, 2,
     "not a degree"},
    {"from_offsets_missing_table", {"from-offsets", "nowhere.csv", "OUT.surf"}, 1,
     "cannot read nowhere.csv"},
};

class LinesCommands : public testing::TestWithParam<CliCase> {};

TEST_P(LinesCommands, ExitAndSayWithoutWriting) {
    const CliCase& c = GetParam();
    std::vector<std::string> arguments;
    std::string output;
    for (const std::string& argument : c.arguments) {
        if (argument == "IN") {
            arguments.push_back(wigleyFile());
        } else if (argument.rfind("OUT", 0) == 0) {
            output = scratch(std::string(c.name) + argument.substr(3));
            arguments.push_back(output);
        } else {
            arguments.push_back(argument);
        }
    }
    const testsupport::ProcessResult run = testsupport::runLoftwork(arguments);
    EXPECT_EQ(run.status, c.status) << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    if (!output.empty()) {
        EXPECT_EQ(testsupport::readAll(output), "<missing>");
    }
}

INSTANTIATE_TEST_SUITE_P(
    UsageAndRefusals, LinesCommands, testing::ValuesIn(kCases),
    [](const testing::TestParamInfo<CliCase>& info) { return std::string(info.param.name); });

// The DXF as ezdxf reads it: the four layers, three views of every cut, one label per cut, and
// the stations' traces in the profile at their x.
TEST(LinesPlanFiles, DxfReadsBackWithItsLayersAndCurves) {
    const std::string dxf = scratch("wigley.dxf");
    const testsupport::ProcessResult run = testsupport::runLoftwork(
        {"lines", wigleyFile(), dxf, "--stations=-1.5,-0.5,0,1", "--waterlines", "-0.2,-0.1,-0.05",
         "--buttocks", "0.05,0.15", "--diagonal", "0 1 1 0"});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string script = testsupport::scratchDir() + "/read_dxf.py";
    testsupport::writeText(script, R"(
import sys, ezdxf
doc = ezdxf.readfile(sys.argv[1])
layers = sorted(l.dxf.name for l in doc.layers)
print("layers", " ".join(layers))
msp = doc.modelspace()
for layer in ("STATIONS", "WATERLINES", "BUTTOCKS", "DIAGONALS"):
    lines = msp.query('POLYLINE[layer=="%s"]' % layer)
    texts = msp.query('TEXT[layer=="%s"]' % layer)
    print(layer, len(lines), len(texts), min(len(list(p.points())) for p in lines))
for p in msp.query('POLYLINE[layer=="STATIONS"]'):
    xs = [v[0] for v in p.points()]
    if max(xs) - min(xs) < 1e-12:
        print("trace %.12f" % xs[0])
print("labels", " ".join(sorted(t.dxf.text for t in msp.query("TEXT"))))
)");
    int status = -1;
    const std::string out = shell("/usr/bin/python3 " + script + " " + dxf, status);
    ASSERT_EQ(status, 0) << out;
    const std::string layers = out.substr(0, out.find('\n')) + " ";
    for (const char* layer : {"STATIONS", "WATERLINES", "BUTTOCKS", "DIAGONALS"}) {
        EXPECT_NE(layers.find(std::string(" ") + layer + " "), std::string::npos) << out;
    }
    // Each cut is one curve on the Wigley hull, drawn in three views and labelled once.
    EXPECT_NE(out.find("STATIONS 12 4 "), std::string::npos) << out;
    EXPECT_NE(out.find("WATERLINES 9 3 "), std::string::npos) << out;
    EXPECT_NE(out.find("BUTTOCKS 6 2 "), std::string::npos) << out;
    EXPECT_NE(out.find("DIAGONALS 3 1 "), std::string::npos) << out;
    for (const char* trace : {"trace -1.500000000000", "trace -0.500000000000",
                              "trace 0.000000000000", "trace 1.000000000000"}) {
        EXPECT_NE(out.find(trace), std::string::npos) << out;
    }
    EXPECT_NE(out.find("x=-0.5 x=-1.5 x=0 x=1 y=-0.05 y=-0.1 y=-0.2 z=0.05 z=0.15"),
              std::string::npos)
        << out;
}

TEST(LinesPlanFiles, PdfAndSvgPassTheirReaders) {
    for (const char* name : {"plan.pdf", "plan.svg"}) {
        const std::string path = scratch(name);
        const testsupport::ProcessResult run = testsupport::runLoftwork(
            {"lines", wigleyFile(), path, "--stations", "9", "--waterlines", "4", "--buttocks", "2",
             "--mirror", "z=0", "--unit", "cm"});
        ASSERT_EQ(run.status, 0) << run.err;
        int status = -1;
        const bool pdf = std::string(name).find(".pdf") != std::string::npos;
        const std::string out = shell(
            pdf ? "pdfinfo " + path : "rsvg-convert " + path + " -o " + path + ".png", status);
        EXPECT_EQ(status, 0) << out;
        if (pdf) {
            EXPECT_NE(out.find("Pages:           1"), std::string::npos) << out;
        }
        // A hull 4 cm long fits A4 at 1:1, and the message says so.
        EXPECT_NE(run.err.find("at 1:1 "), std::string::npos) << run.err;
    }
}

// The cover page of the templates: the check square is 100 mm (283.46 points) in the PDF's own
// coordinates, read from its content stream with zlib; and every station has its pages.
TEST(LinesPlanFiles, TemplatesCarryA100MillimetreCheckSquare) {
    const std::string pdf = scratch("templates.pdf");
    const testsupport::ProcessResult run = testsupport::runLoftwork(
        {"lines", wigleyFile(), pdf, "--stations=-1,0,1", "--templates", "--unit", "m",
         "--scale", "1:2"});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string script = testsupport::scratchDir() + "/square.py";
    testsupport::writeText(script, R"(
import re, sys, zlib
data = open(sys.argv[1], "rb").read()
for stream in re.findall(rb"stream\r?\n(.*?)\r?\nendstream", data, re.S):
    try:
        text = zlib.decompress(stream)
    except zlib.error:
        continue
    for w, h in re.findall(rb"[-\d.]+ [-\d.]+ ([-\d.]+) ([-\d.]+) re", text):
        print("rectangle %.3f %.3f" % (float(w), float(h)))
)");
    int status = -1;
    const std::string out = shell("/usr/bin/python3 " + script + " " + pdf, status);
    ASSERT_EQ(status, 0) << out;
    char expected[64];
    snprintf(expected, sizeof expected, "rectangle %.3f %.3f", 100 / 25.4 * 72, 100 / 25.4 * 72);
    EXPECT_NE(out.find(expected), std::string::npos) << out;
    // At 1:2 the midship station (B = 0.5 m across both halves) is 250 mm wide: more than one
    // A4 page across, so more pages than stations plus the cover.
    const std::string info = shell("pdfinfo " + pdf, status);
    EXPECT_NE(info.find("595.276 x 841.89 pts (A4)"), std::string::npos) << info;
    const size_t pages = info.find("Pages:");
    ASSERT_NE(pages, std::string::npos);
    EXPECT_GT(std::stoi(info.substr(pages + 6)), 1 + 3);
}

// Offsets against the closed form: every half-breadth is z(x, y) of the hull.
TEST(OffsetTables, HalfBreadthsAreTheHullsOffsets) {
    const std::string csv = scratch("wigley.csv");
    const testsupport::ProcessResult run = testsupport::runLoftwork(
        {"offsets", wigleyFile(), csv, "--stations", "11", "--waterlines",
         "-0.25,-0.2,-0.15,-0.1,-0.05,0"});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string text = testsupport::readAll(csv);
    ASSERT_EQ(text.rfind("x,-0.25,-0.2,-0.15,-0.1,-0.05,0,keel,sheer\n", 0), 0u) << text;
    const double tolerance = defaultCutTolerance(testsupport::wigley());
    size_t at = text.find('\n') + 1;
    int rows = 0;
    while (at < text.size()) {
        const size_t end = text.find('\n', at);
        std::vector<double> cells;
        size_t start = at;
        while (start <= end) {
            const size_t comma = std::min(text.find(',', start), end);
            cells.push_back(std::stod(text.substr(start, comma - start)));
            start = comma + 1;
        }
        ASSERT_EQ(cells.size(), 9u) << text.substr(at, end - at);
        const double x = cells[0];
        EXPECT_NEAR(x, -kL / 2 + kL * rows / 10, 1e-6);
        for (int w = 0; w < 6; ++w) EXPECT_NEAR(cells[1 + w], wigleyZ(x, -0.25 + 0.05 * w), tolerance);
        EXPECT_NEAR(cells[7], -kT, 1e-6);  // keel
        EXPECT_NEAR(cells[8], 0.0, 1e-6);  // sheer
        ++rows;
        at = end + 1;
    }
    EXPECT_EQ(rows, 11);
}

// Offsets of the hull read back through from-offsets: the new surface's stations are the hull's
// within the cut tolerance.
TEST(OffsetTables, ReadBackGiveTheStationsWithinTheTolerance) {
    const std::string csv = scratch("roundtrip.csv");
    const std::string surf = scratch("roundtrip.surf");
    ASSERT_EQ(testsupport::runLoftwork({"offsets", wigleyFile(), csv, "--stations", "9",
                                        "--waterlines", "-0.25,-0.2,-0.15,-0.1,-0.05,0"})
                  .status,
              0);
    const testsupport::ProcessResult run =
        testsupport::runLoftwork({"from-offsets", csv, surf, "--params", "uniform"});
    ASSERT_EQ(run.status, 0) << run.err;
    SurfaceModel back;
    std::string error;
    ASSERT_TRUE(readSurfaceFile(surf.c_str(), back, error)) << error;
    std::vector<CutPlane> planes;
    for (double x : {-1.5, -0.75, 0.0, 0.5, 1.75}) planes.push_back(axisPlane(0, x));
    std::vector<PlaneCut> cuts;
    ASSERT_TRUE(cutSurface(back, planes, 0.0, nullptr, cuts, error)) << error;
    const double tolerance = defaultCutTolerance(testsupport::wigley());
    for (const PlaneCut& cut : cuts) {
        ASSERT_EQ(cut.curves.size(), 1u);
        for (const CutPoint& p : cut.curves[0].points) {
            EXPECT_NEAR(p.z, wigleyZ(cut.plane.d, p.y), tolerance) << cut.plane.d << " " << p.y;
        }
    }
}

struct BadTable {
    const char* name;
    const char* text;
    const char* message;
};

void PrintTo(const BadTable& c, std::ostream* out) {
    *out << c.name;
}

const BadTable kBadTables[] = {
    {"text_in_a_cell", "x,0,1,keel,sheer\n0,0.5,0.4,,\n1,wide,0.3,,\n", "row 3, column 2"},
    {"gap_in_a_station", "x,0,1,2,keel,sheer\n0,0.5,,0.4,,\n", "row 2, column 3"},
    {"stations_out_of_order", "x,0,1\n0,0.5,0.4\n2,0.5,0.4\n1,0.5,0.4\n", "row 4, column 1"},
    {"negative_half_breadth", "x,0,1\n0,0.5,-0.4\n", "row 2, column 3"},
    {"header_word", "x,0,deck\n0,0.5,0.4\n", "row 1, column 3"},
    {"too_many_cells", "x,0,1\n0,0.5,0.4,0.3\n", "row 2, column 4"},
    {"plain_point_not_a_number", "0,0,0\n0,1,zero\n\n1,0,0\n1,1,0\n", "row 2, column 3"},
    {"plain_two_numbers", "0,0,0\n0,1\n", "row 2"},
    {"empty_file", "\n\n", "empty"},
};

class FromOffsetsRefuses : public testing::TestWithParam<BadTable> {};

TEST_P(FromOffsetsRefuses, NamingTheCellAndWritingNothing) {
    const BadTable& c = GetParam();
    const std::string csv = scratch(std::string(c.name) + ".csv");
    const std::string surf = scratch(std::string(c.name) + ".surf");
    testsupport::writeText(csv, c.text);
    const testsupport::ProcessResult run = testsupport::runLoftwork({"from-offsets", csv, surf});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_EQ(testsupport::readAll(surf), "<missing>");
}

INSTANTIATE_TEST_SUITE_P(
    BadCells, FromOffsetsRefuses, testing::ValuesIn(kBadTables),
    [](const testing::TestParamInfo<BadTable>& info) { return std::string(info.param.name); });

// The plain layout: four stations of a cylinder's quarter, x,y,z per line; the surface passes
// through every point.
TEST(OffsetTables, PlainPointsGiveASurfaceThroughThem) {
    std::string text;
    std::vector<std::array<double, 3>> points;
    for (int s = 0; s < 4; ++s) {
        for (int k = 0; k < 5; ++k) {
            const double angle = M_PI / 2 * k / 4;
            points.push_back({0.5 * s, -std::cos(angle), std::sin(angle)});
            char line[96];
            snprintf(line, sizeof line, "%.9g, %.9g, %.9g\n", points.back()[0], points.back()[1],
                     points.back()[2]);
            text += line;
        }
        text += "\n";
    }
    const std::string csv = scratch("plain.csv");
    const std::string surf = scratch("plain.surf");
    testsupport::writeText(csv, text);
    const testsupport::ProcessResult run = testsupport::runLoftwork({"from-offsets", csv, surf});
    ASSERT_EQ(run.status, 0) << run.err;
    SurfaceModel back;
    std::string error;
    ASSERT_TRUE(readSurfaceFile(surf.c_str(), back, error)) << error;
    EXPECT_EQ(back.countU, 5);
    EXPECT_EQ(back.countV, 4);
    // Each station of the new surface passes through the station's points.
    std::vector<PlaneCut> cuts;
    ASSERT_TRUE(cutSurface(back, {axisPlane(0, 0.5), axisPlane(0, 1.0)}, 1e-6, nullptr, cuts, error));
    for (const PlaneCut& cut : cuts) {
        ASSERT_EQ(cut.curves.size(), 1u);
        for (const auto& p : points) {
            if (p[0] != cut.plane.d) continue;
            double nearest = 1e9;
            const std::vector<CutPoint>& q = cut.curves[0].points;
            for (size_t k = 0; k + 1 < q.size(); ++k) {
                const double dy = q[k + 1].y - q[k].y, dz = q[k + 1].z - q[k].z;
                const double r = std::clamp(((p[1] - q[k].y) * dy + (p[2] - q[k].z) * dz) /
                                                (dy * dy + dz * dz),
                                            0.0, 1.0);
                nearest = std::min(nearest, std::hypot(q[k].y + r * dy - p[1], q[k].z + r * dz - p[2]));
            }
            EXPECT_LT(nearest, 1e-4);
        }
    }
}

}  // namespace
