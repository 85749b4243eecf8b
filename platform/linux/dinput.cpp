// DirectInput 7's system keyboard and mouse over SDL2, with DirectInput's rules for data
// formats, cooperative levels, acquisition and reference counts.
//
// The keyboard reads SDL's key state and reports it by DirectInput key code; the mouse
// reads the motion and wheel totals the event pump keeps (layer::mouseMotion) and SDL's
// button state. SDL sees input only while one of the program's windows has the focus and,
// for motion, while the pointer is over one of them. A foreground device is acquired only
// while its window has the layer's keyboard focus and loses the acquisition as soon as the
// focus moves (layer::focusEpoch changes); a background device is acquired at any time.
// Exclusive access is not offered. Objects live in fixed pools and nothing is allocated.
#include "platform/linux/layer.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace layer {
namespace {

constexpr int kMaxDirectInputs = 4;
constexpr int kMaxDevices = 16;
constexpr int kMouseAxes = 3;     // X, Y, wheel
constexpr int kMouseButtons = 4;  // left, right, middle, first extra
constexpr WORD kAnyInstance = 0xFFFF;

struct KeyCode {
    SDL_Scancode sdl;
    BYTE dik;
};

// Every SDL scan code that has a set-1 scan code, with its DirectInput key code.
// The table keeps several keys a line, as on a keyboard.
// clang-format off
constexpr KeyCode kKeyCodes[] = {
    {SDL_SCANCODE_ESCAPE, DIK_ESCAPE}, {SDL_SCANCODE_1, DIK_1}, {SDL_SCANCODE_2, DIK_2},
    {SDL_SCANCODE_3, DIK_3}, {SDL_SCANCODE_4, DIK_4}, {SDL_SCANCODE_5, DIK_5}, {SDL_SCANCODE_6, DIK_6},
    {SDL_SCANCODE_7, DIK_7}, {SDL_SCANCODE_8, DIK_8}, {SDL_SCANCODE_9, DIK_9}, {SDL_SCANCODE_0, DIK_0},
    {SDL_SCANCODE_MINUS, DIK_MINUS}, {SDL_SCANCODE_EQUALS, DIK_EQUALS},
    {SDL_SCANCODE_BACKSPACE, DIK_BACK}, {SDL_SCANCODE_TAB, DIK_TAB},
    {SDL_SCANCODE_Q, DIK_Q}, {SDL_SCANCODE_W, DIK_W}, {SDL_SCANCODE_E, DIK_E}, {SDL_SCANCODE_R, DIK_R},
    {SDL_SCANCODE_T, DIK_T}, {SDL_SCANCODE_Y, DIK_Y}, {SDL_SCANCODE_U, DIK_U}, {SDL_SCANCODE_I, DIK_I},
    {SDL_SCANCODE_O, DIK_O}, {SDL_SCANCODE_P, DIK_P}, {SDL_SCANCODE_LEFTBRACKET, DIK_LBRACKET},
    {SDL_SCANCODE_RIGHTBRACKET, DIK_RBRACKET}, {SDL_SCANCODE_RETURN, DIK_RETURN},
    {SDL_SCANCODE_LCTRL, DIK_LCONTROL},
    {SDL_SCANCODE_A, DIK_A}, {SDL_SCANCODE_S, DIK_S}, {SDL_SCANCODE_D, DIK_D}, {SDL_SCANCODE_F, DIK_F},
    {SDL_SCANCODE_G, DIK_G}, {SDL_SCANCODE_H, DIK_H}, {SDL_SCANCODE_J, DIK_J}, {SDL_SCANCODE_K, DIK_K},
    {SDL_SCANCODE_L, DIK_L}, {SDL_SCANCODE_SEMICOLON, DIK_SEMICOLON},
    {SDL_SCANCODE_APOSTROPHE, DIK_APOSTROPHE}, {SDL_SCANCODE_GRAVE, DIK_GRAVE},
    {SDL_SCANCODE_LSHIFT, DIK_LSHIFT}, {SDL_SCANCODE_BACKSLASH, DIK_BACKSLASH},
    {SDL_SCANCODE_Z, DIK_Z}, {SDL_SCANCODE_X, DIK_X}, {SDL_SCANCODE_C, DIK_C}, {SDL_SCANCODE_V, DIK_V},
    {SDL_SCANCODE_B, DIK_B}, {SDL_SCANCODE_N, DIK_N}, {SDL_SCANCODE_M, DIK_M},
    {SDL_SCANCODE_COMMA, DIK_COMMA}, {SDL_SCANCODE_PERIOD, DIK_PERIOD}, {SDL_SCANCODE_SLASH, DIK_SLASH},
    {SDL_SCANCODE_RSHIFT, DIK_RSHIFT}, {SDL_SCANCODE_KP_MULTIPLY, DIK_MULTIPLY},
    {SDL_SCANCODE_LALT, DIK_LMENU}, {SDL_SCANCODE_SPACE, DIK_SPACE}, {SDL_SCANCODE_CAPSLOCK, DIK_CAPITAL},
    {SDL_SCANCODE_F1, DIK_F1}, {SDL_SCANCODE_F2, DIK_F2}, {SDL_SCANCODE_F3, DIK_F3},
    {SDL_SCANCODE_F4, DIK_F4}, {SDL_SCANCODE_F5, DIK_F5}, {SDL_SCANCODE_F6, DIK_F6},
    {SDL_SCANCODE_F7, DIK_F7}, {SDL_SCANCODE_F8, DIK_F8}, {SDL_SCANCODE_F9, DIK_F9},
    {SDL_SCANCODE_F10, DIK_F10}, {SDL_SCANCODE_NUMLOCKCLEAR, DIK_NUMLOCK},
    {SDL_SCANCODE_SCROLLLOCK, DIK_SCROLL}, {SDL_SCANCODE_KP_7, DIK_NUMPAD7},
    {SDL_SCANCODE_KP_8, DIK_NUMPAD8}, {SDL_SCANCODE_KP_9, DIK_NUMPAD9},
    {SDL_SCANCODE_KP_MINUS, DIK_SUBTRACT}, {SDL_SCANCODE_KP_4, DIK_NUMPAD4},
    {SDL_SCANCODE_KP_5, DIK_NUMPAD5}, {SDL_SCANCODE_KP_6, DIK_NUMPAD6}, {SDL_SCANCODE_KP_PLUS, DIK_ADD},
    {SDL_SCANCODE_KP_1, DIK_NUMPAD1}, {SDL_SCANCODE_KP_2, DIK_NUMPAD2},
    {SDL_SCANCODE_KP_3, DIK_NUMPAD3}, {SDL_SCANCODE_KP_0, DIK_NUMPAD0},
    {SDL_SCANCODE_KP_PERIOD, DIK_DECIMAL}, {SDL_SCANCODE_NONUSBACKSLASH, DIK_OEM_102},
    {SDL_SCANCODE_F11, DIK_F11}, {SDL_SCANCODE_F12, DIK_F12}, {SDL_SCANCODE_F13, DIK_F13},
    {SDL_SCANCODE_F14, DIK_F14}, {SDL_SCANCODE_F15, DIK_F15},
    {SDL_SCANCODE_INTERNATIONAL2, DIK_KANA}, {SDL_SCANCODE_INTERNATIONAL1, DIK_ABNT_C1},
    {SDL_SCANCODE_INTERNATIONAL4, DIK_CONVERT}, {SDL_SCANCODE_INTERNATIONAL5, DIK_NOCONVERT},
    {SDL_SCANCODE_INTERNATIONAL3, DIK_YEN}, {SDL_SCANCODE_KP_EQUALS, DIK_NUMPADEQUALS},
    {SDL_SCANCODE_AUDIOPREV, DIK_CIRCUMFLEX},  // 0x90 is also the extended previous-track key
    {SDL_SCANCODE_AUDIONEXT, DIK_NEXTTRACK}, {SDL_SCANCODE_KP_ENTER, DIK_NUMPADENTER},
    {SDL_SCANCODE_RCTRL, DIK_RCONTROL}, {SDL_SCANCODE_MUTE, DIK_MUTE}, {SDL_SCANCODE_AUDIOMUTE, DIK_MUTE},
    {SDL_SCANCODE_CALCULATOR, DIK_CALCULATOR}, {SDL_SCANCODE_AUDIOPLAY, DIK_PLAYPAUSE},
    {SDL_SCANCODE_AUDIOSTOP, DIK_MEDIASTOP}, {SDL_SCANCODE_VOLUMEDOWN, DIK_VOLUMEDOWN},
    {SDL_SCANCODE_VOLUMEUP, DIK_VOLUMEUP}, {SDL_SCANCODE_AC_HOME, DIK_WEBHOME},
    {SDL_SCANCODE_KP_COMMA, DIK_NUMPADCOMMA}, {SDL_SCANCODE_KP_DIVIDE, DIK_DIVIDE},
    {SDL_SCANCODE_PRINTSCREEN, DIK_SYSRQ}, {SDL_SCANCODE_RALT, DIK_RMENU},
    {SDL_SCANCODE_PAUSE, DIK_PAUSE}, {SDL_SCANCODE_HOME, DIK_HOME}, {SDL_SCANCODE_UP, DIK_UP},
    {SDL_SCANCODE_PAGEUP, DIK_PRIOR}, {SDL_SCANCODE_LEFT, DIK_LEFT}, {SDL_SCANCODE_RIGHT, DIK_RIGHT},
    {SDL_SCANCODE_END, DIK_END}, {SDL_SCANCODE_DOWN, DIK_DOWN}, {SDL_SCANCODE_PAGEDOWN, DIK_NEXT},
    {SDL_SCANCODE_INSERT, DIK_INSERT}, {SDL_SCANCODE_DELETE, DIK_DELETE}, {SDL_SCANCODE_LGUI, DIK_LWIN},
    {SDL_SCANCODE_RGUI, DIK_RWIN}, {SDL_SCANCODE_APPLICATION, DIK_APPS}, {SDL_SCANCODE_POWER, DIK_POWER},
    {SDL_SCANCODE_SLEEP, DIK_SLEEP}, {SDL_SCANCODE_AC_SEARCH, DIK_WEBSEARCH},
    {SDL_SCANCODE_AC_BOOKMARKS, DIK_WEBFAVORITES}, {SDL_SCANCODE_AC_REFRESH, DIK_WEBREFRESH},
    {SDL_SCANCODE_AC_STOP, DIK_WEBSTOP}, {SDL_SCANCODE_AC_FORWARD, DIK_WEBFORWARD},
    {SDL_SCANCODE_AC_BACK, DIK_WEBBACK}, {SDL_SCANCODE_COMPUTER, DIK_MYCOMPUTER},
    {SDL_SCANCODE_MAIL, DIK_MAIL}, {SDL_SCANCODE_MEDIASELECT, DIK_MEDIASELECT},
};
// clang-format on

constexpr auto kDikOfScancode = [] {
    std::array<BYTE, SDL_NUM_SCANCODES> table{};
    for (const KeyCode& key : kKeyCodes) table[key.sdl] = key.dik;
    return table;
}();

// The key codes the keyboard has, as the objects a data format can name.
constexpr auto kKeyboardHasKey = [] {
    std::array<bool, 256> has{};
    for (const KeyCode& key : kKeyCodes) has[key.dik] = true;
    return has;
}();

enum class Kind { Keyboard, Mouse };

// Where one object of the device goes in the application's data format.
struct Field {
    DWORD offset;
    bool axis;
    WORD index;  // axis 0-2, mouse button 0-3, or key code
};

// What a device's data format and acquisition have set; reset when the slot is reused.
struct DeviceState {
    ULONG refs = 0;
    IDirectInput7A* parent = nullptr;
    Kind kind = Kind::Keyboard;
    bool formatSet = false;
    DWORD dataSize = 0;
    int fieldCount = 0;
    Field fields[256] = {};
    bool relative = true;
    HWND window = nullptr;
    DWORD level = DISCL_NONEXCLUSIVE | DISCL_BACKGROUND;  // DirectInput's default
    bool acquired = false;
    std::uint32_t epoch = 0;           // the focus epoch the acquisition was made under
    long lastMotion[kMouseAxes] = {};  // motion totals at the last read
    long position[kMouseAxes] = {};    // what an absolute axis reports
};

const GUID& objectGuid(Kind kind, bool axis, int index) {
    static const GUID* const kAxes[kMouseAxes] = {&GUID_XAxis, &GUID_YAxis, &GUID_ZAxis};
    if (axis) return *kAxes[index];
    return kind == Kind::Keyboard ? GUID_Key : GUID_Button;
}

int objectCount(Kind kind, bool axis) {
    if (kind == Kind::Keyboard) return axis ? 0 : 256;
    return axis ? kMouseAxes : kMouseButtons;
}

bool objectExists(Kind kind, bool axis, int index) { return kind == Kind::Mouse || (!axis && kKeyboardHasKey[index]); }

// Finds the device object an entry of a data format names: by type, by instance (or the
// first one not yet taken), and by GUID where one is given. -1 when there is none.
int matchObject(Kind kind, const DIOBJECTDATAFORMAT& entry, bool axis, const bool* taken) {
    WORD instance = DIDFT_GETINSTANCE(entry.dwType);
    for (int i = 0; i < objectCount(kind, axis); ++i) {
        if (taken[i] || !objectExists(kind, axis, i)) continue;
        if (instance != kAnyInstance && instance != i) continue;
        if (entry.pguid != nullptr && *entry.pguid != objectGuid(kind, axis, i)) continue;
        return i;
    }
    return -1;
}

// Translates an application's data format into the fields of a device. False when the
// format is malformed or requires an object the device does not have.
bool compileFormat(Kind kind, const DIDATAFORMAT& format, Field* fields, int* fieldCount) {
    if (format.dwSize != sizeof(DIDATAFORMAT) || format.dwObjSize != sizeof(DIOBJECTDATAFORMAT) ||
        format.dwDataSize == 0 || format.dwDataSize % 4 != 0 || (format.dwNumObjs != 0 && format.rgodf == nullptr))
        return false;
    bool takenAxes[kMouseAxes] = {};
    bool takenButtons[256] = {};
    *fieldCount = 0;
    for (DWORD i = 0; i < format.dwNumObjs; ++i) {
        const DIOBJECTDATAFORMAT& entry = format.rgodf[i];
        bool axis = (entry.dwType & DIDFT_AXIS) != 0;
        bool button = (entry.dwType & DIDFT_BUTTON) != 0;
        int index = axis || button ? matchObject(kind, entry, axis, axis ? takenAxes : takenButtons) : -1;
        if (index < 0) {
            if (entry.dwType & DIDFT_OPTIONAL) continue;
            return false;
        }
        DWORD size = axis ? sizeof(LONG) : 1;
        if (entry.dwOfs % size != 0 || entry.dwOfs > format.dwDataSize - size) return false;
        (axis ? takenAxes : takenButtons)[index] = true;
        fields[(*fieldCount)++] = Field{entry.dwOfs, axis, (WORD)index};
    }
    return true;
}

class Device final : public IDirectInputDevice7A {
public:
    DeviceState s;

