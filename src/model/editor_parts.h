// The typed parts of the editor's state: derived nets, selection, panel variables, view state and
// handles, beside the surface itself (surface_model.h). Functions below the entry points take
// these parts as parameters; editor_state.h puts them together into the one global record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "model/background_calibration.h"
#include "model/loft_options.h"
#include "model/mirror_plane.h"
#include "model/surface_model.h"

// GLU display-mode constants, kept as the floats GLU_DISPLAY_MODE takes.
constexpr float kDisplayModeOutline = 100240.0f;  // GLU_OUTLINE_POLYGON
constexpr float kDisplayModeFill = 100012.0f;     // GLU_FILL

// The main view's "shading": GLU's own drawing (outline or fill), or an analysis drawn from the
// surface grid, zebra stripes or a curvature map (Gaussian or mean curvature).
enum : int32_t { kShadingGlu = 0, kShadingZebra = 1, kShadingCurvature = 2 };
enum : int32_t { kCurvatureGaussian = 0, kCurvatureMean = 1 };

constexpr int kTextFieldSize = 300;  // "file" and "background" boxes, terminator included

// Everything computed from the surface. An empty vector is an absent array.
struct DerivedNets {
    std::vector<PointH> skinnedNet;     // interpolates the sections; empty while out of date
    std::vector<float> skinnedKnotsV;   // V knots of skinnedNet (U knots are knotsU)
    int32_t multiplicity = -1;          // how often each section repeats in expandedNet
    std::vector<PointH> expandedNet;
    std::vector<float> expandedKnotsV;
    int32_t expandedKnotCountV = 0;
    int32_t expandedPointCount = 0;
};

// What is selected for editing.
struct Selection {
    int32_t currentSection = 0;
    int32_t selectedPoint = 0;
    int32_t destPlane = 0;
    int32_t pickedPointOffset = -1;  // 4 * point index in controlNet, -1 = none
    float weightValue = -1.0f;
    float sectionCentroid[3] = {0.0f, 0.0f, 0.0f};  // mean of the stored x*w, y*w, z*w
};

// Live variables of the control panel, its bookkeeping and the status line.
struct PanelVariables {
    int32_t degreeS = 0;
    int32_t degreeT = 0;
    int32_t surfType = 0;  // 0 = "Revolving surface"
    int32_t skinningEnabled = 0;
    int32_t loftParameters = 0;  // "loft parameters": a LoftParameters value
    int32_t closedLoft = 0;      // "closed loft"
    // The loft options the last change of those two controls settled on: what an undo step keeps
    // (the controls already hold the new choice when their callback runs).
    int32_t loftParametersSet = 0;
    int32_t closedLoftSet = 0;
    LoftEnd loftStart;           // "start": how an open loft ends at its first section
    LoftEnd loftEnd;             // "end": at its last section
    int32_t rationalSections = 0;  // "rational sections": a LoftRational value
    int32_t fillSurface = 0;
    int32_t mirrorEnabled = 0;  // "mirror": the surface is shown and exported with its mirror image
    MirrorPlane mirrorPlane;
    float surfaceDisplayMode = kDisplayModeOutline;
    int32_t shading = kShadingGlu;
    int32_t curvatureKind = kCurvatureGaussian;
    float translateX = 0.0f;
    float translateY = 0.0f;
    float translateZ = 0.0f;
    float translateZY[2] = {0.0f, 0.0f};
    float lastTranslateX = 0.0f;
    float lastTranslateY = 0.0f;
    float lastTranslateZ = 0.0f;
    float lastTranslateZY[2] = {0.0f, 0.0f};
    float rotationMatrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    float zRotAngle = 0.0f;
    char surfaceFileName[kTextFieldSize] = "";
    char backgroundFileName[kTextFieldSize] = "";
    char exportFileName[kTextFieldSize] = "";
    int32_t exportUnit = 0;  // what one model unit is in STEP and IGES: 0 mm, 1 cm, 2 m, 3 in
    // "lines": the stations, waterlines and buttocks shown on the surface while showLines is on
    // ("v1,v2,..." or a count), and the files "write lines plan" and "write offsets" write.
    int32_t showLines = 0;
    char linesStations[kTextFieldSize] = "11";
    char linesWaterlines[kTextFieldSize] = "5";
    char linesButtocks[kTextFieldSize] = "3";
    char linesFileName[kTextFieldSize] = "lines.pdf";
    char offsetsFileName[kTextFieldSize] = "offsets.csv";
    int32_t hydrostaticsEnabled = 0;  // "waterline and figures"
    float hydrostaticsDraft = 0.2f;   // "draft", from the surface's lowest point

    int32_t knotControlRebuilds = 0;  // bumped by every rebuildKnotControls
    bool closeKnotRollouts = false;   // close "knots in s" / "knots in t" on the next frame

    char statusLine[512] = "";  // last status message, shown at the bottom of the panel
    uint32_t statusSerial = 0;  // bumped by every message, so an edit can tell one was set
};

// Cameras, window sizes, the probe and the background image of both views.
struct ViewState {
    int32_t mainWindowWidth = 640;
    int32_t mainWindowHeight = 480;
    int32_t sectionWindowWidth = 320;
    int32_t sectionWindowHeight = 240;
    float cameraPolar = 1.57f;  // radians from +y
    float cameraAzimuth = 0.0f;
    float cameraDistance = 3.9f;
    float cameraTarget[3] = {0.0f, 0.0f, 0.0f};
    double clickPoint[3] = {0.0, 0.0, 0.0};
    float probeU = 0.0f;
    float probeV = 0.0f;
    float probeStepU = 0.01f;
    float probeStepV = 0.01f;
    float sectionZoom = 1.0f;
    int32_t curvatureComb = 0;  // "comb": the section window shows the curvature comb
    float sectionEyeOffset[3] = {-5.0f, 0.0f, 0.0f};
    float sectionRefOffset[3] = {0.0f, 0.0f, 0.0f};
    int32_t sectionMouseButton = -1;
    int32_t sectionLeftHeld = 0;  // a left press in the section window not yet released
    int32_t sectionMouseX = 0;
    int32_t sectionMouseY = 0;
    uint32_t backgroundTexture = 0;  // GL texture name in the section window's context
    int32_t backgroundWidth = 0;
    int32_t backgroundHeight = 0;
    BackgroundPlacement backgroundPlacement;  // where the image lies in the section plane
    CalibrationGesture calibration;           // the marks of a calibration under way
};

// Window ids (0 until the window exists) and the GLU renderers.
struct Handles {
    int mainWindow = 0;
    int sectionWindow = 0;
    int controlPanel = 0;  // GLUT window "operations"
    int pointsMenu = 0;
    void* surfaceRenderer = nullptr;  // GLUnurbs of the main view, opaque to the core
    void* sectionRenderer = nullptr;  // GLUnurbs of the section view
};
