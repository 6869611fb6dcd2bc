; An installer that checks the machine with syscheck before it installs
; anything: "ok" goes on, "minimal" shows the warnings and lets the person
; choose, anything else stops.
;
;   makensis [-DTARGET=amd64-unicode] -DDELIVERABLES=DIR [-DOUTFILE=FILE] syscheck_check.nsi
;
; DIR holds syscheck.exe, mrv_sysinfo.dll and gpu_architectures.json. FILE
; defaults to syscheck_check.exe; makensis resolves both relative to this
; script's folder (give absolute paths, or -NOCD). Run with /S it shows
; nothing and goes on after "minimal".
;
; Its exit status tells what it did, in NSIS's own codes: 0 installed,
; 1 the person declined after "minimal" (as for a cancel), 2 stopped because
; the machine does not fit or the check could not run (as for an abort).
; Nothing here sets 0 ahead: a page cancelled or a section that aborts
; later still ends the installer with 1 or 2.

; x86 stubs are what every NSIS distribution we know of ships (not all have
; amd64 ones), and a 32-bit installer starts the 64-bit syscheck as well.
!ifndef TARGET
  !define TARGET x86-unicode
!endif
Target ${TARGET}

!include LogicLib.nsh

!ifndef DELIVERABLES
  !error "Give the folder with the three files: makensis -DDELIVERABLES=DIR syscheck_check.nsi"
!endif
!ifndef OUTFILE
  !define OUTFILE "syscheck_check.exe"
!endif
; Read at most this much of the report: once converted it must still fit,
; with the message around it, in one NSIS string.
!define REPORT_MAX_BYTES 768
!define /math REPORT_BUFFER_BYTES ${REPORT_MAX_BYTES} + 1

Name "Проверка системы"
OutFile "${OUTFILE}"
RequestExecutionLevel user
LoadLanguageFile "${NSISDIR}\Contrib\Language files\Russian.nlf"
ShowInstDetails show

Var SyscheckStatus

Page instfiles

Function .onInit
  ; $PLUGINSDIR is a fresh folder under %TEMP% that the installer removes
  ; when it exits, however it exits; no older report can lie in it.
  InitPluginsDir
  SetOutPath "$PLUGINSDIR"
  File "${DELIVERABLES}\syscheck.exe"
  File "${DELIVERABLES}\mrv_sysinfo.dll"
  File "${DELIVERABLES}\gpu_architectures.json"

  ; The library reads gpu_architectures.json from the working directory,
  ; and ExecWait starts the program in $OUTDIR.
  ClearErrors
  ExecWait '"$OUTDIR\syscheck.exe"' $SyscheckStatus
  ${If} ${Errors}
    StrCpy $SyscheckStatus 1  ; it did not start
  ${ElseIf} $SyscheckStatus != 0
  ${AndIf} $SyscheckStatus != 2
    StrCpy $SyscheckStatus 1  ; a crash's exception code, for instance
  ${EndIf}
  ; A working directory cannot be removed: step out of $PLUGINSDIR, or the
  ; installer leaves it behind, empty, when it exits.
  SetOutPath "$TEMP"

  ${If} $SyscheckStatus == 0
    Return
  ${EndIf}
  Call ReadReport
  Pop $0
  ${If} $SyscheckStatus == 2
    StrCpy $1 "Компьютер подходит для распознавания речи с ограничениями."
    ${If} $0 != ""
      StrCpy $1 "$1$\r$\n$\r$\n$0"
    ${EndIf}
    ${If} ${Cmd} `MessageBox MB_YESNO|MB_ICONEXCLAMATION "$1$\r$\n$\r$\nПродолжить установку?" /SD IDYES IDNO`
      SetErrorLevel 1  ; Abort alone would report 2
      Abort
    ${EndIf}
    Return
  ${EndIf}
  ${If} $0 != ""
    MessageBox MB_OK|MB_ICONSTOP "Компьютер не подходит для распознавания речи.$\r$\n$\r$\n$0$\r$\n$\r$\nУстановка прервана." /SD IDOK
  ${Else}
    MessageBox MB_OK|MB_ICONSTOP "Не удалось проверить, подходит ли компьютер для распознавания речи. Установка прервана." /SD IDOK
  ${EndIf}
  Abort  ; NSIS ends with 2
FunctionEnd

; Pushes the text of $PLUGINSDIR\syscheck_report.txt, or "" when there is none.
; The file is UTF-8 without a byte order mark; FileRead would take it for
; the ANSI code page, so its bytes are converted here.
Function ReadReport
  Push $R0
  Push $R1
  Push $R2
  StrCpy $R0 ""
  ClearErrors
  FileOpen $R1 "$PLUGINSDIR\syscheck_report.txt" r
  ${IfNot} ${Errors}
    ; Zero-filled and one byte longer than any read: the text ends in NUL.
    System::Call "kernel32::GlobalAlloc(i 0x40, i ${REPORT_BUFFER_BYTES}) p .R2"
    System::Call "kernel32::ReadFile(p R1, p R2, i ${REPORT_MAX_BYTES}, *i 0, p 0)"
    System::Call "kernel32::MultiByteToWideChar(i 65001, i 0, p R2, i -1, w .R0, i ${NSIS_MAX_STRLEN})"
    System::Call "kernel32::GlobalFree(p R2)"
    FileClose $R1
  ${EndIf}
  Pop $R2
  Pop $R1
  Exch $R0
FunctionEnd

Section
  ; The application's own files go here.
  DetailPrint "Проверка системы завершилась с кодом $SyscheckStatus."
SectionEnd
