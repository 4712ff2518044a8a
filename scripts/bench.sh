#!/usr/bin/env bash
# Benchmarks (figures, not tests), for the 32-bit and the 64-bit build under
# Wine on a virtual display: the survey against bare IWbemServices listings
# and the preparation commands apart; the program's start-up against a
# minimal Win32 window. VARNELLO_BENCH_ARCHS picks the architectures.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${VARNELLO_BUILD_DIR:-$here/build}"
"$here/scripts/setup.sh"
export WINEPREFIX="${WINEPREFIX:-$HOME/.wine-varnello}" WINEDEBUG=-all WINEDLLOVERRIDES="mshtml=d"
export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
# Each architecture's figures against baselines built for the same one, side
# by side in one run; 32-bit under scripts/wine-i686.
for arch in ${VARNELLO_BENCH_ARCHS:-i686 x86_64}; do
  case "$arch" in
    i686) dir=win32 wine="$here/scripts/wine-i686" ;;
    x86_64) dir=win64 wine=/usr/lib/wine/wine64 ;;
  esac
  cmake -S "$here" -B "$build/$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE="$here/cmake/toolchain-$arch-w64-mingw32.cmake" >/dev/null
  cmake --build "$build/$dir" -j "$(nproc)" --target varnello survey_bench startup_bench minimal_window
  cd "$build/$dir/ui"
  echo "== $arch survey"
  xvfb-run -a "$wine" ../bench/survey_bench.exe "${1:-15}"
  echo "== $arch start-up"
  xvfb-run -a "$wine" ../bench/startup_bench.exe "Varnello v1.0.exe" ../bench/minimal_window.exe "${2:-9}"
done
