// Size limits of the surfaces the editor takes.
#include "model/surface_limits.h"

#include <cstdio>

bool editorCanTake(const SurfaceModel& s, std::string& error) {
    const long long points = static_cast<long long>(s.countU) * static_cast<long long>(s.countV);
    char line[200];
    if (points > kMostNetPoints) {
        snprintf(line, sizeof line,
                 "%d x %d points are more than the %lld points the editor can draw", s.countU,
                 s.countV, kMostNetPoints);
        error = line;
        return false;
    }
    if (s.orderU > kMostDrawnOrder || s.orderV > kMostDrawnOrder) {
        snprintf(line, sizeof line, "degrees %d x %d are above %d, the highest the editor draws",
                 s.orderU - 1, s.orderV - 1, kMostDrawnOrder - 1);
        error = line;
        return false;
    }
    return true;
}

double skinningWork(long long R, long long columns, long long order) {
    const double band = 2.0 * static_cast<double>(order);
    return static_cast<double>(R) * band * (band + 4.0 * static_cast<double>(columns));
}

std::string degreePastPoints(const SurfaceModel& s) {
    const bool inU = s.orderU > s.countU;
    const int degree = (inU ? s.orderU : s.orderV) - 1;
    const int count = inU ? s.countU : s.countV;
    const char* name = inU ? "s" : "t";
    char line[200];
    snprintf(line, sizeof line,
             "degree %s is %d but there are only %d points in %s: a surface of degree %d needs "
             "at least %d",
             name, degree, count, name, degree, degree + 1);
    return line;
}
