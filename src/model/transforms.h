// Moves, scales and turns the current section as a whole, and changes the weight of the point
// picked in the main view.
#pragma once

#include <string>

#include "model/editor_state.h"
#include "model/surface_model.h"

// "scale up" and "scale down".
constexpr float kScaleUpFactor = 1.25f;
constexpr float kScaleDownFactor = 0.8f;

// The edits the panel's section controls make, each one undoable step on the state, its
// refusals on the state's status line. Scaling and turning pivot on the current section's
// centroid.
void scaleCurrentSection(EditorState& state, float factor);
// The translation control that changed: "translate X", "translate Y", "translate Z" (towards
// the viewer) or the two-axis "translate XY".
enum class TranslateControl { x, y, z, zy };
void translateByControl(EditorState& state, TranslateControl control);
// By the panel's rotationMatrix, which then goes back to the identity.
void rotateCurrentSection(EditorState& state);
// By the panel's zRotAngle about z, which then goes back to 0.
void rotateCurrentSectionAboutZ(EditorState& state);
// The picked point takes the selection's weightValue.
void reweightPickedPoint(EditorState& state);

// r[i] = M[4i] v[0] + M[4i+1] v[1] + M[4i+2] v[2] + M[4i+3] v[3]: M read row by row.
void multiplyMatrixVector(const float M[16], const float v[4], float r[4]);

// Kernels on a surface value. Each changes section `section` only when it exists and every
// value stays finite; otherwise it returns false and leaves the surface as it was. Displacements
// act on the stored homogeneous values as d w, so weights never change.
bool translateSection(SurfaceModel& surface, int section, const float d[3]);
bool scaleSection(SurfaceModel& surface, int section, float factor, const float pivot[3]);
// Turns about pivot by the 3 x 3 part of matrix (row-major, GL's column order read as rows).
bool rotateSection(SurfaceModel& surface, int section, const float matrix[16],
                   const float pivot[3]);
// Gives point `point` (index in controlNet) the weight `weight`, keeping its Cartesian place.
// False with the reason in error when there is no such point, the weight is not above 0, the
// point's own weight is 0, or the coordinates would overflow.
bool reweightPoint(SurfaceModel& surface, int point, float weight, std::string& error);
