// Where the section window shows its background image, and the arithmetic of calibrating it:
// two marks a known distance apart set the scale, a third mark the image's place in the plane.
// Coordinates here are the section plane's (z to the right, y up, as the section window shows
// them) and image pixels (x to the right, y up from the image's lower-left corner).
#pragma once

#include <cstdint>
#include <limits>
#include <string>

// The image's lower-left corner lies at (originZ, originY) and each pixel is scale model units
// wide and high; the image is drawn with the given opacity (0 transparent, 1 opaque).
struct BackgroundPlacement {
    float scale = 0.0f;
    float originZ = 0.0f;
    float originY = 0.0f;
    float opacity = 1.0f;
};

// The rectangle the image covers in the section plane.
struct ImageRectangle {
    float minZ, minY, maxZ, maxY;
};

// Largest coordinate or size a placement may give: far beyond any drawing, small enough that
// the section view's arithmetic stays finite in single precision.
constexpr float kMostPlacementExtent = 1.0e6f;

// Smallest scale, in units per image pixel: any point of the plane within kMostPlacementExtent
// of the image then lies a finite number of its pixels away in single precision (a scale of
// 1.4e-45 made every click on the plane an infinite pixel position, and the image vanish).
constexpr float kLeastPlacementScale =
    2.0f * kMostPlacementExtent / std::numeric_limits<float>::max();

// A placement the image of width x height pixels can be drawn with: a scale of at least
// kLeastPlacementScale, corners no farther out than kMostPlacementExtent that stay apart from
// the image's origin in single precision (the image keeps a size where it lies), opacity in
// [0, 1]. False with a one-line reason in error.
bool placementIsSound(const BackgroundPlacement& placement, int width, int height,
                      std::string& error);

// The placement an image gets without a calibration: 1 unit wide, height / width units high,
// centred on the origin of the section plane, opaque.
BackgroundPlacement uncalibratedPlacement(int width, int height);

ImageRectangle imageRectangle(const BackgroundPlacement& placement, int width, int height);

// Section-plane point of an image pixel position, and the reverse.
void imageToPlane(const BackgroundPlacement& placement, float px, float py, float& z, float& y);
void planeToImage(const BackgroundPlacement& placement, float z, float y, float& px, float& py);

// Scales the image so that the marks a and b (image pixels) lie distance model units apart; mark
// a stays where it is in the plane. Refuses, leaving placement as it was, a distance that is not
// a positive finite number, marks that coincide, and a result that is not sound.
bool calibrateScale(BackgroundPlacement& placement, int width, int height, const float a[2],
                    const float b[2], double distance, std::string& error);

// Moves the image so that the image point p (pixels) lies at the origin of the section plane.
// Refuses, leaving placement as it was, a result that is not sound.
bool placeImageOrigin(BackgroundPlacement& placement, int width, int height, const float p[2],
                      std::string& error);

// The steps of a calibration in the section window: the panel's "calibrate" starts it, each
// left click there records a mark, the typed distance sets the scale.
enum class CalibrationStep : int32_t { idle, firstMark, secondMark, distance, originMark };

struct CalibrationGesture {
    CalibrationStep step = CalibrationStep::idle;
    float marks[2][2] = {{0.0f, 0.0f}, {0.0f, 0.0f}};  // image pixels of the two marks
    float distance = 0.0f;                             // the "distance" field
    bool pressTaken = false;  // the left press made a mark: its drag and release move no point
};
