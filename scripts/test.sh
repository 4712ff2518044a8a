#!/usr/bin/env bash
# Builds everything and runs every test: the portable code natively (plain,
# and under AddressSanitizer and UndefinedBehaviorSanitizer), a bounded
# fuzzing run, and the Windows builds for x86_64 and i686 with the same tests
# each (unit tests, the survey against Wine's WMI, screenshots and end-to-end
# runs under Xvfb): 64-bit under wine64, 32-bit under scripts/wine-i686.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${VARNELLO_BUILD_DIR:-$here/build}"
jobs="$(nproc)"
fuzz_seconds="${VARNELLO_FUZZ_SECONDS:-60}"

"$here/scripts/setup.sh"
export WINEPREFIX="${WINEPREFIX:-$HOME/.wine-varnello}" WINEDEBUG=-all

step() { printf '\n=== %s\n' "$*"; }

configure_build() {  # dir, cmake args...
  local dir="$1"; shift
  cmake -S "$here" -B "$build/$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$build/$dir" -j "$jobs"
}

step "native build and tests"
configure_build native
ctest --test-dir "$build/native" --output-on-failure -j "$jobs"

step "native tests under AddressSanitizer and UndefinedBehaviorSanitizer"
# GCC 12 reports std::variant members as maybe uninitialised under the
# sanitizers' instrumentation only; the plain builds keep the warning.
configure_build asan -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer -Wno-maybe-uninitialized"
ctest --test-dir "$build/asan" --output-on-failure -j "$jobs"

step "fuzzing number reading, size texts, the picture readers and the SMBIOS reader for ${fuzz_seconds} s each"
CC=clang CXX=clang++ configure_build fuzz -DVARNELLO_FUZZ=ON -DVARNELLO_BUILD_TESTS=OFF
mkdir -p "$build/fuzz/corpus-value" "$build/fuzz/corpus-pictures" "$build/fuzz/corpus-smbios"
"$build/fuzz/fuzz/fuzz_value" -max_total_time="$fuzz_seconds" -max_len=4096 -print_final_stats=1 \
  "$build/fuzz/corpus-value" 2>&1 | tail -n 3
# Seeded with the art, so that the readers start from the formats they read.
"$build/fuzz/fuzz/fuzz_pictures" -max_total_time="$fuzz_seconds" -max_len=65536 -print_final_stats=1 \
  "$build/fuzz/corpus-pictures" "$here/assets" 2>&1 | tail -n 3
"$build/fuzz/fuzz/fuzz_smbios" -max_total_time="$fuzz_seconds" -max_len=8192 -print_final_stats=1 \
  "$build/fuzz/corpus-smbios" 2>&1 | tail -n 3

# The same Windows tests for both architectures; the 32-bit ones under the
# 32-bit Wine that setup.sh prepared (natively or emulated, as it says).
cache="${VARNELLO_CACHE:-$HOME/.cache/varnello}/i386"
i386_mode="$(cat "$cache/mode" 2>/dev/null || echo "not available (see scripts/setup-i386-wine.sh)")"
for arch in x86_64 i686; do
  if [ "$arch" = x86_64 ]; then
    dir=win64; how="under wine64"
  else
    dir=win32; how="under 32-bit Wine (32-bit code runs $i386_mode)"
  fi
  step "$arch Windows build and tests $how"
  started=$SECONDS
  configure_build "$dir" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/toolchain-$arch-w64-mingw32.cmake"
  ctest --test-dir "$build/$dir" --output-on-failure
  echo "screenshots: $build/$dir/screenshots"
  echo "$arch build and tests: $((SECONDS - started)) s"
done
step "the programs as shipped: Release builds, stripped"
# What users get: their sizes (the i686 program within 1.2 MB, else the build
# fails) and their imports read for Windows XP.
for arch in i686 x86_64; do
  dir="release-$arch"
  cmake -S "$here" -B "$build/$dir" -DCMAKE_BUILD_TYPE=Release -DVARNELLO_BUILD_TESTS=OFF \
    -DCMAKE_TOOLCHAIN_FILE="$here/cmake/toolchain-$arch-w64-mingw32.cmake" >/dev/null
  echo "$arch:"
  if ! cmake --build "$build/$dir" -j "$jobs" >"$build/$dir.log" 2>&1; then
    cat "$build/$dir.log"
    exit 1
  fi
  grep -E " bytes" "$build/$dir.log"
  python3 "$here/tests/check_xp.py" "$here/tests/xp_exports.txt" \
    --window "$build/$dir/ui/Varnello v1.0.exe" --console "$build/$dir/survey/varnello-survey.exe"
done

step "the download: an archive of each Release build"
# build/dist holds the archives and their SHA256SUMS; the 32-bit one, the
# one users get, is unpacked into a fresh folder and started there.
rm -rf "$build/dist"
for arch in i686 x86_64; do
  (cd "$build/release-$arch" && cpack -B "$build/dist" >/dev/null)
done
rm -rf "$build/dist/_CPack_Packages"
(cd "$build/dist" && sha256sum Varnello-1.0-win32.zip Varnello-1.0-win64.zip >SHA256SUMS && cat SHA256SUMS)
VARNELLO_WINE="$here/scripts/wine-i686" VARNELLO_WINESERVER="$here/scripts/wineserver-i686" VARNELLO_TIMEOUT_FACTOR=3 \
  /usr/bin/python3 "$here/tests/wine/unpacked_test.py" "$build/dist/Varnello-1.0-win32.zip" "$build/release-i686"

printf '\nall tests passed; 32-bit code ran %s\n' "$i386_mode"
