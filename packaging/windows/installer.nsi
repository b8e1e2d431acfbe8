; Tarnovelle's Windows setup (64-bit), compiled with makensis by
; cmake/WindowsInstaller.cmake, which passes these defines:
;   VERSION        1.2.0           VERSION_QUAD  1.2.0.0
;   OUTFILE        the setup .exe to write
;   BUNDLE_FILES   the generated .nsh that unpacks and deletes the bundle's
;                  files one by one (TARNO_EXTRACT_BUNDLE, TARNO_DELETE_BUNDLE)
;                  and the factory presets' (TARNO_EXTRACT_PRESETS,
;                  TARNO_DELETE_PRESETS)
;   ICON           the bundle's PlugIn.ico     LICENSE_FILE  the licence text
;   VENDOR, COPYRIGHT
;
; What it installs, and all the uninstaller removes:
;   <Common Files>\VST3\Tarnovelle.vst3\...   the bundle, file by file
;   <ProgramData>\VST3 Presets\<VENDOR>\Tarnovelle\*.vstpreset
;                                             the factory presets, file by
;                                             file (presets a user saved
;                                             beside them stay)
;   <Program Files>\Tarnovelle\Uninstall.exe
;   <Program Files>\Tarnovelle\Tarnovelle.exe   the standalone player (PLAYER)
;   <Start menu>\Programs\Tarnovelle.lnk        its shortcut (all users)
;   HKLM\...\Uninstall\Tarnovelle             the Add/Remove Programs entry
;
; The bundle is never left half-written: it is unpacked into a folder beside
; its place, the installed one (an older version, or the same one when run
; twice) is renamed aside, which fails while a host has it loaded, and the
; new one is renamed into place. A step that fails puts everything back,
; says why (silently: only the exit code) and ends the setup with a non-zero
; exit code.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true

!include MUI2.nsh
!include LogicLib.nsh
!include "${BUNDLE_FILES}"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarnovelle"
!define VST3_DIR "$COMMONFILES64\VST3"
!define BUNDLE_DIR "${VST3_DIR}\Tarnovelle.vst3"
; Beside the bundle, on the same volume (renames are then moves of one entry).
!define STAGING_DIR "${VST3_DIR}\Tarnovelle.vst3.installing"
!define REPLACED_DIR "${VST3_DIR}\Tarnovelle.vst3.replaced"
!define REMOVING_DIR "${VST3_DIR}\Tarnovelle.vst3.removing"
!define PROGRAM_DIR "$PROGRAMFILES64\Tarnovelle"
; Where hosts look for presets shared by all users ($APPDATA is ProgramData
; once the shell folders are the all-users ones: SetShellVarContext all).
!define VENDOR_PRESETS_DIR "$APPDATA\VST3 Presets\${VENDOR}"
!define PRESETS_DIR "${VENDOR_PRESETS_DIR}\Tarnovelle"
; Setups and uninstalls of Tarnovelle never run at the same time.
!define MUTEX "Tarnovelle.Setup"

Name "Tarnovelle ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "${PROGRAM_DIR}"
BrandingText "Tarnovelle ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_LICENSE "${LICENSE_FILE}"
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

VIProductVersion "${VERSION_QUAD}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "Tarnovelle"
VIAddVersionKey /LANG=${LANG_ENGLISH} "CompanyName" "${VENDOR}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "${COPYRIGHT}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "Tarnovelle ${VERSION} setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${VERSION}"

; ---------------------------------------------------------------------------
; Checks shared by the setup and the uninstaller (in .onInit / un.onInit).

!macro TARNO_SINGLE_INSTANCE
	System::Call 'kernel32::CreateMutexW(p 0, i 0, w "${MUTEX}") p .r1 ?e'
	Pop $0
	${If} $0 = 183 ; ERROR_ALREADY_EXISTS
		MessageBox MB_OK|MB_ICONSTOP "Another Tarnovelle setup or uninstall is running. Let it finish, then try again." /SD IDOK
		SetErrorLevel 3
		Quit
	${EndIf}
!macroend

!macro TARNO_REQUIRE_ADMIN
	UserInfo::GetAccountType
	Pop $0
	${If} $0 != "Admin"
		MessageBox MB_OK|MB_ICONSTOP "Tarnovelle is installed into ${VST3_DIR}, which needs administrator rights. Run this program as an administrator." /SD IDOK
		SetErrorLevel 740 ; ERROR_ELEVATION_REQUIRED
		Quit
	${EndIf}
