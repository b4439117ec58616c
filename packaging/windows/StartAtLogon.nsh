; Added to the installer script CPack writes, after its core section: the
; optional start at logon, on the installer's components page and selected
; by default (a silent install takes it).

; Runs first, so an upgrade or a repair leaves only what this run chose,
; and the start menu entries of releases that were called "Member
; Interface" do not stay beside the new ones.
Section "-Earlier shortcuts"
  Delete "$SMSTARTUP\Velmora会员卡接口.lnk"
  Delete "$SMPROGRAMS\Member Interface\Member Interface.lnk"
  Delete "$SMPROGRAMS\Member Interface\Uninstall.lnk"
  RMDir "$SMPROGRAMS\Member Interface"
SectionEnd

Section "登录时启动 (Start at logon)" SecStartAtLogon
  ; The shortcut's working folder is the program's, where Option.ini is.
  SetOutPath "$INSTDIR"
  CreateShortCut "$SMSTARTUP\Velmora会员卡接口.lnk" "$INSTDIR\member-interface.exe"
SectionEnd

!macro RemoveStartAtLogon
  Delete "$SMSTARTUP\Velmora会员卡接口.lnk"
!macroend
