#!/bin/sh
# Makes the Wine prefix the Windows tests run in (WINEPREFIX, set by the caller) and
# gives it the null graphics driver: no display is needed, and message boxes and COM's
# hidden windows still exist, invisible. Usage: make_wine_prefix.sh WINE_LOADER
set -eu
wine=$1
"$wine" wineboot -i >/dev/null 2>&1
"$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null
# A crashing program prints its backtrace and ends, instead of waiting on a crash
# dialog nobody can see until the test's time runs out.
"$wine" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null
# The desktop wineboot started still uses the driver it found; ending the prefix's
# server ends it, and the next program starts one with the null driver.
server=$(dirname "$wine")/wineserver
[ -x "$server" ] || server=wineserver
"$server" -k || true
"$server" -w
