; Put before CPack's .onInit, which calls it first (cmake/packaging.cmake): the programs import
; GetDpiForWindow, GetDpiForSystem, AdjustWindowRectExForDpi and GetSystemMetricsForDpi, so they
; start on Windows 10 version 1607 (build 14393) and later only. On an older Windows nothing is
; installed, not even an old version uninstalled. The message follows the installer's language,
; which follows the system's.
!include "LogicLib.nsh"
!include "WinVer.nsh"

LangString QuietwatchOldWindows ${LANG_ENGLISH} "Quietwatch needs Windows 10 version 1607 or later. It has not been installed."
LangString QuietwatchOldWindows ${LANG_JAPANESE} "Quietwatch には Windows 10 バージョン 1607 以降が必要です。インストールは行われませんでした。"

Function QuietwatchRefuseOldWindows
  ${IfNot} ${AtLeastWin10}
  ${OrIfNot} ${AtLeastBuild} 14393
    MessageBox MB_OK|MB_ICONSTOP "$(QuietwatchOldWindows)" /SD IDOK
    SetErrorLevel 1
    Quit
  ${EndIf}
FunctionEnd
