#!/usr/bin/env bash
# Prepares the 32-bit Wine that scripts/wine-i686 runs: Debian's own i386
# Wine, the same version as the host's 64-bit one, unpacked with everything
# it links against into an i386 root under ~/.cache/varnello/i386 (about
# 140 MB to download, 730 MB unpacked; made once). Nothing is installed on the
# host, so its 64-bit Wine stays as it is, and wine32 is never installed.
#
# The packages come from the host's own Debian release (read from
# /etc/os-release), where the host's Wine comes from.
#
# Many kernels run 32-bit x86 code themselves; some have it switched off.
# Those get QEMU's user-mode emulator, version 10 or later (Debian 12's own
# 7.2 stalls on Wine; its backports have 10, Debian 13 has it itself),
# unpacked beside the root, not installed, and registered with binfmt_misc so
# that every i386 program Wine starts runs emulated too.
# VARNELLO_I386_MODE=native|qemu overrides the detection.
set -euo pipefail
cache="${VARNELLO_CACHE:-$HOME/.cache/varnello}/i386"
root="$cache/root"
say() { [ -n "${VARNELLO_I386_QUIET:-}" ] || echo "setup: $*"; }

wine_version="$(dpkg-query -W -f='${Version}' libwine 2>/dev/null)" ||
  { echo "setup: the host's libwine is missing" >&2; exit 1; }
release="$(. /etc/os-release && echo "${VERSION_CODENAME:-}")"
[ -n "$release" ] || { echo "setup: /etc/os-release names no Debian release" >&2; exit 1; }

# Debian's archive as seen by an i386 machine, in an apt configuration of its
# own (the host's sources and package database are left alone).
apt_i386() {
  mkdir -p "$cache/apt/lists/partial" "$cache/apt/archives/partial" \
           "$cache/apt/etc/preferences.d" "$cache/apt/etc/apt.conf.d"
  [ -f "$cache/apt/status" ] || : >"$cache/apt/status"
  local key=/usr/share/keyrings/debian-archive-keyring.gpg
  cat >"$cache/apt/etc/sources.list" <<EOF
deb [signed-by=$key] http://deb.debian.org/debian $release main
deb [signed-by=$key] http://deb.debian.org/debian $release-updates main
deb [signed-by=$key] http://deb.debian.org/debian-security $release-security main
deb [signed-by=$key] http://deb.debian.org/debian $release-backports main
EOF
  cat >"$cache/apt/apt.conf" <<EOF
APT::Architecture "i386";
APT::Architectures { "i386"; "amd64"; };
APT::Install-Recommends "false";
APT::Sandbox::User "root";
Dir::State "$cache/apt";
Dir::State::status "$cache/apt/status";
Dir::Cache "$cache/apt";
Dir::Etc "$cache/apt/etc";
Dir::Etc::sourcelist "$cache/apt/etc/sources.list";
Dir::Etc::sourceparts "-";
Dir::Etc::parts "$cache/apt/etc/apt.conf.d";
Dir::Etc::preferencesparts "$cache/apt/etc/preferences.d";
EOF
  APT_CONFIG="$cache/apt/apt.conf" apt-get update -qq
}

fetch() {  # packages...: downloads them and all they depend on
  APT_CONFIG="$cache/apt/apt.conf" DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -qq --download-only "$@" >/dev/null
}

