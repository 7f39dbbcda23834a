; The installer of the QZ-LINK SDK for Windows: the camera link library
; (QZLINK.dll and its second name QZLINKE.DLL), the ActiveX control
; QzlinkAXCtrlE.ocx, qzcli.exe, the header, .def and import library.
; Installing registers the control; uninstalling unregisters it first.
; makensis -DBITS=32|64 -DSTAGE=<install tree> -DVERSION=x.y.z -DOUTFILE=<exe> QzlinkSDK.nsi
Unicode true
!include "LogicLib.nsh"
!include "x64.nsh"

!ifndef BITS | STAGE | VERSION | OUTFILE
  !error "define BITS, STAGE, VERSION and OUTFILE"
!endif

!define PRODUCT "QZ-LINK SDK"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\QZ-LINK SDK (${BITS}-bit)"

Name "${PRODUCT} ${VERSION} (${BITS}-bit)"
OutFile "${OUTFILE}"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
!if ${BITS} == 64
  InstallDir "$PROGRAMFILES64\Orveda\${PRODUCT}"
!else
  InstallDir "$PROGRAMFILES\Orveda\${PRODUCT}"
!endif
ShowInstDetails show
ShowUninstDetails show

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; regsvr32 of the control's bitness: the 64-bit one is in the real System32,
; which a 32-bit installer sees only with the redirection off.
!macro RunRegsvr32 ARGS
  !if ${BITS} == 64
    ${DisableX64FSRedirection}
  !endif
  ExecWait '"$SYSDIR\regsvr32.exe" ${ARGS} "$INSTDIR\bin\QzlinkAXCtrlE.ocx"' $0
  !if ${BITS} == 64
    ${EnableX64FSRedirection}
  !endif
!macroend

Function .onInit
  !if ${BITS} == 64
    ${IfNot} ${RunningX64}
      MessageBox MB_ICONSTOP "The 64-bit ${PRODUCT} needs 64-bit Windows." /SD IDOK
      Abort
    ${EndIf}
    SetRegView 64
  !endif
FunctionEnd

Section "Install"
  SetOutPath "$INSTDIR"
  File /r "${STAGE}\*.*"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  !insertmacro RunRegsvr32 "/s"
  ${If} $0 != 0
    SetErrorLevel 2
    DetailPrint "regsvr32 failed ($0): the control is not registered"
    MessageBox MB_ICONSTOP "The control QzlinkAXCtrlE.ocx could not be registered (regsvr32: $0)." /SD IDOK
    Abort
  ${EndIf}
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT} (${BITS}-bit)"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Orveda"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Function un.onInit
  !if ${BITS} == 64
    SetRegView 64
  !endif
FunctionEnd

Section "Uninstall"
  !insertmacro RunRegsvr32 "/u /s"
  RMDir /r "$INSTDIR\bin"
  RMDir /r "$INSTDIR\include"
  RMDir /r "$INSTDIR\lib"
  RMDir /r "$INSTDIR\share"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  RMDir "$INSTDIR\.."
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
