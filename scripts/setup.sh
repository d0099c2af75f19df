#!/usr/bin/env bash
# Installs what the build and every test tier need, once. Safe to run again:
# it only calls apt-get when something is missing.
set -euo pipefail

# Root runs the installs itself; anybody else needs sudo for them.
as_root() {
  if [ "$(id -u)" -eq 0 ]; then
    "$@"
  elif command -v sudo >/dev/null 2>&1; then
    sudo "$@"
  else
    echo "setup: installing needs root: run this as root, or install sudo" >&2
    exit 1
  fi
}

packages=(
  cmake ninja-build g++ make pkg-config
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix libz-mingw-w64-dev
  zlib1g-dev libssl-dev openssl googletest libgtest-dev libdivsufsort-dev
  clang libclang-rt-14-dev
  wine wine32:i386 wine64
  xvfb xauth xdotool imagemagick fonts-wqy-microhei locales
  python3
  zip unzip libarchive-tools p7zip-full hyperfine libpugixml-dev
  squid
)

missing=()
for p in "${packages[@]}"; do
  name=${p%%:*}; arch=${p#*:}; [ "$arch" = "$p" ] && arch=""
  if [ -n "$arch" ]; then q="$name:$arch"; else q="$name"; fi
  if ! dpkg-query -W -f='${Status}' "$q" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  # Wine's 32-bit half comes from the i386 architecture.
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    as_root dpkg --add-architecture i386
  fi
  # A mirror in the middle of a sync fails one index now and then; the
  # install below says so if anything it needs is really missing.
  as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq ||
    { sleep 5; as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq; } ||
    echo "setup: apt-get update reported errors; installing from the lists it has" >&2
  # Squid is for the caching-proxy tests, which start their own on a free
  # loopback port: keep the package's own service from starting on 3128.
  policy=""
  if [[ " ${missing[*]} " == *" squid "* ]] && [ ! -e /usr/sbin/policy-rc.d ]; then
    policy=/usr/sbin/policy-rc.d
    printf '#!/bin/sh\nexit 101\n' | as_root tee "$policy" >/dev/null
    as_root chmod 755 "$policy"
  fi
  if ! as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"; then
    # Wine's 32-bit half is of use only where this kernel runs 32-bit
    # programs (tests/support/wine-env.sh), and a stale i386 index can make
    # it uninstallable for a while: everything else is installed without it.
    native=()
    for p in "${missing[@]}"; do [[ $p == *:i386 ]] || native+=("$p"); done
    echo "setup: installing without the i386 packages (${missing[*]})" >&2
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${native[@]}" ||
      { [ -z "$policy" ] || as_root rm -f "$policy"; exit 1; }
  fi
  [ -z "$policy" ] || as_root rm -f "$policy"
fi

# The system's squid service, where one was started (by its package or an
# init system), is not what the tests use: stop it and keep it off.
if [ -e /etc/init.d/squid ] && [ -s /run/squid.pid ] && kill -0 "$(cat /run/squid.pid)" 2>/dev/null; then
  as_root /etc/init.d/squid stop >/dev/null 2>&1 || true
fi
if command -v systemctl >/dev/null 2>&1 && [ -d /run/systemd/system ] &&
   systemctl is-enabled --quiet squid 2>/dev/null; then
  as_root systemctl disable --now squid >/dev/null 2>&1 || true
fi

if ! locale -a 2>/dev/null | grep -qiE '^zh_CN\.utf-?8$'; then
  grep -qx 'zh_CN.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null ||
    echo 'zh_CN.UTF-8 UTF-8' | as_root tee -a /etc/locale.gen >/dev/null
  as_root locale-gen >/dev/null
fi
echo "setup: ready"
