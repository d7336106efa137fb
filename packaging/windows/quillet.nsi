; The Windows setup: per user, without administrator rights, into the user's own
; programs folder, which stays writable for the settings, schedule, log and history the
; programs keep next to themselves.
; makensis -DVERSION=1.2.3 -DBIN=<folder of the .exe files> -DHELP=<Quillet.hlp>
;          -DOUTFILE=<setup.exe> [-DWITH_ADMIN] quillet.nsi
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestDPIAware true

!define PRODUCT "Quillet"
!define PUBLISHER "Orvane Software"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillet"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Quillet"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (C) 2026 ${PUBLISHER}"

!include "MUI2.nsh"
!include "FileFunc.nsh"

!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_NOAUTOCLOSE
!ifdef WITH_ADMIN
  !define MUI_FINISHPAGE_RUN "$INSTDIR\QuilletAdmin.exe"
  !define MUI_FINISHPAGE_RUN_TEXT "Start the Quillet Administrator"
!endif
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!define MUI_UNCONFIRMPAGE_TEXT_TOP "The programs are removed. Your configuration files, settings (Quillet.ini), schedule (schedfile.dat), log (error.log) and history (compact-history.csv) stay where they are."
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

Section "Quillet" SecMain
  SectionIn RO
  SetOutPath "$INSTDIR"
  File "${BIN}/Quillet.exe"
  File "${BIN}/QuilletSched.exe"
!ifdef WITH_ADMIN
  File "${BIN}/QuilletAdmin.exe"
!endif
  File "${HELP}"
  ; The help is HTML: the Start menu opens a copy with an extension the browser takes.
  File "/oname=Quillet Help.html" "${HELP}"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  CreateDirectory "$SMPROGRAMS\Quillet"
!ifdef WITH_ADMIN
  CreateShortcut "$SMPROGRAMS\Quillet\Quillet Administrator.lnk" "$INSTDIR\QuilletAdmin.exe" "" "$INSTDIR\QuilletAdmin.exe" 0
!endif
  CreateShortcut "$SMPROGRAMS\Quillet\Quillet Help.lnk" "$INSTDIR\Quillet Help.html"
  CreateShortcut "$SMPROGRAMS\Quillet\Uninstall Quillet.lnk" "$INSTDIR\Uninstall.exe"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "URLInfoAbout" "https://www.orvane-software.com/quillet/"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
!ifdef WITH_ADMIN
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\QuilletAdmin.exe,0"
!else
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Uninstall.exe,0"
!endif
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

; Only what the setup put there goes: every file the user or the programs made in the
; folder (configurations, Quillet.ini, schedfile.dat, error.log, the history and the
; compactor's state) stays, and with it the folder.
Section "Uninstall"
  ; The background check would otherwise start a program that is gone every hour.
  IfFileExists "$INSTDIR\QuilletSched.exe" 0 +2
    ExecWait '"$INSTDIR\QuilletSched.exe" --uninstall'
  Delete "$INSTDIR\Quillet.exe"
  Delete "$INSTDIR\QuilletSched.exe"
  Delete "$INSTDIR\QuilletAdmin.exe"
  Delete "$INSTDIR\Quillet.hlp"
  Delete "$INSTDIR\Quillet Help.html"
  Delete "$INSTDIR\Uninstall.exe"
  Delete "$SMPROGRAMS\Quillet\Quillet Administrator.lnk"
  Delete "$SMPROGRAMS\Quillet\Quillet Help.lnk"
  Delete "$SMPROGRAMS\Quillet\Uninstall Quillet.lnk"
  RMDir "$SMPROGRAMS\Quillet"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  RMDir "$INSTDIR"
SectionEnd
