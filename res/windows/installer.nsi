; The Windows installer of Marovind, made by scripts/package-windows with Debian's makensis:
;   makensis -DVERSION=1.0.0.1 -DSTAGE=<folder to install> -DFILES=<files.nsh>
;            -DSIZE_KB=<size> -DOUTFILE=<setup.exe> installer.nsi
; FILES is written from the staged folder: the File lines (FILES_INSTALL) and the Delete
; lines (FILES_REMOVE) of exactly what is shipped, so the uninstaller removes what it
; installed and nothing else.
;
; Silent mode: setup.exe /S installs the Start menu entry and the firewall rule, without the
; desktop shortcut and the service. On the command line, /DESKTOP adds the desktop shortcut,
; /SERVICE the service and /NOFIREWALL leaves the firewall alone. uninstall.exe /S removes
; everything but the data.
Target amd64-unicode
Unicode true
SetCompressor /SOLID lzma

!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh
!include Sections.nsh
!include x64.nsh

!define NAME "Marovind"
!define PUBLISHER "The Marovind developers"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${NAME}"
!define SERVICE "marovindd"
!define FIREWALL_RULE "Marovind syslog (UDP 514)"

Name "${NAME}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${NAME}"
RequestExecutionLevel admin
BrandingText "${NAME} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}"
VIAddVersionKey "ProductName" "Marovind Application"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "Marovind syslog server setup"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "LegalCopyright" "${PUBLISHER}"

!define MUI_ICON "marovind.ico"
!define MUI_UNICON "marovind.ico"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
; No licence page: the project has not chosen a licence yet.
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

!include "${FILES}"

Var serviceWasThere

; Runs a command hidden, its output in the details; $0 is its exit code.
!macro Run command
    nsExec::ExecToLog '${command}'
    Pop $0
!macroend

Section "Marovind (required)" SecProgram
    SectionIn RO
    SetShellVarContext all
    ; An update replaces the programs, so a service from an earlier install stops first;
    ; it is started again at the end.
    !insertmacro Run '"$SYSDIR\sc.exe" query ${SERVICE}'
    ${If} $0 == 0
        StrCpy $serviceWasThere 1
        !insertmacro Run '"$SYSDIR\net.exe" stop ${SERVICE}'
    ${EndIf}
    SetOutPath "$INSTDIR"
    !insertmacro FILES_INSTALL
    ; The mark of an installed copy: it keeps its files in %LOCALAPPDATA%\Marovind, never
    ; in this folder.
    FileOpen $1 "$INSTDIR\installed.txt" w
    FileWrite $1 "Installed by Marovind setup ${VERSION}. Settings and logs are kept in %LOCALAPPDATA%\Marovind.$\r$\n"
    FileClose $1
    WriteUninstaller "$INSTDIR\uninstall.exe"
    CreateShortCut "$SMPROGRAMS\${NAME}.lnk" "$INSTDIR\marovind.exe" "" "$INSTDIR\marovind.exe" 0

    SetRegView 64
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${NAME}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$\"$INSTDIR\marovind.exe$\",0"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" "$\"$INSTDIR\uninstall.exe$\""
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" "$\"$INSTDIR\uninstall.exe$\" /S"
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE_KB}
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section /o "Desktop shortcut" SecDesktop
    SetShellVarContext all
    CreateShortCut "$DESKTOP\${NAME}.lnk" "$INSTDIR\marovind.exe" "" "$INSTDIR\marovind.exe" 0
SectionEnd

