// ctrl+s and ctrl+o in every window.
#include "input/file_keys.h"

#include <string>

#include "input/app_requests.h"
#include "io/editor_file_io.h"
#include "model/editor_state.h"
#include "view/redraw.h"

bool handleFileKey(unsigned char key) {
    constexpr unsigned char kCtrlS = 's' - 'a' + 1;
    constexpr unsigned char kCtrlO = 'o' - 'a' + 1;
    if (key == kCtrlS) {
        std::string message;
        saveEditorDocument(editor, message);
        setStatusLinef(editor.panel, "%s", message.c_str());
        requestPanelRedraw();  // whether changes are unsaved
        return true;
    }
    if (key == kCtrlO) {
        // The chooser's own window takes the keys; nothing here pretends to.
        std::string error;
        if (requestSurfaceChooser(error)) {
            setStatusLinef(editor.panel, "open: choose a surface file in the window that opened");
        } else {
            setStatusLinef(editor.panel, "open: %s", error.c_str());
        }
        return true;
    }
    return false;
}
