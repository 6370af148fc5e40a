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
#include <vector>

#include "model/editor_state.h"
#include "model/section_centroid.h"
#include "model/skinning.h"

namespace {

constexpr float kScaleUpFactor = 1.25f;
constexpr float kScaleDownFactor = 0.8f;

// The countU points of the current section, or nullptr when there is no section to move.
PointH* currentSectionPoints() {
    EditorState& s = editor;
    if (!surfaceIsUsable(s) || s.currentSection < 0 || s.currentSection >= s.countV) {
        return nullptr;
    }
    return s.controlNet.data() + static_cast<size_t>(s.currentSection) * s.countU;
}

bool isFinite(const PointH& p) {
    return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z) && std::isfinite(p.w);
}

// Applies transform to a copy of the current section and writes the copy back only when every
// value stayed finite, so an overflow never reaches the net. Skins again afterwards while
// skinning is on, so the skinned surface follows the section.
template <typename Transform>
void transformCurrentSection(Transform transform) {
    PointH* section = currentSectionPoints();
    if (section == nullptr) return;
    std::vector<PointH> moved(section, section + editor.countU);
    transform(moved);
    if (!std::all_of(moved.begin(), moved.end(), isFinite)) {
        setStatus("Section %d not moved: its points would leave the range of numbers",
                  editor.currentSection);
        return;
    }
    std::copy(moved.begin(), moved.end(), section);
    if (editor.skinningEnabled != 0) skinningCallback(-1);
}

// The pivot of scaling and rotation: the centroid of the section being moved, recomputed here
// because the one the main view stored may still belong to the previously chosen section.
void refreshPivot() { computeSectionCentroid(editor.sectionCentroid); }

void scaleCurrentSection(float f) {
    if (currentSectionPoints() == nullptr) return;
    refreshPivot();
    const float mx = editor.sectionCentroid[0];
    const float my = editor.sectionCentroid[1];
    const float mz = editor.sectionCentroid[2];
    transformCurrentSection([=](std::vector<PointH>& points) {
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

// Moves the current section by d along one coordinate (member of PointH).
void translateCurrentSection(float PointH::*coordinate, float d) {
    transformCurrentSection([=](std::vector<PointH>& points) {
        for (PointH& p : points) p.*coordinate = p.*coordinate + p.w * d;
    });
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

void scaleUpCallback(int /*id*/) { scaleCurrentSection(kScaleUpFactor); }

void scaleDownCallback(int /*id*/) { scaleCurrentSection(kScaleDownFactor); }

// The translation controls accumulate their values and are never reset, so each callback moves
// the section by the change since the previous callback. The change is consumed even when there
// is no section to move, so the section never jumps by movements made before it existed.
void translateXCallback(int /*id*/) {
    const float d = editor.translateX - editor.lastTranslateX;
    editor.lastTranslateX = editor.translateX;
    translateCurrentSection(&PointH::x, d);
}

void translateYCallback(int /*id*/) {
    const float d = editor.translateY - editor.lastTranslateY;
    editor.lastTranslateY = editor.translateY;
    translateCurrentSection(&PointH::y, d);
}

// The depth control grows towards the viewer, who looks down -z: the section moves by -d.
void translateZCallback(int /*id*/) {
    const float d = editor.translateZ - editor.lastTranslateZ;
    editor.lastTranslateZ = editor.translateZ;
    translateCurrentSection(&PointH::z, -d);
}

// The two-axis control: its horizontal value moves along z, its vertical value along y.
void translateZYCallback(int /*id*/) {
    const float d0 = editor.translateZY[0] - editor.lastTranslateZY[0];
    const float d1 = editor.translateZY[1] - editor.lastTranslateZY[1];
    editor.lastTranslateZY[0] = editor.translateZY[0];
    editor.lastTranslateZY[1] = editor.translateZY[1];
    transformCurrentSection([=](std::vector<PointH>& points) {
        for (PointH& p : points) p.z = p.z + p.w * d0;
        for (PointH& p : points) p.y = p.y + p.w * d1;
    });
}

// Turns the current section about its centroid m by rotationMatrix, which the panel's arcball
// (or "z_rot") has just written, then sets the matrix back to the identity so the next drag step
// applies only the turn made since this one. The points are taken to the pivot (T-), turned by
// the matrix with the off-diagonal signs of its 3 x 3 part flipped, and taken back (T+).
void rotationCallback(int /*id*/) {
    if (currentSectionPoints() != nullptr) {
        refreshPivot();
        const float mx = editor.sectionCentroid[0];
        const float my = editor.sectionCentroid[1];
        const float mz = editor.sectionCentroid[2];
        float toPivot[16];
        float fromPivot[16];
        setIdentity(toPivot);
        setIdentity(fromPivot);
        toPivot[3] = -mx;
        toPivot[7] = -my;
        toPivot[11] = -mz;
        fromPivot[3] = mx;
        fromPivot[7] = my;
        fromPivot[11] = mz;
        float turn[16];
        std::copy(editor.rotationMatrix, editor.rotationMatrix + 16, turn);
        for (int i : {1, 2, 4, 6, 8, 9}) turn[i] = -turn[i];
        transformCurrentSection([&](std::vector<PointH>& points) {
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
    setIdentity(editor.rotationMatrix);
}

// Turns the current section about its centroid around the z direction by the "z_rot" spinner's
// angle (radians), then sets the spinner back to 0 so each use turns by the value entered.
// Skinning runs once, inside the rotation.
void zRotCallback(int /*id*/) {
    const double a = editor.zRotAngle;
    const float c = static_cast<float>(std::cos(a));
    const float s = static_cast<float>(std::sin(a));
    float* R = editor.rotationMatrix;
    std::fill(R, R + 16, 0.0f);
    R[0] = c;
    R[1] = -s;
    R[4] = s;
    R[5] = c;
    R[10] = 1.0f;
    R[15] = 1.0f;
    rotationCallback(-1);
    editor.zRotAngle = 0.0f;
}

// Gives the point picked in the main view the weight weightValue while keeping its Cartesian
// position: X / W * weightValue for each coordinate, in extended precision and rounded once.
// The point may lie in any section. Skinning is not rerun.
void weightCallback(int /*id*/) {
    EditorState& s = editor;
    const long long floats = 4LL * static_cast<long long>(s.controlNet.size());
    const long long k = s.pickedPointOffset;
    if (k < 0 || k % 4 != 0 || k + 3 >= floats) {
        setStatus("No point picked: right-click a control point in the main window first");
        return;
    }
    PointH& p = s.controlNet[static_cast<size_t>(k / 4)];
    const float value = s.weightValue;
    if (!std::isfinite(value) || !(value > 0.0f)) {
        setStatus("Weight %g refused: a weight must be greater than 0",
                  static_cast<double>(value));
        s.weightValue = p.w;  // the spinner shows the weight the point still has
        return;
    }
    if (!std::isfinite(p.w) || p.w == 0.0f) {
        setStatus("The picked point has weight %g: its position is unknown, so it cannot be "
                  "reweighted", static_cast<double>(p.w));
        return;
    }
    const long double w = p.w;
    const long double newW = value;
    const PointH rescaled{static_cast<float>(p.x / w * newW), static_cast<float>(p.y / w * newW),
                          static_cast<float>(p.z / w * newW), value};
    if (!isFinite(rescaled)) {
        setStatus("Weight %g refused: the point's coordinates would leave the range of numbers",
                  static_cast<double>(value));
        s.weightValue = p.w;
        return;
    }
    p = rescaled;
}
