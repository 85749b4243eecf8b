// Drawing of a grid mesh as lit, textured quad strips.
#include "mesh/mesh.h"
#include "render/gfx.h"

namespace {

// One vertex of a strip, in the order lighting and texturing expect: texture
// coordinate, normal (widened to double), position.
void stripVertex(float s, float t, Vec3f normal, Vec3f position) {
    glTexCoord2f(s, t);
    glNormal3d(normal.x, normal.y, normal.z);
    glVertex3f(position.x, position.y, position.z);
}

}  // namespace

void meshDraw(GridMesh mesh) {
    glEnable(GL_LIGHTING);
    glEnable(GL_NORMALIZE);  // the normals are not unit length
    glEnable(GL_LIGHT0);
    glMatrixMode(GL_MODELVIEW);
    glColor3f(1.0f, 1.0f, 1.0f);
    glEnable(GL_TEXTURE_2D);
    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, static_cast<GLfloat>(GL_MODULATE));
    glBindTexture(GL_TEXTURE_2D, gTestTexture);

    // Strips run between rows i and i + 1 for i = 1..lastRow - 2, so rows up to
    // lastRow - 1 are read: a lastRow past 151 would read beyond the record and draws
    // nothing. One of 2 or less has no strip.
    const int32_t lastRow = mesh.lastRow;
    if (lastRow <= kMeshRowSlots) {
        for (int32_t i = 1; i + 2 <= lastRow; ++i) {
            const float s0 = static_cast<float>(i) / static_cast<float>(lastRow);
            const float s1 = static_cast<float>(i + 1) / static_cast<float>(lastRow);
            glBegin(GL_QUAD_STRIP);
            // The first pair lies at column 1 but takes t = 0.
            stripVertex(s0, 0.0f, mesh.normals[i][1], mesh.vertices[i][1]);
            stripVertex(s1, 0.0f, mesh.normals[i + 1][1], mesh.vertices[i + 1][1]);
            for (int32_t j = 2; j <= 48; ++j) {
                const float t = static_cast<float>(j) / 50.0f;
                stripVertex(s0, t, mesh.normals[i][j], mesh.vertices[i][j]);
                stripVertex(s1, t, mesh.normals[i + 1][j], mesh.vertices[i + 1][j]);
            }
            glEnd();
        }
    }

    glDisable(GL_LIGHT0);
    glDisable(GL_LIGHTING);
    glDisable(GL_NORMALIZE);
}
