; The Windows installer: the program (parlotel.exe for the console,
; parlotelw.exe for the Start menu), the emulated unit for the demo
; (parlotel-unit.exe), the Qt and mingw DLLs they link and nothing else, the
; windows platform plugin and the offscreen one (the commands run without a
; window, also where there is no desktop), the user guides, two Start-menu shortcuts with the
; program's icon (the program, and the program in the demo), and an uninstaller. Per machine, into
; Program Files. Built by the Windows build's "installer" target:
;   makensis -DVERSION=x.y.z -DSTAGE=<files> -DOUTFILE=<setup.exe> parlotel.nsi
Unicode true
; A 64-bit installer for a 64-bit program (and wine64 runs it in the tests).
Target amd64-unicode
SetCompressor /SOLID lzma

!ifndef VERSION | STAGE | OUTFILE
  !error "VERSION, STAGE and OUTFILE are needed"
!endif

!define KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Parlotel"

Name "Parlotel ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Parlotel"
RequestExecutionLevel admin
Icon "${STAGE}\parlotel.ico"
UninstallIcon "${STAGE}\parlotel.ico"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "Parlotel"
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File "${STAGE}\parlotel.exe"
  File "${STAGE}\parlotelw.exe"
  File "${STAGE}\parlotel-unit.exe"
  File "${STAGE}\Qt6Core.dll"
  File "${STAGE}\Qt6Gui.dll"
  File "${STAGE}\Qt6Widgets.dll"
  File "${STAGE}\libstdc++-6.dll"
  File "${STAGE}\libgcc_s_seh-1.dll"
  File "${STAGE}\libwinpthread-1.dll"
  SetOutPath "$INSTDIR\platforms"
  File "${STAGE}\platforms\qwindows.dll"
  File "${STAGE}\platforms\qoffscreen.dll"
  SetOutPath "$INSTDIR\doc"
  File "${STAGE}\doc\USER-GUIDE.md"
  File "${STAGE}\doc\USER-GUIDE.en.md"
  SetOutPath "$INSTDIR\doc\images"
  File "${STAGE}\doc\images\*.png"
  SetOutPath "$INSTDIR"

  CreateShortcut "$SMPROGRAMS\Parlotel.lnk" "$INSTDIR\parlotelw.exe" "" "$INSTDIR\parlotelw.exe" 0
  CreateShortcut "$SMPROGRAMS\Parlotel Demo.lnk" "$INSTDIR\parlotelw.exe" "--demo" "$INSTDIR\parlotelw.exe" 0
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${KEY}" "DisplayName" "Parlotel"
  WriteRegStr HKLM "${KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${KEY}" "DisplayIcon" "$INSTDIR\parlotelw.exe"
  WriteRegStr HKLM "${KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  Delete "$SMPROGRAMS\Parlotel.lnk"
  Delete "$SMPROGRAMS\Parlotel Demo.lnk"
  Delete "$INSTDIR\parlotel.exe"
  Delete "$INSTDIR\parlotelw.exe"
  Delete "$INSTDIR\parlotel-unit.exe"
  Delete "$INSTDIR\Qt6Core.dll"
  Delete "$INSTDIR\Qt6Gui.dll"
  Delete "$INSTDIR\Qt6Widgets.dll"
  Delete "$INSTDIR\libstdc++-6.dll"
  Delete "$INSTDIR\libgcc_s_seh-1.dll"
  Delete "$INSTDIR\libwinpthread-1.dll"
  Delete "$INSTDIR\platforms\qwindows.dll"
  Delete "$INSTDIR\platforms\qoffscreen.dll"
  RMDir "$INSTDIR\platforms"
  Delete "$INSTDIR\doc\images\*.png"
  RMDir "$INSTDIR\doc\images"
  Delete "$INSTDIR\doc\USER-GUIDE.md"
  Delete "$INSTDIR\doc\USER-GUIDE.en.md"
  RMDir "$INSTDIR\doc"
  Delete "$INSTDIR\uninstall.exe"
  ; Only what the installer put there: a folder the user filled stays.
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${KEY}"
SectionEnd
