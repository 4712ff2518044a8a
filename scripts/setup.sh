#!/usr/bin/env bash
# Installs what building, running and testing Varnello needs on Debian:
# compilers for both Windows targets, Wine, a virtual display with Chinese
# fonts, and the tools the tests drive and photograph the window with; then
# the 32-bit Wine and a Wine prefix for each architecture.
set -euo pipefail

# Names that Debian 12 and 13 both have. The fuzzing runtime is named after
# the clang it belongs to (14 on Debian 12, 19 on 13), so it follows once
# clang is there.
packages=(
  cmake g++ make googletest file
  clang
  g++-mingw-w64-i686 g++-mingw-w64-x86-64
  wine wine64
  xvfb xdotool xclip imagemagick fonts-wqy-zenhei fonts-wine locales
  python3 python3-pil
)

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
updated=""
install_missing() {  # packages...
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  ((${#missing[@]})) || return 0
  echo "setup: installing ${missing[*]} (a few minutes on a new machine)"
  [ -n "$updated" ] || $sudo apt-get update -qq
  updated=1
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
}
install_missing "${packages[@]}"
clang_major="$(clang --version | sed -n 's/.*clang version \([0-9]*\).*/\1/p' | head -n 1)"
install_missing "libclang-rt-$clang_major-dev"

# Wine takes its ANSI code page (936) from the locale the scripts give it,
# zh_CN.UTF-8; without it the C library falls back to C, and every bash
# started with it warns that it cannot set it.
if ! locale -a 2>/dev/null | grep -qix 'zh_CN\.utf-\?8'; then
  echo "setup: generating the zh_CN.UTF-8 locale"
  grep -qx 'zh_CN.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null || echo 'zh_CN.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
  $sudo locale-gen >/dev/null
fi

# Never wine32 on the host: with it installed the plain `wine` command would
# pick it. 32-bit programs get Wine of their own, below.
if dpkg-query -W -f='${Status}' wine32 2>/dev/null | grep -q "install ok installed"; then
  echo "setup: wine32 is installed; 64-bit programs are run with /usr/lib/wine/wine64 regardless" >&2
fi

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

# The 32-bit Wine, in an i386 root of its own (made once; see the script).
"$here/setup-i386-wine.sh"

# A Wine prefix of our own for each architecture, made once (about 10 s
# each), with the font that stands in for SimSun and keyboard cues as
# Windows has them. The 32-bit one is
# "$WINEPREFIX-i686".
export WINEPREFIX="${WINEPREFIX:-$HOME/.wine-varnello}" WINEDEBUG=-all
i386_cache="${VARNELLO_CACHE:-$HOME/.cache/varnello}/i386"
prefix_failed() {  # prefix, wine, what failed, status
  echo "setup: the Wine prefix $1 was not made: '$2 $3' exited with status $4" >&2
  [ ! -s "$wine_errors" ] || sed 's/^/  /' "$wine_errors" | tail -n 5 >&2
  if [ "$2" = "$here/wine-i686" ]; then
    echo "setup: the 32-bit Wine in $i386_cache may be broken: remove that folder and run setup again," \
      "or try VARNELLO_I386_MODE=qemu (or native)" >&2
  fi
  echo "setup: remove $1 before trying again" >&2
  exit 1
}
# A prefix is made once and given the settings of wine-prefix.reg again
# whenever they change.
settings="$(sha256sum "$here/wine-prefix.reg" | cut -c1-16)"
wine_errors="$(mktemp)"
trap 'rm -f "$wine_errors"' EXIT
prepare_prefix() {  # prefix, wine, wineserver
  local prefix="$1" wine="$2" server="$3" status=0
  [ "$(cat "$prefix/.varnello-ready" 2>/dev/null)" != "$settings" ] || return 0
  if [ ! -f "$prefix/system.reg" ]; then
    echo "setup: preparing the Wine prefix $prefix (about 10 s; a minute or more where 32-bit code is emulated)"
    "$wine" wineboot -i >/dev/null 2>"$wine_errors" || status=$?
    ((status == 0)) || prefix_failed "$prefix" "$wine" "wineboot -i" "$status"
  else
    echo "setup: new settings for the Wine prefix $prefix"
  fi
  local reg windows_reg
  reg="$(mktemp --suffix=.reg)"
  { printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE "$here/wine-prefix.reg"; } >"$reg"
  windows_reg="$("$wine" winepath -w "$reg" 2>/dev/null)" || status=$?
  ((status == 0)) || prefix_failed "$prefix" "$wine" "winepath -w $reg" "$status"
  "$wine" regedit /S "$windows_reg" >/dev/null 2>"$wine_errors" || status=$?
  ((status == 0)) || prefix_failed "$prefix" "$wine" "regedit /S $windows_reg" "$status"
  "$server" -w 2>/dev/null || true
  rm -f "$reg"
  # The registry reaches system.reg once the server has saved it.
  [ -f "$prefix/system.reg" ] && [ -d "$prefix/drive_c/windows/system32" ] ||
    prefix_failed "$prefix" "$wine" "wineboot -i" "0 but left no system.reg or drive_c/windows/system32"
  echo "$settings" >"$prefix/.varnello-ready"
}
prepare_prefix "$WINEPREFIX" /usr/lib/wine/wine64 /usr/lib/wine/wineserver64
prepare_prefix "$WINEPREFIX-i686" "$here/wine-i686" "$here/wineserver-i686"
# Wine draws the caption's buttons with Marlett, which neither Wine finds
# here (the 32-bit root leaves Debian's fonts-wine out, and the 64-bit Wine
# misses the host's): each prefix gets the host's copy, those made earlier
# too.
for fonts in "$WINEPREFIX/drive_c/windows/Fonts" "$WINEPREFIX-i686/drive_c/windows/Fonts"; do
  [ -f "$fonts/marlett.ttf" ] || { mkdir -p "$fonts" && cp /usr/share/wine/fonts/marlett.ttf "$fonts/"; }
done
