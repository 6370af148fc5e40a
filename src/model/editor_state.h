// The one process-wide record of the edited surface, its derived nets, the selection, the
// panel's live variables and the view state.
//
// Every window, menu and panel callback reads and writes this record directly. Keeping it in
// one place gives one owner, one order of creation (static initialisation) and one release
// (exitCleanup), and lets the panel bind its widgets to the fields themselves.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// A control point in homogeneous form: the Cartesian coordinates already multiplied by the
// weight. The Cartesian point is (x / w, y / w, z / w).
struct PointH {
    float x, y, z, w;
};

// GLU display-mode constants, kept as the floats GLU_DISPLAY_MODE takes.
constexpr float kDisplayModeOutline = 100240.0f;  // GLU_OUTLINE_POLYGON
constexpr float kDisplayModeFill = 100012.0f;     // GLU_FILL

constexpr int kTextFieldSize = 300;  // "file" and "background" boxes, terminator included

struct EditorState {
    // --- Surface model. Nets are section-major: point j of section s is j + s * countU. ---
    int32_t countU = -1;  // control points per section (U, GLU's s)
    int32_t countV = -1;  // number of sections (V, GLU's t)
    int32_t orderU = -1;
    int32_t orderV = -1;
    int32_t knotCountU = countU + orderU;  // -2 until a surface is loaded
    int32_t knotCountV = countV + orderV;
    std::vector<float> knotsU;
    std::vector<float> knotsV;
    std::vector<PointH> controlNet;

    // --- Derived data. An empty vector is an absent array. ---
    std::vector<PointH> skinnedNet;     // interpolates the sections; empty while out of date
    std::vector<float> skinnedKnotsV;   // V knots of skinnedNet (U knots are knotsU)
    int32_t multiplicity = -1;          // how often each section repeats in expandedNet
    std::vector<PointH> expandedNet;
    std::vector<float> expandedKnotsV;
    int32_t expandedKnotCountV = 0;
    int32_t expandedPointCount = 0;

    // --- Editing selection. ---
    int32_t currentSection = 0;
    int32_t selectedPoint = 0;
    int32_t destPlane = 0;
    int32_t pickedPointOffset = -1;  // 4 * point index in controlNet, -1 = none
    float weightValue = -1.0f;
    float sectionCentroid[3] = {0.0f, 0.0f, 0.0f};  // mean of the stored x*w, y*w, z*w

    // --- Live variables of the control panel. ---
    int32_t degreeS = 0;
    int32_t degreeT = 0;
    int32_t surfType = 0;  // 0 = "Revolving surface"
    int32_t skinningEnabled = 0;
    int32_t fillSurface = 0;
    float surfaceDisplayMode = kDisplayModeOutline;
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

    // --- View state. ---
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
    float sectionEyeOffset[3] = {-5.0f, 0.0f, 0.0f};
    float sectionRefOffset[3] = {0.0f, 0.0f, 0.0f};
    int32_t sectionMouseButton = -1;
    int32_t sectionMouseX = 0;
    int32_t sectionMouseY = 0;
    uint32_t backgroundTexture = 0;  // GL texture name in the section window's context
    int32_t backgroundWidth = 0;
    int32_t backgroundHeight = 0;

    // --- Handles. Window ids are 0 until the window exists. ---
    int mainWindow = 0;
    int sectionWindow = 0;
    int controlPanel = 0;  // GLUT window "operations"
    int pointsMenu = 0;
    void* surfaceRenderer = nullptr;  // GLUnurbs of the main view, opaque to the core
    void* sectionRenderer = nullptr;  // GLUnurbs of the section view

    // --- Panel bookkeeping. ---
    int32_t knotControlRebuilds = 0;  // bumped by every rebuildKnotControls
    bool closeKnotRollouts = false;   // close "knots in s" / "knots in t" on the next frame

    // --- Last status message, shown at the bottom of the panel. ---
    char statusLine[512] = "";
};

extern EditorState editor;

// True when a surface is loaded whose arrays match its counts and orders, so it can be
// evaluated and drawn: counts and orders of at least 1, order no larger than the count, and
// every array of the size the counts give.
bool surfaceIsUsable(const EditorState& state);

// Records a one-line message for the user: kept in statusLine for the panel and written to
// standard error. printf-style.
void setStatus(const char* format, ...) __attribute__((format(printf, 1, 2)));
