// Where the program's window lies on sway, through its IPC socket (the i3 IPC framing:
// "i3-ipc", a 32-bit length and type, then JSON): found by its process id in the tree,
// floated at the measured size, and closed as sway's kill does.
#include "platform/linux/present_wayland.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace present_wayland {
namespace {

using nlohmann::json;

// The IPC message types used here.
enum class Ipc : std::uint32_t { RunCommand = 0, GetOutputs = 3, GetTree = 4 };
constexpr char kMagic[] = "i3-ipc";
constexpr std::size_t kMagicSize = sizeof kMagic - 1;
// Seconds sway gets to answer a request, and the largest answer believed (a tree of
// thousands of windows is a few megabytes).
constexpr long kAnswerSeconds = 5;
constexpr std::uint32_t kLargestReply = 64u << 20;
// How long a resize may take, how long its size must hold, how often it is asked again
// while it does not, and how often the tree is read meanwhile.
constexpr double kResizeSeconds = 5;
constexpr double kResizeHoldSeconds = 0.3;
constexpr double kResizeRepeatSeconds = 0.25;
constexpr int kResizePollMilliseconds = 40;

double now() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

// Writes or reads exactly `size` bytes; false when the socket ends first.
bool sendAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        ssize_t n = send(fd, data, size, MSG_NOSIGNAL);
        if (n <= 0) return false;
        data += n;
        size -= (std::size_t)n;
    }
    return true;
}
bool readAll(int fd, char* data, std::size_t size) {
    while (size > 0) {
        ssize_t n = read(fd, data, size);
        if (n <= 0) return false;
        data += n;
        size -= (std::size_t)n;
    }
    return true;
}

// One request on a connection of its own; false when sway cannot be reached or answers
// with another type.
bool request(Ipc type, const std::string& payload, std::string& reply) {
    const char* path = std::getenv("SWAYSOCK");
    sockaddr_un address{};
    if (!path || !*path || std::strlen(path) >= sizeof address.sun_path) return false;
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, path);
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    // A sway that stops answering must not hold the tool forever.
    const timeval limit{kAnswerSeconds, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    char header[kMagicSize + 8];
    std::memcpy(header, kMagic, kMagicSize);
    const std::uint32_t fields[2] = {(std::uint32_t)payload.size(), (std::uint32_t)type};
    std::memcpy(header + kMagicSize, fields, sizeof fields);
    std::uint32_t answer[2] = {0, 0};
    bool ok = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
              sendAll(fd, header, sizeof header) && sendAll(fd, payload.data(), payload.size()) &&
              readAll(fd, header, sizeof header) && std::memcmp(header, kMagic, kMagicSize) == 0;
    if (ok) {
        std::memcpy(answer, header + kMagicSize, sizeof answer);
        ok = answer[1] == (std::uint32_t)type && answer[0] <= kLargestReply;
        if (ok) reply.assign(answer[0], '\0');
        ok = ok && readAll(fd, reply.data(), reply.size());
    }
    close(fd);
    return ok;
}

// A command for the window's container; true when sway ran every part of it.
bool command(long long id, const std::string& what) {
    std::string reply;
    if (!request(Ipc::RunCommand, "[con_id=" + std::to_string(id) + "] " + what, reply)) return false;
    json results = json::parse(reply, nullptr, false);
    if (!results.is_array() || results.empty()) return false;
    for (const json& r : results)
        if (!r.is_object() || r.value("success", false) != true) return false;
    return true;
}

// A rectangle member of a tree node; zero where it is missing or malformed.
Rect rectOf(const json& node, const char* key) {
    Rect r;
    auto it = node.find(key);
    if (it == node.end() || !it->is_object()) return r;
    auto number = [&](const char* name) {
        auto v = it->find(name);
        return v != it->end() && v->is_number_integer() ? v->get<int>() : 0;
    };
    r = {number("x"), number("y"), number("width"), number("height")};
    return r;
}

