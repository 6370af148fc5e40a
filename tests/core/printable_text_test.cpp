// Messages show the bytes of file names and files escaped: a configuration file's raw bytes
// once reached the terminal through standard error, escape sequences included.
#include <gtest/gtest.h>

#include <string>

#include "model/editor_state.h"
#include "model/printable_text.h"
#include "support/scratch_files.h"

TEST(PrintableText, EscapesWhatATerminalWouldActOn) {
    const struct {
        std::string text;
        std::string shown;
    } cases[] = {
        {"vase.surf", "vase.surf"},
        {"\x1b[31mred\x1b[0m", "\\x1b[31mred\\x1b[0m"},
        {"bell\a tab\t cr\r nl\n del\x7f", "bell\\x07 tab\\x09 cr\\x0d nl\\x0a del\\x7f"},
        {std::string("nul\0end", 7), "nul\\x00end"},
        {"back\\slash", "back\\\\slash"},
        {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80", "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80"},
        {"C1 CSI \xc2\x9b", "C1 CSI \\xc2\\x9b"},
        {"raw CSI \x9b", "raw CSI \\x9b"},
        {"overlong \xc0\xaf", "overlong \\xc0\\xaf"},
        {"surrogate \xed\xa0\x80", "surrogate \\xed\\xa0\\x80"},
        {"cut \xe2\x82", "cut \\xe2\\x82"},
    };
    for (const auto& c : cases) EXPECT_EQ(printableText(c.text), c.shown) << c.shown;
}

TEST(PrintableText, TheStatusLineAndStandardErrorShowEscapes) {
    testsupport::EditorScope scope;
    testing::internal::CaptureStderr();
    setStatusLinef(editor.panel, "cannot load %s: it is a directory", "\x1b]0;title\x07\x1b[2J");
    const std::string errors = testing::internal::GetCapturedStderr();
    const std::string expected = "cannot load \\x1b]0;title\\x07\\x1b[2J: it is a directory";
    EXPECT_EQ(std::string(editor.panel.statusLine), expected);
    EXPECT_EQ(errors, expected + "\n");
}
