; The Windows installer of the "Orvex GSM" configurator: the window and the
; command-line tool into Program Files, a Start-menu shortcut, and an
; uninstaller registered with Windows. /S installs and uninstalls silently.
;
;   makensis -INPUTCHARSET UTF8 -DVERSION=0.2.0 -DBINDIR=build/bin \
;            -DICON=dist/icons/orvex-gsm.ico -DOUTFILE=orvex-gsm-setup-0.2.0.exe \
;            dist/windows/orvex-gsm.nsi
;
; scripts/package-windows.sh does all of it.

!ifndef VERSION | BINDIR | ICON | OUTFILE
  !error "VERSION, BINDIR, ICON and OUTFILE must be defined (scripts/package-windows.sh)"
!endif

Unicode true
; The programs are 64-bit; so is the installer, which then sees the 64-bit
; Program Files and registry without redirection.
Target amd64-unicode
SetCompressor /SOLID lzma

!define PRODUCT "Orvex GSM"
!define SHORTCUT "$SMPROGRAMS\Настройка Orvex GSM.lnk"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\OrvexGSM"

Name "${PRODUCT}"
Caption "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
Icon "${ICON}"
UninstallIcon "${ICON}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
; Program Files and HKLM need an administrator.
RequestExecutionLevel admin
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1049 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1049 "FileDescription" "Установка ${PRODUCT}"
VIAddVersionKey /LANG=1049 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1049 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1049 "CompanyName" "Nolvar"
VIAddVersionKey /LANG=1049 "LegalCopyright" "Nolvar"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

LoadLanguageFile "${NSISDIR}\Contrib\Language files\Russian.nlf"

; The shortcut is for every user of the laptop, so the folders are the
; shared ones.
Function .onInit
  SetShellVarContext all
FunctionEnd

Function un.onInit
  SetShellVarContext all
FunctionEnd

Section "${PRODUCT}"
  SetOutPath "$INSTDIR"
  File "${BINDIR}\orvex-gsm.exe"
  File "${BINDIR}\orvex-gsm-cli.exe"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; The window writes its debug log (log.txt) into its current folder, and
  ; Program Files is read-only for users: the shortcut starts it in the
  ; shared Documents folder, which exists for every user, which every user
  ; may write, where the installer finds the log to send, and which an
  ; uninstall leaves alone. The list of what was done would name it
  ; "Папка установки", as if the programs went there: it says what the
  ; folder is for instead.
  SetDetailsPrint none
  SetOutPath "$DOCUMENTS"
  CreateShortcut "${SHORTCUT}" "$INSTDIR\orvex-gsm.exe" "" "$INSTDIR\orvex-gsm.exe" 0 \
    SW_SHOWNORMAL "" "Настройка охранной панели Orvex GSM"
  SetDetailsPrint both
  DetailPrint "Ярлык в меню «Пуск»: ${SHORTCUT}"
  DetailPrint "Папка для журнала отладки log.txt: $DOCUMENTS"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Nolvar"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\orvex-gsm.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  SectionGetSize 0 $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; The user's settings (HKCU\SOFTWARE\NolvarGSM: the window's state and the
; port map) and the debug logs stay: they are the user's, and a new version
; installed later takes them up again.
Section "Uninstall"
  Delete "$INSTDIR\orvex-gsm.exe"
  Delete "$INSTDIR\orvex-gsm-cli.exe"
  ; This runs from a copy of the uninstaller in the temporary folder, started
  ; by uninstall.exe, which may not have ended yet on a busy machine: until it
  ; has, its file cannot go (under Wine, it goes once it has ended), and the
  ; folder would stay behind. Wait for it, up to a minute; past that, both go
  ; at the next restart.
  StrCpy $0 0
  uninstaller_file:
  Delete "$INSTDIR\uninstall.exe"
  IfFileExists "$INSTDIR\uninstall.exe" 0 uninstaller_gone
  IntOp $0 $0 + 1
  IntCmp $0 600 uninstaller_left
  Sleep 100
  Goto uninstaller_file
  uninstaller_left:
  Delete /REBOOTOK "$INSTDIR\uninstall.exe"
  uninstaller_gone:
  RMDir /REBOOTOK "$INSTDIR"
  Delete "${SHORTCUT}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
