// The editor's serializer: the one DefaultSerializator, and the load and save buttons.
#include "io/serializator.h"

#include <string>

#include "io/editor_file_io.h"
#include "model/editor_state.h"

DefaultSerializator* DefaultSerializator::getInstance() {
    static DefaultSerializator* instance = nullptr;
    if (instance == nullptr) instance = new DefaultSerializator;
    return instance;
}

Serializator* serializator = DefaultSerializator::getInstance();

void DefaultSerializator::load(int /*id*/) {
    std::string message;
    loadEditorSurface(editor.panel.surfaceFileName, message);
    setStatus("%s", message.c_str());
}

void DefaultSerializator::save(int /*id*/) {
    std::string message;
    saveEditorSurface(editor.panel.surfaceFileName, message);
    setStatus("%s", message.c_str());
}

void loadPointsCallback(int id) {
    serializator->load(id);
}
void savePointsCallback(int id) {
    serializator->save(id);
}
