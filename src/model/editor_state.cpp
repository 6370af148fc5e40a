// The editor state instance and the status line.
#include "model/editor_state.h"

#include <cstdarg>
#include <cstdio>
#include <string>

#include "model/printable_text.h"

EditorState editor;

void setStatus(const char* format, ...) {
    va_list args;
    va_start(args, format);
    char line[sizeof editor.panel.statusLine];
    vsnprintf(line, sizeof line, format, args);
    va_end(args);
    // Messages carry names and bytes from files: escape sequences must not reach the terminal.
    const std::string shown = printableText(line);
    snprintf(editor.panel.statusLine, sizeof editor.panel.statusLine, "%s", shown.c_str());
    fprintf(stderr, "%s\n", editor.panel.statusLine);
}
