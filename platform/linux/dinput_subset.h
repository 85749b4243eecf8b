// The DirectInput 7 subset, declared for platforms without Windows: the creation function,
// IDirectInput7A and IDirectInputDevice7A, the predefined keyboard and mouse data formats,
// the identifiers, property blocks, flags and result codes, under DirectInput's names and
// with its values and layouts. platform/linux/dinput.cpp implements it over SDL2.
//
// The two interfaces list every method of the real ones in the real order, so that a class
// written against DirectInput (a test double, say) compiles here unchanged. The methods the
// program does not use have a body that answers DIERR_UNSUPPORTED.
#pragma once

#include <cstring>

typedef std::uint32_t ULONG;
typedef void* HANDLE;
typedef DWORD* LPDWORD;

// Byte-aligned so that the predefined property identifiers, small integers cast to GUID
// references as MAKEDIPROP does on Windows, are well-formed references. GUID has no padding,
// so the layout is the same 16 bytes.
struct __attribute__((packed)) GUID {
    DWORD Data1;
    WORD Data2;
    WORD Data3;
    BYTE Data4[8];
};
static_assert(sizeof(GUID) == 16, "GUID is 16 bytes");
typedef GUID IID;
typedef GUID* LPGUID;
typedef const GUID& REFGUID;
typedef const IID& REFIID;

inline bool IsEqualGUID(REFGUID a, REFGUID b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }
inline bool operator==(REFGUID a, REFGUID b) { return IsEqualGUID(a, b); }
#define IsEqualIID IsEqualGUID

// Result codes.
#define S_OK ((HRESULT)0x00000000L)
#define S_FALSE ((HRESULT)0x00000001L)
#define E_NOTIMPL ((HRESULT)0x80004001L)
#define E_NOINTERFACE ((HRESULT)0x80004002L)
#define E_POINTER ((HRESULT)0x80004003L)
#define E_FAIL ((HRESULT)0x80004005L)
#define E_ACCESSDENIED ((HRESULT)0x80070005L)
#define E_OUTOFMEMORY ((HRESULT)0x8007000EL)
#define E_INVALIDARG ((HRESULT)0x80070057L)
#define CLASS_E_NOAGGREGATION ((HRESULT)0x80040110L)
#define REGDB_E_CLASSNOTREG ((HRESULT)0x80040154L)
#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)

#define DI_OK S_OK
#define DI_NOEFFECT S_FALSE
#define DI_PROPNOEFFECT S_FALSE
#define DIERR_OLDDIRECTINPUTVERSION ((HRESULT)0x8007047EL)
#define DIERR_BETADIRECTINPUTVERSION ((HRESULT)0x80070481L)
#define DIERR_DEVICENOTREG REGDB_E_CLASSNOTREG
#define DIERR_INVALIDPARAM E_INVALIDARG
#define DIERR_NOINTERFACE E_NOINTERFACE
#define DIERR_GENERIC E_FAIL
#define DIERR_OUTOFMEMORY E_OUTOFMEMORY
#define DIERR_UNSUPPORTED E_NOTIMPL
#define DIERR_NOAGGREGATION CLASS_E_NOAGGREGATION
#define DIERR_OTHERAPPHASPRIO E_ACCESSDENIED
#define DIERR_INPUTLOST ((HRESULT)0x8007001EL)
#define DIERR_ACQUIRED ((HRESULT)0x800700AAL)
#define DIERR_NOTACQUIRED ((HRESULT)0x8007000CL)

// Interface and device identifiers.
extern "C" {
extern const GUID IID_IUnknown;
extern const GUID IID_IDirectInput7A;
extern const GUID IID_IDirectInputDevice7A;
extern const GUID GUID_SysKeyboard;
extern const GUID GUID_SysMouse;
extern const GUID GUID_XAxis;
extern const GUID GUID_YAxis;
extern const GUID GUID_ZAxis;
extern const GUID GUID_Button;
extern const GUID GUID_Key;
}

