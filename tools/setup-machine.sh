#!/usr/bin/env bash
# Installs what building, running and testing need on a Debian machine.
# Idempotent and quiet when everything is already there.
set -euo pipefail
packages=(g++ cmake make python3 googletest g++-mingw-w64-x86-64 g++-mingw-w64-i686 wine wine64
          xvfb xdotool imagemagick x11-utils nettle-dev curl clang-format
          fonts-wqy-microhei clang libclang-rt-14-dev time openssl)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "setup: installing ${missing[*]}"
SUDO=
[ "$(id -u)" -eq 0 ] || SUDO=sudo
export DEBIAN_FRONTEND=noninteractive
# Refresh the package lists when they are missing or older than a day.
if [ -z "$(find /var/lib/apt/lists -maxdepth 1 -name '*Packages*' -mtime -1 2>/dev/null | head -n1)" ]; then
    $SUDO apt-get update -qq
fi
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
