; Installer of the wallpaper changer. Built by installer/CMakeLists.txt:
;   makensis -INPUTCHARSET UTF8 -DEXE_DIR=<bin> -DSOURCE_DIR=<repo> -DOUTFILE=<setup.exe> OrvaneWallPaper.nsi
; Options of the uninstaller, for administrators: /S (silent, keeps the
; user's settings, as the default answer does) and /PURGE (also removes them).
!include "common.nsh"
!include "FileFunc.nsh"

!define APP_NAME "Orvane Wallpaper Changer"
!define APP_EXE "OrvaneWallPaper.exe"
!define APP_VERSION "1.3"
!define APP_KEY "OrvaneWallPaper"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define SETTINGS_KEY "Software\Orvane"

Name "${APP_NAME}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Orvane"
InstallDirRegKey HKLM "${UNINSTALL_ROOT}\${APP_KEY}" "InstallLocation"
BrandingText "${APP_NAME} ${APP_VERSION}"
; The language file's "de $(^Name)" does not elide before a vowel.
Caption "Installation d'${APP_NAME}"
UninstallCaption "Désinstallation d'${APP_NAME}"

VIProductVersion "1.3.0.0"
VIAddVersionKey /LANG=1036 "ProductName" "${APP_NAME}"
VIAddVersionKey /LANG=1036 "CompanyName" "Orvane"
VIAddVersionKey /LANG=1036 "FileDescription" "Installation de ${APP_NAME}"
VIAddVersionKey /LANG=1036 "FileVersion" "${APP_VERSION}"
VIAddVersionKey /LANG=1036 "ProductVersion" "${APP_VERSION}"
VIAddVersionKey /LANG=1036 "LegalCopyright" "Orvane"

!define MUI_ICON "${SOURCE_DIR}/src/wallpaper/resources/app.ico"
!define MUI_UNICON "${SOURCE_DIR}/src/wallpaper/resources/app.ico"
!define MUI_ABORTWARNING
!define MUI_WELCOMEPAGE_TITLE "Bienvenue dans l'installation d'${APP_NAME}"
!define MUI_WELCOMEPAGE_TITLE_3LINES
!define MUI_FINISHPAGE_TITLE "Fin de l'installation d'${APP_NAME}"
!define MUI_FINISHPAGE_TITLE_3LINES
!define MUI_WELCOMEPAGE_TEXT "Cet assistant va installer ${APP_NAME} ${APP_VERSION} sur votre ordinateur.$\r$\n$\r$\nLe programme change le fond d'écran à intervalles réguliers, avec les images de votre choix, et peut y dessiner un calendrier du mois. Il se loge dans la zone de notification, à côté de l'heure.$\r$\n$\r$\nCliquez sur Suivant pour continuer."
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Lancer ${APP_NAME}"
!define MUI_FINISHPAGE_RUN_FUNCTION StartAsUser

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "French"

!insertmacro CloseRunningCopy "" TfrmMain
!insertmacro CloseRunningCopy "un." TfrmMain

Var PurgeSettings

; The installer runs elevated; started by the shell instead, the program
; runs with the user's own rights, as it will at every start of Windows.
Function StartAsUser
  Exec '"$WINDIR\explorer.exe" "$INSTDIR\${APP_EXE}"'
FunctionEnd

Function .onInit
  SetRegView 64
  ${IfNot} ${RunningX64}
    MessageBox MB_ICONSTOP "${APP_NAME} demande une version 64 bits de Windows." /SD IDOK
    Abort
  ${EndIf}
FunctionEnd

Section "${APP_NAME}" SecMain
  SectionIn RO
  Call CloseRunningCopy_TfrmMain
  ${If} $R9 == "1"
    MessageBox MB_ICONSTOP "${APP_NAME} est en cours d'exécution et ne s'est pas fermé. Quittez-le (menu de son icône à côté de l'heure, « Quitter ») puis relancez l'installation." /SD IDOK
    Abort
  ${EndIf}

  SetOutPath "$INSTDIR"
  File "${EXE_DIR}/${APP_EXE}"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  ; The Start-menu entry shows the main window: the program otherwise starts
  ; hidden in the notification area, and a user who clicks an entry expects
  ; to see something.
  SetShellVarContext all
  CreateShortcut "$SMPROGRAMS\${APP_NAME}.lnk" "$INSTDIR\${APP_EXE}" "/config" "$INSTDIR\${APP_EXE}" 0 \
    SW_SHOWNORMAL "" "Change le fond d'écran à intervalles réguliers"

  WriteRegStr HKLM "${UNINSTALL_ROOT}\${APP_KEY}" "DisplayName" "${APP_NAME}"
  WriteRegStr HKLM "${UNINSTALL_ROOT}\${APP_KEY}" "DisplayVersion" "${APP_VERSION}"
  WriteRegStr HKLM "${UNINSTALL_ROOT}\${APP_KEY}" "DisplayIcon" "$\"$INSTDIR\${APP_EXE}$\",0"
  WriteRegStr HKLM "${UNINSTALL_ROOT}\${APP_KEY}" "Publisher" "Orvane"
  WriteRegStr HKLM "${UNINSTALL_ROOT}\${APP_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_ROOT}\${APP_KEY}" "UninstallString" "$\"$INSTDIR\Uninstall.exe$\""
  WriteRegStr HKLM "${UNINSTALL_ROOT}\${APP_KEY}" "QuietUninstallString" "$\"$INSTDIR\Uninstall.exe$\" /S"
  WriteRegDWORD HKLM "${UNINSTALL_ROOT}\${APP_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_ROOT}\${APP_KEY}" "NoRepair" 1
  ; The list file lives beside the program by default, but a program folder
  ; under Program Files is not writable by its user (and asInvoker turns off
  ; the file virtualisation that would hide it): the installing user's list
  ; goes to the roaming application data instead, unless it already has one.
  SetShellVarContext current
  ReadRegStr $0 HKCU "${SETTINGS_KEY}\Config" "FileName"
  ${If} $0 == ""
    CreateDirectory "$APPDATA\Orvane"
    WriteRegStr HKCU "${SETTINGS_KEY}\Config" "FileName" "$APPDATA\Orvane\piclist.cfg"
  ${EndIf}

  SectionGetSize ${SecMain} $0
  WriteRegDWORD HKLM "${UNINSTALL_ROOT}\${APP_KEY}" "EstimatedSize" $0
SectionEnd

Function un.onInit
  SetRegView 64
  StrCpy $PurgeSettings "0"
  ${GetOptions} $CMDLINE "/PURGE" $0
  ${IfNot} ${Errors}
    StrCpy $PurgeSettings "1"
  ${EndIf}
FunctionEnd

Section "Uninstall"
  Call un.CloseRunningCopy_TfrmMain
  ${If} $R9 == "1"
    MessageBox MB_ICONSTOP "${APP_NAME} est en cours d'exécution et ne s'est pas fermé. Quittez-le (menu de son icône à côté de l'heure, « Quitter ») puis relancez la désinstallation." /SD IDOK
    Abort
  ${EndIf}

  ; After the close, which may have written it again: the program would
  ; otherwise be looked for at every start of Windows.
  SetShellVarContext current
  DeleteRegValue HKCU "${RUN_KEY}" "${APP_NAME}"

  ${If} $PurgeSettings != "1"
    MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 "Supprimer aussi vos réglages (intervalle, calendrier, options) et votre liste d'images ?$\r$\n$\r$\nLes images elles-mêmes ne sont jamais supprimées." /SD IDNO IDNO keep_settings
    StrCpy $PurgeSettings "1"
  keep_settings:
  ${EndIf}
  ${If} $PurgeSettings == "1"
    ; The list may have been moved anywhere by the user: only the file the
    ; settings name, and the default one beside the program, are removed.
    ReadRegStr $0 HKCU "${SETTINGS_KEY}\Config" "FileName"
    ${If} $0 != ""
      Delete "$0"
    ${EndIf}
    Delete "$INSTDIR\piclist.cfg"
    RMDir "$APPDATA\Orvane"
    DeleteRegKey HKCU "${SETTINGS_KEY}\Config"
    DeleteRegKey /ifempty HKCU "${SETTINGS_KEY}"
    ; The composed wallpaper, wherever the program could write it, and
    ; beside it the other monitors' ones.
    Delete "$WINDIR\OrvaneWallPaper.bmp"
    Delete "$WINDIR\OrvaneWallPaper-*.bmp"
    Delete "$LOCALAPPDATA\Orvane\OrvaneWallPaper.bmp"
    Delete "$LOCALAPPDATA\Orvane\OrvaneWallPaper-*.bmp"
    RMDir "$LOCALAPPDATA\Orvane"
  ${EndIf}

  Delete "$INSTDIR\${APP_EXE}"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"

  SetShellVarContext all
  Delete "$SMPROGRAMS\${APP_NAME}.lnk"
  DeleteRegKey HKLM "${UNINSTALL_ROOT}\${APP_KEY}"
SectionEnd