// Data formats.
struct DIOBJECTDATAFORMAT {
    const GUID* pguid;
    DWORD dwOfs;
    DWORD dwType;
    DWORD dwFlags;
};
typedef DIOBJECTDATAFORMAT* LPDIOBJECTDATAFORMAT;
typedef const DIOBJECTDATAFORMAT* LPCDIOBJECTDATAFORMAT;

struct DIDATAFORMAT {
    DWORD dwSize;
    DWORD dwObjSize;
    DWORD dwFlags;
    DWORD dwDataSize;
    DWORD dwNumObjs;
    LPDIOBJECTDATAFORMAT rgodf;
};
typedef DIDATAFORMAT* LPDIDATAFORMAT;
typedef const DIDATAFORMAT* LPCDIDATAFORMAT;

#define DIDF_ABSAXIS 0x00000001
#define DIDF_RELAXIS 0x00000002
#define DIDFT_RELAXIS 0x00000001
#define DIDFT_ABSAXIS 0x00000002
#define DIDFT_AXIS 0x00000003
#define DIDFT_PSHBUTTON 0x00000004
#define DIDFT_TGLBUTTON 0x00000008
#define DIDFT_BUTTON 0x0000000C
#define DIDFT_ANYINSTANCE 0x00FFFF00
#define DIDFT_INSTANCEMASK DIDFT_ANYINSTANCE
#define DIDFT_MAKEINSTANCE(n) ((WORD)(n) << 8)
#define DIDFT_GETINSTANCE(n) LOWORD((n) >> 8)
#define DIDFT_OPTIONAL 0x80000000

extern "C" {
extern const DIDATAFORMAT c_dfDIKeyboard;
extern const DIDATAFORMAT c_dfDIMouse;
}

struct DIMOUSESTATE {
    LONG lX;
    LONG lY;
    LONG lZ;
    BYTE rgbButtons[4];
};
static_assert(sizeof(DIMOUSESTATE) == 16, "DIMOUSESTATE is 16 bytes");

// Properties.
struct DIPROPHEADER {
    DWORD dwSize;
    DWORD dwHeaderSize;
    DWORD dwObj;
    DWORD dwHow;
};
typedef DIPROPHEADER* LPDIPROPHEADER;
typedef const DIPROPHEADER* LPCDIPROPHEADER;

struct DIPROPDWORD {
    DIPROPHEADER diph;
    DWORD dwData;
};
static_assert(sizeof(DIPROPDWORD) == 20, "DIPROPDWORD is 20 bytes");

#define DIPH_DEVICE 0
#define DIPH_BYOFFSET 1
#define DIPH_BYID 2
#define MAKEDIPROP(prop) (*(const GUID*)(prop))
#define DIPROP_BUFFERSIZE MAKEDIPROP(1)
#define DIPROP_AXISMODE MAKEDIPROP(2)
#define DIPROPAXISMODE_ABS 0
#define DIPROPAXISMODE_REL 1

// Cooperative levels.
#define DISCL_EXCLUSIVE 0x00000001
#define DISCL_NONEXCLUSIVE 0x00000002
#define DISCL_FOREGROUND 0x00000004
#define DISCL_BACKGROUND 0x00000008

