// The editor's serializer and the panel's file callbacks.
#include "app/file_callbacks.h"

#include <string>

#include "exchange/cad_import.h"
#include "exchange/export_callback.h"
#include "exchange/import_callback.h"
#include "exchange/lines_callback.h"
#include "model/editor_state.h"

namespace {

// The single serializer object; it only keeps the record's address, so the order in which
// static initialisation makes the two does not matter.
DefaultSerializator editorSerializator(editor);

}  // namespace

Serializator* serializator = &editorSerializator;

void loadPointsCallback(int id) {
    serializator->load(id);
}

void savePointsCallback(int id) {
    serializator->save(id);
}

void loadOrImportCallback(int id) {
    // Surface files keep going through the serializer.
    if (!isCadFileName(editor.panel.surfaceFileName)) {
        loadPointsCallback(id);
        return;
    }
    std::string message;
    loadOrImportEditorSurface(editor, editor.panel.surfaceFileName, message);
    setStatusLinef(editor.panel, "%s", message.c_str());
}

void exportCallback(int /*id*/) {
    exportEditorSurface(editor);
}

void linesPlanCallback(int /*id*/) {
    writeEditorLinesPlan(editor);
}

void offsetTableCallback(int /*id*/) {
    writeEditorOffsetTable(editor);
}
