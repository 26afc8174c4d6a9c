; Shared by both installers: a 64-bit, Unicode, French installer that closes
; a running copy of the program before it replaces or removes its files.
Unicode true
Target amd64-unicode
ManifestDPIAware true
ManifestSupportedOS all
SetCompressor /SOLID lzma
RequestExecutionLevel admin
XPStyle on

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "x64.nsh"

!define UNINSTALL_ROOT "Software\Microsoft\Windows\CurrentVersion\Uninstall"

; Closes the program's window the way a user would (WM_CLOSE, so that the
; program saves what it must) and waits for its process to end, since its
; file stays locked until then. Leaves $R9 at "1" when a copy was running and
; is still there after the wait.
!macro CloseRunningCopy UN WINDOW_CLASS
Function ${UN}CloseRunningCopy_${WINDOW_CLASS}
  Push $0
  Push $1
  Push $2
  StrCpy $R9 "0"
  System::Call 'user32::FindWindowW(w "${WINDOW_CLASS}", p 0) p .r0'
  ${If} $0 P<> 0
    StrCpy $1 0
    System::Call 'user32::GetWindowThreadProcessId(p r0, *i .r1) i'
    System::Call 'kernel32::OpenProcess(i 0x00100000, i 0, i r1) p .r2'
    SendMessage $0 ${WM_CLOSE} 0 0 /TIMEOUT=5000
    ${If} $2 P<> 0
      System::Call 'kernel32::WaitForSingleObject(p r2, i 10000) i .r1'
      System::Call 'kernel32::CloseHandle(p r2)'
      ${If} $1 <> 0
        StrCpy $R9 "1"
      ${EndIf}
    ${Else}
      Sleep 2000
    ${EndIf}
  ${EndIf}
  Pop $2
  Pop $1
  Pop $0
FunctionEnd
!macroend
