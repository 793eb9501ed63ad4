; The Windows installer: Program Files, a Start-menu shortcut, an optional Startup shortcut so
; that the tray program starts with Windows, and an uninstaller.
; makensis -DBUILD_DIR=<cross build folder> -DOUTFILE=<installer path> verada-rede.nsi
;
; Silent use: verada-rede-setup.exe /S [/STARTUP] [/D=folder]; uninstall.exe /S.
; A running copy is asked to close first (as its close box would ask it, so it still asks about
; received data that has not been saved); when it stays, the installer asks the user to close it
; (Retry/Cancel) or, when silent, ends with exit code 2 and changes nothing. An upgrade that closed
; the program starts it again. Exit codes: 0 done, 1 cancelled, 2 the program would not close.
Unicode true
!include "MUI2.nsh"
!include "x64.nsh"
!include "FileFunc.nsh"
!include "LogicLib.nsh"

!ifndef BUILD_DIR
  !error "BUILD_DIR must name the Windows build folder"
!endif
!ifndef OUTFILE
  !define OUTFILE "verada-rede-setup.exe"
!endif

!define APP_NAME "Verada Rede"
!include "${BUILD_DIR}/version.nsh"  ; APP_VERSION, the project's version
!define COMPANY "Zorvik Technologies"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\VeradaRede"
; The program's main window, by which a running copy is found and asked to close.
!define MAIN_WINDOW_CLASS "VeradaRede.Window"
!define MAIN_WINDOW_TITLE "Zorvik Technologies Verada Rede"

Name "${APP_NAME} ${APP_VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${APP_NAME}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin
SetCompressor /SOLID lzma

VIProductVersion "${APP_VERSION}.0"
VIAddVersionKey "ProductName" "${APP_NAME}"
VIAddVersionKey "CompanyName" "${COMPANY}"
VIAddVersionKey "FileDescription" "${APP_NAME} installer"
VIAddVersionKey "FileVersion" "${APP_VERSION}"
VIAddVersionKey "ProductVersion" "${APP_VERSION}"
VIAddVersionKey "LegalCopyright" "${COMPANY}"

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\verada-rede.exe"
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Var WasRunning

; Asks every running copy of the program to close, as its close box would, and waits for it to
; end. Leaves $0 at 1 when none runs any more, 0 when one stayed (its user kept unsaved data, or
; it hangs). $1: how long to wait, in tenths of a second.
!macro CLOSE_PROGRAM_FUNCTION un
Function ${un}CloseProgram
  StrCpy $0 1
  StrCpy $2 0
  FindWindow $3 "${MAIN_WINDOW_CLASS}" "${MAIN_WINDOW_TITLE}"
  ${If} $3 == 0
    Return
  ${EndIf}
  StrCpy $WasRunning 1
  System::Call "user32::PostMessage(p r3, i 0x10, p 0, p 0)"  ; WM_CLOSE
  ${Do}
    Sleep 100
    IntOp $2 $2 + 1
    FindWindow $3 "${MAIN_WINDOW_CLASS}" "${MAIN_WINDOW_TITLE}"
    ${If} $3 == 0
      ; The window is gone; the process ends a moment later and frees its program file.
      ${Do}
        ClearErrors
        FileOpen $4 "$INSTDIR\verada-rede.exe" a
        ${IfNot} ${Errors}
          FileClose $4
          ${Break}
        ${EndIf}
        ${IfNot} ${FileExists} "$INSTDIR\verada-rede.exe"
          ${Break}
        ${EndIf}
        Sleep 100
        IntOp $2 $2 + 1
      ${LoopUntil} $2 >= $1
      Return
    ${EndIf}
  ${LoopUntil} $2 >= $1
  StrCpy $0 0
FunctionEnd

; Closes the program or stops here: Retry/Cancel for the user, exit code 2 when silent.
Function ${un}EnsureProgramClosed
  ${Do}
    StrCpy $1 100
    Call ${un}CloseProgram
    ${If} $0 == 1
      Return
    ${EndIf}
    ${If} ${Silent}
      SetErrorLevel 2
      Quit
    ${EndIf}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "${APP_NAME} is still running. Save or discard its received data, exit it from its tray menu, then choose Retry." IDRETRY retry
    SetErrorLevel 1
    Quit
    retry:
  ${Loop}
FunctionEnd
!macroend
!insertmacro CLOSE_PROGRAM_FUNCTION ""
!insertmacro CLOSE_PROGRAM_FUNCTION "un."

Section "${APP_NAME}" SecProgram
  SectionIn RO
  Call EnsureProgramClosed
  SetOutPath "$INSTDIR"
  File "${BUILD_DIR}\app\win32\verada-rede.exe"
  !if /FileExists "${BUILD_DIR}\app\verada-rede-cli.exe"
    File "${BUILD_DIR}\app\verada-rede-cli.exe"
  !endif
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortCut "$SMPROGRAMS\${APP_NAME}.lnk" "$INSTDIR\verada-rede.exe"
  ; The Startup section makes it again when it is chosen.
  Delete "$SMSTARTUP\${APP_NAME}.lnk"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${APP_NAME}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${APP_VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${COMPANY}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\verada-rede.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section /o "Start with Windows" SecStartup
  CreateShortCut "$SMSTARTUP\${APP_NAME}.lnk" "$INSTDIR\verada-rede.exe"
SectionEnd

; An upgrade that had to close the program starts it again.
Section "-Restart"
  ${If} $WasRunning == 1
    Exec '"$INSTDIR\verada-rede.exe"'
  ${EndIf}
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecProgram} "The tray program."
  !insertmacro MUI_DESCRIPTION_TEXT ${SecStartup} "Start ${APP_NAME} in the notification area when Windows starts."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_ICONSTOP "${APP_NAME} needs a 64-bit edition of Windows."
    Abort
  ${EndIf}
  ; A 64-bit program: its uninstall entry belongs in the 64-bit registry.
  SetRegView 64
  SetShellVarContext all
  StrCpy $WasRunning 0
  ; Start with Windows when asked for (/STARTUP), or when the installed copy already does.
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/STARTUP" $R1
  ${IfNot} ${Errors}
    SectionSetFlags ${SecStartup} ${SF_SELECTED}
  ${EndIf}
  ${If} ${FileExists} "$SMSTARTUP\${APP_NAME}.lnk"
    SectionSetFlags ${SecStartup} ${SF_SELECTED}
  ${EndIf}
FunctionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Section "Uninstall"
  Call un.EnsureProgramClosed
  Delete "$SMSTARTUP\${APP_NAME}.lnk"
  Delete "$SMPROGRAMS\${APP_NAME}.lnk"
  Delete "$INSTDIR\verada-rede.exe"
  Delete "$INSTDIR\verada-rede-cli.exe"
  Delete "$INSTDIR\uninstall.exe"
  ; Only when empty: a file the user keeps there (a saved CSV file) stays, with its folder.
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
