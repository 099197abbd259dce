; The Gravimo installer, made by packaging/windows/make-packages, which
; passes VERSION, ARCH (i686 or x86_64), OUTFILE and LISTS: the folder of
; install.nsh and uninstall.nsh, the File and Delete lines of every file.
Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Gravimo"

Name "Gravimo ${VERSION}"
OutFile "${OUTFILE}"
!if ${ARCH} == x86_64
  InstallDir "$PROGRAMFILES64\Gravimo"
!else
  InstallDir "$PROGRAMFILES\Gravimo"
!endif

!include MUI2.nsh
!include x64.nsh

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Japanese"
!insertmacro MUI_LANGUAGE "English"

LangString ProgramName ${LANG_JAPANESE} "Gravimo 体重計"
LangString ProgramName ${LANG_ENGLISH} "Gravimo"
LangString DemoName ${LANG_JAPANESE} "Gravimo デモ"
LangString DemoName ${LANG_ENGLISH} "Gravimo demo"
LangString Needs64Bit ${LANG_JAPANESE} "この版は64ビットのWindows用です。32ビット版をお使いください。"
LangString Needs64Bit ${LANG_ENGLISH} "This is the 64-bit edition; please use the 32-bit one on this Windows."

; Shortcuts and the uninstaller's entry are for every user of the machine,
; like the program folder. The 64-bit edition uses the 64-bit registry view,
; where Windows lists 64-bit programs.
!macro Setup
  SetShellVarContext all
  !if ${ARCH} == x86_64
    SetRegView 64
  !endif
!macroend

Function .onInit
  !if ${ARCH} == x86_64
    ${IfNot} ${RunningX64}
      MessageBox MB_ICONSTOP "$(Needs64Bit)" /SD IDOK
      Abort
    ${EndIf}
  !endif
  !insertmacro Setup
FunctionEnd

Function un.onInit
  !insertmacro Setup
FunctionEnd

Section
  !include "${LISTS}/install.nsh"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateDirectory "$SMPROGRAMS\Gravimo"
  CreateShortcut "$SMPROGRAMS\Gravimo\$(ProgramName).lnk" "$INSTDIR\gravimo.exe"
  CreateShortcut "$SMPROGRAMS\Gravimo\$(DemoName).lnk" "$INSTDIR\gravimo-demo.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "$(ProgramName)"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Gravimo developers"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\gravimo.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; The uninstaller itself goes last, so that its absence says all is done.
Section "Uninstall"
  RMDir /r "$SMPROGRAMS\Gravimo"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  !include "${LISTS}/uninstall.nsh"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