    HRESULT QueryInterface(REFIID riid, void** object) override {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        if (riid != IID_IUnknown && riid != IID_IDirectInputDevice7A) return E_NOINTERFACE;
        *object = static_cast<IDirectInputDevice7A*>(this);
        AddRef();
        return S_OK;
    }

    ULONG AddRef() override { return ++s.refs; }

    ULONG Release() override {
        if (s.refs == 0) return 0;
        ULONG left = --s.refs;
        if (left == 0) {
            IDirectInput7A* parent = s.parent;
            s = DeviceState{};
            parent->Release();
        }
        return left;
    }

    HRESULT SetDataFormat(LPCDIDATAFORMAT format) override {
        checkFocus();
        if (s.acquired) return DIERR_ACQUIRED;
        Field fields[256];
        int count = 0;
        if (format == nullptr || !compileFormat(s.kind, *format, fields, &count)) return DIERR_INVALIDPARAM;
        std::copy(fields, fields + count, s.fields);
        s.fieldCount = count;
        s.dataSize = format->dwDataSize;
        s.relative = (format->dwFlags & DIDF_ABSAXIS) == 0;
        s.formatSet = true;
        return DI_OK;
    }

    HRESULT SetCooperativeLevel(HWND window, DWORD flags) override {
        checkFocus();
        if (s.acquired) return DIERR_ACQUIRED;
        DWORD access = flags & (DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE);
        DWORD when = flags & (DISCL_FOREGROUND | DISCL_BACKGROUND);
        if (flags & ~(DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE | DISCL_FOREGROUND | DISCL_BACKGROUND) ||
            (access != DISCL_EXCLUSIVE && access != DISCL_NONEXCLUSIVE) ||
            (when != DISCL_FOREGROUND && when != DISCL_BACKGROUND) || findWindow(window) == nullptr)
            return DIERR_INVALIDPARAM;
        if (access == DISCL_EXCLUSIVE) return DIERR_UNSUPPORTED;
        s.window = window;
        s.level = flags;
        return DI_OK;
    }

