// Moves, scales and turns the current section as a whole, and changes the weight of the point
// picked in the main view.
//
// Every section transform works on the stored homogeneous values (X, Y, Z, W) = (x w, y w, z w,
// w): a Cartesian displacement d is applied as d W, so the weights never change. Each step is a
// single-precision operation whose result is stored as a float, in the order written here, so
// the same panel actions always give the same bits.
#include "model/transforms.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "model/editor_state.h"
#include "model/finite_values.h"
#include "model/section_centroid.h"
#include "model/skinning.h"
#include "model/surface_edit.h"

namespace {

// Applies transform to a copy of the section and writes the copy back only when every value
// stayed finite, so an overflow never reaches the net.
template <typename Transform>
bool transformSection(SurfaceModel& surface, int section, Transform transform) {
    if (!hasSection(surface, section)) return false;
    PointH* points = sectionPoints(surface, section);
    std::vector<PointH> moved(points, points + surface.countU);
    transform(moved);
    if (!std::all_of(moved.begin(), moved.end(), [](const PointH& p) { return finite(p); })) {
        return false;
    }
    std::copy(moved.begin(), moved.end(), points);
    return true;
}

void setIdentity(float M[16]) {
    for (int i = 0; i < 16; ++i) M[i] = (i % 5 == 0) ? 1.0f : 0.0f;
}

}  // namespace

void multiplyMatrixVector(const float M[16], const float v[4], float r[4]) {
    float result[4];  // r may be v itself
    for (int i = 0; i < 4; ++i) {
        float sum = M[4 * i] * v[0];
        sum = sum + M[4 * i + 1] * v[1];
        sum = sum + M[4 * i + 2] * v[2];
        sum = sum + M[4 * i + 3] * v[3];
        result[i] = sum;
    }
    for (int i = 0; i < 4; ++i) r[i] = result[i];
}

bool translateSection(SurfaceModel& surface, int section, const float d[3]) {
    return transformSection(surface, section, [=](std::vector<PointH>& points) {
        for (PointH& p : points) p.x = p.x + p.w * d[0];
        for (PointH& p : points) p.y = p.y + p.w * d[1];
        for (PointH& p : points) p.z = p.z + p.w * d[2];
    });
}

bool scaleSection(SurfaceModel& surface, int section, float f, const float pivot[3]) {
    const float mx = pivot[0];
    const float my = pivot[1];
    const float mz = pivot[2];
    return transformSection(surface, section, [=](std::vector<PointH>& points) {
        for (PointH& p : points) {
            p.x = p.x - p.w * mx;
            p.y = p.y - p.w * my;
            p.z = p.z - p.w * mz;
            p.x = p.x * f;
            p.y = p.y * f;
            p.z = p.z * f;
            p.x = p.x + p.w * mx;
            p.y = p.y + p.w * my;
            p.z = p.z + p.w * mz;
        }
    });
}

// The points are taken to the pivot (T-), turned by the matrix with the off-diagonal signs of
// its 3 x 3 part flipped, and taken back (T+).
bool rotateSection(SurfaceModel& surface, int section, const float matrix[16],
                   const float pivot[3]) {
    float toPivot[16];
    float fromPivot[16];
    setIdentity(toPivot);
    setIdentity(fromPivot);
    toPivot[3] = -pivot[0];
    toPivot[7] = -pivot[1];
    toPivot[11] = -pivot[2];
    fromPivot[3] = pivot[0];
    fromPivot[7] = pivot[1];
    fromPivot[11] = pivot[2];
    float turn[16];
    std::copy(matrix, matrix + 16, turn);
    for (int i : {1, 2, 4, 6, 8, 9}) turn[i] = -turn[i];
    return transformSection(surface, section, [&](std::vector<PointH>& points) {
        for (PointH& p : points) {
            const float v[4] = {p.x, p.y, p.z, p.w};
            float r1[4];
            float r2[4];
            float r3[4];
            multiplyMatrixVector(toPivot, v, r1);
            multiplyMatrixVector(turn, r1, r2);
            multiplyMatrixVector(fromPivot, r2, r3);
            p = PointH{r3[0], r3[1], r3[2], r3[3]};
        }
    });
}

