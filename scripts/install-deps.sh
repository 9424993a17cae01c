#!/usr/bin/env bash
# Installs whatever the build and the tests need and the machine lacks (Debian 12, as root).
set -eu
packages="g++-mingw-w64-x86-64-posix mingw-w64-tools wine64 wine xvfb xdotool imagemagick
  fonts-wqy-microhei locales-all rapidjson-dev googletest cmake ninja-build python3 nsis zip
  g++ pkg-config libsqlite3-dev libcurl4-openssl-dev libsodium-dev python3-aiosmtpd libboost-dev nginx-light wrk python3-prometheus-client"
missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing="$missing $p"
done
if [ -n "$missing" ]; then
  echo "Installing:$missing"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  # nginx-light is for the benchmark, which starts an nginx of its own: the package's
  # service must not start on install (policy-rc.d answers "not allowed").
  policy=""
  if [ ! -e /usr/sbin/policy-rc.d ]; then
    printf '#!/bin/sh\nexit 101\n' >/usr/sbin/policy-rc.d && chmod +x /usr/sbin/policy-rc.d && policy=1
  fi
  apt-get install -y -qq --no-install-recommends $missing >/dev/null
  [ -z "$policy" ] || rm -f /usr/sbin/policy-rc.d
fi
# No default site: a system nginx started anyway (an older install) is stopped, and its
# default site is removed so that a later start serves nothing.
if [ -e /etc/nginx/sites-enabled/default ]; then
  rm -f /etc/nginx/sites-enabled/default
  [ -s /run/nginx.pid ] && kill -0 "$(cat /run/nginx.pid)" 2>/dev/null && nginx -s quit 2>/dev/null || true
fi
