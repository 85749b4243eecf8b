// meshDraw and gfxDrawTexturedQuad on a real context: their vertices captured in feedback
// mode, and the state they leave behind.
#include <algorithm>
#include <climits>
#include <cmath>
#include <map>
#include <set>
#include <vector>

#include "mesh/mesh.h"
#include "tests/support/app_fixture.h"

namespace {

using Corner = FeedbackCorner;

// Draws in feedback mode looking along +y, from the -y side: object x and z run along
// window x and y, each from -1..1 to 0..400. Every polygon winds counter-clockwise as
// seen from there.
std::vector<FeedbackPolygon> capture(const std::function<void()>& draw) {
    glViewport(0, 0, 400, 400);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glRotatef(-90.0f, 1.0f, 0.0f, 0.0f);  // (x, y, z) -> (x, z, -y)
    const std::vector<FeedbackPolygon> polygons = testFeedback(draw);
    for (const FeedbackPolygon& p : polygons) {
        double area = 0;
        for (size_t c = 0; c < p.size(); ++c) {
            area += double(p[c].x) * p[(c + 1) % p.size()].y - double(p[(c + 1) % p.size()].x) * p[c].y;
        }
        EXPECT_GT(area, 0.0);
    }
    return polygons;
}

// Normals at angles to +y that vary from vertex to vertex, and not of unit length.
double angle(int i, int j) { return ((3 * i + 7 * j) % 11) * 0.13; }

// Rows 0..L over x from -1 to 1 (150 steps for an L that could not be drawn, and as many
// rows as the record has), columns 0..50 over z, in the plane y = 0, with those normals.
GridMesh gridWithRows(int32_t L) {
    GridMesh m{};
    m.lastRow = L;
    const int32_t steps = (L >= 1 && L <= 151) ? L : 150;
    for (int32_t i = 0; i <= std::min(steps, 150); ++i) {
        for (int32_t j = 0; j <= 50; ++j) {
            m.vertices[i][j] = {2.0f * i / steps - 1.0f, 0.0f, 2.0f * j / 50 - 1.0f};
            m.normals[i][j] = {0.002f * float(std::sin(angle(i, j))), 0.002f * float(std::cos(angle(i, j))), 0};
        }
    }
    return m;
}

// A light along +y alone: a vertex's colour is the cosine of its normal's angle to +y
// once the normal is made unit length.
void lightFromAbove() {
    const GLfloat none[] = {0, 0, 0, 1}, white[] = {1, 1, 1, 1}, up[] = {0, 1, 0, 0};
    glLightfv(GL_LIGHT0, GL_POSITION, up);
    glLightfv(GL_LIGHT0, GL_AMBIENT, none);
    glLightfv(GL_LIGHT0, GL_SPECULAR, none);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, none);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, none);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, none);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, white);
}

int rowOf(const Corner& c, int32_t L) { return static_cast<int>(std::lround(c.x * L / 400.0)); }
int columnOf(const Corner& c) { return static_cast<int>(std::lround(c.y / 8.0)); }

}  // namespace

