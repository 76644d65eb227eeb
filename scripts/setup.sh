#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, when they are missing.
# `setup.sh windows` installs what the Windows builds and their suites under wine need instead:
# Debian's mingw-w64 (posix threads) for 64 and 32 bits, wine for 64-bit programs, widl (for
# the COM control's type library), nsis (its installer), GoogleTest's sources and socat (the
# null-modem pairs of COM ports the Windows suites sell through).
set -euo pipefail

if [ "${1:-}" = windows ]; then
  packages=(g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine64 wine64-tools nsis googletest
            socat)
else
  packages=(
    g++ cmake ninja-build pkg-config
    libcurl4-openssl-dev libssl-dev libpugixml-dev libcli11-dev nlohmann-json3-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    clang libclang-rt-14-dev curl
  )
fi

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all packages present"
  exit 0
fi

echo "setup: installing ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
