// The Wayland capture's pieces: shared-memory formats read as the compositor wrote them,
// sway's tree and outputs read for where the window lies, and what a live compositor
// offers (run by tests/wayland.sh against sway and Weston).
#include "platform/linux/present_wayland.h"

#include <gtest/gtest.h>
#include <wayland-client-protocol.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace present_wayland;

// Three pixels on each of two rows, every channel a different value.
const std::uint8_t kRgb[2][3][3] = {{{0xff, 0x00, 0x80}, {0x12, 0x34, 0x56}, {0x00, 0xff, 0x01}},
                                    {{0x9a, 0xbc, 0xde}, {0x40, 0x41, 0x42}, {0xf0, 0x0f, 0x77}}};

// One pixel's bytes in memory, as each format's definition lays them out.
std::vector<std::uint8_t> encode(std::uint32_t format, const std::uint8_t* p) {
    const std::uint8_t r = p[0], g = p[1], b = p[2], x = 0xee;
    switch (format) {
        case WL_SHM_FORMAT_XRGB8888: return {b, g, r, x};
        case WL_SHM_FORMAT_XBGR8888: return {r, g, b, x};
        case WL_SHM_FORMAT_RGBX8888: return {x, b, g, r};
        case WL_SHM_FORMAT_BGRX8888: return {x, r, g, b};
        case WL_SHM_FORMAT_RGB888: return {b, g, r};
        case WL_SHM_FORMAT_BGR888: return {r, g, b};
        case WL_SHM_FORMAT_RGB565: {
            unsigned word = (unsigned)(r >> 3) << 11 | (unsigned)(g >> 2) << 5 | (unsigned)(b >> 3);
            return {(std::uint8_t)word, (std::uint8_t)(word >> 8)};
        }
        case WL_SHM_FORMAT_XRGB2101010: {
            auto ten = [](unsigned v) { return v << 2 | v >> 6; };
            unsigned word = 3u << 30 | ten(r) << 20 | ten(g) << 10 | ten(b);
            return {(std::uint8_t)word, (std::uint8_t)(word >> 8), (std::uint8_t)(word >> 16),
                    (std::uint8_t)(word >> 24)};
        }
    }
    return {};
}

// What reading a channel stored in `bits` bits gives back: its high bits repeated.
std::uint8_t stored(std::uint8_t v, int bits) {
    if (bits >= 8) return v;
    unsigned high = v >> (8 - bits), out = 0;
    for (int at = 8 - bits; at > -bits; at -= bits) out |= at >= 0 ? high << at : high >> -at;
    return (std::uint8_t)out;
}

TEST(PresentShm, EveryFormatReadsBackItsStoredBitsTopRowFirst) {
    const struct {
        std::uint32_t format;
        int bytes;
        int bits[3];
    } formats[] = {
        {WL_SHM_FORMAT_XRGB8888, 4, {8, 8, 8}}, {WL_SHM_FORMAT_XBGR8888, 4, {8, 8, 8}},
        {WL_SHM_FORMAT_RGBX8888, 4, {8, 8, 8}}, {WL_SHM_FORMAT_BGRX8888, 4, {8, 8, 8}},
        {WL_SHM_FORMAT_RGB888, 3, {8, 8, 8}},   {WL_SHM_FORMAT_BGR888, 3, {8, 8, 8}},
        {WL_SHM_FORMAT_RGB565, 2, {5, 6, 5}},   {WL_SHM_FORMAT_XRGB2101010, 4, {10, 10, 10}},
    };
    for (const auto& f : formats)
        for (bool inverted : {false, true}) {
            // Rows padded past their pixels, as compositors align strides.
            const int stride = 3 * f.bytes + 5;
            std::vector<std::uint8_t> memory((std::size_t)stride * 2, 0x5a);
            for (int y = 0; y < 2; ++y)
                for (int x = 0; x < 3; ++x) {
                    std::vector<std::uint8_t> bytes = encode(f.format, kRgb[inverted ? 1 - y : y][x]);
                    ASSERT_EQ((int)bytes.size(), f.bytes);
                    std::copy(bytes.begin(), bytes.end(), memory.begin() + y * stride + x * f.bytes);
                }
            PresentShot shot;
            std::string reason;
            ASSERT_TRUE(shmToRgb({f.format, 3, 2, stride, inverted}, memory.data(), shot, reason)) << reason;
            ASSERT_EQ(shot.width, 3);
            ASSERT_EQ(shot.height, 2);
            for (int c = 0; c < 3; ++c) EXPECT_EQ(shot.channelBits[c], f.bits[c]) << std::hex << f.format;
            for (int y = 0; y < 2; ++y)
                for (int x = 0; x < 3; ++x)
                    for (int c = 0; c < 3; ++c)
                        EXPECT_EQ(shot.rgb[(y * 3 + x) * 3 + c], stored(kRgb[y][x][c], f.bits[c]))
                            << std::hex << f.format << " inverted " << inverted << " at " << x << "," << y << " c" << c;
        }
}

