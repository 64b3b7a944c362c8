# shellcheck shell=bash disable=SC2034
# Shared by the scripts in this folder (sourced, not run).

CORVANE_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
CORVANE_WINE="${CORVANE_WINE:-/usr/lib/wine/wine64}"
CORVANE_WINESERVER="${CORVANE_WINESERVER:-/usr/lib/wine/wineserver}"

log() { printf '== %s\n' "$*" >&2; }

# Installs the Debian packages among "$@" that are not installed yet: one apt-get update, one
# apt-get install. Needs root (or sudo) when something is missing.
ensure_packages() {
  local missing=() pkg
  for pkg in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q '^install ok installed$'; then
      missing+=("$pkg")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  log "installing: ${missing[*]}"
  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then sudo=(sudo); fi
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update -q
  "${sudo[@]}" apt-get install -y -q "${missing[@]}"
}

# The packages the Windows builds and the Wine runs need.
CORVANE_WINDOWS_PACKAGES=(
  cmake make file binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix googletest
  wine wine64 xvfb imagemagick fonts-wqy-microhei fontconfig icoutils xdotool
)

# Starts Xvfb on the first free display from $1 on (screen size $2) and sets DISPLAY and
# CORVANE_XVFB_PID. The caller stops it with stop_xvfb.
start_xvfb() {
  local n="${1:-90}" size="${2:-1280x1024x24}"
  while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 "$size" -nolisten tcp -ac >/dev/null 2>&1 &
  CORVANE_XVFB_PID=$!
  local _
  for _ in $(seq 1 100); do
    if [ -e "/tmp/.X11-unix/X$n" ]; then
      export DISPLAY=":$n"
      return 0
    fi
    if ! kill -0 "$CORVANE_XVFB_PID" 2>/dev/null; then break; fi
    sleep 0.1
  done
  log "Xvfb did not start on :$n"
  return 1
}

stop_xvfb() {
  if [ -n "${CORVANE_XVFB_PID:-}" ]; then
    kill "$CORVANE_XVFB_PID" 2>/dev/null || true
    wait "$CORVANE_XVFB_PID" 2>/dev/null || true
    CORVANE_XVFB_PID=
  fi
}
