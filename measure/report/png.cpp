// PNGs through stb, the only place that includes it; an animated PNG is each frame compressed
// as a PNG of its own, its image data carried over.
#include "measure/report/png.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBIW_WINDOWS_UTF8
#include <stb/stb_image_write.h>
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_WINDOWS_UTF8
#include <stb/stb_image.h>

#include <array>
#include <cstring>
#include <fstream>

namespace measure {
namespace {

// A big-endian 32-bit value appended.
void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back((std::uint8_t)(v >> shift));
}

// A big-endian 16-bit value appended.
void put16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back((std::uint8_t)(v >> 8));
    out.push_back((std::uint8_t)v);
}

// A big-endian 32-bit value read.
std::uint32_t get32(const std::uint8_t* p) {
    return (std::uint32_t)p[0] << 24 | (std::uint32_t)p[1] << 16 | (std::uint32_t)p[2] << 8 | p[3];
}

// One chunk: length, type, data, CRC.
void chunk(std::vector<std::uint8_t>& out, const char type[4], const std::vector<std::uint8_t>& data) {
    put32(out, (std::uint32_t)data.size());
    const std::size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    put32(out, pngCrc(&out[start], out.size() - start));
}

// stb's PNG of one frame, as bytes.
std::vector<std::uint8_t> framePng(const Image& image) {
    std::vector<std::uint8_t> bytes;
    stbi_write_png_to_func(
        [](void* context, void* data, int size) {
            auto* out = static_cast<std::vector<std::uint8_t>*>(context);
            out->insert(out->end(), static_cast<std::uint8_t*>(data), static_cast<std::uint8_t*>(data) + size);
        },
        &bytes, image.width, image.height, 3, image.rgb.data(), image.width * 3);
    return bytes;
}

// The data of a PNG's chunks of one type, concatenated.
std::vector<std::uint8_t> chunkData(const std::vector<std::uint8_t>& png, const char type[4]) {
    std::vector<std::uint8_t> data;
    for (std::size_t at = 8; at + 12 <= png.size();) {
        const std::uint32_t length = get32(&png[at]);
        if (at + 12 + length > png.size()) break;
        if (std::memcmp(&png[at + 4], type, 4) == 0)
            data.insert(data.end(), png.begin() + at + 8, png.begin() + at + 8 + length);
        at += 12 + length;
    }
    return data;
}

}  // namespace

bool writePng(const std::string& path, const Image& image) {
    return stbi_write_png(path.c_str(), image.width, image.height, 3, image.rgb.data(), image.width * 3) != 0;
}

void setPngEffort(int level) { stbi_write_png_compression_level = level; }

namespace {

Image fromStb(unsigned char* data, int w, int h) {
    Image image;
    if (!data) return image;
    image = Image(w, h);
    std::copy(data, data + image.rgb.size(), image.rgb.begin());
    stbi_image_free(data);
    return image;
}

}  // namespace

Image readPng(const std::string& path) {
    int w = 0, h = 0, channels = 0;
    unsigned char* data = stbi_load(path.c_str(), &w, &h, &channels, 3);
    return fromStb(data, w, h);
}

Image decodePng(const std::vector<std::uint8_t>& bytes) {
    int w = 0, h = 0, channels = 0;
    unsigned char* data = stbi_load_from_memory(bytes.data(), (int)bytes.size(), &w, &h, &channels, 3);
    return fromStb(data, w, h);
}

std::uint32_t pngCrc(const std::uint8_t* data, std::size_t size, std::uint32_t crc) {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    crc = ~crc;
    for (std::size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

std::vector<std::uint8_t> encodeApng(const std::vector<Image>& frames, int delayMs) {
    if (frames.empty()) return {};
    for (const Image& f : frames)
        if (f.width != frames[0].width || f.height != frames[0].height) return {};
    static const std::uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<std::uint8_t> out(signature, signature + 8);
    std::uint32_t sequence = 0;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const std::vector<std::uint8_t> png = framePng(frames[i]);
        if (png.empty()) return {};
        if (i == 0) {
            chunk(out, "IHDR", chunkData(png, "IHDR"));
            std::vector<std::uint8_t> actl;
            put32(actl, (std::uint32_t)frames.size());
            put32(actl, 0);  // plays forever
            chunk(out, "acTL", actl);
        }
        std::vector<std::uint8_t> fctl;
        put32(fctl, sequence++);
        put32(fctl, (std::uint32_t)frames[i].width);
        put32(fctl, (std::uint32_t)frames[i].height);
        put32(fctl, 0);
        put32(fctl, 0);
        put16(fctl, (std::uint16_t)delayMs);
        put16(fctl, 1000);
        fctl.push_back(0);  // nothing disposed: the next frame covers it whole
        fctl.push_back(0);  // replaces, no blending
        chunk(out, "fcTL", fctl);
        std::vector<std::uint8_t> data = chunkData(png, "IDAT");
        if (i == 0) {
            chunk(out, "IDAT", data);
        } else {
            std::vector<std::uint8_t> fdat;
            put32(fdat, sequence++);
            fdat.insert(fdat.end(), data.begin(), data.end());
            chunk(out, "fdAT", fdat);
        }
    }
    chunk(out, "IEND", {});
    return out;
}

bool writeApng(const std::string& path, const std::vector<Image>& frames, int delayMs) {
    const std::vector<std::uint8_t> bytes = encodeApng(frames, delayMs);
    if (bytes.empty()) return false;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), (std::streamsize)bytes.size());
    out.close();
    return !out.fail();
}

}  // namespace measure
