#!/usr/bin/env bash
# Registers the stand-in WebBrowser control in a TEST Wine prefix (never in a
# prefix a person uses): HKLM\Software\Classes\CLSID\{8856F961-...}\InprocServer32
# = the DLL's Windows path, ThreadingModel = Apartment. A 32-bit prefix has no
# Wow6432Node. Usage: register-standin.sh PREFIX path/to/standin-browser.dll
set -euo pipefail
[ $# -eq 2 ] || { echo "usage: $0 PREFIX DLL" >&2; exit 2; }
prefix=$1
dll=$(readlink -f "$2")
[ -f "$dll" ] || { echo "no such DLL: $2" >&2; exit 1; }
winpath="Z:$(printf '%s' "$dll" | sed 's#/#\\#g')"
key='HKLM\Software\Classes\CLSID\{8856F961-340A-11D0-A96B-00C04FD705A2}\InprocServer32'
export WINEPREFIX=$prefix WINEDEBUG=-all
timeout -k 5 60 wine reg add "$key" /ve /d "$winpath" /f </dev/null >/dev/null
timeout -k 5 60 wine reg add "$key" /v ThreadingModel /d Apartment /f </dev/null >/dev/null
echo "registered $winpath in $prefix"