TEST_F(AppFixture, MeshDrawMakesLitInnerStripsWithTheirTextureCoordinatesAndLeavesItsState) {
    const int32_t cases[][2] = {{50, 48}, {3, 1},   {151, 149},   {2, 0},      {0, 0},
                                {-5, 0},  {152, 0}, {INT_MAX, 0}, {INT_MIN, 0}};
    for (const auto& [L, strips] : cases) {
        SCOPED_TRACE(testing::Message() << "lastRow " << L);
        for (GLenum cap : {GL_LIGHTING, GL_LIGHT0, GL_NORMALIZE}) L % 2 ? glEnable(cap) : glDisable(cap);
        glDisable(GL_TEXTURE_2D);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
        glBindTexture(GL_TEXTURE_2D, 0);
        glColor3f(1, 0, 0);
        const GridMesh m = gridWithRows(L);
        const std::vector<FeedbackPolygon> polygons = capture([&] {
            lightFromAbove();
            glMatrixMode(GL_PROJECTION);
            meshDraw(m);
        });
        std::map<int, std::set<std::pair<int, int>>> vertices;  // of the strip at each first row
        for (const FeedbackPolygon& p : polygons) {
            int first = INT_MAX;
            for (const Corner& v : p) first = std::min(first, rowOf(v, L));
            for (const Corner& v : p) {
                const int i = rowOf(v, L), j = columnOf(v);
                ASSERT_TRUE((i == first || i == first + 1) && first >= 1 && i <= L - 1 && j >= 1 && j <= 48);
                ASSERT_EQ(v.s, static_cast<float>(i) / static_cast<float>(L)) << i << ", " << j;
                ASSERT_EQ(v.t, j == 1 ? 0.0f : static_cast<float>(j) / 50.0f) << i << ", " << j;
                ASSERT_NEAR(v.r, std::cos(angle(i, j)), 4e-3) << "its own normal, at " << i << ", " << j;
                vertices[first].insert({i, j});
            }
        }
        EXPECT_EQ(static_cast<int>(vertices.size()), strips);
        for (const auto& [row, strip] : vertices) EXPECT_EQ(strip.size(), 96u) << "strip at row " << row;

        EXPECT_FALSE(glIsEnabled(GL_LIGHTING) || glIsEnabled(GL_LIGHT0) || glIsEnabled(GL_NORMALIZE));
        EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
        GLint mode = 0, env = 0, bound = 0;
        GLfloat colour[4], modelview[16];
        glGetIntegerv(GL_MATRIX_MODE, &mode);
        glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &env);
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
        glGetFloatv(GL_CURRENT_COLOR, colour);
        glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
        EXPECT_TRUE(mode == GL_MODELVIEW && env == GL_MODULATE && static_cast<GLuint>(bound) == gTestTexture);
        EXPECT_EQ(colour[0] + colour[1] + colour[2], 3.0f);
        EXPECT_EQ(modelview[6], -1.0f) << "the caller's model-view stays";
    }
}

TEST_F(AppFixture, TexturedQuadHasItsCornersTextureCornersAndFaceNormal) {
    // Counter-clockwise as seen from -y: the normal, twice the area of p0 p1 p2 long,
    // points to -y.
    const Vec3f p[4] = {{-0.5f, 0, -0.5f}, {0.5f, 0, -0.5f}, {0.5f, 0, 0.5f}, {-0.5f, 0, 0.5f}};
    const float texture[4][2] = {{0, 0}, {0, 1}, {1, 1}, {1, 0}};
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_LIGHTING);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glBindTexture(GL_TEXTURE_2D, 0);
    int seen = 0;
    for (const FeedbackPolygon& poly : capture([&] { gfxDrawTexturedQuad(p[0], p[1], p[2], p[3]); })) {
        for (const Corner& v : poly) {
            const int k = v.x < 200 ? (v.y < 200 ? 0 : 3) : (v.y < 200 ? 1 : 2);
            EXPECT_TRUE(std::fabs(v.x - (p[k].x + 1) * 200) < 1e-3f && std::fabs(v.y - (p[k].z + 1) * 200) < 1e-3f)
                << k;
            EXPECT_TRUE(v.s == texture[k][0] && v.t == texture[k][1]) << k;
            seen |= 1 << k;
        }
    }
    EXPECT_EQ(seen, 15);
    GLfloat normal[3];
    GLint env = 0, bound = 0;
    glGetFloatv(GL_CURRENT_NORMAL, normal);
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &env);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_TRUE(normal[0] == 0 && normal[1] == -1 && normal[2] == 0);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING)) << "lighting is the caller's";
    EXPECT_TRUE(env == GL_REPLACE && static_cast<GLuint>(bound) == gTestTexture);

    // Collinear first corners: a zero normal, and the quad is still drawn.
    EXPECT_FALSE(capture([] {
                     gfxDrawTexturedQuad({-0.5f, 0, -0.5f}, {0, 0, -0.5f}, {0.5f, 0, -0.5f}, {0, 0, 0.5f});
                 }).empty());
    glGetFloatv(GL_CURRENT_NORMAL, normal);
    EXPECT_TRUE(normal[0] == 0 && normal[1] == 0 && normal[2] == 0);
}
