// A single quad with the whole test texture on it.
#include "render/gfx.h"

void gfxDrawTexturedQuad(Vec3f p0, Vec3f p1, Vec3f p2, Vec3f p3) {
    // The face normal d1 x d2 of the first three corners, not normalised; vecCross takes
    // its operands in the reverse order.
    const Vec3f d1 = vecSub(p0, p1);
    const Vec3f d2 = vecSub(p0, p2);
    const Vec3f normal = vecCross(d2, d1);

    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, gTestTexture);
    glBegin(GL_QUADS);
    glNormal3f(normal.x, normal.y, normal.z);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(p0.x, p0.y, p0.z);
    glTexCoord2f(0.0f, 1.0f);
    glVertex3f(p1.x, p1.y, p1.z);
    glTexCoord2f(1.0f, 1.0f);
    glVertex3f(p2.x, p2.y, p2.z);
    glTexCoord2f(1.0f, 0.0f);
    glVertex3f(p3.x, p3.y, p3.z);
    glEnd();
    glDisable(GL_TEXTURE_2D);
}
