// How every subcommand reads its arguments, run as the real program: options among the files,
// values in either form, values that look like options or negative numbers, options given
// twice or without their value, and help.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/scratch_files.h"

namespace {

struct ArgumentCase {
    std::vector<std::string> arguments;  // IN is the sample vase, OUT a scratch surface file
    int status;
    const char* says;  // part of standard error, or of standard output after --help
};

TEST(CommandArguments, EverySubcommandReadsItsArgumentsAlike) {
    const ArgumentCase cases[] = {
        {{"rebuild", "IN", "OUT", "--point", "6,8"}, 2, "unknown option \"--point\""},
        {{"revolve", "IN", "OUT", "--axis=y"}, 2, "unknown option \"--axis=y\""},
        {{"skin", "IN", "OUT", "--closed=yes"}, 2, "unknown skin option \"--closed=yes\""},
        {{"hydrostatics", "IN", "--draft", "0.1", "--density"}, 2, "--density needs a value"},
        {{"import", "IN", "OUT", "--face", "1", "--face"}, 2, "--face given twice"},
        {{"import", "IN", "OUT", "--face=1", "--face", "2"}, 2, "--face given twice"},
        {{"hydrostatics", "IN", "--draft", "0.1", "--drafts=0.1:0.2:3"},
         2,
         "give one draft or drafts"},
        {{"export", "IN", "OUT", "--unit", "--mirror"}, 2, "not a unit: \"--mirror\""},
        {{"revolve", "IN", "OUT", "--section", "-1"}, 2, "not a section number: \"-1\""},
        {{"revolve", "IN", "OUT", "--section", "1e0"}, 2, "not a section number: \"1e0\""},
        {{"rebuild", "IN", "OUT", "--points", "6,8", "--fair", "1.5"}, 2, "not a fairness weight"},
        {{"lines", "IN", "OUT", "--stations=-1,0"}, 1, "unknown extension"},
        {{"revolve", "IN", "OUT", "--section=7"}, 1, "there is no section 7"},
        {{"eval", "IN", "-.5", "0"}, 1, "(-0.5, 0) is outside the knot range"},
        {{"info", "--", "-x.surf"}, 1, "cannot load -x.surf"},
        {{"info", "IN", "IN"}, 2, "info takes one surface file"},
        {{"lines", "--help"}, 0, "usage: loftwork lines"},
        {{"from-offsets", "IN", "OUT", "-h"}, 0, "usage: loftwork from-offsets"},
        {{"eval", "--help"}, 0, "loftwork eval FILE u v"},
    };
    const std::string output = testsupport::scratchDir() + "/arguments.surf";
    for (const ArgumentCase& c : cases) {
        std::vector<std::string> arguments;
        for (const std::string& a : c.arguments) {
            arguments.push_back(a == "IN"    ? testsupport::sample("vase.surf")
                                : a == "OUT" ? output
                                             : a);
        }
        remove(output.c_str());
        const testsupport::ProcessResult run = testsupport::runLoftwork(arguments);
        SCOPED_TRACE(c.arguments[0] + " " + c.arguments.back());
        EXPECT_EQ(run.status, c.status) << run.err;
        EXPECT_NE((c.status == 0 ? run.out : run.err).find(c.says), std::string::npos) << run.err;
        // Usage goes to standard output only when asked for; nothing is written on refusal.
        EXPECT_EQ(run.out.find("usage:") != std::string::npos, c.status == 0) << run.out;
        EXPECT_EQ(testsupport::readAll(output), "<missing>");
    }
}

}  // namespace
