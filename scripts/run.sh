#!/usr/bin/env bash
# Sets up what is missing, builds the Windows program and runs it under Wine
# inside an explorer desktop (which gives it a notification
# area), on $DISPLAY if there is one and on a virtual display otherwise. On
# a virtual display a screenshot is saved to build/screenshots/run.png once
# the window is on screen (Wine's first start in a new prefix takes a while,
# longer where 32-bit code is emulated). The program runs until it is ended
# (or Ctrl-C).
#
# The 32-bit program, the one users get, runs by default (under
# scripts/wine-i686); VARNELLO_ARCH=x86_64 runs the 64-bit one under wine64.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${VARNELLO_BUILD_DIR:-$here/build}"

"$here/scripts/setup.sh"
arch="${VARNELLO_ARCH:-i686}"
case "$arch" in
  i686) dir=win32 wine="$here/scripts/wine-i686" wineserver="$here/scripts/wineserver-i686" ;;
  x86_64) dir=win64 wine=/usr/lib/wine/wine64 wineserver=/usr/lib/wine/wineserver64 ;;
  *) echo "run: VARNELLO_ARCH is i686 or x86_64" >&2; exit 1 ;;
esac
cmake -S "$here" -B "$build/$dir" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$here/cmake/toolchain-$arch-w64-mingw32.cmake" >/dev/null
cmake --build "$build/$dir" -j "$(nproc)" --target varnello

export WINEPREFIX="${WINEPREFIX:-$HOME/.wine-varnello}" WINEDEBUG=-all
export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8  # Wine's ANSI code page 936
# Without Wine's Gecko the announcement strip cannot show a page, and Wine
# would offer to download Gecko; VARNELLO_WEB_VIEW=1 lets it.
[ "${VARNELLO_WEB_VIEW:-0}" = 1 ] || export WINEDLLOVERRIDES="mshtml=d"

xvfb_pid=""
if [ -z "${DISPLAY:-}" ]; then
  Xvfb :77 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=:77
  sleep 1
  echo "run: no display; running on the virtual display $DISPLAY"
fi
cleanup() {
  "$wineserver" -k 2>/dev/null || true
  [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT

cd "$build/$dir/ui"
"$wine" explorer /desktop=Varnello,1000x740 "Varnello v1.0.exe" &
program=$!
if [ -n "$xvfb_pid" ]; then
  # The window is there once the screen holds its art's many colours, not
  # just the desktop's few.
  mkdir -p "$build/screenshots"
  shot="$build/screenshots/run.png"
  shown=""
  for _ in $(seq 120); do
    sleep 1
    import -window root "$shot" 2>/dev/null || continue
    if /usr/bin/python3 -c 'import sys; from PIL import Image
sys.exit(len(Image.open(sys.argv[1]).convert("RGB").getcolors(1 << 24)) < 500)' "$shot"; then
      shown=1
      break
    fi
  done
  if [ -n "$shown" ]; then
    echo "run: screenshot saved to $shot"
  else
    echo "run: the window did not appear within 120 s; the last screenshot is $shot" >&2
  fi
fi
wait "$program"