Section /o "Start marovindd as a Windows service at boot" SecService
    SetShellVarContext all
    ; $APPDATA for all users is %ProgramData%.
    CreateDirectory "$APPDATA\${NAME}"
    !insertmacro Run '"$SYSDIR\sc.exe" create ${SERVICE} binPath= "\"$INSTDIR\marovindd.exe\" --dir \"$APPDATA\${NAME}\"" start= auto DisplayName= "Marovind syslog server"'
    ${If} $0 != 0
        ; Kept from an earlier install: point it at this one.
        !insertmacro Run '"$SYSDIR\sc.exe" config ${SERVICE} binPath= "\"$INSTDIR\marovindd.exe\" --dir \"$APPDATA\${NAME}\"" start= auto'
    ${EndIf}
    !insertmacro Run '"$SYSDIR\sc.exe" description ${SERVICE} "Receives syslog messages on UDP port 514 and writes them to log files in $APPDATA\${NAME}."'
    !insertmacro Run '"$SYSDIR\sc.exe" failure ${SERVICE} reset= 60 actions= restart/5000'
    StrCpy $serviceWasThere 1
SectionEnd

Section "Allow syslog through Windows Firewall" SecFirewall
    !insertmacro Run '"$SYSDIR\netsh.exe" advfirewall firewall delete rule name="${FIREWALL_RULE}"'
    !insertmacro Run '"$SYSDIR\netsh.exe" advfirewall firewall add rule name="${FIREWALL_RULE}" dir=in action=allow program="$INSTDIR\marovind.exe" protocol=UDP localport=514 enable=yes'
    StrCpy $2 $0
    !insertmacro Run '"$SYSDIR\netsh.exe" advfirewall firewall add rule name="${FIREWALL_RULE}" dir=in action=allow program="$INSTDIR\marovindd.exe" protocol=UDP localport=514 enable=yes'
    ${If} $0 != 0
    ${OrIf} $2 != 0
        DetailPrint "The firewall rule could not be added (netsh ended with $2 and $0)."
        MessageBox MB_OK|MB_ICONEXCLAMATION "The Windows Firewall rule for syslog (UDP 514) could not be added. Marovind is installed; allow it in the firewall settings to receive from other hosts." /SD IDOK
    ${EndIf}
SectionEnd

Section "-Start the service"
    ${If} $serviceWasThere == 1
        !insertmacro Run '"$SYSDIR\net.exe" start ${SERVICE}'
        ${If} $0 != 0
            DetailPrint "The service ${SERVICE} did not start (net start ended with $0)."
        ${EndIf}
    ${EndIf}
SectionEnd

Function .onInit
    ${IfNot} ${RunningX64}
        MessageBox MB_OK|MB_ICONSTOP "Marovind needs a 64-bit Windows." /SD IDOK
        Abort
    ${EndIf}
    SetRegView 64
    StrCpy $serviceWasThere 0
    ${GetParameters} $R0
    ClearErrors
    ${GetOptions} $R0 "/DESKTOP" $R1
    ${IfNot} ${Errors}
        !insertmacro SelectSection ${SecDesktop}
    ${EndIf}
    ClearErrors
    ${GetOptions} $R0 "/SERVICE" $R1
    ${IfNot} ${Errors}
        !insertmacro SelectSection ${SecService}
    ${EndIf}
    ClearErrors
    ${GetOptions} $R0 "/NOFIREWALL" $R1
    ${IfNot} ${Errors}
        !insertmacro UnselectSection ${SecFirewall}
    ${EndIf}
FunctionEnd

Section "Uninstall"
    SetShellVarContext all
    SetRegView 64
    !insertmacro Run '"$SYSDIR\net.exe" stop ${SERVICE}'
    !insertmacro Run '"$SYSDIR\sc.exe" delete ${SERVICE}'
    !insertmacro Run '"$SYSDIR\netsh.exe" advfirewall firewall delete rule name="${FIREWALL_RULE}"'
    Delete "$SMPROGRAMS\${NAME}.lnk"
    Delete "$DESKTOP\${NAME}.lnk"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    ; Only what was installed: the folder may hold other files, and the data of every
    ; user and of the service (%ProgramData%\Marovind) stays.
    !insertmacro FILES_REMOVE
    Delete "$INSTDIR\installed.txt"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
SectionEnd

Function un.onInit
    SetRegView 64
FunctionEnd
