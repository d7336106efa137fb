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

; A program that runs from the folder cannot be replaced or removed: ask Retry or Cancel
; instead of the generic file error, and never go on with files that would be left.
AllowSkipFiles off

; The Quillet programs running from folder $R9, as a list in $R8 (empty: none). A
; running program's file cannot be opened for writing; opening it changes nothing.
!macro QUILLET_IF_RUNNING FILE
  !define QID ${__LINE__}
  IfFileExists "$R9\${FILE}" 0 quillet_free_${QID}
  ClearErrors
  FileOpen $R7 "$R9\${FILE}" a
  IfErrors 0 quillet_open_${QID}
    StrCpy $R8 "$R8$\r$\n    ${FILE}"
    Goto quillet_free_${QID}
  quillet_open_${QID}:
  FileClose $R7
  quillet_free_${QID}:
  !undef QID
!macroend

; Asks until the programs in $R9 are closed; $R8 is empty then, or holds them when the
; user gave up (Cancel, and always in a silent run).
!macro QUILLET_WAIT_FOR_PROGRAMS un
Function ${un}WaitForPrograms
  retry:
    StrCpy $R8 ""
    !insertmacro QUILLET_IF_RUNNING "QuilletAdmin.exe"
    !insertmacro QUILLET_IF_RUNNING "QuilletSched.exe"
    !insertmacro QUILLET_IF_RUNNING "Quillet.exe"
    !insertmacro QUILLET_IF_RUNNING "QuilletEngine.exe"
    StrCmp $R8 "" done
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "These Quillet programs are running from $R9:$R8$\r$\n$\r$\nClose them (the Administrator with File > Exit; a compaction or a background check ends by itself), then choose Retry." /SD IDCANCEL IDRETRY retry
  done:
FunctionEnd
!macroend
!insertmacro QUILLET_WAIT_FOR_PROGRAMS ""
!insertmacro QUILLET_WAIT_FOR_PROGRAMS "un."

; Whether two folders are the same (case does not matter on Windows): $R6 "1" or "0".
!macro QUILLET_SAME_FOLDER A B
  GetFullPathName $R4 "${A}"
  GetFullPathName $R5 "${B}"
  StrCpy $R6 "0"
  StrCmp $R4 $R5 0 +2
    StrCpy $R6 "1"
!macroend

!define MUI_ABORTWARNING
!define MUI_WELCOMEPAGE_TEXT "This setup installs ${PRODUCT} ${VERSION} for you alone, into a folder of your own; it needs no administrator rights and changes nothing for other users of this computer.$\r$\n$\r$\nQuillet keeps its settings, schedule, log and history next to its programs. If Quillet is installed for you in another folder already, that copy is removed first; its settings and files stay there.$\r$\n$\r$\nClick Next to continue."
!define MUI_FINISHPAGE_NOAUTOCLOSE
!ifdef WITH_ADMIN
  !define MUI_FINISHPAGE_RUN "$INSTDIR\QuilletAdmin.exe"
  !define MUI_FINISHPAGE_RUN_TEXT "Start the Quillet Administrator"
!endif
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!define MUI_UNCONFIRMPAGE_TEXT_TOP "Quillet's programs, help, Start menu entries and background check will be removed from the folder below. Your configuration files, settings (Quillet.ini), schedule (schedfile.dat), log (error.log) and history (compact-history.csv) will stay where they are."
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

Section "Quillet" SecMain
  SectionIn RO
  ; One copy per user: a copy in another folder goes first, its user files stay there.
  ReadRegStr $R3 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  StrCmp $R3 "" install_here
  !insertmacro QUILLET_SAME_FOLDER "$R3" "$INSTDIR"
  StrCmp $R6 "1" install_here
  IfFileExists "$R3\Uninstall.exe" 0 install_here
  StrCpy $R9 $R3
  Call WaitForPrograms
  StrCmp $R8 "" 0 programs_running
  DetailPrint "Removing the copy in $R3"
  ; In place (_?=), so that it is waited for; it cannot remove itself then.
  ClearErrors
  ExecWait '"$R3\Uninstall.exe" /S _?=$R3' $R2
  IfErrors old_copy_failed
  StrCmp $R2 "0" 0 old_copy_failed
  IfFileExists "$R3\Quillet.exe" old_copy_failed
  Delete "$R3\Uninstall.exe"
  RMDir "$R3"
  Goto install_here
  old_copy_failed:
    MessageBox MB_OK|MB_ICONSTOP "The copy of Quillet in $R3 could not be removed. Remove it with its uninstaller (Uninstall.exe in that folder), then run this setup again." /SD IDOK
    SetErrorLevel 2
    Abort "The copy in $R3 could not be removed."
  install_here:
  StrCpy $R9 $INSTDIR
  Call WaitForPrograms
  StrCmp $R8 "" 0 programs_running
  Goto programs_closed
  programs_running:
    SetErrorLevel 2
    Abort "Quillet programs are running from $R9; nothing was changed."
  programs_closed:
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
  StrCpy $R9 $INSTDIR
  Call un.WaitForPrograms
  StrCmp $R8 "" programs_closed
    SetErrorLevel 2
    Abort "Quillet programs are running from $INSTDIR; nothing was removed."
  programs_closed:
  ; The background check would otherwise start a program that is gone every hour.
  IfFileExists "$INSTDIR\QuilletSched.exe" 0 +2
    ExecWait '"$INSTDIR\QuilletSched.exe" --uninstall'
  ClearErrors
  Delete "$INSTDIR\Quillet.exe"
  Delete "$INSTDIR\QuilletSched.exe"
  Delete "$INSTDIR\QuilletAdmin.exe"
  Delete "$INSTDIR\Quillet.hlp"
  Delete "$INSTDIR\Quillet Help.html"
  IfErrors 0 removed
    ; The Start menu and the apps entry stay, so that this uninstaller can be run again.
    MessageBox MB_OK|MB_ICONSTOP "Some of Quillet's files in $INSTDIR could not be removed. Close every Quillet program and run the uninstaller again." /SD IDOK
    SetErrorLevel 2
    Abort "Some files in $INSTDIR could not be removed."
  removed:
  Delete "$INSTDIR\Uninstall.exe"
  ; The Start menu entries and the apps entry belong to the copy the apps entry names:
  ; an uninstaller of another copy leaves them alone.
  ReadRegStr $R3 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  StrCmp $R3 "" own_entries
  !insertmacro QUILLET_SAME_FOLDER "$R3" "$INSTDIR"
  StrCmp $R6 "1" own_entries keep_entries
  own_entries:
    Delete "$SMPROGRAMS\Quillet\Quillet Administrator.lnk"
    Delete "$SMPROGRAMS\Quillet\Quillet Help.lnk"
    Delete "$SMPROGRAMS\Quillet\Uninstall Quillet.lnk"
    RMDir "$SMPROGRAMS\Quillet"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
  keep_entries:
  RMDir "$INSTDIR"
SectionEnd
