@echo off
rem The check of this station's competition databases, from the Start menu: jumpdb check
rem through the station's own alias file, in a window that stays until a key is pressed.
rem jumpdb writes UTF-8, which the console shows with code page 65001.
chcp 65001 >nul
"%~dp0jumpdb.exe" check
echo.
pause