make_root() {
  say "preparing 32-bit Wine $wine_version in $root"
  apt_i386
  rm -f "$cache"/apt/archives/*.deb
  # Wine's X11 driver opens the X extension libraries at run time.
  fetch "wine32=$wine_version" "libwine=$wine_version" \
    libxcursor1 libxfixes3 libxi6 libxinerama1 libxrandr2 libxrender1 libxcomposite1 libxxf86vm1
  rm -rf "$root.new"
  mkdir -p "$root.new"
  for deb in "$cache"/apt/archives/*.deb; do
    dpkg-deb -x "$deb" "$root.new"
  done
  # Debian 13's packages keep everything under /usr, where the system they
  # come from has /lib and the rest as links into it; programs still name
  # /lib/ld-linux.so.2.
  local d
  for d in bin sbin lib; do
    [ -e "$root.new/$d" ] || ln -s "usr/$d" "$root.new/$d"
  done
  # What libwine's maintainer script does: zlib from the MinGW package,
  # marked as one of Wine's builtin DLLs.
  local arch
  for arch in i686:i386 x86_64:x86_64; do
    local in="$root.new/usr/${arch%%:*}-w64-mingw32/lib/zlib1.dll"
    local out="$root.new/usr/lib/i386-linux-gnu/wine/${arch##*:}-windows/zlib1.dll"
    { head -c 64 "$in"; printf 'Wine builtin DLL'; head -c 16 /dev/zero; tail -c +97 "$in"; } >"$out"
  done
  rm -f "$cache"/apt/archives/*.deb
  rm -rf "$root"
  mv "$root.new" "$root"
  echo "$release $wine_version" >"$cache/wine-version"
}

runs_i386() {  # whether an i386 program starts (natively or through binfmt_misc)
  "$root/lib/ld-linux.so.2" --help >/dev/null 2>&1
}

binfmt=/proc/sys/fs/binfmt_misc
register_qemu() {
  local qemu="$cache/qemu/usr/bin/qemu-i386"
  if [ ! -x "$qemu" ]; then
    say "fetching qemu-user 10 or later from $release or its backports"
    [ -f "$cache/apt/apt.conf" ] || apt_i386
    rm -f "$cache"/apt/archives/*.deb
    local version
    version="$(APT_CONFIG="$cache/apt/apt.conf" apt-cache madison qemu-user:amd64 |
               awk '$3 ~ /^1:(1[0-9]|[2-9][0-9])\./ { print $3; exit }')"
    [ -n "$version" ] || { echo "setup: no qemu-user 10 or later in $release or its backports" >&2; return 1; }
    (cd "$cache/apt/archives" && APT_CONFIG="$cache/apt/apt.conf" apt-get download -qq "qemu-user:amd64=$version")
    rm -rf "$cache/qemu"
    dpkg-deb -x "$cache"/apt/archives/qemu-user_*.deb "$cache/qemu"
    rm -f "$cache"/apt/archives/*.deb
  fi
  [ -f "$binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt" ||
    { echo "setup: binfmt_misc cannot be mounted here" >&2; return 1; }
  [ ! -e "$binfmt/varnello-i386" ] || echo -1 >"$binfmt/varnello-i386"
  # i386 ELF executables and shared objects; F opens the emulator now, so it
  # is found from inside the root as well, P keeps argv[0].
  printf '%s' ':varnello-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'"$qemu"':FP' \
    >"$binfmt/register" || { echo "setup: qemu-i386 cannot be registered with binfmt_misc" >&2; return 1; }
  echo "emulated by qemu-i386 $("$qemu" --version | head -n 1 | sed 's/.*version //')" >"$cache/mode"
}

if [ ! -f "$cache/ready" ] || [ "$(cat "$cache/wine-version" 2>/dev/null)" != "$release $wine_version" ]; then
  rm -f "$cache/ready"
  make_root
fi
# Wine's loader starts the server by the name wineserver beside it, which
# Debian makes a /bin/sh script choosing the 32- or 64-bit server. The root
# has no shell and one server, so the name leads straight to it. Without
# this, natively Wine falls back to $WINESERVER after the failed start, but
# under qemu-i386 Wine 10's starting child ends with status 127 at the first
# failure and Wine ends with it, silently. Roots made before are mended here.
[ -L "$root/usr/lib/wine/wineserver" ] || ln -sfn wineserver32 "$root/usr/lib/wine/wineserver"

case "${VARNELLO_I386_MODE:-}" in
  native)
    [ ! -e "$binfmt/varnello-i386" ] || echo -1 >"$binfmt/varnello-i386"
    echo natively >"$cache/mode" ;;
  qemu) register_qemu ;;
  "")
    if [ -e "$binfmt/varnello-i386" ] && grep -q '^emulated' "$cache/mode" 2>/dev/null; then
      :  # emulation chosen before and still registered
    elif [ -e "$binfmt/varnello-i386" ]; then
      echo -1 >"$binfmt/varnello-i386"  # left from a forced run; try natively first
    fi
    if [ ! -e "$binfmt/varnello-i386" ]; then
      if runs_i386; then
        echo natively >"$cache/mode"
      else
        say "this kernel does not run 32-bit x86 code; it will be emulated"
        register_qemu
      fi
    fi ;;
  *) echo "setup: VARNELLO_I386_MODE is native or qemu" >&2; exit 1 ;;
esac
runs_i386 || { echo "setup: i386 programs do not start here ($(cat "$cache/mode"))" >&2; exit 1; }
touch "$cache/ready"
say "32-bit code runs $(cat "$cache/mode")"