// Depth-first through tiled and floating children alike.
const json* search(const json& node, long long pid, long long id, int depth) {
    if (!node.is_object() || depth > 64) return nullptr;
    auto number = [&](const char* name) {
        auto v = node.find(name);
        return v != node.end() && v->is_number_integer() ? v->get<long long>() : 0;
    };
    // Views are the nodes with a process; containers and workspaces have none.
    const long long nodePid = number("pid");
    if (nodePid > 0 && (id != 0 ? number("id") == id : nodePid == pid)) return &node;
    for (const char* children : {"nodes", "floating_nodes"}) {
        auto list = node.find(children);
        if (list == node.end() || !list->is_array()) continue;
        for (const json& child : *list)
            if (const json* found = search(child, pid, id, depth + 1)) return found;
    }
    return nullptr;
}

}  // namespace

bool findView(const std::string& tree, long long pid, long long id, View& view) {
    json root = json::parse(tree, nullptr, false);
    const json* node = search(root, pid, id, 0);
    if (!node) return false;
    // The contents lie at window_rect inside the container's rect (borders and a title
    // bar outside).
    const Rect outer = rectOf(*node, "rect"), inner = rectOf(*node, "window_rect");
    view.id = node->value("id", 0LL);
    view.content = {outer.x + inner.x, outer.y + inner.y, inner.width, inner.height};
    view.visible = node->value("visible", false) == true;
    return true;
}

bool outputOf(const std::string& outputs, const Rect& area, Output& output) {
    json list = json::parse(outputs, nullptr, false);
    if (!list.is_array()) return false;
    for (const json& o : list) {
        if (!o.is_object() || o.value("active", false) != true) continue;
        const Rect r = rectOf(o, "rect");
        if (area.x < r.x || area.y < r.y || area.x >= r.x + r.width || area.y >= r.y + r.height) continue;
        auto name = o.find("name");
        auto scale = o.find("scale");
        output.name = name != o.end() && name->is_string() ? name->get<std::string>() : std::string();
        output.rect = r;
        output.scale = scale != o.end() && scale->is_number() ? scale->get<double>() : 1.0;
        return true;
    }
    return false;
}

bool swayReachable() {
    std::string reply;
    return request(Ipc::GetOutputs, "", reply);
}

bool currentView(const PresentProcess& process, View& view) {
    std::string tree;
    return process.window && request(Ipc::GetTree, "", tree) && findView(tree, 0, (long long)process.window, view);
}

bool currentOutput(const Rect& area, Output& output) {
    std::string outputs;
    return request(Ipc::GetOutputs, "", outputs) && outputOf(outputs, area, output);
}

std::uintptr_t findWindow(long long pid) {
    std::string tree;
    View view;
    if (!request(Ipc::GetTree, "", tree) || !findView(tree, pid, 0, view) || !view.visible) return 0;
    return (std::uintptr_t)view.id;
}

bool clientSize(const PresentProcess& process, int& width, int& height) {
    View view;
    if (!currentView(process, view)) return false;
    width = view.content.width;
    height = view.content.height;
    return true;
}

bool resize(const PresentProcess& process, int width, int height, std::string& reason) {
    // Tiled, sway gives the window its share of the output; floating and without borders,
    // the contents take the size asked for, placed at the workspace's corner above the
    // tiled windows.
    const std::string size =
        "resize set width " + std::to_string(width) + " px height " + std::to_string(height) + " px";
    const std::string floated = "floating enable, border none, " + size + ", move position 0 0, focus";
    // A floating window takes the size its program commits, so a commit still on its way
    // from the tiled size undoes the first request: it is repeated until the size holds.
    const double end = now() + kResizeSeconds;
    double asked = -1, heldSince = -1;
    View view;
    while (now() < end) {
        const bool seen = currentView(process, view);
        if (!seen) break;
        if (view.content.width == width && view.content.height == height) {
            if (heldSince < 0) heldSince = now();
            if (now() - heldSince >= kResizeHoldSeconds) return true;
        } else {
            heldSince = -1;
            if (asked < 0 || now() - asked >= kResizeRepeatSeconds) {
                if (!command((long long)process.window, floated)) break;
                asked = now();
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(kResizePollMilliseconds));
    }
    reason = "sway did not keep the window floating at " + std::to_string(width) + "x" + std::to_string(height) +
             (asked < 0 ? ""
                        : " (it stayed " + std::to_string(view.content.width) + "x" +
                              std::to_string(view.content.height) + ")");
    return false;
}

bool askClose(const PresentProcess& process) { return process.window && command((long long)process.window, "kill"); }

}  // namespace present_wayland
