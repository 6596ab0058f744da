@echo off
rem demo.cmd GTX-FILE: makes a source model of a GTX geoid grid (egm96_15.gtx
rem from PROJ's data, for one) in the folder "demo" beside this file, cuts a
rem custom geoid of Japan out of it and checks it at a point in Tokyo. The
rem settings go to demo.ini beside this file.
rem (Each step is checked with "if errorlevel", which every cmd honours.)
setlocal
if "%~1"=="" (
  echo usage: demo.cmd GTX-FILE
  echo   GTX-FILE: a GTX geoid grid, such as egm96_15.gtx from https://cdn.proj.org
  exit /b 2
)
set "here=%~dp0"
if not exist "%here%demo" mkdir "%here%demo"
"%here%tessmar-cli.exe" --settings "%here%demo.ini" --data-dir "%here%demo" import-gtx "%~1" --name demo --title "Demo model" --overwrite
if errorlevel 1 exit /b 1
"%here%tessmar-cli.exe" --settings "%here%demo.ini" --output japan convert --south 30 --north 46 --west 128 --east 146 --overwrite
if errorlevel 1 exit /b 1
"%here%tessmar-cli.exe" --settings "%here%demo.ini" --output japan check --lat "35 41 N" --lon "139 46 E"
if errorlevel 1 exit /b 1
