// The editor state instance and its small shared helpers.
#include "model/editor_state.h"

#include <cstdarg>
#include <cstdio>

EditorState editor;

bool surfaceIsUsable(const EditorState& s) {
    if (s.countU < 1 || s.countV < 1 || s.orderU < 1 || s.orderV < 1) return false;
    if (s.orderU > s.countU || s.orderV > s.countV) return false;
    if (s.knotCountU != s.countU + s.orderU || s.knotCountV != s.countV + s.orderV) return false;
    return s.knotsU.size() == static_cast<size_t>(s.knotCountU) &&
           s.knotsV.size() == static_cast<size_t>(s.knotCountV) &&
           s.controlNet.size() == static_cast<size_t>(s.countU) * static_cast<size_t>(s.countV);
}

void setStatus(const char* format, ...) {
    va_list args;
    va_start(args, format);
    vsnprintf(editor.statusLine, sizeof editor.statusLine, format, args);
    va_end(args);
    fprintf(stderr, "%s\n", editor.statusLine);
}
