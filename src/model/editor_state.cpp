// The editor state instance and the status line.
#include "model/editor_state.h"

#include <cstdarg>
#include <cstdio>

EditorState editor;

void setStatusLine(PanelVariables& panel, const char* text) {
    snprintf(panel.statusLine, sizeof panel.statusLine, "%s", text);
    fprintf(stderr, "%s\n", panel.statusLine);
}

void setStatus(const char* format, ...) {
    char line[sizeof editor.panel.statusLine];
    va_list args;
    va_start(args, format);
    vsnprintf(line, sizeof line, format, args);
    va_end(args);
    setStatusLine(editor.panel, line);
}
