// The background image's placement in the section plane and its calibration from marks.
#include "model/background_calibration.h"

#include <cmath>
#include <cstdio>

namespace {

bool withinExtent(double value) {
    return std::isfinite(value) && std::fabs(value) <= kMostPlacementExtent;
}

std::string belowAPixel(double scale) {
    char text[160];
    snprintf(text, sizeof text,
             "%g units per pixel would shrink the image below a pixel (at least %g)", scale,
             static_cast<double>(kLeastPlacementScale));
    return text;
}

}  // namespace

bool placementIsSound(const BackgroundPlacement& p, int width, int height, std::string& error) {
    if (width < 1 || height < 1) {
        error = "the image has no pixels";
        return false;
    }
    if (!(std::isfinite(p.scale) && p.scale > 0.0f)) {
        error = "the scale must be a positive number";
        return false;
    }
    if (p.scale < kLeastPlacementScale) {
        error = belowAPixel(p.scale);
        return false;
    }
    char text[160];
    const double w = static_cast<double>(width) * p.scale;
    const double h = static_cast<double>(height) * p.scale;
    if (!withinExtent(p.originZ) || !withinExtent(p.originY) || !withinExtent(p.originZ + w) ||
        !withinExtent(p.originY + h)) {
        snprintf(text, sizeof text, "the image would reach beyond %g units",
                 static_cast<double>(kMostPlacementExtent));
        error = text;
        return false;
    }
    // Far from the origin a float's step grows: an image smaller than one step there would be
    // drawn as a line or a point.
    if (static_cast<float>(p.originZ + w) == p.originZ ||
        static_cast<float>(p.originY + h) == p.originY) {
        snprintf(text, sizeof text,
                 "the image would shrink to nothing: %g x %g units at (%g, %g) is below the "
                 "precision there",
                 w, h, static_cast<double>(p.originZ), static_cast<double>(p.originY));
        error = text;
        return false;
    }
    if (!(p.opacity >= 0.0f && p.opacity <= 1.0f)) {
        error = "the opacity must lie between 0 and 1";
        return false;
    }
    return true;
}

BackgroundPlacement uncalibratedPlacement(int width, int height) {
    BackgroundPlacement p;
    if (width < 1 || height < 1) return p;
    const float r = static_cast<float>(height) / static_cast<float>(width);
    p.scale = 1.0f / static_cast<float>(width);
    p.originZ = -0.5f;
    p.originY = -r / 2.0f;
    return p;
}

ImageRectangle imageRectangle(const BackgroundPlacement& p, int width, int height) {
    ImageRectangle r;
    r.minZ = p.originZ;
    r.minY = p.originY;
    r.maxZ = static_cast<float>(p.originZ + static_cast<double>(width) * p.scale);
    r.maxY = static_cast<float>(p.originY + static_cast<double>(height) * p.scale);
    return r;
}

void imageToPlane(const BackgroundPlacement& p, float px, float py, float& z, float& y) {
    z = static_cast<float>(p.originZ + static_cast<double>(px) * p.scale);
    y = static_cast<float>(p.originY + static_cast<double>(py) * p.scale);
}

void planeToImage(const BackgroundPlacement& p, float z, float y, float& px, float& py) {
    px = static_cast<float>((static_cast<double>(z) - p.originZ) / p.scale);
    py = static_cast<float>((static_cast<double>(y) - p.originY) / p.scale);
}

bool calibrateScale(BackgroundPlacement& placement, int width, int height, const float a[2],
                    const float b[2], double distance, std::string& error) {
    if (!(std::isfinite(distance) && distance > 0.0)) {
        error = "the distance must be a positive finite number";
        return false;
    }
    const double pixels =
        std::hypot(static_cast<double>(b[0]) - a[0], static_cast<double>(b[1]) - a[1]);
    if (!(pixels > 0.0) || !std::isfinite(pixels)) {
        error = "the two marks are at the same place of the image";
        return false;
    }
    // Judged before rounding to a float, which takes the smallest scales to 0.
    if (distance / pixels < kLeastPlacementScale) {
        error = belowAPixel(distance / pixels);
        return false;
    }
    BackgroundPlacement next = placement;
    next.scale = static_cast<float>(distance / pixels);
    // Mark a keeps its place in the plane.
    float az = 0.0f, ay = 0.0f;
    imageToPlane(placement, a[0], a[1], az, ay);
    next.originZ = static_cast<float>(az - static_cast<double>(a[0]) * next.scale);
    next.originY = static_cast<float>(ay - static_cast<double>(a[1]) * next.scale);
    if (!placementIsSound(next, width, height, error)) return false;
    placement = next;
    return true;
}

bool placeImageOrigin(BackgroundPlacement& placement, int width, int height, const float p[2],
                      std::string& error) {
    BackgroundPlacement next = placement;
    next.originZ = static_cast<float>(-static_cast<double>(p[0]) * placement.scale);
    next.originY = static_cast<float>(-static_cast<double>(p[1]) * placement.scale);
    if (!placementIsSound(next, width, height, error)) return false;
    placement = next;
    return true;
}