// Keyboard data offsets: PC set-1 scan codes, 0x80 added for the extended (E0) keys.
#define DIK_ESCAPE 0x01
#define DIK_1 0x02
#define DIK_2 0x03
#define DIK_3 0x04
#define DIK_4 0x05
#define DIK_5 0x06
#define DIK_6 0x07
#define DIK_7 0x08
#define DIK_8 0x09
#define DIK_9 0x0A
#define DIK_0 0x0B
#define DIK_MINUS 0x0C
#define DIK_EQUALS 0x0D
#define DIK_BACK 0x0E
#define DIK_TAB 0x0F
#define DIK_Q 0x10
#define DIK_W 0x11
#define DIK_E 0x12
#define DIK_R 0x13
#define DIK_T 0x14
#define DIK_Y 0x15
#define DIK_U 0x16
#define DIK_I 0x17
#define DIK_O 0x18
#define DIK_P 0x19
#define DIK_LBRACKET 0x1A
#define DIK_RBRACKET 0x1B
#define DIK_RETURN 0x1C
#define DIK_LCONTROL 0x1D
#define DIK_A 0x1E
#define DIK_S 0x1F
#define DIK_D 0x20
#define DIK_F 0x21
#define DIK_G 0x22
#define DIK_H 0x23
#define DIK_J 0x24
#define DIK_K 0x25
#define DIK_L 0x26
#define DIK_SEMICOLON 0x27
#define DIK_APOSTROPHE 0x28
#define DIK_GRAVE 0x29
#define DIK_LSHIFT 0x2A
#define DIK_BACKSLASH 0x2B
#define DIK_Z 0x2C
#define DIK_X 0x2D
#define DIK_C 0x2E
#define DIK_V 0x2F
#define DIK_B 0x30
#define DIK_N 0x31
#define DIK_M 0x32
#define DIK_COMMA 0x33
#define DIK_PERIOD 0x34
#define DIK_SLASH 0x35
#define DIK_RSHIFT 0x36
#define DIK_MULTIPLY 0x37
#define DIK_LMENU 0x38
#define DIK_SPACE 0x39
#define DIK_CAPITAL 0x3A
#define DIK_F1 0x3B
#define DIK_F2 0x3C
#define DIK_F3 0x3D
#define DIK_F4 0x3E
#define DIK_F5 0x3F
#define DIK_F6 0x40
#define DIK_F7 0x41
#define DIK_F8 0x42
#define DIK_F9 0x43
#define DIK_F10 0x44
#define DIK_NUMLOCK 0x45
#define DIK_SCROLL 0x46
#define DIK_NUMPAD7 0x47
#define DIK_NUMPAD8 0x48
#define DIK_NUMPAD9 0x49
#define DIK_SUBTRACT 0x4A
#define DIK_NUMPAD4 0x4B
#define DIK_NUMPAD5 0x4C
#define DIK_NUMPAD6 0x4D
#define DIK_ADD 0x4E
#define DIK_NUMPAD1 0x4F
#define DIK_NUMPAD2 0x50
#define DIK_NUMPAD3 0x51
#define DIK_NUMPAD0 0x52
#define DIK_DECIMAL 0x53
#define DIK_OEM_102 0x56
#define DIK_F11 0x57
#define DIK_F12 0x58
#define DIK_F13 0x64
#define DIK_F14 0x65
#define DIK_F15 0x66
#define DIK_KANA 0x70
#define DIK_ABNT_C1 0x73
#define DIK_CONVERT 0x79
#define DIK_NOCONVERT 0x7B
#define DIK_YEN 0x7D
#define DIK_NUMPADEQUALS 0x8D
#define DIK_CIRCUMFLEX 0x90
#define DIK_NEXTTRACK 0x99
#define DIK_NUMPADENTER 0x9C
#define DIK_RCONTROL 0x9D
#define DIK_MUTE 0xA0
#define DIK_CALCULATOR 0xA1
#define DIK_PLAYPAUSE 0xA2
#define DIK_MEDIASTOP 0xA4
#define DIK_VOLUMEDOWN 0xAE
#define DIK_VOLUMEUP 0xB0
#define DIK_WEBHOME 0xB2
#define DIK_NUMPADCOMMA 0xB3
#define DIK_DIVIDE 0xB5
#define DIK_SYSRQ 0xB7
#define DIK_RMENU 0xB8
#define DIK_PAUSE 0xC5
#define DIK_HOME 0xC7
#define DIK_UP 0xC8
#define DIK_PRIOR 0xC9
#define DIK_LEFT 0xCB
#define DIK_RIGHT 0xCD
#define DIK_END 0xCF
#define DIK_DOWN 0xD0
#define DIK_NEXT 0xD1
#define DIK_INSERT 0xD2
#define DIK_DELETE 0xD3
#define DIK_LWIN 0xDB
#define DIK_RWIN 0xDC
#define DIK_APPS 0xDD
#define DIK_POWER 0xDE
#define DIK_SLEEP 0xDF
#define DIK_WEBSEARCH 0xE5
#define DIK_WEBFAVORITES 0xE6
#define DIK_WEBREFRESH 0xE7
#define DIK_WEBSTOP 0xE8
#define DIK_WEBFORWARD 0xE9
#define DIK_WEBBACK 0xEA
#define DIK_MYCOMPUTER 0xEB
#define DIK_MAIL 0xEC
#define DIK_MEDIASELECT 0xED

