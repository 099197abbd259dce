; The Gravimo installer, made by packaging/windows/make-packages, which
; passes VERSION, ARCH (i686 or x86_64), OUTFILE and LISTS: the folder of
; install.nsh and uninstall.nsh, the File and Delete lines of every file.
;
; It installs for the user who runs it, without administrator rights, into
; the user's own programs folder; with /AllUsers on its command line (run as
; an administrator) it installs for every user, into Program Files.
Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel user

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Gravimo"

Name "Gravimo ${VERSION}"
OutFile "${OUTFILE}"

!include MUI2.nsh
!include x64.nsh
!include FileFunc.nsh
!include LogicLib.nsh

Var AllUsers

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
; The installer speaks the system's language when it has it; English, the
; first, is the one for every other system.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Japanese"

LangString ProgramName ${LANG_JAPANESE} "Gravimo 体重計"
LangString ProgramName ${LANG_ENGLISH} "Gravimo"
LangString DemoName ${LANG_JAPANESE} "Gravimo デモ"
LangString DemoName ${LANG_ENGLISH} "Gravimo demo"
LangString Needs64Bit ${LANG_JAPANESE} "この版は64ビットのWindows用です。32ビット版をお使いください。"
LangString Needs64Bit ${LANG_ENGLISH} "This is the 64-bit edition; please use the 32-bit one on this Windows."
LangString NeedsAdmin ${LANG_JAPANESE} "すべてのユーザー用のインストール (/AllUsers) には管理者として実行してください。"
LangString NeedsAdmin ${LANG_ENGLISH} "Installing for all users (/AllUsers) needs the installer run as an administrator."

; Shortcuts, the uninstaller's entry (SHCTX) and the default folder are the
; user's own, or every user's. The 64-bit edition uses the 64-bit registry
; view, where Windows lists 64-bit programs.
!macro Setup
  ${If} $AllUsers == 1
    SetShellVarContext all
  ${Else}
    SetShellVarContext current
  ${EndIf}
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
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/AllUsers" $R1
  ${IfNot} ${Errors}
    UserInfo::GetAccountType
    Pop $R2
    ${If} $R2 != "admin"
      MessageBox MB_ICONSTOP "$(NeedsAdmin)" /SD IDOK
      Abort
    ${EndIf}
    StrCpy $AllUsers 1
  ${EndIf}
  !insertmacro Setup
  ; /D= on the command line has set the folder already.
  ${If} $INSTDIR == ""
    ${If} $AllUsers == 1
      !if ${ARCH} == x86_64
        StrCpy $INSTDIR "$PROGRAMFILES64\Gravimo"
      !else
        StrCpy $INSTDIR "$PROGRAMFILES\Gravimo"
      !endif
    ${Else}
      StrCpy $INSTDIR "$LOCALAPPDATA\Programs\Gravimo"
    ${EndIf}
  ${EndIf}
FunctionEnd

; An installation for every user is the one the machine's entry names.
Function un.onInit
  !if ${ARCH} == x86_64
    SetRegView 64
  !endif
  ReadRegStr $R0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $R0 == $INSTDIR
    StrCpy $AllUsers 1
  ${EndIf}
  !insertmacro Setup
FunctionEnd

Section
  !include "${LISTS}/install.nsh"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateDirectory "$SMPROGRAMS\Gravimo"
  CreateShortcut "$SMPROGRAMS\Gravimo\$(ProgramName).lnk" "$INSTDIR\gravimo.exe"
  CreateShortcut "$SMPROGRAMS\Gravimo\$(DemoName).lnk" "$INSTDIR\gravimo-demo.exe"

  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "$(ProgramName)"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "Gravimo developers"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\gravimo.exe"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; The uninstaller itself goes last, so that its absence says all is done.
Section "Uninstall"
  RMDir /r "$SMPROGRAMS\Gravimo"
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
  !include "${LISTS}/uninstall.nsh"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
