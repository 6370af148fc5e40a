// Placeholder until the section transforms land.
#include "model/transforms.h"

void scaleUpCallback(int) {}
void scaleDownCallback(int) {}
void translateXCallback(int) {}
void translateYCallback(int) {}
void translateZCallback(int) {}
void translateZYCallback(int) {}
void rotationCallback(int) {}
void zRotCallback(int) {}
void weightCallback(int) {}
void multiplyMatrixVector(const float*, const float*, float*) {}
