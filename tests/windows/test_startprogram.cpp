// The programs as installed, started as a user starts them: each shows its window under the
// title it is designed with, and ends with exit code 0 when that window is closed. The folder
// comes from QUIETWATCH_INSTALLED (tests/windows/installer.cmake sets it).

#include "windowdesign.h"
#include "wintext.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <windows.h>

namespace quietwatch {
namespace {

struct Found
{
    DWORD process;
    HWND window;
};

BOOL CALLBACK findShown(HWND hwnd, LPARAM lParam)
{
    auto *found = reinterpret_cast<Found *>(lParam);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    if (owner == found->process && IsWindowVisible(hwnd) && GetWindow(hwnd, GW_OWNER) == nullptr) {
        found->window = hwnd;
        return FALSE;
    }
    return TRUE;
}

using StartProgram = ::testing::TestWithParam<std::tuple<const char *, const design::Window *>>;

TEST_P(StartProgram, ShowsItsWindowAndEndsWhenClosed)
{
    const char *folder = std::getenv("QUIETWATCH_INSTALLED");
    ASSERT_NE(folder, nullptr) << "QUIETWATCH_INSTALLED names no folder";
    const auto &[file, design] = GetParam();
    std::wstring command = L"\"" + win32::wide(std::string(folder) + "\\" + file) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started{};
    ASSERT_TRUE(
        CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started))
        << file << " did not start: " << GetLastError();
    Found found{started.dwProcessId, nullptr};
    for (int tries = 0; tries < 200 && found.window == nullptr; ++tries) {
        Sleep(100);
        EnumWindows(findShown, reinterpret_cast<LPARAM>(&found));
    }
    EXPECT_NE(found.window, nullptr) << file << " showed no window within 20 s";
    if (found.window != nullptr) {
        EXPECT_EQ(win32::windowText(found.window), design->title) << file;
        PostMessageW(found.window, WM_CLOSE, 0, 0);
    }
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(started.hProcess, 10000) == WAIT_OBJECT_0) {
        GetExitCodeProcess(started.hProcess, &code);
    } else {
        TerminateProcess(started.hProcess, 1);
    }
    EXPECT_EQ(code, 0U) << file << " did not end with 0 after its window was closed";
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
}

INSTANTIATE_TEST_SUITE_P(Installed, StartProgram,
                         ::testing::Values(std::tuple{"Quietwatch.exe", &design::kForm1},
                                           std::tuple{"quietwatch-timequery.exe", &design::kForm2}));

} // namespace
} // namespace quietwatch
