@echo off
rem Prepares a varnex installation; the installer runs it (as LocalSystem) after copying the
rem files, and an administrator may run it by hand for a copy unpacked from the zip:
rem
rem   varnex-setup.cmd PROGRAM_DIR DATA_DIR [ACCOUNT]
rem
rem - DATA_DIR, when it does not exist yet, is created and ACCOUNT (default *S-1-5-19, the
rem   built-in LOCAL SERVICE account that the shipped scheduled task runs as) is given the right
rem   to modify everything in it, inherited by all that is created there later. An existing
rem   DATA_DIR keeps its permissions: changes made by the administrator survive upgrades.
rem - DATA_DIR\input, output, backup and log are created when missing.
rem - PROGRAM_DIR\varnex.ini is copied from varnex.ini.example when there is none, so that an
rem   edited varnex.ini survives every upgrade and repair.
rem - PROGRAM_DIR\varnex-task.xml, the scheduled task an administrator imports, is written anew
rem   from varnex-task.xml.template with "PROGRAM_DIR\varnex.exe" as its command and DATA_DIR as
rem   its working directory: UTF-8 without a byte-order mark, the console switched to code page
rem   65001 while it is written (where that fails, a name outside ASCII comes out in the console's
rem   code page). The installer's removal deletes it.
rem Nothing else is ever removed or overwritten. Exit code 0: done; 1: a directory could not be
rem created; 2: the permission could not be granted; 3: varnex.ini could not be created; 4: the
rem task definition could not be written.
setlocal EnableExtensions DisableDelayedExpansion
set "program=%~1"
set "data=%~2"
set "account=%~3"
if not defined program goto usage
if not defined data goto usage
if not defined account set "account=*S-1-5-19"
if "%program:~-1%"=="\" set "program=%program:~0,-1%"
if "%data:~-1%"=="\" set "data=%data:~0,-1%"

if exist "%data%\" goto subdirs
mkdir "%data%"
if not exist "%data%\" exit /b 1
icacls "%data%" /grant "%account%:(OI)(CI)M" /q >nul
if errorlevel 1 (
  rem Removed again, so that the next attempt grants the permission.
  rmdir "%data%"
  exit /b 2
)
:subdirs
for %%d in (input output backup log) do (
  if not exist "%data%\%%d\" mkdir "%data%\%%d"
  if not exist "%data%\%%d\" exit /b 1
)

if not exist "%program%\varnex.ini" (
  copy /y "%program%\varnex.ini.example" "%program%\varnex.ini" >nul
  if not exist "%program%\varnex.ini" exit /b 3
)

rem Each template line is split at "@": a line with a value to fill in is the text before, the
rem value's name, and the text after. The values go through a for variable, so that no "&",
rem "!", "^" or parenthesis of a path is taken as syntax; "&" is the one character of a path
rem that XML needs escaped. for /f drops empty lines; the template has none.
set "template=%program%\varnex-task.xml.template"
set "task=%program%\varnex-task.xml"
set "command=%program:&=&amp;%\varnex.exe"
set "workdir=%data:&=&amp;%"
if not exist "%template%" exit /b 4
set "codepage="
for /f "tokens=2 delims=:." %%c in ('chcp') do set "codepage=%%c"
chcp 65001 >nul 2>&1
rem Made anew and empty: every line is appended.
if exist "%task%" del /f /q "%task%"
type nul > "%task%"
if not exist "%task%" goto taskfailed
for /f "usebackq tokens=1,2,* delims=@ eol=|" %%a in ("%template%") do (
  if "%%b"=="" >>"%task%" echo %%a
  if "%%b"=="COMMAND" for %%v in ("%command%") do >>"%task%" echo %%a"%%~v"%%c
  if "%%b"=="DATA_DIR" for %%v in ("%workdir%") do >>"%task%" echo %%a%%~v%%c
)
if defined codepage chcp %codepage% >nul 2>&1
exit /b 0

:taskfailed
if defined codepage chcp %codepage% >nul 2>&1
exit /b 4

:usage
echo usage: varnex-setup.cmd PROGRAM_DIR DATA_DIR [ACCOUNT] 1>&2
exit /b 1
