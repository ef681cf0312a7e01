; Per-user installer for Pellinport: no elevation, nothing outside the user's
; own profile. makensis -INPUTCHARSET UTF8 -DSOURCE_DIR=... -DOUT_FILE=...
Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel user

!define PRODUCT "Pellinport"
!define VERSION "1.1.018"
!define PUBLISHER "Quillfern"
!define DESCRIPTION "Envoyez les données récoltées en jeu sur Quillfern."
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUT_FILE}"
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
; A per-user install: shortcuts go to the user's own Start menu.
!macro ForCurrentUser
    SetShellVarContext current
!macroend

VIProductVersion "1.1.18.0"
VIAddVersionKey /LANG=1036 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1036 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1036 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1036 "FileDescription" "Installation de ${PRODUCT}"
VIAddVersionKey /LANG=1036 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1036 "LegalCopyright" "Les développeurs de Pellinport (licence MIT)"

!include "MUI2.nsh"
!define MUI_ICON "${SOURCE_DIR}\resources\pellinport.ico"
!define MUI_UNICON "${SOURCE_DIR}\resources\pellinport.ico"
!define MUI_FINISHPAGE_RUN "$INSTDIR\Pellinport.exe"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "French"

Function .onInit
    !insertmacro ForCurrentUser
FunctionEnd

Function un.onInit
    !insertmacro ForCurrentUser
FunctionEnd

Section "Pellinport"
    SetOutPath "$INSTDIR"
    File "${STAGE_DIR}\Pellinport.exe"
    File "${STAGE_DIR}\LISEZMOI.txt"
    File "${STAGE_DIR}\LICENSE.txt"
    WriteUninstaller "$INSTDIR\Desinstaller.exe"

    CreateShortCut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\Pellinport.exe" "" \
        "$INSTDIR\Pellinport.exe" 0 SW_SHOWNORMAL "" "${DESCRIPTION}"

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Pellinport.exe,0"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Desinstaller.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Desinstaller.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" ${ESTIMATED_KB}
SectionEnd

; Only what the installer put there: the player's settings
; (HKCU\SOFTWARE\Quillfern), the game folder and any shortcut made from the
; program's options stay.
Section "Uninstall"
    Delete "$SMPROGRAMS\${PRODUCT}.lnk"
    Delete "$INSTDIR\Pellinport.exe"
    Delete "$INSTDIR\LISEZMOI.txt"
    Delete "$INSTDIR\LICENSE.txt"
    Delete "$INSTDIR\Desinstaller.exe"
    ; Left in place when the player has put files of their own there.
    RMDir "$INSTDIR"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
