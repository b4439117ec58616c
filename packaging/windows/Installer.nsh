; Added to the installer script CPack writes. The sections here run before
; CPack's core section, in this order: what an install in the old layout
; leaves is moved out of the way, the data folder is set up, then the two
; optional components (start at logon, firewall rule) on the components
; page, both selected by default, so a silent install takes them.
;
; Where things live: the program under Program Files, where only
; administrators write; what it writes (Option.ini, the day logs, the day's
; request counts, the simulator's state) in ProgramData\MemberInterface,
; which the front-desk user may change. The registry key CPack writes the
; program folder into also holds the data folder, and the program reads it
; from there however it is started.

!include LogicLib.nsh
!include WinVer.nsh
!include FileFunc.nsh

!define MEMBER_TITLE "Velmora会员卡接口"
!define MEMBER_KEY "Software\Velmora\MemberInterface"
!define MEMBER_DATA_FOLDER "MemberInterface"
!define MEMBER_DEFAULT_PORT 8883
; Windows' own codes, so a deployment tool can tell the two refusals apart.
!define MEMBER_EXIT_OLD_WINDOWS 1150
!define MEMBER_EXIT_NOT_ADMIN 740

Var MemberData
Var MemberOld

; The rule is found by its name, which is the window's.
!macro MemberDeleteFirewallRule
  nsExec::ExecToLog '"$SYSDIR\netsh.exe" advfirewall firewall delete rule name="${MEMBER_TITLE}"'
  Pop $0
!macroend

!macro MemberUninstall
  Delete "$SMSTARTUP\${MEMBER_TITLE}.lnk"
  !insertmacro MemberDeleteFirewallRule
!macroend

; First thing in .onInit: Qt 6 cannot start before Windows 10 (its core
; library needs functions Windows 7 and 8 lack), and only an administrator
; may write under Program Files. /NOFIREWALL leaves the firewall rule out
; of a silent install, for PCs whose firewall is managed centrally.
!macro MemberOnInit
  ${IfNot} ${AtLeastWin10}
    MessageBox MB_OK|MB_ICONSTOP "${MEMBER_TITLE} 需要 Windows 10 或更高版本，本机无法安装。$\r$\n${MEMBER_TITLE} needs Windows 10 or later; it cannot be installed on this PC." /SD IDOK
    SetErrorLevel ${MEMBER_EXIT_OLD_WINDOWS}
    Quit
  ${EndIf}
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "Admin"
    MessageBox MB_OK|MB_ICONSTOP "安装${MEMBER_TITLE}需要管理员权限。$\r$\nInstalling ${MEMBER_TITLE} needs an administrator." /SD IDOK
    SetErrorLevel ${MEMBER_EXIT_NOT_ADMIN}
    Quit
  ${EndIf}
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/NOFIREWALL" $1
  ${IfNot} ${Errors}
    !insertmacro UnselectSection ${SecFirewall}
  ${EndIf}
!macroend

; Moves one file of the old folder ($MemberOld) into the data folder. A file
; already there wins; the old one is kept beside it as <name>.old, and
; Upgrade.txt in the data folder says so.
Function MemberMoveData
  Exch $0
  ${If} ${FileExists} "$MemberOld\$0"
    ${If} ${FileExists} "$MemberData\$0"
      Delete "$MemberData\$0.old"
      Rename "$MemberOld\$0" "$MemberData\$0.old"
      FileOpen $1 "$MemberData\Upgrade.txt" a
      FileSeek $1 0 END
      FileWriteUTF16LE /BOM $1 "$0: the data folder already had this file, which is kept; the one from $MemberOld is $0.old.$\r$\n"
      FileClose $1
      DetailPrint "$0: kept the data folder's file, the old one as $0.old"
    ${Else}
      Rename "$MemberOld\$0" "$MemberData\$0"
    ${EndIf}
  ${EndIf}
  Pop $0
FunctionEnd

!macro MemberMoveData NAME
  Push "${NAME}"
  Call MemberMoveData
!macroend

; Releases up to 1.0 installed into a folder under the drive root
; (C:\MemberInterface), which every user may change, and kept their data
; beside the program. Their data moves into the data folder, the printer
; vendor's library (put there by an administrator) into the new program
; folder, and their program files go; so does the folder when nothing else
; is left in it. The start menu entries and the entry under installed
; programs carry the same names and are written anew by this install.
Section "-Earlier layout"
  ; For all users, $APPDATA is ProgramData.
  SetShellVarContext all
  StrCpy $MemberData "$APPDATA\${MEMBER_DATA_FOLDER}"
  CreateDirectory "$MemberData"
  ReadRegStr $MemberOld HKLM "${MEMBER_KEY}" ""
  ${If} $MemberOld == ""
  ${OrIf} $MemberOld == $INSTDIR
  ${OrIfNot} ${FileExists} "$MemberOld\*.*"
    Return
  ${EndIf}
  DetailPrint "Moving the data of the earlier install in $MemberOld"
  !insertmacro MemberMoveData "Option.ini"
  !insertmacro MemberMoveData "RequestCounts.txt"
  !insertmacro MemberMoveData "CardPrinter.ini"
  !insertmacro MemberMoveData "CardFace.txt"
  !insertmacro MemberMoveData "CardFace.png"
  FindFirst $0 $1 "$MemberOld\*.LOG"
  ${DoWhile} $1 != ""
    !insertmacro MemberMoveData "$1"
    FindNext $0 $1
  ${Loop}
  FindClose $0
  ${If} ${FileExists} "$MemberOld\RCPV11_VCDLL.dll"
  ${AndIfNot} ${FileExists} "$INSTDIR\RCPV11_VCDLL.dll"
    CreateDirectory "$INSTDIR"
    Rename "$MemberOld\RCPV11_VCDLL.dll" "$INSTDIR\RCPV11_VCDLL.dll"
    DetailPrint "Moved the printer library into $INSTDIR"
  ${EndIf}
  Delete "$MemberOld\member-interface.exe"
  Delete "$MemberOld\member-printer-host.exe"
  Delete "$MemberOld\member-client.exe"
  Delete "$MemberOld\Qt6Core.dll"
  Delete "$MemberOld\Qt6Gui.dll"
  Delete "$MemberOld\Qt6Widgets.dll"
  Delete "$MemberOld\Qt6Xml.dll"
  Delete "$MemberOld\libgcc_s_dw2-1.dll"
  Delete "$MemberOld\libstdc++-6.dll"
  Delete "$MemberOld\libwinpthread-1.dll"
  Delete "$MemberOld\README.md"
  Delete "$MemberOld\Uninstall.exe"
  RMDir /r "$MemberOld\docs"
  RMDir /r "$MemberOld\platforms"
  RMDir /r "$MemberOld\styles"
  RMDir /r "$MemberOld\simulator"
  ClearErrors
  RMDir "$MemberOld"
  ${If} ${Errors}
    DetailPrint "$MemberOld still holds files that are not the program's; look at them and remove the folder"
  ${EndIf}
SectionEnd

; The folder's rights are set here and nowhere else: administrators and the
; system may do anything, every user may read and change the files (the
; program runs as whoever is at the desk), and nothing is inherited from
; ProgramData, whose default lets a user's files be read-only to the next.
; Well-known SIDs, so a Windows in any language understands them.
Section "-Data folder"
  nsExec::ExecToLog '"$SYSDIR\icacls.exe" "$MemberData" /inheritance:r /grant:r *S-1-5-32-544:(OI)(CI)F *S-1-5-18:(OI)(CI)F *S-1-5-32-545:(OI)(CI)M'
  Pop $0
  ${If} $0 != 0
    DetailPrint "icacls could not set the rights of $MemberData ($0)"
  ${EndIf}
  WriteRegStr HKLM "${MEMBER_KEY}" "DataDirectory" "$MemberData"
SectionEnd

; Run first of the optional parts, so an upgrade or a repair leaves only
; what this run chose, and the start menu entries of releases that were
; called "Member Interface" do not stay beside the new ones.
Section "-Earlier shortcuts and rule"
  Delete "$SMSTARTUP\${MEMBER_TITLE}.lnk"
  Delete "$SMPROGRAMS\Member Interface\Member Interface.lnk"
  Delete "$SMPROGRAMS\Member Interface\Uninstall.lnk"
  RMDir "$SMPROGRAMS\Member Interface"
  !insertmacro MemberDeleteFirewallRule
SectionEnd

Section "登录时启动 (Start at logon)" SecStartAtLogon
  SetOutPath "$INSTDIR"
  CreateShortCut "$SMSTARTUP\${MEMBER_TITLE}.lnk" "$INSTDIR\member-interface.exe"
SectionEnd

; Lets the PMS on the LAN reach the member port, for this program only, on
; domain and private networks, never on a public one. The port is the one
; Option.ini names (moved here from an earlier install, or the default).
Section "防火墙规则 (Firewall rule)" SecFirewall
  ReadINIStr $0 "$MemberData\Option.ini" "SysOption" "MemberPortNo"
  IntOp $1 $0 + 0
  ${If} $1 < 1
  ${OrIf} $1 > 65535
    StrCpy $1 ${MEMBER_DEFAULT_PORT}
  ${EndIf}
  nsExec::ExecToLog '"$SYSDIR\netsh.exe" advfirewall firewall add rule name="${MEMBER_TITLE}" dir=in action=allow program="$INSTDIR\member-interface.exe" protocol=TCP localport=$1 profile=domain,private enable=yes'
  Pop $0
  ${If} $0 != 0
    DetailPrint "netsh could not add the firewall rule ($0)"
  ${EndIf}
SectionEnd
