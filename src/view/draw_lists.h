// Indexed triangle and line lists built from the primitives GLU's tessellator hands over, and
// their drawing through vertex arrays.
#pragma once

#include <GL/gl.h>

#include <vector>

// One primitive as GLU began and ended it: a range of the captured vertices.
struct Primitive {
    GLenum mode;
    GLint first;
    GLsizei count;
};

// The primitives GLU handed over for one surface or part, in GLU's order.
struct CapturedPrimitives {
    std::vector<GLfloat> positions;  // x, y, z per vertex
    std::vector<GLfloat> normals;    // nx, ny, nz per vertex
    std::vector<Primitive> primitives;
};

// What is drawn: the distinct vertices (equal position and normal bits), triangles and lines.
struct DrawLists {
    std::vector<GLfloat> positions;
    std::vector<GLfloat> normals;
    std::vector<GLuint> triangles;
    std::vector<GLuint> lines;
};

// Turns GLU's primitives, in GLU's order, into the triangle and line lists. Vertices GLU
// evaluated twice to the same bits (the shared corners of neighbouring fans) are kept once.
// Filled, polygons become triangles; in outline, their edges become lines, each distinct edge
// once, which are exactly the edges GLU's renderer draws under the polygon mode GL_LINE.
void buildDrawLists(const CapturedPrimitives& raw, bool outline, DrawLists& lists);

// Appends a part's lists after those already in `into`.
void appendLists(DrawLists& into, const DrawLists& part);

bool hasPrimitives(const DrawLists& lists);

// Draw lists go to GL between beginDrawingLists and endDrawingLists; drewSomething says whether
// any of them had primitives.
void beginDrawingLists();
void drawLists(const DrawLists& lists);
void endDrawingLists(bool drewSomething);
