// The application's answers to the input handlers' requests.
#include "input/app_requests.h"

namespace {

AppRequests gRequests;

}  // namespace

void setAppRequests(const AppRequests& requests) { gRequests = requests; }

void requestQuit() {
    if (gRequests.quit != nullptr) gRequests.quit();
}

void requestPanelKeyboardRelease() {
    if (gRequests.releasePanelKeyboard != nullptr) gRequests.releasePanelKeyboard();
}

bool requestSurfaceChooser(std::string& error) {
    if (gRequests.chooseSurfaceToLoad == nullptr) {
        error = "no file chooser in this program";
        return false;
    }
    return gRequests.chooseSurfaceToLoad(error);
}
