// The editor state instance and the status line.
#include "model/editor_state.h"

#include <cstdarg>
#include <cstdio>
#include <string>

#include "model/printable_text.h"

EditorState editor;

void showStatusLine(PanelVariables& panel, const char* text) {
    // Messages carry names and bytes from files: escape sequences must not reach the terminal.
    const std::string shown = printableText(text);
    snprintf(panel.statusLine, sizeof panel.statusLine, "%s", shown.c_str());
    ++panel.statusSerial;
}

void setStatusLine(PanelVariables& panel, const char* text) {
    showStatusLine(panel, text);
    fprintf(stderr, "%s\n", panel.statusLine);
}

void setStatusLinef(PanelVariables& panel, const char* format, ...) {
    char line[sizeof panel.statusLine];
    va_list args;
    va_start(args, format);
    vsnprintf(line, sizeof line, format, args);
    va_end(args);
    setStatusLine(panel, line);
}
