#include "accessiblenames.h"

#include "wintext.h"

#include <commctrl.h>
#include <oleacc.h>

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
        if (SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) &&
            FAILED(CoCreateInstance(kServiceClass, nullptr, CLSCTX_INPROC_SERVER, kServiceInterface,
                                    reinterpret_cast<void **>(&created)))) {
            created = nullptr;
        }
        return created;
    }();
    return shared;
}

// The reference data is the table entry while the name waits for a client, 0 once it is
// given: the service then holds it for the control until it is cleared.
LRESULT CALLBACK annotated(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR entry)
{
    if (message == WM_GETOBJECT && entry != 0) {
        // Before the message is answered: the client reads the annotation after it.
        IAccPropServices *annotations = service();
        const auto &control = *reinterpret_cast<const design::Control *>(entry);
        if (annotations != nullptr &&
            SUCCEEDED(annotations->SetHwndPropStr(hwnd, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, kName,
                                                  wide(control.accessibleName).c_str()))) {
            SetWindowSubclass(hwnd, &annotated, 0, 0);
        } else {
            RemoveWindowSubclass(hwnd, &annotated, 0);
        }
    } else if (message == WM_NCDESTROY) {
        if (entry == 0) {
            service()->ClearHwndProps(hwnd, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, &kName, 1);
        }
        RemoveWindowSubclass(hwnd, &annotated, 0);
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

} // namespace

void nameOnRequest(HWND control, const design::Control &entry)
{
    SetWindowSubclass(control, &annotated, 0, reinterpret_cast<DWORD_PTR>(&entry));
}

} // namespace quietwatch::win32
