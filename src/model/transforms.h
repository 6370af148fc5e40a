// Moves, scales and turns the current section as a whole, and changes the weight of the point
// picked in the main view. Each takes the calling control's id, which it ignores.
#pragma once

void scaleUpCallback(int id);
void scaleDownCallback(int id);
void translateXCallback(int id);
void translateYCallback(int id);
void translateZCallback(int id);
void translateZYCallback(int id);
void rotationCallback(int id);
void zRotCallback(int id);
void weightCallback(int id);

// r[i] = M[4i] v[0] + M[4i+1] v[1] + M[4i+2] v[2] + M[4i+3] v[3]: M read row by row.
void multiplyMatrixVector(const float M[16], const float v[4], float r[4]);
