; The program's installer: a per-user install (no elevation, as the program itself runs
; asInvoker) into the user's programs folder, with a Start-menu shortcut, an optional
; desktop shortcut and an uninstaller that the system lists under the current user.
; Uninstalling keeps the user's data folder unless its box is ticked.
;
;   makensis -INPUTCHARSET UTF8 -DVERSION=1.2.3.4 -DPRODUCT_TEXTS=<texts.nsh> -DPROGRAM_EXE=<program>
;            -DICON_FILE=<ico> -DOUTFILE=<setup.exe> setup.nsi
; PRODUCT_TEXTS defines PRODUCT_NAME, COMPANY_NAME and COPYRIGHT; the build writes it from the
; program's own texts (src/text/product_texts.h).
; Silent install and uninstall: setup.exe /S, uninstall.exe /S.

!ifndef VERSION | PRODUCT_TEXTS | PROGRAM_EXE | ICON_FILE | OUTFILE
  !error "VERSION, PRODUCT_TEXTS, PROGRAM_EXE, ICON_FILE and OUTFILE must be defined"
!endif

; A 64-bit installer: the program is 64-bit, and so are the systems it runs on.
Target amd64-unicode
Unicode true
SetCompressor /SOLID lzma

!include /CHARSET=UTF8 "${PRODUCT_TEXTS}"
!define PROGRAM_FILE "TarnSiteMonitor.exe"
!define DATA_FOLDER "TarnSiteMonitor"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\TarnSiteMonitor"

Name "${PRODUCT_NAME}"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\TarnSiteMonitor"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
ManifestDPIAware true
BrandingText "${COMPANY_NAME}"

VIProductVersion "${VERSION}"
VIFileVersion "${VERSION}"
VIAddVersionKey /LANG=2052 "ProductName" "${PRODUCT_NAME} 安装程序"
VIAddVersionKey /LANG=2052 "CompanyName" "${COMPANY_NAME}"
VIAddVersionKey /LANG=2052 "FileDescription" "${PRODUCT_NAME} 安装程序"
VIAddVersionKey /LANG=2052 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=2052 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=2052 "LegalCopyright" "${COPYRIGHT}"

!include "MUI2.nsh"

!define MUI_ICON "${ICON_FILE}"
!define MUI_UNICON "${ICON_FILE}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_RUN "$INSTDIR\${PROGRAM_FILE}"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "SimpChinese"

Function .onInit
  SetShellVarContext current
FunctionEnd

Function un.onInit
  SetShellVarContext current
FunctionEnd

Section "!${PRODUCT_NAME}" SecProgram
  SectionIn RO
  SetOutPath "$INSTDIR"
  File "/oname=${PROGRAM_FILE}" "${PROGRAM_EXE}"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateShortCut "$SMPROGRAMS\${PRODUCT_NAME}.lnk" "$INSTDIR\${PROGRAM_FILE}"

  ; The entry of the system's list of installed programs, for this user only.
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT_NAME}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${PROGRAM_FILE},0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${COMPANY_NAME}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  SectionGetSize ${SecProgram} $0
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section /o "桌面快捷方式" SecDesktop
  CreateShortCut "$DESKTOP\${PRODUCT_NAME}.lnk" "$INSTDIR\${PROGRAM_FILE}"
SectionEnd

Section "un.${PRODUCT_NAME}" UnSecProgram
  SectionIn RO
  Delete "$INSTDIR\${PROGRAM_FILE}"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${PRODUCT_NAME}.lnk"
  Delete "$DESKTOP\${PRODUCT_NAME}.lnk"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd

; Off unless ticked: the sites and settings (Config.dat, site.txt) stay for a later install.
Section /o "un.删除用户数据（网站列表和设置）" UnSecData
  RMDir /r "$APPDATA\${DATA_FOLDER}"
SectionEnd
