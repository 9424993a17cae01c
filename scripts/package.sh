#!/usr/bin/env bash
# Installs what is missing, builds the Release program and its installer into BUILD_DIR
# (default: build-package) and writes into dist/:
#   TarnSiteMonitor-<version>-setup.exe   the installer (per-user, silent with /S)
#   TarnSiteMonitor-<version>.zip         the portable program
# Arguments go to CMake, e.g. -DTARN_SERVICE_HOST=accounts.example.org -DTARN_SERVICE_PORT=80
# for a program that talks to your own account service.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build-package}
"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" "$@" >/dev/null
cmake --build "$build" --target TarnSiteMonitor tarn_installer
version=$(sed -n 's/^#define TARN_VERSION_TEXT "\(.*\)"$/\1/p' "$build/generated/version.h")
setup="TarnSiteMonitor-$version-setup.exe"
mkdir -p "$root/dist"
cp "$build/dist/$setup" "$root/dist/$setup"
# The portable copy: the program alone in a folder named after it; it keeps its data in
# the user's application-data folder just as the installed one does.
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir "$stage/TarnSiteMonitor"
cp "$build/src/app/TarnSiteMonitor.exe" "$stage/TarnSiteMonitor/"
rm -f "$root/dist/TarnSiteMonitor-$version.zip"
(cd "$stage" && zip -q -r -X "$root/dist/TarnSiteMonitor-$version.zip" TarnSiteMonitor)
echo "Wrote dist/$setup and dist/TarnSiteMonitor-$version.zip"