// Types that only the unused methods mention.
struct DIDEVCAPS;
struct DIDEVICEINSTANCEA;
struct DIDEVICEOBJECTINSTANCEA;
struct DIDEVICEOBJECTDATA;
struct DIEFFECT;
struct DIEFFECTINFOA;
struct DIEFFESCAPE;
struct DIFILEEFFECT;
struct IDirectInputEffect;
typedef DIDEVCAPS* LPDIDEVCAPS;
typedef DIDEVICEINSTANCEA* LPDIDEVICEINSTANCEA;
typedef const DIDEVICEINSTANCEA* LPCDIDEVICEINSTANCEA;
typedef DIDEVICEOBJECTINSTANCEA* LPDIDEVICEOBJECTINSTANCEA;
typedef const DIDEVICEOBJECTINSTANCEA* LPCDIDEVICEOBJECTINSTANCEA;
typedef DIDEVICEOBJECTDATA* LPDIDEVICEOBJECTDATA;
typedef const DIDEVICEOBJECTDATA* LPCDIDEVICEOBJECTDATA;
typedef const DIEFFECT* LPCDIEFFECT;
typedef DIEFFECTINFOA* LPDIEFFECTINFOA;
typedef const DIEFFECTINFOA* LPCDIEFFECTINFOA;
typedef DIEFFESCAPE* LPDIEFFESCAPE;
typedef DIFILEEFFECT* LPDIFILEEFFECT;
typedef const DIFILEEFFECT* LPCDIFILEEFFECT;
typedef IDirectInputEffect* LPDIRECTINPUTEFFECT;
typedef BOOL(CALLBACK* LPDIENUMDEVICESCALLBACKA)(LPCDIDEVICEINSTANCEA, LPVOID);
typedef BOOL(CALLBACK* LPDIENUMDEVICEOBJECTSCALLBACKA)(LPCDIDEVICEOBJECTINSTANCEA, LPVOID);
typedef BOOL(CALLBACK* LPDIENUMEFFECTSCALLBACKA)(LPCDIEFFECTINFOA, LPVOID);
typedef BOOL(CALLBACK* LPDIENUMCREATEDEFFECTOBJECTSCALLBACK)(LPDIRECTINPUTEFFECT, LPVOID);
typedef BOOL(CALLBACK* LPDIENUMEFFECTSINFILECALLBACK)(LPCDIFILEEFFECT, LPVOID);

// The interfaces.
struct IUnknown {
    virtual HRESULT QueryInterface(REFIID riid, void** object) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
};
typedef IUnknown* LPUNKNOWN;

struct IDirectInputDeviceA : IUnknown {
    virtual HRESULT GetCapabilities(LPDIDEVCAPS) { return DIERR_UNSUPPORTED; }
    virtual HRESULT EnumObjects(LPDIENUMDEVICEOBJECTSCALLBACKA, LPVOID, DWORD) { return DIERR_UNSUPPORTED; }
    virtual HRESULT GetProperty(REFGUID, LPDIPROPHEADER) { return DIERR_UNSUPPORTED; }
    virtual HRESULT SetProperty(REFGUID property, LPCDIPROPHEADER header) = 0;
    virtual HRESULT Acquire() = 0;
    virtual HRESULT Unacquire() = 0;
    virtual HRESULT GetDeviceState(DWORD size, LPVOID data) = 0;
    virtual HRESULT GetDeviceData(DWORD, LPDIDEVICEOBJECTDATA, LPDWORD, DWORD) { return DIERR_UNSUPPORTED; }
    virtual HRESULT SetDataFormat(LPCDIDATAFORMAT format) = 0;
    virtual HRESULT SetEventNotification(HANDLE) { return DIERR_UNSUPPORTED; }
    virtual HRESULT SetCooperativeLevel(HWND window, DWORD flags) = 0;
    virtual HRESULT GetObjectInfo(LPDIDEVICEOBJECTINSTANCEA, DWORD, DWORD) { return DIERR_UNSUPPORTED; }
    virtual HRESULT GetDeviceInfo(LPDIDEVICEINSTANCEA) { return DIERR_UNSUPPORTED; }
    virtual HRESULT RunControlPanel(HWND, DWORD) { return DIERR_UNSUPPORTED; }
    virtual HRESULT Initialize(HINSTANCE, DWORD, REFGUID) { return DIERR_UNSUPPORTED; }
};

