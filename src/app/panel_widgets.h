// The panel's two hand-drawn Dear ImGui widgets: the arcball rotation control and the
// translation pads, with the arcball's rotation arithmetic exposed for tests.
#pragma once

// How a drag on the arcball turns: freely, or only about one axis of the ball.
enum class ArcballConstraint { free, aroundY, aroundX };

// A rotation as a unit quaternion (w, x, y, z).
struct Rotation {
    float w, x, y, z;
};

// The rotation one drag step makes. Positions are in pixels relative to the ball's centre, y
// down (window pixels); radius is the ball's radius in pixels. A free drag turns the point
// under the pointer on the ball to the new one; aroundY turns by the horizontal movement,
// aroundX by the vertical one, one radian per radius.
Rotation arcballStep(float fromX, float fromY, float toX, float toY, float radius,
                     ArcballConstraint constraint);

// matrix = R(rotation) * matrix, with the 16 floats in GL's column order (element 4c + r is
// row r of column c), as glMultMatrixf reads them.
void applyRotation(float matrix[16], const Rotation& rotation);

// The arcball control: a ball of the given diameter in pixels, dragged with the left button.
// Each drag step multiplies its rotation into matrix and returns true. Ctrl held when the drag
// starts limits it to turns about y, alt to turns about x.
bool arcballControl(const char* label, float matrix[16], float diameter);

// Translation pads: drag inside the pad and the value(s) move by speed per pixel of pointer
// movement. horizontal: values[0] follows the x movement; vertical: values[0] rises as the
// pointer moves up; both: values[0] follows x and values[1] rises with upward movement.
enum class PadKind { horizontal, vertical, both };
bool translationPad(const char* label, PadKind kind, float* values, float speed);
