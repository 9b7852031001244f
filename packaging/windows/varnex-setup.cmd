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
rem Nothing is ever removed or overwritten. Exit code 0: done; 1: a directory could not be
rem created; 2: the permission could not be granted; 3: varnex.ini could not be created.
setlocal EnableExtensions
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

if exist "%program%\varnex.ini" exit /b 0
copy /y "%program%\varnex.ini.example" "%program%\varnex.ini" >nul
if not exist "%program%\varnex.ini" exit /b 3
exit /b 0

:usage
echo usage: varnex-setup.cmd PROGRAM_DIR DATA_DIR [ACCOUNT] 1>&2
exit /b 1