struct IDirectInputDevice2A : IDirectInputDeviceA {
    virtual HRESULT CreateEffect(REFGUID, LPCDIEFFECT, LPDIRECTINPUTEFFECT*, LPUNKNOWN) { return DIERR_UNSUPPORTED; }
    virtual HRESULT EnumEffects(LPDIENUMEFFECTSCALLBACKA, LPVOID, DWORD) { return DIERR_UNSUPPORTED; }
    virtual HRESULT GetEffectInfo(LPDIEFFECTINFOA, REFGUID) { return DIERR_UNSUPPORTED; }
    virtual HRESULT GetForceFeedbackState(LPDWORD) { return DIERR_UNSUPPORTED; }
    virtual HRESULT SendForceFeedbackCommand(DWORD) { return DIERR_UNSUPPORTED; }
    virtual HRESULT EnumCreatedEffectObjects(LPDIENUMCREATEDEFFECTOBJECTSCALLBACK, LPVOID, DWORD) {
        return DIERR_UNSUPPORTED;
    }
    virtual HRESULT Escape(LPDIEFFESCAPE) { return DIERR_UNSUPPORTED; }
    virtual HRESULT Poll() { return DIERR_UNSUPPORTED; }
    virtual HRESULT SendDeviceData(DWORD, LPCDIDEVICEOBJECTDATA, LPDWORD, DWORD) { return DIERR_UNSUPPORTED; }
};

struct IDirectInputDevice7A : IDirectInputDevice2A {
    virtual HRESULT EnumEffectsInFile(LPCSTR, LPDIENUMEFFECTSINFILECALLBACK, LPVOID, DWORD) {
        return DIERR_UNSUPPORTED;
    }
    virtual HRESULT WriteEffectToFile(LPCSTR, DWORD, LPDIFILEEFFECT, DWORD) { return DIERR_UNSUPPORTED; }
};
typedef IDirectInputDeviceA* LPDIRECTINPUTDEVICEA;
typedef IDirectInputDevice7A* LPDIRECTINPUTDEVICE7A;

struct IDirectInputA : IUnknown {
    virtual HRESULT CreateDevice(REFGUID, LPDIRECTINPUTDEVICEA*, LPUNKNOWN) { return DIERR_UNSUPPORTED; }
    virtual HRESULT EnumDevices(DWORD, LPDIENUMDEVICESCALLBACKA, LPVOID, DWORD) { return DIERR_UNSUPPORTED; }
    virtual HRESULT GetDeviceStatus(REFGUID) { return DIERR_UNSUPPORTED; }
    virtual HRESULT RunControlPanel(HWND, DWORD) { return DIERR_UNSUPPORTED; }
    virtual HRESULT Initialize(HINSTANCE, DWORD) { return DIERR_UNSUPPORTED; }
};

struct IDirectInput2A : IDirectInputA {
    virtual HRESULT FindDevice(REFGUID, LPCSTR, LPGUID) { return DIERR_UNSUPPORTED; }
};

struct IDirectInput7A : IDirectInput2A {
    virtual HRESULT CreateDeviceEx(REFGUID device, REFIID riid, LPVOID* out, LPUNKNOWN outer) = 0;
};
typedef IDirectInput7A* LPDIRECTINPUT7A;

extern "C" HRESULT WINAPI DirectInputCreateEx(HINSTANCE instance, DWORD version, REFIID riid, LPVOID* out,
                                              LPUNKNOWN outer);
