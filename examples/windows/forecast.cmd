@echo off
rem Starts qeloweather.exe for a city, waits for it with a time limit, and shows the forecast
rem file it wrote.
rem
rem   forecast.cmd CITY [FOLDER]
rem
rem FOLDER is where qeloweather.exe lies (default: the folder of this script, else the top of the
rem unpacked release archive, two folders up); the forecast file qeloweather.ini is written
rem beside it. Exit code 0 when the file is fresh, 1 when it is not.
setlocal enableextensions
if "%~1"=="" (
  echo usage: forecast.cmd CITY [FOLDER] 1>&2
  exit /b 2
)
set "city=%~1"
set "folder=%~2"
for %%f in ("%~dp0..\..") do set "top=%%~ff"
if "%folder%"=="" if not exist "%~dp0qeloweather.exe" if exist "%top%\qeloweather.exe" set "folder=%top%"
if "%folder%"=="" set "folder=%~dp0"
if not "%folder:~-1%"=="\" set "folder=%folder%\"
set "exe=%folder%qeloweather.exe"
set "ini=%folder%qeloweather.ini"
if not exist "%exe%" (
  echo forecast.cmd: no %exe% 1>&2
  exit /b 2
)

rem The file's time and update time before the run: a run that writes the file changes them.
call :stamp before

rem The program always exits with 0, so its exit code tells nothing. After a failure it stays,
rem hidden, until its five-minute watchdog ends it: do not wait for its end without a limit.
rem A second command processor starts it, waits for its end and then leaves a marker file.
set "done=%TEMP%\qeloweather-%RANDOM%%RANDOM%.done"
if exist "%done%" del "%done%"
start "" /b cmd /c ""%exe%" "%city%" & echo.>"%done%""

rem Wait up to about 60 seconds (ping waits about a second between its echo requests).
set /a waited=0
:wait
if exist "%done%" goto ended
if %waited% geq 60 goto late
ping -n 2 127.0.0.1 >nul
set /a waited+=1
goto wait

:late
echo forecast.cmd: qeloweather.exe has not ended after %waited% s: the download failed or hangs. 1>&2
echo The file below is from an earlier run; the program ends by itself when its watchdog fires. 1>&2
call :show
exit /b 1

:ended
del "%done%"
call :stamp after
if "%after%"=="%before%" (
  echo forecast.cmd: the run wrote nothing: "%city%" is not a city of the table. 1>&2
  exit /b 1
)
call :show
exit /b 0

rem Shows the file. Not every command processor's `type` reads UTF-16 text (Wine's does not), so
rem a small script copies the text into the system code page first.
:show
if not exist "%ini%" exit /b 0
set "shown=%TEMP%\qeloweather-%RANDOM%%RANDOM%.txt"
cscript //nologo "%~dp0show-ini.js" copy "%ini%" "%shown%"
type "%shown%"
del "%shown%"
exit /b 0

:stamp
set "%1=none"
for /f "delims=" %%s in ('cscript //nologo "%~dp0show-ini.js" stamp "%ini%"') do set "%1=%%s"
exit /b 0
