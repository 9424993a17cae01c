#!/usr/bin/env bash
# Installs whatever the build and the tests need and the machine lacks (Debian 12, as root).
set -eu
packages="g++-mingw-w64-x86-64-posix mingw-w64-tools wine64 wine xvfb xdotool imagemagick
  fonts-wqy-microhei locales-all rapidjson-dev googletest cmake ninja-build python3 nsis zip
  g++ pkg-config libsqlite3-dev libcurl4-openssl-dev libsodium-dev python3-aiosmtpd libboost-dev nginx-light wrk"
missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing="$missing $p"
done
if [ -n "$missing" ]; then
  echo "Installing:$missing"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends $missing >/dev/null
fi
