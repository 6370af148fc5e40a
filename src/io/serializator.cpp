// The surface text file of an editor state, through the serializer interface.
#include "io/serializator.h"

#include <string>

#include "io/editor_file_io.h"

void DefaultSerializator::load(int /*id*/) {
    std::string message;
    loadEditorSurface(state_, state_.panel.surfaceFileName, message);
    setStatusLinef(state_.panel, "%s", message.c_str());
}

void DefaultSerializator::save(int /*id*/) {
    std::string message;
    saveEditorSurface(state_, state_.panel.surfaceFileName, message);
    setStatusLinef(state_.panel, "%s", message.c_str());
}