// X / W * weight for each coordinate, in extended precision and rounded once.
bool reweightPoint(SurfaceModel& surface, int point, float weight, std::string& error) {
    char line[160];
    if (point < 0 || static_cast<size_t>(point) >= surface.controlNet.size()) {
        error = "No point picked: right-click a control point in the main window first";
        return false;
    }
    PointH& p = surface.controlNet[static_cast<size_t>(point)];
    if (!std::isfinite(weight) || !(weight > 0.0f)) {
        snprintf(line, sizeof line, "Weight %g refused: a weight must be greater than 0",
                 static_cast<double>(weight));
        error = line;
        return false;
    }
    if (!std::isfinite(p.w) || p.w == 0.0f) {
        snprintf(line, sizeof line,
                 "The picked point has weight %g: its position is unknown, so it cannot be "
                 "reweighted",
                 static_cast<double>(p.w));
        error = line;
        return false;
    }
    const long double w = p.w;
    const long double newW = weight;
    const PointH rescaled{static_cast<float>(p.x / w * newW), static_cast<float>(p.y / w * newW),
                          static_cast<float>(p.z / w * newW), weight};
    if (!finite(rescaled)) {
        snprintf(line, sizeof line,
                 "Weight %g refused: the point's coordinates would leave the range of numbers",
                 static_cast<double>(weight));
        error = line;
        return false;
    }
    p = rescaled;
    return true;
}

namespace {

// Reports a section the numbers would not let move; a moved section is followed by the
// skinned net while skinning is on.
void finishSectionMove(EditorState& state, bool moved) {
    if (!hasSection(state.surface, state.selection.currentSection)) return;
    if (!moved) {
        setStatusLinef(state.panel,
                       "Section %d not moved: its points would leave the range of numbers",
                       state.selection.currentSection);
        return;
    }
    surfaceEdited(state, EditEffect::movedPoints);
}

std::string sectionStepName(const EditorState& state, const char* verb) {
    return std::string(verb) + " section " + std::to_string(state.selection.currentSection);
}

// The pivot of scaling and rotation: the centroid of the section being moved, recomputed here
// because the one stored may still belong to the previously chosen section.
void refreshPivot(EditorState& state) {
    computeSectionCentroid(state.surface, state.selection.currentSection,
                           state.selection.sectionCentroid);
}

void translateCurrentSection(EditorState& state, float dx, float dy, float dz) {
    if (!hasSection(state.surface, state.selection.currentSection)) return;
    const float d[3] = {dx, dy, dz};
    runEdit(state, sectionStepName(state, "move"), [&] {
        finishSectionMove(state,
                          translateSection(state.surface, state.selection.currentSection, d));
    });
}

}  // namespace

void scaleCurrentSection(EditorState& state, float factor) {
    if (!hasSection(state.surface, state.selection.currentSection)) {
        setStatusLinef(state.panel, "scale: no section to scale");
        return;
    }
    runEdit(state, sectionStepName(state, "scale"), [&] {
        refreshPivot(state);
        setStatusLinef(state.panel, "scale: section %d scaled by %g about its centre",
                       state.selection.currentSection, static_cast<double>(factor));
        finishSectionMove(state, scaleSection(state.surface, state.selection.currentSection, factor,
                                              state.selection.sectionCentroid));
    });
}

