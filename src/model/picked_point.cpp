// Keeping the main window's pick on the point it named.
#include "model/picked_point.h"

void clearPick(Selection& selection) {
    selection.pickedPointOffset = -1;
    selection.weightValue = -1.0f;
}

namespace {

// Section and point index of the pick in a net of countU points per section; false for none.
bool pickedIndexes(const Selection& selection, int countU, int& section, int& point) {
    const int32_t offset = selection.pickedPointOffset;
    if (offset < 0 || offset % 4 != 0 || countU < 1) return false;
    section = offset / 4 / countU;
    point = offset / 4 % countU;
    return true;
}

void pickAt(Selection& selection, int countU, int section, int point) {
    selection.pickedPointOffset = 4 * (section * countU + point);
}

}  // namespace

void carryPickOverInsert(Selection& selection, int oldCountU, int index) {
    int section = 0;
    int point = 0;
    if (!pickedIndexes(selection, oldCountU, section, point)) return;
    pickAt(selection, oldCountU + 1, section, point >= index ? point + 1 : point);
}

void carryPickOverRemoval(Selection& selection, int oldCountU, int index) {
    int section = 0;
    int point = 0;
    if (!pickedIndexes(selection, oldCountU, section, point)) return;
    if (point == index) {
        clearPick(selection);
        return;
    }
    pickAt(selection, oldCountU - 1, section, point > index ? point - 1 : point);
}

void showPickedWeight(const SurfaceModel& surface, Selection& selection) {
    const int32_t offset = selection.pickedPointOffset;
    if (offset < 0) return;
    const size_t index = static_cast<size_t>(offset / 4);
    if (offset % 4 != 0 || index >= surface.controlNet.size()) {
        clearPick(selection);
        return;
    }
    selection.weightValue = surface.controlNet[index].w;
}