!macroend

; ---------------------------------------------------------------------------
; Setup

Var failure

Function .onInit
	SetRegView 64
	SetShellVarContext all
	!insertmacro TARNO_SINGLE_INSTANCE
	!insertmacro TARNO_REQUIRE_ADMIN
FunctionEnd

; Ends the setup with the message in $failure. Whatever the failed step
; changed has been put back by then.
Function stop
	DetailPrint "$failure"
	MessageBox MB_OK|MB_ICONSTOP "Tarnovelle was not installed: $failure" /SD IDOK
	SetErrorLevel 2
	Abort
FunctionEnd

; The presets this setup wrote, and their folders if that leaves them empty.
Function removePresets
	!insertmacro TARNO_DELETE_PRESETS "${PRESETS_DIR}"
	RMDir "${PRESETS_DIR}"
	RMDir "${VENDOR_PRESETS_DIR}"
FunctionEnd

; The installed bundle (if any) back under its name after a failed swap.
Function putBackReplaced
	${If} ${FileExists} "${REPLACED_DIR}\*.*"
		RMDir /r "${BUNDLE_DIR}"
		Rename "${REPLACED_DIR}" "${BUNDLE_DIR}"
	${EndIf}
FunctionEnd

Section "Tarnovelle"
	; A folder of our own beside the bundle's place; leftovers of an
	; interrupted setup go first.
	ClearErrors
	CreateDirectory "${VST3_DIR}"
	${If} ${Errors}
	${OrIfNot} ${FileExists} "${VST3_DIR}\*.*"
		StrCpy $failure "the folder ${VST3_DIR} cannot be created."
		Call stop
	${EndIf}
	SetFileAttributes "${REPLACED_DIR}" NORMAL
	RMDir /r "${STAGING_DIR}"
	RMDir /r "${REPLACED_DIR}"
	ClearErrors
	CreateDirectory "${STAGING_DIR}"
	${If} ${Errors}
		StrCpy $failure "nothing can be written into ${VST3_DIR}."
		Call stop
	${EndIf}

	; The new bundle, complete, beside the old one.
	ClearErrors
	!insertmacro TARNO_EXTRACT_BUNDLE "${STAGING_DIR}"
	${If} ${Errors}
		SetOutPath "$TEMP"
		RMDir /r "${STAGING_DIR}"
		StrCpy $failure "the files could not be written into ${VST3_DIR} (is the disk full?)."
		Call stop
	${EndIf}
	SetOutPath "$TEMP"

	; The swap.
	${If} ${FileExists} "${BUNDLE_DIR}\*.*"
		DetailPrint "Replacing the installed Tarnovelle.vst3"
		SetFileAttributes "${BUNDLE_DIR}" NORMAL
		ClearErrors
		Rename "${BUNDLE_DIR}" "${REPLACED_DIR}"
		${If} ${Errors}
			SetFileAttributes "${BUNDLE_DIR}" READONLY
			RMDir /r "${STAGING_DIR}"
			StrCpy $failure "${BUNDLE_DIR} is in use. Close every program that has Tarnovelle loaded and run the setup again."
			Call stop
		${EndIf}
	${EndIf}
	ClearErrors
	Rename "${STAGING_DIR}" "${BUNDLE_DIR}"
	${If} ${Errors}
		RMDir /r "${STAGING_DIR}"
		Call putBackReplaced
		StrCpy $failure "${BUNDLE_DIR} could not be put in place."
		Call stop
	${EndIf}

	; The factory presets, over those of an earlier setup; other files in
	; their folder are left alone.
	ClearErrors
	CreateDirectory "${PRESETS_DIR}"
	!insertmacro TARNO_EXTRACT_PRESETS "${PRESETS_DIR}"
	SetOutPath "$TEMP"
	${If} ${Errors}
		Call removePresets
		RMDir /r "${BUNDLE_DIR}"
		Call putBackReplaced
		StrCpy $failure "the presets could not be written into ${PRESETS_DIR}."
		Call stop
	${EndIf}

	; The uninstaller and its Add/Remove Programs entry.
	ClearErrors
	CreateDirectory "${PROGRAM_DIR}"
	WriteUninstaller "${PROGRAM_DIR}\Uninstall.exe"
	WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Tarnovelle"
	WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
	WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${VENDOR}"
	WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "${BUNDLE_DIR}\PlugIn.ico"
	WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "${BUNDLE_DIR}"
	WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"${PROGRAM_DIR}\Uninstall.exe"'
	WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"${PROGRAM_DIR}\Uninstall.exe" /S'
	WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" ${TARNO_BUNDLE_KB}
	WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
	WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
	${If} ${Errors}
		Call removePresets
		RMDir /r "${BUNDLE_DIR}"
		Call putBackReplaced
		StrCpy $failure "the uninstaller could not be registered in ${PROGRAM_DIR}."
		Call stop
	${EndIf}

	; The standalone player and its Start-menu shortcut.
	ClearErrors
	SetOutPath "${PROGRAM_DIR}"
	File "/oname=Tarnovelle.exe" "${PLAYER}"
	SetOutPath "$TEMP"
	${If} ${Errors}
		StrCpy $failure "${PROGRAM_DIR}\Tarnovelle.exe could not be written. Close Tarnovelle and run the setup again."
		Call stop
	${EndIf}
	; (The shell folders are the all users' ones: see .onInit.)
	CreateShortCut "$SMPROGRAMS\Tarnovelle.lnk" "${PROGRAM_DIR}\Tarnovelle.exe" "" "${BUNDLE_DIR}\PlugIn.ico" 0

	; Done: the replaced bundle goes, and Explorer is told to show the
	; bundle folder with its icon (desktop.ini needs the folder read-only).
	RMDir /r "${REPLACED_DIR}"
	SetFileAttributes "${BUNDLE_DIR}\desktop.ini" HIDDEN|SYSTEM
	SetFileAttributes "${BUNDLE_DIR}" READONLY
	DetailPrint "Tarnovelle ${VERSION} is installed in ${BUNDLE_DIR}, its presets in ${PRESETS_DIR}"
SectionEnd

; ---------------------------------------------------------------------------
; Uninstaller

Function un.onInit
	SetRegView 64
	SetShellVarContext all
	!insertmacro TARNO_SINGLE_INSTANCE
	!insertmacro TARNO_REQUIRE_ADMIN
	ClearErrors
	ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "DisplayVersion"
	${If} ${Errors}
	${AndIfNot} ${FileExists} "${BUNDLE_DIR}\*.*"
		MessageBox MB_OK|MB_ICONINFORMATION "Tarnovelle is not installed: there is nothing to remove." /SD IDOK
		SetErrorLevel 0
		Quit
	${EndIf}
FunctionEnd

Section "Uninstall"
	SetOutPath "$TEMP"
	${If} ${FileExists} "${BUNDLE_DIR}\*.*"
		; Renamed first, which fails while a host has the module loaded: then
		; nothing has been removed yet.
		SetFileAttributes "${BUNDLE_DIR}" NORMAL
		ClearErrors
		Rename "${BUNDLE_DIR}" "${REMOVING_DIR}"
		${If} ${Errors}
			SetFileAttributes "${BUNDLE_DIR}" READONLY
			MessageBox MB_OK|MB_ICONSTOP "${BUNDLE_DIR} is in use. Close every program that has Tarnovelle loaded and run the uninstaller again." /SD IDOK
			SetErrorLevel 2
			Abort
		${EndIf}
		SetFileAttributes "${REMOVING_DIR}\desktop.ini" NORMAL
		; The files the setup wrote, then the folders it made if empty.
		!insertmacro TARNO_DELETE_BUNDLE "${REMOVING_DIR}"
		; Anything else found in the bundle was not ours: it stays, under
		; the bundle's name.
		${If} ${FileExists} "${REMOVING_DIR}\*.*"
			Rename "${REMOVING_DIR}" "${BUNDLE_DIR}"
			DetailPrint "Kept files in ${BUNDLE_DIR} that Tarnovelle did not install"
		${EndIf}
	${EndIf}
	Delete "$SMPROGRAMS\Tarnovelle.lnk"
	Delete "${PROGRAM_DIR}\Tarnovelle.exe"
	; The presets the setup wrote; a user's own beside them keep the folder.
	!insertmacro TARNO_DELETE_PRESETS "${PRESETS_DIR}"
	RMDir "${PRESETS_DIR}"
	RMDir "${VENDOR_PRESETS_DIR}"
	Delete "${PROGRAM_DIR}\Uninstall.exe"
	RMDir "${PROGRAM_DIR}"
	DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
