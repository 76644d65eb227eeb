#!/usr/bin/env bash
# Installs what the Windows builds and their suite under wine need, when it is missing: Debian's
# mingw-w64 (posix threads) for 64 and 32 bits, wine for 64-bit programs, GoogleTest's sources.
set -euo pipefail

packages=(g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine64 googletest)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup_windows: all packages present"
  exit 0
fi

echo "setup_windows: installing ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
