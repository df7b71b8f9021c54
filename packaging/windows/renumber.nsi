; The Windows installer of renumber: the program's folder under Program Files, a Start-menu entry
; "员工工号修改" with the tool's icon, an uninstaller listed in Windows' programs. The user's own
; data (the change journal, the added columns) is in the user's folders and stays on uninstall.
;   makensis -DVERSION=1.0.0 -DSTAGE=<program folder> -DOUTFILE=<setup.exe> -DICON=<renumber.ico> renumber.nsi
Target amd64-unicode  ; a 64-bit installer for a 64-bit program (Unicode)
SetCompressor /SOLID lzma
!include "x64.nsh"

Name "员工工号修改 ${VERSION}"
OutFile "${OUTFILE}"
Icon "${ICON}"
UninstallIcon "${ICON}"
InstallDir "$PROGRAMFILES64\renumber"
InstallDirRegKey HKLM "Software\renumber" "InstallDir"
RequestExecutionLevel admin
ShowInstDetails show

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\renumber"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Function .onInit
  SetRegView 64
  ${IfNot} ${RunningX64}
    MessageBox MB_OK|MB_ICONSTOP "员工工号修改需要64位的Windows。"
    Abort
  ${EndIf}
FunctionEnd

Section "renumber"
  SetOutPath "$INSTDIR"
  File /r "${STAGE}\*.*"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  SetShellVarContext all
  CreateShortCut "$SMPROGRAMS\员工工号修改.lnk" "$INSTDIR\renumber.exe" "" "$INSTDIR\renumber.exe" 0
  WriteRegStr HKLM "Software\renumber" "InstallDir" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "员工工号修改"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "renumber"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\renumber.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Only what the installer put there: the user's journal and settings are kept.
Section "Uninstall"
  SetRegView 64
  SetShellVarContext all
  Delete "$SMPROGRAMS\员工工号修改.lnk"
  RMDir /r "$INSTDIR\platforms"
  RMDir /r "$INSTDIR\styles"
  RMDir /r "$INSTDIR\sqldrivers"
  RMDir /r "$INSTDIR\translations"
  Delete "$INSTDIR\*.dll"
  Delete "$INSTDIR\renumber.exe"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegKey HKLM "Software\renumber"
SectionEnd