// The translation controls accumulate their values and are never reset, so each change moves
// the section by the change since the previous one. The change is consumed even when there is
// no section to move, so the section never jumps by movements made before it existed.
void translateByControl(EditorState& state, TranslateControl control) {
    PanelVariables& panel = state.panel;
    switch (control) {
        case TranslateControl::x: {
            const float d = panel.translateX - panel.lastTranslateX;
            panel.lastTranslateX = panel.translateX;
            translateCurrentSection(state, d, 0.0f, 0.0f);
            break;
        }
        case TranslateControl::y: {
            const float d = panel.translateY - panel.lastTranslateY;
            panel.lastTranslateY = panel.translateY;
            translateCurrentSection(state, 0.0f, d, 0.0f);
            break;
        }
        case TranslateControl::z: {
            // The depth control grows towards the viewer, who looks down -z: the section moves
            // by -d.
            const float d = panel.translateZ - panel.lastTranslateZ;
            panel.lastTranslateZ = panel.translateZ;
            translateCurrentSection(state, 0.0f, 0.0f, -d);
            break;
        }
        case TranslateControl::zy: {
            // The two-axis control: its horizontal value moves along z, its vertical along y.
            const float d0 = panel.translateZY[0] - panel.lastTranslateZY[0];
            const float d1 = panel.translateZY[1] - panel.lastTranslateZY[1];
            panel.lastTranslateZY[0] = panel.translateZY[0];
            panel.lastTranslateZY[1] = panel.translateZY[1];
            translateCurrentSection(state, 0.0f, d1, d0);
            break;
        }
    }
}

// Turns the current section about its centroid by rotationMatrix, which the panel's arcball
// (or "z_rot") has just written, then sets the matrix back to the identity so the next drag step
// applies only the turn made since this one.
void rotateCurrentSection(EditorState& state) {
    if (hasSection(state.surface, state.selection.currentSection)) {
        runEdit(state, sectionStepName(state, "rotate"), [&] {
            refreshPivot(state);
            finishSectionMove(
                state, rotateSection(state.surface, state.selection.currentSection,
                                     state.panel.rotationMatrix, state.selection.sectionCentroid));
        });
    }
    setIdentity(state.panel.rotationMatrix);
}

// Turns the current section about its centroid around the z direction by the "z_rot" spinner's
// angle (radians), then sets the spinner back to 0 so each use turns by the value entered.
// Skinning runs once, inside the rotation.
void rotateCurrentSectionAboutZ(EditorState& state) {
    const double a = state.panel.zRotAngle;
    const float c = static_cast<float>(std::cos(a));
    const float s = static_cast<float>(std::sin(a));
    float* R = state.panel.rotationMatrix;
    std::fill(R, R + 16, 0.0f);
    R[0] = c;
    R[1] = -s;
    R[4] = s;
    R[5] = c;
    R[10] = 1.0f;
    R[15] = 1.0f;
    rotateCurrentSection(state);
    state.panel.zRotAngle = 0.0f;
}

// Gives the point picked in the main view the weight weightValue while keeping its Cartesian
// position. The point may lie in any section. Skinning is not rerun.
void reweightPickedPoint(EditorState& state) {
    Selection& selection = state.selection;
    const SurfaceModel& surface = state.surface;
    const long long floats = 4LL * static_cast<long long>(surface.controlNet.size());
    const long long k = selection.pickedPointOffset;
    const int point = (k < 0 || k % 4 != 0 || k + 3 >= floats) ? -1 : static_cast<int>(k / 4);
    std::string error;
    bool reweighted = false;
    const std::string name = point < 0
                                 ? std::string("weight")
                                 : "weight of point " + std::to_string(point % surface.countU) +
                                       " of section " + std::to_string(point / surface.countU);
    runEdit(state, name, [&] {
        reweighted = reweightPoint(state.surface, point, selection.weightValue, error);
        if (reweighted) surfaceEdited(state, EditEffect::reweighted);
    });
    if (!reweighted) {
        setStatusLinef(state.panel, "%s", error.c_str());
        if (point < 0) {
            selection.weightValue = -1.0f;  // the box shows no weight while no point is picked
            return;
        }
        // The spinner shows the weight the point still has, unless that weight is the problem.
        const float kept = surface.controlNet[static_cast<size_t>(point)].w;
        const bool valueRefused =
            !(std::isfinite(selection.weightValue) && selection.weightValue > 0.0f);
        if (valueRefused || (std::isfinite(kept) && kept != 0.0f)) selection.weightValue = kept;
    }
}
