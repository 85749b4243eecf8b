// The reference mesh operations, one cell at a time as the arithmetic is described. The
// module's operations must give bit-identical records for every argument they work on.
#pragma once

#include <cmath>

#include "mesh/mesh.h"

namespace reference {

inline GridMesh flatGrid(int32_t n) {
    GridMesh r{};
    for (int32_t i = 0; i <= n; ++i) {
        for (int32_t j = 0; j <= n; ++j) {
            r.vertices[i][j] = {static_cast<float>(static_cast<double>(2 * i) / n + (-1.0)), 0.0f,
                                static_cast<float>(static_cast<double>(2 * j) / n + (-1.0))};
        }
    }
    r.lastRow = n;
    r.firstRowOpen = r.lastRowOpen = 1;
    return r;
}

inline GridMesh deform(const GridMesh& mesh) {
    const float pi = 3.1415927f, f[3] = {2.0f, 3.0f, 4.0f}, a[3] = {1.0f, 0.75f, 0.55f};
    const float T = gWavePhase;
    const float w[3] = {static_cast<float>((std::sin(T * 1.0f + 0.01) + 1) * 0.5),
                        static_cast<float>((std::cos(T * 1.1) + 1) * 0.5),
                        static_cast<float>((std::sin(T * 1.3 + 1.5707963705062866) + 1) * 0.5)};
    GridMesh r = mesh;
    for (int32_t i = 0; i <= mesh.lastRow + 1; ++i) {
        const float u = i * pi / mesh.lastRow;
        for (int32_t j = 0; j <= 49; ++j) {
            const float v = j * pi / 50.0f;
            double s[3];
            for (int k = 0; k < 3; ++k) {
                const float argV = f[k] * v + T, argU = f[k] * u + T;
                s[k] = (a[k] * std::cos(static_cast<double>(argV)) + a[k] * std::cos(static_cast<double>(argU))) * 0.2 *
                       w[k];
            }
            r.vertices[i][j].y = static_cast<float>(s[0] + s[1] + s[2]) + mesh.vertices[i][j].y;
        }
    }
    return r;
}

inline GridMesh computeNormals(const GridMesh& mesh) {
    GridMesh r = mesh;
    const int32_t L = r.lastRow;
    const auto& P = r.vertices;
    auto& N = r.normals;
    for (int32_t i = 1; i <= L; ++i) {
        for (int32_t j = 1; j <= 49; ++j) {
            const Vec3f e1 = vecSub(P[wrapIndex(i - 1, L)][j], P[i][j]);
            const Vec3f e2 = vecSub(P[i][wrapIndex(j - 1, 50)], P[i][j]);
            const Vec3f e3 = vecSub(P[wrapIndex(i + 1, L)][j], P[i][j]);
            const Vec3f e4 = vecSub(P[i][wrapIndex(j + 1, 50)], P[i][j]);
            const Vec3f c1 = vecCross(e1, e2), c2 = vecCross(e2, e3), c3 = vecCross(e3, e4), c4 = vecCross(e4, e1);
            N[i][j] = {(c1.x + c2.x + c3.x + c4.x) * 0.25f, (c1.y + c2.y + c3.y + c4.y) * 0.25f,
                       (c1.z + c2.z + c3.z + c4.z) * 0.25f};
        }
    }
    for (int32_t j = 0; j <= 49; ++j) {
        N[0][j] = {(N[0][j].x + N[L - 1][j].x) * 0.5f, (N[0][j].y + N[L - 1][j].y) * 0.5f,
                   (N[0][j].z + N[L - 1][j].z) * 0.5f};
        if (r.firstRowOpen == 1) N[0][j] = N[1][j];
        if (r.lastRowOpen == 1) N[L][j] = N[L - 1][j];
    }
    return r;
}

}  // namespace reference
