#include "tests/support/dinput_double.h"

#include <cstring>

namespace dinputDouble {
namespace {

constexpr int kObjects = 3;
constexpr int kOps = 9;
constexpr int kMaxCalls = 256;

HRESULT gAnswers[kObjects][kOps];
Call gCalls[kMaxCalls];
int gCallCount = 0;
Counts gCounts[kObjects];
ULONG gRefs[kObjects];
void (*gOnCreate)() = nullptr;

Call& log(Object object, Op op) {
    static Call overflow;
    Call& c = gCallCount < kMaxCalls ? gCalls[gCallCount] : overflow;
    ++gCallCount;
    c = Call{};
    c.object = object;
    c.op = op;
    return c;
}

HRESULT answerOf(Object object, Op op) { return gAnswers[(int)object][(int)op]; }

ULONG addRef(Object object) {
    log(object, Op::AddRef);
    ++gCounts[(int)object].addRefs;
    return ++gRefs[(int)object];
}

ULONG release(Object object) {
    log(object, Op::Release);
    ++gCounts[(int)object].releases;
    if (gRefs[(int)object] > 0) --gRefs[(int)object];
    if (gRefs[(int)object] == 0) gCounts[(int)object].acquired = false;
    return gRefs[(int)object];
}

class DeviceDouble final : public IDirectInputDevice7A {
public:
    explicit DeviceDouble(Object which) : which_(which) {}

    HRESULT QueryInterface(REFIID, void** object) override {
        if (object) *object = nullptr;
        return DIERR_NOINTERFACE;
    }
    ULONG AddRef() override { return addRef(which_); }
    ULONG Release() override { return release(which_); }

    HRESULT SetDataFormat(LPCDIDATAFORMAT format) override {
        log(which_, Op::SetDataFormat).pointer = format;
        return answerOf(which_, Op::SetDataFormat);
    }
    HRESULT SetCooperativeLevel(HWND window, DWORD flags) override {
        Call& c = log(which_, Op::SetCooperativeLevel);
        c.window = window;
        c.value = flags;
        return answerOf(which_, Op::SetCooperativeLevel);
    }
    HRESULT SetProperty(REFGUID property, LPCDIPROPHEADER header) override {
        Call& c = log(which_, Op::SetProperty);
        c.pointer = &property;
        if (header)
            std::memcpy(&c.property, header, header->dwSize < sizeof c.property ? header->dwSize : sizeof c.property);
        return answerOf(which_, Op::SetProperty);
    }
    HRESULT Acquire() override {
        log(which_, Op::Acquire);
        HRESULT result = answerOf(which_, Op::Acquire);
        if (SUCCEEDED(result)) gCounts[(int)which_].acquired = true;
        return result;
    }
    HRESULT Unacquire() override {
        log(which_, Op::Unacquire);
        gCounts[(int)which_].acquired = false;
        return answerOf(which_, Op::Unacquire);
    }
    HRESULT GetDeviceState(DWORD size, LPVOID data) override {
        Call& c = log(which_, Op::GetDeviceState);
        c.value = size;
        c.pointer = data;
        if (!gCounts[(int)which_].acquired) return DIERR_NOTACQUIRED;
        HRESULT result = answerOf(which_, Op::GetDeviceState);
        if (FAILED(result)) return result;
        if (which_ == Object::Mouse && size == sizeof(DIMOUSESTATE)) std::memcpy(data, &kMouseState, size);
        if (which_ == Object::Keyboard && size == 256)
            for (int i = 0; i < 256; ++i) static_cast<BYTE*>(data)[i] = keyPattern(i);
        return result;
    }

