// "loftwork export IN OUT [--tolerance T] [--mirror x=C|y=C|z=C] [--unit U]", run as the real program: exit
// statuses, messages and the files written.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/scratch_files.h"

namespace {

struct CliCase {
    const char* name;
    std::vector<std::string> arguments;  // IN and OUT stand for the sample vase and an output
    int status;
    const char* message;  // part of standard error
    bool writes;
};

void PrintTo(const CliCase& c, std::ostream* out) {
    *out << c.name;
}

const CliCase kCases[] = {
    {"no_arguments", {}, 2, "export takes an input surface file and an output file", false},
    {"no_output", {"IN"}, 2, "usage: loftwork export", false},
    {"three_files", {"IN", "OUT.stl", "more.stl"}, 2, "one output file", false},
    {"tolerance_without_value", {"IN", "OUT.stl", "--tolerance"}, 2, "needs a number", false},
    {"tolerance_not_a_number",
     {"IN", "OUT.stl", "--tolerance", "fine"},
     2,
     "not a tolerance: \"fine\"",
     false},
    {"tolerance_twice",
     {"IN", "OUT.stl", "--tolerance", "1", "--tolerance", "2"},
     2,
     "given twice",
     false},
    {"unknown_option", {"IN", "OUT.stl", "--quality"}, 2, "unknown option", false},
    {"unit_unknown", {"IN", "OUT.step", "--unit", "ft"}, 2, "not a unit: \"ft\"", false},
    {"unit_without_value", {"IN", "OUT.step", "--unit"}, 2, "--unit needs mm, cm, m or in", false},
    {"unit_in_metres", {"IN", "OUT.igs", "--unit", "m"}, 0, "one unit = 1 m", true},
    {"mirror_without_plane", {"IN", "OUT.stl", "--mirror"}, 2, "needs a plane", false},
    {"mirror_other_axis", {"IN", "OUT.stl", "--mirror", "w=0"}, 2, "not a mirror plane", false},
    {"mirror_not_finite", {"IN", "OUT.stl", "--mirror", "z=nan"}, 2, "not a mirror plane", false},
    {"mirror_no_offset", {"IN", "OUT.stl", "--mirror", "z="}, 2, "not a mirror plane", false},
    {"negative_tolerance", {"IN", "OUT.stl", "--tolerance", "-0.5"}, 1, "positive number", false},
    {"infinite_tolerance", {"IN", "OUT.obj", "--tolerance", "inf"}, 1, "positive number", false},
    {"unknown_extension", {"IN", "OUT.dxf"}, 1, "unknown extension", false},
    {"missing_input", {"nowhere.surf", "OUT.stl"}, 1, "cannot load nowhere.surf", false},
    {"step", {"IN", "OUT.step"}, 0, "as STEP: the exact B-spline surface, 7 x 6", true},
    {"iges", {"IN", "OUT.IGES"}, 0, "as IGES: the exact B-spline surface", true},
    {"step_mirrored",
     {"IN", "OUT.step", "--mirror", "x=-0.5"},
     0,
     "with its mirror image across x = -0.5",
     true},
    {"stl_default_tolerance", {"IN", "OUT.stl"}, 0, "triangles within 0.00314", true},
    {"obj_given_tolerance",
     {"IN", "OUT.obj", "--tolerance", "0.01"},
     0,
     "triangles within 0.01 of",
     true},
};

class ExportCommand : public testing::TestWithParam<CliCase> {};

TEST_P(ExportCommand, ExitsAndSaysAsExpected) {
    const CliCase& c = GetParam();
    const std::string input = testsupport::sample("vase.surf");
    std::string output;
    std::vector<std::string> arguments{"export"};
    for (const std::string& argument : c.arguments) {
        if (argument == "IN") {
            arguments.push_back(input);
        } else if (argument.rfind("OUT", 0) == 0) {
            output = testsupport::scratchDir() + "/" + c.name + argument.substr(3);
            remove(output.c_str());
            arguments.push_back(output);
        } else {
            arguments.push_back(argument);
        }
    }
    const testsupport::ProcessResult run = testsupport::runLoftwork(arguments);
    EXPECT_EQ(run.status, c.status) << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");  // standard output is kept for the editor's two diagnostics
    if (!output.empty()) {
        EXPECT_EQ(testsupport::readAll(output) != "<missing>", c.writes) << output;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ExportCommand, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<CliCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
