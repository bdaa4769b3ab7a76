#pragma once

// The About window on Win32, built from its table in the core. There is at most one.

#include "winui.h"

namespace quietwatch {

class frmAbout final : public win32::Window
{
public:
    // The Version command: creates the window if need be, puts it against the scheduler
    // window's right edge and shows it without blocking.
    static void showBeside(HWND scheduler);
    static void closeIfOpen();
    ~frmAbout() override;

protected:
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void destroyed() override;

private:
    frmAbout() = default;
    bool open();
    SIZE layout(int dpi) override;
    void paintLines(HDC dc);
    void paintPicture(const DRAWITEMSTRUCT &item) const;

    const win32::Controls *designedControls() const override { return &m_controls; }
    win32::Controls m_controls;
    HBITMAP m_picture = nullptr;
};

} // namespace quietwatch