    // The rest of the interface; the input module never calls it.
    HRESULT GetCapabilities(LPDIDEVCAPS) override { return DIERR_UNSUPPORTED; }
    HRESULT EnumObjects(LPDIENUMDEVICEOBJECTSCALLBACKA, LPVOID, DWORD) override { return DIERR_UNSUPPORTED; }
    HRESULT GetProperty(REFGUID, LPDIPROPHEADER) override { return DIERR_UNSUPPORTED; }
    HRESULT GetDeviceData(DWORD, LPDIDEVICEOBJECTDATA, LPDWORD, DWORD) override { return DIERR_UNSUPPORTED; }
    HRESULT SetEventNotification(HANDLE) override { return DIERR_UNSUPPORTED; }
    HRESULT GetObjectInfo(LPDIDEVICEOBJECTINSTANCEA, DWORD, DWORD) override { return DIERR_UNSUPPORTED; }
    HRESULT GetDeviceInfo(LPDIDEVICEINSTANCEA) override { return DIERR_UNSUPPORTED; }
    HRESULT RunControlPanel(HWND, DWORD) override { return DIERR_UNSUPPORTED; }
    HRESULT Initialize(HINSTANCE, DWORD, REFGUID) override { return DIERR_UNSUPPORTED; }
    HRESULT CreateEffect(REFGUID, LPCDIEFFECT, LPDIRECTINPUTEFFECT*, LPUNKNOWN) override { return DIERR_UNSUPPORTED; }
    HRESULT EnumEffects(LPDIENUMEFFECTSCALLBACKA, LPVOID, DWORD) override { return DIERR_UNSUPPORTED; }
    HRESULT GetEffectInfo(LPDIEFFECTINFOA, REFGUID) override { return DIERR_UNSUPPORTED; }
    HRESULT GetForceFeedbackState(LPDWORD) override { return DIERR_UNSUPPORTED; }
    HRESULT SendForceFeedbackCommand(DWORD) override { return DIERR_UNSUPPORTED; }
    HRESULT EnumCreatedEffectObjects(LPDIENUMCREATEDEFFECTOBJECTSCALLBACK, LPVOID, DWORD) override {
        return DIERR_UNSUPPORTED;
    }
    HRESULT Escape(LPDIEFFESCAPE) override { return DIERR_UNSUPPORTED; }
    HRESULT Poll() override { return DIERR_UNSUPPORTED; }
    HRESULT SendDeviceData(DWORD, LPCDIDEVICEOBJECTDATA, LPDWORD, DWORD) override { return DIERR_UNSUPPORTED; }
    HRESULT EnumEffectsInFile(LPCSTR, LPDIENUMEFFECTSINFILECALLBACK, LPVOID, DWORD) override {
        return DIERR_UNSUPPORTED;
    }
    HRESULT WriteEffectToFile(LPCSTR, DWORD, LPDIFILEEFFECT, DWORD) override { return DIERR_UNSUPPORTED; }

private:
    Object which_;
};

DeviceDouble gKeyboardDouble(Object::Keyboard);
DeviceDouble gMouseDouble(Object::Mouse);

class DirectInputDouble final : public IDirectInput7A {
public:
    HRESULT QueryInterface(REFIID, void** object) override {
        if (object) *object = nullptr;
        return DIERR_NOINTERFACE;
    }
    ULONG AddRef() override { return addRef(Object::DirectInput); }
    ULONG Release() override { return release(Object::DirectInput); }

    HRESULT CreateDeviceEx(REFGUID device, REFIID riid, LPVOID* out, LPUNKNOWN outer) override {
        Object which = device == GUID_SysMouse ? Object::Mouse : Object::Keyboard;
        Call& c = log(which, Op::Create);
        c.guid = device;
        c.iid = riid;
        c.outer = outer != nullptr;
        if (device != GUID_SysKeyboard && device != GUID_SysMouse) return DIERR_DEVICENOTREG;
        return create(which, out);
    }

    HRESULT CreateDevice(REFGUID, LPDIRECTINPUTDEVICEA*, LPUNKNOWN) override { return DIERR_UNSUPPORTED; }
    HRESULT EnumDevices(DWORD, LPDIENUMDEVICESCALLBACKA, LPVOID, DWORD) override { return DIERR_UNSUPPORTED; }
    HRESULT GetDeviceStatus(REFGUID) override { return DIERR_UNSUPPORTED; }
    HRESULT RunControlPanel(HWND, DWORD) override { return DIERR_UNSUPPORTED; }
    HRESULT Initialize(HINSTANCE, DWORD) override { return DIERR_UNSUPPORTED; }
    HRESULT FindDevice(REFGUID, LPCSTR, LPGUID) override { return DIERR_UNSUPPORTED; }

    static HRESULT create(Object which, LPVOID* out) {
        HRESULT result = answerOf(which, Op::Create);
        if (FAILED(result)) {
            if (out) *out = nullptr;
            return result;
        }
        ++gCounts[(int)which].created;
        gRefs[(int)which] = 1;
        if (out) *out = pointerOf(which);
        return result;
    }
};

DirectInputDouble gDirectInputDouble;

}  // namespace

void reset() {
    for (auto& row : gAnswers)
        for (HRESULT& a : row) a = DI_OK;
    gCallCount = 0;
    for (Counts& c : gCounts) c = Counts{};
    for (ULONG& r : gRefs) r = 0;
    gOnCreate = nullptr;
}

void answer(Object object, Op op, HRESULT result) { gAnswers[(int)object][(int)op] = result; }
void onCreate(void (*hook)()) { gOnCreate = hook; }
int callCount() { return gCallCount; }
const Call& call(int index) { return gCalls[index]; }

const Counts& counts(Object object) { return gCounts[(int)object]; }

void* pointerOf(Object object) {
    switch (object) {
        case Object::DirectInput: return static_cast<IDirectInput7A*>(&gDirectInputDouble);
        case Object::Keyboard: return static_cast<IDirectInputDevice7A*>(&gKeyboardDouble);
        default: return static_cast<IDirectInputDevice7A*>(&gMouseDouble);
    }
}

}  // namespace dinputDouble

using namespace dinputDouble;

extern "C" HRESULT WINAPI DirectInputCreateEx(HINSTANCE instance, DWORD version, REFIID riid, LPVOID* out,
                                              LPUNKNOWN outer) {
    Call& c = log(Object::DirectInput, Op::Create);
    c.instance = instance;
    c.value = version;
    c.guid = riid;
    c.outer = outer != nullptr;
    if (gOnCreate) gOnCreate();
    return DirectInputDouble::create(Object::DirectInput, out);
}
