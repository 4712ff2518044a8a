#!/usr/bin/env bash
# Runs ./scripts/test.sh as a newcomer on another Debian release would: in a
# fresh root of that release made with debootstrap from Debian's archive,
# with nothing in it but the base system and this checkout's files, so that
# test.sh installs everything itself (compilers, that release's Wine, the
# 32-bit Wine root, fonts, Xvfb). Both architectures, every test.
#
# usage: test-in-debian.sh [RELEASE [COMMAND ARGS...]]
#   RELEASE defaults to trixie (Debian 13); COMMAND, run from the checkout's
#   folder, to ./scripts/test.sh (./scripts/run.sh and ./scripts/bench.sh
#   run the same way; run.sh leaves its screenshot in the root's
#   /root/varnello/build/screenshots/run.png).
#
# The base system is made once (about 2 minutes) and kept in
# ~/.cache/varnello/debian-RELEASE/base; every run starts from a fresh copy of
# it in .../run, which VARNELLO_KEEP_RUN=1 keeps from the run before instead
# (quicker, for trying again). Needs root: debootstrap, chroot and mounts.
# Everything mounted for the run is unmounted when it ends.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
release="${1:-trixie}"
shift $(($# > 0 ? 1 : 0))
command=("$@")
((${#command[@]})) || command=(./scripts/test.sh)
cache="${VARNELLO_CACHE:-$HOME/.cache/varnello}/debian-$release"
base="$cache/base" run="$cache/run"
mirror=http://deb.debian.org/debian
say() { echo "test-in-debian [$(date +%T)]: $*"; }
[ "$(id -u)" -eq 0 ] || { echo "test-in-debian: needs root (debootstrap, chroot, mounts)" >&2; exit 1; }

if [ ! -f "$base/.varnello-base" ]; then
  if ! command -v debootstrap >/dev/null; then
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq debootstrap >/dev/null
  fi
  say "making a $release base system in $base (about 2 minutes)"
  rm -rf "$base.new"
  debootstrap --variant=minbase --include=ca-certificates,locales "$release" "$base.new" "$mirror" >"$cache.log" 2>&1 ||
    { tail -n 20 "$cache.log" >&2; exit 1; }
  cat >"$base.new/etc/apt/sources.list" <<EOF
deb $mirror $release main
deb $mirror $release-updates main
deb http://deb.debian.org/debian-security $release-security main
EOF
  # Wine's code page 936 needs the locale, as on a desktop machine.
  echo "zh_CN.UTF-8 UTF-8" >>"$base.new/etc/locale.gen"
  chroot "$base.new" locale-gen >/dev/null
  touch "$base.new/.varnello-base"
  say "base system made"
  rm -rf "$base"
  mv "$base.new" "$base"
fi

# binfmt_misc is the kernel's, not the root's: the root's setup registers its
# own qemu-i386 (or takes the registration away where code runs natively)
# under the same name as the host's, and the root's packages register
# theirs (python3.13, llvm's runtime). When the run ends, what the root
# added goes and the host's qemu registration is put back as it was.
binfmt=/proc/sys/fs/binfmt_misc
[ -f "$binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null || true
binfmt_before="$(ls "$binfmt" 2>/dev/null)"
saved_binfmt=""
[ ! -e "$binfmt/varnello-i386" ] || saved_binfmt="$(cat "$binfmt/varnello-i386")"
restore_binfmt() {
  [ -f "$binfmt/register" ] || return 0
  local entry
  for entry in $(ls "$binfmt"); do
    case "$entry" in register|status) continue ;; esac
    grep -qx "$entry" <<<"$binfmt_before" || echo -1 >"$binfmt/$entry"
  done
  [ "$(cat "$binfmt/varnello-i386" 2>/dev/null)" != "$saved_binfmt" ] || return 0
  [ ! -e "$binfmt/varnello-i386" ] || echo -1 >"$binfmt/varnello-i386"
  [ -n "$saved_binfmt" ] || return 0
  local field value interpreter="" flags="" magic="" mask=""
  while read -r field value; do
    case "$field" in
      interpreter) interpreter="$value" ;; flags:) flags="$value" ;; magic) magic="$value" ;; mask) mask="$value" ;;
    esac
  done <<<"$saved_binfmt"
  hex() { sed 's/../\\x&/g' <<<"$1"; }
  printf '%s' ":varnello-i386:M::$(hex "$magic"):$(hex "$mask"):$interpreter:$flags" >"$binfmt/register" ||
    echo "test-in-debian: the host's qemu-i386 registration could not be put back" >&2
}
mounts=()
unmount_all() {
  local i
  for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do umount -l "${mounts[$i]}" 2>/dev/null || true; done
  restore_binfmt
}
trap unmount_all EXIT
mount_in() {  # type or --rbind, source, place inside the root
  mkdir -p "$run$3"
  if [ "$1" = --rbind ]; then mount --rbind "$2" "$run$3"; mount --make-rslave "$run$3"; else mount -t "$1" "$2" "$run$3"; fi
  mounts+=("$run$3")
}

if [ -z "${VARNELLO_KEEP_RUN:-}" ] || [ ! -d "$run" ]; then
  say "a fresh copy of the $release base system"
  rm -rf "$run"
  cp -a "$base" "$run"
fi
cp /etc/resolv.conf "$run/etc/resolv.conf"
# This checkout's files as they stand, committed or not; no build output
# (a kept run keeps its builds).
mkdir -p "$run/root/varnello"
(cd "$here" && git ls-files -z --cached --others --exclude-standard | tar -c --null -T - -f -) |
  tar -x -C "$run/root/varnello" -f -

# The root a mount point of its own, as a machine's is: the 32-bit Wine's
# private mount namespaces need one.
mount --bind "$run" "$run"
mounts+=("$run")
mount_in proc proc /proc
mount_in sysfs sys /sys
mount_in --rbind /dev /dev
mount_in tmpfs tmpfs /tmp
[ ! -d /proc/sys/fs/binfmt_misc ] || [ ! -f /proc/sys/fs/binfmt_misc/register ] ||
  mount_in binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc

say "${command[*]} in Debian $(cat "$run/etc/debian_version") ($release)"
started=$SECONDS
status=0
chroot "$run" /usr/bin/env -i HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
  LANG=C.UTF-8 TERM=dumb ${VARNELLO_FUZZ_SECONDS:+VARNELLO_FUZZ_SECONDS=$VARNELLO_FUZZ_SECONDS} \
  ${VARNELLO_I386_MODE:+VARNELLO_I386_MODE=$VARNELLO_I386_MODE} \
  /bin/bash -c 'cd /root/varnello && exec "$@"' varnello "${command[@]}" || status=$?
say "${command[*]} in $release ended with status $status after $((SECONDS - started)) s"
exit "$status"
