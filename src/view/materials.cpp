// The materials the main view lights its surface, nets and highlights with.
#include "view/materials.h"

#include <GL/gl.h>

namespace {

void setMaterial(const GLfloat ambient[4], const GLfloat specular[4], const GLfloat diffuse[4],
                 GLfloat shininess) {
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, ambient);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, specular);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, diffuse);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SHININESS, &shininess);
}

}  // namespace

void materialSurface() {
    static const GLfloat ambient[4] = {0.3f, 0.3f, 0.5f, 1.0f};
    static const GLfloat specular[4] = {0.3f, 0.3f, 0.5f, 1.0f};
    static const GLfloat diffuse[4] = {0.3f, 0.3f, 0.3f, 1.0f};
    setMaterial(ambient, specular, diffuse, 50.0f);
}

void materialNet() {
    static const GLfloat ambient[4] = {0.2f, 0.5f, 0.6f, 1.0f};
    static const GLfloat specular[4] = {0.2f, 0.5f, 0.7f, 1.0f};
    static const GLfloat diffuse[4] = {0.4f, 0.5f, 0.4f, 1.0f};
    setMaterial(ambient, specular, diffuse, 30.0f);
}

void materialHighlight() {
    static const GLfloat ambient[4] = {0.8f, 0.3f, 0.6f, 1.0f};
    static const GLfloat specular[4] = {0.8f, 0.3f, 0.7f, 1.0f};
    static const GLfloat diffuse[4] = {0.8f, 0.2f, 0.4f, 1.0f};
    setMaterial(ambient, specular, diffuse, 30.0f);
}

void materialSkinned() {
    static const GLfloat red[4] = {1.0f, 0.0f, 0.0f, 1.0f};
    setMaterial(red, red, red, 30.0f);
}
