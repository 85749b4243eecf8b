// The vertex normals' inner pass for processors with AVX-512F and AVX-512VL; this file
// alone is built for them. It widens eight floats in one instruction and forms each
// cross-product component as one fused multiply-subtract, az * by - ay * bz: both
// products of widened floats are exact in double precision, so fusing them leaves a
// single rounding of the same exact difference, as the separate multiplications do.
#include <immintrin.h>

#include "mesh/normals_kernel.h"

namespace {

// The zero-masking forms with every lane selected are the plain instructions; GCC 12
// warns about the unmasked ones' undefined source operand.
struct Avx512Arithmetic {
    static MESH_INLINE Doubles8 widen(Floats8 v) { return (Doubles8)_mm512_maskz_cvtps_pd(0xFF, (__m256)v); }

    static MESH_INLINE Floats8 crossComponent(Doubles8 ay, Doubles8 az, Doubles8 by, Doubles8 bz) {
        return (Floats8)_mm512_maskz_cvtpd_ps(0xFF, _mm512_fmsub_pd((__m512d)az, (__m512d)by, (__m512d)(ay * bz)));
    }
};

}  // namespace

void meshInnerNormalsAvx512Kernel(const GridMesh& from, GridMesh& to, int32_t lastRow) {
    copyWithInnerNormals<Avx512Arithmetic>(from, to, lastRow);
}