    HRESULT SetProperty(REFGUID property, LPCDIPROPHEADER header) override {
        checkFocus();
        if (header == nullptr || header->dwHeaderSize != sizeof(DIPROPHEADER)) return DIERR_INVALIDPARAM;
        if (&property != &DIPROP_AXISMODE) return DIERR_UNSUPPORTED;
        if (header->dwSize != sizeof(DIPROPDWORD) || header->dwHow != DIPH_DEVICE || header->dwObj != 0)
            return DIERR_INVALIDPARAM;
        if (s.acquired) return DIERR_ACQUIRED;
        DWORD mode = reinterpret_cast<const DIPROPDWORD*>(header)->dwData;
        if (mode != DIPROPAXISMODE_ABS && mode != DIPROPAXISMODE_REL) return DIERR_INVALIDPARAM;
        bool relative = mode == DIPROPAXISMODE_REL;
        if (relative == s.relative) return DI_PROPNOEFFECT;
        s.relative = relative;
        return DI_OK;
    }

    HRESULT Acquire() override {
        if (!s.formatSet) return DIERR_INVALIDPARAM;
        pumpEvents();
        checkFocus();
        if (s.acquired) return DI_NOEFFECT;
        if ((s.level & DISCL_FOREGROUND) && (s.window == nullptr || focusWindow() != s.window))
            return DIERR_OTHERAPPHASPRIO;
        s.acquired = true;
        s.epoch = focusEpoch();
        // Motion made while the device was not acquired is not reported.
        readMotion(s.lastMotion);
        return DI_OK;
    }

