#include "accessiblenames.h"

#include "lazyole32.h"
#include "wintext.h"

#include <algorithm>
#include <oleacc.h>
#include <vector>

namespace quietwatch::win32 {

namespace {

// Defined here, as oleacc.h only declares them: no oleacc import just for three constants.
constexpr CLSID kServiceClass{0xb5f8350b, 0x0548, 0x48b1, {0xa6, 0xee, 0x88, 0xbd, 0x00, 0xb4, 0xa5, 0xe7}};
constexpr IID kServiceInterface{0x6e26e776, 0x04f0, 0x495d, {0x80, 0xe4, 0x33, 0x30, 0x35, 0x2e, 0x31, 0x69}};
constexpr MSAAPROPID kName{0x608d3df8, 0x8128, 0x4aa7, {0xa4, 0x28, 0xf5, 0x5e, 0x49, 0x26, 0x72, 0x91}};

// One service for the program's lifetime, made when a client first asks.
IAccPropServices *service()
{
    static IAccPropServices *const shared = [] {
        IAccPropServices *created = nullptr;
        // The windows' thread; a later CoInitializeEx there (the picture decoder) only counts up.
        const auto coInitializeEx = ole32<decltype(CoInitializeEx)>("CoInitializeEx");
        const auto coCreateInstance = ole32<decltype(CoCreateInstance)>("CoCreateInstance");
        if (coInitializeEx == nullptr || coCreateInstance == nullptr ||
            (SUCCEEDED(coInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) &&
             FAILED(coCreateInstance(kServiceClass, nullptr, CLSCTX_INPROC_SERVER, kServiceInterface,
                                     reinterpret_cast<void **>(&created))))) {
            created = nullptr;
        }
        return created;
    }();
    return shared;
}

// A control waiting to be named, or named: its own window procedure, replaced here rather than
// by comctl32's SetWindowSubclass, whose hook reads a window property at every message (under
// Wine a request to its server each, about 1400 for the scheduler window before it shows).
// Windows and their procedures belong to one thread each.
struct Hooked
{
    HWND hwnd;
    WNDPROC previous;
    const design::Control *entry; // nullptr once the service holds the name
};

std::vector<Hooked> &hooked()
{
    thread_local std::vector<Hooked> controls;
    return controls;
}

LRESULT CALLBACK annotated(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    std::vector<Hooked> &controls = hooked();
    const auto it =
        std::find_if(controls.begin(), controls.end(), [hwnd](const Hooked &hook) { return hook.hwnd == hwnd; });
    if (it == controls.end()) {
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    const WNDPROC previous = it->previous;
    bool unhook = message == WM_NCDESTROY;
    if (message == WM_GETOBJECT && it->entry != nullptr) {
        // Before the message is answered: the client reads the annotation after it.
        IAccPropServices *annotations = service();
        if (annotations != nullptr &&
            SUCCEEDED(annotations->SetHwndPropStr(hwnd, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, kName,
                                                  wide(it->entry->accessibleName).c_str()))) {
            it->entry = nullptr;
        } else {
            unhook = true;
        }
    } else if (message == WM_NCDESTROY && it->entry == nullptr) {
        service()->ClearHwndProps(hwnd, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, &kName, 1);
    }
    if (unhook) {
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
        controls.erase(it);
    }
    return CallWindowProcW(previous, hwnd, message, wParam, lParam);
}

} // namespace

void nameOnRequest(HWND control, const design::Control &entry)
{
    const auto previous =
        reinterpret_cast<WNDPROC>(SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&annotated)));
    hooked().push_back(Hooked{control, previous, &entry});
}

} // namespace quietwatch::win32
