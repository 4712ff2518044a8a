#!/usr/bin/env bash
# Benchmarks (figures, not tests), under wine64 on a virtual display: the
# survey against bare IWbemServices listings and the preparation commands
# apart; the program's start-up against a minimal Win32 window.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${VARNELLO_BUILD_DIR:-$here/build}"
"$here/scripts/setup.sh"
cmake -S "$here" -B "$build/win64" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE="$here/cmake/toolchain-x86_64-w64-mingw32.cmake" >/dev/null
cmake --build "$build/win64" -j "$(nproc)" --target varnello survey_bench startup_bench minimal_window
export WINEPREFIX="${WINEPREFIX:-$HOME/.wine-varnello}" WINEDEBUG=-all WINEDLLOVERRIDES="mshtml=d"
export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
cd "$build/win64/ui"
echo "== survey"
xvfb-run -a /usr/lib/wine/wine64 ../bench/survey_bench.exe "${1:-15}"
echo "== start-up"
xvfb-run -a /usr/lib/wine/wine64 ../bench/startup_bench.exe "Varnello v1.0.exe" ../bench/minimal_window.exe "${2:-9}"