    HRESULT Unacquire() override {
        checkFocus();
        if (!s.acquired) return DI_NOEFFECT;
        s.acquired = false;
        return DI_OK;
    }

    HRESULT GetDeviceState(DWORD size, LPVOID data) override {
        pumpEvents();
        checkFocus();
        if (!s.acquired) return DIERR_NOTACQUIRED;
        if (data == nullptr || size != s.dataSize) return DIERR_INVALIDPARAM;

        LONG axes[kMouseAxes] = {};
        BYTE buttons[256] = {};
        if (s.kind == Kind::Keyboard) {
            int count = 0;
            const Uint8* keys = SDL_GetKeyboardState(&count);
            for (int code = 0; code < count && code < SDL_NUM_SCANCODES; ++code)
                if (keys[code] && kDikOfScancode[code] != 0) buttons[kDikOfScancode[code]] = 0x80;
        } else {
            long motion[kMouseAxes];
            readMotion(motion);
            for (int i = 0; i < kMouseAxes; ++i) {
                long delta = motion[i] - s.lastMotion[i];
                s.lastMotion[i] = motion[i];
                s.position[i] += delta;
                axes[i] = (LONG)(s.relative ? delta : s.position[i]);
            }
            static const Uint32 kMasks[kMouseButtons] = {SDL_BUTTON_LMASK, SDL_BUTTON_RMASK, SDL_BUTTON_MMASK,
                                                         SDL_BUTTON_X1MASK};
            Uint32 pressed = SDL_GetMouseState(nullptr, nullptr);
            for (int i = 0; i < kMouseButtons; ++i) buttons[i] = (pressed & kMasks[i]) ? 0x80 : 0;
        }

        BYTE* out = static_cast<BYTE*>(data);
        std::fill(out, out + size, BYTE{0});
        for (int i = 0; i < s.fieldCount; ++i) {
            const Field& f = s.fields[i];
            if (f.axis)
                std::memcpy(out + f.offset, &axes[f.index], sizeof(LONG));
            else
                out[f.offset] = buttons[f.index];
        }
        return DI_OK;
    }

private:
    // A foreground acquisition ends as soon as the focus moves, even if it comes back.
    void checkFocus() {
        if (s.acquired && (s.level & DISCL_FOREGROUND) && focusEpoch() != s.epoch) s.acquired = false;
    }

