// The calibration of the background image, driven by the panel and by clicks in the section
// window.
#include "input/calibration_input.h"

#include <GL/freeglut.h>

#include <cmath>
#include <string>

#include "io/calibration_file.h"
#include "model/background_calibration.h"
#include "model/editor_state.h"
#include "model/finite_values.h"
#include "view/redraw.h"
#include "view/unproject.h"

namespace {

bool imageLoaded(const ViewState& view) {
    return view.backgroundTexture != 0 && view.backgroundWidth > 0 && view.backgroundHeight > 0;
}

// Saves the placement beside the image; the status line says where, or why not.
void savePlacement(const PanelVariables& panel, const ViewState& view, const char* what) {
    std::string error;
    const std::string file = calibrationPathFor(panel.backgroundFileName);
    if (!writeCalibrationFile(panel.backgroundFileName, view.backgroundPlacement,
                              view.backgroundWidth, view.backgroundHeight, error)) {
        setStatusLinef(editor.panel, "%s, but %s was not saved: %s", what, file.c_str(),
                       error.c_str());
        return;
    }
    setStatusLinef(editor.panel, "%s; saved in %s", what, file.c_str());
}

}  // namespace

void calibrateCallback(int /*id*/) {
    EditorState& s = editor;
    if (!imageLoaded(s.view) || s.panel.backgroundFileName[0] == '\0') {
        setStatusLinef(editor.panel, "calibrate: load a background image first");
        return;
    }
    s.view.calibration.step = CalibrationStep::firstMark;
    setStatusLinef(editor.panel,
                   "calibrate: click the first mark on the image in the section window");
}

void calibrationDistanceCallback(int /*id*/) {
    EditorState& s = editor;
    CalibrationGesture& c = s.view.calibration;
    if (c.step != CalibrationStep::distance || !imageLoaded(s.view)) {
        setStatusLinef(editor.panel,
                       "distance: press \"calibrate\" and click two marks on the image first");
        c.distance = 0.0f;  // the box is emptied for the next try
        return;
    }
    std::string error;
    if (!calibrateScale(s.view.backgroundPlacement, s.view.backgroundWidth, s.view.backgroundHeight,
                        c.marks[0], c.marks[1], c.distance, error)) {
        setStatusLinef(editor.panel, "distance %g refused: %s", static_cast<double>(c.distance),
                       error.c_str());
        c.distance = 0.0f;  // the box is emptied for the next try
        return;
    }
    c.step = CalibrationStep::originMark;
    char what[200];
    snprintf(what, sizeof what,
             "calibrated: the marks are %g units apart (click the image's origin, or leave it)",
             static_cast<double>(c.distance));
    savePlacement(s.panel, s.view, what);
    requestViewsRedraw();
}

void backgroundPlacementCallback(int /*id*/) {
    EditorState& s = editor;
    if (!imageLoaded(s.view)) {
        setStatusLinef(editor.panel, "placement: load a background image first");
        return;
    }
    std::string error;
    if (!placementIsSound(s.view.backgroundPlacement, s.view.backgroundWidth,
                          s.view.backgroundHeight, error)) {
        // The fields come back to the placement last saved, or the uncalibrated one.
        BackgroundPlacement saved =
            uncalibratedPlacement(s.view.backgroundWidth, s.view.backgroundHeight);
        std::string ignored;
        readCalibrationFile(s.panel.backgroundFileName, s.view.backgroundWidth,
                            s.view.backgroundHeight, saved, ignored);
        s.view.backgroundPlacement = saved;
        setStatusLinef(editor.panel, "placement refused: %s", error.c_str());
        return;
    }
    savePlacement(s.panel, s.view, "background placed");
    requestViewsRedraw();
}

bool sectionCalibrationClick(int x, int y) {
    EditorState& s = editor;
    CalibrationGesture& c = s.view.calibration;
    const CalibrationStep step = c.step;
    if (step != CalibrationStep::firstMark && step != CalibrationStep::secondMark &&
        step != CalibrationStep::originMark) {
        return false;
    }
    double px = 0.0, py = 0.0, pz = 0.0;
    if (!imageLoaded(s.view) || unprojectOnSectionPlane(x, y, &px, &py, &pz) != GL_TRUE) {
        setStatusLinef(editor.panel, "calibrate: no point of the image under the pointer");
        return true;
    }
    float mark[2];
    planeToImage(s.view.backgroundPlacement, static_cast<float>(pz), static_cast<float>(py),
                 mark[0], mark[1]);
    if (!finite(mark[0], mark[1])) {
        setStatusLinef(editor.panel, "calibrate: the pointer is too far from the image to mark it");
        return true;
    }
    if (step == CalibrationStep::firstMark) {
        c.marks[0][0] = mark[0];
        c.marks[0][1] = mark[1];
        c.step = CalibrationStep::secondMark;
        setStatusLinef(editor.panel,
                       "calibrate: first mark at pixel (%.1f, %.1f); click the second mark",
                       mark[0], mark[1]);
    } else if (step == CalibrationStep::secondMark) {
        c.marks[1][0] = mark[0];
        c.marks[1][1] = mark[1];
        c.step = CalibrationStep::distance;
        setStatusLinef(
            editor.panel,
            "calibrate: type the distance between the two marks in \"distance\", then Enter");
    } else {
        std::string error;
        if (!placeImageOrigin(s.view.backgroundPlacement, s.view.backgroundWidth,
                              s.view.backgroundHeight, mark, error)) {
            setStatusLinef(editor.panel, "origin refused: %s", error.c_str());
            return true;
        }
        c.step = CalibrationStep::idle;
        savePlacement(s.panel, s.view, "the clicked point is the image's origin");
    }
    requestViewsRedraw();
    requestPanelRedraw();  // the step shows in "done"
    return true;
}

void calibrationDoneCallback(int /*id*/) {
    editor.view.calibration.step = CalibrationStep::idle;
    requestViewsRedraw();
}
