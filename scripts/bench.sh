#!/usr/bin/env bash
# Benchmarks (figures, not tests) of the Release builds, for each
# architecture under its Wine on a virtual display of its own: the survey
# against bare IWbemServices listings and the preparation commands apart; the
# program's start-up against a bare window with one 宋体 label, started in
# turns, and what each step of the start-up costs.
#
# usage: bench.sh [SURVEY_RUNS (15; 0 skips the survey)] [STARTUP_RUNS (9)]
#
# 64-bit programs run under /usr/lib/wine/wine64; 32-bit ones under
# scripts/wine-i686 and scripts/wineserver-i686 (or VARNELLO_WINE_I686 and
# VARNELLO_WINESERVER_I686) where these exist, and are reported missing
# otherwise.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${VARNELLO_BUILD_DIR:-$here/build}"
survey_runs="${1:-15}"
startup_runs="${2:-9}"

"$here/scripts/setup.sh"
export WINEPREFIX="${WINEPREFIX:-$HOME/.wine-varnello}" WINEDEBUG=-all WINEDLLOVERRIDES="mshtml=d"
# Wine's ANSI code page 936, given to Wine alone (the host may lack the locale).
chinese=(env LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8)

xvfb_pid=""
cleanup() { [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true; }
trap cleanup EXIT

start_display() {
  local fifo
  fifo="$(mktemp -u)"
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  xvfb_pid=$!
  local number
  read -r -t 20 number <"$fifo"
  rm -f "$fifo"
  export DISPLAY=":$number"
}

bench_arch() {  # arch, build dir, toolchain, wine, wineserver
  local arch="$1" dir="$build/$2" toolchain="$here/cmake/$3" wine="$4" wineserver="$5"
  echo "=== $arch"
  if [ ! -x "$wine" ] || [ ! -x "$wineserver" ]; then
    echo "$arch: figures missing: no Wine runner for $arch ($wine, $wineserver)"
    return 0
  fi
  cmake -S "$here" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$toolchain" >/dev/null
  cmake --build "$dir" -j "$(nproc)" --target varnello survey_bench startup_bench startup_steps minimal_window \
    >/dev/null
  start_display
  cd "$dir/ui"
  if [ "$survey_runs" != 0 ]; then
    echo "== $arch survey"
    "${chinese[@]}" "$wine" ../bench/survey_bench.exe "$survey_runs"
  fi
  echo "== $arch start-up"
  "${chinese[@]}" "$wine" ../bench/startup_bench.exe "Varnello v1.0.exe" ../bench/minimal_window.exe "$startup_runs"
  echo "== $arch start-up, step by step"
  (cd ../bench && "${chinese[@]}" "$wine" startup_steps.exe "$startup_runs")
  # The survey leaves WMI and, under 32-bit Wine, the scripting objects'
  # surrogate (dllhost.exe) running for good: the session is ended here
  # rather than waited for.
  "$wineserver" -k || true
  kill "$xvfb_pid" 2>/dev/null || true
  xvfb_pid=""
}

bench_arch x86_64 bench-win64 toolchain-x86_64-w64-mingw32.cmake /usr/lib/wine/wine64 /usr/lib/wine/wineserver64
bench_arch i686 bench-win32 toolchain-i686-w64-mingw32.cmake "${VARNELLO_WINE_I686:-$here/scripts/wine-i686}" \
  "${VARNELLO_WINESERVER_I686:-$here/scripts/wineserver-i686}"
