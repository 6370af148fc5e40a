// ctrl+s and ctrl+o in every window.
#include "input/file_keys.h"

#include "app/control_panel.h"
#include "io/serializator.h"

bool handleFileKey(unsigned char key) {
    constexpr unsigned char kCtrlS = 's' - 'a' + 1;
    constexpr unsigned char kCtrlO = 'o' - 'a' + 1;
    if (key == kCtrlS) {
        savePointsCallback(-1);
        return true;
    }
    if (key == kCtrlO) {
        focusFileBox();
        return true;
    }
    return false;
}
