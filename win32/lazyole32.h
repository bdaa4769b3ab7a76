#pragma once

// Functions of ole32, found when first asked for. The program loads ole32 only when it needs
// COM (the About picture's decoder, a screen reader's request): linked to it, ole32 and the two
// DLLs it needs would load at every start, a good part of Wine's start-up work.

#include <windows.h>

namespace quietwatch::win32 {

inline FARPROC ole32Function(const char *name)
{
    static const HMODULE module = LoadLibraryExW(L"ole32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    return module != nullptr ? GetProcAddress(module, name) : nullptr;
}

template <typename Function> Function *ole32(const char *name)
{
    return reinterpret_cast<Function *>(reinterpret_cast<void (*)()>(ole32Function(name)));
}

} // namespace quietwatch::win32
