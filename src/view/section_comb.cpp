// Curvature comb lines of the section window.
#include "view/section_comb.h"

#include <GL/gl.h>

#include <cmath>

#include "model/curvature_comb.h"

namespace {

constexpr int kTeethPerSpan = 24;
// The longest tooth is this share of the window's height: the orthographic box is 2 units high
// before the zoom scales the model.
constexpr float kLongestToothShare = 0.2f;

}  // namespace

void drawCurvatureComb(const SurfaceModel& surface, int section, const ViewState& view) {
    const float zoom = std::fabs(view.sectionZoom);
    if (!(zoom > 0.0f) || !std::isfinite(zoom)) return;
    const CurvatureComb comb =
        sectionCurvatureComb(surface, section, kTeethPerSpan, kLongestToothShare * 2.0f / zoom);
    if (comb.teeth.empty()) return;
    glLineWidth(1.0f);
    glColor3f(0.95f, 0.6f, 0.1f);
    glBegin(GL_LINES);
    for (const CombTooth& t : comb.teeth) {
        glVertex3f(t.base.x, t.base.y, t.base.z);
        glVertex3f(t.tip.x, t.tip.y, t.tip.z);
    }
    glEnd();
    glColor3f(1.0f, 0.8f, 0.3f);
    glBegin(GL_LINE_STRIP);
    for (const CombTooth& t : comb.teeth) glVertex3f(t.tip.x, t.tip.y, t.tip.z);
    glEnd();
}