TEST(PresentShm, UnknownFormatsAndShortRowsAreRefused) {
    std::vector<std::uint8_t> memory(64, 0);
    PresentShot shot;
    std::string reason;
    EXPECT_FALSE(shmToRgb({WL_SHM_FORMAT_YUYV, 2, 2, 8, false}, memory.data(), shot, reason));
    EXPECT_FALSE(reason.empty());
    reason.clear();
    EXPECT_FALSE(shmToRgb({WL_SHM_FORMAT_XRGB8888, 4, 2, 15, false}, memory.data(), shot, reason));
    EXPECT_FALSE(reason.empty());
    EXPECT_TRUE(shmToRgb({WL_SHM_FORMAT_XRGB8888, 4, 2, 16, false}, memory.data(), shot, reason));
}

// A tree shaped as sway 1.7 answers GET_TREE: outputs, workspaces, a tiled split holding
// another program, and the window floating with a border and title bar.
const char* kTree = R"({"id": 1, "type": "root", "rect": {"x": 0, "y": 0, "width": 2048, "height": 768},
  "nodes": [{"id": 2, "type": "output", "name": "__i3", "nodes": []},
    {"id": 3, "type": "output", "name": "HEADLESS-1", "nodes": [{"id": 4, "type": "workspace",
      "nodes": [{"id": 6, "type": "con", "pid": null, "nodes": [
          {"id": 7, "type": "con", "pid": 500, "visible": true, "app_id": "other",
           "rect": {"x": 0, "y": 0, "width": 1024, "height": 768},
           "window_rect": {"x": 0, "y": 0, "width": 1024, "height": 768}, "nodes": []}]}],
      "floating_nodes": [{"id": 9, "type": "floating_con", "pid": 4242, "visible": true, "app_id": "quillmere",
          "rect": {"x": 100, "y": 75, "width": 320, "height": 215},
          "window_rect": {"x": 3, "y": 0, "width": 314, "height": 212}, "nodes": []}]}]}]})";

TEST(PresentSway, TheWindowIsFoundByProcessOrContainerWithItsContentsRectangle) {
    View view;
    ASSERT_TRUE(findView(kTree, 4242, 0, view));
    EXPECT_EQ(view.id, 9);
    EXPECT_TRUE(view.visible);
    EXPECT_EQ(view.content.x, 103);
    EXPECT_EQ(view.content.y, 75);
    EXPECT_EQ(view.content.width, 314);
    EXPECT_EQ(view.content.height, 212);

    View byId;
    ASSERT_TRUE(findView(kTree, 0, 7, byId));
    EXPECT_EQ(byId.content.width, 1024);
    // The split container above it has no process, so its id names no window.
    EXPECT_FALSE(findView(kTree, 0, 6, byId));
    EXPECT_FALSE(findView(kTree, 31337, 0, byId));
    EXPECT_FALSE(findView("{\"nodes\": [", 4242, 0, byId));
    EXPECT_FALSE(findView("[1, 2]", 4242, 0, byId));
}

TEST(PresentSway, TheOutputHoldingTheWindowsCornerIsChosen) {
    const char* outputs =
        R"([{"name": "OFF-1", "active": false, "rect": {"x": 0, "y": 0, "width": 4000, "height": 4000}},
        {"name": "HEADLESS-1", "active": true, "scale": 1.0, "rect": {"x": 0, "y": 0, "width": 1024, "height": 768}},
        {"name": "HEADLESS-2", "active": true, "scale": 2.0, "rect": {"x": 1024, "y": 0, "width": 1024, "height": 768}}])";
    Output o;
    ASSERT_TRUE(outputOf(outputs, {1500, 10, 320, 240}, o));
    EXPECT_EQ(o.name, "HEADLESS-2");
    EXPECT_EQ(o.rect.x, 1024);
    EXPECT_EQ(o.scale, 2.0);
    ASSERT_TRUE(outputOf(outputs, {1023, 767, 320, 240}, o));
    EXPECT_EQ(o.name, "HEADLESS-1");
    // Beyond every active output, the inactive one's larger rectangle included.
    EXPECT_FALSE(outputOf(outputs, {2048, 0, 10, 10}, o));
    EXPECT_FALSE(outputOf(outputs, {100, 3000, 10, 10}, o));
    EXPECT_FALSE(outputOf("{}", {0, 0, 10, 10}, o));
}

// What this session's compositor offers, where the caller names what it should:
// QUILL_EXPECT_SUPPORT is the Support value's number.
TEST(PresentWaylandLive, SupportIsWhatTheCompositorOffers) {
    const char* expected = std::getenv("QUILL_EXPECT_SUPPORT");
    if (!expected || !session()) GTEST_SKIP() << "no Wayland session named with QUILL_EXPECT_SUPPORT";
    const Support s = support();
    EXPECT_EQ((int)s, std::atoi(expected)) << describe(s);
    EXPECT_EQ(describe(s).empty(), s == Support::Available);
    disconnect();
}

}  // namespace
