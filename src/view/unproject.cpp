// Placeholder until unprojection lands.
#include "view/unproject.h"

int unprojectWithDepthBuffer(int, int, double*, double*, double*) { return 0; }
int unprojectAtSelectedPoint(int, int, double*, double*, double*) { return 0; }
