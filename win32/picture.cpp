#include "picture.h"

#include "lazyole32.h"

#include <initializer_list>
#include <wincodec.h>

namespace quietwatch::win32 {

HICON programIcon()
{
    // Shared: loaded once, whatever the number of windows, and never destroyed by the program
    // (the window class keeps it for the program's life).
    return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), L"IDI_ICON1", IMAGE_ICON, 32, 32, LR_SHARED));
}

HBITMAP loadPicture(const wchar_t *resource, SIZE size)
{
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(module, resource, reinterpret_cast<LPCWSTR>(RT_RCDATA));
    HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
    const void *bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (bytes == nullptr || size.cx <= 0 || size.cy <= 0) {
        return nullptr;
    }
    const auto coInitializeEx = ole32<decltype(CoInitializeEx)>("CoInitializeEx");
    const auto coCreateInstance = ole32<decltype(CoCreateInstance)>("CoCreateInstance");
    const auto coUninitialize = ole32<decltype(CoUninitialize)>("CoUninitialize");
    if (coInitializeEx == nullptr || coCreateInstance == nullptr || coUninitialize == nullptr) {
        return nullptr;
    }
    const bool comStarted = SUCCEEDED(coInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    HBITMAP bitmap = nullptr;
    IWICImagingFactory *factory = nullptr;
    IWICStream *stream = nullptr;
    IWICBitmapDecoder *decoder = nullptr;
    IWICBitmapFrameDecode *frame = nullptr;
    IWICBitmapScaler *scaler = nullptr;
    IWICFormatConverter *converter = nullptr;
    if (SUCCEEDED(coCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                   reinterpret_cast<void **>(&factory))) &&
        SUCCEEDED(factory->CreateStream(&stream)) &&
        SUCCEEDED(stream->InitializeFromMemory(static_cast<BYTE *>(const_cast<void *>(bytes)),
                                               SizeofResource(module, found))) &&
        SUCCEEDED(factory->CreateDecoderFromStream(stream, nullptr, WICDecodeMetadataCacheOnLoad, &decoder)) &&
        SUCCEEDED(decoder->GetFrame(0, &frame)) && SUCCEEDED(factory->CreateBitmapScaler(&scaler)) &&
        SUCCEEDED(scaler->Initialize(frame, static_cast<UINT>(size.cx), static_cast<UINT>(size.cy),
                                     WICBitmapInterpolationModeFant)) &&
        SUCCEEDED(factory->CreateFormatConverter(&converter)) &&
        SUCCEEDED(converter->Initialize(scaler, GUID_WICPixelFormat32bppBGR, WICBitmapDitherTypeNone, nullptr, 0,
                                        WICBitmapPaletteTypeCustom))) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = size.cx;
        info.bmiHeader.biHeight = -size.cy; // top-down
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void *pixels = nullptr;
        bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
        const UINT stride = static_cast<UINT>(size.cx) * 4;
        if (bitmap != nullptr && FAILED(converter->CopyPixels(nullptr, stride, stride * static_cast<UINT>(size.cy),
                                                              static_cast<BYTE *>(pixels)))) {
            DeleteObject(bitmap);
            bitmap = nullptr;
        }
    }
    for (IUnknown *object : std::initializer_list<IUnknown *>{converter, scaler, frame, decoder, stream, factory}) {
        if (object != nullptr) {
            object->Release();
        }
    }
    if (comStarted) {
        coUninitialize();
    }
    return bitmap;
}

} // namespace quietwatch::win32
