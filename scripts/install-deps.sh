#!/usr/bin/env bash
# Installs the Debian packages TameWarden builds and tests with; only what is missing.
set -euo pipefail

packages=(
  build-essential cmake g++ pkg-config git
  nlohmann-json3-dev libspdlog-dev libfmt-dev libcurl4-openssl-dev libcpp-httplib-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev clang-format valgrind
  rcon  # rconclt, the RCON client the end-to-end tests and operators reload with
  # The Windows build: the mingw-w64 cross compiler, Wine to run it, GoogleTest's sources for it.
  g++-mingw-w64-x86-64-posix wine64 googletest
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "All build dependencies are installed."
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
