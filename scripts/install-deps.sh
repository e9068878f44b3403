#!/usr/bin/env bash
# Installs every Debian package the build, tests, tools, benchmarks and fuzzers need.
# Idempotent: apt-get update runs only when something is missing.
set -euo pipefail

PACKAGES=(
    cmake ninja-build pkg-config make g++ clang libclang-rt-14-dev
    libsqlite3-dev libcurl4-openssl-dev libcpp-httplib-dev libgmime-3.0-dev
    libgumbo-dev libargon2-dev nlohmann-json3-dev libcli11-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    g++-mingw-w64-i686-posix
)

missing=()
for p in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    echo "install-deps: all ${#PACKAGES[@]} packages present"
    exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "install-deps: installing ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
