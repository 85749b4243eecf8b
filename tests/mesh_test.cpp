// The grid mesh operations: named values, bit-for-bit agreement with the reference in
// mesh_reference.h, and the answers to arguments they cannot work on.
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cmath>
#include <cstring>
#include <random>

#include "mesh/inner_normals.h"
#include "tests/mesh_reference.h"

namespace {

// Names the first float whose bits differ.
testing::AssertionResult sameBits(const GridMesh& got, const GridMesh& want) {
    const auto* a = reinterpret_cast<const unsigned char*>(&got);
    const auto* b = reinterpret_cast<const unsigned char*>(&want);
    for (size_t k = 0; k < sizeof(GridMesh); k += 4) {
        if (std::memcmp(a + k, b + k, 4) != 0) {
            const size_t cell = k / sizeof(Vec3f), table = kMeshRowSlots * kMeshColumnSlots;
            return testing::AssertionFailure() << (cell < table ? "vertex " : "normal ") << (cell % table) / 51 << ", "
                                               << cell % 51 << ", component " << k % 12 / 4;
        }
    }
    return testing::AssertionSuccess();
}

// Every cell random over 25 binades, with a sprinkling of signed zeros; or, with
// fewValues, one of five values, so that edges, products and sums often come out as
// zeros of either sign.
GridMesh randomMesh(uint32_t seed, int32_t lastRow, int32_t firstRowOpen, int32_t lastRowOpen, bool fewValues = false) {
    std::mt19937 rng(seed);
    auto value = [&rng, fewValues]() {
        const uint32_t r = rng();
        if (fewValues) return std::array{0.0f, -0.0f, 1.0f, -1.0f, 0.5f}[r % 5];
        if (r % 23 == 0) return (r & 64) ? -0.0f : 0.0f;
        const float m = 1.0f + static_cast<float>(rng() >> 9) * 0x1p-23f;
        return std::ldexp(r & 1 ? -m : m, static_cast<int>(rng() % 25) - 12);
    };
    GridMesh m{};
    for (auto* table : {&m.vertices, &m.normals}) {
        for (auto& row : *table) {
            for (Vec3f& v : row) v = {value(), value(), value()};
        }
    }
    m.lastRow = lastRow;
    m.firstRowOpen = firstRowOpen;
    m.lastRowOpen = lastRowOpen;
    return m;
}

GridMesh tiltedGrid()  // y = 0.5 x
{
    GridMesh m = meshMakeFlatGrid(50);
    for (auto& row : m.vertices) {
        for (Vec3f& v : row) v.y = 0.5f * v.x;
    }
    return m;
}

}  // namespace

TEST(MeshMakeFlatGrid, SpansTheSquareAndMatchesTheReference) {
    const struct {
        int32_t n, i, j;
        float x, z;
    } cells[] = {
        {50, 0, 0, -1, -1},         {50, 0, 50, -1, 1}, {50, 50, 0, 1, -1}, {50, 50, 50, 1, 1}, {50, 25, 25, 0, 0},
        {50, 1, 2, -0.96f, -0.92f}, {1, 1, 0, 1, -1},   {1, 0, 1, -1, 1},   {2, 1, 1, 0, 0},    {2, 2, 0, 1, -1}};
    for (const auto& c : cells) {
        const Vec3f v = meshMakeFlatGrid(c.n).vertices[c.i][c.j];
        EXPECT_TRUE(v.x == c.x && v.y == 0 && v.z == c.z) << c.n << ": " << c.i << ", " << c.j;
    }
    for (int32_t n = -2; n <= 50; ++n) {
        if (n != 0) {
            EXPECT_TRUE(sameBits(meshMakeFlatGrid(n), reference::flatGrid(n))) << n;
        }
    }
}

TEST(MeshBuild, PutsTheFiftyStepGridIntoGMesh) {
    static const GridMesh cleared{};
    EXPECT_EQ(std::memcmp(&gMesh, &cleared, sizeof cleared), 0) << "zero until built";
    EXPECT_EQ(meshBuild(), 0);
    EXPECT_TRUE(sameBits(gMesh, meshMakeFlatGrid(50)));
}

TEST(MeshDeform, LiftsTheFlatGridAtTheNamedCellsAndPassesTheRestThrough) {
    gWavePhase = 0.0f;
    GridMesh flat = meshMakeFlatGrid(50);
    flat.vertices[20][50].y = 7;  // column 50 and row 52 are not written
    flat.vertices[52][3].y = 8;
    const GridMesh d = meshDeform(flat);
    const struct {
        int32_t i, j;
        double y;
    } cells[] = {{0, 0, 0.722}, {25, 0, 0.370}, {25, 25, 0.018}, {50, 0, 0.422}};
    for (const auto& c : cells) EXPECT_NEAR(d.vertices[c.i][c.j].y, c.y, 5e-4) << c.i << ", " << c.j;
    EXPECT_NE(d.vertices[51][10].y, 0.0f) << "row L + 1 is lifted too";
    EXPECT_EQ(d.vertices[20][50].y, 7.0f);
    EXPECT_EQ(d.vertices[52][3].y, 8.0f);
    // u reaches pi at the last row whatever lastRow is.
    for (int32_t L : {1, 3, 149}) {
        GridMesh m{};
        m.lastRow = L;
        EXPECT_NEAR(meshDeform(m).vertices[L][7].y, d.vertices[50][7].y, 1e-6) << L;
    }
}

