#!/usr/bin/env bash
# Installs what building, running and testing Varnello needs on Debian:
# compilers for both Windows targets, Wine, a virtual display with Chinese
# fonts, and the tools the tests drive and photograph the window with.
set -euo pipefail

packages=(
  cmake g++ make googletest file
  clang libclang-rt-14-dev
  g++-mingw-w64-i686 g++-mingw-w64-x86-64
  wine wine64
  xvfb xdotool imagemagick fonts-wqy-zenhei
  python3 python3-pil
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# Never wine32: this kernel cannot run 32-bit code, and with it installed the
# plain `wine` command would pick it.
if dpkg-query -W -f='${Status}' wine32 2>/dev/null | grep -q "install ok installed"; then
  echo "setup: wine32 is installed; 64-bit programs are run with /usr/lib/wine/wine64 regardless" >&2
fi

# A Wine prefix of our own, made once (about 10 s), with the font that
# stands in for SimSun.
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
export WINEPREFIX="${WINEPREFIX:-$HOME/.wine-varnello}" WINEDEBUG=-all
if [ ! -f "$WINEPREFIX/.varnello-ready" ]; then
  echo "setup: preparing the Wine prefix $WINEPREFIX"
  /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1 || true
  reg="$(mktemp --suffix=.reg)"
  { printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE "$here/wine-fonts.reg"; } >"$reg"
  /usr/lib/wine/wine64 regedit /S "$(/usr/lib/wine/wine64 winepath -w "$reg" 2>/dev/null)" >/dev/null 2>&1
  /usr/lib/wine/wineserver64 -w 2>/dev/null || true
  rm -f "$reg"
  touch "$WINEPREFIX/.varnello-ready"
fi
