// The calibration file kept beside a background image (IMAGE.calibration): its scale, origin
// and opacity in the section plane, and the pixel size of the image they were made for.
//
//   loftwork background calibration 1
//   image 800 600
//   scale 0.0125
//   origin -5 -3.75
//   opacity 0.8
#pragma once

#include <cstddef>
#include <string>

#include "model/background_calibration.h"

// Largest calibration file read: it holds five short lines.
constexpr size_t kMostCalibrationFileBytes = 4096;

// IMAGE.calibration for the image at imagePath.
std::string calibrationPathFor(const std::string& imagePath);

// The file's text for a placement of an image of width x height pixels; every float is written
// so that it reads back as the same float.
std::string formatCalibration(const BackgroundPlacement& placement, int width, int height);

// Parses the text of a calibration file for an image of width x height pixels. Every line must be
// there once, with numbers and nothing else after its word; the placement must be sound and made
// for an image of that size. Returns false with a one-line reason in error, placement untouched.
bool parseCalibration(const std::string& text, int width, int height,
                      BackgroundPlacement& placement, std::string& error);

// What reading the calibration of an image found.
enum class CalibrationRead { applied, missing, refused };

// Reads and parses IMAGE.calibration; placement changes only when the result is applied. error
// says why a file was refused.
CalibrationRead readCalibrationFile(const std::string& imagePath, int width, int height,
                                    BackgroundPlacement& placement, std::string& error);

// Writes IMAGE.calibration, replacing an older one only once the new one is complete. A file of
// that name that readCalibrationFile refuses is kept, with the reason in error; a symbolic link
// of that name is replaced by the new file, what it points to left alone.
bool writeCalibrationFile(const std::string& imagePath, const BackgroundPlacement& placement,
                          int width, int height, std::string& error);
