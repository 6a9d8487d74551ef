#!/usr/bin/env bash
# Installs the Debian 12 packages that the build and the tests need, if any is missing.
# Safe to run again: when everything is present it does not touch apt at all.
set -euo pipefail

readonly PACKAGES=(
  openjdk-17-jdk-headless cmake ninja-build g++ python3
  libgtest-dev libgmock-dev libbenchmark-dev
  g++-mingw-w64-x86-64-win32 g++-mingw-w64-i686-win32
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
  binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  libjpeg62-turbo-dev nlohmann-json3-dev junit5
  maven libsurefire-java libmaven-compiler-plugin-java libmaven-resources-plugin-java
  wine64 wine32:i386
  clang-14 libclang-rt-14-dev
  libsane1 libsane-dev sane-utils libgphoto2-6 libgphoto2-dev
)

missing=()
for package in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all ${#PACKAGES[@]} packages present"
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
as_root=()
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null; then
    echo "install-deps: missing packages and not root (no sudo): ${missing[*]}" >&2
    exit 1
  fi
  as_root=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
# wine32 runs the i386 DLL's tests: it comes from the i386 architecture.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${as_root[@]}" dpkg --add-architecture i386
fi
# A mirror in the middle of a sync, or a proxy that cached its old index, can serve an
# index of the wrong size: apt-get update then goes on with the old index or none, and the
# i386 packages no longer match their amd64 twins. The update and install are tried again
# before giving up; later tries ask proxies for a fresh copy and then for the index in
# another compression, which a half-synced mirror or a stale cache may hold whole.
update_options=(
  ""
  "-o Acquire::http::No-Cache=true"
  "-o Acquire::http::No-Cache=true -o Acquire::CompressionTypes::Order::=gz"
  "-o Acquire::http::No-Cache=true"
  "-o Acquire::http::No-Cache=true -o Acquire::CompressionTypes::Order::=gz"
)
for attempt in 1 2 3 4 5; do
  # shellcheck disable=SC2086  # the options are words on purpose
  "${as_root[@]}" apt-get ${update_options[attempt - 1]} update || true
  if "${as_root[@]}" apt-get install -y --no-install-recommends "${missing[@]}"; then
    exit 0
  fi
  if [ "$attempt" -lt 5 ]; then
    echo "install-deps: install failed (attempt $attempt of 5); trying again in 60 s" >&2
    sleep 60
  fi
done
echo "install-deps: could not install ${missing[*]}" >&2
exit 1
