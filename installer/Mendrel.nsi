; Installer of the shell repair utility. Built by installer/CMakeLists.txt:
;   makensis -INPUTCHARSET UTF8 -DEXE_DIR=<bin> -DSOURCE_DIR=<repo> -DOUTFILE=<setup.exe> Mendrel.nsi
!include "common.nsh"

!define APP_NAME "Mendrel Explorer"
!define APP_EXE "Mendrel.exe"
!define APP_VERSION "1.00"
!define APP_KEY "MendrelExplorer"
!define HELP_PAGE "A Propos.htm"

Name "${APP_NAME}"
OutFile "${OUTFILE}"
; Fixed: the program's "Aide" button opens the help page at this very path,
; so the folder is not offered for a change.
InstallDir "$PROGRAMFILES64\Mendrel Explorer"
BrandingText "${APP_NAME} ${APP_VERSION}"

VIProductVersion "1.0.0.0"
VIAddVersionKey /LANG=1036 "ProductName" "${APP_NAME}"
VIAddVersionKey /LANG=1036 "FileDescription" "Installation de ${APP_NAME}"
VIAddVersionKey /LANG=1036 "FileVersion" "${APP_VERSION}"
VIAddVersionKey /LANG=1036 "ProductVersion" "${APP_VERSION}"
VIAddVersionKey /LANG=1036 "LegalCopyright" "Mendrel"
VIAddVersionKey /LANG=1036 "Comments" "Remédie aux désagréments causés par le plantage de Explorer.exe"

!define MUI_ICON "${SOURCE_DIR}/src/explorer_fix/resources/mendrel.ico"
!define MUI_UNICON "${SOURCE_DIR}/src/explorer_fix/resources/mendrel.ico"
!define MUI_ABORTWARNING
!define MUI_WELCOMEPAGE_TITLE_3LINES
!define MUI_FINISHPAGE_TITLE_3LINES
!define MUI_WELCOMEPAGE_TEXT "Cet assistant va installer ${APP_NAME} ${APP_VERSION} dans le dossier $\"$PROGRAMFILES64\Mendrel Explorer$\".$\r$\n$\r$\n${APP_NAME} remédie aux désagréments causés par le plantage de Explorer.exe : il fait revenir les icônes disparues à côté de l'heure et peut séparer le bureau des fenêtres de dossier.$\r$\n$\r$\nCliquez sur Suivant pour continuer."
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\${HELP_PAGE}"
!define MUI_FINISHPAGE_SHOWREADME_TEXT "Lire l'aide"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "French"

!insertmacro CloseRunningCopy "" MendrelAppli
!insertmacro CloseRunningCopy "un." MendrelAppli

Function .onInit
  SetRegView 64
  ${IfNot} ${RunningX64}
    MessageBox MB_ICONSTOP "${APP_NAME} demande une version 64 bits de Windows." /SD IDOK
    Abort
  ${EndIf}
FunctionEnd

Section "${APP_NAME}" SecMain
  SectionIn RO
  Call CloseRunningCopy_MendrelAppli
  ${If} $R9 == "1"
    MessageBox MB_ICONSTOP "${APP_NAME} est en cours d'exécution et ne s'est pas fermé. Fermez sa fenêtre puis relancez l'installation." /SD IDOK
    Abort
  ${EndIf}

  SetOutPath "$INSTDIR"
  File "${EXE_DIR}/${APP_EXE}"
  File "${SOURCE_DIR}/installer/${HELP_PAGE}"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  SetShellVarContext all
  CreateShortcut "$SMPROGRAMS\${APP_NAME}.lnk" "$INSTDIR\${APP_EXE}" "" "$INSTDIR\${APP_EXE}" 0 \
    SW_SHOWNORMAL "" "Remédie aux désagréments causés par le plantage de Explorer.exe"

  WriteRegStr HKLM "${UNINSTALL_ROOT}\${APP_KEY}" "DisplayName" "${APP_NAME}"
  WriteRegStr HKLM "${UNINSTALL_ROOT}\${APP_KEY}" "DisplayVersion" "${APP_VERSION}"
  WriteRegStr HKLM "${UNINSTALL_ROOT}\${APP_KEY}" "DisplayIcon" "$\"$INSTDIR\${APP_EXE}$\",0"
  WriteRegStr HKLM "${UNINSTALL_ROOT}\${APP_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_ROOT}\${APP_KEY}" "HelpLink" "$INSTDIR\${HELP_PAGE}"
  WriteRegStr HKLM "${UNINSTALL_ROOT}\${APP_KEY}" "UninstallString" "$\"$INSTDIR\Uninstall.exe$\""
  WriteRegStr HKLM "${UNINSTALL_ROOT}\${APP_KEY}" "QuietUninstallString" "$\"$INSTDIR\Uninstall.exe$\" /S"
  WriteRegDWORD HKLM "${UNINSTALL_ROOT}\${APP_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_ROOT}\${APP_KEY}" "NoRepair" 1
  SectionGetSize ${SecMain} $0
  WriteRegDWORD HKLM "${UNINSTALL_ROOT}\${APP_KEY}" "EstimatedSize" $0
SectionEnd

Function un.onInit
  SetRegView 64
FunctionEnd

; The two shell options that "Optimiser" may have set are Windows' own and
; stay as the user left them: "Par défaut" is the way back.
Section "Uninstall"
  Call un.CloseRunningCopy_MendrelAppli
  ${If} $R9 == "1"
    MessageBox MB_ICONSTOP "${APP_NAME} est en cours d'exécution et ne s'est pas fermé. Fermez sa fenêtre puis relancez la désinstallation." /SD IDOK
    Abort
  ${EndIf}

  Delete "$INSTDIR\${APP_EXE}"
  Delete "$INSTDIR\${HELP_PAGE}"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"

  SetShellVarContext all
  Delete "$SMPROGRAMS\${APP_NAME}.lnk"
  DeleteRegKey HKLM "${UNINSTALL_ROOT}\${APP_KEY}"
SectionEnd