TEST(MeshComputeNormals, FlatAndTiltedGridsPointAwayFromTheSurface) {
    GridMesh flat = meshMakeFlatGrid(50);
    for (auto& row : flat.normals) row[0] = row[50] = Vec3f{3, 4, 5};  // never computed
    const GridMesh n = meshComputeNormals(flat);
    flat.lastRowOpen = 0;  // the last row's next row is then row 0, across the grid
    const GridMesh closed = meshComputeNormals(flat);
    const GridMesh tilted = meshComputeNormals(tiltedGrid());
    for (int32_t i = 0; i <= 50; ++i) {
        EXPECT_TRUE(n.normals[i][0].y == 4 && n.normals[i][50].y == 4) << i;
        for (int32_t j = 1; j <= 49; ++j) {
            ASSERT_TRUE(n.normals[i][j].x == 0 && n.normals[i][j].z == 0) << i << ", " << j;
            ASSERT_NEAR(n.normals[i][j].y, 0.0016, 1e-7);
            ASSERT_NEAR(closed.normals[i][j].y, i == 50 ? -0.0392 : 0.0016, 1e-6);
            ASSERT_NEAR(tilted.normals[i][j].x, -0.0008, 1e-7);
            ASSERT_NEAR(tilted.normals[i][j].y, 0.0016, 1e-7);
        }
    }
}

TEST(MeshOperations, MatchTheReferenceBitForBitAndLeaveTheArgument) {
    const GridMesh records[] = {
        meshMakeFlatGrid(50), tiltedGrid(), reference::deform(meshMakeFlatGrid(50)), meshMakeFlatGrid(1),
        meshMakeFlatGrid(3), randomMesh(5, 1, 1, 1), randomMesh(6, 3, 0, 1), randomMesh(7, 50, 2, 0),
        randomMesh(8, 149, 1, 1), randomMesh(9, 150, 1, 0), randomMesh(10, 50, 1, 1, true), randomMesh(11, 25, 1, 1),
        // Some rows of these have a u that misses a column's v by a unit in the last place.
        randomMesh(14, 10, 1, 1), randomMesh(15, 110, 1, 1), randomMesh(12, -1, 1, 1), randomMesh(13, -2, 1, 1)};
    for (const GridMesh& m : records) {
        SCOPED_TRACE(testing::Message() << "lastRow " << m.lastRow << ", flags " << m.firstRowOpen << m.lastRowOpen);
        const GridMesh before = m;
        if (m.lastRow >= 1) {
            EXPECT_TRUE(sameBits(meshComputeNormals(m), reference::computeNormals(m)));
        }
        for (float phase : {0.0f, 0.7f, -2.5f, 0.0f}) {  // and back: nothing is kept between calls
            gWavePhase = phase;
            if (m.lastRow <= 149) {
                EXPECT_TRUE(sameBits(meshDeform(m), reference::deform(m))) << "phase " << phase;
            }
        }
        EXPECT_TRUE(sameBits(m, before));
    }
    gWavePhase = 0.0f;
}

// meshComputeNormals runs one build of the inner pass on this processor; the other must
// give the same bits. Each writes over a record filled with a different pattern, so a
// cell that either build leaves unwritten shows as well.
TEST(MeshComputeNormals, PortableAndAvx512InnerPassesAgree) {
    const MeshInnerNormals avx512 = meshInnerNormalsAvx512();
    if (avx512 == nullptr) GTEST_SKIP() << "no AVX-512 build of the inner pass here";
    static GridMesh portable, wide;
    for (const GridMesh& m : {randomMesh(20, 1, 1, 1), randomMesh(21, 2, 1, 1), randomMesh(22, 50, 1, 1),
                              randomMesh(23, 150, 1, 1), randomMesh(24, 50, 1, 1, true), tiltedGrid()}) {
        std::memset(&portable, 0xAB, sizeof portable);
        std::memset(&wide, 0xCD, sizeof wide);
        for (GridMesh* r : {&portable, &wide}) {  // the tables only are the passes' to write
            r->lastRow = m.lastRow;
            r->firstRowOpen = m.firstRowOpen;
            r->lastRowOpen = m.lastRowOpen;
        }
        meshInnerNormalsPortable(m, portable, m.lastRow);
        avx512(m, wide, m.lastRow);
        EXPECT_TRUE(sameBits(wide, portable)) << "lastRow " << m.lastRow;
    }
}

TEST(MeshOperations, ArgumentsTheyCannotWorkOnGetTheirDocumentedAnswers) {
    static const GridMesh cleared{};
    for (int32_t n : {0, 51, INT_MAX}) EXPECT_TRUE(sameBits(meshMakeFlatGrid(n), cleared)) << n;
    for (int32_t L : {0, -3, 150, 151, INT_MIN, INT_MAX}) {
        const GridMesh m = randomMesh(12, L, 1, 1);
        EXPECT_TRUE(sameBits(meshDeform(m), m)) << "meshDeform, lastRow " << L;
        if (L != 150) {  // a full record: its normals are worked out
            EXPECT_TRUE(sameBits(meshComputeNormals(m), m)) << "meshComputeNormals, lastRow " << L;
        }
    }
}
