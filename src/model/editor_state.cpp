// The editor state instance and the status line.
#include "model/editor_state.h"

#include <cstdarg>
#include <cstdio>

EditorState editor;

void setStatus(const char* format, ...) {
    va_list args;
    va_start(args, format);
    vsnprintf(editor.panel.statusLine, sizeof editor.panel.statusLine, format, args);
    va_end(args);
    fprintf(stderr, "%s\n", editor.panel.statusLine);
}
