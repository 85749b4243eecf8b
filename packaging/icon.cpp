// Build-time tool: writes the program's icon, the test image as a 256 x 256 PNG and an
// ICO holding that PNG, so that no binary icon has to be kept in step with the image.
// Usage: quillmere-icon OUT.png OUT.ico
#include "render/test_image.h"

#include <cstdint>
#include <cstdio>
#include <vector>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#pragma GCC diagnostic ignored "-Wsign-compare"
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>
#pragma GCC diagnostic pop

namespace {

constexpr int kSide = 256;

// Appends what stb_image_write produces to the byte vector in context.
void appendBytes(void* context, void* data, int size) {
    auto* out = static_cast<std::vector<unsigned char>*>(context);
    const auto* bytes = static_cast<const unsigned char*>(data);
    out->insert(out->end(), bytes, bytes + size);
}

// Writes the bytes to path; false on any failure.
bool writeFile(const char* path, const std::vector<unsigned char>& bytes) {
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

// Appends a little-endian value of the given byte count.
void appendLittle(std::vector<unsigned char>& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: quillmere-icon OUT.png OUT.ico\n");
        return 2;
    }
    // Row 255 is the top of the picture; the image's alpha is 0 everywhere, an icon's opaque.
    std::vector<unsigned char> rgba(kSide * kSide * 4);
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            std::uint32_t texel = gTestImage[(kSide - 1 - y) * kSide + x];
            unsigned char* pixel = &rgba[(y * kSide + x) * 4];
            pixel[0] = static_cast<unsigned char>(texel >> 24);
            pixel[1] = static_cast<unsigned char>(texel >> 16);
            pixel[2] = static_cast<unsigned char>(texel >> 8);
            pixel[3] = 255;
        }
    }
    std::vector<unsigned char> png;
    if (!stbi_write_png_to_func(appendBytes, &png, kSide, kSide, 4, rgba.data(), kSide * 4)) {
        std::fprintf(stderr, "quillmere-icon: PNG encoding failed\n");
        return 1;
    }

    // An ICO with one 256 x 256 entry (stored as 0 x 0) whose image is the PNG itself.
    std::vector<unsigned char> ico;
    appendLittle(ico, 0, 2);   // reserved
    appendLittle(ico, 1, 2);   // type: icon
    appendLittle(ico, 1, 2);   // one image
    appendLittle(ico, 0, 1);   // width 256
    appendLittle(ico, 0, 1);   // height 256
    appendLittle(ico, 0, 1);   // no palette
    appendLittle(ico, 0, 1);   // reserved
    appendLittle(ico, 1, 2);   // colour planes
    appendLittle(ico, 32, 2);  // bits per pixel
    appendLittle(ico, static_cast<std::uint32_t>(png.size()), 4);
    appendLittle(ico, 6 + 16, 4);  // the image follows this one entry
    ico.insert(ico.end(), png.begin(), png.end());

    if (!writeFile(argv[1], png) || !writeFile(argv[2], ico)) {
        std::fprintf(stderr, "quillmere-icon: cannot write %s or %s\n", argv[1], argv[2]);
        return 1;
    }
    return 0;
}
