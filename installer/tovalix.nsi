; The Tovalix installer, built with Debian's nsis from the repository's root after the Windows
; builds:   makensis installer/tovalix.nsi   (writes build/tovalix-setup.exe)
; It installs Tovalix.ocx (64-bit; and the 32-bit build where it was built), its side-by-side
; manifest, tovalix.exe and README.md under Program Files, registers the control for the
; machine, and adds an uninstaller that unregisters it and removes every file it installed.
; Silent: tovalix-setup.exe /S (/D=folder to choose the folder);
;         "<folder>\uninstall.exe" /S _?=<folder> (waits until it is done).
Unicode true
Target amd64-unicode
!include LogicLib.nsh

!ifndef VERSION
  !define VERSION 0.1.0
!endif
!define ROOT ".."  ; makensis works in the folder of this script
!define WIN64 "${ROOT}/build/win64/bin"
!define WIN32 "${ROOT}/build/win32/bin"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tovalix"

Name "Tovalix ${VERSION}"
OutFile "${ROOT}/build/tovalix-setup.exe"
InstallDir "$PROGRAMFILES64\Tovalix"
RequestExecutionLevel admin
ShowInstDetails show

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "Tovalix"
  SetOutPath "$INSTDIR"
  File "${WIN64}/Tovalix.ocx"
  File "${WIN64}/Tovalix.manifest"
  File "${WIN64}/tovalix.exe"
  File "${ROOT}/README.md"
  ClearErrors
  RegDLL "$INSTDIR\Tovalix.ocx"
  ${If} ${Errors}
    MessageBox MB_ICONSTOP "No se pudo registrar Tovalix.ocx." /SD IDOK
    Abort
  ${EndIf}
!if /FileExists "${WIN32}/Tovalix.ocx"
  ; 32-bit hosts load the 32-bit control, registered by the 32-bit regsvr32.
  SetOutPath "$PROGRAMFILES32\Tovalix"
  File "${WIN32}/Tovalix.ocx"
  File "${WIN32}/Tovalix.manifest"
  ExecWait '"$WINDIR\SysWOW64\regsvr32.exe" /s "$PROGRAMFILES32\Tovalix\Tovalix.ocx"'
!endif
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Tovalix"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Tovalix"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  UnRegDLL "$INSTDIR\Tovalix.ocx"
  Delete "$INSTDIR\Tovalix.ocx"
  Delete "$INSTDIR\Tovalix.manifest"
  Delete "$INSTDIR\tovalix.exe"
  Delete "$INSTDIR\README.md"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  ${If} ${FileExists} "$PROGRAMFILES32\Tovalix\Tovalix.ocx"
    ExecWait '"$WINDIR\SysWOW64\regsvr32.exe" /s /u "$PROGRAMFILES32\Tovalix\Tovalix.ocx"'
    Delete "$PROGRAMFILES32\Tovalix\Tovalix.ocx"
    Delete "$PROGRAMFILES32\Tovalix\Tovalix.manifest"
    RMDir "$PROGRAMFILES32\Tovalix"
  ${EndIf}
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