    static void readMotion(long* motion) {
        const MouseMotion& totals = mouseMotion();
        motion[0] = totals.dx;
        motion[1] = totals.dy;
        motion[2] = totals.wheel;
    }
};

Device gDevices[kMaxDevices];

class DirectInput final : public IDirectInput7A {
public:
    ULONG refs = 0;

    HRESULT QueryInterface(REFIID riid, void** object) override {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        if (riid != IID_IUnknown && riid != IID_IDirectInput7A) return E_NOINTERFACE;
        *object = static_cast<IDirectInput7A*>(this);
        AddRef();
        return S_OK;
    }

    ULONG AddRef() override { return ++refs; }
    ULONG Release() override { return refs == 0 ? 0 : --refs; }  // a slot with no references is free

    HRESULT CreateDeviceEx(REFGUID device, REFIID riid, LPVOID* out, LPUNKNOWN outer) override {
        if (out == nullptr) return DIERR_INVALIDPARAM;
        *out = nullptr;
        if (outer != nullptr) return DIERR_NOAGGREGATION;
        if (riid != IID_IDirectInputDevice7A) return DIERR_NOINTERFACE;
        Kind kind;
        if (device == GUID_SysKeyboard)
            kind = Kind::Keyboard;
        else if (device == GUID_SysMouse)
            kind = Kind::Mouse;
        else
            return DIERR_DEVICENOTREG;
        // Without a display there is no keyboard or mouse to read.
        if (!ensureVideo()) return DIERR_DEVICENOTREG;
        for (Device& d : gDevices) {
            if (d.s.refs != 0) continue;
            d.s = DeviceState{};
            d.s.refs = 1;
            d.s.kind = kind;
            d.s.parent = this;
            AddRef();
            *out = static_cast<IDirectInputDevice7A*>(&d);
            return DI_OK;
        }
        return DIERR_OUTOFMEMORY;
    }
};

DirectInput gDirectInputs[kMaxDirectInputs];

}  // namespace
}  // namespace layer

using namespace layer;

extern "C" HRESULT WINAPI DirectInputCreateEx(HINSTANCE instance, DWORD version, REFIID riid, LPVOID* out,
                                              LPUNKNOWN outer) {
    if (out == nullptr) return DIERR_INVALIDPARAM;
    *out = nullptr;
    if (outer != nullptr) return DIERR_NOAGGREGATION;
    if (instance == nullptr) return DIERR_INVALIDPARAM;
    if (version > 0x0700) return DIERR_OLDDIRECTINPUTVERSION;
    if (version < 0x0300) return DIERR_BETADIRECTINPUTVERSION;
    if (riid != IID_IDirectInput7A) return DIERR_NOINTERFACE;
    for (DirectInput& d : gDirectInputs) {
        if (d.refs != 0) continue;
        d.refs = 1;
        *out = static_cast<IDirectInput7A*>(&d);
        return DI_OK;
    }
    return DIERR_OUTOFMEMORY;
}
