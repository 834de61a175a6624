# Shared by the project's scripts: sourced, never run.
# Installs what a fresh Debian 12 machine lacks, builds, and runs Windows programs under Wine
# on a display of their own.

VELLMAR_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=${VELLMAR_BUILD_DIR:-$VELLMAR_ROOT/build}
BIN_DIR=$BUILD_DIR/bin
WEBBROWSER_CLSID='{8856F961-340A-11D0-A96B-00C04FD705A2}'

log() { printf '== %s\n' "$*" >&2; }

as_root() {
  if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi
}

# Debian packages the build and the tests need, with a command that proves each is there.
ensure_deps() {
  local missing=()
  command -v cmake >/dev/null || missing+=(cmake)
  command -v i686-w64-mingw32-g++-posix >/dev/null || missing+=(g++-mingw-w64-i686)
  command -v i686-w64-mingw32-widl >/dev/null || missing+=(mingw-w64-tools)
  [ -d /usr/src/googletest/googletest ] || missing+=(googletest)
  command -v Xvfb >/dev/null || missing+=(xvfb)
  command -v xdotool >/dev/null || missing+=(xdotool)
  command -v import >/dev/null || missing+=(imagemagick)
  command -v wrestool >/dev/null || missing+=(icoutils)
  fc-list 2>/dev/null | grep -qi 'wqy' || missing+=(fonts-wqy-microhei)
  if ! command -v wine >/dev/null || ! dpkg -s wine32:i386 >/dev/null 2>&1; then
    missing+=(wine wine32:i386)
  fi
  [ ${#missing[@]} -eq 0 ] && return 0
  log "installing: ${missing[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    as_root dpkg --add-architecture i386
  fi
  as_root apt-get update -q
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
}

build() {
  log "building in $BUILD_DIR"
  if [ ! -f "$BUILD_DIR/CMakeCache.txt" ]; then
    cmake -S "$VELLMAR_ROOT" -B "$BUILD_DIR" \
      -DCMAKE_TOOLCHAIN_FILE="$VELLMAR_ROOT/cmake/mingw-i686.cmake" \
      -DCMAKE_CROSSCOMPILING_EMULATOR="$VELLMAR_ROOT/tests/support/wine-exec" >/dev/null
  fi
  cmake --build "$BUILD_DIR" -j "${VELLMAR_JOBS:-2}"
}

# A Wine prefix of the project's own, made once and kept: crash dialogs off (a crash then
# ends the process instead of blocking on a dialog), and windows not handed to an X window
# manager (there is none under Xvfb, and Wine then waits 2 s on every hidden top-level window
# for the manager's answer).
PREFIX_VERSION=3
make_prefix() {
  local prefix=$1
  [ -f "$prefix/.vellmar-ready-$PREFIX_VERSION" ] && return 0
  log "creating Wine prefix $prefix"
  rm -rf "$prefix"
  mkdir -p "$prefix"
  WINEPREFIX=$prefix WINEDEBUG=-all timeout -k 5 300 wineboot -i </dev/null >/dev/null 2>&1
  WINEPREFIX=$prefix WINEDEBUG=-all timeout -k 5 60 wine reg add 'HKCU\Software\Wine\WineDbg' \
    /v ShowCrashDialog /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1
  WINEPREFIX=$prefix WINEDEBUG=-all timeout -k 5 60 wine reg add 'HKCU\Software\Wine\X11 Driver' \
    /v Managed /d N /f </dev/null >/dev/null 2>&1
  # Chinese text in the dialogs' own fonts, which Wine lacks: without them it draws boxes.
  # regedit reads the Chinese names intact from UTF-16.
  iconv -f UTF-8 -t UTF-16 "$VELLMAR_ROOT/scripts/wine-fonts.reg" > "$prefix/vellmar-fonts.reg"
  WINEPREFIX=$prefix WINEDEBUG=-all timeout -k 5 60 wine regedit /S "$(winpath "$prefix/vellmar-fonts.reg")" \
    </dev/null >/dev/null 2>&1
  WINEPREFIX=$prefix wineserver -w
  touch "$prefix/.vellmar-ready-$PREFIX_VERSION"
}

# Windows path of a file on the Linux side (Wine maps / to Z:).
winpath() { printf 'Z:%s' "$(readlink -f "$1" | sed 's#/#\\#g')"; }

# Registers (or, with no DLL, removes) the stand-in browser control in a prefix. Only test
# and demo prefixes ever get it.
register_standin() {
  local prefix=$1 dll=$2 key="HKLM\\Software\\Classes\\CLSID\\$WEBBROWSER_CLSID\\InprocServer32"
  if [ -n "$dll" ]; then
    WINEPREFIX=$prefix WINEDEBUG=-all timeout -k 5 60 wine reg add "$key" /ve /d "$(winpath "$dll")" /f </dev/null >/dev/null 2>&1
    WINEPREFIX=$prefix WINEDEBUG=-all timeout -k 5 60 wine reg add "$key" /v ThreadingModel /d Apartment /f </dev/null >/dev/null 2>&1
    # The wineserver and the desktop those calls started lack the display the tests get
    # later; a test starting within their lingering time would reuse them and make no windows.
    WINEPREFIX=$prefix wineserver -w
  fi
}

# Starts Xvfb on a display nobody uses and exports DISPLAY; stop_xvfb ends it.
XVFB_PID=
start_xvfb() {
  local n
  for n in $(seq "${VELLMAR_DISPLAY_BASE:-40}" 250); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
    XVFB_PID=$!
    for _ in $(seq 50); do
      [ -e "/tmp/.X11-unix/X$n" ] && { export DISPLAY=":$n"; return 0; }
      kill -0 "$XVFB_PID" 2>/dev/null || break
      sleep 0.1
    done
    kill "$XVFB_PID" 2>/dev/null; XVFB_PID=
  done
  log "no free X display"; return 1
}
stop_xvfb() { [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null; XVFB_PID=; }

# Wine's helper processes (services, explorer) inherit the first caller's output; start them
# with nothing attached so that test runners do not wait on their pipes.
start_wine() {
  local prefix=$1
  WINEPREFIX=$prefix WINEDEBUG=-all timeout -k 5 120 wine cmd /c exit </dev/null >/dev/null 2>&1 || true
}
stop_wine() { WINEPREFIX=$1 wineserver -k 2>/dev/null || true; }
