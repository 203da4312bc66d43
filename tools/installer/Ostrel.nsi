; The toolkit's installer "Ostrel Install.exe": per user, no questions, an
; uninstaller registered under the user's uninstall keys, silent with /S.
; Built by CMake (target ostrel_installer), which passes:
;   VERSION      the programs' four-part version
;   OUTFILE      the (unsigned) installer to write
;   FILES_NSH    File lines for the shipped programs and libraries
;   UNFILES_NSH  the matching Delete lines
;   UNINST_SIGN  optional command that signs the uninstaller in place ("%1")
Unicode true
; Debian's makensis builds 32-bit installers by default, which do nothing
; under a 64-bit-only Wine.
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
; A locked file (a running Ostrel.exe) is an error, never silently skipped.
AllowSkipFiles off

!define PRODUCT "Ostrel"
!define PUBLISHER "VARNIK-Imaging"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Ostrel"

Name "${PRODUCT}"
Caption "${PRODUCT} ${VERSION} Setup"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
ShowInstDetails show
AutoCloseWindow true
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}"
VIFileVersion "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "VARNIK-Imaging field support"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} installer"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "OriginalFilename" "Ostrel Install.exe"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${PUBLISHER}"

!ifdef UNINST_SIGN
!uninstfinalize '${UNINST_SIGN}'
!endif

Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "Install"
    SetShellVarContext current
    SetOutPath "$INSTDIR"
    SetOverwrite on
    !include "${FILES_NSH}"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\Ostrel.exe"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Ostrel.exe"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
    SetShellVarContext current
    !include "${UNFILES_NSH}"
    Delete "$SMPROGRAMS\${PRODUCT}.lnk"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
