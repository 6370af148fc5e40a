// Calibrating the section window's background image: "calibrate" in the panel, two left clicks on
// the image, the distance between them typed in the panel, then an optional third click on the
// image's origin. Every change of the placement is saved beside the image.
#pragma once

// "calibrate": starts a calibration; the next left click in the section window is the first mark.
void calibrateCallback(int id);

// Enter in the "distance" field: scales the image so that the two marks lie that far apart.
void calibrationDistanceCallback(int id);

// "origin z", "origin y" typed or "opacity" changed: the placement as the fields now hold it is
// checked and saved; a placement that is not sound is refused and the saved one comes back.
void backgroundPlacementCallback(int id);

// A left press in the section window while a calibration waits for a mark: records the image
// point under the pointer (window pixels, y down) and returns true; returns false, taking
// nothing, when no calibration waits for a click.
bool sectionCalibrationClick(int x, int y);

// "done": ends the calibration under way; the placement stays as it is.
void calibrationDoneCallback(int id);
