// Placeholder until surface creation and section copy land.
#include "model/surface_commands.h"

void makeRevolvedSurface(Point3, Vector3, float, int, const Point3*, const float*, int*, float*,
                         Point3*, float*) {}
void createRevolvedSurface() {}
void copySectionCallback(int) {}
void fillSurfaceCallback(int) {}
