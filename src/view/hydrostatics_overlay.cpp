// The waterline and the centre of buoyancy in the main view.
#include "view/hydrostatics_overlay.h"

#include <GL/freeglut.h>

HydrostaticsOverlay& hydrostaticsOverlay() {
    static HydrostaticsOverlay overlay;
    return overlay;
}

void drawHydrostaticsOverlay() {
    const HydrostaticsOverlay& o = hydrostaticsOverlay();
    if (!o.shown) return;
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_LINE_BIT | GL_POINT_BIT | GL_DEPTH_BUFFER_BIT |
                 GL_VIEWPORT_BIT);
    glDisable(GL_LIGHTING);
    glEnable(GL_DEPTH_TEST);
    // The line lies on the surface: drawn a little nearer than its depth, it is not lost in the
    // surface's own pixels, and the far side stays hidden behind the hull.
    glDepthRange(0.0, 0.9995);
    glLineWidth(2.5f);
    glColor3f(0.10f, 0.45f, 1.0f);
    glBegin(GL_LINES);
    for (size_t k = 0; k + 2 < o.waterline.size(); k += 3) {
        glVertex3f(o.waterline[k], o.waterline[k + 1], o.waterline[k + 2]);
    }
    glEnd();
    if (o.mirrored) {
        glBegin(GL_LINES);
        for (size_t k = 0; k + 2 < o.waterline.size(); k += 3) {
            glVertex3f(o.waterline[k], o.waterline[k + 1], 2.0f * o.mirrorZ - o.waterline[k + 2]);
        }
        glEnd();
    }
    // The centre of buoyancy lies inside the hull: it is drawn over everything.
    glDisable(GL_DEPTH_TEST);
    glPointSize(9.0f);
    glColor3f(0.95f, 0.15f, 0.1f);
    glBegin(GL_POINTS);
    glVertex3fv(o.buoyancy);
    glEnd();
    glPopAttrib();
}
