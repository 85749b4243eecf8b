// Shared-memory pixels as a compositor writes them (wl_shm formats: little-endian words,
// named from the most significant channel down) read as 8-bit RGB.
#include "platform/linux/present_wayland.h"

#include <wayland-client-protocol.h>

#include <bit>
#include <cstdio>

namespace present_wayland {
namespace {

// Bytes a pixel and each channel's mask in the little-endian pixel word.
struct Layout {
    std::uint32_t format;
    int bytes;
    std::uint32_t masks[3];  // red, green, blue
};

constexpr Layout kLayouts[] = {
    {WL_SHM_FORMAT_XRGB8888, 4, {0x00ff0000, 0x0000ff00, 0x000000ff}},
    {WL_SHM_FORMAT_ARGB8888, 4, {0x00ff0000, 0x0000ff00, 0x000000ff}},
    {WL_SHM_FORMAT_XBGR8888, 4, {0x000000ff, 0x0000ff00, 0x00ff0000}},
    {WL_SHM_FORMAT_ABGR8888, 4, {0x000000ff, 0x0000ff00, 0x00ff0000}},
    {WL_SHM_FORMAT_RGBX8888, 4, {0xff000000, 0x00ff0000, 0x0000ff00}},
    {WL_SHM_FORMAT_RGBA8888, 4, {0xff000000, 0x00ff0000, 0x0000ff00}},
    {WL_SHM_FORMAT_BGRX8888, 4, {0x0000ff00, 0x00ff0000, 0xff000000}},
    {WL_SHM_FORMAT_BGRA8888, 4, {0x0000ff00, 0x00ff0000, 0xff000000}},
    {WL_SHM_FORMAT_RGB888, 3, {0xff0000, 0x00ff00, 0x0000ff}},
    {WL_SHM_FORMAT_BGR888, 3, {0x0000ff, 0x00ff00, 0xff0000}},
    {WL_SHM_FORMAT_RGB565, 2, {0xf800, 0x07e0, 0x001f}},
    {WL_SHM_FORMAT_XRGB2101010, 4, {0x3ff00000, 0x000ffc00, 0x000003ff}},
    {WL_SHM_FORMAT_ARGB2101010, 4, {0x3ff00000, 0x000ffc00, 0x000003ff}},
    {WL_SHM_FORMAT_XBGR2101010, 4, {0x000003ff, 0x000ffc00, 0x3ff00000}},
    {WL_SHM_FORMAT_ABGR2101010, 4, {0x000003ff, 0x000ffc00, 0x3ff00000}},
};

}  // namespace

std::uint8_t widenChannel(unsigned long value, int bits) {
    if (bits <= 0) return 0;
    if (bits >= 8) return (std::uint8_t)(value >> (bits - 8));
    unsigned v = (unsigned)value << (8 - bits);
    for (int have = bits; have < 8; have += bits) v |= (unsigned)value << (8 - bits) >> have;
    return (std::uint8_t)v;
}

bool shmToRgb(const ShmFrame& frame, const std::uint8_t* data, PresentShot& shot, std::string& reason) {
    const Layout* layout = nullptr;
    for (const Layout& l : kLayouts)
        if (l.format == frame.format) layout = &l;
    if (!layout) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "%08x", frame.format);
        reason = std::string("the compositor's buffer format 0x") + hex + " is not one this reads";
        return false;
    }
    if (frame.width <= 0 || frame.height <= 0 || frame.stride < frame.width * layout->bytes) {
        reason = "the compositor's buffer is " + std::to_string(frame.width) + "x" + std::to_string(frame.height) +
                 " with rows of " + std::to_string(frame.stride) + " bytes";
        return false;
    }
    int shifts[3];
    for (int c = 0; c < 3; ++c) {
        shot.channelBits[c] = std::popcount(layout->masks[c]);
        shifts[c] = std::countr_zero(layout->masks[c]);
    }
    shot.width = frame.width;
    shot.height = frame.height;
    shot.rgb.assign((std::size_t)frame.width * (std::size_t)frame.height * 3, 0);
    std::uint8_t* out = shot.rgb.data();
    for (int y = 0; y < frame.height; ++y) {
        const std::uint8_t* row = data + (std::size_t)(frame.yInvert ? frame.height - 1 - y : y) * frame.stride;
        for (int x = 0; x < frame.width; ++x) {
            std::uint32_t word = 0;
            for (int b = 0; b < layout->bytes; ++b) word |= (std::uint32_t)row[x * layout->bytes + b] << (8 * b);
            for (int c = 0; c < 3; ++c)
                *out++ = widenChannel((word & layout->masks[c]) >> shifts[c], shot.channelBits[c]);
        }
    }
    return true;
}

}  // namespace present_wayland
